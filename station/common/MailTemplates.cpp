#include "common/MailTemplates.h"

#include <QFile>
#include <QRegularExpression>

#include "codepage/codepage.h"
#include "files/files.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "ui/msgbox.h"

const MailTemplate kEntryTemplate{"inSubject", &gstrInSubject, "Velmor.txt"};
const MailTemplate kExitTemplate{"otSubject", &gstrOtSubject, "otMail.txt"};
const MailTemplate kContactTemplate{"sptSubject", &gstrSptSubject, "sptMail.txt"};
const MailTemplate kBulkTemplate{"allSubject", &gstrAllSubject, "allMail.txt"};

QString TemplateBodyPath(const MailTemplate& t) { return gstrAppPath + QLatin1String(t.bodyFile); }

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

bool LoadTextFile(const QString& path, QPlainTextEdit* box) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return false;
  file.close();
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  QStringList lines = cp::FromAnsi(bytes).split(lineEnd);
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the last line's end
  if (lines.isEmpty()) return true;
  box->setPlainText(lines.join(QLatin1Char('\n')));
  return true;
}

bool SaveTextFile(const QString& path, const QPlainTextEdit* box, QString* error) {
  QByteArray bytes;
  if (!cp::ToAnsi(MailTemplateText(box) + QStringLiteral("\r\n"), bytes)) {
    if (error) *error = QStringLiteral("%1: 保存できない文字が含まれています").arg(path);
    return false;
  }
  return files::WriteWhole(path, bytes, error);
}

bool SaveMailTemplates(const QList<TemplateEdit>& edits) {
  for (const TemplateEdit& e : edits) {
    const QString path = TemplateBodyPath(*e.which);
    QString why;
    if (!SaveTextFile(path, e.body, &why)) {
      ui::MsgBox(QStringLiteral("送信内容を保存できませんでした。\r\n") + why, ui::vbCritical);
      return false;
    }
  }
  QList<IniKey> keys;
  for (const TemplateEdit& e : edits)
    keys.append({QStringLiteral("MAIL"), QLatin1String(e.which->subjectKey), e.subject});
  if (!WriteIniKeys(keys)) return false;  // WriteIniKeys has said why
  for (const TemplateEdit& e : edits) *e.which->subject = e.subject;
  return true;
}
