// The program as a user starts it, from a demo folder of the set-up tool, in a session without a
// runtime folder and on a machine without sound: it starts and prints neither complaint; and what
// it writes is its user's alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A demo folder made by the set-up tool, the station copied into it, and the environment of a
// session without runtime folder and sound.
class QuietStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    folder_ = dir_.filePath(QStringLiteral("station"));
    tmp_ = dir_.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(tmp_));
    QFile noAlsa(dir_.filePath(QStringLiteral("alsa.conf")));
    ASSERT_TRUE(noAlsa.open(QIODevice::WriteOnly));
    noAlsa.close();

    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("ODBCINI"), dir_.filePath(QStringLiteral("odbc.ini")));
    env_.remove(QStringLiteral("ODBCSYSINI"));
    env_.insert(QStringLiteral("HOME"), dir_.path());
    env_.insert(QStringLiteral("TMPDIR"), tmp_);
    env_.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env_.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + dir_.filePath(QStringLiteral("no-server")));
    env_.insert(QStringLiteral("ALSA_CONFIG_PATH"), noAlsa.fileName());
    env_.remove(QStringLiteral("VELMOR_SOUND_SINK"));
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    const QString bin = QCoreApplication::applicationDirPath();
    QProcess setup;
    setup.setProcessEnvironment(env_);
    setup.start(bin + QStringLiteral("/velmor-setup"), {folder_, QStringLiteral("--demo")});
    ASSERT_TRUE(setup.waitForFinished(60000));
    ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();
    EXPECT_EQ(setup.readAllStandardError().toStdString(), "");
    ASSERT_TRUE(QFile::copy(bin + QStringLiteral("/Velmor"), folder_ + QStringLiteral("/Velmor")));
    station_.setProcessEnvironment(env_);
  }
  void TearDown() override {
    if (station_.state() != QProcess::NotRunning) {
      station_.kill();
      station_.waitForFinished();
    }
  }

  QTemporaryDir dir_;
  QString folder_;
  QString tmp_;
  QProcessEnvironment env_;
  QProcess station_;
};

int Mode(const QString& path) {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

TEST_F(QuietStart, NoRuntimeFolderAndNoSoundDeviceGoUnmentioned) {
  station_.start(folder_ + QStringLiteral("/Velmor"));
  ASSERT_TRUE(station_.waitForStarted());
  // A start that fails ends at once; this one shows its login window and waits there.
  EXPECT_FALSE(station_.waitForFinished(5000)) << "exit code " << station_.exitCode();
  station_.kill();
  station_.waitForFinished();
  const QString errors = QString::fromUtf8(station_.readAllStandardError());
  EXPECT_FALSE(errors.contains(QStringLiteral("XDG_RUNTIME_DIR"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QStringLiteral("ALSA"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QStringLiteral("AL lib"))) << errors.toStdString();

  // The runtime folder it gave itself is its user's alone.
  EXPECT_EQ(Mode(tmp_ + QStringLiteral("/velmor-runtime-%1").arg(::geteuid())), 0700);
}

// Started under umask 000, the station creates every file its user's alone from the first byte,
// and the folders of members' data an older version left open, with the files in them, are made
// private at the start.
TEST_F(QuietStart, WhatItCreatesAndTheMembersDataItFindsAreItsUsersAlone) {
  const QString scan = folder_ + QStringLiteral("/ScanData/");
  const QString log = folder_ + QStringLiteral("/log/");
  for (const QString& old : {scan + "20250101090000.jpg", log + "20250101.log"}) {
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(old).constData(), 0644), 0);
  }
  for (const QString& open : {scan, log}) ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);

  station_.setChildProcessModifier([] { ::umask(0); });
  station_.start(folder_ + QStringLiteral("/Velmor"));
  ASSERT_TRUE(station_.waitForStarted());
  // By its login window the start-up is through.
  QElapsedTimer waited;
  waited.start();
  while (Mode(scan) != 0700 && station_.state() == QProcess::Running && waited.elapsed() < 20000)
    QTest::qWait(50);
  QFile status(QStringLiteral("/proc/%1/status").arg(station_.processId()));
  ASSERT_TRUE(status.open(QIODevice::ReadOnly)) << "the station ended";
  const QRegularExpressionMatch umask =
      QRegularExpression(QStringLiteral("Umask:\\s*(\\d+)")).match(QString::fromLatin1(status.readAll()));
  EXPECT_EQ(umask.captured(1).toStdString(), "0077");
  EXPECT_EQ(Mode(scan), 0700);
  EXPECT_EQ(Mode(log), 0700);
  EXPECT_EQ(Mode(scan + "20250101090000.jpg"), 0600);
  EXPECT_EQ(Mode(log + "20250101.log"), 0600);
}

}  // namespace
