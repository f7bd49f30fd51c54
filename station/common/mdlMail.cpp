#include "common/mdlMail.h"

#include <QCoreApplication>
#include <QVariant>

#include "mail/mail.h"
#include "common/globals.h"
#include "common/mdlRas.h"
#include "ui/clock.h"

namespace {

// The four placeholders in their fixed order, each over the result of the one before; date
// and time are read anew for each.
QString FillPlaceholders(const QString& text, const QString& name, const QString& honorific) {
  QString out = text;
  out.replace(QStringLiteral("%名前%"), name);
  out.replace(QStringLiteral("%敬称%"), honorific);
  out.replace(QStringLiteral("%日付%"), ui::Now().toString(QStringLiteral("yyyy/MM/dd")));
  out.replace(QStringLiteral("%時間%"), ui::Now().toString(QStringLiteral("HH:mm:ss")));
  return out;
}

}  // namespace

MailResult DeliverMail(const QString& recipients, const QString& subjectTemplate,
                       const QString& bodyTemplate, const QString& name,
                       const QString& honorific, const QString& attachment,
                       const QString& senderName, const QString& senderAddress,
                       const QString& dialEntry, const QString& dialUser,
                       const QString& dialPassword, bool traceVariant) {
  const QString traceFile = gstrLogDir + QStringLiteral("mail") +
                            ui::Now().toString(QStringLiteral("yyyyMMdd")) +
                            QStringLiteral(".log");
  const QString server = (gblnIsServer ? gstrSmtpServer : gstrMailServer) + QLatin1Char('\t') +
                         QString::number(gintPort);
  QString recipientsText = recipients;
  recipientsText.replace(QLatin1Char(';'), QLatin1Char('\t'));

  QString sender = senderName + QLatin1Char('<') + senderAddress + QLatin1Char('>');
  if (!gblnIsServer && gintMailReg == 1 && gintRegM != 0) {
    sender += QLatin1Char('\t') + gstrAuthID + QLatin1Char(':') + gstrAuthPsw;
    switch (gintRegM) {
      case 1: sender += QStringLiteral("\tLOGIN"); break;
      case 2: sender += QStringLiteral("\tCRAM-MD5"); break;
      case 3: sender += QStringLiteral("\tPLAIN"); break;
      default: break;
    }
  }

  const QString subject = FillPlaceholders(subjectTemplate, name, honorific);
  const QString body = FillPlaceholders(bodyTemplate, name, honorific);
  const QString popHost = gblnIsServer ? gstrSmtpServer : gstrPop3Server;

  // Any active connection will do; only without one is the entry dialled.
  if (!dialEntry.isEmpty() && !IsRasConnected()) {
    if (!DialUp(dialEntry, dialUser, dialPassword)) return MailResult::DialUpFailed;
  }

  QCoreApplication::processEvents();

  QVariant login;
  bool loginMade = false;
  if (gblnIsServer) {
    login = mail::RcvMail(popHost, gstrMailID, gstrMailPsw, QStringLiteral("STAT"), gstrLogDir);
    loginMade = true;
  } else if (gintMailReg == 1 && gintRegM == 0) {
    login = mail::RcvMail(popHost, gstrAuthID, gstrAuthPsw, QStringLiteral("STAT"), gstrLogDir);
    loginMade = true;
  }
  if (loginMade && login.typeId() != QMetaType::QVariantList) return MailResult::ServerFailed;

  const QString error =
      traceVariant
          ? mail::SendMailEx(traceFile, server, recipientsText, sender, subject, body, attachment)
          : mail::SendMail(server, recipientsText, sender, subject, body, attachment);
  return error.isEmpty() ? MailResult::Sent : MailResult::SendFailed;
}
