#include "files/files.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace files {

bool OpenPrivate(QFile& file, QIODevice::OpenMode mode) {
  if (!file.open(mode, kPrivateFile)) return false;
  // A file another program made, or an older copy of this one: the write makes it private too.
  // Failing that (another account's file) the write still goes on.
  if (file.openMode() & QIODevice::WriteOnly) ::fchmod(file.handle(), kPrivateFileMode);
  return true;
}

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

}  // namespace files
