// The main of every test program: an offscreen QApplication in main()'s scope, a UTF-8 LC_CTYPE,
// the program's own start (a runtime folder, Qt's Japanese texts), Qt's settings kept out of the
// user's home, and message boxes answered by the recorder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>

#include "support/msgbox_recorder.h"
#include "ui/process_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // What Qt keeps between runs (the file dialog's history in QtProject.conf) goes to a folder
  // of this run, removed at its end.
  QTemporaryDir config;
  if (config.isValid()) qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  ui::PrepareRuntimeFolder();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  ui::InstallJapaneseTranslations();
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
  testsupport::InstallMsgBoxRecorder();
  return RUN_ALL_TESTS();
}
