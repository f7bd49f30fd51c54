// The start-up sequence without a window: the network drive stage over a fake mount command, the
// saved dial-up password that is looked up only for a configured entry, the reasons of database
// failures, and the instance lock of a folder whose lock file cannot be opened.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "netdrive/netdrive.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "startup/mdlStartup.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"
#include "ui/msgbox.h"

namespace {

using testsupport::ProgramFolder;

class StartupSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.CreateDatabase(false);
    QDir(folder.Path()).mkpath("mnt/share");
    mountPoint = QFileInfo(folder.Path() + "mnt/share").canonicalFilePath();
    netdrive::SetMountTable(folder.Path() + "mounts");
    WriteMountTable(false);
  }
  void TearDown() override {
    netdrive::SetMountCommand({});
    netdrive::SetMountTable({});
    ReleaseInstanceLock();
    gcnDB().Close();
  }

  // A mount command that notes that it ran and exits with `code`.
  void UseMountCommand(int code) {
    const QString script = folder.Path() + "fake-mount";
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/mount-ran\"\nexit " + QByteArray::number(code) +
               "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    netdrive::SetMountCommand(script);
    QFile::remove(folder.Path() + "mount-ran");
  }
  bool MountRan() const { return QFileInfo::exists(folder.Path() + "mount-ran"); }

  void WriteMountTable(bool mounted) {
    QFile table(folder.Path() + "mounts");
    ASSERT_TRUE(table.open(QIODevice::WriteOnly | QIODevice::Truncate));
    table.write("proc /proc proc rw 0 0\n");
    if (mounted) table.write("//srv/share " + mountPoint.toUtf8() + " cifs rw 0 0\n");
  }

  void WriteDriveSettings(bool connect) {
    folder.WriteSettings(QStringLiteral("[SYSTEM]\nnetdrv=%1\nnetdrvname=%2\nnetdrvpath=//srv/share\n"
                                        "netuser=guard\nnetpsw=secret")
                             .arg(connect ? "True" : "False", mountPoint));
  }

  ProgramFolder folder;
  QString mountPoint;
  testsupport::MsgBoxRecorder boxes;
};

TEST_F(StartupSequence, ANetworkDriveConnectedOrAlreadyConnectedLetsStartupGoOn) {
  WriteDriveSettings(true);
  UseMountCommand(0);
  EXPECT_TRUE(RunStartupSequence());
  EXPECT_TRUE(MountRan());
  EXPECT_TRUE(gcnDB().IsOpen());

  // Run again (the administration returning to a new login window): already mounted.
  gcnDB().Close();
  WriteMountTable(true);
  UseMountCommand(32);
  EXPECT_TRUE(RunStartupSequence());
  EXPECT_FALSE(MountRan());
  EXPECT_TRUE(gcnDB().IsOpen());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartupSequence, AFailedNetworkDriveStopsStartupBeforeTheDatabase) {
  WriteDriveSettings(true);
  UseMountCommand(32);
  EXPECT_FALSE(RunStartupSequence());
  EXPECT_TRUE(MountRan());
  EXPECT_FALSE(gcnDB().IsOpen());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            QStringLiteral("指定されたネットワークドライブに接続できませんでした。\r\n"
                           "時間を置いて再度起動するか、ネットワークを確認してください。"));
  EXPECT_EQ(boxes.Boxes()[0].style, ui::vbCritical);
  EXPECT_EQ(boxes.Boxes()[0].title, QStringLiteral("軌道の確認"));

  // Switched off, the drive is not touched at all.
  WriteDriveSettings(false);
  UseMountCommand(32);
  EXPECT_TRUE(RunStartupSequence());
  EXPECT_FALSE(MountRan());
  EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(StartupSequence, AMaskedDialPasswordIsKeptWhenNoEntryIsConfigured) {
  folder.WriteSettings("[MAIL]\ndial=\ndialuser=taro\ndialpsw=****");
  ASSERT_TRUE(LoadSettings(nullptr));
  EXPECT_EQ(gstrDialPsw, QStringLiteral("****"));
}

// One start of the program from `folder` in a process of its own: the message boxes it showed
// and what it wrote to the standard error output.
struct ChildStart {
  int exitCode = -1;
  std::vector<testsupport::ShownBox> boxes;
  QString stderrText;
};

ChildStart StartInChild(const QString& folder) {
  QProcess child;
  child.start(QCoreApplication::applicationDirPath() + "/velmor_startup_child", {folder});
  ChildStart result;
  if (!child.waitForFinished(60000)) return result;
  result.exitCode = child.exitCode();
  result.stderrText = QString::fromUtf8(child.readAllStandardError());
  for (const QByteArray& box : child.readAllStandardOutput().split('\x1e')) {
    const QList<QByteArray> parts = box.split('\x1f');
    if (parts.size() == 3)
      result.boxes.push_back(
          {QString::fromUtf8(parts[2]), parts[0].toInt(), QString::fromUtf8(parts[1])});
  }
  return result;
}

TEST_F(StartupSequence, EveryDatabaseFailureSaysWhyOnScreenAndOnStderr) {
  folder.WriteSettings();
  const QString odbcIni = "odbc/odbc.ini";
  QFile dbFile(folder.DatabaseFile());
  ASSERT_TRUE(dbFile.open(QIODevice::ReadOnly));
  const QByteArray database = dbFile.readAll();
  dbFile.close();
  const QByteArray dsn = "[Pardix]\nDriver = SQLite3\nDatabase = " +
                         QFile::encodeName(folder.DatabaseFile()) + "\n";

  struct Case {
    const char* name;
    std::function<void()> fault;
  };
  const Case cases[] = {
      {"missing file", [&] {
         folder.WriteBytes(odbcIni, dsn + "NoCreat = 1\n");
         QFile::remove(folder.DatabaseFile());
       }},
      {"empty file", [&] { folder.WriteBytes("Velmor.db", QByteArray()); }},
      {"truncated file",
       [&] { folder.WriteBytes("Velmor.db", database.left(database.size() / 2)); }},
      {"random bytes", [&] {
         QByteArray noise(16384, '\0');
         QRandomGenerator generator(7);
         for (char& c : noise) c = static_cast<char>(generator.bounded(256));
         folder.WriteBytes("Velmor.db", noise);
       }},
      {"data source missing", [&] { folder.WriteBytes(odbcIni, "[Other]\nDriver = SQLite3\n"); }},
      {"data source naming an unknown driver", [&] {
         folder.WriteBytes(odbcIni, "[Pardix]\nDriver = NoSuchDriver\nDatabase = " +
                                        QFile::encodeName(folder.DatabaseFile()) + "\n");
       }},
  };
  const QString message =
      QStringLiteral("システム起動情報にエラーが発生しています。システム起動は失敗しました。");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.WriteBytes(odbcIni, dsn);
    folder.WriteBytes("Velmor.db", database);
    c.fault();
    const ChildStart start = StartInChild(folder.Path());
    EXPECT_EQ(start.exitCode, 1);
    ASSERT_EQ(start.boxes.size(), 1u);
    const testsupport::ShownBox& box = start.boxes[0];
    EXPECT_EQ(box.style, ui::vbExclamation);
    EXPECT_EQ(box.title, QStringLiteral("ロードエラー"));
    ASSERT_TRUE(box.text.startsWith(message + "\r\n")) << qPrintable(box.text);
    const QString reason = box.text.mid(message.size() + 2);
    EXPECT_FALSE(reason.trimmed().isEmpty());
    EXPECT_TRUE(start.stderrText.contains(message + "\n" + reason)) << qPrintable(start.stderrText);
  }

  // Repaired, the same folder starts without a word.
  folder.WriteBytes(odbcIni, dsn);
  folder.WriteBytes("Velmor.db", database);
  const ChildStart start = StartInChild(folder.Path());
  EXPECT_EQ(start.exitCode, 0);
  EXPECT_TRUE(start.boxes.empty());
}

TEST_F(StartupSequence, ASettingsFileThatCannotBeLoadedSaysWhichKeyOnStderr) {
  const struct {
    const char* extra;
    const char* message;
  } cases[] = {
      {"[SYSTEM]\nlog=", "設定ファイルの [SYSTEM] log がありません。"},
      {"[SYSTEM]\nimgNum=many", "設定ファイルの [SYSTEM] imgNum の値「many」が正しくありません。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    folder.WriteSettings(QString::fromUtf8(c.extra));
    const ChildStart start = StartInChild(folder.Path());
    EXPECT_EQ(start.exitCode, 1);
    ASSERT_EQ(start.boxes.size(), 1u);
    EXPECT_EQ(start.boxes[0].text, QString::fromUtf8(c.message));
    EXPECT_TRUE(start.stderrText.contains(QString::fromUtf8(c.message))) << qPrintable(start.stderrText);
    EXPECT_TRUE(start.stderrText.contains(folder.Path() + "Velmor.ini"));
  }
}

TEST_F(StartupSequence, ALockFileThatCannotBeOpenedGivesWayToOneInTheRuntimeFolder) {
  folder.WriteSettings();
  QTemporaryDir runtime;
  const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  // A folder in its place: a lock file that not even root can open.
  ASSERT_TRUE(QDir().mkdir(InstanceLockPath()));
  ASSERT_LT(::open(QFile::encodeName(InstanceLockPath()).constData(), O_RDWR | O_CREAT, 0600), 0);

  // The first start runs, and a new login window of the same run passes again.
  EXPECT_TRUE(RunStartupSequence());
  EXPECT_TRUE(RunStartupSequence());
  const QString held = HeldInstanceLockPath();
  EXPECT_TRUE(held.startsWith(runtime.path() + "/")) << qPrintable(held);

  // A second start while another process holds the stand-in is refused before the database.
  ReleaseInstanceLock();
  gcnDB().Close();
  const int other = ::open(QFile::encodeName(held).constData(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(RunStartupSequence());
  EXPECT_FALSE(gcnDB().IsOpen());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, QStringLiteral("このアプリケーションはすでに開かれています。"));

  // Another program folder's stand-in is a lock of its own.
  {
    testsupport::ProgramFolder second;
    ASSERT_TRUE(QDir().mkdir(InstanceLockPath()));
    EXPECT_TRUE(TakeInstanceLock());
    EXPECT_NE(HeldInstanceLockPath(), held);
  }
  ::close(other);
  qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

}  // namespace
