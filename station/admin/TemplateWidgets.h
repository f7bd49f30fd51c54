#pragma once
// What the template editor and the composer show alike: the placeholder help beside the texts,
// and the subject and body boxes.
#include <QLineEdit>
#include <QPlainTextEdit>

class QDialog;
class QLabel;
class QPushButton;

// The window itself: named objectName, captioned "送信内容", modal, in the station's font.
void SetUpTemplateDialog(QDialog& dialog, const char* objectName);

// The "件名：" label, and a button that is never the default by itself.
QLabel* NewSubjectLabel(QWidget* parent);
QPushButton* NewTemplateButton(QWidget* parent, const char* objectName, const QString& caption);

// The read-only help text txtIns listing the placeholders.
QPlainTextEdit* NewPlaceholderHelp(QWidget* parent);

// A subject box and a body box (plain text, Japanese input), named objectName.
QLineEdit* NewSubjectBox(QWidget* parent, const char* objectName);
QPlainTextEdit* NewBodyBox(QWidget* parent, const char* objectName);
