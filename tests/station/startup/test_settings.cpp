// Loading the settings file into the program-wide values, the reset of every program-wide value
// to its default, and the keys the settings window's save writes.
#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QStringList>

#include <type_traits>
#include <variant>

#include "codepage/codepage.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"

namespace {

using testsupport::ProgramFolder;

TEST(Settings, DefaultsAndReplacementsOfAMinimalFile) {
  ProgramFolder folder;
  folder.WriteSettings("[MAIL]\nsendp=1\n[IMAGE]\nimgDir=D:\\photos\\\n[SYSTEM]\nlogo=/nowhere/logo.jpg");
  gblnIsServer = false;
  gblnFtp = true;
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << qPrintable(error);
  EXPECT_FALSE(gblnFtp);
  EXPECT_EQ(gintBarPort, 1);
  EXPECT_EQ(gintBarConnect, 1);
  EXPECT_EQ(gintNoBarScr, 1);
  EXPECT_TRUE(gblnIsServer);
  EXPECT_TRUE(gblnCamSupport);
  EXPECT_TRUE(gblnChgLogo);
  EXPECT_TRUE(gblnUserUpdate);
  EXPECT_FALSE(gblnDialup);
  EXPECT_FALSE(gblnNetDrv);
  EXPECT_EQ(gintMailReg, 0);
  EXPECT_EQ(gintRegM, 0);
  EXPECT_EQ(glngSendP, 0);
  EXPECT_EQ(gstrImgDir, folder.Path() + "ScanData/");
  EXPECT_EQ(gstrFtpDir, folder.Path() + "ftpFile/");
  EXPECT_EQ(gstrLogoFile, folder.Path() + "image/logo.jpg");
  EXPECT_EQ(gstrAppUser, QStringLiteral("テスト教室"));
  EXPECT_EQ(gstrInSubject, QStringLiteral("入室 %名前%%敬称%"));
}

TEST(Settings, AnExistingLogoIsKept) {
  ProgramFolder folder;
  folder.WriteBytes("pics/mylogo.png", "x");
  folder.WriteSettings("[SYSTEM]\nlogo=" + folder.Path() + "pics/mylogo.png");
  ASSERT_TRUE(LoadSettings(nullptr));
  EXPECT_EQ(gstrLogoFile, folder.Path() + "pics/mylogo.png");
}

TEST(Settings, FlagsInAnyCaseOrAsNumbersAndRoundedNumbers) {
  ProgramFolder folder;
  folder.WriteSettings(
      "[SYSTEM]\nlog=TRUE\nbarcode=false\ninout=-1\nimgChange=0\ninttime=2.5\ninouttime=3.5\n"
      "screen=-2\n[MAIL]\nsendMail=1\nftp=tRuE\nport=587\n[VOICE]\nsound=0.5");
  ASSERT_TRUE(LoadSettings(nullptr));
  EXPECT_TRUE(gblnLog);
  EXPECT_FALSE(gblnBarcode);
  EXPECT_TRUE(gblnInOut);
  EXPECT_FALSE(gblnImgChange);
  EXPECT_EQ(glngIntTime, 2);    // halves go to the even neighbour
  EXPECT_EQ(glngInOutTime, 4);
  EXPECT_EQ(gintScreen, -2);
  EXPECT_TRUE(gblnSendMail);
  EXPECT_TRUE(gblnFtp);
  EXPECT_EQ(gintPort, 587);
  EXPECT_TRUE(gblnSound);
}

TEST(Settings, AMissingOrMalformedRequiredKeyIsNamed) {
  ProgramFolder folder;
  folder.WriteText("Velmor.ini", "[SYSTEM]\nlog=True\n");
  QString error;
  EXPECT_FALSE(LoadSettings(&error));
  EXPECT_TRUE(error.contains("[MAIL]") && error.contains("sendMail")) << qPrintable(error);

  folder.WriteSettings("[SYSTEM]\nscreen=abc");
  EXPECT_FALSE(LoadSettings(&error));
  EXPECT_TRUE(error.contains("screen") && error.contains("abc")) << qPrintable(error);

  folder.WriteSettings("[MAIL]\nport=70000");  // beyond a 16-bit value
  EXPECT_FALSE(LoadSettings(&error));
  EXPECT_TRUE(error.contains("port")) << qPrintable(error);

  folder.WriteSettings("[SYSTEM]\nbarport=x");  // a key with a default must still convert
  EXPECT_FALSE(LoadSettings(&error));
  EXPECT_TRUE(error.contains("barport")) << qPrintable(error);
}

TEST(Settings, ReadAndWriteKeepJapaneseAndCutLongValues) {
  ProgramFolder folder;
  folder.WriteSettings();
  const QString subject = QStringLiteral("【入室】%名前%%敬称% ～ ① 髙橋");
  ASSERT_TRUE(WriteIni("MAIL", "inSubject", subject));
  EXPECT_EQ(ReadIni("mail", "INSUBJECT"), subject);
  EXPECT_EQ(ReadIni("MAIL", "nothing"), QString());

  ASSERT_TRUE(WriteIni("SYSTEM", "inMessage", QString(1500, 'a')));
  EXPECT_EQ(ReadIni("SYSTEM", "inMessage"), QString(1023, 'a'));
  // 1500 bytes of two-byte characters read back as whole characters only.
  ASSERT_TRUE(WriteIni("SYSTEM", "inMessage", QString(750, QChar(0x3042))));
  EXPECT_EQ(ReadIni("SYSTEM", "inMessage"), QString(511, QChar(0x3042)));
}

TEST(Settings, AValueTheFileCannotHoldIsRefusedWithAMessage) {
  ProgramFolder folder;
  folder.WriteSettings();
  testsupport::MsgBoxRecorder boxes;
  ASSERT_TRUE(WriteIni("SYSTEM", "appuser", "before"));
  EXPECT_FALSE(WriteIni("SYSTEM", "appuser", QStringLiteral("😀教室")));
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(ReadIni("SYSTEM", "appuser"), QString("before"));
}

// ---- ResetProgramValues ------------------------------------------------------------------------

QString RowName(const SettingKey& row) {
  return QLatin1String(row.section) + QLatin1Char('/') + QLatin1String(row.key);
}

// Sets a row's program-wide value to something no default is.
void SetOddValue(const SettingKey& row) {
  std::visit([&row](auto* target) {
    using T = std::remove_pointer_t<decltype(target)>;
    if constexpr (std::is_same_v<T, bool>) *target = !*target;
    else if constexpr (std::is_same_v<T, int>) *target = 4321;
    else *target = QStringLiteral("変更-") + QLatin1String(row.key);
  }, row.target);
}

TEST(ProgramValues, TheResetGivesEveryKeyRowItsDefaultAndEveryOtherValueItsDeclaration) {
  // The defaults of the key table; every row not named here defaults to False, 0 or the empty text.
  const QHash<QString, QString> specified = {
      {"SYSTEM/barport", "1"},       {"SYSTEM/barconnect", "1"}, {"MAIL/ftp", "False"},
      {"SYSTEM/nobarscr", "1"},      {"MAIL/sendp", "0"},        {"SYSTEM/isserver", "True"},
      {"SYSTEM/camsupport", "True"}, {"SYSTEM/dialup", "False"}, {"MAIL/mailreg", "0"},
      {"MAIL/regm", "0"},            {"SYSTEM/netdrv", "False"}, {"SYSTEM/chglogo", "True"},
      {"SYSTEM/userupdate", "True"},
  };
  auto expected = [&specified](const SettingKey& row) {
    if (specified.contains(RowName(row))) return specified.value(RowName(row));
    switch (row.kind) {
      case SettingKind::Flag: return QStringLiteral("False");
      case SettingKind::Int16:
      case SettingKind::Int32: return QStringLiteral("0");
      case SettingKind::Text: return QString();
    }
    return QStringLiteral("?");
  };
  auto expectDefaults = [&expected](const QString& except = QString()) {
    for (const SettingKey& row : SettingKeys()) {
      if (RowName(row) != except) {
        EXPECT_EQ(SettingText(row).toStdString(), expected(row).toStdString())
            << qPrintable(RowName(row));
      }
    }
  };
  ASSERT_EQ(SettingKeys().size(), 56u);

  // A fixture's program folder starts from the defaults, whatever an earlier test left.
  for (const SettingKey& row : SettingKeys()) SetOddValue(row);
  glngCamCount = 2;
  gstrSelectedID = QStringLiteral("1001");
  {
    ProgramFolder folder;
    expectDefaults("IMAGE/imgDir");
    EXPECT_EQ(gstrImgDir, folder.Path() + "ScanData/");  // the folder's own, set after the reset
    EXPECT_EQ(glngCamCount, 0);
    EXPECT_EQ(gstrSelectedID, QString());
    EXPECT_EQ(gstrAppPath, folder.Path());
    EXPECT_EQ(gstrIniFile, QStringLiteral("Velmor.ini"));
  }

  // The call itself: every key row and the values that only their declaration sets.
  for (const SettingKey& row : SettingKeys()) SetOddValue(row);
  glngCamCount = 2;
  gstrSelectedID = QStringLiteral("1001");
  gstrIDList = QStringList{QStringLiteral("1001"), QStringLiteral("1002")};
  gblnIDSel = true;
  glngIDCount = 2;
  gintMailMode = 3;
  glngRasConn = 77;
  gstrAdminPsw = QStringLiteral("admin");
  gstrMailID = QStringLiteral("school@example.jp");
  gstrAppPath = QStringLiteral("/somewhere/");
  gstrSQL = QStringLiteral("SELECT 1");
  ResetProgramValues();
  expectDefaults();
  EXPECT_EQ(glngCamCount, 0);
  EXPECT_EQ(gstrSelectedID, QString());
  EXPECT_TRUE(gstrIDList.isEmpty());
  EXPECT_FALSE(gblnIDSel);
  EXPECT_EQ(glngIDCount, 0);
  EXPECT_EQ(gintMailMode, 0);
  EXPECT_EQ(glngRasConn, 0);
  EXPECT_EQ(gstrAdminPsw, QString());
  EXPECT_EQ(gstrMailID, QString());
  EXPECT_EQ(gstrAppPath, QString());
  EXPECT_EQ(gstrSQL, QString());
}

// ---- WriteSavedSettings ------------------------------------------------------------------------

// The settings file's lines, without blank ones.
QStringList FileLines() {
  QFile file(IniPath());
  if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("<missing>")};
  return cp::FromAnsi(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

TEST(SettingsSave, EachGroupWritesExactlyItsKeysInItsOrderAndForm) {
  ProgramFolder folder;
  folder.WriteBytes("Velmor.ini", "");
  // Every key the save never writes holds a value unlike its default (none may reach the file).
  for (const SettingKey& row : SettingKeys())
    if (!row.save) SetOddValue(row);
  gstrMailServer = QStringLiteral("odd.mail.example");
  glngPauseTime = 99;
  gblnIsServer = false;

  gstrAppUser = QStringLiteral("テスト教室");
  gstrLogoFile = QStringLiteral("/pics/logo.jpg");
  gstrMailAddr = QStringLiteral("station@example.jp");
  gblnLog = true;
  gblnSendMail = false;
  gstrSendImg = QStringLiteral("True");
  gblnCam = true;
  gblnSaveImg = false;
  gstrImgDir = QStringLiteral("/photos/");
  gstrInMessage = QStringLiteral("カードをかざしてください");
  gintScreen = 2;
  gblnInOut = true;
  glngIntTime = 3;
  glngInOutTime = 10;
  glngScanInt = 5;
  gblnVoice = true;
  gstrVoiceSelect = QStringLiteral("woman");
  gblnSound = false;
  gstrDialEntry = QStringLiteral("office");
  gstrDialUser = QStringLiteral("taro");
  gstrDialPsw = QStringLiteral("pw");
  glngInOutChg = -12;
  gblnBarcode = true;
  gintBarConnect = 2;
  gintBarPort = 3;
  gblnFtp = true;
  gintNoBarScr = 3;
  glngSendP = 1;
  gintPort = 587;

  ASSERT_TRUE(WriteSavedSettings());
  // A new file lists the sections as they first come and each section's keys as they are
  // written: group A, then group B.
  const QStringList both = {
      "[SYSTEM]", "appuser=テスト教室", "logo=/pics/logo.jpg", "log=True",
      "inMessage=カードをかざしてください", "screen=2", "inout=True", "inttime=3", "inouttime=10",
      "inoutchg=-12", "barcode=True", "barconnect=2", "barport=3", "nobarscr=3",
      "[MAIL]", "mail=station@example.jp", "sendMail=False",
      "dial=office", "dialuser=taro", "dialpsw=pw", "ftp=True", "sendp=1", "port=587",
      "[IMAGE]", "sendImg=True", "cam=True", "saveImg=False", "imgDir=/photos/", "scanint=5",
      "[VOICE]", "voice=True", "select=woman", "sound=False",
  };
  EXPECT_EQ(FileLines(), both);
  EXPECT_EQ(ReadIni("MAIL", "mailserver"), QString());
  EXPECT_EQ(ReadIni("MAIL", "pausetime"), QString());
  EXPECT_EQ(ReadIni("SYSTEM", "isserver"), QString());

  // A key that cannot be written stops the save before the file is touched: it keeps what it
  // held, whichever group the key belongs to.
  testsupport::MsgBoxRecorder boxes;
  folder.WriteBytes("Velmor.ini", "[SYSTEM]\r\nappuser=before\r\n");
  gstrMailAddr = QStringLiteral("😀@example.jp");
  EXPECT_FALSE(WriteSavedSettings());
  EXPECT_EQ(FileLines(), QStringList({"[SYSTEM]", "appuser=before"}));
  gstrMailAddr = QStringLiteral("station@example.jp");
  gstrDialPsw = QStringLiteral("😀");
  EXPECT_FALSE(WriteSavedSettings());
  EXPECT_EQ(FileLines(), QStringList({"[SYSTEM]", "appuser=before"}));
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_TRUE(boxes.Boxes()[0].text.contains("MAIL/mail")) << qPrintable(boxes.Boxes()[0].text);
  EXPECT_TRUE(boxes.Boxes()[1].text.contains("MAIL/dialpsw")) << qPrintable(boxes.Boxes()[1].text);
}

TEST(SettingsSave, WhatTheSaveWritesLoadsBackUnchanged) {
  ProgramFolder folder;
  folder.WriteSettings();  // the keys only the installed file holds
  ASSERT_TRUE(LoadSettings(nullptr));
  folder.WriteBytes("image/ロゴ 画像.png", "x");

  // Every saved key gets a value unlike the loaded one: flags turned over, numbers of both signs,
  // Japanese texts with characters of the CP932 extensions.
  QHash<QString, QString> written;
  for (const SettingKey& row : SettingKeys()) {
    if (!row.save) continue;
    const int place = row.save->order + (row.save->group == SaveGroup::B ? 100 : 0);
    std::visit([&](auto* target) {
      using T = std::remove_pointer_t<decltype(target)>;
      if constexpr (std::is_same_v<T, bool>) *target = !*target;
      else if constexpr (std::is_same_v<T, int>) *target = place % 2 ? place : -place;
      else *target = QStringLiteral("髙橋①～%1 値").arg(QLatin1String(row.key));
    }, row.target);
    written.insert(RowName(row), SettingText(row));
  }
  gstrLogoFile = folder.Path() + QStringLiteral("image/ロゴ 画像.png");  // an existing file is kept
  written["SYSTEM/logo"] = gstrLogoFile;
  ASSERT_EQ(written.size(), 29);

  ASSERT_TRUE(WriteSavedSettings());
  ResetProgramValues();
  gstrAppPath = folder.Path();
  gstrIniFile = QStringLiteral("Velmor.ini");
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << qPrintable(error);

  for (const SettingKey& row : SettingKeys()) {
    if (!row.save) continue;
    const QString name = RowName(row);
    EXPECT_EQ(ReadIni(row.section, row.key), written.value(name)) << qPrintable(name);
    if (name == "IMAGE/imgDir" || name == "MAIL/sendp") continue;  // the load replaces these
    EXPECT_EQ(SettingText(row), written.value(name)) << qPrintable(name);
  }
  EXPECT_TRUE(gblnVoice);
  EXPECT_EQ(glngInOutChg, -104);
  EXPECT_EQ(gstrAppUser, QStringLiteral("髙橋①～appuser 値"));
  EXPECT_EQ(gstrImgDir, folder.Path() + "ScanData/");
  EXPECT_EQ(glngSendP, 0);
}

}  // namespace
