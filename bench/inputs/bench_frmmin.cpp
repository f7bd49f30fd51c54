// The minimized station under a stream of scans through a pty with CR LF end marks, mail off,
// every ID a distinct member scanned once. Every ID must be handled exactly once (as many grid rows
// and history rows as scans).
//
// ScanIntoMinimizedStation: 1,000 scans, the chk wave played on the sound layer's test sink for
// every event. Reported: IDs per second and the resident memory before and after the run.
//   paced:   the line carries 9600 baud (960 characters a second), as a reader would send;
//   unpaced: the frames are written as fast as the pty takes them (the station's own limit).
//
// ScanWithSoundOn: 2,000 unpaced scans with the station's voice on (one of three numbered waves
// for every event), played to fakesink. Reported: the resident memory after the first 100 events
// and at the end, and the growth between them (should stay within 1 MiB).
//
//   build/bin/bench_inputs --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "db/db.h"
#include "desk/frmIOMess.h"
#include "desk/frmMin.h"
#include "sound/sound.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "common/mdlStation.h"
#include "support/bench_support.h"
#include "support/support_program.h"
#include "support/support_pty.h"
#include "ui/clock.h"

namespace {

constexpr int kMembers = 1000;
constexpr int kPort = 8;

double ResidentMiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
  return 0;
}

// A short silent PCM wave (8 kHz, 8 bit, mono, 50 ms).
QByteArray SilentWave() {
  const quint32 samples = 400;
  QByteArray w;
  auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) w.append(char((v >> (8 * i)) & 0xff)); };
  auto u16 = [&](quint16 v) { w.append(char(v & 0xff)).append(char(v >> 8)); };
  w += "RIFF"; u32(36 + samples); w += "WAVEfmt "; u32(16); u16(1); u16(1); u32(8000); u32(8000);
  u16(1); u16(8); w += "data"; u32(samples); w += QByteArray(samples, char(0x80));
  return w;
}

int Count(const char* sql) {
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QString::fromLatin1(sql)) || rs.Eof()) return -1;
  return rs.Value(0).toInt();
}

// The program folder of the whole run: the ODBC driver manager keeps the data source files it
// read first for the life of the process, so every benchmark works on this folder's database.
testsupport::ProgramFolder& RunFolder() {
  static testsupport::ProgramFolder* folder = [] {
    auto* f = new testsupport::ProgramFolder;
    f->CreateDatabase();
    return f;
  }();
  return *folder;
}

// The run's program folder with `members` members and no history, the waves, a pty as the
// reader's port and the minimized station loaded on it.
class Station {
 public:
  explicit Station(int members, bool voice) : folder_(RunFolder()) {
    QString error;
    if (!gcnDB().IsOpen() && !OpenStationDatabase(&error)) std::fprintf(stderr, "%s\n", qPrintable(error));
    db::Execute(gcnDB(), QStringLiteral("DELETE FROM tblHist"));
    db::Execute(gcnDB(), QStringLiteral("DELETE FROM tblData"));
    QDir(folder_.Path() + QStringLiteral("log")).removeRecursively();
    gcnDB().Begin();
    for (int i = 0; i < members; ++i)
      folder_.AddMember(QString::number(100000 + i), QStringLiteral("利用者 %1").arg(i));
    gcnDB().Commit();
    folder_.WriteBytes(QStringLiteral("wave/chk.wav"), SilentWave());
    for (int n = 1; n <= kVoices; ++n)
      folder_.WriteBytes(QStringLiteral("wave/wav%1.wav").arg(NumberedName(n)), SilentWave());
    pty_.UseAsPort(kPort);
    gintBarConnect = 2;
    gintBarPort = kPort;
    gblnSendMail = false;
    gblnSound = voice;
    glngWavNum = kVoices;
    gblnLog = true;
    glngIntTime = 1;
    glngInOutTime = 5;
    sound::SetOutput(QStringLiteral("fakesink"));
    sound::SetPlayObserver([this](const QString&, bool played) { sounds += played ? 1 : 0; });
    SetEndProgramHook([] {});
    frmMin::instance();
  }
  ~Station() {
    frmMin::Unload();
    frmIOMess::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetEndProgramHook({});
    sound::SetPlayObserver({});
    sound::SetOutput(QString());
  }

  // Sends IDs 100000 to 100000 + count - 1 from a second thread (at 9600 baud when paced) and
  // lets the station handle them until every one has its grid row or two minutes have passed.
  // `onEvent` sees the number of rows after every new one. Returns the seconds taken.
  double Scan(int count, bool paced, const std::function<void(int rows)>& onEvent = {}) {
    frmMin& form = frmMin::instance();
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> done{false};
    std::thread reader([&] {
      const auto start = std::chrono::steady_clock::now();
      qint64 sent = 0;
      for (int i = 0; i < count && !done; ++i) {
        const QByteArray frame = QByteArray::number(100000 + i) + "\r\n";
        pty_.Send(frame);
        sent += frame.size();
        if (paced)  // 10 bits a character at 9600 baud
          std::this_thread::sleep_until(start + std::chrono::microseconds(sent * 1000000 / 960));
      }
    });
    while (rows < count && clock.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      while (!form.TextMatrix(rows + 1, 1).isEmpty()) {
        ++rows;
        if (onEvent) onEvent(rows);
      }
    }
    const double seconds = clock.elapsed() / 1000.0;
    done = true;
    reader.join();
    QCoreApplication::processEvents();
    return seconds;
  }

  // True when every one of `count` IDs left exactly one grid row and one history row.
  bool HandledOnce(int count) const {
    return rows == count && Count("SELECT COUNT(*) FROM tblHist") == count &&
           Count("SELECT COUNT(DISTINCT ID) FROM tblHist") == count;
  }

  int rows = 0;
  int sounds = 0;

 private:
  static constexpr int kVoices = 3;
  testsupport::ProgramFolder& folder_;
  testsupport::PtyPair pty_;
};

void ScanIntoMinimizedStation(benchmark::State& state) {
  const bool paced = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto station = std::make_unique<Station>(kMembers, false);
    const double rssBefore = ResidentMiB();
    state.ResumeTiming();
    const double seconds = station->Scan(kMembers, paced);
    state.PauseTiming();
    state.counters["ids_per_s"] = station->rows / seconds;
    state.counters["grid_rows"] = station->rows;
    state.counters["hist_rows"] = Count("SELECT COUNT(*) FROM tblHist");
    state.counters["sounds"] = station->sounds;
    state.counters["rss_before_MiB"] = rssBefore;
    state.counters["rss_after_MiB"] = ResidentMiB();
    const bool once = station->HandledOnce(kMembers);
    station.reset();
    if (!once) {
      state.SkipWithError("not every ID was handled exactly once");
      break;
    }
    state.ResumeTiming();
  }
}
BENCHMARK(ScanIntoMinimizedStation)
    ->ArgName("paced_9600")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void ScanWithSoundOn(benchmark::State& state) {
  constexpr int kScans = 2000;
  constexpr int kSettled = 100;
  for (auto _ : state) {
    state.PauseTiming();
    auto station = std::make_unique<Station>(kScans, true);
    double rssSettled = 0;
    state.ResumeTiming();
    station->Scan(kScans, false, [&](int rows) {
      if (rows == kSettled) rssSettled = ResidentMiB();
    });
    state.PauseTiming();
    const double rssEnd = ResidentMiB();
    state.counters["events"] = station->rows;
    state.counters["sounds"] = station->sounds;
    state.counters["rss_at_100_MiB"] = rssSettled;
    state.counters["rss_end_MiB"] = rssEnd;
    state.counters["growth_MiB"] = rssEnd - rssSettled;
    const bool once = station->HandledOnce(kScans) && station->sounds == kScans;
    station.reset();
    if (!once) {
      state.SkipWithError("not every ID was handled and sounded exactly once");
      break;
    }
    state.ResumeTiming();
  }
}
BENCHMARK(ScanWithSoundOn)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return benchsupport::RunBenchmarks(argc, argv); }
