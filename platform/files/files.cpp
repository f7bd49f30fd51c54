#include "files/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>
#include <climits>
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

QString WriteTarget(const QString& path, int* code) {
  // As many links as the system itself follows in one path.
  constexpr int kMaxLinks = 40;
  QByteArray current = QFile::encodeName(path);
  if (current.isEmpty()) {
    if (code) *code = ENOENT;
    return QString();
  }
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st {};
    // Missing, or no link: this is the file (what cannot be reached fails at the write).
    if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return QFile::decodeName(current);
    QByteArray target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(current.constData(), target.data(), static_cast<size_t>(target.size()));
    if (n < 0 || n >= target.size()) {
      if (code) *code = n < 0 ? errno : ENAMETOOLONG;
      return QString();
    }
    target.truncate(n);
    // A relative link is read from its own folder, as the system reads it (never cleaned by
    // name: "x/.." is not "." when x is a link to a folder).
    const qsizetype slash = current.lastIndexOf('/');
    current = target.startsWith('/') || slash < 0 ? target : current.left(slash + 1) + target;
  }
  if (code) *code = ELOOP;
  return QString();
}

namespace {

// Flushes the entries of the folder that holds `file` to the disk: 0, or why not. A file system
// that cannot flush a folder (EINVAL) has nothing more to do.
int SyncFolderOf(const QByteArray& file) {
  const qsizetype slash = file.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : file.left(slash);
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int code = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  return code;
}

}  // namespace

PendingWrite::~PendingWrite() { Discard(); }

void PendingWrite::Discard() {
  if (!temp_.isEmpty()) ::unlink(temp_.constData());
  temp_.clear();
}

bool PendingWrite::Prepare(const QString& path, const QByteArray& bytes, QString* error, bool sync) {
  Discard();
  path_ = path;
  int code = 0;
  const QString target = WriteTarget(path, &code);
  if (target.isEmpty()) return Fail(error, path, code);
  QByteArray temp = QFile::encodeName(target) + ".XXXXXX";
  // mkostemp creates the file with O_EXCL and mode 0600 under a name nobody can guess.
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, path, errno);
  code = WriteAll(fd, bytes);
  if (code == 0 && sync && ::fsync(fd) != 0) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    ::unlink(temp.constData());
    return Fail(error, path, code);
  }
  target_ = QFile::encodeName(target);
  temp_ = temp;
  sync_ = sync;
  return true;
}

bool PendingWrite::Commit(QString* error) {
  if (temp_.isEmpty()) return Fail(error, path_, ENOENT);
  if (::rename(temp_.constData(), target_.constData()) != 0) {
    const int code = errno;
    Discard();
    return Fail(error, path_, code);
  }
  temp_.clear();
  // The rename lives in the folder: until its entries reach the disk a power cut may bring the
  // old file back, after the save was reported as done.
  if (const int code = sync_ ? SyncFolderOf(target_) : 0; code != 0) return Fail(error, path_, code);
  return true;
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString* error, bool sync) {
  PendingWrite write;
  return write.Prepare(path, bytes, error, sync) && write.Commit(error);
}

bool Append(const QString& path, const QByteArray& bytes, QString* error) {
  int code = 0;
  const QString target = WriteTarget(path, &code);
  if (target.isEmpty()) return Fail(error, path, code);
  const QByteArray name = QFile::encodeName(target);
  // A missing file is made by this call alone (O_EXCL), so that a failed append can take it
  // away again; one that appears meanwhile is appended to.
  bool created = false;
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 3; ++tries) {
    fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) break;
  }
  if (fd < 0) return Fail(error, path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int failed = errno;
    ::close(fd);
    return Fail(error, path, failed);
  }
  // An older file, or one another program made: private too from now (where its owner may).
  if ((st.st_mode & 07777) != kPrivateFileMode) ::fchmod(fd, kPrivateFileMode);
  code = WriteAll(fd, bytes);
  // A line cut off by a full disk would run into the next one: what was appended goes again,
  // and a file made for it goes with it (an empty log or trace is no record of anything).
  if (code != 0) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, st.st_size);
    struct stat there {};
    if (created && ::stat(name.constData(), &there) == 0 && there.st_dev == st.st_dev &&
        there.st_ino == st.st_ino)
      ::unlink(name.constData());
  }
  if (::close(fd) != 0 && code == 0) code = errno;
  return code == 0 || Fail(error, path, code);
}

}  // namespace files
