// velmor_startup_child FOLDER: runs the start-up sequence once from FOLDER in a fresh process, as
// the program does. The ODBC driver manager keeps what it has read of a data source for the life
// of the process, so a changed data source is only seen by a new one. Every message box is
// answered with OK and written to the standard output as "style<US>title<US>text<RS>"; the exit
// code is 0 when the sequence passed, 1 when it failed.
#include <QApplication>

#include <cstdio>

#include "common/globals.h"
#include "db/db.h"
#include "startup/mdlStartup.h"
#include "ui/msgbox.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  db::EnsureUtf8Locale();
  if (argc < 2) return 2;
  ui::SetMsgBoxHook([](const QString& text, int style, const QString& title) {
    const QByteArray box = QByteArray::number(style) + '\x1f' + title.toUtf8() + '\x1f' +
                           text.toUtf8() + '\x1e';
    std::fwrite(box.constData(), 1, static_cast<size_t>(box.size()), stdout);
    return static_cast<int>(ui::vbOK);
  });
  gstrAppPath = QString::fromLocal8Bit(argv[1]);
  return RunStartupSequence() ? 0 : 1;
}
