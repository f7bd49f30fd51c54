#include "common/mdlMail.h"

#include <QCoreApplication>
#include <QVariant>


#include "mail/mail.h"
#include "common/WhileEventsGoOn.h"
#include "common/globals.h"
#include "common/mdlRas.h"
#include "ui/clock.h"

namespace {

// The four placeholders in their fixed order, each over the result of the one before; date
// and time are `when`, or read anew for each.
QString FillPlaceholders(const QString& text, const QString& name, const QString& honorific,
                         const QDateTime& when) {
  QString out = text;
  out.replace(QStringLiteral("%名前%"), name);
  out.replace(QStringLiteral("%敬称%"), honorific);
  out.replace(QStringLiteral("%日付%"), (when.isValid() ? when : ui::Now()).toString(QStringLiteral("yyyy/MM/dd")));
  out.replace(QStringLiteral("%時間%"), (when.isValid() ? when : ui::Now()).toString(QStringLiteral("HH:mm:ss")));
  return out;
}

}  // namespace

MailAccount MailAccountFromSettings() {
  MailAccount a;
  a.isServer = gblnIsServer;
  a.smtpServer = gstrSmtpServer;
  a.mailID = gstrMailID;
  a.mailPassword = gstrMailPsw;
  a.mailServer = gstrMailServer;
  a.pop3Server = gstrPop3Server;
  a.port = gintPort;
  a.mailReg = gintMailReg;
  a.regM = gintRegM;
  a.authID = gstrAuthID;
  a.authPassword = gstrAuthPsw;
  a.senderName = gstrAppUser;
  a.senderAddress = gstrMailAddr;
  a.dialEntry = gstrDialEntry;
  a.dialUser = gstrDialUser;
  a.dialPassword = gstrDialPsw;
  a.traceVariant = glngSendP == 0;
  a.logDir = gstrLogDir;
  return a;
}

MailResult DeliverMail(const MailAccount& a, const QString& recipients,
                       const QString& subjectTemplate, const QString& bodyTemplate,
                       const QString& name, const QString& honorific, const QString& attachment,
                       const QDateTime& when) {
  const QString traceFile = a.logDir + QStringLiteral("mail") +
                            ui::Now().toString(QStringLiteral("yyyyMMdd")) +
                            QStringLiteral(".log");
  const QString server = (a.isServer ? a.smtpServer : a.mailServer) + QLatin1Char('\t') +
                         QString::number(a.port);
  QString recipientsText = recipients;
  recipientsText.replace(QLatin1Char(';'), QLatin1Char('\t'));

  QString sender = a.senderName + QLatin1Char('<') + a.senderAddress + QLatin1Char('>');
  if (!a.isServer && a.mailReg == 1 && a.regM != 0) {
    sender += QLatin1Char('\t') + a.authID + QLatin1Char(':') + a.authPassword;
    switch (a.regM) {
      case 1: sender += QStringLiteral("\tLOGIN"); break;
      case 2: sender += QStringLiteral("\tCRAM-MD5"); break;
      case 3: sender += QStringLiteral("\tPLAIN"); break;
      default: break;
    }
  }

  const QString subject = FillPlaceholders(subjectTemplate, name, honorific, when);
  const QString body = FillPlaceholders(bodyTemplate, name, honorific, when);
  const QString popHost = a.isServer ? a.smtpServer : a.pop3Server;

  // Any active connection will do; only without one is the entry dialled.
  if (!DialUpWhenNeeded(a.dialEntry, a.dialUser, a.dialPassword)) return MailResult::DialUpFailed;

  // The POP login and the sending talk to the servers on a thread of their own; meanwhile the
  // window keeps painting, its clock ticks and whatever arrives is delivered, so a server that
  // is slow to answer never freezes the station.
  return WhileEventsGoOn([=]() {
    QVariant login;
    bool loginMade = false;
    if (a.isServer) {
      login = mail::RcvMail(popHost, a.mailID, a.mailPassword, QStringLiteral("STAT"), a.logDir);
      loginMade = true;
    } else if (a.mailReg == 1 && a.regM == 0) {
      login = mail::RcvMail(popHost, a.authID, a.authPassword, QStringLiteral("STAT"), a.logDir);
      loginMade = true;
    }
    if (loginMade && login.typeId() != QMetaType::QVariantList) return MailResult::ServerFailed;

    const QString error =
        a.traceVariant
            ? mail::SendMailEx(traceFile, server, recipientsText, sender, subject, body, attachment)
            : mail::SendMail(server, recipientsText, sender, subject, body, attachment);
    return error.isEmpty() ? MailResult::Sent : MailResult::SendFailed;
  });
}
