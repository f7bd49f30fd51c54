// bench_startup_child FOLDER: starts like the program does from FOLDER and exits with 0 as soon
// as the login window is shown and its camera probe has counted the cameras (3 after 10 s).
#include <QApplication>
#include <QElapsedTimer>

#include "db/db.h"
#include "startup/frmLogin.h"
#include "common/globals.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  if (argc < 2) return 2;
  gstrAppPath = QString::fromLocal8Bit(argv[1]);
  frmLogin* login = frmLogin::instance();
  if (!login) return 1;
  login->show();
  QElapsedTimer timer;
  timer.start();
  while (glngCamCount < 1 && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return glngCamCount >= 1 ? 0 : 3;
}
