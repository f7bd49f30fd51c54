#include "startup/mdlStartup.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "common/mdlNetDrv.h"
#include "ui/msgbox.h"

namespace {
int gLockFd = -1;
QString gLockPath;
}  // namespace

QString InstanceLockPath() { return gstrAppPath + QStringLiteral(".Velmor.lock"); }

bool TakeInstanceLock() {
  const QString path = InstanceLockPath();
  if (gLockFd >= 0 && path == gLockPath) return true;  // this run holds it already
  ReleaseInstanceLock();
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // a read-only program folder cannot hold a lock: nothing to guard
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  gLockFd = fd;
  gLockPath = path;
  return true;
}

void ReleaseInstanceLock() {
  if (gLockFd >= 0) ::close(gLockFd);
  gLockFd = -1;
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
    ui::MsgBox(error, ui::vbExclamation, QStringLiteral("ロードエラー"));
    return false;
  }

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
