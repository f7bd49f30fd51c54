// Process start to the login window shown and the camera probe done, with two virtual cameras.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

#include "com/registry.h"
#include "com/runtime.h"
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
