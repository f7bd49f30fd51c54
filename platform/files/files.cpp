#include "files/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {
namespace {

// Writes all of `bytes` to `fd`: 0, or the errno of the write that failed (ENOSPC when the disk
// took nothing more without saying why).
int WriteAll(int fd, const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += n;
  }
  return 0;
}

bool Fail(QString* error, const QString& path, int code) {
  if (error)
    *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                                          QString::fromLocal8Bit(std::strerror(code)));
  return false;
}

}  // namespace

bool MakePrivateFolder(const QString& path, bool existingToo) {
  const QFileInfo info(path);
  if (info.isDir())
    return !existingToo || ::chmod(QFile::encodeName(path).constData(), kPrivateFolderMode) == 0;
  const QString absolute = QDir::cleanPath(info.absoluteFilePath());
  QDir().mkpath(QFileInfo(absolute).absolutePath());
  // The mode is given at creation (the umask may only take from it); another writer may have
  // made the folder meanwhile.
  if (::mkdir(QFile::encodeName(absolute).constData(), kPrivateFolderMode) != 0)
    return QFileInfo(absolute).isDir();
  return true;
}

bool MakePrivate(const QString& path) {
  return ::chmod(QFile::encodeName(path).constData(), kPrivateFileMode) == 0;
}

bool MakePrivateTree(const QString& folder) {
  const QFileInfo info(folder);
  if (!info.exists() || info.isSymLink() || !info.isDir()) return true;
  bool all = MakePrivateFolder(folder, true);
  QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
  while (entries.hasNext()) {
    const QString path = entries.next();
    struct stat st {};
    // Never through a link: what it points at is not this folder's.
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if ((st.st_mode & 07777) != kPrivateFileMode) all = MakePrivate(path) && all;
  }
  return all;
}

bool CreateExclusive(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

QString CreateUnique(const QString& folder, const QString& prefix, const QString& suffix) {
  QByteArray pattern = QFile::encodeName(QDir(folder).filePath(prefix)) + "XXXXXX";
  const QByteArray tail = QFile::encodeName(suffix);
  pattern += tail;
  // mkostemps creates the file with O_EXCL and mode 0600 under a name nobody can guess.
  const int fd = ::mkostemps(pattern.data(), static_cast<int>(tail.size()), O_CLOEXEC);
  if (fd < 0) return QString();
  ::close(fd);
  return QFile::decodeName(pattern);
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString* error, bool sync) {
  QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, path, errno);
  int code = WriteAll(fd, bytes);
  if (code == 0 && sync && ::fsync(fd) != 0) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && std::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
    code = errno;
  if (code == 0) return true;
  ::unlink(temp.constData());
  return Fail(error, path, code);
}

bool Append(const QString& path, const QByteArray& bytes, QString* error) {
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) return Fail(error, path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    return Fail(error, path, code);
  }
  // An older file, or one another program made: private too from now (where its owner may).
  if ((st.st_mode & 07777) != kPrivateFileMode) ::fchmod(fd, kPrivateFileMode);
  int code = WriteAll(fd, bytes);
  // A line cut off by a full disk would run into the next one: what was appended goes again.
  if (code != 0) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, st.st_size);
  }
  if (::close(fd) != 0 && code == 0) code = errno;
  return code == 0 || Fail(error, path, code);
}

}  // namespace files
