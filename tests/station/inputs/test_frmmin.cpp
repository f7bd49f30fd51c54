// The minimized station end to end: IDs typed into a pty reach the grid, the result window, the
// history, the log and a real SMTP server; the result window's timer and placement; the end.
#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QTest>

#include "db/db.h"
#include "desk/BarcodeFrame.h"
#include "desk/frmIOMess.h"
#include "desk/frmMin.h"
#include "mail/mail.h"
#include "platform/dialup/fake_dialup.h"
#include "serial/mscomm.h"
#include "sound/sound.h"
#include "common/globals.h"
#include "common/WindowHome.h"
#include "common/mdlEnd.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "support/support_pty.h"
#include "support/support_servers.h"
#include "codepage/codepage.h"
#include "ui/clock.h"

namespace {

constexpr int kPort = 6;

class MinimizedStation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    smtp_ = new testsupport::SmtpServer;
    testsupport::SmtpOptions options;
    options.rejectRecipient = QStringLiteral("refused");
    ASSERT_TRUE(smtp_->Start(options)) << qPrintable(smtp_->Error());
  }
  static void TearDownTestSuite() { delete smtp_; }

  void SetUp() override {
    folder_.CreateDatabase();
    folder_.AddMember("1001", "山田 太郎", "さま", "やまだ", "taro@example.jp");
    folder_.AddMember("1002", "鈴木 花子", "", "すずき", "");
    folder_.AddMember("1003", "佐藤 次郎", "くん", "さとう", "refused@example.jp");
    folder_.WriteText("Velmor.txt", "%名前%%敬称%が入室しました。\n%日付% %時間%\n以上");
    folder_.WriteText("otMail.txt", "%名前%%敬称%が退室しました。");
    ASSERT_TRUE(pty_.ok());
    pty_.UseAsPort(kPort);
    gintBarConnect = 2;
    gblnBarcode = false;  // the minimized station opens its reader's port regardless
    gintBarPort = kPort;
    gblnLog = true;
    gblnSound = false;
    gblnSendMail = true;
    glngIntTime = 1;
    glngInOutTime = 5;
    glngInOutChg = 0;
    gstrInSubject = QStringLiteral("入室 %名前%%敬称%");
    gstrOtSubject = QStringLiteral("退室 %名前%%敬称%");
    gstrAppUser = QStringLiteral("テスト教室");
    gstrMailAddr = QStringLiteral("station@example.jp");
    gblnIsServer = false;
    gintMailReg = 0;
    gintRegM = 0;
    gstrSmtpServer = QStringLiteral("127.0.0.1");
    gstrMailServer = QStringLiteral("127.0.0.1");
    gintPort = smtp_->Port();
    mail::SetLimits({5, 5, 5});
    sound::SetOutput(QStringLiteral("fakesink"));
    sound::SetPlayObserver([this](const QString& path, bool) { played_ << path; });
    ui::SetClock([this] { return now_; });
    SetEndProgramHook([this] { ++ended_; });
  }
  void TearDown() override {
    windows::UnloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetEndProgramHook({});
    sound::SetPlayObserver({});
    sound::SetOutput(QString());
    ui::SetClock({});
    mail::SetLimits({});
  }

  // Sends what the reader would and waits until every ID of it has been handled.
  void Scan(const QByteArray& bytes) {
    frmMin& form = frmMin::instance();
    const qint64 before = form.Frame().BytesRead();
    ASSERT_TRUE(pty_.Send(bytes));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form.Frame().BytesRead() == before + bytes.size(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.Frame().Waiting() == 0 && !form.Frame().Busy(); }, 10000));
    // The notification goes out on the station's sender.
    ASSERT_TRUE(form.WaitForNotices());
  }

  static QStringList HistoryRows() {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), "SELECT ID, IOName, inDate, inTime, imgFile FROM tblHist ORDER BY SEQ"));
    QStringList rows;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
      rows << QStringList{rs.Text("ID"), rs.Text("IOName"), rs.Text("inDate"), rs.Text("inTime"),
                          rs.Text("imgFile")}.join('|');
    return rows;
  }
  QStringList LogLines() const {
    QFile f(folder_.Path() + "log/" + now_.toString("yyyyMMdd") + ".log");
    if (!f.open(QIODevice::ReadOnly)) return {};
    return cp::FromAnsi(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
  }
  static QString ResultText() {
    return frmIOMess::IsLoaded() ? frmIOMess::instance().lblIOData->text() : QString();
  }

  testsupport::ProgramFolder folder_;
  testsupport::PtyPair pty_;
  testsupport::MsgBoxRecorder boxes_;
  QDateTime now_{QDate(2026, 5, 1), QTime(8, 15, 30)};
  QStringList played_;
  int ended_ = 0;
  static testsupport::SmtpServer* smtp_;
};
testsupport::SmtpServer* MinimizedStation::smtp_ = nullptr;

TEST_F(MinimizedStation, LoadsItsGridPortAndTemplates) {
  frmMin& form = frmMin::instance();
  form.Show();
  EXPECT_TRUE(form.isMinimized());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("入退室履歴"));
  EXPECT_EQ(form.fgHist->model()->rowCount(), 1);
  EXPECT_EQ(form.fgHist->model()->columnCount(), 6);
  EXPECT_EQ(form.TextMatrix(0, 5), QStringLiteral("利用者名"));
  EXPECT_TRUE(form.MSComm1->PortOpen());
  EXPECT_TRUE(form.Timer1->isActive());
  EXPECT_EQ(form.rtxtinContents->toPlainText(),
            QStringLiteral("%名前%%敬称%が入室しました。\n%日付% %時間%\n以上"));
  EXPECT_EQ(form.rtxtotContents->toPlainText(), QStringLiteral("%名前%%敬称%が退室しました。"));
}

TEST_F(MinimizedStation, TemplatesAreNotLoadedWithMailOffAndTheReaderOnlyOnItsSetting) {
  gblnSendMail = false;
  gintBarConnect = 1;
  frmMin& form = frmMin::instance();
  EXPECT_TRUE(form.rtxtinContents->toPlainText().isEmpty());
  EXPECT_FALSE(form.MSComm1->PortOpen());
}

TEST_F(MinimizedStation, AScanIsRecordedShownMailedAndLogged) {
  frmMin& form = frmMin::instance();
  const int mails = int(smtp_->Messages().size());
  Scan("1001\r");
  Scan("\n");  // the rest of the CR LF in a read of its own: no second, empty ID
  EXPECT_EQ(ResultText(), QStringLiteral("ID:1001 山田 太郎 さま 2026/05/01 08:15:30 入室"))
      << qPrintable(ResultText());
  EXPECT_TRUE(frmIOMess::instance().isVisible());
  ASSERT_EQ(form.fgHist->model()->rowCount(), 2);
  EXPECT_EQ((QStringList{form.TextMatrix(1, 1), form.TextMatrix(1, 2), form.TextMatrix(1, 3),
                         form.TextMatrix(1, 4), form.TextMatrix(1, 5)}),
            (QStringList{"2026/05/01", "08:15:30", "入室", "1001", "山田 太郎"}));
  EXPECT_EQ(HistoryRows(), QStringList{"1001|入室|20260501|08:15:30|"});
  EXPECT_EQ(played_, QStringList{folder_.Path() + "wave/chk.wav"});
  ASSERT_EQ(int(smtp_->Messages().size()), mails + 1);
  const QJsonObject mail = testsupport::ParseMail(smtp_->Messages().last());
  EXPECT_EQ(mail["subject"].toString(), QStringLiteral("入室 山田 太郎さま"));
  EXPECT_TRUE(mail["body"].toString().startsWith(QStringLiteral("山田 太郎さまが入室しました。")));
  EXPECT_EQ(LogLines(), QStringList{"2026/05/01,08:15:30,1001 - アクセス,成功"});

  // Again within the gap: already registered, nothing else happens.
  now_ = now_.addSecs(60);
  Scan("1001\r\n");
  EXPECT_EQ(ResultText(), QStringLiteral("ID:1001 山田 太郎 さま 登録済み"));
  EXPECT_EQ(form.fgHist->model()->rowCount(), 2);
  EXPECT_EQ(HistoryRows().size(), 1);
  EXPECT_EQ(played_.size(), 1);

  // After the gap: the exit, with the random wave when sounds are on.
  gblnSound = true;
  glngWavNum = 4;
  ui::SetRandom([] { return 0.5; });
  now_ = now_.addSecs(10 * 60);
  Scan("1001\t");
  ui::SetRandom({});
  EXPECT_TRUE(ResultText().endsWith(QStringLiteral("08:26:30 退室")));
  EXPECT_EQ(played_.last(), folder_.Path() + "wave/wav003.wav");
  EXPECT_EQ(HistoryRows().last(), QStringLiteral("1001|退室|20260501|08:26:30|"));
  EXPECT_EQ(int(smtp_->Messages().size()), mails + 2);
}

TEST_F(MinimizedStation, UnknownIdsAndMembersWithoutMail) {
  frmMin& form = frmMin::instance();
  const int mails = int(smtp_->Messages().size());
  // Taken exactly as received: a trailing blank or letters are not found; nothing is shown.
  Scan("1001 \r\nA1001\r\n9999\r\n");
  EXPECT_FALSE(frmIOMess::IsLoaded() && frmIOMess::instance().isVisible());
  EXPECT_TRUE(HistoryRows().isEmpty());
  EXPECT_TRUE(form.Shown());  // every scan restarts the result window's count
  // No address: no mail, but the access line and the history row.
  Scan("1002\r\n");
  EXPECT_EQ(ResultText(), QStringLiteral("ID:1002 鈴木 花子  2026/05/01 08:15:30 入室"));
  EXPECT_EQ(HistoryRows(), QStringList{"1002|入室|20260501|08:15:30|"});
  EXPECT_EQ(int(smtp_->Messages().size()), mails);
  EXPECT_EQ(LogLines(), QStringList{"2026/05/01,08:15:30,1002 - アクセス,成功"});
}

TEST_F(MinimizedStation, SerialNoiseIsDroppedAndTheScansBesideItAreRecorded) {
  // A NUL cuts the ID short in the database's hands: the noisy frame would be member 1003.
  Scan(QByteArray("1001\r\n1003\0\r\n1002\r\n", 18));
  EXPECT_EQ(HistoryRows(), (QStringList{"1001|入室|20260501|08:15:30|", "1002|入室|20260501|08:15:30|"}));
  EXPECT_EQ(LogLines().filter(QStringLiteral("1003")), QStringList{});
  EXPECT_EQ(LogLines().filter(QStringLiteral("バーコード")),
            QStringList{QStringLiteral("2026/05/01,08:15:30,バーコード不正,失敗")});
}

TEST_F(MinimizedStation, AMailThatFailsLaterMarksItsOwnLineOnly) {
  // Two members in one read; their mails go out afterwards to a server that never answers. The
  // first one's failure comes while the result line shows the second member: his line takes only
  // the word of his own mail.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  gintPort = silent.Port();
  mail::SetLimits({1, 1, 1});
  frmMin::instance();
  Scan("1003\r\n1001\r\n");
  EXPECT_EQ(ResultText(), QStringLiteral("ID:1001 山田 太郎 さま 2026/05/01 08:15:30 入室 送信エラー！"));
  EXPECT_EQ(HistoryRows(), (QStringList{"1003|入室|20260501|08:15:30|", "1001|入室|20260501|08:15:30|"}));
  EXPECT_EQ(LogLines(), (QStringList{"2026/05/01,08:15:30,1003 - メール送信,失敗", "2026/05/01,08:15:30,1003 - アクセス,成功",
                                     "2026/05/01,08:15:30,1001 - メール送信,失敗", "2026/05/01,08:15:30,1001 - アクセス,成功"}));
}

TEST_F(MinimizedStation, AFailedMailStillKeepsTheEventsHistory) {
  frmMin::instance();
  Scan("1003\r\n");
  EXPECT_EQ(ResultText(), QStringLiteral("ID:1003 佐藤 次郎 くん 2026/05/01 08:15:30 入室 送信エラー！"));
  EXPECT_EQ(HistoryRows(), QStringList{"1003|入室|20260501|08:15:30|"});
  EXPECT_EQ(LogLines(), (QStringList{"2026/05/01,08:15:30,1003 - メール送信,失敗",
                                     "2026/05/01,08:15:30,1003 - アクセス,成功"}));

  // A dial-up that cannot be made: its message, and the event is still stored.
  testsupport::FakeDialup dial;
  gstrDialEntry = QStringLiteral("missing");
  Scan("1001\r\n");
  EXPECT_EQ(boxes_.Texts(), std::vector<QString>{"ダイアルアップ接続が確立できません。"});
  EXPECT_EQ(boxes_.Boxes().back().title, QStringLiteral("接続の確認"));
  EXPECT_EQ(HistoryRows().size(), 2);
}

TEST_F(MinimizedStation, TheResultWindowHidesAfterTheIdleTimeAndStaysTopRight) {
  frmMin& form = frmMin::instance();
  Scan("1002\r\n");
  frmIOMess& result = frmIOMess::instance();
  ASSERT_TRUE(result.isVisible());
  EXPECT_TRUE(result.windowFlags() & Qt::WindowStaysOnTopHint);
  const QRect screen = result.screen()->geometry();
  EXPECT_EQ(result.geometry().top(), screen.top());
  EXPECT_EQ(result.geometry().right(), screen.right());
  for (int i = 0; i < 59; ++i) form.frmMin_Timer1_Timer();
  EXPECT_TRUE(result.isVisible());
  // A scan of an unknown ID restarts the count and keeps the earlier text.
  Scan("777\r\n");
  for (int i = 0; i < 59; ++i) form.frmMin_Timer1_Timer();
  EXPECT_TRUE(result.isVisible());
  EXPECT_TRUE(ResultText().startsWith(QStringLiteral("ID:1002")));
  form.frmMin_Timer1_Timer();
  EXPECT_FALSE(result.isVisible());
  EXPECT_FALSE(form.Shown());

  // On a screen 1024 pixels wide at 15 twips per pixel.
  EXPECT_EQ(frmIOMess::Placement(1024, 15, 15), QRect(682, 0, 342, 29));
}

TEST_F(MinimizedStation, ANeverHidingResultWindowWithoutIdleTime) {
  glngIntTime = 0;
  frmMin& form = frmMin::instance();
  Scan("1002\r\n");
  for (int i = 0; i < 200; ++i) form.frmMin_Timer1_Timer();
  EXPECT_TRUE(frmIOMess::instance().isVisible());
}

TEST_F(MinimizedStation, ScansStillWaitingWhenTheStationEndsAreNotHandled) {
  frmMin& form = frmMin::instance();
  const QPointer<frmMin> alive(&form);
  const int mails = int(smtp_->Messages().size());
  // "終了" is clicked while the first scan's sound plays; the second scan of the same read
  // waits its turn behind it.
  sound::SetPlayObserver([&](const QString& path, bool) {
    played_ << path;
    if (played_.size() == 1 && alive) alive->cmdEnd->click();
  });
  ASSERT_TRUE(pty_.Send("1002\r\n1001\r\n"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 5000));
  EXPECT_EQ(ended_, 1);
  // The event under way keeps its row; the waiting one is neither recorded nor mailed, and no
  // result window comes back.
  EXPECT_EQ(HistoryRows(), QStringList{"1002|入室|20260501|08:15:30|"});
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), "SELECT LastIn FROM tblData WHERE ID='1001'"));
  EXPECT_TRUE(rs.Text("LastIn").isEmpty());
  EXPECT_EQ(int(smtp_->Messages().size()), mails);
  EXPECT_EQ(played_.size(), 1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(frmIOMess::IsLoaded());
}

TEST_F(MinimizedStation, EndsByItsButtonItsCloseBoxOrAPortThatWillNotOpen) {
  frmMin::instance().cmdEnd->click();
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(frmMin::IsLoaded());

  frmMin::instance().close();
  EXPECT_EQ(ended_, 2);
  EXPECT_FALSE(frmMin::IsLoaded());

  qputenv("VELMOR_COMPORT7", "/dev/nonexistent-reader");
  gintBarPort = 7;
  const frmMin& failed = frmMin::instance();
  qunsetenv("VELMOR_COMPORT7");
  EXPECT_EQ(ended_, 3);
  EXPECT_FALSE(frmMin::IsLoaded());
  // The caller still gets a live window (deleted later), never a null one.
  EXPECT_EQ(failed.objectName(), QStringLiteral("frmMin"));
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral("RS232C接続のバーコードが認識できません"));
  EXPECT_EQ(boxes_.Boxes()[0].style, 16);
  EXPECT_EQ(boxes_.Boxes()[0].title, QStringLiteral("ハードウェアの確認"));
  EXPECT_EQ(LogLines(), QStringList{"2026/05/01,08:15:30,バーコード不明,起動失敗"});

  // A port number the serial control refuses is a reader that cannot be found either.
  pty_.UseAsPort(1);
  gintBarPort = 0;
  frmMin::instance();
  qunsetenv("VELMOR_COMPORT1");
  EXPECT_EQ(ended_, 4);
  EXPECT_EQ(boxes_.Texts().back(), QStringLiteral("RS232C接続のバーコードが認識できません"));
}

}  // namespace
