// The settings window's fields: loading, the option switches, OK's checks and save, and the
// mail server window.
#include "admin_fixture.h"
#include <QFileDialog>
#include "common/mdlComDlg.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

#include "admin/TableModels.h"
#include "admin/frmServer.h"
#include "codepage/codepage.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "platform/dialup/fake_dialup.h"
#include "support/support_postgres.h"
#include "ui/msgbox.h"

namespace admintest {
namespace {

class FrmSetSettings : public AdminTest {
 protected:
  QStringList LogWhats() const {
    QStringList whats;
    const QString text = cp::FromAnsi(FileBytes(gstrLogDir + QStringLiteral("20260615.log")));
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      whats << line.section(QLatin1Char(','), 2, 2);
    return whats;
  }
  // The start-up's settings load, over fresh program-wide values.
  void Reload() const {
    const QString app = gstrAppPath, ini = gstrIniFile, log = gstrLogDir;
    ResetProgramValues();
    gstrAppPath = app;
    gstrIniFile = ini;
    gstrLogDir = log;
    QString error;
    ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  }
  void ClearLog() const { QFile::remove(gstrLogDir + QStringLiteral("20260615.log")); }
  QString LastBox() const { return boxes_.Boxes().empty() ? QString() : boxes_.Boxes().back().text; }
  // (1, password) for the administrator rows, then (0, password) for the others.
  std::vector<std::pair<int, QString>> Passwords() const {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), "select * from tblPassword order by admin"));
    std::vector<std::pair<int, QString>> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
      out.emplace_back(db::IsTrue(rs.Value("admin")) ? 1 : 0, rs.Text("Password"));
    return out;
  }
};

TEST_F(FrmSetSettings, LoadShowsEverySettingAndAppliesTheFeatureSwitches) {
  Prepare();
  testsupport::FakeDialup phoneBook;
  phoneBook.AddEntry("office", "user taro\n");
  phoneBook.AddEntry("home", "user hanako\n");
  phoneBook.WriteSecrets("taro * 秘密1\n", "");
  gstrAppUser = "ベルモア教室";
  gintScreen = 2;
  gblnSound = true;
  gblnBarcode = true;
  gintBarConnect = 2;
  gintBarPort = 4;
  glngIntTime = 7;
  glngInOutTime = 8;
  glngInOutChg = 0;
  gblnLog = false;
  gblnCam = true;
  gblnSaveImg = false;
  gstrSendImg = "True";
  gblnSendMail = true;
  gstrMailAddr = "a@ex.jp";
  gintPort = 587;
  glngSendP = 1;
  gstrDialEntry = "office";
  gstrDialUser = "taro";
  gstrDialPsw = "pw";
  gblnFtp = true;
  gstrFtpServer.clear();
  gblnIsServer = false;
  gblnCamSupport = true;
  gblnChgLogo = false;
  gblnDialup = true;
  frmSet& f = Open();

  EXPECT_EQ(f.txtAppUser->text(), "ベルモア教室");
  EXPECT_TRUE(f.optScreenB->isChecked());
  EXPECT_TRUE(f.optBar232C->isChecked());
  EXPECT_TRUE(f.cmbPort->isEnabled());
  EXPECT_EQ(f.cmbPort->currentText(), "4");
  EXPECT_EQ(f.txtintTime->text(), "7");
  EXPECT_EQ(f.txtInOutChg->text(), "0");
  EXPECT_EQ(f.txtAdmin->text(), "admin");
  EXPECT_EQ(f.txtInMessage->text(), "カードをかざしてください");
  EXPECT_TRUE(f.optCamYes->isChecked());
  EXPECT_TRUE(f.optSaveImgNo->isChecked());
  EXPECT_FALSE(f.txtImgSave->isEnabled());
  EXPECT_TRUE(f.optSendMailYes->isChecked());
  EXPECT_EQ(f.txtMailAddr->text(), "a@ex.jp");
  EXPECT_EQ(f.txtPort->text(), "587");
  EXPECT_TRUE(f.optSendP[1]->isChecked());
  // The switches: the own server's button, the logo hidden, FTP forced off without a server.
  EXPECT_TRUE(f.cmdServer->isVisible());
  EXPECT_TRUE(f.txtLogoFile->isHidden());
  EXPECT_TRUE(f.optFtp[1]->isChecked());
  EXPECT_FALSE(f.fraFtp->isEnabled());
  EXPECT_FALSE(gblnFtp);
  // The phone book: its entries, the saved entry and what is saved with another one.
  EXPECT_TRUE(f.optDial->isChecked());
  ASSERT_EQ(f.entryCombo1->count(), 2);
  EXPECT_EQ(f.entryCombo1->itemText(0), "home");
  EXPECT_EQ(f.entryCombo1->currentText(), "office");
  EXPECT_EQ(f.user->text(), "taro");
  EXPECT_EQ(f.pass->text(), "pw");
  f.entryCombo1->setCurrentIndex(1);
  f.entryCombo1_Click();
  EXPECT_EQ(f.user->text(), "taro");
  EXPECT_EQ(f.pass->text(), "秘密1");
  f.entryCombo1->setEditText("gone");
  f.entryCombo1_Click();
  EXPECT_EQ(f.user->text(), "登録無し。");
  EXPECT_EQ(f.pass->text(), "登録無し。");
  EXPECT_TRUE(LogWhats().isEmpty());  // logging was off
  frmSet::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The other way round: no camera support, no dial-up, the built-in mail service.
  gblnIsServer = true;
  gblnCamSupport = false;
  gblnDialup = false;
  gblnChgLogo = true;
  gstrDialEntry.clear();
  gstrFtpServer = "ftp.ex.jp";
  gblnFtp = true;
  gblnBarcode = false;
  gintNoBarScr = 3;
  frmSet& g = Open();
  EXPECT_FALSE(g.cmdServer->isVisible());
  EXPECT_FALSE(g.fraCam->isEnabled());
  EXPECT_TRUE(g.txtLogoFile->isVisible());
  EXPECT_FALSE(g.optDial->isEnabled());
  EXPECT_TRUE(g.optFtp[0]->isChecked());
  EXPECT_TRUE(g.fraFtp->isEnabled());
  EXPECT_TRUE(g.optSetBarNoBoth->isChecked());
  EXPECT_FALSE(g.cmbPort->isEnabled());
}

TEST_F(FrmSetSettings, OptionSwitchesSetTheirFieldsAndLogTheirLines) {
  Prepare();
  gblnDialup = false;
  frmSet& f = Open();
  // The load selected the options as clicks do: their lines are in the log.
  EXPECT_TRUE(LogWhats().contains("ログをとるクリック"));
  EXPECT_TRUE(LogWhats().contains("管理者パスワード変更"));
  ClearLog();

  f.optSendMailYes->click();
  EXPECT_TRUE(f.txtMailAddr->isEnabled());
  EXPECT_TRUE(f.cmdContents->isEnabled());
  EXPECT_FALSE(f.optDial->isEnabled());  // no dial-up on this installation
  f.optSendMailNo->click();
  EXPECT_FALSE(f.txtMailAddr->isEnabled());
  EXPECT_FALSE(f.txtPort->isEnabled());
  f.optCamYes->click();
  EXPECT_TRUE(f.txtScanInt->isEnabled());
  f.optSaveImgNo->click();
  EXPECT_FALSE(f.txtImgSave->isEnabled());
  f.optCamNo->click();
  f.optCamYes->click();
  EXPECT_FALSE(f.txtImgSave->isEnabled());  // still not saving images
  f.optSaveImgYes->click();
  EXPECT_TRUE(f.txtImgSave->isEnabled());
  f.optSendImgYes->click();
  f.optLogNo->click();
  f.txtUser->setText("8888");
  EXPECT_EQ(LogWhats(), QStringList({"メールを送るクリック", "メールを送らないクリック", "カメラを利用するクリック",
                                     "画像を保存しないクリック", "カメラを利用しないクリック",
                                     "カメラを利用するクリック", "画像を保存するクリック",
                                     "画像を送信するクリック", "ログをとらないクリック", "利用者パスワード変更"}));

  // Dial-up and LAN.
  gblnDialup = true;
  gstrDialEntry = "office";
  f.optSendMailYes->click();
  f.optDial->setEnabled(true);
  f.optDial->click();
  EXPECT_TRUE(f.entryCombo1->isEnabled());
  EXPECT_FALSE(f.optLan->isChecked());
  f.optLan->click();
  EXPECT_FALSE(f.entryCombo1->isEnabled());
  EXPECT_TRUE(gstrDialEntry.isEmpty());

  // The minimized station asks first; Cancel changes nothing else.
  f.optSetBarYes->click();
  boxes_.Answer(ui::vbCancel);
  f.optScreenC->click();
  EXPECT_EQ(LastBox(), "最小化表示を選択する場合には、RS232C接続のバーコードが必須となります。");
  EXPECT_TRUE(f.optScreenC->isChecked());
  EXPECT_TRUE(f.optSetBarYes->isChecked());
  f.optScreenA->click();
  f.optScreenC->click();  // OK
  EXPECT_TRUE(f.optBar232C->isChecked());
  EXPECT_FALSE(f.optSetBarYes->isEnabled());
  EXPECT_TRUE(f.cmbPort->isEnabled());
  EXPECT_TRUE(f.optCamNo->isChecked());
  f.optScreenB->click();
  EXPECT_TRUE(f.optSetBarYes->isEnabled());

  // The port, narrowed when the field is left.
  f.txtPort->setText("５８７");
  f.txtPort_LostFocus();
  EXPECT_EQ(f.txtPort->text(), "587");
  EXPECT_EQ(gintPort, 587);
  f.txtPort->setText("６５５３５");
  f.txtPort_LostFocus();
  EXPECT_EQ(LastBox(), "送信ポート番号は1から32767までの数字で指定してください");
  EXPECT_EQ(gintPort, 587);
}

TEST_F(FrmSetSettings, FolderButtonsOpenTheFoldersAndTheDialogsFillTheirFields) {
  Prepare();
  frmSet& f = Open();
  QStringList opened;
  SetShellOpenHook([&opened](const QString& target) {
    opened << target;
    return true;
  });
  f.cmdLog->click();
  f.optCamYes->click();
  f.cmdPicView->click();
  SetShellOpenHook({});
  EXPECT_EQ(opened, QStringList({gstrAppPath + "log/", gstrAppPath + "ScanData/"}));

  // The logo: the chosen file; a cancelled dialog leaves the field as it was.
  const QString logo = folder_.Path() + "image/other.jpg";
  QFile(gstrLogoFile).copy(logo);
  SetOpenDialogHook([&](QFileDialog& d) {
    d.selectFile(logo);
    return int(QDialog::Accepted);
  });
  f.cmdLogo->click();
  EXPECT_EQ(f.txtLogoFile->text(), logo);
  SetOpenDialogHook([](QFileDialog&) { return int(QDialog::Rejected); });
  f.cmdLogo->click();
  EXPECT_EQ(f.txtLogoFile->text(), logo);

  // The photo folder: the folder of the file chosen in it, with its change logged.
  ClearLog();
  SetOpenDialogHook([&](QFileDialog& d) {
    d.selectFile(logo);
    return int(QDialog::Accepted);
  });
  f.optSaveImgYes->click();
  f.cmdImgSave->click();
  SetOpenDialogHook({});
  EXPECT_EQ(f.txtImgSave->text(), folder_.Path() + "image");
  EXPECT_TRUE(LogWhats().contains("保存先変更"));
}

TEST_F(FrmSetSettings, EveryCheckInItsOrderRefusesAndWritesNothing) {
  Prepare();
  folder_.AddMember("101", "青木");
  const QByteArray settingsBefore = FileBytes(IniPath());
  const auto passwordsBefore = Passwords();
  struct Case {
    std::function<void(frmSet&)> change;
    QString message;
  };
  const QString logo = folder_.Path() + "image/logo.jpg";
  const std::vector<Case> cases = {
      {[](frmSet& f) { f.txtAppUser->clear(); }, "名称を設定してください"},
      {[](frmSet& f) { f.txtAppUser->setText(QString(31, QChar(0xFF71))); },  // ｱ: one byte each
       "名称は30バイト(全角15文字)以内で設定してください"},
      {[](frmSet& f) { f.txtAppUser->setText(QString(15, QChar(0x3042)) + "a"); },
       "名称は30バイト(全角15文字)以内で設定してください"},
      {[](frmSet& f) { f.txtLogoFile->clear(); }, "ロゴファイルを設定してください"},
      {[&](frmSet& f) { f.txtLogoFile->setText(logo + ".none"); }, "指定されたロゴファイルが見つかりません"},
      {[](frmSet& f) { f.optCamYes->click(); f.txtScanInt->clear(); }, "画像の表示時間を指定してください"},
      {[](frmSet& f) { f.optCamYes->click(); f.optSaveImgYes->click(); f.txtImgSave->clear(); },
       "画像を保存する場合の保存先を指定してください"},
      {[](frmSet& f) { f.txtScanInt->setText("abc"); }, "画像の表示時間は0以上の数字で指定してください"},
      {[](frmSet& f) { f.txtAdmin->clear(); }, "管理者パスワードを設定してください"},
      {[](frmSet& f) { f.txtUser->clear(); }, "利用者パスワードを設定してください"},
      {[](frmSet& f) { f.txtUser->setText("admin"); }, "管理者パスワードと利用者パスワードは同一の設定はできません"},
      {[](frmSet& f) { f.txtInMessage->clear(); }, "来場時の表示メッセージを設定してください"},
      {[](frmSet& f) { f.txtintTime->clear(); }, "初期画面への切り替え時間を設定してください"},
      {[](frmSet& f) { f.txtintTime->setText("-1"); }, "初期画面への切り替え時間は0以上の数字で指定してください"},
      {[](frmSet& f) { f.txtInOutSet->clear(); }, "入退室の切り替え時間を設定してください"},
      {[](frmSet& f) { f.txtInOutSet->setText("abc"); }, "入退室の切り替え時間は0以上の数字で指定してください"},
      {[](frmSet& f) { f.txtInOutChg->clear(); }, "強制入室の切り替え時間を設定してください"},
      {[](frmSet& f) { f.txtInOutChg->setText("3000000000"); }, "強制入室の切り替え時間は0以上の数字で指定してください"},
      {[](frmSet& f) { f.optDial->setEnabled(true); f.optDial->click(); f.entryCombo1->setEditText(""); },
       "接続先名を設定してください"},
      {[](frmSet& f) { f.optDial->setEnabled(true); f.optDial->click(); f.entryCombo1->setEditText("office"); f.user->clear(); },
       "接続先のユーザー名を設定してください"},
      {[](frmSet& f) { f.optDial->setEnabled(true); f.optDial->click(); f.entryCombo1->setEditText("office"); f.user->setText("u"); f.pass->clear(); },
       "接続先のパスワードを設定してください"},
      {[](frmSet& f) { f.txtPort->clear(); }, "送信ポート番号を設定してください"},
      {[](frmSet& f) { f.txtPort->setText("abc"); }, "送信ポート番号は数字で指定してください"},
      {[](frmSet& f) { f.txtPort->setText("６５５３５"); }, "送信ポート番号は1から32767までの数字で指定してください"},
      {[](frmSet& f) { f.txtPort->setText("40000"); }, "送信ポート番号は1から32767までの数字で指定してください"},
      {[](frmSet& f) { gblnIsServer = false; f.optSendMailYes->click(); },
       "メールサーバーの指定がありません。\r\nサーバー設定を行ってください。"},
      {[](frmSet& f) { f.optSendMailYes->click(); f.txtMailAddr->clear(); }, "メールアドレスを設定してください"},
      {[](frmSet& f) { f.optSendMailYes->click(); f.txtMailAddr->setText("station"); },
       "メールアドレスの形式を確認してください"},
      // The table's own check comes before any write too.
      {[](frmSet& f) { f.frmSet_cmdData_Click(); f.MemberModel().SetText(0, MemberTableModel::ColId, ""); },
       "1行目"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    gblnIsServer = true;
    frmSet& f = Open();
    f.txtLogoFile->setText(logo);
    f.txtUser->setText("1111");
    c.change(f);
    const size_t shown = boxes_.Boxes().size();
    f.frmSet_cmdOK_Click();
    ASSERT_EQ(boxes_.Boxes().size(), shown + 1) << LastBox().toStdString();
    EXPECT_TRUE(LastBox().startsWith(c.message)) << LastBox().toStdString();
    EXPECT_TRUE(frmSet::IsLoaded());
    EXPECT_EQ(FileBytes(IniPath()), settingsBefore);
    EXPECT_EQ(Passwords(), passwordsBefore);
    frmSet::Unload();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Reload();
    gstrAdminPsw = "admin";
    gstrUserPsw = "9999";
  }
}

TEST_F(FrmSetSettings, ARefusedCheckPutsTheFocusOnItsField) {
  Prepare();
  const struct {
    std::function<QWidget*(frmSet&)> change;  // makes one field fail and gives it
    const char* message;
  } cases[] = {
      {[](frmSet& f) { f.txtInMessage->clear(); return f.txtInMessage; },
       "来場時の表示メッセージを設定してください"},
      {[](frmSet& f) { f.txtInOutSet->setText("abc"); return f.txtInOutSet; },
       "入退室の切り替え時間は0以上の数字で指定してください"},
      {[](frmSet& f) { f.optSendMailYes->click(); f.txtMailAddr->setText("station"); return f.txtMailAddr; },
       "メールアドレスの形式を確認してください"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    frmSet& f = Open();
    f.txtLogoFile->setText(folder_.Path() + "image/logo.jpg");
    f.txtUser->setText("1111");
    QWidget* field = c.change(f);
    f.txtAppUser->setFocus();  // the focus is elsewhere when OK is clicked
    f.frmSet_cmdOK_Click();
    EXPECT_EQ(LastBox(), QString::fromUtf8(c.message));
    EXPECT_EQ(QApplication::focusWidget(), field);
    frmSet::Unload();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Reload();
    gstrAdminPsw = "admin";
    gstrUserPsw = "9999";
  }
}

TEST_F(FrmSetSettings, AnUnwritableSettingsFileIsReportedAndRollsTheDatabaseBack) {
  Prepare();
  frmSet& f = Open();
  f.txtUser->setText("1111");
  // A character the settings file cannot hold.
  f.txtInMessage->setText("ようこそ😀");
  f.frmSet_cmdOK_Click();
  EXPECT_TRUE(LastBox().startsWith("設定ファイルに保存できない文字が含まれています。(SYSTEM/inMessage)"));
  EXPECT_EQ(boxes_.Boxes().back().title, "設定ファイルの確認");
  EXPECT_EQ(boxes_.Boxes().back().style, ui::vbInformation);
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "admin"}, {0, "9999"}}));
  // A settings file that cannot be replaced.
  f.txtInMessage->setText("ようこそ");
  gstrIniFile = "no folder/Velmor.ini";
  f.frmSet_cmdOK_Click();
  EXPECT_TRUE(LastBox().startsWith("設定ファイルに書き込めませんでした。")) << LastBox().toStdString();
  EXPECT_EQ(boxes_.Boxes().back().title, "設定ファイルの確認");
  EXPECT_EQ(boxes_.Boxes().back().style, ui::vbCritical);
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "admin"}, {0, "9999"}}));
}

TEST_F(FrmSetSettings, ASettingsFileNotReplacedAfterTheCommitSaysWhatTheDatabaseHolds) {
  Prepare();
  AddGreeting("ようこそ", true);
  frmSet& f = Open();
  f.txtUser->setText("1111");
  f.MessageModel().SetText(0, 0, "いらっしゃい");
  // The file is read and its new text prepared, but nothing can take its place (as with an
  // immutable one): a folder stands there.
  ASSERT_TRUE(QFile::remove(IniPath()));
  ASSERT_TRUE(QDir().mkdir(IniPath()));
  f.frmSet_cmdOK_Click();
  EXPECT_EQ(LastBox(), "設定ファイルに書き込めませんでした。(" + IniPath() +
                           ")\r\nパスワードとメッセージはデータベースに保存されました。\r\n"
                           "設定ファイルは元のままのため、ほかの設定は保存されていません。");
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "admin"}, {0, "1111"}}));
  EXPECT_EQ(StoredGreetings()[0].first, "いらっしゃい");
}

// A commit that fails leaves the settings file as it was, beside the old passwords and table; the
// next OK that commits writes the file with everything else.
class FrmSetCommit : public FrmSetSettings, public ::testing::WithParamInterface<testsupport::Driver> {};

TEST_P(FrmSetCommit, TheSettingsFileIsReplacedOnlyByACommitThatSucceeded) {
  folder_.SetDriver(GetParam());
  Prepare();
  AddGreeting("ようこそ", true);
  frmSet& f = Open();
  const QByteArray iniBefore = FileBytes(IniPath());
  f.txtUser->setText("1111");
  f.txtInMessage->setText("新しい案内");
  f.MessageModel().SetText(0, 0, "いらっしゃい");
  folder_.RefuseInserts("tblMessage", true, true);
  f.frmSet_cmdOK_Click();
  EXPECT_TRUE(LastBox().startsWith("設定を保存できませんでした。")) << LastBox().toStdString();
  ASSERT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(FileBytes(IniPath()), iniBefore);
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "admin"}, {0, "9999"}}));
  EXPECT_EQ(StoredGreetings()[0].first, "ようこそ");
  // No temporary file is left beside the settings file.
  EXPECT_EQ(QDir(folder_.Path()).entryList({"Velmor.ini*"}, QDir::Files | QDir::Hidden), QStringList{"Velmor.ini"});

  folder_.RefuseInserts("tblMessage", false, true);
  f.frmSet_cmdOK_Click();
  ASSERT_FALSE(frmSet::IsLoaded()) << LastBox().toStdString();
  EXPECT_EQ(ReadIni("SYSTEM", "inMessage"), "新しい案内");
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "admin"}, {0, "1111"}}));
  EXPECT_EQ(StoredGreetings()[0].first, "いらっしゃい");
}

VELMOR_ON_BOTH_DRIVERS(FrmSetCommit);

class FrmSetSave : public FrmSetSettings, public ::testing::WithParamInterface<testsupport::Driver> {};

TEST_P(FrmSetSave, WhatOkSavesLoadsBackThroughTheStartup) {
  folder_.SetDriver(GetParam());
  Prepare();
  AddGreeting("ようこそ", true);
  gblnIsServer = false;
  gstrMailServer = "smtp.ex.jp";
  gstrPop3Server = "pop.ex.jp";
  gstrAuthID = "id";
  gstrAuthPsw = "pw";
  frmSet& f = Open();
  f.txtAppUser->setText(QString(15, QChar(0x9AD9)));  // 髙 ×15: 30 bytes
  f.optScreenB->click();
  f.optSetSoundYes->click();
  f.optSetBarNoID->click();
  f.txtintTime->setText("5");
  f.txtInOutSet->setText("15");
  f.txtInOutChg->setText("0");
  f.optLogNo->click();
  f.txtAdmin->setText("管理①");
  f.txtUser->setText("利用～");
  f.txtInMessage->setText("カードをどうぞ");
  f.optCamYes->click();
  f.txtScanInt->setText("4");
  f.optSaveImgNo->click();
  f.optSendImgYes->click();
  f.optSendMailYes->click();
  f.txtMailAddr->setText("駅@ex.jp");
  f.txtPort->setText("５８７");
  f.MessageModel().SetText(0, 0, "いらっしゃい");
  f.frmSet_cmdOK_Click();
  ASSERT_FALSE(frmSet::IsLoaded()) << LastBox().toStdString();
  EXPECT_EQ(Passwords(), (std::vector<std::pair<int, QString>>{{1, "管理①"}, {0, "利用～"}}));
  EXPECT_EQ(StoredGreetings()[0].first, "いらっしゃい");
  // The switches and the mail server keys are not the window's to write.
  const QString ini = cp::FromAnsi(FileBytes(IniPath()));
  EXPECT_FALSE(ini.contains("isserver"));
  EXPECT_FALSE(ini.contains("mailserver"));

  Reload();
  EXPECT_EQ(gstrAppUser, QString(15, QChar(0x9AD9)));
  EXPECT_EQ(gintScreen, 2);
  EXPECT_TRUE(gblnSound);
  EXPECT_FALSE(gblnBarcode);
  EXPECT_EQ(gintNoBarScr, 2);
  EXPECT_EQ(glngIntTime, 5);
  EXPECT_EQ(glngInOutTime, 15);
  EXPECT_EQ(glngInOutChg, 0);
  EXPECT_FALSE(gblnLog);
  EXPECT_EQ(gstrInMessage, "カードをどうぞ");
  EXPECT_TRUE(gblnCam);
  EXPECT_EQ(glngScanInt, 4);
  EXPECT_FALSE(gblnSaveImg);
  EXPECT_EQ(gstrSendImg, "True");
  EXPECT_TRUE(gblnSendMail);
  EXPECT_EQ(gstrMailAddr, "駅@ex.jp");
  EXPECT_EQ(gintPort, 587);
  EXPECT_EQ(gstrLogoFile, folder_.Path() + "image/logo.jpg");
}

VELMOR_ON_BOTH_DRIVERS(FrmSetSave);

TEST_F(FrmSetSettings, MailServerWindowChecksAndWritesItsSixKeys) {
  Prepare();
  gblnIsServer = false;
  Open();
  frmServer& s = frmServer::instance();
  // The defaults: no authentication, POP before SMTP, the method frame disabled.
  EXPECT_TRUE(s.optReg[0]->isChecked());
  EXPECT_TRUE(s.optRegM[0]->isChecked());
  EXPECT_FALSE(s.fraReg->isEnabled());
  EXPECT_TRUE(s.txtPOP3->isEnabled());
  const QByteArray before = FileBytes(IniPath());
  const std::vector<std::pair<std::function<void()>, QString>> steps = {
      {[&] {}, "SMTPサーバーの指定がありません"},
      {[&] { s.txtServer->setText("smtp"); }, "SMTPサーバーの指定に誤りがあります"},
      {[&] { s.txtServer->setText("ｓｍｔｐ．ｅｘ．ｊｐ"); }, "POP3サーバーの指定がありません"},
      {[&] { s.txtPOP3->setText("pop"); }, "POP3サーバーの指定に誤りがあります"},
      {[&] { s.txtPOP3->setText("pop.ex.jp"); }, "ＩＤの指定がありません"},
      {[&] { s.txtID->setText("user"); }, "パスワードの指定がありません"},
  };
  for (const auto& [change, message] : steps) {
    change();
    s.cmdOK_Click();
    EXPECT_EQ(LastBox(), message);
    EXPECT_EQ(boxes_.Boxes().back().title, "入力の確認");
  }
  EXPECT_EQ(s.txtServer->text(), "smtp.ex.jp");
  EXPECT_EQ(FileBytes(IniPath()), before);
  EXPECT_TRUE(gstrMailServer.isEmpty());

  // AUTH LOGIN: the POP3 server is not needed.
  s.optReg[1]->click();
  EXPECT_TRUE(s.fraReg->isEnabled());
  s.optRegM[1]->click();
  EXPECT_FALSE(s.txtPOP3->isEnabled());
  EXPECT_FALSE(s.lblPOP3->isEnabled());
  s.txtPOP3->clear();
  s.txtPsw->setText("秘密");
  s.cmdOK_Click();
  EXPECT_FALSE(frmServer::IsLoaded());
  EXPECT_EQ(gintMailReg, 1);
  EXPECT_EQ(gintRegM, 1);
  EXPECT_EQ(gstrMailServer, "smtp.ex.jp");
  EXPECT_EQ(ReadIni("MAIL", "mailreg"), "1");
  EXPECT_EQ(ReadIni("MAIL", "regm"), "1");
  EXPECT_EQ(ReadIni("MAIL", "mailserver"), "smtp.ex.jp");
  EXPECT_EQ(ReadIni("MAIL", "pop3server"), "");
  EXPECT_EQ(ReadIni("MAIL", "mailid"), "user");
  EXPECT_EQ(ReadIni("MAIL", "mailpsw"), "秘密");
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // Cancel keeps everything.
  frmServer& t = frmServer::instance();
  EXPECT_TRUE(t.optRegM[1]->isChecked());
  EXPECT_EQ(t.txtPsw->text(), "秘密");
  t.txtServer->setText("other.ex.jp");
  t.cmdCancel_Click();
  EXPECT_EQ(gstrMailServer, "smtp.ex.jp");
  EXPECT_EQ(ReadIni("MAIL", "mailserver"), "smtp.ex.jp");
}

}  // namespace
}  // namespace admintest
