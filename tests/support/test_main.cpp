// The main of every test program: an offscreen QApplication in main()'s scope, a UTF-8 LC_CTYPE,
// the program's own start (a runtime folder, Qt's Japanese texts), Qt's settings kept out of the
// user's home, and message boxes answered by the recorder. At the end it waits for GStreamer's
// streaming threads, so that none is still ending while the leak checker stops the program's
// threads to scan them.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <iterator>
#include <thread>

#include "support/msgbox_recorder.h"
#include "ui/process_setup.h"

namespace {

int ThreadCount() {
  std::error_code error;
  std::filesystem::directory_iterator tasks("/proc/self/task", error);
  return error ? -1 : int(std::distance(tasks, std::filesystem::directory_iterator()));
}

// Pipelines are down when the tests end, but the threads that ran their tasks are kept idle by
// GLib's thread pools and end on their own a while later: possibly just while LeakSanitizer
// suspends and reads every thread at exit, which makes its tracer fault. They are stopped here
// and waited for (a second at most).
void EndStreamingThreads() {
  if (!gst_is_initialized()) return;
  gst_task_cleanup_all();  // waits for running tasks; their threads go back to GLib's pool
  g_thread_pool_set_max_unused_threads(0);
  g_thread_pool_stop_unused_threads();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int count = ThreadCount();
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int now = ThreadCount();
    if (now == count && g_thread_pool_get_num_unused_threads() == 0) break;
    count = now;
  }
}

}  // namespace

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
  const int result = RUN_ALL_TESTS();
  EndStreamingThreads();
  return result;
}
