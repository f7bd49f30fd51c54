// The second half of the road against real servers: the notification mail as it arrives, each
// mail failure with its label, log line and alarm, and the FTP record; whatever fails, the event
// keeps its history row once LastIn or LastOut is written.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "codepage/codepage.h"
#include "ftp/ftp.h"
#include "mail/mail.h"
#include "platform/dialup/fake_dialup.h"
#include "common/globals.h"
#include "common/mdlFTP.h"
#include "station_fixture.h"
#include "support/support_servers.h"

namespace stationtest {
namespace {

class NotifyTest : public StationTest {
 protected:
  static void SetUpTestSuite() {
    smtp_ = new testsupport::SmtpServer;
    ASSERT_TRUE(smtp_->Start(testsupport::SmtpOptions{.rejectRecipient = QStringLiteral("reject")}))
        << smtp_->Error().toStdString();
  }
  static void TearDownTestSuite() { delete smtp_; }

  void SetUp() override {
    StationTest::SetUp();
    Prepare(QStringLiteral("[MAIL]\nsendMail=True\n"));
    mail::SetLimits({2, 2, 2});
    ftp::SetLimits({2, 2, 2});
    gblnIsServer = false;
    gintMailReg = 0;
    gstrSmtpServer = QStringLiteral("127.0.0.1");
    gstrMailServer = QStringLiteral("127.0.0.1");
    gintPort = smtp_->Port();
    folder_.WriteText(QStringLiteral("Velmor.txt"),
                      QStringLiteral("%名前%%敬称%が入室しました。\n日時 %日付% %時間%\n"));
    folder_.WriteText(QStringLiteral("otMail.txt"), QStringLiteral("%名前%%敬称%が退室しました。\n"));
    folder_.AddMember(QStringLiteral("1001"), QStringLiteral("山田太郎"), QStringLiteral("さま"),
                      QString(), QStringLiteral("parent@example.jp;other@example.jp"));
    folder_.AddMember(QStringLiteral("1002"), QStringLiteral("佐藤"), QStringLiteral("さま"),
                      QString(), QStringLiteral("reject@example.jp"));
    folder_.AddMember(QStringLiteral("1003"), QStringLiteral("鈴木"), QStringLiteral("くん"));
    sent_ = smtp_->Messages().size();
    Open();
  }
  void TearDown() override {
    mail::SetLimits({});
    ftp::SetLimits({});
    StationTest::TearDown();
  }

  // FTP records on, to the server on `port` as ftpuser / ftppw.
  static void UseFtp(int port) {
    gblnFtp = true;
    gstrFtpServer = QStringLiteral("127.0.0.1:") + QString::number(port);
    gstrFtpUser = QStringLiteral("ftpuser");
    gstrFtpPsw = QStringLiteral("ftppw");
  }

  static testsupport::SmtpServer* smtp_;
  qsizetype sent_ = 0;
};
testsupport::SmtpServer* NotifyTest::smtp_ = nullptr;

TEST_F(NotifyTest, EntryMailArrivesWithItsPlaceholdersFilled) {
  Scan(QStringLiteral("1001"));
  const QStringList mails = smtp_->Messages();
  QFile trace(folder_.Path() + QStringLiteral("log/mail20260615.log"));
  trace.open(QIODevice::ReadOnly);
  ASSERT_EQ(mails.size(), sent_ + 1) << trace.readAll().toStdString();
  const QJsonObject mail = testsupport::ParseMail(mails.last());
  EXPECT_EQ(mail["subject"].toString(), QStringLiteral("入室 山田太郎さま"));
  EXPECT_EQ(mail["from_name"].toString(), QStringLiteral("テスト教室"));
  EXPECT_TRUE(mail["body"].toString().contains(QStringLiteral("山田太郎さまが入室しました。")));
  EXPECT_TRUE(mail["body"].toString().contains(QStringLiteral("日時 2026/06/15 09:05:00")));
  EXPECT_EQ(mail["attachments"].toArray().size(), 0);  // no camera, no photo
  EXPECT_EQ(smtp_->Envelope(int(mails.size()) - 1)["rcpt_tos"].toArray().size(), 2);
  EXPECT_EQ(History().size(), 1u);
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - アクセス,成功")});

  // A member without an address gets no mail; the event is otherwise complete.
  Scan(QStringLiteral("1003"));
  EXPECT_EQ(smtp_->Messages().size(), sent_ + 1);
  EXPECT_EQ(History().size(), 2u);
}

TEST_F(NotifyTest, FailedSendKeepsTheHistoryRowAndRaisesTheAlarm) {
  frmMain& f = Station();
  Scan(QStringLiteral("1002"));
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(Member("1002", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  EXPECT_TRUE(f.lblInput->isVisible());
  EXPECT_EQ(f.lblInput->text(), QStringLiteral("送信エラー！"));
  EXPECT_TRUE(f.mblnSendError);
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1002 - メール送信,失敗"), QStringLiteral("1002 - アクセス,成功")}));

  // The alarm sounds every tick; the waiting screen no longer returns by itself.
  gstrInMessage.clear();
  Ticks(3);
  EXPECT_EQ(played_, (std::vector<QString>(3, QStringLiteral("onerr.wav"))));
  glngIdleCount = glngIntTime * 60 - 1;
  Ticks(2);
  EXPECT_TRUE(f.lblFirst->isVisible());
  EXPECT_EQ(f.lblDate->text(), QStringLiteral("2026/06/15 09:05:05"));
}

TEST_F(NotifyTest, FailedPopLoginAndFailedDialUpStillStoreTheEvent) {
  frmMain& f = Station();
  // POP login before sending, against a port where nothing listens.
  gintMailReg = 1;
  gintRegM = 0;
  gstrPop3Server = QStringLiteral("127.0.0.1");
  mail::SetDefaultPorts(25, testsupport::UnusedPort());
  Scan(QStringLiteral("1001"));
  mail::SetDefaultPorts(25, 110);
  gintMailReg = 0;
  ASSERT_EQ(History().size(), 1u);
  EXPECT_FALSE(f.lblInput->isVisible());
  EXPECT_FALSE(f.mblnSendError);
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1001 - メールサーバー接続,失敗"),
                                     QStringLiteral("1001 - アクセス,成功")}));

  // Dial-up that fails.
  testsupport::FakeDialup dialup;
  dialup.AddEntry(QStringLiteral("office"), "noauth\n");
  dialup.SetDial(testsupport::FakeDialup::Dial::Fail);
  gstrDialEntry = QStringLiteral("office");
  glngPauseTime = 0;
  Advance(600);
  Scan(QStringLiteral("1001"));
  gstrDialEntry.clear();
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].ioName, QStringLiteral("退室"));
  EXPECT_EQ(LogLines().mid(2), (QStringList{QStringLiteral("1001 - 接続失敗,失敗"),
                                            QStringLiteral("1001 - アクセス,成功")}));
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_EQ(smtp_->Messages().size(), sent_);
}

TEST_F(NotifyTest, FtpRecordIsUploadedOrItsFailureLogged) {
  testsupport::FtpServer ftp;
  ASSERT_TRUE(ftp.Start(QStringLiteral("ftpuser"), QStringLiteral("ftppw"))) << ftp.Error().toStdString();
  UseFtp(ftp.Port());
  gblnSendMail = false;
  gstrFtpPath = QStringLiteral("data");
  gstrMailID = QStringLiteral("school@example.jp");
  glngIntTime = 2;
  // Without a mail to dial for it, the record brings the dial-up line up itself.
  testsupport::FakeDialup dialup;
  dialup.AddEntry(QStringLiteral("office"), "noauth\n");
  gstrDialEntry = QStringLiteral("office");
  glngPauseTime = 0;
  frmMain& f = Station();

  Scan(QStringLiteral("1001"));
  gstrDialEntry.clear();
  EXPECT_TRUE(QFileInfo::exists(dialup.path() + QStringLiteral("/net/ppp0")));
  QFile uploaded(ftp.Home() + QStringLiteral("/data/school/log/1001in.txt"));
  ASSERT_TRUE(uploaded.open(QIODevice::ReadOnly));
  EXPECT_EQ(uploaded.readAll(), QByteArray("2026/06/15,09:05:00,\r\n"));
  EXPECT_EQ(glngIdleCount, 115);
  EXPECT_TRUE(f.Timer1->isActive());
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1001 - アクセス,成功"), QStringLiteral("1001 - FTP,成功")}));
  // Five ticks later the waiting screen is back.
  Ticks(5);
  EXPECT_FALSE(f.mblnActive);
  EXPECT_FALSE(f.lblFirst->isVisible());

  // A refused upload: logged, the history row stays, the clock runs again.
  gstrFtpPsw = QStringLiteral("wrong");
  Advance(600);
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(History().size(), 2u);
  EXPECT_EQ(LogLines().last(), QStringLiteral("1001 - FTP,失敗"));
  EXPECT_TRUE(f.Timer1->isActive());
  // A missing record folder is made again.
  QDir(gstrFtpDir).removeRecursively();
  gstrFtpPsw = QStringLiteral("ftppw");
  Advance(600);
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(LogLines().last(), QStringLiteral("1001 - FTP,成功"));
  EXPECT_EQ(History().size(), 3u);
}

TEST_F(NotifyTest, EachFtpRecordGoesToTheAccountItsEventWasRecordedWith) {
  // The first record waits on a server that never answers. The second event is recorded behind
  // it, and then the settings move to another account, as the settings window's save does: the
  // second record still goes where the settings said when its event was recorded, the third
  // event's to the new account.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  testsupport::FtpServer school, branch;
  ASSERT_TRUE(school.Start(QStringLiteral("ftpuser"), QStringLiteral("ftppw"))) << school.Error().toStdString();
  ASSERT_TRUE(branch.Start(QStringLiteral("other"), QStringLiteral("otherpw"))) << branch.Error().toStdString();
  gblnSendMail = false;
  UseFtp(silent.Port());
  frmMain& f = Station();
  Arrive(QStringLiteral("1003"));

  UseFtp(school.Port());
  gstrFtpPath = QStringLiteral("data");
  gstrMailID = QStringLiteral("school@example.jp");
  const QString schoolDir = gstrFtpDir;
  Arrive(QStringLiteral("1001"));
  gstrFtpServer = QStringLiteral("127.0.0.1:") + QString::number(branch.Port());
  gstrFtpUser = QStringLiteral("other");
  gstrFtpPsw = QStringLiteral("otherpw");
  gstrFtpPath = QStringLiteral("elsewhere");
  gstrMailID = QStringLiteral("branch@example.jp");
  gstrFtpDir = folder_.Path() + QStringLiteral("ftpOther/");
  Arrive(QStringLiteral("1002"));

  ASSERT_TRUE(QTest::qWaitFor([&] { return f.NoticesPending() == 0; }, 30000));
  auto read = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  };
  EXPECT_EQ(read(school.Home() + QStringLiteral("/data/school/log/1001in.txt")), "2026/06/15,09:05:00,\r\n");
  EXPECT_TRUE(QFileInfo::exists(schoolDir + QStringLiteral("1001in.txt")));
  EXPECT_EQ(read(branch.Home() + QStringLiteral("/elsewhere/branch/log/1002in.txt")), "2026/06/15,09:05:00,\r\n");
  EXPECT_TRUE(QFileInfo::exists(gstrFtpDir + QStringLiteral("1002in.txt")));
  EXPECT_EQ(LogLines(), (QStringList{"1003 - アクセス,成功", "1003 - FTP,失敗", "1001 - アクセス,成功",
                                     "1001 - FTP,成功", "1002 - アクセス,成功", "1002 - FTP,成功"}));
}

TEST_F(NotifyTest, TheStationKeepsTickingWhileAMailServerKeepsSilent) {
  // A server that takes the connection and never answers: the sender waits out the mail's time
  // limit, and all the while the window paints and its clock goes on.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  gintPort = silent.Port();
  frmMain& f = Station();
  const QString before = f.lblDate->text();
  QString during;
  bool waiting = false;
  QTimer::singleShot(200, &f, [&] { Advance(60); });
  QTimer::singleShot(1600, &f, [&] {
    waiting = f.NoticesPending() > 0;
    during = f.lblDate->text();
  });
  Scan(QStringLiteral("1001"));
  EXPECT_TRUE(waiting);
  EXPECT_NE(during, before);
  EXPECT_EQ(during, QStringLiteral("2026/06/15 09:06:00"));
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].inTime, QStringLiteral("09:05:00"));  // the event's own time
  EXPECT_TRUE(LogLines().contains(QStringLiteral("1001 - メール送信,失敗")));
}

TEST_F(NotifyTest, AnFtpServerThatNeverAnswersHoldsNeitherTheClockNorTheNextMemberNorTheExit) {
  // The FTP server takes the connection and never says a word. The window goes on: the clock
  // ticks, the next member is recorded at once, and the station user's password ends the station
  // without waiting; the records not yet sent are given up, each with its line.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  ftp::SetLimits({60, 60, 60});
  gblnSendMail = false;
  UseFtp(silent.Port());
  frmMain& f = Station();

  Arrive(QStringLiteral("1001"));
  ASSERT_EQ(History().size(), 1u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.NoticesPending() == 1; }, 2000));
  Advance(1);
  const QString before = f.lblDate->text();
  QTest::qWait(1300);  // the window's own one-second timer
  EXPECT_NE(f.lblDate->text(), before);
  EXPECT_EQ(f.NoticesPending(), 1);

  Arrive(QStringLiteral("1003"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].id, QStringLiteral("1003"));
  EXPECT_EQ(f.lblFirst->text(), QStringLiteral("鈴木くん"));
  EXPECT_EQ(f.NoticesPending(), 2);

  QElapsedTimer ending;
  ending.start();
  Arrive(QStringLiteral("9999"));
  EXPECT_LT(ending.elapsed(), 5000);
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(frmMain::IsLoaded());
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1001 - アクセス,成功"), QStringLiteral("1001 - 通知,中止"),
                                     QStringLiteral("1003 - アクセス,成功"), QStringLiteral("1003 - 通知,中止")}));
}

TEST_F(NotifyTest, AnFtpServerThatNeverAnswersDelaysNoMail) {
  // The FTP record of the first member waits on a server that never says a word; the second
  // member's mail goes out meanwhile, and his record waits its turn behind the first.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  ftp::SetLimits({60, 60, 60});
  UseFtp(silent.Port());
  frmMain& f = Station();
  Arrive(QStringLiteral("1003"));  // no address: the FTP record alone
  Arrive(QStringLiteral("1001"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.NoticesPending() == 2; }, 20000));  // the records
  EXPECT_EQ(smtp_->Messages().size(), sent_ + 1);
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - アクセス,成功")});
}

TEST_F(NotifyTest, AServerThatHoldsItsGreetingAndEachReplyGetsTheMail) {
  // A greylisting server: it greets only after 16 s, longer than a TCP connection may take, and
  // holds every reply; the station waits for each reply as mail clients do.
  testsupport::SmtpServer slow;
  ASSERT_TRUE(slow.Start(testsupport::SmtpOptions{.holdGreetingSeconds = 16, .holdRepliesSeconds = 2}))
      << slow.Error().toStdString();
  mail::SetLimits({});
  gintPort = slow.Port();
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(slow.Messages().size(), 1);
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - アクセス,成功")});
}

TEST_F(NotifyTest, EveryEventKeepsOneAccessLineWhenItsMailIsGivenUp) {
  // The first event's notifications go out; then the mail server keeps silent, the FTP records
  // still go out, and the station ends: each event that waited gets its access line, its FTP
  // line and "中止", once.
  testsupport::FtpServer ftp;
  ASSERT_TRUE(ftp.Start(QStringLiteral("ftpuser"), QStringLiteral("ftppw"))) << ftp.Error().toStdString();
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  UseFtp(ftp.Port());
  frmMain& f = Station();
  Scan(QStringLiteral("1001"));

  gintPort = silent.Port();
  mail::SetLimits({60, 60, 60});
  Advance(600);
  Arrive(QStringLiteral("1001"));
  Arrive(QStringLiteral("1002"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.NoticesPending() == 2; }, 20000));  // the mails wait
  Arrive(QStringLiteral("9999"));
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(LogLines(), (QStringList{"1001 - アクセス,成功", "1001 - FTP,成功",
                                     "1001 - アクセス,成功", "1001 - FTP,成功", "1001 - 通知,中止",
                                     "1002 - アクセス,成功", "1002 - FTP,成功", "1002 - 通知,中止"}));
}

}  // namespace
}  // namespace stationtest
