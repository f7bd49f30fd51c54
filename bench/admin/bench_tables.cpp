// The settings window's member table over 10,000 members behind the real ODBC data source: the
// switch to the member table (the members loaded into the shown grid), and the save after 100 of
// them were edited. Targets: 500 ms and 300 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>

#include <memory>

#include "admin/TableModels.h"
#include "admin/frmSet.h"
#include "common/MemberRoster.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "support/bench_support.h"
#include "support/support_program.h"

namespace {

constexpr int kMembers = 10000;
std::unique_ptr<testsupport::ProgramFolder> gFolder;

bool Setup() {
  gFolder = benchsupport::OpenStationFolder();
  if (!gFolder) return false;
  benchsupport::FillStationDatabase(gFolder->DatabaseFile(), kMembers, 0);
  frmSet::instance().show();
  return true;
}

void Teardown() {
  windows::UnloadAll();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  gFolder.reset();
}

// The member table loaded and shown.
void BM_LoadMembers(benchmark::State& state) {
  frmSet& f = frmSet::instance();
  for (auto _ : state) {
    f.default_fgData();
    f.fgData->viewport()->repaint();
    if (MemberRoster::Shared().Count() != kMembers) state.SkipWithError("not every member loaded");
  }
}
BENCHMARK(BM_LoadMembers)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100 members edited, then saved (checks and writes).
void BM_SaveAfterHundredEdits(benchmark::State& state) {
  frmSet& f = frmSet::instance();
  f.default_fgData();
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ++round;
    for (int i = 0; i < 100; ++i)
      f.MemberModel().SetText(i * 97, MemberTableModel::ColName, QStringLiteral("編集%1-%2").arg(round).arg(i));
    state.ResumeTiming();
    const QString error = f.frmSet_SaveMembers();
    if (!error.isEmpty()) state.SkipWithError(qPrintable(error));
  }
}
BENCHMARK(BM_SaveAfterHundredEdits)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return benchsupport::RunBenchmarks(argc, argv, Setup, Teardown); }
