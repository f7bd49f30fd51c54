#include "netdrive/netdrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

#include <unistd.h>

#include <algorithm>

namespace netdrive {
namespace {

struct Backend {
  QString mountCommand;
  QString mountTable;
  int timeoutMs = 0;
  QString lastError;
};

Backend& TheBackend() {
  static Backend backend;
  return backend;
}

QString MountCommand() {
  const QString& c = TheBackend().mountCommand;
  return c.isEmpty() ? QStringLiteral("mount.cifs") : c;
}

QString MountTable() {
  const QString& t = TheBackend().mountTable;
  return t.isEmpty() ? QStringLiteral("/proc/self/mounts") : t;
}

int Timeout() {
  const int t = TheBackend().timeoutMs;
  return t > 0 ? t : 60000;
}

// Undoes the octal escapes of a mount table field (\040 for a space, \011, \012, \134).
QByteArray UnescapeMountField(const QByteArray& field) {
  QByteArray out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const QByteArray digits = field.mid(i + 1, 3);
      bool ok = digits.size() == 3;
      for (char d : digits) ok = ok && d >= '0' && d <= '7';
      if (ok) {
        out.append(static_cast<char>(digits.toInt(nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.append(field[i]);
  }
  return out;
}

bool IsMountPoint(const QString& canonicalFolder) {
  QFile table(MountTable());
  if (!table.open(QIODevice::ReadOnly)) return false;
  const QByteArray wanted = QFile::encodeName(canonicalFolder);
  while (!table.atEnd()) {
    const QList<QByteArray> fields = table.readLine().simplified().split(' ');
    if (fields.size() >= 2 && UnescapeMountField(fields[1]) == wanted) return true;
  }
  return false;
}

// \\server\share\path or //server/share/path as //server/share/path; empty when malformed.
QString ShareSpec(const QString& remoteName) {
  QString spec = remoteName.trimmed();
  spec.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (!spec.startsWith(QStringLiteral("//"))) return {};
  const QStringList parts = spec.mid(2).split(QLatin1Char('/'));
  if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty()) return {};
  while (spec.endsWith(QLatin1Char('/'))) spec.chop(1);
  return spec;
}

bool FitsCredentialLine(const QString& value) {
  return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')) &&
         !value.contains(QChar(0));
}

}  // namespace

int AddConnection(const QString& localName, const QString& remoteName, const QString& user,
                  const QString& password) {
  Backend& backend = TheBackend();
  backend.lastError.clear();

  const QString share = ShareSpec(remoteName);
  if (share.isEmpty()) return kBadNetName;

  const QFileInfo folder(localName);
  const QString mountPoint = folder.canonicalFilePath();
  if (mountPoint.isEmpty()) return kBadDevice;
  if (IsMountPoint(mountPoint)) return kAlreadyAssigned;
  if (!folder.isDir()) return kBadDevice;

  QString userName = user;
  QString domain;
  const qsizetype cut = std::max(user.indexOf(QLatin1Char('\\')), user.indexOf(QLatin1Char('/')));
  if (cut > 0) {
    domain = user.left(cut);
    userName = user.mid(cut + 1);
  }
  if (!FitsCredentialLine(userName) || !FitsCredentialLine(domain) ||
      !FitsCredentialLine(password))
    return kInvalidParameter;

  // QTemporaryFile creates its file readable and writable by the owner only.
  QTemporaryFile credentials(QDir::tempPath() + QStringLiteral("/velmor-cifs-XXXXXX"));
  if (!credentials.open()) {
    backend.lastError = QStringLiteral("credentials file: ") + credentials.errorString();
    return kExtendedError;
  }
  if (credentials.fileName().contains(QLatin1Char(','))) {
    backend.lastError = QStringLiteral("credentials file path holds a comma");
    return kExtendedError;
  }
  QByteArray content = "username=" + userName.toUtf8() + "\npassword=" + password.toUtf8() + "\n";
  if (!domain.isEmpty()) content += "domain=" + domain.toUtf8() + "\n";
  const bool written = credentials.write(content) == content.size() && credentials.flush();
  content.fill('\0');
  if (!written) {
    backend.lastError = QStringLiteral("credentials file: ") + credentials.errorString();
    return kExtendedError;
  }

  const QString options = QStringLiteral("credentials=%1,uid=%2,gid=%3")
                              .arg(credentials.fileName())
                              .arg(::getuid())
                              .arg(::getgid());
  QProcess mount;
  mount.setProcessChannelMode(QProcess::MergedChannels);
  mount.start(MountCommand(), {share, mountPoint, QStringLiteral("-o"), options});
  if (!mount.waitForStarted(Timeout())) {
    backend.lastError = MountCommand() + QStringLiteral(": ") + mount.errorString();
    return kExtendedError;
  }
  if (!mount.waitForFinished(Timeout())) {
    mount.kill();
    mount.waitForFinished(5000);
    backend.lastError = MountCommand() + QStringLiteral(": no answer in time");
    return kExtendedError;
  }
  const QString output = QString::fromLocal8Bit(mount.readAll()).trimmed();
  if (mount.exitStatus() != QProcess::NormalExit) {
    backend.lastError = MountCommand() + QStringLiteral(": crashed ") + output;
    return kExtendedError;
  }
  if (mount.exitCode() != 0) {
    backend.lastError =
        MountCommand() + QStringLiteral(": exit %1 ").arg(mount.exitCode()) + output;
    return kExtendedError;
  }
  return kConnected;
}

QString LastCommandError() { return TheBackend().lastError; }

void SetMountCommand(const QString& program) { TheBackend().mountCommand = program; }
void SetMountTable(const QString& path) { TheBackend().mountTable = path; }
void SetCommandTimeout(int milliseconds) { TheBackend().timeoutMs = milliseconds; }

}  // namespace netdrive
