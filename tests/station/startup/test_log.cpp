// The operation log: daily files, four fields, CP932 and CR LF, nothing when logging is off.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "codepage/codepage.h"
#include "common/globals.h"
#include "common/mdlLogWrite.h"
#include "support/support_program.h"
#include "ui/clock.h"

namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    now = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7));
    ui::SetClock([this] { return now; });
  }
  void TearDown() override { ui::SetClock({}); }
  testsupport::ProgramFolder folder;
  QDateTime now;
};

TEST_F(LogTest, LinesAreAppendedToTheDaysFileAsTheyCome) {
  gblnLog = true;
  ASSERT_TRUE(Log(QStringLiteral("12345 - アクセス"), QStringLiteral("成功")));
  ASSERT_TRUE(Log(QStringLiteral("a,b"), QStringLiteral("失敗")));
  now = now.addDays(1);
  ASSERT_TRUE(Log(QStringLiteral("起動"), QStringLiteral("実行")));
  EXPECT_EQ(cp::FromAnsi(Read(folder.Path() + "log/20261208.log")),
            QStringLiteral("2026/12/08,09:05:07,12345 - アクセス,成功\r\n"
                           "2026/12/08,09:05:07,a,b,失敗\r\n"));
  EXPECT_EQ(cp::FromAnsi(Read(folder.Path() + "log/20261209.log")),
            QStringLiteral("2026/12/09,09:05:07,起動,実行\r\n"));
}

TEST_F(LogTest, LoggingOffTouchesNothingAndAMissingFolderIsMade) {
  gblnLog = false;
  QDir(folder.Path() + "log").removeRecursively();
  ASSERT_TRUE(Log("x", "y"));
  EXPECT_FALSE(QDir(folder.Path() + "log").exists());
  gblnLog = true;
  ASSERT_TRUE(Log("x", "y"));
  EXPECT_TRUE(QFile::exists(folder.Path() + "log/20261208.log"));
}

TEST_F(LogTest, AnUnwritableLogReportsFailure) {
  gstrLogDir = folder.Path() + "log/20261208.log/";  // a file stands where the folder should be
  QFile f(folder.Path() + "log/20261208.log");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_FALSE(WriteLog("20261208.log", "x", "y"));
}

TEST_F(LogTest, ALineAFullDiskRefusesLeavesNoEmptyDaysFile) {
  testsupport::SmallDisk disk(64 << 10);
  if (!disk.Mounted()) GTEST_SKIP() << "a full disk of its own needs a tmpfs mount, which needs root";
  gblnLog = true;
  gstrLogDir = disk.Path();
  disk.Fill();
  EXPECT_FALSE(Log("x", "y"));
  EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{});
  disk.Free();
  ASSERT_TRUE(Log("x", "y"));
  EXPECT_EQ(Read(disk.Path() + "20261208.log"), QByteArray("2026/12/08,09:05:07,x,y\r\n"));
}

}  // namespace
