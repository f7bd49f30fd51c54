#include "desk/MailTemplates.h"

QPlainTextEdit* NewMailTemplateBox(QWidget* parent, const QString& objectName) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(objectName);
  box->hide();
  return box;
}

QString MailTemplateText(const QPlainTextEdit* box) {
  QString text = box->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}
