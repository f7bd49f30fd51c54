// Speed of the camera engine on virtual cameras: the photograph (still to a BMP file from the
// running preview), the live picture (frames painted per second and the CPU it costs) and a
// recording to MJPEG AVI while the preview runs; the compressor list at a new live format, and
// the host's first compressor count and names after a preview and after a format change.
//
//   build-*/bin/bench_camera
//   build-*/bin/bench_camera --benchmark_filter=Still     (only the stills)
//   build-*/bin/bench_camera --benchmark_filter=Record    (only the recording)
//   build-*/bin/bench_camera --benchmark_filter=Preview720p   (the live picture and its anchors)
//   build-*/bin/bench_camera --benchmark_filter=Compressor    (the compressor list)
//
// The stills report the median of their calls as median_ms, each still of a frame no still took
// before (as at the station, where frames arrive between two events). The preview runs 10 s and
// reports painted_fps, cpu_percent (of one core, the whole process) and the machine's load1. Its
// anchor, run right after it, is the same graph in gst-launch-1.0 with fakesinks in place of the
// window and the grabber, and its cpu_percent over 10 s; grabber_converts:1 is that graph with the
// grabber's branch converting every frame to BGR. The recording runs 30 s of 1280x720@30 and
// reports frames_written (the AVI header's count), frames_dropped, cpu_seconds, cpu_percent and
// the preview's painted_fps meanwhile. Its target is 0 frames dropped.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/capture_engine.h"
#include "engine/devices.h"
#include "virtcam.h"

namespace {

// The capture window's part: paints what the engine has whenever it asks.
class VideoWidget final : public QWidget, public capture::IVideoWindow {
 public:
  explicit VideoWidget(CCaptureEngine& engine) : engine_(engine) { resize(640, 480); }
  QRect VideoWindowRect() const override { return rect(); }
  void RequestRepaint() override {
    QPointer<VideoWidget> self(this);
    QMetaObject::invokeMethod(this, [self] { if (self) self->update(); }, Qt::QueuedConnection);
  }
  void PostGraphNotify(std::intptr_t) override {}
  std::atomic<long> paints{0};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    engine_.RepaintVideo(painter);
    ++paints;
  }

 private:
  CCaptureEngine& engine_;
};

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The machine's load average over the last minute.
double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Runs the host's event loop (it sleeps while there is nothing to do, as the station does).
void RunEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// One camera with the two sizes measured, both YUY2 as webcams deliver them.
void UseBenchCamera() { virtcam::SetCameras({{"Bench Camera", {}, "smpte", {"YUY2 640x480@30", "YUY2 1280x720@30"}, {}}}); }

// Builds the grabber preview on entry `entry` (0: 640x480, 1: 1280x720).
bool StartPreview(CCaptureEngine& engine, capture::IVideoWindow& window, short entry) {
  if (engine.PreviewOnWithGrabber(&window) != 0) return false;
  return entry == 0 || engine.SetStreamCaps(capture::PinCategory::Capture, entry, 0, 0, nullptr) == 0;
}

void BM_StillCapture(benchmark::State& state) {
  UseBenchCamera();
  QTemporaryDir dir;
  CCaptureEngine engine;
  VideoWidget window(engine);
  if (!StartPreview(engine, window, short(state.range(0)))) {
    state.SkipWithError("preview did not start");
    return;
  }
  const std::string file = dir.filePath("photo.bmp").toStdString();
  std::vector<double> ms;
  for (auto _ : state) {
    state.PauseTiming();
    RunEventLoop(40);  // a new frame (one comes every 33 ms)
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    if (engine.SaveGrabberBitmap(file) != 0) {
      state.SkipWithError("still failed");
      break;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["width"] = engine.GrabberFrameHeader().biWidth;
  state.counters["height"] = engine.GrabberFrameHeader().biHeight;
}
BENCHMARK(BM_StillCapture)->Arg(0)->ArgName("640x480")->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_StillCapture)->Arg(1)->ArgName("1280x720")->Unit(benchmark::kMillisecond)->Iterations(200);

// The 1280x720 grabber preview of the bench camera, painted into a shown window.
struct ShownPreview {
  ShownPreview() {
    UseBenchCamera();
    window.show();
    started = StartPreview(engine, window, 1);
  }
  // Whether the preview runs; the benchmark is skipped when it does not.
  bool Started(benchmark::State& state) {
    if (!started) state.SkipWithError("preview did not start");
    return started;
  }
  CCaptureEngine engine;
  VideoWidget window{engine};
  bool started = false;
};

void BM_Preview720pWithGrabber(benchmark::State& state) {
  ShownPreview preview;
  if (!preview.Started(state)) return;
  CCaptureEngine& engine = preview.engine;
  VideoWidget& window = preview.window;
  for (auto _ : state) {
    RunEventLoop(500);  // the first frames settle
    const long paints0 = window.paints;
    const double cpu0 = CpuSeconds();
    QElapsedTimer run;
    run.start();
    RunEventLoop(10000);
    const double seconds = double(run.elapsed()) / 1000.0;
    state.counters["painted_fps"] = double(window.paints - paints0) / seconds;
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu0) / seconds;
  }
  state.counters["width"] = engine.GrabberFrameHeader().biWidth;
  state.counters["load1"] = LoadAverage();
}
BENCHMARK(BM_Preview720pWithGrabber)->Unit(benchmark::kSecond)->Iterations(1);

// The CPU seconds a process has used so far (user and system); negative when it is gone.
double ProcessCpuSeconds(qint64 pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = stat.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  double utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stod(field);
    if (i == 15) stime = std::stod(field);
  }
  return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The anchor of the grabber preview: the same graph run by gst-launch-1.0.
void BM_Preview720pAnchor(benchmark::State& state) {
  const bool grabberConverts = state.range(0) != 0;
  const QString graph =
      QStringLiteral(
          "videotestsrc is-live=true pattern=smpte ! video/x-raw,format=YUY2,width=1280,height=720,framerate=30/1 ! "
          "tee name=t t. ! queue leaky=downstream max-size-buffers=2 max-size-bytes=0 max-size-time=0 ! "
          "videoconvert ! video/x-raw,format=BGRx ! fakesink sync=false "
          "t. ! queue leaky=downstream max-size-buffers=1 max-size-bytes=0 max-size-time=0 ! ") +
      (grabberConverts ? QStringLiteral("videoconvert ! video/x-raw,format=BGR ! ") : QString()) +
      QStringLiteral("fakesink sync=false");
  QProcess launch;
  launch.start(QStringLiteral("gst-launch-1.0"), QStringList{QStringLiteral("-q")} + graph.split(QLatin1Char(' ')));
  if (!launch.waitForStarted()) {
    state.SkipWithError("gst-launch-1.0 did not start");
    return;
  }
  for (auto _ : state) {
    RunEventLoop(500);
    const double cpu0 = ProcessCpuSeconds(launch.processId());
    QElapsedTimer run;
    run.start();
    RunEventLoop(10000);
    const double cpu1 = ProcessCpuSeconds(launch.processId());
    const double seconds = double(run.elapsed()) / 1000.0;
    if (cpu0 < 0 || cpu1 < 0) {
      state.SkipWithError("gst-launch-1.0 ended early");
      break;
    }
    state.counters["cpu_percent"] = 100.0 * (cpu1 - cpu0) / seconds;
  }
  state.counters["load1"] = LoadAverage();
  launch.kill();
  launch.waitForFinished();
}
BENCHMARK(BM_Preview720pAnchor)->Arg(0)->Arg(1)->ArgName("grabber_converts")->Unit(benchmark::kSecond)->Iterations(1);

// The total frame count of an AVI file's main header (RIFF, LIST hdrl, avih: its fifth field).
long AviTotalFrames(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char b[52] = {};
  if (!in.read(reinterpret_cast<char*>(b), sizeof b) || std::string(reinterpret_cast<char*>(b + 24), 4) != "avih")
    return -1;
  return long(b[48]) | long(b[49]) << 8 | long(b[50]) << 16 | long(b[51]) << 24;
}

void BM_Record720pMjpegWithPreview(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("bench.avi").toStdString();
  ShownPreview preview;
  if (!preview.Started(state)) return;
  CCaptureEngine& engine = preview.engine;
  VideoWidget& window = preview.window;
  engine.SetCompressorIndex(capture::CompressorList().IndexOf("jpegenc"));
  if (engine.SetCaptureFile(file, false) != 0) {
    state.SkipWithError("no recording branch");
    return;
  }
  std::int32_t dropped = -1;
  for (auto _ : state) {
    RunEventLoop(500);
    const long paints0 = window.paints;
    const double cpu0 = CpuSeconds();
    QElapsedTimer run;
    run.start();
    engine.RecStart();
    RunEventLoop(30000);
    engine.RecStop();
    const double seconds = double(run.elapsed()) / 1000.0;
    engine.GetDropped(&dropped);
    state.counters["painted_fps"] = double(window.paints - paints0) / seconds;
    state.counters["cpu_seconds"] = CpuSeconds() - cpu0;
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu0) / seconds;
  }
  state.counters["frames_dropped"] = dropped;
  engine.TearDownGraph();  // the file gets its header and index
  state.counters["frames_written"] = double(AviTotalFrames(file));
}
BENCHMARK(BM_Record720pMjpegWithPreview)->Unit(benchmark::kSecond)->Iterations(1);

// The compressor list at a live format not seen before and again at the same format. The
// encoders' check runs once per user account (this one's cache folder) for the encoders installed,
// so both are read from what it answered: cold_ms, cached_ms, and the number listed.
void BM_CompressorListAtANewFormat(benchmark::State& state) {
  const char* formats[] = {"video/x-raw,format=YUY2,width=640,height=480,framerate=30/1",
                           "video/x-raw,format=YUY2,width=1280,height=720,framerate=30/1"};
  GstCaps* caps = gst_caps_from_string(formats[state.range(0)]);
  double coldMs = 0, cachedMs = 0;
  int listed = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    listed = capture::CompressorList(caps).Count();
    coldMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    benchmark::DoNotOptimize(capture::CompressorList(caps).Count());
    cachedMs = double(timer.nsecsElapsed()) / 1e6;
  }
  gst_caps_unref(caps);
  state.counters["cold_ms"] = coldMs;
  state.counters["cached_ms"] = cachedMs;
  state.counters["listed"] = listed;
}
BENCHMARK(BM_CompressorListAtANewFormat)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The count and every name, asked as a host asks them (one call each).
int CountAndNames(CCaptureEngine& engine) {
  const int count = engine.GetCompressorCount();
  for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(engine.GetCompressorName(i));
  return count;
}

// The caps text of a virtual camera's mode ("I420 352x288@25").
std::string ModeCaps(const std::string& mode) {
  std::istringstream in(mode);
  std::string format, size;
  int rate = 0;
  in >> format >> size;
  const std::size_t x = size.find('x'), at = size.find('@');
  rate = std::atoi(size.substr(at + 1).c_str());
  return "video/x-raw,format=" + format + ",width=" + size.substr(0, x) + ",height=" + size.substr(x + 1, at - x - 1) +
         ",framerate=" + std::to_string(rate) + "/1";
}

// A cache folder that cannot be written: a file stands where its "ornik" folder should be.
std::string UnwritableCache(const QTemporaryDir& dir) {
  const std::string folder = dir.path().toStdString();
  std::ofstream(folder + "/ornik") << "a file\n";
  return folder;
}

// The host's compressor count and names at a live format asked the moment the preview call
// returns (first_count_ms), and again right after a format change (after_change_ms), once both
// formats were checked in this account (first_use_ms: asking at both formats first, which runs the
// encoders' check when the account has no answers for them). Target: 100 ms each, at any load.
// The second argument 0 uses the account's cache folder, 1 one that cannot be written (the answers
// are then kept by the process alone). Reports the number listed at each format and the machine's
// load1.
void BM_FirstCompressorCountAfterPreview(benchmark::State& state) {
  const char* modes[][2] = {{"I420 352x288@25", "I420 176x144@25"}, {"YUY2 800x600@20", "YUY2 400x300@20"}};
  const char* const* mode = modes[state.range(0)];
  QTemporaryDir dir;
  const char* home = std::getenv("XDG_CACHE_HOME");
  const std::string kept = home ? home : "";
  if (state.range(1)) setenv("XDG_CACHE_HOME", UnwritableCache(dir).c_str(), 1);
  virtcam::SetCameras({{"Trial Camera", {}, "smpte", {mode[0], mode[1]}, {}}});
  CCaptureEngine engine;
  VideoWidget window(engine);
  double firstUseMs = 0, firstMs = 0, changeMs = 0;
  int listed = 0, listedAfter = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    for (const char* m : {mode[0], mode[1]}) {
      GstCaps* caps = gst_caps_from_string(ModeCaps(m).c_str());
      benchmark::DoNotOptimize(capture::CompressorList(caps).Count());
      gst_caps_unref(caps);
    }
    firstUseMs = double(timer.nsecsElapsed()) / 1e6;
    if (engine.PreviewOnWithGrabber(&window) != 0) {
      state.SkipWithError("preview did not start");
      return;
    }
    timer.restart();
    listed = CountAndNames(engine);
    firstMs = double(timer.nsecsElapsed()) / 1e6;
    if (engine.SetStreamCaps(capture::PinCategory::Capture, 1, 0, 0, nullptr) != 0) {
      state.SkipWithError("format change failed");
      return;
    }
    timer.restart();
    listedAfter = CountAndNames(engine);
    changeMs = double(timer.nsecsElapsed()) / 1e6;
  }
  engine.TearDownGraph();
  if (home) setenv("XDG_CACHE_HOME", kept.c_str(), 1);
  else unsetenv("XDG_CACHE_HOME");
  state.counters["first_use_ms"] = firstUseMs;
  state.counters["first_count_ms"] = firstMs;
  state.counters["after_change_ms"] = changeMs;
  state.counters["listed"] = listed;
  state.counters["listed_after_change"] = listedAfter;
  state.counters["load1"] = LoadAverage();
}
BENCHMARK(BM_FirstCompressorCountAfterPreview)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The encoders' check at a format never checked in the account (an empty cache folder each time,
// a size no list asked for before): median_ms of 5 and the slowest, with the number listed.
void BM_CompressorFirstCheckOfANewFormat(benchmark::State& state) {
  const char* home = std::getenv("XDG_CACHE_HOME");
  const std::string kept = home ? home : "";
  std::vector<double> ms;
  int listed = 0;
  static int fresh = 0;
  for (auto _ : state) {
    for (int i = 0; i < 5; ++i) {
      QTemporaryDir dir;
      setenv("XDG_CACHE_HOME", dir.path().toUtf8().constData(), 1);
      const std::string text = "video/x-raw,format=YUY2,width=" + std::to_string(641 + 2 * fresh++) +
                               ",height=481,framerate=30/1";
      GstCaps* caps = gst_caps_from_string(text.c_str());
      QElapsedTimer timer;
      timer.start();
      listed = capture::CompressorList(caps).Count();
      ms.push_back(double(timer.nsecsElapsed()) / 1e6);
      gst_caps_unref(caps);
    }
  }
  if (home) setenv("XDG_CACHE_HOME", kept.c_str(), 1);
  else unsetenv("XDG_CACHE_HOME");
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["slowest_ms"] = ms.back();
  state.counters["listed"] = listed;
  state.counters["load1"] = LoadAverage();
}
BENCHMARK(BM_CompressorFirstCheckOfANewFormat)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  capture::EnsureGstInit();
  virtcam::Register();
  virtcam::HideRealProviders();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
