#include "dialup.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>

#include <fcntl.h>
#include <linux/close_range.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "codepage/codepage.h"
#include "mail/net_limits.h"

namespace dialup {
namespace {

std::mutex gPathsLock;
Paths gPaths;

// The words of one line of a pppd options or secrets file: blanks separate them, "#" starts a
// comment, single or double quotes keep blanks, a backslash takes the next character as it is.
QStringList Words(const QString& line) {
  QStringList words;
  const qsizetype n = line.size();
  qsizetype i = 0;
  while (i < n) {
    while (i < n && line.at(i).isSpace()) ++i;
    if (i >= n || line.at(i) == QLatin1Char('#')) break;
    QString word;
    while (i < n && !line.at(i).isSpace()) {
      const QChar c = line.at(i);
      if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
        for (++i; i < n && line.at(i) != c; ++i) {
          if (line.at(i) == QLatin1Char('\\') && i + 1 < n) ++i;
          word += line.at(i);
        }
        ++i;
      } else if (c == QLatin1Char('\\') && i + 1 < n) {
        word += line.at(i + 1);
        i += 2;
      } else {
        word += c;
        ++i;
      }
    }
    words.append(word);
  }
  return words;
}

bool ReadLines(const QString& path, QStringList* lines) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  return true;
}

// A phone-book entry is a plain file name inside the peers folder.
bool EntryPath(const Paths& paths, const QString& entry, QString* path) {
  if (entry.isEmpty() || entry.startsWith(QLatin1Char('.')) ||
      entry.startsWith(QLatin1Char('-')) || entry.contains(QLatin1Char('/')))
    return false;
  for (const QChar c : entry)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  *path = paths.peersDir + QLatin1Char('/') + entry;
  return QFileInfo(*path).isFile();
}

bool HasControl(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
  return false;
}

// A word for a pppd options file.
QByteArray Quoted(const QString& text) {
  QByteArray out = "\"";
  for (const char c : text.toUtf8()) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

// The secret of `user` for the peer `remote` (empty: any peer) in one secrets file. A line
// naming both exactly wins over one with "*" for the peer, which wins over "*" for the client.
bool FindSecret(const QString& path, const QString& user, const QString& remote, QString* secret) {
  QStringList lines;
  if (!ReadLines(path, &lines)) return false;
  int best = -1;
  for (const QString& line : lines) {
    const QStringList words = Words(line);
    if (words.size() < 3) continue;
    int score = 0;
    if (words.at(0) == user) score += 2;
    else if (words.at(0) != QLatin1String("*")) continue;
    if (!remote.isEmpty() && words.at(1) == remote) score += 1;
    else if (!remote.isEmpty() && words.at(1) != QLatin1String("*")) continue;
    if (score > best) {
      best = score;
      *secret = words.at(2);
    }
  }
  return best >= 0;
}

}  // namespace

void SetPaths(const Paths& paths) {
  std::lock_guard<std::mutex> guard(gPathsLock);
  gPaths = paths;
}

Paths CurrentPaths() {
  std::lock_guard<std::mutex> guard(gPathsLock);
  return gPaths;
}

bool SetFieldBytes(char* field, int size, const QString& text) {
  std::memset(field, 0, size_t(size));
  QByteArray bytes;
  if (!cp::ToAnsi(text, bytes) || bytes.size() >= size || bytes.contains('\0')) return false;
  std::memcpy(field, bytes.constData(), size_t(bytes.size()));
  return true;
}

QString FieldText(const char* field, int size) {
  return cp::FromAnsi(QByteArray(field, qsizetype(strnlen(field, size_t(size)))));
}

int EnumConnections(int* count) {
  *count = 0;
  const Paths paths = CurrentPaths();
  const QFileInfo info(paths.interfacesDir);
  if (!info.isDir() || !info.isReadable()) return kCannotList;
  const QDir dir(paths.interfacesDir);
  for (const QString& name : dir.entryList({QStringLiteral("ppp*")},
                                           QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
    QFile flagsFile(dir.filePath(name) + QStringLiteral("/flags"));
    if (!flagsFile.open(QIODevice::ReadOnly)) continue;
    bool ok = false;
    const uint flags = QString::fromLatin1(flagsFile.readAll()).trimmed().toUInt(&ok, 0);
    if (ok && (flags & 0x1u)) ++*count;  // IFF_UP
  }
  return kSuccess;
}

int Dial(const DialParams& params, long* handle) {
  const Paths paths = CurrentPaths();
  const QString entry = FieldText(params.entryName);
  const QString user = FieldText(params.userName);
  const QString password = FieldText(params.password);
  QString entryFile;
  if (!EntryPath(paths, entry, &entryFile)) return kNoSuchEntry;
  if (HasControl(user) || HasControl(password)) return kBadParameter;

  QStringList arguments{QStringLiteral("call"), entry, QStringLiteral("updetach")};
  if (!user.isEmpty()) arguments << QStringLiteral("user") << user;
  // The password never shows on a command line: it goes in an options file of the owner.
  QTemporaryFile passwordFile(QDir::tempPath() + QStringLiteral("/velmor-dial-XXXXXX"));
  if (!password.isEmpty()) {
    if (!passwordFile.open()) return kCannotStart;
    passwordFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    passwordFile.write("password " + Quoted(password) + '\n');
    passwordFile.flush();
    arguments << QStringLiteral("file") << passwordFile.fileName();
  }

  QProcess process;
  process.setProgram(paths.dialProgram);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  // pppd stays up as the link's daemon: it must not keep the files the program has open (a
  // recording GStreamer opened without close-on-exec, say) for as long as the link lasts.
  process.setChildProcessModifier([] {
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
      const long last = qMin(::sysconf(_SC_OPEN_MAX), 65536L);
      for (int fd = 3; fd < last; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  });
  process.start();
  if (!process.waitForStarted(10000)) return kCannotStart;
  *handle = long(process.processId());
  // A sender whose sending is given up stops waiting for the dial too.
  QDeadlineTimer deadline(qint64(qMax(1, paths.dialTimeoutSeconds)) * 1000);
  bool finished = false;
  while (!(finished = process.waitForFinished(int(qBound(qint64(1), deadline.remainingTime(), qint64(100))))) &&
         !deadline.hasExpired() && !net::ThreadCancelled()) {
  }
  if (!finished) {
    process.terminate();  // pppd hangs up on SIGTERM
    if (!process.waitForFinished(5000)) {
      process.kill();
      process.waitForFinished(5000);
    }
    return kDialTimedOut;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? kSuccess
                                                                                 : kDialFailed;
}

QStringList EnumEntries() {
  const Paths paths = CurrentPaths();
  QStringList entries;
  const QStringList names = QDir(paths.peersDir).entryList(QDir::Files, QDir::Name);
  for (const QString& name : names) {
    QString path;
    if (EntryPath(paths, name, &path)) entries.append(name);
  }
  return entries;
}

int GetEntryDialParams(DialParams* params) {
  const Paths paths = CurrentPaths();
  QString entryFile;
  if (!EntryPath(paths, FieldText(params->entryName), &entryFile)) return kNoSuchEntry;
  QStringList lines;
  if (!ReadLines(entryFile, &lines)) return kNoSuchEntry;
  QString user;
  QString remote;
  for (const QString& line : lines) {
    const QStringList words = Words(line);
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
      if (words.at(i) == QLatin1String("user")) user = words.at(i + 1);
      if (words.at(i) == QLatin1String("remotename")) remote = words.at(i + 1);
    }
  }
  SetField(params->userName, user);
  QString secret;
  if (!user.isEmpty() && (FindSecret(paths.papSecrets, user, remote, &secret) ||
                          FindSecret(paths.chapSecrets, user, remote, &secret)))
    SetField(params->password, secret);
  else
    SetField(params->password, QString());
  return kSuccess;
}

}  // namespace dialup
