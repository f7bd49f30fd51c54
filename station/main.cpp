// Velmor: the entry/exit station. The program works in the folder of its executable; its first
// window is the login window, whose creation runs the start-up sequence.
#include <QApplication>
#include <QDir>

#include "program.h"
#include "ui/process_setup.h"

int main(int argc, char** argv) {
  ui::UsePrivateFileModes();
  ui::PrepareRuntimeFolder();
  QApplication app(argc, argv);
  return RunProgram(QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/'));
}
