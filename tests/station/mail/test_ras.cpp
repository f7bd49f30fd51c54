// The dial-up procedures over a fake phone book and dial program, and the saved password as the
// settings load takes it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include "platform/dialup/fake_dialup.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "common/mdlRas.h"
#include "support/support_program.h"

namespace {

using Dial = testsupport::FakeDialup::Dial;

TEST(Ras, TrimNullKeepsTheTextBeforeTheFirstNul) {
  EXPECT_EQ(TrimNull(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")), QStringLiteral("ab"));
  EXPECT_EQ(TrimNull(QStringLiteral("ab") + QChar(0) + QChar(0)), QStringLiteral("ab"));
  EXPECT_EQ(TrimNull(QChar(0) + QStringLiteral("ab")), QString());
  EXPECT_EQ(TrimNull(QStringLiteral("no nul")), QString());
  EXPECT_EQ(TrimNull(QString()), QString());
}

TEST(Ras, AnyUpPppInterfaceIsAConnection) {
  testsupport::FakeDialup fake;
  EXPECT_FALSE(IsRasConnected());
  fake.SetInterface(QStringLiteral("ppp7"), false);
  EXPECT_FALSE(IsRasConnected());
  fake.SetInterface(QStringLiteral("ppp7"), true);
  EXPECT_TRUE(IsRasConnected());
  dialup::Paths paths = dialup::CurrentPaths();
  paths.interfacesDir = fake.path() + QStringLiteral("/gone");
  dialup::SetPaths(paths);
  EXPECT_FALSE(IsRasConnected());
}

TEST(Ras, DialUpWaitsThePauseWhileEventsGoOnAndThenLooks) {
  testsupport::FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "\n");

  // No pause: the connections are looked at as soon as the dial program returns.
  glngPauseTime = 0;
  glngRasConn = 0;
  EXPECT_TRUE(DialUp(QStringLiteral("office"), QStringLiteral("taro"), QStringLiteral("pw")));
  EXPECT_NE(glngRasConn, 0);
  fake.SetInterface(QStringLiteral("ppp0"), false);

  // A line that comes up after the look gives False, and stays up for the next mail.
  fake.SetDial(Dial::LinkUpLate);
  EXPECT_FALSE(DialUp(QStringLiteral("office"), QStringLiteral("taro"), QStringLiteral("pw")));
  QElapsedTimer clock;
  clock.start();
  while (!IsRasConnected() && clock.elapsed() < 5000) QThread::msleep(20);
  EXPECT_TRUE(IsRasConnected());
  fake.SetInterface(QStringLiteral("ppp0"), false);

  // With a pause the same late line is there; timers keep running during the wait.
  glngPauseTime = 1;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(100);
  clock.restart();
  EXPECT_TRUE(DialUp(QStringLiteral("office"), QStringLiteral("taro"), QStringLiteral("pw")));
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_GE(ticks, 3);
  timer.stop();
  fake.SetInterface(QStringLiteral("ppp0"), false);

  glngPauseTime = 0;
  fake.SetDial(Dial::Fail);
  EXPECT_FALSE(DialUp(QStringLiteral("office"), QStringLiteral("taro"), QStringLiteral("pw")));
  EXPECT_EQ(fake.Dials(), 4);

  // Texts that do not fit the dial record are not dialled.
  fake.SetDial(Dial::LinkUp);
  EXPECT_FALSE(DialUp(QStringLiteral("office"), QStringLiteral("taro"), QString(257, QLatin1Char('p'))));
  EXPECT_FALSE(DialUp(QStringLiteral("office"), QString(129, QChar(0x3042)), QStringLiteral("pw")));
  EXPECT_EQ(fake.Dials(), 4);
}

TEST(Ras, SavedPasswordReplacesTheMaskedOneAtSettingsLoad) {
  testsupport::FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "user taro\n");
  fake.AddEntry(QStringLiteral("spare"), "user jiro\n");
  fake.WriteSecrets("taro * \"s*ved-パス\"\n", "");

  EXPECT_EQ(GetSavedDialPassword(QStringLiteral("office")), QStringLiteral("s*ved-パス"));
  EXPECT_EQ(GetSavedDialPassword(QStringLiteral("spare")), QString());    // nothing saved
  EXPECT_EQ(GetSavedDialPassword(QStringLiteral("missing")), QString());  // unknown entry
  EXPECT_EQ(GetSavedDialPassword(QString()), QString());

  testsupport::ProgramFolder folder;
  folder.WriteSettings(QStringLiteral("[MAIL]\ndial=office\ndialuser=taro\ndialpsw=****\n"));
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  EXPECT_EQ(gstrDialPsw, QStringLiteral("s*ved-パス"));

  // A password without "*" is kept as written.
  folder.WriteSettings(QStringLiteral("[MAIL]\ndial=office\ndialuser=taro\ndialpsw=typed\n"));
  ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  EXPECT_EQ(gstrDialPsw, QStringLiteral("typed"));
}

}  // namespace
