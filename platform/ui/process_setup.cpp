#include "process_setup.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace ui {
namespace {

// A folder that this user alone may enter: an existing name is used only when it is a real folder
// (not a link) owned by this user; its mode is then set back to 0700.
bool UsePrivateFolder(const QByteArray& path) {
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.constData(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & 07777) == 0700 || ::chmod(path.constData(), 0700) == 0;
}

}  // namespace

QString PrepareRuntimeFolder() {
  const QByteArray set = qgetenv("XDG_RUNTIME_DIR");
  if (!set.isEmpty()) return QFile::decodeName(set);
  QByteArray base = qgetenv("TMPDIR");
  if (base.isEmpty()) base = "/tmp";
  while (base.size() > 1 && base.endsWith('/')) base.chop(1);

  QByteArray folder = base + "/velmor-runtime-" + QByteArray::number(::geteuid());
  if (!UsePrivateFolder(folder)) {
    // Someone else's name or a link in its place: a fresh folder that nobody else can own.
    QByteArray pattern = base + "/velmor-runtime-XXXXXX";
    if (!::mkdtemp(pattern.data())) return QString();
    folder = pattern;
  }
  qputenv("XDG_RUNTIME_DIR", folder);
  return QFile::decodeName(folder);
}

bool InstallJapaneseTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  auto* translator = new QTranslator(app);
  if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace ui
