// Start-up and the login window over a real program folder, the real ODBC data source, the built
// camera control and a pty as the barcode port.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "admin/frmSet.h"
#include "desk/frmMain.h"
#include "desk/frmMin.h"
#include "common/frmBack.h"
#include "codepage/codepage.h"
#include "com/registry.h"
#include "com/runtime.h"
#include "db/db.h"
#include "startup/frmLogin.h"
#include "common/mdlIni.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "startup/mdlStartup.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "support/support_pty.h"
#include "ui/msgbox.h"

namespace {

// The control library of this build lies beside the test program.
QString OrnikLibrary() { return QCoreApplication::applicationDirPath() + QStringLiteral("/libOrnik.so"); }

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv(com::kRegistryEnv, QFile::encodeName(registryDir.filePath("registry.json")));
    QString message;
    ASSERT_EQ(com::CallSelfRegistration(OrnikLibrary(), false, &message), com::S_OK)
        << qPrintable(message);
    SetEndProgramHook([this] { ++ends; });
    // Only the virtual cameras a test describes are seen, never a real one.
    qputenv("GST_PLUGIN_PATH", QFile::encodeName(QCoreApplication::applicationDirPath() + "/../gst-plugins"));
    qputenv("ORNIK_VIRTCAMS", "0");
    folder.WriteSettings();
    folder.CreateDatabase(false);
    qunsetenv("VELMOR_COMPORT1");
  }
  void TearDown() override { testsupport::CloseProgram(); }

  // Creates and shows the login window and lets its activation run.
  frmLogin* ShowLogin() {
    frmLogin* login = frmLogin::instance();
    if (!login) return nullptr;
    login->show();
    QTest::qWait(20);
    return login;
  }

  QString LogText() {
    QFile f(folder.Path() + "log/" + QDate::currentDate().toString("yyyyMMdd") + ".log");
    f.open(QIODevice::ReadOnly);
    return cp::FromAnsi(f.readAll());
  }

  QTemporaryDir registryDir;
  testsupport::ProgramFolder folder;
  testsupport::MsgBoxRecorder boxes;
  int ends = 0;
};

TEST_F(LoginTest, ASecondInstanceIsRefusedAndTouchesNothing) {
  // Another process holds the program folder's lock (a separate open file plays it).
  const int other = ::open(QFile::encodeName(InstanceLockPath()).constData(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(frmLogin::instance(), nullptr);
  ::close(other);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("このアプリケーションはすでに開かれています。"));
  EXPECT_EQ(boxes.Boxes()[0].style, ui::vbExclamation);
  EXPECT_EQ(boxes.Boxes()[0].title, QStringLiteral("ロードエラー"));
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(gcnDB().IsOpen());
  EXPECT_EQ(LogText(), QString());
}

TEST_F(LoginTest, StartupFailuresEndTheProgramWithTheirMessage) {
  {
    db::Connection c;
    ASSERT_TRUE(c.Open("Pardix", "", ""));
    ASSERT_TRUE(db::Execute(c, "DELETE FROM tblServer"));
  }
  EXPECT_EQ(frmLogin::instance(), nullptr);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  // The message, and below it the failing step's own reason.
  EXPECT_TRUE(boxes.Texts()[0].startsWith(
      QStringLiteral("システム起動情報にエラーが発生しています。システム起動は失敗しました。\r\n")));
  EXPECT_TRUE(boxes.Texts()[0].contains("tblServer")) << qPrintable(boxes.Texts()[0]);
  EXPECT_EQ(ends, 1);

  // A required setting that is missing names its section and key.
  ReleaseInstanceLock();
  folder.WriteText("Velmor.ini", "[SYSTEM]\nlog=True\n");
  EXPECT_EQ(frmLogin::instance(), nullptr);
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_TRUE(boxes.Texts()[1].contains("sendMail"));
}

TEST_F(LoginTest, ALogOrPhotoFolderThatTakesNoFileIsReportedOnceAndTheLoginGoesOn) {
  const QString logDir = folder.Path() + "log/", imgDir = folder.Path() + "ScanData/";
  struct Case {
    const char* name;
    std::function<void()> make;
    QString expected;  // empty: no box
  };
  const Case cases[] = {
      {"photo folder missing", [&] { ASSERT_TRUE(QDir(imgDir).removeRecursively()); }, QString()},
      // A file where the folder should be, and a link into nowhere: both stop root as well.
      {"log folder is a file and the photo folder a dangling link", [&] {
         ASSERT_TRUE(QDir(logDir).removeRecursively() && QDir(imgDir).removeRecursively());
         folder.WriteBytes("log", "not a folder");
         ASSERT_TRUE(QFile::link(folder.Path() + "gone/ScanData", folder.Path() + "ScanData"));
       }, QStringLiteral("ログフォルダに書き込めません。\r\n%1\r\n写真フォルダに書き込めません。\r\n%2")
              .arg(logDir, imgDir)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(folder.Path() + "log");
    QFile::remove(folder.Path() + "ScanData");
    QDir(folder.Path()).mkpath("log");
    c.make();
    frmLogin* login = ShowLogin();
    ASSERT_NE(login, nullptr);
    if (c.expected.isEmpty()) {
      EXPECT_TRUE(boxes.Boxes().empty());
      EXPECT_TRUE(QFileInfo(imgDir).isDir());  // created, as the station would
    } else {
      ASSERT_EQ(boxes.Boxes().size(), 1u);
      EXPECT_EQ(boxes.Boxes()[0].text, c.expected);
      EXPECT_EQ(boxes.Boxes()[0].style, ui::vbExclamation);
      EXPECT_EQ(boxes.Boxes()[0].title, QStringLiteral("フォルダの確認"));
    }
    // The login works as before.
    login->txtPassword->setText("9999");
    login->frmLogin_cmdOK_Click();
    EXPECT_TRUE(login->LoginTimer->isActive());
    EXPECT_EQ(boxes.Boxes().size(), c.expected.isEmpty() ? 0u : 1u);
    frmLogin::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(LoginTest, AnEmptyFtpServerTurnsTheUploadOff) {
  folder.WriteSettings("[MAIL]\nftp=True");
  ASSERT_NE(ShowLogin(), nullptr);
  EXPECT_FALSE(gblnFtp);
  EXPECT_TRUE(gcnDB().IsOpen());
  EXPECT_TRUE(LogText().contains(QStringLiteral(",起動,成功\r\n")));
}

TEST_F(LoginTest, TheAdministratorPasswordOpensTheSettingsWindow) {
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  login->txtPassword->setText("admin");
  login->frmLogin_cmdOK_Click();
  EXPECT_TRUE(login->LoginTimer->isActive());
  EXPECT_EQ(login->LoginTimer->interval(), 5000);
  EXPECT_FALSE(login->cmdOK->isEnabled());
  EXPECT_FALSE(login->cmdCancel->isEnabled());
  EXPECT_EQ(login->lblNow->text(), QStringLiteral("管理者モードで起動中..."));
  login->LoginTimerProc();
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_FALSE(frmLogin::IsLoaded());
  // Log lines never carry the typed password, nor its length.
  const QString log = LogText();
  EXPECT_EQ(log.count(QStringLiteral(",********/ログイン,成功\r\n")), 1);
  EXPECT_FALSE(log.contains("admin"));
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LoginTest, TheTextAtTheTimerDecidesAndTheStationUserLabelFollowsTheCamera) {
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  login->txtPassword->setText("9999");
  login->frmLogin_cmdOK_Click();
  EXPECT_EQ(login->lblNow->text(), QStringLiteral("システム確認中..."));
  // Changed to the administrator's password during the wait: the administration opens.
  login->txtPassword->setText("admin");
  login->LoginTimerProc();
  EXPECT_TRUE(frmSet::IsLoaded());
}

TEST_F(LoginTest, APasswordStoredForBothRowsPassesBothTests) {
  {
    db::Connection c;
    ASSERT_TRUE(c.Open("Pardix", "", ""));
    ASSERT_TRUE(db::Execute(c, "UPDATE tblPassword SET Password = ?", {QStringLiteral("1234")}));
  }
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  login->txtPassword->setText("1234");
  login->frmLogin_cmdOK_Click();
  // Both matches are logged; the label ends with the station user's text; one timer runs.
  EXPECT_EQ(LogText().count(QStringLiteral(",********/ログイン,成功\r\n")), 2);
  EXPECT_EQ(login->lblNow->text(), QStringLiteral("システム確認中..."));
  EXPECT_TRUE(login->LoginTimer->isActive());
  EXPECT_TRUE(boxes.Boxes().empty());
  // The text equals the administrator's password when the timer fires.
  login->LoginTimerProc();
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_FALSE(frmMain::IsLoaded());
}

TEST_F(LoginTest, TheStationUserOpensTheStationOfTheScreenMode) {
  struct Case {
    const char* settings;
    bool fullStation;  // backdrop and station window, else the minimized station
  };
  bool memberAdded = false;
  for (const Case& c : {Case{"[SYSTEM]\nscreen=1", true}, Case{"[SYSTEM]\nscreen=3\nbarconnect=1", false}}) {
    SCOPED_TRACE(c.settings);
    folder.WriteSettings(c.settings);
    frmLogin* login = ShowLogin();
    ASSERT_NE(login, nullptr);
    if (!memberAdded) folder.AddMember("1001", "山田太郎");  // a station needs a member to show
    memberAdded = true;
    login->txtPassword->setText("9999");
    login->frmLogin_cmdOK_Click();
    login->LoginTimerProc();
    EXPECT_EQ(frmBack::IsLoaded(), c.fullStation);
    EXPECT_EQ(frmMain::IsLoaded(), c.fullStation);
    EXPECT_EQ(frmMin::IsLoaded(), !c.fullStation);
    EXPECT_FALSE(frmLogin::IsLoaded());
    EXPECT_EQ(ends, 0);
    SetEndProgramHook([] {});  // closing the station below ends the program
    frmMain::Unload();
    frmMin::Unload();
    frmBack::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetEndProgramHook([this] { ++ends; });
  }
}

TEST_F(LoginTest, TwoVirtualCamerasAreCountedWithoutAQuestion) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "GStreamer's plugin scanner cannot load the camera plugin of a sanitizer build";
#endif
  qputenv("ORNIK_VIRTCAMS", "2");
  // With the camera setting off no count is taken and the count keeps its value.
  glngCamCount = 7;
  ASSERT_NE(ShowLogin(), nullptr);
  EXPECT_EQ(glngCamCount, 7);
  frmLogin::Unload();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  folder.WriteSettings("[IMAGE]\ncam=True");
  glngCamCount = 0;
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(glngCamCount, 2);
  login->txtPassword->setText("9999");
  login->frmLogin_cmdOK_Click();
  EXPECT_EQ(login->lblNow->text(), QStringLiteral("カメラの検索中..."));
}

TEST_F(LoginTest, ARefusedPasswordIsLoggedMaskedAndEmptied) {
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  login->txtPassword->setText("wrong");
  login->frmLogin_cmdOK_Click();
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("ﾊﾟｽﾜｰﾄﾞが正しくありません。もう一度入力してください !"));
  EXPECT_EQ(boxes.Boxes()[0].style, ui::vbInformation);
  EXPECT_EQ(boxes.Boxes()[0].title, QStringLiteral("ﾛｸﾞｵﾝ"));
  EXPECT_EQ(login->txtPassword->text(), QString());
  EXPECT_FALSE(login->LoginTimer->isActive());
  EXPECT_TRUE(login->cmdOK->isEnabled());
  EXPECT_TRUE(LogText().contains(QStringLiteral(",********/ログイン,失敗\r\n")));
  // A refused password of another length, an empty one, and the master password that older
  // copies of the program carried: each refused with the same mask.
  for (const char* typed : {"x", "a-much-longer-wrong-password", "", "koRbat"}) {
    login->txtPassword->setText(typed);
    login->frmLogin_cmdOK_Click();
    EXPECT_FALSE(login->LoginTimer->isActive()) << typed;
  }
  EXPECT_EQ(boxes.Boxes().size(), 5u);
  EXPECT_EQ(LogText().count(QStringLiteral(",********/ログイン,失敗\r\n")), 5);
  EXPECT_EQ(LogText().count(QStringLiteral("/ログイン,失敗\r\n")), 5);
  EXPECT_FALSE(LogText().contains("koRbat"));
  EXPECT_FALSE(frmSet::IsLoaded());
}

TEST_F(LoginTest, CancelEndsTheProgramAndClosesTheDatabase) {
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  EXPECT_TRUE(gcnDB().IsOpen());
  login->frmLogin_cmdCancel_Click();
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(gcnDB().IsOpen());
  EXPECT_FALSE(frmLogin::IsLoaded());
  EXPECT_TRUE(LogText().contains(QStringLiteral(",ログイン,キャンセル\r\n")));
}

TEST_F(LoginTest, NoCameraAsksAndOkGoesOnWhileCancelEnds) {
  folder.WriteSettings("[IMAGE]\ncam=True");
  glngCamCount = 0;
  boxes.Answer(ui::vbOK);
  ASSERT_NE(ShowLogin(), nullptr);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("カメラの接続が確認できません"));
  EXPECT_EQ(boxes.Boxes()[0].style, ui::vbInformation | ui::vbOKCancel);
  EXPECT_EQ(boxes.Boxes()[0].title, QStringLiteral("ハードウェアの確認"));
  EXPECT_EQ(glngCamCount, 0);
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(LogText().contains(QStringLiteral(",カメラ不明,続行\r\n")));

  frmLogin::Unload();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  boxes.Answer(ui::vbCancel);
  ShowLogin();
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(gcnDB().IsOpen());
  EXPECT_FALSE(frmLogin::IsLoaded());
  EXPECT_TRUE(LogText().contains(QStringLiteral(",カメラ不明,キャンセル\r\n")));
}

TEST_F(LoginTest, TheSerialBarcodePortIsTriedOnlyWhenConfigured) {
  // Keyboard reader: the port is not touched, even a missing one.
  qputenv("VELMOR_COMPORT1", "/dev/nonexistent-port");
  folder.WriteSettings("[SYSTEM]\nbarconnect=1\nbarcode=True");
  ASSERT_NE(ShowLogin(), nullptr);
  EXPECT_TRUE(boxes.Boxes().empty());
  frmLogin::Unload();

  // A serial reader whose port cannot be opened: OK goes on, Cancel ends.
  folder.WriteSettings("[SYSTEM]\nbarconnect=2\nbarcode=True");
  boxes.Answer(ui::vbOK);
  ASSERT_NE(ShowLogin(), nullptr);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], QStringLiteral("RS232C接続のバーコードが認識できません"));
  EXPECT_EQ(ends, 0);
  frmLogin::Unload();
  boxes.Answer(ui::vbCancel);
  ShowLogin();
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(LogText().contains(QStringLiteral(",バーコード不明,キャンセル\r\n")));

  // A port that opens (a pty) asks nothing and is closed again.
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.UseAsPort(1);
  ReleaseInstanceLock();
  SetEndProgramHook([this] { ++ends; });
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(boxes.Texts().size(), 2u);
  qunsetenv("VELMOR_COMPORT1");
}

TEST_F(LoginTest, StartupRunsAgainWhenTheSettingsWindowCloses) {
  frmLogin* login = ShowLogin();
  ASSERT_NE(login, nullptr);
  login->txtPassword->setText("admin");
  login->frmLogin_cmdOK_Click();
  login->LoginTimerProc();
  ASSERT_TRUE(frmSet::IsLoaded());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // OK saves the window's settings; the new login's start-up reads them back.
  folder.WriteBytes("image/logo.jpg", "x");
  frmSet& settings = frmSet::instance();
  settings.txtLogoFile->setText(folder.Path() + "image/logo.jpg");
  settings.txtInMessage->setText(QStringLiteral("カードをどうぞ"));
  settings.txtAppUser->setText(QStringLiteral("新しい教室"));
  settings.frmSet_cmdOK_Click();
  EXPECT_FALSE(frmSet::IsLoaded());
  ASSERT_TRUE(frmLogin::IsLoaded());
  EXPECT_EQ(gstrAppUser, QStringLiteral("新しい教室"));
  EXPECT_EQ(gstrInMessage, QStringLiteral("カードをどうぞ"));
  EXPECT_TRUE(gcnDB().IsOpen());
  EXPECT_EQ(ends, 0);

  // Cancel writes nothing; the start-up reloads the file as it stands.
  frmLogin::instance()->txtPassword->setText("admin");
  frmLogin::instance()->frmLogin_cmdOK_Click();
  frmLogin::instance()->LoginTimerProc();
  ASSERT_TRUE(frmSet::IsLoaded());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(WriteIni("SYSTEM", "appuser", QStringLiteral("別の教室")));
  frmSet::instance().txtAppUser->setText(QStringLiteral("捨てる名前"));
  frmSet::instance().frmSet_cmdCancel_Click();
  ASSERT_TRUE(frmLogin::IsLoaded());
  EXPECT_EQ(gstrAppUser, QStringLiteral("別の教室"));
  EXPECT_EQ(ends, 0);
}

}  // namespace
