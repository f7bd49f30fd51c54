// Loading the settings file into the program-wide values.
#include <gtest/gtest.h>

#include <QFile>

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

}  // namespace
