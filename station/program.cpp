#include "program.h"

#include <QApplication>

#include "common/globals.h"
#include "common/mdlEnd.h"
#include "db/db.h"
#include "startup/frmLogin.h"
#include "ui/process_setup.h"
#include "wiring.h"

int RunProgram(const QString& folder) {
  ui::InstallJapaneseTranslations();
  db::EnsureUtf8Locale();
  ResetProgramValues();
  gstrAppPath = folder;
  ConnectWindows();
  ui::WatchShutdownSignals(EndOnShutdownSignal);
  int code = 1;
  frmLogin* login = frmLogin::instance();
  if (login && !ProgramEnded()) {
    login->show();
    code = QApplication::exec();
    if (ProgramEnded()) code = 0;
  }
  // Whatever the end interrupted has returned by now: its windows go.
  UnloadWindowsAtEnd();
  gcnDB().Close();
  return code;
}
