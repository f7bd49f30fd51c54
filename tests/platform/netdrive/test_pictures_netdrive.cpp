// The network drive layer driven through a fake mount command and a mount table of the test's own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "netdrive/netdrive.h"

using namespace netdrive;

namespace {

// A fake mount command: records its arguments and the credentials file it was given (content,
// mode, path) in its folder, then exits with a chosen code or hangs.
QString WriteFakeMount(const QString& dir, int exitCode, bool hangs = false) {
  QFile script(dir + QStringLiteral("/fake-mount"));
  script.open(QIODevice::WriteOnly | QIODevice::Truncate);
  script.write("#!/bin/sh\nd=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > \"$d/args\"\n"
               "c=$(printf '%s' \"$4\" | sed -n 's/^credentials=\\([^,]*\\).*/\\1/p')\n"
               "cat \"$c\" > \"$d/creds\"; stat -c %a \"$c\" > \"$d/mode\"; echo \"$c\" > \"$d/path\"\n" +
               QByteArray(hangs ? "exec sleep 30\n" : "") + "echo 'mount error(13)' >&2\nexit " +
               QByteArray::number(exitCode) + "\n");
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return script.fileName();
}

QString Recorded(const QString& dir, const char* name) {
  QFile f(dir + QLatin1Char('/') + QLatin1String(name));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}


class NetDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(dir.path()).mkpath("mnt/share point");
    folder = QFileInfo(dir.filePath("mnt/share point")).canonicalFilePath();
    SetMountTable(dir.filePath("mounts"));
  }
  void TearDown() override {
    SetMountCommand({});
    SetMountTable({});
    SetCommandTimeout(0);
  }
  int Connect(const QString& share, const QString& password = "p") {
    QFile::remove(dir.filePath("args"));
    return AddConnection(folder, share, "u", password);
  }
  bool CommandRan() { return QFileInfo::exists(dir.filePath("args")); }
  QString Recorded(const char* name) { return ::Recorded(dir.path(), name); }

  QTemporaryDir dir;
  QString folder;
};

TEST_F(NetDrive, MountsWithCredentialsInAPrivateFileThatIsRemovedAfterwards) {
  SetMountCommand(WriteFakeMount(dir.path(), 0));
  EXPECT_EQ(AddConnection(folder, "\\\\fileserver\\photos\\station 1", "OFFICE\\guard7", "pa,ss=wörd 1"),
            kConnected);
  const QStringList args = Recorded("args").split(QLatin1Char('\n'));
  ASSERT_EQ(args.size(), 4) << qPrintable(args.join(QLatin1Char('|')));
  EXPECT_EQ(args.mid(0, 3), QStringList({"//fileserver/photos/station 1", folder, "-o"}));
  EXPECT_TRUE(args[3].startsWith("credentials=")) << qPrintable(args[3]);
  EXPECT_FALSE(args[3].contains("pa,ss") || args[3].contains("guard7"));
  EXPECT_EQ(Recorded("creds"), QStringLiteral("username=guard7\npassword=pa,ss=wörd 1\ndomain=OFFICE"));
  EXPECT_EQ(Recorded("mode"), "600");
  EXPECT_FALSE(QFileInfo::exists(Recorded("path"))) << "credentials left behind";
}

TEST_F(NetDrive, AlreadyMountedFolderGives85WithoutRunningTheCommand) {
  SetMountCommand(WriteFakeMount(dir.path(), 0));
  QFile table(dir.filePath("mounts"));
  ASSERT_TRUE(table.open(QIODevice::WriteOnly));
  table.write("proc /proc proc rw 0 0\n//nas/x " + folder.toUtf8().replace(" ", "\\040") + " cifs rw 0 0\n");
  table.close();
  EXPECT_EQ(Connect("//srv/share"), kAlreadyAssigned);
  EXPECT_FALSE(CommandRan());
}

TEST_F(NetDrive, FailuresNeverLookLikeSuccess) {
  SetMountCommand(WriteFakeMount(dir.path(), 32));
  EXPECT_EQ(Connect("//srv/share"), kExtendedError);
  EXPECT_TRUE(LastCommandError().contains("exit 32")) << qPrintable(LastCommandError());
  // Refused before any command runs.
  for (const char* bad : {"srv\\share", "\\\\srv", "//srv/", ""}) EXPECT_EQ(Connect(bad), kBadNetName) << bad;
  EXPECT_EQ(Connect("//srv/share", "p\nusername=root"), kInvalidParameter);
  EXPECT_FALSE(CommandRan());
  folder = dir.filePath("nowhere");
  EXPECT_EQ(Connect("//srv/share"), kBadDevice);
  SetUp();
  SetMountCommand(dir.filePath("no-such-mount"));
  EXPECT_EQ(Connect("//srv/share"), kExtendedError);
  // A mount that hangs is given up after its time limit.
  SetMountCommand(WriteFakeMount(dir.path(), 0, /*hangs=*/true));
  SetCommandTimeout(300);
  EXPECT_EQ(Connect("//srv/share"), kExtendedError);
  EXPECT_FALSE(QFileInfo::exists(Recorded("path"))) << "credentials left behind";
}

}  // namespace
