// The bulk mail from the composer through the print and selection window to real SMTP and POP3
// servers on 127.0.0.1: the recipients chosen, one mail per member with a POP login each, and an
// end that says what became of every member.
#include "admin_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

#include "admin/frmMContents.h"
#include "codepage/codepage.h"
#include "common/MemberRoster.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "history/frmPrint.h"
#include "mail/mail.h"
#include "platform/dialup/fake_dialup.h"
#include "support/support_servers.h"
#include "ui/msgbox.h"

namespace admintest {
namespace {

class BulkMail : public MailServedTest {
 protected:
  static void SetUpTestSuite() {
    testsupport::SmtpOptions options;
    options.rejectRecipient = "refused";
    StartServers(options);
  }
  void SetUp() override {
    MailServedTest::SetUp();
    Prepare();
    folder_.WriteText("allMail.txt", "前の本文");
    gstrAllSubject = "前の件名";
    // The saved settings: the own server, POP before SMTP.
    gblnIsServer = false;
    gstrMailServer = gstrPop3Server = "127.0.0.1";
    gintPort = smtp_->Port();
    gintMailReg = 1;
    gintRegM = 0;
    gstrAuthID = "popuser";
    gstrAuthPsw = "poppw";
    gstrAppUser = "ベルモア教室";
    gstrMailAddr = "station@ex.jp";
    gblnLog = true;
    folder_.AddMember("101", "青木", "さま", "あおき", "aoki@ex.jp;aoki2@ex.jp");
    folder_.AddMember("102", "井上", "くん", "いのうえ", "");
    folder_.AddMember("103", "上田", "さま", "うえだ", "ueda@ex.jp");
    folder_.AddMember("104", "江藤", "さま", "えとう", "refused@ex.jp");
    Open();
    ShowMembers();
  }
  // The composer in bulk mode with these texts; its 送信 opens the print and selection window, in
  // whose modal loop `inPrint` runs. Whether the composer is still open afterwards.
  bool SendFromComposer(const std::function<void(frmPrint&)>& inPrint) {
    gintMailMode = 2;
    frmMContents& c = frmMContents::instance();
    c.txtSubject->setText("%名前%%敬称%へのお知らせ");
    c.rtxtContents->setPlainText("%名前%%敬称%\n休館日のお知らせです。");
    QTimer::singleShot(0, [inPrint] {
      ASSERT_TRUE(frmPrint::IsLoaded());
      inPrint(frmPrint::instance());
      if (frmPrint::IsLoaded()) frmPrint::instance().cmdCancel->click();
    });
    c.cmdOK_Click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return frmMContents::IsLoaded();
  }
  static void Tick(const QStringList& ids) {
    MemberRoster& roster = MemberRoster::Shared();
    for (int row = 0; row < roster.Count(); ++row) roster.SetTicked(row, ids.contains(roster.At(row).id));
  }
  static QJsonObject Mail(int index) { return testsupport::ParseMail(smtp_->Messages().at(index)); }
  QByteArray LogBytes() const { return FileBytes(gstrLogDir + "20260615.log"); }
  static bool Logged(const QByteArray& log, const QString& line) { return log.contains(cp::ToAnsiLossy(line)); }
};

TEST_F(BulkMail, TickedMembersGetOneMailEachAndTheEndCountsTheRefusedAndThePassedOver) {
  Tick({"101", "102", "104"});
  const int mails = Mails(), logins = pop_->Connections();
  const bool composerOpen = SendFromComposer([&](frmPrint& p) {
    EXPECT_EQ(p.mode(), frmPrint::Mode::Bulk);
    EXPECT_EQ(p.windowTitle(), "一括メール送信");
    EXPECT_EQ(p.chkAll->text(), "すべてに送信");
    EXPECT_EQ(p.cmdPrint->text(), "送信");
    p.chkChkBox->setChecked(true);
    EXPECT_FALSE(p.txtIDStart->isEnabled());
    p.cmdPrint->click();
  });
  EXPECT_EQ(boxes_.Texts().at(boxes_.Texts().size() - 2), "選択データに送信します。");
  EXPECT_EQ(LastBox(), "エラーが発生しています。接続環境を確認してください。\n送信 1件、失敗 1件、メールアドレスなし 1件");
  EXPECT_EQ(boxes_.Boxes().back().title, "処理の確認");
  // One mail to both of 101's addresses, filled with his name; a POP login for each member with
  // an address, the refused one included.
  ASSERT_EQ(Mails(), mails + 1);
  EXPECT_EQ(Mail(mails).value("subject").toString(), "青木さまへのお知らせ");
  EXPECT_EQ(smtp_->Envelope(mails).value("rcpt_tos").toArray().size(), 2);
  EXPECT_EQ(pop_->Connections(), logins + 2);
  const QByteArray log = LogBytes();
  EXPECT_TRUE(Logged(log, "104 - メール送信,失敗"));
  EXPECT_FALSE(log.contains("102"));
  EXPECT_TRUE(Logged(log, "一括メール送信,失敗"));
  // The job ran to its end: the composer closed, its texts saved unfilled as the bulk template.
  EXPECT_FALSE(composerOpen);
  EXPECT_EQ(gintMailMode, 0);
  EXPECT_EQ(gstrAllSubject, "%名前%%敬称%へのお知らせ");
  EXPECT_EQ(FileBytes(folder_.Path() + "allMail.txt"), cp::ToAnsiLossy("%名前%%敬称%\r\n休館日のお知らせです。\r\n"));

  // A range: 101 to 103, everyone with an address gets his mail.
  SendFromComposer([](frmPrint& p) {
    p.txtIDStart->setText("１０１");
    p.txtIDEnd->setText("103");
    p.cmdPrint->click();
  });
  EXPECT_EQ(LastBox(), "送信は終了しました。\n送信 2件、メールアドレスなし 1件");
  ASSERT_EQ(Mails(), mails + 3);
  EXPECT_EQ(Mail(mails + 2).value("subject").toString(), "上田さまへのお知らせ");
  EXPECT_TRUE(Logged(LogBytes(), "一括メール送信,成功"));
}

TEST_F(BulkMail, ChoicesThatSendNothingKeepTheComposerOpenWithItsTextsSaved) {
  // Only members without an address ticked: nothing chosen, the window closes.
  Tick({"102"});
  EXPECT_TRUE(SendFromComposer([](frmPrint& p) {
    p.chkChkBox->setChecked(true);
    p.cmdPrint->click();
    EXPECT_FALSE(frmPrint::IsLoaded());
  }));
  EXPECT_EQ(LastBox(), "選択されたデータがありません。");
  // An end before the start, then a cancelled confirmation, then Cancel. The composer's mode
  // wins over a history mode left set, and Cancel resets the latter.
  const int mails = Mails();
  gintHistMode = 1;
  EXPECT_TRUE(SendFromComposer([&](frmPrint& p) {
    EXPECT_EQ(p.mode(), frmPrint::Mode::Bulk);
    p.txtIDStart->setText("104");
    p.txtIDEnd->setText("101");
    p.cmdPrint->click();
    EXPECT_EQ(LastBox(), "ID番号の指定が不明です。");
    p.chkAll->setChecked(true);
    boxes_.Answer(ui::vbCancel);
    p.cmdPrint->click();
    EXPECT_EQ(LastBox(), "データ全件に送信します。");
    EXPECT_TRUE(frmPrint::IsLoaded());
  }));
  EXPECT_EQ(Mails(), mails);
  EXPECT_EQ(gintMailMode, 2);
  EXPECT_EQ(gintHistMode, 0);
  EXPECT_EQ(gstrAllSubject, "%名前%%敬称%へのお知らせ");
  frmMContents::Unload();
}

TEST_F(BulkMail, ServersDownOrNoDialUpNeverEndAsSuccess) {
  // The POP server refuses every login: one log line per member, one summary.
  gstrAuthPsw = "wrong";
  const int mails = Mails();
  SendFromComposer([](frmPrint& p) {
    p.chkAll->setChecked(true);
    p.cmdPrint->click();
  });
  EXPECT_EQ(LastBox(), "エラーが発生しています。接続環境を確認してください。\n送信 0件、失敗 3件、メールアドレスなし 1件");
  QByteArray log = LogBytes();
  for (const char* id : {"101", "103", "104"})
    EXPECT_TRUE(Logged(log, QString(id) + " - メールサーバー接続,失敗")) << id;
  EXPECT_TRUE(Logged(log, "一括メール送信,失敗"));

  // No POP login and the SMTP server gone, with the plain sending variant: each failed member
  // says so in a box of his own, and the end counts them.
  gintMailReg = 0;
  glngSendP = 1;
  gintPort = testsupport::UnusedPort();
  const size_t before = boxes_.Texts().size();
  SendFromComposer([](frmPrint& p) {
    p.txtIDStart->setText("101");
    p.txtIDEnd->setText("103");
    p.cmdPrint->click();
  });
  std::vector<QString> texts = boxes_.Texts();
  texts.erase(texts.begin(), texts.begin() + long(before));
  EXPECT_EQ(texts, (std::vector<QString>{"送信に失敗しました。接続環境を確認してください。",
                                         "送信に失敗しました。接続環境を確認してください。",
                                         "エラーが発生しています。接続環境を確認してください。\n送信 0件、失敗 2件、メールアドレスなし 1件"}));
  EXPECT_TRUE(Logged(LogBytes(), "103 - メール送信,失敗"));

  // A dial-up that fails ends the run at the first member with an address.
  testsupport::FakeDialup fake;
  fake.AddEntry("office", "");
  fake.SetDial(testsupport::FakeDialup::Dial::Fail);
  glngPauseTime = 0;
  gstrDialEntry = "office";
  SendFromComposer([](frmPrint& p) {
    p.chkAll->setChecked(true);
    p.cmdPrint->click();
  });
  texts = boxes_.Texts();
  EXPECT_EQ(texts.at(texts.size() - 2), "ダイアルアップ接続が確立できません。");
  EXPECT_EQ(LastBox(), "送信を中断しました。\n送信 0件、未送信 3件");
  EXPECT_EQ(Mails(), mails);
}

// The built program's administration (admin_child runs it as Velmor does and clicks for the
// administrator) ended by a shutdown signal in the middle of a run that waits on a mail server.
class ShutdownDuringAdministration : public ::testing::Test {
 protected:
  // A program folder of 30 members, mailed through the server on `port` with the log on.
  static void Prepare(testsupport::ProgramFolder& folder, int port) {
    folder.WriteSettings(QStringLiteral("[SYSTEM]\nlog=True\nisserver=False\nappuser=ベルモア教室\n[MAIL]\n"
                                        "sendMail=True\nmail=station@ex.jp\nmailserver=127.0.0.1\nmailreg=0\nport=") +
                         QString::number(port) + QLatin1Char('\n'));
    folder.CreateDatabase();
    for (int id = 1001; id <= 1030; ++id)
      folder.AddMember(QString::number(id), QStringLiteral("会員%1").arg(id), QStringLiteral("さま"), QString(),
                       QStringLiteral("m%1@ex.jp").arg(id));
    gcnDB().Close();
  }
  // Starts the program of `folder` on `run` ("bulk" or "testmail"), waits until `waiting` holds,
  // sends SIGTERM and expects the program to end with status 0 within a few seconds (a wait on
  // the server lasts minutes). Returns what the
  // program said (its message boxes).
  static QString EndDuring(const testsupport::ProgramFolder& folder, const QString& run,
                           const std::function<bool()>& waiting) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELMOR_COM_REGISTRY"), folder.Path() + QStringLiteral("no-registry.json"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(ADMIN_CHILD), {folder.Path(), run});
    EXPECT_TRUE(child.waitForStarted(10000));
    EXPECT_TRUE(QTest::qWaitFor(waiting, 30000)) << child.readAllStandardOutput().toStdString();
    ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
    const bool ended = child.waitForFinished(10000);
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    if (!ended) {
      child.kill();
      child.waitForFinished(5000);
    }
    EXPECT_TRUE(ended) << said.toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << said.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << said.toStdString();
    return said;
  }
};

TEST_F(ShutdownDuringAdministration, ASignalEndsTheBulkRunAtTheMailOnItsWay) {
  testsupport::SmtpOptions taking;  // takes each mail half a second after its data
  taking.holdDataSeconds = 0.5;
  testsupport::SmtpOptions holding;  // never greets in time
  holding.holdGreetingSeconds = 600;
  for (testsupport::SmtpOptions options : {taking, holding}) {
    SCOPED_TRACE(options.holdGreetingSeconds > 0 ? "a silent server" : "a server taking the mails");
    testsupport::ProgramFolder folder;
    testsupport::SmtpServer smtp;
    options.port = testsupport::UnusedSettingsPort();
    ASSERT_TRUE(smtp.Start(options)) << smtp.Error().toStdString();
    Prepare(folder, smtp.Port());
    // After the first mail, or while the first waits for the greeting.
    const QString said = EndDuring(folder, QStringLiteral("bulk"), [&] {
      return options.holdGreetingSeconds > 0 ? smtp.Connections() > 0 : !smtp.Messages().isEmpty();
    });
    EXPECT_LT(smtp.Messages().size(), options.holdGreetingSeconds > 0 ? 1 : 30);
    // The run is logged as not completed, and nothing is shown after the end.
    const QStringList log = folder.LogLines();
    EXPECT_TRUE(log.contains(QStringLiteral("一括メール送信,失敗"))) << log.join('\n').toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("一括メール送信,成功"))) << log.join('\n').toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("送信は終了しました"))) << said.toStdString();
  }
}

TEST_F(ShutdownDuringAdministration, ASignalEndsTheTestMailWaitingOnASilentServer) {
  testsupport::ProgramFolder folder;
  testsupport::SmtpServer smtp;
  testsupport::SmtpOptions holding;
  holding.holdGreetingSeconds = 600;
  holding.port = testsupport::UnusedSettingsPort();
  ASSERT_TRUE(smtp.Start(holding)) << smtp.Error().toStdString();
  Prepare(folder, smtp.Port());
  const QString said = EndDuring(folder, QStringLiteral("testmail"), [&] { return smtp.Connections() > 0; });
  // The trial tells nothing after the end.
  EXPECT_FALSE(said.contains(QStringLiteral("テスト送信"))) << said.toStdString();
}

}  // namespace
}  // namespace admintest
