// The station window's load by input mode and screen mode, its clock and waiting screen, the
// template loader, the barcode port, and the failures that leave no station.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "db/db.h"
#include "common/PictureBox.h"
#include "common/StationRecords.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "station_fixture.h"
#include "support/support_pty.h"
#include "ui/clock.h"

namespace stationtest {
namespace {

class WindowTest : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    Prepare();
  }
  void AddMembers(int n) {
    for (int i = 1; i <= n; ++i)
      folder_.AddMember(QStringLiteral("%1").arg(3000 + i), QStringLiteral("会員%1").arg(i));
  }
};

TEST_F(WindowTest, ReaderLayoutsByScreenMode) {
  {
    frmMain& f = Open();
    EXPECT_TRUE(f.txtID->isVisible());
    EXPECT_TRUE(f.txtID->hasFocus());
    EXPECT_FALSE(f.cmdEnd->isVisible());
    EXPECT_FALSE(f.fraNo->isVisible());
    EXPECT_FALSE(f.imgBack->isVisible());
    EXPECT_TRUE(f.imgFirst->isVisible());
    EXPECT_EQ(f.imgChange->pos(), QPoint(141, 509) + QPoint(0, (180 - 80) / 2));  // logo 300x100 centred
    EXPECT_EQ(f.imgChange->size(), QSize(240, 80));
    EXPECT_TRUE(f.Label2->autoFillBackground());
    EXPECT_EQ(f.lblMess->text(), QStringLiteral("にゅうりょくしてください"));
    EXPECT_FALSE(f.lblFirst->isVisible());
    EXPECT_EQ(f.lblDate->text(), QStringLiteral("2026/06/15 09:05:00"));
    EXPECT_TRUE(frmBack::StationWindow() == &f);
    frmMain::Unload();
    EXPECT_FALSE(frmBack::IsLoaded());
  }
  // Seasonal screen in December: m12.jpg behind everything, camera box top right.
  WritePicture(QStringLiteral("image/m12.jpg"), 120, 90, Qt::red);
  WritePicture(QStringLiteral("image/m01.jpg"), 100, 75, Qt::blue);
  gintScreen = 2;
  SetNow(QDateTime(QDate(2026, 12, 24), QTime(8, 0, 0)));
  frmMain& f = Open();
  EXPECT_TRUE(f.imgBack->isVisible());
  EXPECT_EQ(f.imgBack->Picture().width(), 120);
  EXPECT_EQ(f.imgBack->geometry(), QRect(0, 0, 1024, 768));
  EXPECT_FALSE(f.imgFirst->isVisible());
  EXPECT_EQ(f.imgChange->x(), 755);
  EXPECT_FALSE(f.Label2->autoFillBackground());
  frmMain::Unload();
  // January: the month of the picture keeps its leading zero.
  SetNow(QDateTime(QDate(2027, 1, 5), QTime(8, 0, 0)));
  EXPECT_EQ(Open().imgBack->Picture().width(), 100);
}

TEST_F(WindowTest, NumberPadLayout) {
  gblnBarcode = false;
  gintNoBarScr = 2;
  frmMain& f = Open();
  EXPECT_TRUE(f.fraNo->isVisible());
  EXPECT_EQ(f.fraNo->geometry(), QRect(50, 200, 405, 296));
  EXPECT_FALSE(f.txtID->isVisible());
  EXPECT_TRUE(f.cmdEnd->isVisible());
  EXPECT_EQ(f.cmdEnd->text(), QStringLiteral("終了"));
  EXPECT_EQ(f.cmdNo[3]->geometry(), QRect(167, 66, 67, 67));
  EXPECT_EQ(f.cmdNo[0]->geometry(), QRect(327, 143, 67, 67));
  EXPECT_EQ(f.findChild<QPushButton*>(QStringLiteral("cmdNo(9)")), f.cmdNo[9]);
  EXPECT_TRUE(f.imgFirst->isVisible());
  EXPECT_EQ(f.imgChange->x(), 141);
  EXPECT_FALSE(f.imgFoward->isVisible());
}

TEST_F(WindowTest, NameListLayoutAndItsFailure) {
  gblnBarcode = false;
  gintNoBarScr = 1;
  // No member: the message, the connection closed, no station, the program ends.
  frmBack::instance();
  frmMain::instance();
  EXPECT_FALSE(frmMain::IsLoaded());
  EXPECT_FALSE(frmBack::IsLoaded());
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(gcnDB().IsOpen());
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral("登録者データが無いため、入力画面を作成できません。"));
  EXPECT_EQ(boxes_.Boxes()[0].style, 16);
  EXPECT_EQ(boxes_.Boxes()[0].title, QStringLiteral("データの確認"));
}

TEST_F(WindowTest, NameListPagesCounted) {
  gblnBarcode = false;
  gintNoBarScr = 3;
  gintScreen = 2;
  AddMembers(21);
  WritePicture(QStringLiteral("image/m06.jpg"), 160, 120, Qt::green);
  frmMain& f = Open();
  EXPECT_EQ(f.lblCnt->text(), QStringLiteral("1/2"));
  EXPECT_TRUE(f.imgFoward->isVisible());
  EXPECT_TRUE(f.imgNext->isVisible());
  EXPECT_EQ(f.mstrPageIDs.size(), 22);
  EXPECT_EQ(f.mstrListSQL, NameListSql(false));  // by reading
  EXPECT_EQ(f.imgBack->geometry(), QRect(384, 288, 640, 480));
  EXPECT_EQ(f.imgChange->x(), 755);
  EXPECT_FALSE(f.txtID->isVisible());
  EXPECT_FALSE(f.imgFirst->isVisible());
  frmMain::Unload();
  // The seasonal screen with name confirmation lists by ID; the plain screen always by reading.
  gintNoBarScr = 1;
  EXPECT_EQ(Open().mstrListSQL, NameListSql(true));
  frmMain::Unload();
  gintScreen = 1;
  EXPECT_EQ(Open().mstrListSQL, NameListSql(false));
}

TEST_F(WindowTest, WaitingScreenAfterIntTimeMinutes) {
  glngIntTime = 2;
  glngScanInt = 0;
  folder_.AddMember(QStringLiteral("1001"), QStringLiteral("山田"));
  frmMain& f = Open();
  // Nothing is counted on the waiting screen.
  Ticks(5);
  EXPECT_EQ(glngIdleCount, 0);
  Scan(QStringLiteral("1001"));
  EXPECT_TRUE(f.lblFirst->isVisible());
  Ticks(119);
  EXPECT_TRUE(f.mblnActive);
  EXPECT_TRUE(f.lblFirst->isVisible());
  Ticks(1);
  EXPECT_FALSE(f.mblnActive);
  EXPECT_EQ(glngIdleCount, 0);
  EXPECT_FALSE(f.lblFirst->isVisible());
  EXPECT_EQ(f.lblMess->text(), QStringLiteral("にゅうりょくしてください"));
  EXPECT_EQ(f.imgFirst->Picture().width(), 64);  // image000.jpg
  EXPECT_EQ(f.imgChange->size(), QSize(240, 80));  // the logo, top left in its box
  EXPECT_EQ(f.lblDate->text(), QStringLiteral("2026/06/15 09:07:05"));

  // A counter already past the limit does not bring the waiting screen back.
  f.mblnActive = true;
  f.lblFirst->show();
  glngIdleCount = 500;
  Ticks(3);
  EXPECT_TRUE(f.lblFirst->isVisible());
  EXPECT_EQ(glngIdleCount, 503);
}

TEST_F(WindowTest, ClockAtMidnightShowsOneMoment) {
  frmMain& f = Open();
  // A clock that moves on between two readings: date and time must still come from one.
  QDateTime t(QDate(2026, 6, 15), QTime(23, 59, 59));
  ui::SetClock([&t] {
    const QDateTime now = t;
    t = t.addSecs(1);
    return now;
  });
  f.frmMain_Timer1_Timer();
  ui::SetClock([] { return now_; });
  EXPECT_EQ(f.lblDate->text(), QStringLiteral("2026/06/15 23:59:59"));
}

TEST_F(WindowTest, MissingPicturesLeaveEmptyBoxes) {
  for (const char* f : {"image/image000.jpg", "image/noimage.bmp", "image/logo.jpg", "image/image001.jpg"})
    QFile::remove(folder_.Path() + QLatin1String(f));
  gstrLogoFile = folder_.Path() + QStringLiteral("image/none.png");
  folder_.AddMember(QStringLiteral("1001"), QStringLiteral("山田"));
  gintScreen = 2;  // no month picture either
  frmMain& f = Open();
  EXPECT_EQ(gstrLogoFile, folder_.Path() + QStringLiteral("image/logo.jpg"));
  EXPECT_TRUE(f.imgLogo->Picture().isNull());
  EXPECT_TRUE(f.imgBack->Picture().isNull());
  Scan(QStringLiteral("1001"));
  EXPECT_EQ(History().size(), 1u);
  EXPECT_TRUE(f.imgFirst->Picture().isNull());
  EXPECT_FALSE(f.frmMain_SetWaitScreen().size());
  EXPECT_TRUE(f.imgChange->Picture().isNull());
}

TEST_F(WindowTest, TemplatesAreLoadedLineByLine) {
  folder_.WriteBytes(QStringLiteral("Velmor.txt"), QByteArray("A\r\nB\rC\r\n"));
  folder_.WriteText(QStringLiteral("otMail.txt"), QStringLiteral("退室 %名前%"));
  {
    frmMain& f = Open();  // mail off: the boxes stay empty
    EXPECT_TRUE(f.rtxtinContents->toPlainText().isEmpty());
    frmMain::Unload();
  }
  gblnSendMail = true;
  frmMain& f = Open();
  EXPECT_EQ(f.rtxtinContents->toPlainText(), QStringLiteral("A\nB\nC"));
  EXPECT_EQ(f.rtxtotContents->toPlainText(), QStringLiteral("退室 %名前%"));
  EXPECT_TRUE(f.mblnActive);
  // Missing and empty files leave the text as it was.
  EXPECT_FALSE(f.frmMain_LoadTextFile(folder_.Path() + QStringLiteral("none.txt"), f.rtxtinContents));
  folder_.WriteBytes(QStringLiteral("empty.txt"), QByteArray());
  EXPECT_TRUE(f.frmMain_LoadTextFile(folder_.Path() + QStringLiteral("empty.txt"), f.rtxtinContents));
  EXPECT_EQ(f.rtxtinContents->toPlainText(), QStringLiteral("A\nB\nC"));
}

TEST_F(WindowTest, BarcodePortOpensOrTheStationFails) {
  gintBarConnect = 2;
  gintBarPort = 7;
  {
    testsupport::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.UseAsPort(7);
    frmMain& f = Open();
    EXPECT_TRUE(f.MSComm1->PortOpen());
    EXPECT_EQ(f.MSComm1->Settings(), QStringLiteral("9600,n,8,1"));
    EXPECT_EQ(f.MSComm1->RThreshold(), 1);
    frmMain::Unload();
  }
  qputenv("VELMOR_COMPORT7", "/dev/nonexistent-port");
  frmBack::instance();
  frmMain::instance();
  qunsetenv("VELMOR_COMPORT7");
  EXPECT_FALSE(frmMain::IsLoaded());
  EXPECT_FALSE(frmBack::IsLoaded());
  EXPECT_EQ(ended_, 1);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral("RS232C接続のバーコードが認識できません"));
  EXPECT_EQ(boxes_.Boxes()[0].style, 16);
  EXPECT_EQ(boxes_.Boxes()[0].title, QStringLiteral("ハードウェアの確認"));
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("バーコード不明,起動失敗")});

  // A reader that types like a keyboard opens no port.
  gintBarConnect = 1;
  frmMain& f = Open();
  EXPECT_FALSE(f.MSComm1->PortOpen());
}

}  // namespace
}  // namespace stationtest
