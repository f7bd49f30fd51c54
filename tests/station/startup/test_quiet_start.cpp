// The program as a user starts it, from a demo folder of the set-up tool, in a session without a
// runtime folder and on a machine without sound: it starts and prints neither complaint.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(QuietStart, NoRuntimeFolderAndNoSoundDeviceGoUnmentioned) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString folder = dir.filePath(QStringLiteral("station"));
  const QString tmp = dir.filePath(QStringLiteral("tmp"));
  ASSERT_TRUE(QDir().mkpath(tmp));
  QFile noAlsa(dir.filePath(QStringLiteral("alsa.conf")));
  ASSERT_TRUE(noAlsa.open(QIODevice::WriteOnly));
  noAlsa.close();

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ODBCINI"), dir.filePath(QStringLiteral("odbc.ini")));
  env.remove(QStringLiteral("ODBCSYSINI"));
  env.insert(QStringLiteral("HOME"), dir.path());
  env.insert(QStringLiteral("TMPDIR"), tmp);
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + dir.filePath(QStringLiteral("no-server")));
  env.insert(QStringLiteral("ALSA_CONFIG_PATH"), noAlsa.fileName());
  env.remove(QStringLiteral("VELMOR_SOUND_SINK"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

  const QString bin = QCoreApplication::applicationDirPath();
  QProcess setup;
  setup.setProcessEnvironment(env);
  setup.start(bin + QStringLiteral("/velmor-setup"), {folder, QStringLiteral("--demo")});
  ASSERT_TRUE(setup.waitForFinished(60000));
  ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();
  EXPECT_EQ(setup.readAllStandardError().toStdString(), "");
  ASSERT_TRUE(QFile::copy(bin + QStringLiteral("/Velmor"), folder + QStringLiteral("/Velmor")));

  QProcess station;
  station.setProcessEnvironment(env);
  station.start(folder + QStringLiteral("/Velmor"));
  ASSERT_TRUE(station.waitForStarted());
  // A start that fails ends at once; this one shows its login window and waits there.
  EXPECT_FALSE(station.waitForFinished(5000)) << "exit code " << station.exitCode();
  station.kill();
  station.waitForFinished();
  const QString errors = QString::fromUtf8(station.readAllStandardError());
  EXPECT_FALSE(errors.contains(QStringLiteral("XDG_RUNTIME_DIR"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QStringLiteral("ALSA"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QStringLiteral("AL lib"))) << errors.toStdString();

  // The runtime folder it gave itself is its user's alone.
  struct stat st {};
  const QByteArray runtime = QFile::encodeName(tmp + QStringLiteral("/velmor-runtime-%1").arg(::geteuid()));
  ASSERT_EQ(::lstat(runtime.constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
}

}  // namespace
