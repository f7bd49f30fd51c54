// Process start to the login window shown and the camera probe done, with two virtual cameras;
// and the settings load and save over a settings file of 50 MB.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

#include "com/registry.h"
#include "com/runtime.h"
#include "common/mdlIni.h"
#include "support/support_program.h"

namespace {

QString gFolder;

void BM_ProcessStartToCameraProbe(benchmark::State& state) {
  const QString bin = QCoreApplication::applicationDirPath();
  std::vector<double> ms;
  for (auto _ : state) {
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(bin + "/bench_startup_child", {gFolder});
    child.waitForFinished(20000);
    ms.push_back(timer.nsecsElapsed() / 1e6);
    if (child.exitCode() != 0) state.SkipWithError("the child did not see the cameras");
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["max_ms"] = ms.back();
}
BENCHMARK(BM_ProcessStartToCameraProbe)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// A settings file of 50 MB: the quiet station's keys after a section of 25,000 lines of 2 KB.
// Start-up reads every key of it once; the settings window's save rewrites it.
std::unique_ptr<testsupport::ProgramFolder> LargeSettingsFolder() {
  auto folder = std::make_unique<testsupport::ProgramFolder>();
  folder->WriteSettings();
  QFile file(folder->Path() + QStringLiteral("Velmor.ini"));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  QByteArray data = "[MEMO]\r\n";
  for (int i = 0; i < 25000; ++i) {
    QByteArray line = "note" + QByteArray::number(i) + '=';
    line += QByteArray(2046 - line.size(), 'x') + "\r\n";
    data += line;
  }
  data += file.readAll();
  file.close();
  folder->WriteBytes(QStringLiteral("Velmor.ini"), data);
  return folder;
}

void BM_LoadSettingsOf50MBFile(benchmark::State& state) {
  const auto folder = LargeSettingsFolder();
  QString error;
  for (auto _ : state)
    if (!LoadSettings(&error)) state.SkipWithError(qPrintable(error));
}
BENCHMARK(BM_LoadSettingsOf50MBFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SaveSettingsInto50MBFile(benchmark::State& state) {
  const auto folder = LargeSettingsFolder();
  QString error;
  if (!LoadSettings(&error)) state.SkipWithError(qPrintable(error));
  for (auto _ : state)
    if (!WriteSavedSettings()) state.SkipWithError("the settings file was not written");
}
BENCHMARK(BM_SaveSettingsInto50MBFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir registry;
  qputenv(com::kRegistryEnv, QFile::encodeName(registry.filePath("registry.json")));
  QString message;
  if (com::CallSelfRegistration(QCoreApplication::applicationDirPath() + "/libOrnik.so", false,
                                &message) != com::S_OK) {
    fprintf(stderr, "cannot register the camera control: %s\n", qPrintable(message));
    return 1;
  }
  qputenv("GST_PLUGIN_PATH", QFile::encodeName(QCoreApplication::applicationDirPath() + "/../gst-plugins"));
  qputenv("ORNIK_VIRTCAMS", "2");
  testsupport::ProgramFolder folder;
  folder.WriteSettings("[IMAGE]\ncam=True");
  folder.CreateDatabase(false);
  gFolder = folder.Path();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
