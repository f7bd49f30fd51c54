// The start-up sequence without a window: the network drive stage over a fake mount command, and
// the saved dial-up password that is looked up only for a configured entry.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "netdrive/netdrive.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
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

}  // namespace
