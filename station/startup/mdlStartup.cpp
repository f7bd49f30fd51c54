#include "startup/mdlStartup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "common/mdlNetDrv.h"
#include "files/files.h"
#include "ui/msgbox.h"

namespace {
int gLockFd = -1;
QString gLockKey;   // the program folder's lock file the lock was taken for
QString gLockPath;  // the file that holds it: that one, or its stand-in in the runtime folder
}  // namespace

QString InstanceLockPath() { return QDir(gstrAppPath).filePath(QStringLiteral(".Velmor.lock")); }

namespace {
// Where the lock goes when the program folder cannot hold it, in the order tried.
QStringList FallbackLockPaths() {
  // One lock per program folder, named after its absolute path (links resolved when it exists).
  QString folder = QFileInfo(gstrAppPath).canonicalFilePath();
  if (folder.isEmpty()) folder = QFileInfo(gstrAppPath).absoluteFilePath();
  const QByteArray hash =
      QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha1).toHex();
  const QString name = QStringLiteral(".Velmor-%1.lock").arg(QString::fromLatin1(hash));
  QStringList paths;
  for (const QString& dir : {qEnvironmentVariable("XDG_RUNTIME_DIR"),
                             QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                             QStringLiteral("/tmp")}) {
    if (dir.isEmpty()) continue;
    const QString path = QDir(dir).filePath(name);
    if (!paths.contains(path)) paths.append(path);
  }
  return paths;
}

int OpenLockFile(const QString& path) {
  return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}
}  // namespace

bool TakeInstanceLock() {
  const QString path = InstanceLockPath();
  if (gLockFd >= 0 && path == gLockKey) return true;  // this run holds it already
  ReleaseInstanceLock();
  // The program folder's lock; where that file cannot be opened (a read-only folder, another
  // user's lock file), the same lock in the user's runtime folder, so that every start in this
  // folder meets the same file.
  QString held = path;
  int fd = OpenLockFile(path);
  if (fd < 0) {
    for (const QString& fallback : FallbackLockPaths()) {
      fd = OpenLockFile(fallback);
      if (fd >= 0) {
        held = fallback;
        break;
      }
    }
  }
  if (fd < 0) {
    // Nowhere to hold a lock, not even in /tmp: a first start must still run.
    std::fprintf(stderr, "Velmor: no instance lock could be taken (%s)\n",
                 QFile::encodeName(path).constData());
    return true;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  gLockFd = fd;
  gLockKey = path;
  gLockPath = held;
  return true;
}

QString HeldInstanceLockPath() { return gLockFd >= 0 ? gLockPath : QString(); }

void ReleaseInstanceLock() {
  if (gLockFd >= 0) ::close(gLockFd);
  gLockFd = -1;
  gLockKey.clear();
  gLockPath.clear();
}

bool RunStartupSequence() {
  // 1. The key word of the service account row.
  gstrServerUser = QLatin1String(kServerUserKey);

  // 2. One instance only.
  if (!TakeInstanceLock()) {
    ui::MsgBox(QStringLiteral("このアプリケーションはすでに開かれています。"), ui::vbExclamation,
               QStringLiteral("ロードエラー"));
    return false;
  }

  // 3. Paths.
  gstrIniFile = QStringLiteral("Velmor.ini");
  if (!gstrAppPath.endsWith(QLatin1Char('/'))) gstrAppPath += QLatin1Char('/');
  gstrLogDir = gstrAppPath + QStringLiteral("log/");
  gstrDBFile = gstrAppPath + QStringLiteral("Velmor.mdb");

  // 4 and 5. Settings, with the saved dial-up password taken inside the load.
  QString error;
  if (!LoadSettings(&error)) {
    // Said on the standard error output too: a station started from a terminal or a service
    // shows no window to read it in.
    std::fprintf(stderr, "%s\n%s\n", error.toUtf8().constData(),
                 QFile::encodeName(IniPath()).constData());
    std::fflush(stderr);
    ui::MsgBox(error, ui::vbExclamation, QStringLiteral("ロードエラー"));
    return false;
  }

  // The folders of members' data and the files in them: their owner's alone.
  MakeMemberDataPrivate(gstrAppPath);

  // 6. Network drive.
  if (gblnNetDrv) {
    const int result = ConnectNetDrive(gstrNetDrvName, gstrNetDrvPath, gstrNetUser, gstrNetPsw);
    if (result != 0 && result != 85) {
      ui::MsgBox(QStringLiteral("指定されたネットワークドライブに接続できませんでした。\r\n"
                                "時間を置いて再度起動するか、ネットワークを確認してください。"),
                 ui::vbCritical, QStringLiteral("軌道の確認"));
      return false;
    }
  }

  // 7. Database and service account; 8. the FTP switch follows from the row. The failure names
  // the driver's own reason on a line of its own, on screen and on the standard error output.
  error.clear();
  const bool opened = OpenStationDatabase(&error);
  if (!opened || !LoadServiceAccount(&error)) {
    if (error.trimmed().isEmpty())
      error = opened ? QStringLiteral("the service account could not be read")
                     : QStringLiteral("the data source %1 could not be opened").arg(gstrDSN);
    const QString message =
        QStringLiteral("システム起動情報にエラーが発生しています。システム起動は失敗しました。");
    std::fprintf(stderr, "%s\n%s\n", message.toUtf8().constData(), error.toUtf8().constData());
    std::fflush(stderr);
    ui::MsgBox(message + QStringLiteral("\r\n") + error, ui::vbExclamation,
               QStringLiteral("ロードエラー"));
    return false;
  }
  return true;
}

namespace {
// Whether a file can be created in `dir`; a missing folder is created first, as its writers do.
bool CanWriteInto(const QString& dir) {
  if (!files::MakePrivateFolder(dir)) return false;
  QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".write-test-XXXXXX")));
  return probe.open();
}
}  // namespace

QString UnwritableFoldersMessage() {
  QStringList lines;
  if (!CanWriteInto(gstrLogDir))
    lines << QStringLiteral("ログフォルダに書き込めません。") << gstrLogDir;
  if (!CanWriteInto(gstrImgDir))
    lines << QStringLiteral("写真フォルダに書き込めません。") << gstrImgDir;
  return lines.join(QStringLiteral("\r\n"));
}
