#pragma once
// What the template editor and the composer show alike: the placeholder help beside the texts,
// and the subject and body boxes.
#include <QLineEdit>
#include <QPlainTextEdit>

// The read-only help text txtIns listing the placeholders.
QPlainTextEdit* NewPlaceholderHelp(QWidget* parent);

// A subject box and a body box (plain text, Japanese input), named objectName.
QLineEdit* NewSubjectBox(QWidget* parent, const char* objectName);
QPlainTextEdit* NewBodyBox(QWidget* parent, const char* objectName);
