#pragma once
// Mail delivery: every mail of the station (entry and exit notices, test, contact and bulk
// mails) goes through DeliverMail.
#include <QDateTime>
#include <QString>

// What became of one mail. Each caller tells the user in its own words.
enum class MailResult {
  Sent,          // the mail library accepted the mail
  DialUpFailed,  // a dial-up connection was needed and was not made; nothing was sent
  ServerFailed,  // the POP login before sending failed; nothing was sent
  SendFailed,    // the mail library returned an error text
};

// The account a mail goes out through: servers and logins, the sender, the dial-up entry and the
// sending variant. Built from the settings by MailAccountFromSettings(); a sender that takes
// some values from a window (the test and contact mails) changes those fields of that value.
struct MailAccount {
  bool isServer = true;     // through the service account's server, with its POP login
  QString smtpServer;       // the service account's host
  QString mailID;           // the service account's POP login
  QString mailPassword;
  QString mailServer;       // the own SMTP server (isServer false)
  QString pop3Server;       // the own POP server
  int port = 0;             // SMTP port, for either server
  int mailReg = 0;          // 1: the own server wants a login
  int regM = 0;             // its method: 0 POP before SMTP, 1 LOGIN, 2 CRAM-MD5, 3 PLAIN
  QString authID;           // the login at the own server
  QString authPassword;
  QString senderName;       // display name of the sender
  QString senderAddress;
  QString dialEntry;        // phone-book entry; empty: no dial-up
  QString dialUser;
  QString dialPassword;
  bool traceVariant = true; // send with the day's trace file log/mailyyyymmdd.log
  QString logDir;           // where the trace file and the POP dialogue go
};

// The account as the settings and the service account row give it: the installation's name and
// mail address as the sender, the dial-up values of the settings, the trace variant unless the
// sending variant says otherwise.
MailAccount MailAccountFromSettings();

// Fills "%名前%", "%敬称%", "%日付%" (yyyy/mm/dd) and "%時間%" (hh:mm:ss) in the subject and then
// in the body, dials the account's entry when it is set and no connection is up, logs in to the
// POP server first when the account wants it, and sends through the mail library. `recipients`
// are separated by ";", `attachment` is one full path or empty; date and time are `when` (an
// event's own moment), or the time of sending when it is not given. Shows nothing and writes no
// operation-log line. On the user-interface thread it lets the window's events through while it
// dials and talks to the servers; on a thread of its own it simply waits.
MailResult DeliverMail(const MailAccount& account, const QString& recipients,
                       const QString& subjectTemplate, const QString& bodyTemplate,
                       const QString& name, const QString& honorific, const QString& attachment,
                       const QDateTime& when = {});
