#pragma once
// Real servers for the tests: Debian's Python programs (tests/support/servers/) on free
// 127.0.0.1 ports, each in a temporary folder of its own, started when asked and stopped (by
// their process id) when the object goes.
//
//   testsupport::SmtpServer smtp;
//   ASSERT_TRUE(smtp.Start()) << smtp.Error();
//   ... "127.0.0.1\t" + QString::number(smtp.Port()) ...
//   EXPECT_EQ(smtp.Messages().size(), 1);
#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace testsupport {

// The folder of the server programs.
QString ServerScriptDir();

// One server process. Start() returns once the server listens (at most 10 s).
class ServerProcess {
 public:
  ServerProcess();
  virtual ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool IsRunning() const;
  void Stop();
  int Port() const { return port_; }
  // The server's own folder (stored mails, logs, the FTP home).
  QString Dir() const { return dir_.path(); }
  // Why Start() failed, with what the server wrote to its error output.
  QString Error() const { return error_; }

 protected:
  bool StartScript(const QString& script, const QStringList& arguments);
  QStringList LogLines(const QString& fileName) const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  QString error_;
};

// Certificates made for one test run by a test CA (make_certs.py): the CA a test names in
// SSL_CERT_FILE or CURL_CA_BUNDLE, and key-and-certificate files for the servers' --tls-cert.
class TestCertificates {
 public:
  bool Make();  // false when they could not be made (Error tells why)
  QString Error() const { return error_; }
  QString Ca() const { return File(QStringLiteral("ca.pem")); }
  // For 127.0.0.1 and localhost, signed by the test CA.
  QString Signed() const { return File(QStringLiteral("signed.pem")); }
  // For 127.0.0.1 and localhost, signed by no CA.
  QString Unsigned() const { return File(QStringLiteral("unsigned.pem")); }
  // Signed by the test CA for another host name.
  QString OtherName() const { return File(QStringLiteral("othername.pem")); }

 private:
  QString File(const QString& name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
  QString error_;
};

// Names `caFile` in the environment variable `variable` (SSL_CERT_FILE or CURL_CA_BUNDLE), as an
// installation names its own CA, with the other one unset; null names none (the system's store
// alone). Both come back as they were when the object goes.
class TrustedCa {
 public:
  TrustedCa(const char* variable, const QString& caFile);
  ~TrustedCa();
  TrustedCa(const TrustedCa&) = delete;
  TrustedCa& operator=(const TrustedCa&) = delete;

 private:
  QByteArray saved_[2];
  bool wasSet_[2] = {};
};

// How an SMTP server speaks TLS: not at all, STARTTLS offered, STARTTLS required before any
// mail command, STARTTLS offered and then refused (454), or from the first byte.
enum class SmtpTls { None, Offer, Require, Refuse, Implicit };

struct SmtpOptions {
  QString user{};              // with a user the server offers AUTH and wants it
  QString password{};
  QStringList mechanisms{QStringLiteral("LOGIN"), QStringLiteral("PLAIN"),
                         QStringLiteral("CRAM-MD5")};
  QString rejectRecipient{};   // recipients holding this text get 550
  int dropDataAfter = -1;      // >= 0: drop the connection after that many bytes of DATA
  bool hangAfterData = false;  // take the message and never answer
  double holdDataSeconds = 0;  // > 0: take the message and accept it only after that long
  double holdGreetingSeconds = 0;  // > 0: greet only that long after the connection is made
  double holdRepliesSeconds = 0;   // > 0: every later reply only that long after its command
  int port = 0;                // listen on this port (0: a free one); Start fails when it is taken
  SmtpTls tls = SmtpTls::None;
  QString tlsCert{};           // key and certificate (a TestCertificates file) for `tls`
};

class SmtpServer : public ServerProcess {
 public:
  bool Start(const SmtpOptions& options = {});
  // Stored mails (.eml files), in the order they arrived.
  QStringList Messages() const;
  QByteArray MessageBytes(int index) const;
  // Envelope of a stored mail: mail_from, rcpt_tos, auth_user, auth_mech.
  QJsonObject Envelope(int index) const;
  // Connections the server has accepted so far.
  int Connections() const;
  // Every AUTH and MAIL command received, with how it came: "AUTH tls", "MAIL plain".
  QStringList Commands() const;
};

class Pop3Server : public ServerProcess {
 public:
  // One mailbox holding `messages` messages of 300 octets each; with `tlsCert` STLS is offered.
  bool Start(const QString& user, const QString& password, int messages = 2,
             const QString& tlsCert = {});
  // The command lines received, the password of PASS masked ("connect" marks a connection,
  // "tls" a connection turned to TLS).
  QStringList Commands() const;
  int Connections() const;
};

class FtpServer : public ServerProcess {
 public:
  // On a free port, or on `port` when it is given. With `tlsCert` the server offers AUTH TLS
  // and a protected data channel, whose handshake it never answers with `stallDataTls`.
  bool Start(const QString& user, const QString& password, int port = 0,
             const QString& tlsCert = {}, bool stallDataTls = false);
  // The folder that is "/" for the user.
  QString Home() const;
  // Every PASS and STOR received, with how it came: "PASS tls", "STOR plain".
  QStringList Commands() const;
};

// Accepts connections and never answers.
class SilentServer : public ServerProcess {
 public:
  bool Start(int port = 0);
};

// A stored mail read back by Python's email module: subject, from_name, from_addr, to,
// charset, body, attachments [{filename, type, data (base64)}], defects, seven_bit,
// long_header_lines, bare_line_ends, header_names. An "error" key when parsing failed.
QJsonObject ParseMail(const QString& emlPath);

// Lines a server recorded, joined by "|", for failure messages a reader can follow.
std::string Joined(const QStringList& lines);

// A 127.0.0.1 port on which nothing listens (just released by the kernel).
int UnusedPort();
// The same below 32768, for a port the settings file holds (a 16-bit number): the kernel hands
// out free ports above it.
int UnusedSettingsPort();

}  // namespace testsupport
