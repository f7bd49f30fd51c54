// The minimized station under a stream of scans: 1,000 distinct members, each scanned once
// through a pty with CR LF end marks, mail off, the chk wave played on the sound layer's test
// sink for every event. One repetition is the whole run; every ID must be handled exactly once
// (1,000 grid rows and history rows). Reported: IDs per second and the resident memory before
// and after the run.
//
//   paced:   the line carries 9600 baud (960 characters a second), as a reader would send;
//   unpaced: the frames are written as fast as the pty takes them (the station's own limit).
//
//   build/bin/bench_inputs --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>

#include "db/db.h"
#include "desk/BarcodeFrame.h"
#include "desk/frmIOMess.h"
#include "desk/frmMin.h"
#include "sound/sound.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
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

void ScanIntoMinimizedStation(benchmark::State& state) {
  const bool paced = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    testsupport::ProgramFolder folder;
    folder.CreateDatabase();
    gcnDB().Database().transaction();
    for (int i = 0; i < kMembers; ++i)
      folder.AddMember(QString::number(100000 + i), QStringLiteral("利用者 %1").arg(i));
    gcnDB().Database().commit();
    folder.WriteBytes(QStringLiteral("wave/chk.wav"), SilentWave());
    testsupport::PtyPair pty;
    pty.UseAsPort(kPort);
    gintBarConnect = 2;
    gintBarPort = kPort;
    gblnSendMail = false;
    gblnSound = false;
    gblnLog = true;
    glngIntTime = 1;
    glngInOutTime = 5;
    int sounds = 0;
    sound::SetOutput(QStringLiteral("fakesink"));
    sound::SetPlayObserver([&](const QString&, bool played) { sounds += played ? 1 : 0; });
    SetEndProgramHook([] {});
    frmMin& form = frmMin::instance();
    const double rssBefore = ResidentMiB();
    state.ResumeTiming();

    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> done{false};
    std::thread reader([&] {
      const auto start = std::chrono::steady_clock::now();
      qint64 sent = 0;
      for (int i = 0; i < kMembers && !done; ++i) {
        const QByteArray frame = QByteArray::number(100000 + i) + "\r\n";
        pty.Send(frame);
        sent += frame.size();
        if (paced)  // 10 bits a character at 9600 baud
          std::this_thread::sleep_until(start + std::chrono::microseconds(sent * 1000000 / 960));
      }
    });
    while (form.fgHist->rowCount() - 1 < kMembers && clock.elapsed() < 120000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double seconds = clock.elapsed() / 1000.0;
    done = true;
    reader.join();

    state.PauseTiming();
    QCoreApplication::processEvents();
    const int gridRows = form.fgHist->rowCount() - 1;
    const int histRows = Count("SELECT COUNT(*) FROM tblHist");
    const int distinct = Count("SELECT COUNT(DISTINCT ID) FROM tblHist");
    state.counters["ids_per_s"] = gridRows / seconds;
    state.counters["grid_rows"] = gridRows;
    state.counters["hist_rows"] = histRows;
    state.counters["sounds"] = sounds;
    state.counters["rss_before_MiB"] = rssBefore;
    state.counters["rss_after_MiB"] = ResidentMiB();
    if (gridRows != kMembers || histRows != kMembers || distinct != kMembers)
      state.SkipWithError("not every ID was handled exactly once");
    frmMin::Unload();
    frmIOMess::Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetEndProgramHook({});
    sound::SetPlayObserver({});
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

}  // namespace

int main(int argc, char** argv) { return benchsupport::RunBenchmarks(argc, argv); }
