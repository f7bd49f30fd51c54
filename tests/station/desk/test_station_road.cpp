// The ID road through the station window: each outcome with what it shows, writes and logs;
// keyboard entry and the loss of focus; the exits; IDs arriving while a road runs.
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "db/db.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "mail/mail.h"
#include "station_fixture.h"
#include "support/support_servers.h"
#include "ui/clock.h"
#include "ui/msgbox.h"

namespace stationtest {
namespace {

class RoadTest : public StationTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    StationTest::SetUp();
    Prepare();
    folder_.AddMember(QStringLiteral("1001"), QStringLiteral("山田太郎"), QStringLiteral("さま"));
    folder_.AddMember(QStringLiteral("1002"), QStringLiteral("佐藤花子"), QString(""));
    db::Execute(gcnDB(), QStringLiteral("INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)"),
                {QStringLiteral("おはようございます"), db::Bool(true)});
    db::Execute(gcnDB(), QStringLiteral("INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)"),
                {QStringLiteral("おつかれさまでした"), db::Bool(false)});
    Open();
  }
};

TEST_P(RoadTest, EntryThenExitThenAlreadyRegistered) {
  frmMain& f = Station();
  Scan(QStringLiteral("10-01"));
  // Entry: LastIn, history row, greeting, picture, access line.
  EXPECT_EQ(Member("1001", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  ASSERT_EQ(History().size(), 1u);
  const HistRow row = History()[0];
  EXPECT_EQ(row.id, QStringLiteral("1001"));
  EXPECT_EQ(row.ioName, QStringLiteral("入室"));
  EXPECT_EQ(row.inDate, 20260615);
  EXPECT_EQ(row.inTime, QStringLiteral("09:05:00"));  // zero-padded, sorts before 10:00
  EXPECT_EQ(row.imgFile, QString());                   // no camera
  EXPECT_EQ(f.lblFirst->text(), QStringLiteral("山田太郎さま"));
  EXPECT_TRUE(f.lblFirst->isVisible());
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("おはようございます"));
  EXPECT_EQ(f.imgFirst->Picture().width(), 41);  // image001.jpg
  EXPECT_FALSE(f.lblInput->isVisible());
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_TRUE(f.mblnEventDone);
  EXPECT_TRUE(f.mblnActive);
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - アクセス,成功")});

  // Within the gap: already registered, nothing written.
  Advance(60);
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("すでにとうろくされています。"));
  EXPECT_FALSE(f.lblFirst->isVisible());
  EXPECT_EQ(History().size(), 1u);
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_TRUE(f.txtID->hasFocus());

  // After the gap: exit with the exit greeting.
  Advance(120);
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(Member("1001", "LastOut"), QStringLiteral("2026/06/15 09:08:00"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].ioName, QStringLiteral("退室"));
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("おつかれさまでした"));
  EXPECT_EQ(LogLines().size(), 2);
}

TEST_P(RoadTest, EmptyAndUnknownIDs) {
  frmMain& f = Station();
  Scan(QStringLiteral("abc"));
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("にゅうりょくしてください"));
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("ID未入力,失敗")});
  EXPECT_FALSE(f.mblnEventDone);

  Scan(QStringLiteral("5555"));
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_FALSE(f.lblInput->isVisible());
  EXPECT_TRUE(History().empty());
  EXPECT_EQ(LogLines().size(), 1);  // an unknown ID logs nothing
  EXPECT_TRUE(played_.empty());
}

TEST_P(RoadTest, NoGreetingRowsAndNoHonorific) {
  db::Execute(gcnDB(), QStringLiteral("DELETE FROM tblMessage WHERE InYes = -1"));
  frmMain& f = Station();
  f.lblMess->setText(QStringLiteral("前の文"));
  Scan(QStringLiteral("1002"));
  EXPECT_EQ(f.lblFirst->text(), QStringLiteral("佐藤花子"));
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("とうろくされました"));
}

TEST_P(RoadTest, SoundAndPictureArePickedAtRandom) {
  gblnSound = true;
  ui::SetRandom([] { return 0.7; });  // 0.7 * 3 + 1 -> 3
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(played_, std::vector<QString>{QStringLiteral("wav003.wav")});
  EXPECT_EQ(Station().imgFirst->Picture().width(), 43);  // image003.jpg
  // A picture number without its file shows the fallback picture.
  glngImgNum = 9;
  ui::SetRandom([] { return 0.99; });
  Advance(600);
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(Station().imgFirst->Picture().width(), 32);  // noimage.bmp
}

TEST_P(RoadTest, EnterAndFocusRules) {
  frmMain& f = Station();
  // Enter in an empty field starts nothing; Enter is never typed into the field.
  f.txtID->setFocus();
  QTest::keyClick(f.txtID, Qt::Key_Return);
  EXPECT_TRUE(LogLines().isEmpty());

  // Another window taking the activation is no loss of focus.
  f.txtID->setText(QStringLiteral("1001"));
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(f.txtID, &away);
  EXPECT_TRUE(History().empty());
  EXPECT_EQ(f.txtID->text(), QStringLiteral("1001"));

  // The focus moving to the focus sink runs the road, and the sink hands the focus back.
  f.txtTmp->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(History().size(), 1u);
  EXPECT_TRUE(f.txtID->hasFocus());

  // Losing the focus while empty runs the empty-ID step.
  f.txtTmp->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1001 - アクセス,成功"), QStringLiteral("ID未入力,失敗")}));
}

TEST_P(RoadTest, WithoutReaderTheChosenIDIsTaken) {
  gblnBarcode = false;
  gstrSelectedID = QStringLiteral("1002");
  Station().frmMain_txtID_LostFocus();
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1002"));
  // An ID handed on as the serial reader does.
  gblnBarcode = true;
  Station().frmMain_HandOnID(QStringLiteral("1001"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].id, QStringLiteral("1001"));
  EXPECT_TRUE(Station().txtID->text().isEmpty());
}

TEST_P(RoadTest, StationPasswordEndsTheProgram) {
  Scan(QStringLiteral("9999"));
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(frmMain::IsLoaded());
  EXPECT_FALSE(gcnDB().IsOpen());
  EXPECT_TRUE(LogLines().isEmpty());
}

TEST_P(RoadTest, ExitButtonAndLogo) {
  frmMain& f = Station();
  // The logo does nothing while no mail has failed.
  QTest::mouseClick(f.imgLogo, Qt::LeftButton);
  EXPECT_TRUE(boxes_.Boxes().empty());

  boxes_.Answer(ui::vbCancel);
  f.frmMain_cmdEnd_Click();
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral("終了します。"));
  EXPECT_EQ(boxes_.Boxes()[0].style, 65);
  EXPECT_EQ(boxes_.Boxes()[0].title, QStringLiteral("終了の確認"));
  EXPECT_TRUE(frmMain::IsLoaded());
  EXPECT_EQ(ended_, 0);

  f.mblnSendError = true;
  boxes_.Answer(ui::vbCancel);
  QTest::mouseClick(f.imgLogo, Qt::LeftButton);
  EXPECT_EQ(boxes_.Boxes().size(), 2u);
  EXPECT_TRUE(f.txtID->hasFocus());
  boxes_.Answer(ui::vbOK);
  QTest::mouseClick(f.imgLogo, Qt::LeftButton);
  EXPECT_FALSE(frmMain::IsLoaded());
  EXPECT_EQ(ended_, 1);
}

TEST_P(RoadTest, IDsArrivingWhileARoadRunsWaitTheirTurn) {
  frmMain& f = Station();
  // Keys that arrive right behind the first ID: two whole IDs and a started third. None may mix
  // into the field, none may run inside the first road; their mails follow in order.
  gblnSendMail = true;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = 1;  // refused at once
  gblnIsServer = false;
  folder_.AddMember(QStringLiteral("1003"), QStringLiteral("鈴木"), QStringLiteral("くん"));
  folder_.AddMember(QStringLiteral("1004"), QStringLiteral("高橋"), QStringLiteral("さん"));
  db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET MailAddr='a@example.jp'"));
  enum End { None, Enter, Tab };
  auto post = [&](const QString& keys, End end) {
    for (QChar c : keys)
      QApplication::postEvent(f.txtID, new QKeyEvent(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c)));
    if (end == Enter) QApplication::postEvent(f.txtID, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")));
    // A reader set to end its IDs with Tab.
    if (end == Tab) QApplication::postEvent(f.txtID, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t")));
  };
  f.txtID->setFocus();
  QTest::keyClicks(f.txtID, QStringLiteral("1001"));
  post(QStringLiteral("1002"), Enter);
  post(QStringLiteral("1003"), Enter);
  post(QStringLiteral("1004"), Tab);
  post(QStringLiteral("10"), None);
  QTest::keyClick(f.txtID, Qt::Key_Return);
  QApplication::processEvents();

  const auto rows = History();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].id, QStringLiteral("1001"));
  EXPECT_EQ(rows[1].id, QStringLiteral("1002"));
  EXPECT_EQ(rows[2].id, QStringLiteral("1003"));
  EXPECT_EQ(rows[3].id, QStringLiteral("1004"));
  EXPECT_EQ(f.txtID->text(), QStringLiteral("10"));  // the started ID stays in the field
  EXPECT_FALSE(f.RoadRunning());
  EXPECT_EQ(f.WaitingIDs(), 0);
  // Each event's notification went out after the one before: its send line, then its access line.
  ASSERT_TRUE(f.WaitForNotices());
  const QStringList lines = LogLines();
  ASSERT_EQ(lines.size(), 8) << lines.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("1001 - メール送信,失敗"));
  EXPECT_EQ(lines[1], QStringLiteral("1001 - アクセス,成功"));
  EXPECT_EQ(lines[5], QStringLiteral("1003 - アクセス,成功"));
  EXPECT_EQ(lines[7], QStringLiteral("1004 - アクセス,成功"));
}

TEST_P(RoadTest, AnExitConfirmedWhileAMailWaitsEndsTheStationAtOnce) {
  // An earlier mail failed, so the logo offers the exit; the click comes while the next member's
  // mail waits on a server that never answers. The event is stored already; the station ends at
  // once and the mail not sent is given up with its line.
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start()) << silent.Error().toStdString();
  mail::SetLimits({30, 30, 30});
  frmMain& f = Station();
  gblnSendMail = true;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = silent.Port();
  gblnIsServer = false;
  db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET MailAddr='a@example.jp'"));
  f.mblnSendError = true;
  boxes_.Answer(ui::vbOK);
  Arrive(QStringLiteral("1001"));
  ASSERT_EQ(History().size(), 1u);
  ASSERT_TRUE(QTest::qWaitFor([] { return frmMain::instance().NoticesPending() == 1; }, 2000));
  QElapsedTimer ending;
  ending.start();
  const QPoint at = f.imgLogo->rect().center();
  QTest::mouseClick(f.imgLogo, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_LT(ending.elapsed(), 5000);
  mail::SetLimits({});

  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral("終了します。"));
  EXPECT_EQ(History()[0].id, QStringLiteral("1001"));
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("1001 - アクセス,成功"), QStringLiteral("1001 - 通知,中止")}));
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(frmMain::IsLoaded());
}

TEST_P(RoadTest, AWindowCloseWhileAMailWaitsComesAfterTheEvent) {
  frmMain& f = Station();
  gblnSendMail = true;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = 1;
  gblnIsServer = false;
  db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET MailAddr='a@example.jp'"));
  f.txtID->setFocus();
  QTest::keyClicks(f.txtID, QStringLiteral("1002"));
  QApplication::postEvent(&f, new QCloseEvent);
  QTest::keyClick(f.txtID, Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].id, QStringLiteral("1002"));
  EXPECT_FALSE(frmMain::IsLoaded());
}

TEST_P(RoadTest, ADatabaseFailureBeforeTheDecisionIsShownAndLogged) {
  gcnDB().Close();
  Scan(QStringLiteral("1001"));
  frmMain& f = Station();
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("1001 - データベース,失敗")});
  EXPECT_TRUE(f.txtID->text().isEmpty());
  EXPECT_TRUE(f.lblInput->isVisible());
  EXPECT_EQ(f.lblInput->text(), QStringLiteral("記録エラー！"));
  EXPECT_EQ(played_, std::vector<QString>{QStringLiteral("onerr.wav")});
  EXPECT_FALSE(f.mblnSendError);  // no lasting alarm
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_P(RoadTest, AnEventWhoseHistoryRowFailsIsNotStoredAtAllAndSaysSo) {
  frmMain& f = Station();
  Scan(QStringLiteral("1002"));
  ASSERT_EQ(f.lblFirst->text(), QStringLiteral("佐藤花子"));
  // The history row and the member's last time go together: without the one, not the other.
  db::Execute(gcnDB(), QStringLiteral("ALTER TABLE tblHist RENAME TO tblHistAway"));
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(Member("1001", "LastIn"), QString());
  EXPECT_EQ(LogLines().filter(QStringLiteral("1001")), QStringList{QStringLiteral("1001 - 履歴,失敗")});
  EXPECT_EQ(f.lblInput->text(), QStringLiteral("記録エラー！"));
  EXPECT_TRUE(f.lblInput->isVisible());
  EXPECT_TRUE(f.txtID->text().isEmpty());
  // The error stands on the waiting screen, not under the member before.
  EXPECT_FALSE(f.lblFirst->isVisible());
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("にゅうりょくしてください"));
  EXPECT_EQ(f.imgFirst->Picture().width(), 64);  // image000.jpg

  // An unknown card leaves the notice up; the next recorded event takes it away.
  Scan(QStringLiteral("4711"));
  EXPECT_TRUE(f.lblInput->isVisible());
  db::Execute(gcnDB(), QStringLiteral("ALTER TABLE tblHistAway RENAME TO tblHist"));
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(Member("1001", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].id, QStringLiteral("1001"));
  EXPECT_EQ(History()[1].inTime, QStringLiteral("09:05:00"));
  EXPECT_FALSE(f.lblInput->isVisible());
  EXPECT_TRUE(f.mblnEventDone);
}

TEST_P(RoadTest, ALockedDatabaseIsShownAndTheNextScanAfterTheLockIsRecorded) {
  // Another program holds the database: the scan gives up within the driver's time limit and
  // says so; once the lock is gone the member's next scan is recorded.
  db::Connection other;
  ASSERT_TRUE(other.Open(QLatin1String(kStationDsn), QLatin1String(kStationDbUser),
                         QLatin1String(kStationDbPassword)))
      << other.LastError().toStdString();
  QString error;
  ASSERT_TRUE(folder_.LockTables(other, &error)) << error.toStdString();
  Scan(QStringLiteral("1001"));
  frmMain& f = Station();
  EXPECT_EQ(f.lblInput->text(), QStringLiteral("記録エラー！"));
  EXPECT_TRUE(f.lblInput->isVisible());
  EXPECT_EQ(played_, std::vector<QString>{QStringLiteral("onerr.wav")});
  ASSERT_TRUE(folder_.UnlockTables(other, &error)) << error.toStdString();
  other.Close();
  EXPECT_TRUE(History().empty());
  EXPECT_EQ(Member("1001", "LastIn"), QString());

  Scan(QStringLiteral("1001"));
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(Member("1001", "LastIn"), QStringLiteral("2026/06/15 09:05:00"));
  EXPECT_FALSE(f.lblInput->isVisible());
}

VELMOR_ON_BOTH_DRIVERS(RoadTest);

}  // namespace
}  // namespace stationtest
