// The network drive layer driven through a fake mount command and a mount table of the test's own.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "netdrive/netdrive.h"
#include "platform/netdrive/fake_mount.h"

using namespace netdrive;

namespace {

class NetDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("mnt/share point")));
    mountPoint = QFileInfo(dir.filePath(QStringLiteral("mnt/share point"))).canonicalFilePath();
    table = dir.filePath(QStringLiteral("mounts"));
    SetMountTable(table);
    WriteTable("proc /proc proc rw 0 0\n");
  }
  void TearDown() override {
    SetMountCommand({});
    SetMountTable({});
    SetCommandTimeout(0);
  }
  void WriteTable(const QByteArray& text) {
    QFile f(table);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }
  QString Recorded(const char* name) { return testnet::Recorded(dir.path(), name); }

  QTemporaryDir dir;
  QString mountPoint;
  QString table;
};

TEST_F(NetDrive, MountsWithCredentialsInAPrivateFileThatIsRemovedAfterwards) {
  SetMountCommand(testnet::WriteFakeMount(dir.path(), 0));
  EXPECT_EQ(AddConnection(mountPoint, QStringLiteral("\\\\fileserver\\photos\\station 1"),
                          QStringLiteral("OFFICE\\guard7"), QStringLiteral("pa,ss=wörd 1")),
            kConnected);

  const QStringList args = Recorded("args").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(args.size(), 4) << qPrintable(args.join(QLatin1Char('|')));
  EXPECT_EQ(args[0], QStringLiteral("//fileserver/photos/station 1"));
  EXPECT_EQ(args[1], mountPoint);
  EXPECT_EQ(args[2], QStringLiteral("-o"));
  EXPECT_TRUE(args[3].startsWith(QStringLiteral("credentials="))) << qPrintable(args[3]);
  EXPECT_FALSE(args.join(QLatin1Char(' ')).contains(QStringLiteral("pa,ss")));
  EXPECT_FALSE(args.join(QLatin1Char(' ')).contains(QStringLiteral("guard7")));

  EXPECT_EQ(Recorded("creds"),
            QStringLiteral("username=guard7\npassword=pa,ss=wörd 1\ndomain=OFFICE\n"));
  EXPECT_EQ(Recorded("mode").trimmed(), QStringLiteral("600"));
  EXPECT_FALSE(QFileInfo::exists(Recorded("credpath").trimmed())) << "credentials left behind";
}

TEST_F(NetDrive, AlreadyMountedFolderGives85WithoutRunningTheCommand) {
  SetMountCommand(testnet::WriteFakeMount(dir.path(), 0));
  QByteArray escaped = mountPoint.toUtf8();
  escaped.replace(" ", "\\040");
  WriteTable("//other/share " + escaped + " cifs rw 0 0\n");
  EXPECT_EQ(AddConnection(mountPoint, QStringLiteral("//srv/share"), QStringLiteral("u"),
                          QStringLiteral("p")),
            kAlreadyAssigned);
  // Also when the folder is named with a trailing slash.
  EXPECT_EQ(AddConnection(mountPoint + QStringLiteral("/"), QStringLiteral("//srv/share"),
                          QStringLiteral("u"), QStringLiteral("p")),
            kAlreadyAssigned);
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("args"))));
}

TEST_F(NetDrive, FailuresNeverLookLikeSuccess) {
  SetMountCommand(testnet::WriteFakeMount(dir.path(), 32));
  const QString share = QStringLiteral("//srv/share");
  EXPECT_EQ(AddConnection(mountPoint, share, QStringLiteral("u"), QStringLiteral("p")),
            kExtendedError);
  EXPECT_TRUE(LastCommandError().contains(QStringLiteral("exit 32"))) << qPrintable(LastCommandError());
  EXPECT_TRUE(LastCommandError().contains(QStringLiteral("Permission denied")));

  // Refused before any command runs.
  QFile::remove(dir.filePath(QStringLiteral("args")));
  EXPECT_EQ(AddConnection(dir.filePath(QStringLiteral("nowhere")), share, QStringLiteral("u"),
                          QStringLiteral("p")),
            kBadDevice);
  EXPECT_EQ(AddConnection(table, share, QStringLiteral("u"), QStringLiteral("p")), kBadDevice);
  for (const char* bad : {"srv\\share", "\\\\srv", "//srv/", ""})
    EXPECT_EQ(AddConnection(mountPoint, QString::fromLatin1(bad), QStringLiteral("u"),
                            QStringLiteral("p")),
              kBadNetName)
        << bad;
  EXPECT_EQ(AddConnection(mountPoint, share, QStringLiteral("u"),
                          QStringLiteral("p\nusername=root")),
            kInvalidParameter);
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("args"))));

  SetMountCommand(dir.filePath(QStringLiteral("no-such-mount")));
  EXPECT_EQ(AddConnection(mountPoint, share, QStringLiteral("u"), QStringLiteral("p")),
            kExtendedError);

  SetMountCommand(testnet::WriteFakeMount(dir.path(), 0, /*sleeps=*/true));
  SetCommandTimeout(300);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(AddConnection(mountPoint, share, QStringLiteral("u"), QStringLiteral("p")),
            kExtendedError);
  EXPECT_LT(clock.elapsed(), 10000) << "a hanging mount must be given up";
  EXPECT_FALSE(QFileInfo::exists(Recorded("credpath").trimmed()));
}

}  // namespace
