// DeliverMail against real SMTP and POP3 servers on 127.0.0.1, with a fake phone book for the
// dial-up: the texts as they arrive, the login rules of the settings, the order of dial-up, POP
// login and send, and each failure's result.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include "mail/mail.h"
#include "platform/dialup/fake_dialup.h"
#include "common/globals.h"
#include "common/mdlMail.h"
#include "support/support_program.h"
#include "support/support_servers.h"
#include "ui/clock.h"

namespace {

using testsupport::ParseMail;

// Failures must come within kLimit; mails that go out get room on a loaded machine.
constexpr int kLimit = 1;
constexpr int kRoom = 10;

class DeliverMailTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    smtp_ = new testsupport::SmtpServer;
    pop_ = new testsupport::Pop3Server;
    ASSERT_TRUE(smtp_->Start()) << smtp_->Error().toStdString();
    ASSERT_TRUE(pop_->Start(QStringLiteral("popuser"), QStringLiteral("poppw"))) << pop_->Error().toStdString();
  }
  static void TearDownTestSuite() {
    delete smtp_;
    delete pop_;
  }

  void SetUp() override {
    mail::SetLimits({kRoom, kRoom, kRoom});
    mail::SetDefaultPorts(25, pop_->Port());  // every POP host below is "127.0.0.1"
    ui::SetClock([] { return QDateTime(QDate(2024, 5, 1), QTime(8, 15, 30)); });
    gblnIsServer = false;
    gstrSmtpServer = QStringLiteral("127.0.0.1");
    gstrMailServer = QStringLiteral("127.0.0.1");
    gstrPop3Server = QStringLiteral("127.0.0.1");
    gintPort = smtp_->Port();
    gintMailReg = 0;
    gintRegM = 0;
    gstrMailID = QStringLiteral("service@example.jp");
    gstrMailPsw = QStringLiteral("wrong-service-password");
    gstrAuthID = QStringLiteral("popuser");
    gstrAuthPsw = QStringLiteral("poppw");
  }
  void TearDown() override {
    mail::SetLimits({});
    mail::SetDefaultPorts(25, 110);
    ui::SetClock({});
  }

  MailResult Deliver(const QString& recipients, const QString& subject = QStringLiteral("件名"),
                     const QString& body = QStringLiteral("本文"),
                     const QString& name = QStringLiteral("山田"), const QString& attachment = QString(),
                     const QString& dialEntry = QString(), bool trace = false) {
    // The account from the settings; sender and dial-up as a window would give them.
    MailAccount account = MailAccountFromSettings();
    account.senderName = QStringLiteral("ベルモア教室");
    account.senderAddress = QStringLiteral("station@example.jp");
    account.dialEntry = dialEntry;
    account.dialUser = QStringLiteral("taro");
    account.dialPassword = QStringLiteral("dialpw");
    account.traceVariant = trace;
    return DeliverMail(account, recipients, subject, body, name, QStringLiteral("さま"), attachment);
  }

  static QJsonObject LastMail() { return ParseMail(smtp_->Messages().last()); }
  static QJsonObject LastEnvelope() { return smtp_->Envelope(int(smtp_->Messages().size()) - 1); }
  QString TraceFile() const { return folder_.Path() + QStringLiteral("log/mail20240501.log"); }

  testsupport::ProgramFolder folder_;
  static testsupport::SmtpServer* smtp_;
  static testsupport::Pop3Server* pop_;
};
testsupport::SmtpServer* DeliverMailTest::smtp_ = nullptr;
testsupport::Pop3Server* DeliverMailTest::pop_ = nullptr;

// ---- texts ------------------------------------------------------------------------------------

TEST_F(DeliverMailTest, RecipientListsBecomeOneEnvelopeRecipientEach) {
  for (const QString& recipients : {QStringLiteral("a@example.jp;b@example.jp"),
                                    QStringLiteral("a@example.jp;;b@example.jp"),
                                    QStringLiteral(" a@example.jp ;b@example.jp;")}) {
    ASSERT_EQ(Deliver(recipients), MailResult::Sent) << recipients.toStdString();
    EXPECT_EQ(LastEnvelope().value("rcpt_tos").toArray(),
              (QJsonArray{QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp")}));
    EXPECT_EQ(LastEnvelope().value("mail_from").toString(), QStringLiteral("station@example.jp"));
  }
  ASSERT_EQ(Deliver(QStringLiteral("only@example.jp")), MailResult::Sent);
  EXPECT_EQ(LastEnvelope().value("rcpt_tos").toArray(), QJsonArray{QStringLiteral("only@example.jp")});
}

TEST_F(DeliverMailTest, EntryNoticeWithPhotoArrivesWithPlaceholdersFilledInOrder) {
  QByteArray photo(100 * 1024, '\0');
  for (int i = 0; i < photo.size(); ++i) photo[i] = char((i * 131) >> 3);
  folder_.WriteBytes(QStringLiteral("ScanData/20240501081530.jpg"), photo);
  const QString photoPath = folder_.Path() + QStringLiteral("ScanData/20240501081530.jpg");
  const QString subject = QStringLiteral("%名前%%敬称% 入室 %日付% %時間%");
  const QString body = QStringLiteral("%名前%%敬称%が入室しました。\n日時 %日付% %時間%\n%名前%");
  struct Case {
    QString name, charset;
  } cases[] = {
      // The name itself holds "%敬称%": the honorific replacement comes after the name's.
      {QStringLiteral("山田 太郎%敬称%"), QStringLiteral("iso-2022-jp")},
      {QStringLiteral("髙橋 ①"), QStringLiteral("utf-8")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.charset.toStdString());
    ASSERT_EQ(Deliver(QStringLiteral("parent@example.jp"), subject, body, c.name, photoPath), MailResult::Sent);
    const QString shown = QString(c.name).replace(QStringLiteral("%敬称%"), QStringLiteral("さま"));
    const QJsonObject mail = LastMail();
    EXPECT_EQ(mail.value("charset").toString(), c.charset);
    EXPECT_EQ(mail.value("subject").toString(), shown + QStringLiteral("さま 入室 2024/05/01 08:15:30"));
    EXPECT_EQ(mail.value("body").toString(),
              shown + QStringLiteral("さまが入室しました。\r\n日時 2024/05/01 08:15:30\r\n") + shown + QStringLiteral("\r\n"));
    EXPECT_EQ(mail.value("from_name").toString(), QStringLiteral("ベルモア教室"));
    EXPECT_EQ(mail.value("from_addr").toString(), QStringLiteral("station@example.jp"));
    const QJsonArray attachments = mail.value("attachments").toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0].toObject().value("filename").toString(), QStringLiteral("20240501081530.jpg"));
    EXPECT_TRUE(QByteArray::fromBase64(attachments[0].toObject().value("data").toString().toLatin1()) == photo);
  }

  // Without placeholders the texts go unchanged.
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("お知らせ 100%"),
                    QStringLiteral("%名前 %時間"), QStringLiteral("山田")),
            MailResult::Sent);
  EXPECT_EQ(LastMail().value("subject").toString(), QStringLiteral("お知らせ 100%"));
  EXPECT_EQ(LastMail().value("body").toString(), QStringLiteral("%名前 %時間\r\n"));
}

// ---- login rules ------------------------------------------------------------------------------

TEST_F(DeliverMailTest, LoginFollowsTheMailServerSettings) {
  testsupport::SmtpServer guarded;
  ASSERT_TRUE(guarded.Start({QStringLiteral("smtpuser"), QStringLiteral("smtppw")}));
  struct Case {
    const char* what;
    bool isServer;
    int mailReg, regM;
    testsupport::SmtpServer* smtp;
    const char* popUser;    // nullptr: no POP login
    const char* authMech;   // nullptr: no SMTP login
  } cases[] = {
      {"own server, no login", false, 0, 1, smtp_, nullptr, nullptr},
      {"own server, login flag 2", false, 2, 3, smtp_, nullptr, nullptr},
      {"POP before SMTP", false, 1, 0, smtp_, "popuser", nullptr},
      {"AUTH LOGIN", false, 1, 1, &guarded, nullptr, "LOGIN"},
      {"AUTH CRAM-MD5", false, 1, 2, &guarded, nullptr, "CRAM-MD5"},
      {"AUTH PLAIN", false, 1, 3, &guarded, nullptr, "PLAIN"},
      {"built-in service", true, 1, 1, smtp_, "service@example.jp", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gblnIsServer = c.isServer;
    gintMailReg = c.mailReg;
    gintRegM = c.regM;
    gintPort = c.smtp->Port();
    gstrAuthID = c.authMech ? QStringLiteral("smtpuser") : QStringLiteral("popuser");
    gstrAuthPsw = c.authMech ? QStringLiteral("smtppw") : QStringLiteral("poppw");
    gstrMailPsw = QStringLiteral("poppw");
    gstrMailID = QStringLiteral("service@example.jp");
    if (c.isServer) {
      gstrMailServer = QStringLiteral("unused.invalid");  // the built-in service's host is used
      // The service account must be the mailbox of the POP server for this case.
      pop_->Stop();
      ASSERT_TRUE(pop_->Start(QStringLiteral("service@example.jp"), QStringLiteral("poppw")));
      mail::SetDefaultPorts(25, pop_->Port());
    }
    const int popConnections = pop_->Connections();
    const int stored = int(c.smtp->Messages().size());
    ASSERT_EQ(Deliver(QStringLiteral("a@example.jp")), MailResult::Sent);
    ASSERT_EQ(c.smtp->Messages().size(), stored + 1);
    const QJsonObject envelope = c.smtp->Envelope(stored);
    if (c.authMech) {
      EXPECT_EQ(envelope.value("auth_mech").toString(), QString::fromLatin1(c.authMech));
      EXPECT_EQ(envelope.value("auth_user").toString(), QStringLiteral("smtpuser"));
    } else {
      EXPECT_TRUE(envelope.value("auth_mech").isNull());
    }
    if (c.popUser) {
      EXPECT_EQ(pop_->Connections(), popConnections + 1);
      EXPECT_EQ(pop_->Commands().filter(QStringLiteral("USER ")).last(),
                QStringLiteral("USER ") + QString::fromUtf8(c.popUser));
      EXPECT_EQ(pop_->Commands().last(), QStringLiteral("QUIT"));
    } else {
      EXPECT_EQ(pop_->Connections(), popConnections);
    }
  }
}

TEST_F(DeliverMailTest, FailedPopLoginSendsNothingAndTracesNothing) {
  mail::SetLimits({kLimit, kLimit, kLimit});
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start());
  struct Case {
    const char* what;
    bool isServer;
    int popPort;
  } cases[] = {
      {"own POP3 server, wrong password", false, pop_->Port()},
      {"built-in service, wrong password", true, pop_->Port()},
      {"POP3 server down", false, testsupport::UnusedPort()},
      {"POP3 server silent", false, silent.Port()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gblnIsServer = c.isServer;
    gintMailReg = 1;
    gintRegM = 0;
    gstrAuthPsw = QStringLiteral("not-the-password");
    gstrMailPsw = QStringLiteral("not-the-password");
    mail::SetDefaultPorts(25, c.popPort);
    const int connections = smtp_->Connections();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"),
                      QStringLiteral("山田"), QString(), QString(), true),
              MailResult::ServerFailed);
    EXPECT_LT(clock.elapsed(), kLimit * 1000 + 900);
    EXPECT_EQ(smtp_->Connections(), connections) << "nothing may reach the SMTP server";
    EXPECT_FALSE(QFile::exists(TraceFile()));
  }
}

// ---- sending ------------------------------------------------------------------------------------

TEST_F(DeliverMailTest, SendFailuresAreReportedWithinTheTimeLimit) {
  mail::SetLimits({kLimit, kLimit, kLimit});
  testsupport::SmtpServer rejecting, dropping, hanging;
  testsupport::SilentServer silent;
  testsupport::SmtpOptions reject;
  reject.rejectRecipient = QStringLiteral("nobody");
  testsupport::SmtpOptions drop;
  drop.dropDataAfter = 1000;
  testsupport::SmtpOptions hang;
  hang.hangAfterData = true;
  ASSERT_TRUE(rejecting.Start(reject) && dropping.Start(drop) && hanging.Start(hang) && silent.Start());
  folder_.WriteBytes(QStringLiteral("ScanData/p.jpg"), QByteArray(20000, 'p'));
  struct Case {
    const char* what;
    int port;
    QString recipients;
  } cases[] = {
      {"server down", testsupport::UnusedPort(), QStringLiteral("a@example.jp")},
      {"recipient rejected", rejecting.Port(), QStringLiteral("a@example.jp;nobody@example.jp")},
      {"connection closed in DATA", dropping.Port(), QStringLiteral("a@example.jp")},
      {"silent server", silent.Port(), QStringLiteral("a@example.jp")},
      {"no answer to the data", hanging.Port(), QStringLiteral("a@example.jp")},
      {"no usable recipient", smtp_->Port(), QStringLiteral(";")},
  };
  for (const Case& c : cases) {
    gintPort = c.port;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Deliver(c.recipients, QStringLiteral("件名"), QStringLiteral("本文"), QStringLiteral("山田"),
                      folder_.Path() + QStringLiteral("ScanData/p.jpg"), QString(), true),
              MailResult::SendFailed)
        << c.what;
    // One time limit and a little: a clean-up that waited for the server again would take two.
    EXPECT_LT(clock.elapsed(), kLimit * 1000 + 900) << c.what;
  }
  EXPECT_TRUE(rejecting.Messages().isEmpty());
  EXPECT_TRUE(dropping.Messages().isEmpty());
  EXPECT_TRUE(hanging.Messages().isEmpty());
}

TEST_F(DeliverMailTest, TraceVariantWritesTheDaysTraceFileWithoutThePassword) {
  testsupport::SmtpServer guarded;
  ASSERT_TRUE(guarded.Start({QStringLiteral("smtpuser"), QStringLiteral("Sm7p-pw")}));
  gintMailReg = 1;
  gintRegM = 1;
  gstrAuthID = QStringLiteral("smtpuser");
  gstrAuthPsw = QStringLiteral("Sm7p-pw");
  gintPort = guarded.Port();
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp")), MailResult::Sent);
  EXPECT_FALSE(QFile::exists(TraceFile())) << "the plain variant keeps no trace";
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"),
                    QStringLiteral("山田"), QString(), QString(), true),
            MailResult::Sent);
  QFile file(TraceFile());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray trace = file.readAll();
  EXPECT_TRUE(trace.contains("> AUTH LOGIN"));
  EXPECT_TRUE(trace.contains("> RCPT TO:<a@example.jp>"));
  EXPECT_FALSE(trace.contains("Sm7p-pw"));
  EXPECT_FALSE(trace.contains(QByteArray("Sm7p-pw").toBase64()));
}

TEST_F(DeliverMailTest, WaitingEventsAreDeliveredOnceBeforeTheMailGoesOut) {
  const int stored = int(smtp_->Messages().size());
  int storedWhenDelivered = -1;
  QTimer::singleShot(0, [&] { storedWhenDelivered = int(smtp_->Messages().size()); });
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp")), MailResult::Sent);
  EXPECT_EQ(storedWhenDelivered, stored);
}

// ---- dial-up --------------------------------------------------------------------------------

TEST_F(DeliverMailTest, DialUpOnlyWhenAnEntryIsSetAndNoConnectionIsUp) {
  testsupport::FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "user taro\n");
  glngPauseTime = 0;

  // No entry: the remote-access side is never asked, even without any connection.
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp")), MailResult::Sent);
  EXPECT_EQ(fake.Dials(), 0);

  // A connection of another entry is up: nothing is dialled.
  fake.SetInterface(QStringLiteral("ppp3"), true);
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("s"), QStringLiteral("b"),
                    QStringLiteral("n"), QString(), QStringLiteral("office")),
            MailResult::Sent);
  EXPECT_EQ(fake.Dials(), 0);

  // No connection: the entry is dialled with its user, and the mail goes out.
  fake.SetInterface(QStringLiteral("ppp3"), false);
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("s"), QStringLiteral("b"),
                    QStringLiteral("n"), QString(), QStringLiteral("office")),
            MailResult::Sent);
  ASSERT_EQ(fake.Dials(), 1);
  EXPECT_EQ(fake.Arguments().mid(0, 5), (QStringList{"call", "office", "updetach", "user", "taro"}));
  EXPECT_EQ(fake.PasswordOptions(), QStringLiteral("password \"dialpw\"\n"));

  // The connection stays up: the next mail does not dial.
  ASSERT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("s"), QStringLiteral("b"),
                    QStringLiteral("n"), QString(), QStringLiteral("office")),
            MailResult::Sent);
  EXPECT_EQ(fake.Dials(), 1);
}

TEST_F(DeliverMailTest, FailedDialUpStopsBeforeLoginAndSend) {
  testsupport::FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "\n");
  fake.SetDial(testsupport::FakeDialup::Dial::Fail);
  glngPauseTime = 0;
  gintMailReg = 1;
  gintRegM = 0;
  const int smtpConnections = smtp_->Connections();
  const int popConnections = pop_->Connections();
  for (const QString& entry : {QStringLiteral("office"), QStringLiteral("missing")}) {
    EXPECT_EQ(Deliver(QStringLiteral("a@example.jp"), QStringLiteral("s"), QStringLiteral("b"),
                      QStringLiteral("n"), QString(), entry, true),
              MailResult::DialUpFailed);
  }
  EXPECT_EQ(fake.Dials(), 1);
  EXPECT_EQ(smtp_->Connections(), smtpConnections);
  EXPECT_EQ(pop_->Connections(), popConnections);
  EXPECT_FALSE(QFile::exists(TraceFile()));
}

}  // namespace
