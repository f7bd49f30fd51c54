#include "process_setup.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <cstdlib>

#include <csignal>
#include <utility>

#include <fcntl.h>
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

// The pipe a shutdown signal writes into: [0] read by the event loop, [1] written by the handler.
int gSignalPipe[2] = {-1, -1};

void OnShutdownSignal(int signo) {
  const int saved = errno;
  const char byte = static_cast<char>(signo);
  // Nothing else is safe in a handler; a full pipe has a wake-up waiting already.
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void WatchShutdownSignals(std::function<void()> end) {
  if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [end = std::move(end)] {
    char bytes[16];
    ssize_t got = 0;
    int woken = 0;
    while ((got = ::read(gSignalPipe[0], bytes, sizeof bytes)) > 0) woken += static_cast<int>(got);
    if (woken > 0) end();
  });
  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signo : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signo, &action, nullptr);
}

void UsePrivateFileModes() { ::umask(077); }

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
