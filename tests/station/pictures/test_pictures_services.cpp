// Conversion, file dialog, work area, network drive, and the backdrop and busy windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "imaging/imaging.h"
#include "netdrive/netdrive.h"
#include "platform/imaging/picture_files.h"
#include "platform/netdrive/fake_mount.h"
#include "startup/frmBack.h"
#include "startup/frmNow.h"
#include "startup/imgctl_util.h"
#include "startup/mdlComDlg.h"
#include "startup/mdlNetDrv.h"
#include "startup/mdlPicture.h"
#include "startup/mdlVelmor.h"

namespace {

class SharedServices : public ::testing::Test {
 protected:
  QTemporaryDir dir;
};

TEST_F(SharedServices, ConvertBmpToJpgWritesAJpegAndFreesTheBitmapOnEveryPath) {
  const QByteArray bmpBytes = testpics::Bmp24(testpics::Gradient(96, 64));
  const QString bmp = dir.filePath(QStringLiteral("still.bmp"));
  ASSERT_TRUE(testpics::WriteFile(bmp, bmpBytes));
  const QString jpg = dir.filePath(QStringLiteral("20240101120000.jpg"));

  EXPECT_TRUE(ConvertBmpToJpg(jpg, bmp, 100, 0));
  const ImageSize size = GetImageSize(jpg, 0);
  EXPECT_EQ(std::make_tuple(size.Kind, size.PixelWidth, size.PixelHeight), std::make_tuple(3, 96, 64));
  EXPECT_EQ(testpics::ReadFile(bmp), bmpBytes);

  const QString cut = dir.filePath(QStringLiteral("cut.bmp"));
  ASSERT_TRUE(testpics::WriteFile(cut, bmpBytes.left(100)));
  const QString none = dir.filePath(QStringLiteral("none.jpg"));
  EXPECT_FALSE(ConvertBmpToJpg(none, cut, 100, 0));
  EXPECT_FALSE(ConvertBmpToJpg(none, dir.filePath(QStringLiteral("missing.bmp")), 100, 0));
  EXPECT_FALSE(QFileInfo::exists(none));
  EXPECT_FALSE(ConvertBmpToJpg(dir.filePath(QStringLiteral("no/folder.jpg")), bmp, 100, 0));
  EXPECT_EQ(imaging::LiveDIBCount(), 0);
}

TEST_F(SharedServices, OpenDialogIsSetUpAndAnswersWithThePathOrNothing) {
  const QString chosen = dir.filePath(QStringLiteral("photo.jpg"));
  ASSERT_TRUE(testpics::WriteFile(chosen, "x"));
  QStringList filters;
  SetOpenDialogHook([&](QFileDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("ファイルを開く"));
    EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(d.directory().absolutePath(), QDir(dir.path()).absolutePath());
    filters = d.nameFilters();
    d.selectFile(chosen);
    return int(QDialog::Accepted);
  });
  QString nulFilter = QStringLiteral("画像|*.jpg;*.jpeg|すべて|*.*||");
  nulFilter.replace(QLatin1Char('|'), QChar(0));
  EXPECT_EQ(ShowOpenDialog(nullptr, nulFilter, dir.path()), chosen);
  EXPECT_EQ(filters, QStringList({QStringLiteral("画像 (*.jpg *.jpeg)"), QStringLiteral("すべて (*.*)")}));

  SetOpenDialogHook([](QFileDialog&) { return int(QDialog::Rejected); });
  EXPECT_EQ(ShowOpenDialog(nullptr, nulFilter, dir.path()), QString());
  SetOpenDialogHook({});
}

TEST_F(SharedServices, WorkAreaAndNetworkDrive) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const RECT r = GetWorkArea();
  EXPECT_EQ(QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)), area);
  EXPECT_GT(r.Right, r.Left);

  QDir(dir.path()).mkdir(QStringLiteral("z"));
  const QString table = dir.filePath(QStringLiteral("mounts"));
  ASSERT_TRUE(testpics::WriteFile(table, ""));
  netdrive::SetMountTable(table);
  netdrive::SetMountCommand(testnet::WriteFakeMount(dir.path(), 0));
  EXPECT_EQ(ConnectNetDrive(dir.filePath(QStringLiteral("z")), QStringLiteral("\\\\nas\\scan"),
                            QStringLiteral("u"), QStringLiteral("p")),
            0);
  netdrive::SetMountCommand(testnet::WriteFakeMount(dir.path(), 32));
  const int failed = ConnectNetDrive(dir.filePath(QStringLiteral("z")),
                                     QStringLiteral("\\\\nas\\scan"), QStringLiteral("u"),
                                     QStringLiteral("p"));
  EXPECT_NE(failed, 0);
  EXPECT_NE(failed, 85);
  ASSERT_TRUE(testpics::WriteFile(
      table, "//nas/scan " + QFileInfo(dir.filePath(QStringLiteral("z"))).canonicalFilePath().toUtf8() + " cifs rw 0 0\n"));
  EXPECT_EQ(ConnectNetDrive(dir.filePath(QStringLiteral("z")), QStringLiteral("\\\\nas\\scan"),
                            QStringLiteral("u"), QStringLiteral("p")),
            85);
  netdrive::SetMountCommand({});
  netdrive::SetMountTable({});
}

class Backdrop : public ::testing::Test {
 protected:
  void TearDown() override {
    frmBack::Unload();
    frmBack::SetStationWindow(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(Backdrop, CoversTheWholeScreenBelowEverything) {
  EXPECT_FALSE(frmBack::IsLoaded());
  frmBack& back = frmBack::instance();
  EXPECT_TRUE(frmBack::IsLoaded());
  EXPECT_EQ(&frmBack::instance(), &back);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(back.isVisible());
  EXPECT_EQ(back.geometry(), screen);
  EXPECT_EQ(QSize(back.ScreenWidth(), back.ScreenHeight()), screen.size());
  EXPECT_TRUE(back.windowFlags() & Qt::WindowStaysOnBottomHint);
  EXPECT_TRUE(back.windowFlags() & Qt::FramelessWindowHint);

  QPointer<frmBack> old = &back;
  frmBack::Unload();
  EXPECT_FALSE(frmBack::IsLoaded());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(old.isNull());
  frmBack::Unload();  // none loaded: nothing happens
}

TEST_F(Backdrop, ClickHandsTheFocusToTheStationWindowWhenItCanTakeIt) {
  QWidget station;
  QLineEdit* field = new QLineEdit(&station);
  station.show();
  field->setFocus();
  frmBack& back = frmBack::instance();

  const auto clickAndAsk = [&](bool doubleClick) {
    back.activateWindow();
    QCoreApplication::processEvents();
    if (doubleClick)
      QTest::mouseDClick(&back, Qt::LeftButton);
    else
      QTest::mouseClick(&back, Qt::LeftButton);
    QCoreApplication::processEvents();
    return QApplication::activeWindow() == &station;
  };

  EXPECT_FALSE(clickAndAsk(false)) << "no station window registered";
  frmBack::SetStationWindow(&station);
  EXPECT_TRUE(clickAndAsk(false));
  EXPECT_EQ(QApplication::focusWidget(), field);
  EXPECT_TRUE(clickAndAsk(true));
  station.setEnabled(false);
  EXPECT_FALSE(clickAndAsk(false)) << "a disabled station window cannot take the focus";
  station.setEnabled(true);
  station.hide();
  EXPECT_FALSE(clickAndAsk(true)) << "a hidden station window cannot take the focus";
}

TEST(BusyWindow, ShowsItsLabelCentredAndUnloads) {
  frmNow& now = frmNow::instance();
  EXPECT_EQ(now.windowTitle(), QStringLiteral("処理中．．．"));
  ASSERT_EQ(now.findChild<QLabel*>(QStringLiteral("lblNow")), now.lblNow);
  EXPECT_EQ(now.lblNow->text(), QStringLiteral("メール送信中．．．"));
  EXPECT_FALSE(now.isVisible()) << "callers show it";
  EXPECT_EQ(now.size(), QSize(224, 49));  // 3360 x 735 twips at 15 twips per pixel
  EXPECT_EQ(now.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());

  now.lblNow->setText(QStringLiteral("登録データの確認中..."));
  now.show();
  now.repaint();
  frmNow::Unload();
  EXPECT_FALSE(frmNow::IsLoaded());
  EXPECT_EQ(frmNow::instance().lblNow->text(), QStringLiteral("メール送信中．．．"));
  frmNow::Unload();
}

}  // namespace
