#pragma once
// Mail delivery: every mail of the station (entry and exit notices, test, contact and bulk
// mails) goes through DeliverMail.
#include <QString>

// What became of one mail. Each caller tells the user in its own words.
enum class MailResult {
  Sent,          // the mail library accepted the mail
  DialUpFailed,  // a dial-up connection was needed and was not made; nothing was sent
  ServerFailed,  // the POP login before sending failed; nothing was sent
  SendFailed,    // the mail library returned an error text
};

// Fills "%名前%", "%敬称%", "%日付%" (yyyy/mm/dd) and "%時間%" (hh:mm:ss) in the subject and then
// in the body, dials `dialEntry` when it is set and no connection is up, logs in to the POP
// server first when the account wants it, and sends through the mail library (with the day's
// trace file log/mailyyyymmdd.log when `traceVariant` is true). `recipients` are separated by
// ";", `attachment` is one full path or empty. Shows nothing and writes no operation-log line.
// Runs on the user-interface thread; lets waiting events through once before the POP login and
// during a dial-up wait.
MailResult DeliverMail(const QString& recipients, const QString& subjectTemplate,
                       const QString& bodyTemplate, const QString& name,
                       const QString& honorific, const QString& attachment,
                       const QString& senderName, const QString& senderAddress,
                       const QString& dialEntry, const QString& dialUser,
                       const QString& dialPassword, bool traceVariant);
