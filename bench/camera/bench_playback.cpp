// Speed of played files: a still of a random frame from a 10-minute 1280x720 H.264 file (key
// frame every 25 frames), and the cut of a 60 s 640x480 clip to uncompressed AVI.
//
//   build-*/bin/bench_playback
//
// The files are written once into $TMPDIR/ornik-bench (the H.264 file takes a minute or two).
// Stills report median_ms and worst_ms of 100 frames and wrong_frames (stills whose painted number
// is not the frame asked for); the cut reports seconds and times_real_time (clip length / time).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMetaObject>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/devices.h"
#include "engine/timeline.h"
#include "numbered_media.h"

namespace {

using com::Failed;

// The capture window's part: passes the graph's events to the engine on the host's thread.
class EventWindow final : public QObject, public capture::IVideoWindow {
 public:
  explicit EventWindow(CCaptureEngine& engine) : engine_(engine) {}
  QRect VideoWindowRect() const override { return QRect(0, 0, 640, 480); }
  void RequestRepaint() override {}
  void PostGraphNotify(std::intptr_t) override {
    QMetaObject::invokeMethod(this, [this] {
      long code = 0;
      std::intptr_t p1 = 0, p2 = 0;
      while (engine_.GetEvent(&code, &p1, &p2, 0) == com::S_OK) {
        if (code == capture::ec::kComplete) engine_.OnPlaybackComplete();
        else if (code == capture::ec::kPaused) engine_.SignalFrameReady();
      }
    }, Qt::QueuedConnection);
  }

 private:
  CCaptureEngine& engine_;
};

std::string BenchFile(const char* name, const testmedia::Spec& spec) {
  const QString dir = QDir::temp().filePath(QStringLiteral("ornik-bench"));
  QDir().mkpath(dir);
  const std::string path = QDir(dir).filePath(QString::fromLatin1(name)).toStdString();
  if (QFile::exists(QString::fromStdString(path))) return path;
  // Written under another name first: a run stopped halfway leaves no short file for the next.
  const std::string part = path + ".part";
  if (!testmedia::WriteNumbered(part, spec) || !QFile::rename(QString::fromStdString(part), QString::fromStdString(path)))
    return {};
  return path;
}

void BM_StillOfRandomFrameH264(benchmark::State& state) {
  testmedia::Spec spec;
  spec.frames = 10 * 60 * 25;
  spec.width = 1280;
  spec.height = 720;
  spec.codec = "h264";
  spec.gop = 25;
  const std::string file = BenchFile("numbered-h264-720p-10min.avi", spec);
  if (file.empty()) return state.SkipWithError("cannot write the H.264 file");
  CCaptureEngine engine;
  EventWindow window(engine);
  if (Failed(engine.StillCapStart(file, &window))) return state.SkipWithError("cannot open the file");
  const std::string still = QDir::temp().filePath(QStringLiteral("ornik-bench/still.bmp")).toStdString();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> frames(0, spec.frames - 1);
  std::vector<double> ms;
  int wrong = 0;
  for (auto _ : state) {
    ms.clear();
    for (int i = 0; i < 100; ++i) {
      const int n = frames(random);
      QElapsedTimer t;
      t.start();
      const auto hr = engine.SaveFrameAtIndex(still, n);
      ms.push_back(double(t.nsecsElapsed()) / 1e6);
      if (Failed(hr) || testmedia::ReadNumber(QImage(QString::fromStdString(still))) != n) ++wrong;
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["worst_ms"] = ms.back();
  state.counters["wrong_frames"] = wrong;
}
BENCHMARK(BM_StillOfRandomFrameH264)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CutOf60sClip(benchmark::State& state) {
  testmedia::Spec spec;
  spec.frames = 60 * 25;
  spec.width = 640;
  spec.height = 480;
  const std::string file = BenchFile("mjpeg-480p-60s.avi", spec);
  if (file.empty()) return state.SkipWithError("cannot write the clip");
  const QString dir = QDir::temp().filePath(QStringLiteral("ornik-bench"));
  const std::string timeline = QDir(dir).filePath(QStringLiteral("cut.xges")).toStdString();
  const std::string out = QDir(dir).filePath(QStringLiteral("cut.avi")).toStdString();
  if (Failed(capture::WriteCutTimeline(file, timeline, 0, 60LL * 10000000))) return state.SkipWithError("no timeline");
  capture::HostWait wait;
  double seconds = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    if (Failed(capture::RenderCutTimeline(out, timeline, false, wait, {}))) return state.SkipWithError("cut failed");
    seconds = double(t.nsecsElapsed()) / 1e9;
  }
  state.counters["seconds"] = seconds;
  state.counters["times_real_time"] = 60.0 / seconds;
}
BENCHMARK(BM_CutOf60sClip)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  capture::EnsureGstInit();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
