#pragma once
// The notification-mail templates of the station windows: each window keeps the entry text
// (Velmor.txt) in rtxtinContents and the exit text (otMail.txt) in rtxtotContents, plain text
// boxes that are never shown.
#include <QPlainTextEdit>
#include <QString>

// A hidden template box named objectName.
QPlainTextEdit* NewMailTemplateBox(QWidget* parent, const QString& objectName);

// The text of a template box as the mail wants it: lines joined by CR LF.
QString MailTemplateText(const QPlainTextEdit* box);
