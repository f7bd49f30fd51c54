// The main of every test program: an offscreen QApplication in main()'s scope, a UTF-8 LC_CTYPE
// and message boxes answered by the recorder.
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>

#include "support/msgbox_recorder.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
  testsupport::InstallMsgBoxRecorder();
  return RUN_ALL_TESTS();
}
