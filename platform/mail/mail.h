#pragma once
// The mail library of the station: sending through SMTP and the POP3 login that some servers
// want before they take mail ("POP before SMTP").
//
// Argument forms (all texts, TAB as separator):
//   server      "host" or "host TAB port" (port 25 for SMTP and 110 for POP3 when missing)
//   recipients  addresses separated by TAB; empty pieces are skipped
//   sender      "name<address>", optionally followed by TAB "id:password" and TAB "LOGIN",
//               "CRAM-MD5" or "PLAIN" (without the method word any method the server offers)
//   attachments full paths separated by TAB, or the empty text for none
//
// A mail goes out as ISO-2022-JP when every character of name, subject and body fits, else as
// UTF-8. Headers are RFC 2047 encoded; line breaks in a name or subject never start a header.
// Every step has a time limit (see SetLimits).
//
// TLS: SMTP port 465 speaks TLS from the first byte; on any other port, and for the POP3 login,
// the connection turns to TLS (STARTTLS, STLS) whenever the server offers it, and stays plain
// with a server that offers none. The server's certificate and host name are checked against the
// system's CA store, or against the CA file named by CURL_CA_BUNDLE or SSL_CERT_FILE when one is
// set; a certificate that does not verify fails the call, which is never retried in plain, and a
// server that offers TLS and then refuses it gets nothing in plain either.
#include <QString>
#include <QVariant>

#include "mail/net_limits.h"

namespace mail {

// Sends one mail. Returns the empty text when the server accepted it, otherwise an error text.
// Nothing is sent when an argument is malformed or an attachment cannot be read, and a mail
// with credentials is never sent unauthenticated (a server that offers no AUTH is an error).
QString SendMail(const QString& server, const QString& recipients, const QString& sender,
                 const QString& subject, const QString& body, const QString& attachments);

// As SendMail, and appends the dialogue with the server to `traceFile` (passwords masked).
// A trace file that cannot be written does not stop the mail.
QString SendMailEx(const QString& traceFile, const QString& server, const QString& recipients,
                   const QString& sender, const QString& subject, const QString& body,
                   const QString& attachments);

// Logs in to the POP3 server and runs `command`; only "STAT" is known. On success the result
// is a list {message count, mailbox size in octets}; on failure it is the error text (a
// QString), never a list. `folder` is where received mail would go; STAT stores nothing.
QVariant RcvMail(const QString& server, const QString& user, const QString& password,
                 const QString& command, const QString& folder);

// Time limits of every SMTP and POP3 call (defaults: the TCP connection 15 s, each reply, the
// greeting included, 300 s, a stalled transfer 300 s; none on the whole exchange).
void SetLimits(const net::Limits& limits);
net::Limits CurrentLimits();

// Ports used when a server text names none (25 and 110).
void SetDefaultPorts(int smtp, int pop3);

}  // namespace mail
