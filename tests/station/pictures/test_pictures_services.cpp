// File dialog and work area, and the backdrop and busy windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "platform/imaging/picture_files.h"
#include "common/frmBack.h"
#include "common/frmNow.h"
#include "common/mdlComDlg.h"
#include "common/mdlVelmor.h"

namespace {

TEST(SharedServices, OpenDialogAnswersWithThePathOrNothing) {
  QTemporaryDir dir;
  const QString chosen = dir.filePath("photo.jpg");
  ASSERT_TRUE(testpics::WriteFile(chosen, "x"));
  QString filter = QStringLiteral("画像|*.jpg;*.jpeg|すべて|*.*||");
  filter.replace(QLatin1Char('|'), QChar(0));
  SetOpenDialogHook([&](QFileDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("ファイルを開く"));
    EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(d.directory().absolutePath(), QDir(dir.path()).absolutePath());
    EXPECT_EQ(d.nameFilters(), QStringList({"画像 (*.jpg *.jpeg)", "すべて (*.*)"}));
    d.selectFile(chosen);
    return int(QDialog::Accepted);
  });
  EXPECT_EQ(ShowOpenDialog(nullptr, filter, dir.path()), chosen);
  SetOpenDialogHook([](QFileDialog&) { return int(QDialog::Rejected); });
  EXPECT_EQ(ShowOpenDialog(nullptr, filter, dir.path()), QString());
  SetOpenDialogHook({});

  const RECT r = GetWorkArea();
  EXPECT_EQ(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top),
            QGuiApplication::primaryScreen()->availableGeometry());
}

TEST(Backdrop, CoversTheScreenAndHandsTheFocusToTheStationWindowWhenItCanTakeIt) {
  QPointer<frmBack> back = &frmBack::instance();
  EXPECT_EQ(&frmBack::instance(), back);
  EXPECT_TRUE(back->isVisible());
  EXPECT_EQ(back->geometry(), QGuiApplication::primaryScreen()->geometry());
  EXPECT_TRUE(back->windowFlags() & Qt::WindowStaysOnBottomHint);

  QWidget station;
  QLineEdit* field = new QLineEdit(&station);
  station.show();
  field->setFocus();
  const auto clickGivesFocus = [&](bool doubleClick) {
    back->activateWindow();
    QCoreApplication::processEvents();
    doubleClick ? QTest::mouseDClick(back, Qt::LeftButton) : QTest::mouseClick(back, Qt::LeftButton);
    QCoreApplication::processEvents();
    return QApplication::activeWindow() == &station && QApplication::focusWidget() == field;
  };
  EXPECT_FALSE(clickGivesFocus(false)) << "no station window registered";
  frmBack::SetStationWindow(&station);
  EXPECT_TRUE(clickGivesFocus(false));
  EXPECT_TRUE(clickGivesFocus(true));
  station.setEnabled(false);
  EXPECT_FALSE(clickGivesFocus(false)) << "a disabled station window cannot take the focus";
  station.setEnabled(true);
  station.hide();
  EXPECT_FALSE(clickGivesFocus(true)) << "a hidden station window cannot take the focus";

  frmBack::Unload();
  frmBack::SetStationWindow(nullptr);
  EXPECT_FALSE(frmBack::IsLoaded());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(back.isNull());
}

TEST(BusyWindow, ShowsItsLabelCentredAndUnloads) {
  frmNow& now = frmNow::instance();
  EXPECT_EQ(now.windowTitle(), QStringLiteral("処理中．．．"));
  ASSERT_EQ(now.findChild<QLabel*>("lblNow"), now.lblNow);
  EXPECT_EQ(now.size(), QSize(224, 49));  // 3360 x 735 twips at 15 twips per pixel
  EXPECT_EQ(now.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
  now.lblNow->setText(QStringLiteral("登録データの確認中..."));
  frmNow::Unload();
  EXPECT_FALSE(frmNow::IsLoaded());
  EXPECT_EQ(frmNow::instance().lblNow->text(), QStringLiteral("メール送信中．．．")) << "a new window";
  frmNow::Unload();
}

}  // namespace
