// Velmor: the entry/exit station. The program works in the folder of its executable; its first
// window is the login window, whose creation runs the start-up sequence.
#include <QApplication>
#include <QDir>

#include "db/db.h"
#include "startup/frmLogin.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "ui/process_setup.h"
#include "wiring.h"

int main(int argc, char** argv) {
  ui::UsePrivateFileModes();
  ui::PrepareRuntimeFolder();
  QApplication app(argc, argv);
  ui::InstallJapaneseTranslations();
  db::EnsureUtf8Locale();
  ResetProgramValues();
  gstrAppPath = QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
  ConnectWindows();
  ui::WatchShutdownSignals(EndOnShutdownSignal);
  frmLogin* login = frmLogin::instance();
  if (!login || ProgramEnded()) return 1;
  login->show();
  const int code = app.exec();
  gcnDB().Close();
  return ProgramEnded() ? 0 : code;
}
