// The dial-up layer over a fake phone book, fake interfaces and a fake dial program.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include "codepage/codepage.h"
#include "dialup/dialup.h"
#include "platform/dialup/fake_dialup.h"

namespace {

using testsupport::FakeDialup;

TEST(Dialup, OnlyUpPppInterfacesCountAsConnections) {
  FakeDialup fake;
  int count = -1;
  ASSERT_EQ(dialup::EnumConnections(&count), dialup::kSuccess);
  EXPECT_EQ(count, 0);
  fake.SetInterface(QStringLiteral("eth0"), true);
  fake.SetInterface(QStringLiteral("ppp0"), false);
  fake.SetInterface(QStringLiteral("ppp1"), true);
  ASSERT_EQ(dialup::EnumConnections(&count), dialup::kSuccess);
  EXPECT_EQ(count, 1);
  fake.SetInterface(QStringLiteral("ppp0"), true);
  ASSERT_EQ(dialup::EnumConnections(&count), dialup::kSuccess);
  EXPECT_EQ(count, 2);

  dialup::Paths paths = dialup::CurrentPaths();
  paths.interfacesDir = fake.path() + QStringLiteral("/no-such-folder");
  dialup::SetPaths(paths);
  EXPECT_EQ(dialup::EnumConnections(&count), dialup::kCannotList);
  EXPECT_EQ(count, 0);
}

TEST(Dialup, DialCallsTheEntryWithThePasswordInAPrivateFile) {
  FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "/dev/ttyS0\n");
  dialup::DialParams params;
  ASSERT_TRUE(dialup::SetField(params.entryName, QStringLiteral("office")));
  ASSERT_TRUE(dialup::SetField(params.userName, QStringLiteral("taro")));
  ASSERT_TRUE(dialup::SetField(params.password, QStringLiteral("p a\"ss\\word")));
  // A file the program holds open without close-on-exec (as GStreamer's file sink opens a
  // recording) stays out of pppd, which lives on as the link's daemon.
  const QByteArray held = (fake.path() + QStringLiteral("/recording-held-open.avi")).toUtf8();
  const int heldFd = ::open(held.constData(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(heldFd, 0);
  long handle = 0;
  ASSERT_EQ(dialup::Dial(params, &handle), dialup::kSuccess);
  ::close(heldFd);
  EXPECT_GT(handle, 0);
  EXPECT_FALSE(fake.OpenFiles().isEmpty());
  EXPECT_FALSE(fake.OpenFiles().contains(QStringLiteral("recording-held-open"))) << fake.OpenFiles().toStdString();
  const QStringList args = fake.Arguments();
  ASSERT_EQ(args.size(), 7) << args.join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(args.mid(0, 6), (QStringList{"call", "office", "updetach", "user", "taro", "file"}));
  EXPECT_FALSE(args.join(QLatin1Char(' ')).contains(QStringLiteral("word")));
  EXPECT_EQ(fake.PasswordOptions(), QStringLiteral("password \"p a\\\"ss\\\\word\"\n"));
  EXPECT_EQ(fake.PasswordFileMode(), QStringLiteral("600"));
  EXPECT_FALSE(QFileInfo::exists(args.at(6))) << "the password file must not outlive the dial";
  int count = 0;
  dialup::EnumConnections(&count);
  EXPECT_EQ(count, 1);

  // Without user and password the entry's own options decide.
  dialup::DialParams bare;
  dialup::SetField(bare.entryName, QStringLiteral("office"));
  ASSERT_EQ(dialup::Dial(bare, &handle), dialup::kSuccess);
  EXPECT_EQ(fake.Arguments(1), (QStringList{"call", "office", "updetach"}));
}

TEST(Dialup, UnsafeOrUnknownEntriesAndFailedAttemptsAreReported) {
  FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"), "\n");
  long handle = 0;
  for (const QString& entry : {QString(), QStringLiteral("missing"), QStringLiteral("../peers/office"),
                               QStringLiteral(".."), QStringLiteral("-office")}) {
    dialup::DialParams params;
    dialup::SetField(params.entryName, entry);
    EXPECT_EQ(dialup::Dial(params, &handle), dialup::kNoSuchEntry) << entry.toStdString();
  }
  dialup::DialParams params;
  dialup::SetField(params.entryName, QStringLiteral("office"));
  dialup::SetField(params.userName, QStringLiteral("taro\nplugin evil.so"));
  EXPECT_EQ(dialup::Dial(params, &handle), dialup::kBadParameter);
  EXPECT_EQ(fake.Dials(), 0);

  dialup::SetField(params.userName, QStringLiteral("taro"));
  fake.SetDial(FakeDialup::Dial::Fail);
  EXPECT_EQ(dialup::Dial(params, &handle), dialup::kDialFailed);
  fake.SetDial(FakeDialup::Dial::Hang);  // the fake's time limit is 1 s
  EXPECT_EQ(dialup::Dial(params, &handle), dialup::kDialTimedOut);
  EXPECT_EQ(fake.Dials(), 2);
  int count = -1;
  dialup::EnumConnections(&count);
  EXPECT_EQ(count, 0);

  dialup::Paths paths = dialup::CurrentPaths();
  paths.dialProgram = fake.path() + QStringLiteral("/no-such-program");
  dialup::SetPaths(paths);
  EXPECT_EQ(dialup::Dial(params, &handle), dialup::kCannotStart);
}

TEST(Dialup, SavedPasswordIsTheBestMatchingSecretOfTheEntrysUser) {
  FakeDialup fake;
  fake.AddEntry(QStringLiteral("office"),
                "# office line\n/dev/ttyS0 115200\nuser 'taro'   # the account\nremotename isp\n");
  fake.AddEntry(QStringLiteral("home"), "user jiro\n");
  fake.AddEntry(QStringLiteral("nouser"), "noauth\n");
  fake.AddEntry(QStringLiteral("japanese"), "user \"花子\"\n");
  fake.WriteSecrets("# client server secret\n"
                    "taro * generic\n"
                    "taro isp \"pa ss#1*\" *\n"
                    "taro other wrong\n"
                    "花子 * \"ひみつ\"\n",
                    "* * anyone\n"
                    "jiro * chapsecret\n"
                    "taro isp fromchap\n");
  struct Case {
    const char* entry;
    const char* user;
    const char* password;
  } cases[] = {
      {"office", "taro", "pa ss#1*"},  // exact peer beats "*", pap before chap
      {"home", "jiro", "chapsecret"},  // only in chap-secrets; its own line beats "*"
      {"nouser", "", ""},              // no user, no saved password, still success
      {"japanese", "花子", "ひみつ"},
  };
  for (const Case& c : cases) {
    dialup::DialParams params;
    dialup::SetField(params.entryName, QString::fromUtf8(c.entry));
    ASSERT_EQ(dialup::GetEntryDialParams(&params), dialup::kSuccess) << c.entry;
    EXPECT_EQ(dialup::FieldText(params.userName), QString::fromUtf8(c.user)) << c.entry;
    EXPECT_EQ(dialup::FieldText(params.password), QString::fromUtf8(c.password)) << c.entry;
  }
  {  // the Japanese password travels as CP932 bytes
    dialup::DialParams params;
    dialup::SetField(params.entryName, QStringLiteral("japanese"));
    dialup::GetEntryDialParams(&params);
    EXPECT_EQ(QByteArray(params.password), cp::ToAnsiLossy(QStringLiteral("ひみつ")));
  }

  dialup::DialParams unknown;
  dialup::SetField(unknown.entryName, QStringLiteral("missing"));
  EXPECT_EQ(dialup::GetEntryDialParams(&unknown), dialup::kNoSuchEntry);
}

TEST(Dialup, FieldsHoldAtMostTheirSizeInAnsiBytes) {
  dialup::DialParams params;
  EXPECT_TRUE(dialup::SetField(params.password, QString(256, QLatin1Char('x'))));
  EXPECT_EQ(QByteArray(params.password).size(), 256);
  EXPECT_FALSE(dialup::SetField(params.password, QString(257, QLatin1Char('x'))));
  EXPECT_EQ(QByteArray(params.password).size(), 0);
  // A Japanese character takes two bytes of the field.
  EXPECT_TRUE(dialup::SetField(params.userName, QString(128, QChar(0x3042))));
  EXPECT_FALSE(dialup::SetField(params.userName, QString(129, QChar(0x3042))));
  // A character the code page cannot hold does not go in as "?".
  EXPECT_FALSE(dialup::SetField(params.password, QStringLiteral("pass\U0001F600")));
  EXPECT_EQ(dialup::FieldText(params.password), QString());
}

}  // namespace
