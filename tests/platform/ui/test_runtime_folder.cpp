// The runtime folder a program gives itself when the session has none: private to the user,
// reused from start to start, and never a folder that someone else prepared under its name.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ui/process_setup.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

int Mode(const QString& path) {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

class RuntimeFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    oldTmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp_.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    ownName_ = tmp_.filePath(QStringLiteral("velmor-runtime-%1").arg(::geteuid()));
  }
  void TearDown() override {
    qputenv("XDG_RUNTIME_DIR", oldRuntime_);
    qputenv("TMPDIR", oldTmp_);
  }
  QTemporaryDir tmp_;
  QByteArray oldRuntime_, oldTmp_;
  QString ownName_;
};

TEST_F(RuntimeFolder, ASetFolderIsKept) {
  qputenv("XDG_RUNTIME_DIR", "/run/user/4242");
  EXPECT_EQ(ui::PrepareRuntimeFolder(), QStringLiteral("/run/user/4242"));
  EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR"), QByteArray("/run/user/4242"));
  EXPECT_FALSE(QFileInfo::exists(ownName_));
}

TEST_F(RuntimeFolder, WithoutOneAPrivateFolderIsMadeAndReused) {
  EXPECT_EQ(ui::PrepareRuntimeFolder(), ownName_);
  EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR"), QFile::encodeName(ownName_));
  EXPECT_EQ(Mode(ownName_), 0700);

  // The next start finds it, opened up meanwhile, and closes it again.
  ASSERT_EQ(::chmod(QFile::encodeName(ownName_).constData(), 0755), 0);
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(ui::PrepareRuntimeFolder(), ownName_);
  EXPECT_EQ(Mode(ownName_), 0700);
}

TEST_F(RuntimeFolder, ALinkInItsPlaceIsNotFollowed) {
  // Someone points the name at a folder of his choosing: a fresh folder is taken instead.
  const QString bait = tmp_.filePath(QStringLiteral("open"));
  ASSERT_TRUE(QDir().mkdir(bait));
  ASSERT_EQ(::chmod(QFile::encodeName(bait).constData(), 0777), 0);
  ASSERT_TRUE(QFile::link(bait, ownName_));

  const QString used = ui::PrepareRuntimeFolder();
  ASSERT_FALSE(used.isEmpty());
  EXPECT_NE(used, ownName_);
  EXPECT_TRUE(used.startsWith(tmp_.path() + QStringLiteral("/velmor-runtime-"))) << qPrintable(used);
  EXPECT_EQ(Mode(used), 0700);
  EXPECT_EQ(Mode(bait), 0777);
  EXPECT_EQ(qgetenv("XDG_RUNTIME_DIR"), QFile::encodeName(used));

  // A plain file by that name is no folder either.
  ASSERT_TRUE(QFile::remove(ownName_));
  QFile file(ownName_);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  qunsetenv("XDG_RUNTIME_DIR");
  const QString again = ui::PrepareRuntimeFolder();
  EXPECT_NE(again, ownName_);
  EXPECT_EQ(Mode(again), 0700);
}

}  // namespace
