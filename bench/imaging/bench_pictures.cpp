// Speed of the BMP to JPEG conversion against the bare encoder on the same pixels, and of the
// JPEG size probe on a large file whose frame header lies behind large application segments.
//
//   build-*/bin/bench_pictures --benchmark_repetitions=15 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <fstream>
#include <map>
#include <string>

#include "common/imgctl_util.h"
#include "common/mdlPicture.h"

namespace {

QTemporaryDir& Dir() {
  static QTemporaryDir dir;
  return dir;
}

// A camera-like still: smooth shading with some sensor noise, as a 24-bit bottom-up BMP.
struct Still {
  QString bmpPath;
  QByteArray bgrBottomUp;  // the BMP's own pixel rows
  int width = 0, height = 0, stride = 0;
};

const Still& StillOf(int w, int h) {
  static std::map<std::pair<int, int>, Still> stills;
  auto it = stills.find({w, h});
  if (it != stills.end()) return it->second;
  Still s;
  s.width = w;
  s.height = h;
  s.stride = (w * 3 + 3) & ~3;
  s.bgrBottomUp = QByteArray(s.stride * h, '\0');
  QRandomGenerator noise(7);
  for (int row = 0; row < h; ++row) {
    uchar* line = reinterpret_cast<uchar*>(s.bgrBottomUp.data()) + row * s.stride;
    for (int x = 0; x < w; ++x) {
      const int n = int(noise.bounded(12));
      line[3 * x] = uchar(std::min(255, 60 + x * 120 / w + n));
      line[3 * x + 1] = uchar(std::min(255, 40 + row * 160 / h + n));
      line[3 * x + 2] = uchar(std::min(255, 90 + (x + row) * 100 / (w + h) + n));
    }
  }
  QByteArray bmp(54, '\0');
  auto put = [&](int at, quint32 v, int n) {
    for (int i = 0; i < n; ++i) bmp[at + i] = char(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put(2, 54 + s.bgrBottomUp.size(), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, w, 4);
  put(22, h, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, s.bgrBottomUp.size(), 4);
  s.bmpPath = Dir().filePath(QStringLiteral("still%1x%2.bmp").arg(w).arg(h));
  QFile f(s.bmpPath);
  f.open(QIODevice::WriteOnly);
  f.write(bmp + s.bgrBottomUp);
  f.close();
  return stills.emplace(std::make_pair(w, h), std::move(s)).first->second;
}

void BM_ConvertBmpToJpg(benchmark::State& state) {
  const Still& s = StillOf(int(state.range(0)), int(state.range(1)));
  const QString jpg = Dir().filePath(QStringLiteral("out.jpg"));
  for (auto _ : state) {
    if (!ConvertBmpToJpg(jpg, s.bmpPath, 100, 0)) state.SkipWithError("conversion failed");
  }
}

// The encoder alone on the same pixels: no file read, no file written.
void BM_TurboJpegEncode(benchmark::State& state) {
  const Still& s = StillOf(int(state.range(0)), int(state.range(1)));
  tjhandle tj = tjInitCompress();
  for (auto _ : state) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, reinterpret_cast<const uchar*>(s.bgrBottomUp.constData()), s.width,
                    s.stride, s.height, TJPF_BGR, &out, &size, TJSAMP_444, 100,
                    TJFLAG_BOTTOMUP) != 0)
      state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(out);
    tjFree(out);
  }
  tjDestroy(tj);
}

// Bytes this process has read through read() so far.
long long BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

void BM_GetImageSizeOf20MBJpeg(benchmark::State& state) {
  const QString path = Dir().filePath(QStringLiteral("big.jpg"));
  static qint64 fileSize = 0;
  if (fileSize == 0) {
    const QString small = Dir().filePath(QStringLiteral("small.jpg"));
    ConvertBmpToJpg(small, StillOf(640, 480).bmpPath, 100, 0);
    QFile in(small);
    in.open(QIODevice::ReadOnly);
    const QByteArray jpeg = in.readAll();
    QByteArray big = jpeg.left(2);
    const QByteArray segment = QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray(65533, 'x');
    while (big.size() < 20 * 1024 * 1024) big += segment;
    big += jpeg.mid(2);
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(big);
    fileSize = big.size();
  }
  // What reading the counter itself costs, taken off every reading.
  const long long first = BytesReadSoFar();
  const long long overhead = BytesReadSoFar() - first;
  long long bytes = 0;
  for (auto _ : state) {
    const long long before = BytesReadSoFar();
    const ImageSize size = GetImageSize(path, 0);
    bytes = BytesReadSoFar() - before - overhead;
    if (size.Kind != 3 || size.PixelWidth != 640) state.SkipWithError("not measured");
  }
  state.counters["file_bytes"] = double(fileSize);
  state.counters["bytes_read"] = double(bytes);
}

BENCHMARK(BM_ConvertBmpToJpg)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurboJpegEncode)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetImageSizeOf20MBJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
