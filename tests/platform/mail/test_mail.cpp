// The mail library against real servers on 127.0.0.1: what a mail program reads back from the
// stored mail, the argument forms, authentication, TLS, the trace file, the POP3 login, and every
// failure ending with an error text within its time limit.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

#include <functional>

#include "mail/mail.h"
#include "support/support_servers.h"

namespace {

using testsupport::Joined;
using testsupport::TrustedCa;

using testsupport::ParseMail;

QString At(const testsupport::ServerProcess& server) {
  return QStringLiteral("127.0.0.1\t") + QString::number(server.Port());
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MailLibrary : public ::testing::Test {
 protected:
  static constexpr int kLimit = 10;  // room for a loaded machine: no test here waits for a limit

  static void SetUpTestSuite() {
    smtp_ = new testsupport::SmtpServer;
    ASSERT_TRUE(smtp_->Start()) << smtp_->Error().toStdString();
  }
  static void TearDownTestSuite() {
    delete smtp_;
    smtp_ = nullptr;
  }
  void SetUp() override { mail::SetLimits({kLimit, kLimit, kLimit}); }
  void TearDown() override { mail::SetLimits({}); }

  // A photo-sized file of random bytes.
  QString WritePhoto(const QString& name, int size) {
    QByteArray bytes(size, '\0');
    for (char& b : bytes) b = char(QRandomGenerator::global()->bounded(256));
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  static testsupport::SmtpServer* smtp_;
  QTemporaryDir dir_;
};
testsupport::SmtpServer* MailLibrary::smtp_ = nullptr;

// ---- what arrives -----------------------------------------------------------------------------

TEST_F(MailLibrary, JapaneseMailWithPhotoReadsBackExactlyInBothCharsets) {
  struct Case {
    QString name, subject, body, charset;
  } cases[] = {
      // Every character fits ISO-2022-JP: 7-bit mail.
      {QStringLiteral("山田 太郎"),
       QStringLiteral("【入室】山田太郎さまが入室しました。2024/05/01 08:15:00 記録番号 ABC-12345 ご確認ください"),
       QStringLiteral("山田太郎さま\n本日 08:15 に入室しました。\r\n.\n..ドットで始まる行\rおわり"),
       QStringLiteral("iso-2022-jp")},
      // ① 髙 ～ and half-width kana have no place in ISO-2022-JP: UTF-8.
      {QStringLiteral("髙橋 ①"), QStringLiteral("ｶﾅ 入室のお知らせ ～ ㈱ベルモア"),
       QStringLiteral("髙橋さま\n入室 ①\n"), QStringLiteral("utf-8")},
  };
  const QString photo = WritePhoto(QStringLiteral("20240501081500.jpg"), 110 * 1024);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.charset.toStdString());
    const int before = int(smtp_->Messages().size());
    EXPECT_EQ(mail::SendMail(At(*smtp_), QStringLiteral("parent@example.jp"),
                             c.name + QStringLiteral("<station@example.jp>"), c.subject, c.body,
                             photo),
              QString());
    ASSERT_EQ(smtp_->Messages().size(), before + 1);
    const QJsonObject mail = ParseMail(smtp_->Messages().last());
    ASSERT_FALSE(mail.contains(QStringLiteral("error"))) << mail.value("error").toString().toStdString();
    EXPECT_EQ(mail.value("subject").toString(), c.subject);
    EXPECT_EQ(mail.value("from_name").toString(), c.name);
    EXPECT_EQ(mail.value("from_addr").toString(), QStringLiteral("station@example.jp"));
    EXPECT_EQ(mail.value("charset").toString(), c.charset);
    QString expected = c.body;  // every line break CR LF, the last line ended
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!expected.endsWith(QLatin1Char('\n'))) expected += QLatin1Char('\n');
    expected.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    EXPECT_EQ(mail.value("body").toString(), expected);
    const QJsonArray attachments = mail.value("attachments").toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0].toObject().value("filename").toString(), QStringLiteral("20240501081500.jpg"));
    EXPECT_EQ(attachments[0].toObject().value("type").toString(), QStringLiteral("image/jpeg"));
    EXPECT_TRUE(QByteArray::fromBase64(attachments[0].toObject().value("data").toString().toLatin1()) ==
                ReadFile(photo));
    EXPECT_TRUE(mail.value("defects").toArray().isEmpty());
    EXPECT_TRUE(mail.value("long_header_lines").toArray().isEmpty());
    EXPECT_FALSE(mail.value("bare_line_ends").toBool());
    EXPECT_TRUE(mail.value("seven_bit").toBool());  // 7bit text or base64
  }
}

TEST_F(MailLibrary, LongSubjectsAndBodyLinesStayWithinTheLineLimits) {
  QString subject, line;
  for (int i = 0; i < 60; ++i) subject += QStringLiteral("入室のお知らせ");  // 420 characters
  for (int i = 0; i < 700; ++i) line += QStringLiteral("長い");             // 1400 characters
  for (const QString& tail : {QString(), QStringLiteral("①")}) {            // both charsets
    ASSERT_EQ(mail::SendMail(At(*smtp_), QStringLiteral("a@example.jp"), QStringLiteral("<s@example.jp>"),
                             subject + tail, line + tail + QStringLiteral("\n短い行\n"), QString()),
              QString());
    const QJsonObject mail = ParseMail(smtp_->Messages().last());
    EXPECT_EQ(mail.value("subject").toString(), subject + tail);
    EXPECT_EQ(mail.value("body").toString(), line + tail + QStringLiteral("\r\n短い行\r\n"));
    EXPECT_TRUE(mail.value("long_header_lines").toArray().isEmpty());
    for (const QByteArray& raw : smtp_->MessageBytes(int(smtp_->Messages().size()) - 1).split('\n'))
      ASSERT_LE(raw.size(), 999);
  }
}

TEST_F(MailLibrary, PlainTextMailWithoutAttachmentIsOnePart) {
  ASSERT_EQ(mail::SendMail(At(*smtp_), QStringLiteral("a@example.jp"),
                           QStringLiteral("Station \"A\" \\ B<station@example.jp>"),
                           QStringLiteral("Plain subject"), QString(), QString()),
            QString());
  const QJsonObject mail = ParseMail(smtp_->Messages().last());
  EXPECT_EQ(mail.value("from_name").toString(), QStringLiteral("Station \"A\" \\ B"));
  EXPECT_EQ(mail.value("subject").toString(), QStringLiteral("Plain subject"));
  EXPECT_EQ(mail.value("body").toString(), QString());
  EXPECT_TRUE(mail.value("attachments").toArray().isEmpty());
  EXPECT_TRUE(mail.value("header_names").toArray().contains(QStringLiteral("Date")));
  EXPECT_TRUE(mail.value("header_names").toArray().contains(QStringLiteral("Message-ID")));
}

TEST_F(MailLibrary, LineBreaksInNameOrSubjectNeverStartAHeader) {
  const QString injected[] = {QStringLiteral("\r\nBcc: thief@evil.example"),
                              QStringLiteral("\nX-Injected: yes"),
                              QStringLiteral("\rX-Injected: yes")};
  for (const QString& tail : injected) {
    for (bool japanese : {false, true}) {
      const QString subject = (japanese ? QStringLiteral("件名") : QStringLiteral("Subject")) + tail;
      const QString name = (japanese ? QStringLiteral("名前") : QStringLiteral("Name")) + tail;
      ASSERT_EQ(mail::SendMail(At(*smtp_), QStringLiteral("a@example.jp"),
                               name + QStringLiteral("<station@example.jp>"), subject,
                               QStringLiteral("body"), QString()),
                QString());
      const QJsonObject mail = ParseMail(smtp_->Messages().last());
      const QJsonArray headers = mail.value("header_names").toArray();
      EXPECT_FALSE(headers.contains(QStringLiteral("Bcc")));
      EXPECT_FALSE(headers.contains(QStringLiteral("X-Injected")));
      EXPECT_FALSE(mail.value("subject").toString().contains(QLatin1Char('\n')));
      EXPECT_TRUE(mail.value("subject").toString().contains(QStringLiteral("X-Injected: yes")) ||
                  mail.value("subject").toString().contains(QStringLiteral("Bcc: thief")));
      EXPECT_EQ(smtp_->Envelope(int(smtp_->Messages().size()) - 1).value("rcpt_tos").toArray(),
                QJsonArray{QStringLiteral("a@example.jp")});
    }
  }
}

// ---- argument forms -----------------------------------------------------------------------

TEST_F(MailLibrary, MalformedArgumentsSendNothing) {
  const int connections = smtp_->Connections();
  struct Case {
    QString server, recipients, sender, attachments;
  } cases[] = {
      {At(*smtp_), QString(), QStringLiteral("<s@example.jp>"), QString()},
      {At(*smtp_), QStringLiteral("\t\t"), QStringLiteral("<s@example.jp>"), QString()},
      {At(*smtp_), QStringLiteral("a@example.jp>\r\nRCPT TO:<b@example.jp"), QStringLiteral("<s@example.jp>"), QString()},
      {At(*smtp_), QStringLiteral("a@example.jp"), QStringLiteral("name<s@example.jp>\r\nDATA"), QString()},
      {At(*smtp_), QStringLiteral("a@example.jp"), QStringLiteral("name"), QString()},
      {At(*smtp_), QStringLiteral("a@example.jp"), QStringLiteral("<s@example.jp>\tu:p\tDIGEST-MD5"), QString()},
      {At(*smtp_), QStringLiteral("a@example.jp"), QStringLiteral("<s@example.jp>"), dir_.filePath(QStringLiteral("missing.jpg"))},
      {QStringLiteral("127.0.0.1\tport"), QStringLiteral("a@example.jp"), QStringLiteral("<s@example.jp>"), QString()},
      {QStringLiteral("host/x@evil\t25"), QStringLiteral("a@example.jp"), QStringLiteral("<s@example.jp>"), QString()},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(mail::SendMail(c.server, c.recipients, c.sender, QStringLiteral("s"),
                                QStringLiteral("b"), c.attachments)
                     .isEmpty())
        << c.recipients.toStdString() << " / " << c.sender.toStdString();
  }
  EXPECT_EQ(smtp_->Connections(), connections);
}

// ---- authentication and the trace file ----------------------------------------------------------

TEST_F(MailLibrary, EachLoginMethodIsUsedAsAskedAndTracedWithoutThePassword) {
  testsupport::SmtpServer server;
  ASSERT_TRUE(server.Start({QStringLiteral("mailer"), QStringLiteral("s3cret:pw")}))
      << server.Error().toStdString();
  const QString trace = dir_.filePath(QStringLiteral("log/mail20240501.log"));
  for (const QString& method : {QStringLiteral("LOGIN"), QStringLiteral("CRAM-MD5"), QStringLiteral("PLAIN")}) {
    EXPECT_EQ(mail::SendMailEx(trace, At(server), QStringLiteral("a@example.jp"),
                               QStringLiteral("局<s@example.jp>\tmailer:s3cret:pw\t") + method,
                               QStringLiteral("件名"), QStringLiteral("本文"), QString()),
              QString())
        << method.toStdString();
    const QJsonObject envelope = server.Envelope(int(server.Messages().size()) - 1);
    EXPECT_EQ(envelope.value("auth_mech").toString(), method);
    EXPECT_EQ(envelope.value("auth_user").toString(), QStringLiteral("mailer"));
  }
  ASSERT_EQ(server.Messages().size(), 3);

  const QByteArray text = ReadFile(trace);
  EXPECT_EQ(text.count("==== "), 6) << "three mails appended, each opened and closed";
  EXPECT_TRUE(text.contains("> EHLO ")) << text.constData();
  EXPECT_TRUE(text.contains("< 250 2.0.0 Message accepted"));
  EXPECT_TRUE(text.contains("> AUTH LOGIN"));
  EXPECT_TRUE(text.contains("> AUTH CRAM-MD5"));
  EXPECT_TRUE(text.contains("> AUTH PLAIN"));
  EXPECT_FALSE(text.contains("s3cret"));
  for (const QByteArray& secret :
       {QByteArray("s3cret:pw").toBase64(), QByteArray("mailer\0s3cret:pw", 16).toBase64(),
        QByteArray("\0mailer\0s3cret:pw", 17).toBase64()})
    EXPECT_FALSE(text.contains(secret)) << secret.constData();
}

TEST_F(MailLibrary, FailedLoginsAndUnauthenticatedSendsAreRefused) {
  testsupport::SmtpServer server;
  ASSERT_TRUE(server.Start({QStringLiteral("mailer"), QStringLiteral("pw"), {QStringLiteral("PLAIN")}}))
      << server.Error().toStdString();
  // A wrong password, and a method the server does not offer.
  EXPECT_FALSE(mail::SendMail(At(server), QStringLiteral("a@example.jp"),
                              QStringLiteral("<s@example.jp>\tmailer:wrong\tPLAIN"),
                              QStringLiteral("s"), QStringLiteral("b"), QString())
                   .isEmpty());
  EXPECT_FALSE(mail::SendMail(At(server), QStringLiteral("a@example.jp"),
                              QStringLiteral("<s@example.jp>\tmailer:pw\tLOGIN"),
                              QStringLiteral("s"), QStringLiteral("b"), QString())
                   .isEmpty());
  // Without credentials the server refuses the mail itself.
  EXPECT_FALSE(mail::SendMail(At(server), QStringLiteral("a@example.jp"),
                              QStringLiteral("<s@example.jp>"), QStringLiteral("s"),
                              QStringLiteral("b"), QString())
                   .isEmpty());
  EXPECT_TRUE(server.Messages().isEmpty());

  // Credentials for a server that offers no AUTH at all: the mail must not slip out
  // unauthenticated, with or without an attachment.
  const int before = int(smtp_->Messages().size());
  const QString photo = WritePhoto(QStringLiteral("p.jpg"), 1000);
  for (const QString& attachment : {QString(), photo}) {
    const QString error = mail::SendMail(At(*smtp_), QStringLiteral("a@example.jp"),
                                         QStringLiteral("<s@example.jp>\tmailer:pw\tLOGIN"),
                                         QStringLiteral("s"), QStringLiteral("b"), attachment);
    EXPECT_TRUE(error.contains(QStringLiteral("authentication"))) << error.toStdString();
  }
  EXPECT_EQ(smtp_->Messages().size(), before);
}

// ---- POP3 login -----------------------------------------------------------------------------

TEST_F(MailLibrary, Pop3StatGivesAListOnlyAfterASuccessfulLogin) {
  testsupport::Pop3Server pop;
  ASSERT_TRUE(pop.Start(QStringLiteral("box"), QStringLiteral("pa ss"), 3)) << pop.Error().toStdString();

  const QVariant good = mail::RcvMail(At(pop), QStringLiteral("box"), QStringLiteral("pa ss"),
                                      QStringLiteral("STAT"), dir_.path());
  ASSERT_EQ(good.typeId(), QMetaType::QVariantList) << good.toString().toStdString();
  EXPECT_EQ(good.toList(), (QVariantList{3, 900}));
  EXPECT_TRUE(pop.Commands().contains(QStringLiteral("USER box")));
  EXPECT_TRUE(pop.Commands().contains(QStringLiteral("PASS ****")));
  EXPECT_TRUE(pop.Commands().contains(QStringLiteral("STAT")));

  // The default port comes into play when the server text names none.
  mail::SetDefaultPorts(25, pop.Port());
  EXPECT_EQ(mail::RcvMail(QStringLiteral("127.0.0.1"), QStringLiteral("box"), QStringLiteral("pa ss"),
                          QStringLiteral("STAT"), dir_.path())
                .typeId(),
            QMetaType::QVariantList);
  mail::SetDefaultPorts(25, 110);

  const QVariant refused = mail::RcvMail(At(pop), QStringLiteral("box"), QStringLiteral("wrong"),
                                         QStringLiteral("STAT"), dir_.path());
  EXPECT_NE(refused.typeId(), QMetaType::QVariantList);
  EXPECT_FALSE(refused.toString().isEmpty());
}

// ---- TLS ------------------------------------------------------------------------------------

const QString kAuthSender = QStringLiteral("局<s@example.jp>\tmailer:pw\tLOGIN");

TEST_F(MailLibrary, TlsIsTakenWheneverOfferedAndTheLoginGoesOnlyOverIt) {
  testsupport::TestCertificates certs;
  ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
  const QString trace = dir_.filePath(QStringLiteral("log/mail20240501.log"));
  // A server that wants STARTTLS before AUTH (as providers on 587 do), and one that offers it
  // but would take the password in plain.
  for (const testsupport::SmtpTls tls : {testsupport::SmtpTls::Require, testsupport::SmtpTls::Offer}) {
    for (const char* variable : {"SSL_CERT_FILE", "CURL_CA_BUNDLE"}) {
      const TrustedCa ca(variable, certs.Ca());
      testsupport::SmtpServer server;
      ASSERT_TRUE(server.Start({.user = QStringLiteral("mailer"), .password = QStringLiteral("pw"),
                                .tls = tls, .tlsCert = certs.Signed()}))
          << server.Error().toStdString();
      EXPECT_EQ(mail::SendMailEx(trace, At(server), QStringLiteral("a@example.jp"), kAuthSender,
                                 QStringLiteral("件名"), QStringLiteral("本文"), QString()),
                QString())
          << variable;
      EXPECT_EQ(server.Messages().size(), 1);
      EXPECT_EQ(Joined(server.Commands()), "AUTH tls|MAIL tls");
    }
  }
  EXPECT_TRUE(ReadFile(trace).contains("> STARTTLS"));

  // The POP3 login before SMTP: STLS first, the password after.
  const TrustedCa ca("SSL_CERT_FILE", certs.Ca());
  testsupport::Pop3Server pop;
  ASSERT_TRUE(pop.Start(QStringLiteral("box"), QStringLiteral("pw"), 1, certs.Signed()))
      << pop.Error().toStdString();
  const QVariant stat = mail::RcvMail(At(pop), QStringLiteral("box"), QStringLiteral("pw"),
                                      QStringLiteral("STAT"), dir_.path());
  EXPECT_EQ(stat.typeId(), QMetaType::QVariantList) << stat.toString().toStdString();
  const QStringList commands = pop.Commands();
  EXPECT_GE(commands.indexOf(QStringLiteral("tls")), 0) << commands.join(QLatin1Char('|')).toStdString();
  EXPECT_LT(commands.indexOf(QStringLiteral("tls")), commands.indexOf(QStringLiteral("PASS ****")));
}

TEST_F(MailLibrary, TlsThatDoesNotHoldFailsTheCallAndNothingGoesInPlain) {
  testsupport::TestCertificates certs;
  ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
  const QString trace = dir_.filePath(QStringLiteral("log/mail20240501.log"));
  const struct {
    const char* what;
    testsupport::SmtpTls tls;
    QString cert;
    const char* caVariable;
  } cases[] = {
      {"signed by no CA", testsupport::SmtpTls::Offer, certs.Unsigned(), "SSL_CERT_FILE"},
      {"signed for another host", testsupport::SmtpTls::Offer, certs.OtherName(), "SSL_CERT_FILE"},
      {"signed by a CA the system does not know", testsupport::SmtpTls::Offer, certs.Signed(), nullptr},
      {"offered, then refused", testsupport::SmtpTls::Refuse, certs.Signed(), "SSL_CERT_FILE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TrustedCa ca(c.caVariable, certs.Ca());
    testsupport::SmtpServer server;
    ASSERT_TRUE(server.Start({.user = QStringLiteral("mailer"), .password = QStringLiteral("pw"),
                              .tls = c.tls, .tlsCert = c.cert}))
        << server.Error().toStdString();
    const QString error = mail::SendMailEx(trace, At(server), QStringLiteral("a@example.jp"),
                                           kAuthSender, QStringLiteral("s"), QStringLiteral("b"),
                                           QString());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(server.Connections(), 1) << "no second try";
    EXPECT_EQ(Joined(server.Commands()), "") << "nothing in plain";
    EXPECT_TRUE(server.Messages().isEmpty());
    if (c.tls == testsupport::SmtpTls::Refuse) continue;

    testsupport::Pop3Server pop;
    ASSERT_TRUE(pop.Start(QStringLiteral("box"), QStringLiteral("pw"), 1, c.cert))
        << pop.Error().toStdString();
    EXPECT_NE(mail::RcvMail(At(pop), QStringLiteral("box"), QStringLiteral("pw"),
                            QStringLiteral("STAT"), dir_.path())
                  .typeId(),
              QMetaType::QVariantList);
    EXPECT_FALSE(pop.Commands().contains(QStringLiteral("PASS ****")));
  }
  const QByteArray text = ReadFile(trace);
  EXPECT_EQ(text.count("==== "), 8);
  EXPECT_EQ(text.count("==== failed: SMTP: "), 4) << text.constData();
}

// Starts a server on a fixed port that another test program on this machine may hold a moment.
bool StartWhenFree(const std::function<bool()>& start) {
  for (int attempt = 0; attempt < 60; ++attempt) {
    if (start()) return true;
    usleep(500 * 1000);
  }
  return false;
}

// Port 465 speaks TLS from the first byte. Only root binds it (CI runs the tests as root).
TEST_F(MailLibrary, Port465SpeaksTlsFromTheFirstByte) {
  if (geteuid() != 0) GTEST_SKIP() << "port 465 can only be bound by root";
  testsupport::TestCertificates certs;
  ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
  const TrustedCa ca("SSL_CERT_FILE", certs.Ca());
  for (const QString& cert : {certs.Signed(), certs.Unsigned()}) {
    testsupport::SmtpServer server;
    ASSERT_TRUE(StartWhenFree([&] {
      return server.Start({.user = QStringLiteral("mailer"), .password = QStringLiteral("pw"),
                           .port = 465, .tls = testsupport::SmtpTls::Implicit, .tlsCert = cert});
    })) << server.Error().toStdString();
    const QString error = mail::SendMail(QStringLiteral("127.0.0.1\t465"), QStringLiteral("a@example.jp"),
                                         kAuthSender, QStringLiteral("s"), QStringLiteral("b"), QString());
    if (cert == certs.Signed()) {
      EXPECT_EQ(error, QString());
      EXPECT_EQ(Joined(server.Commands()), "AUTH tls|MAIL tls");
    } else {
      EXPECT_FALSE(error.isEmpty());
      EXPECT_EQ(Joined(server.Commands()), "");
    }
  }

  // A server that never begins the handshake is waited for as long as for any first reply.
  testsupport::SilentServer silent;
  ASSERT_TRUE(StartWhenFree([&] { return silent.Start(465); })) << silent.Error().toStdString();
  mail::SetLimits({1, 1, 1});
  QElapsedTimer clock;
  clock.start();
  const QString error = mail::SendMail(QStringLiteral("127.0.0.1\t465"), QStringLiteral("a@example.jp"),
                                       kAuthSender, QStringLiteral("s"), QStringLiteral("b"), QString());
  EXPECT_TRUE(error.contains(QStringLiteral("no reply within 1 s"))) << error.toStdString();
  EXPECT_LT(clock.elapsed(), 1900);
}

}  // namespace
