// The history window over 100,000 members and 1,000,000 history rows, through the real ODBC data
// source:
//  - one month (about 30,000 rows) from the query to the grid shown with its photo buttons drawn
//    (target: 500 ms);
//  - the same month restricted to 1,500 chosen members;
//  - the CSV export of the month's rows (target: 300 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include "common/globals.h"
#include "history/HistGridModel.h"
#include "history/frmHist.h"
#include "support/bench_support.h"
#include "support/support_program.h"
#include "ui/msgbox.h"

namespace {

std::unique_ptr<testsupport::ProgramFolder> gFolder;

// June 2025 of the filled history: about 30,300 rows.
constexpr int kFrom = 20250600, kTo = 20250699;

void UnloadWindow() {
  frmHist::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens the history window on the month and shows it with its grid painted; the rows shown.
int ShowMonth() {
  glngHistFrom = kFrom;
  glngHistTo = kTo;
  frmHist& f = frmHist::instance();
  f.show();
  f.fgHist->viewport()->repaint();
  QApplication::processEvents();
  return f.Grid().Count();
}

void BM_MonthToGridShown(benchmark::State& state) {
  const int chosen = static_cast<int>(state.range(0));
  gblnIDSel = chosen > 0;
  gstrIDList.clear();
  for (int i = 0; i < chosen; ++i) gstrIDList << benchsupport::MemberId(i * 61);
  glngIDCount = chosen;
  int rows = 0;
  for (auto _ : state) {
    rows = ShowMonth();
    state.PauseTiming();
    UnloadWindow();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
  gblnIDSel = false;
  glngIDCount = 0;
}
BENCHMARK(BM_MonthToGridShown)->ArgName("chosen_ids")->Arg(0)->Arg(1500)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_MonthCsvExport(benchmark::State& state) {
  gblnIDSel = false;
  const int rows = ShowMonth();
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/month.csv");
  for (auto _ : state)
    if (!frmHist::instance().frmHist_CSVHist(path)) state.SkipWithError("the export failed");
  state.counters["rows"] = rows;
  UnloadWindow();
}
BENCHMARK(BM_MonthCsvExport)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::RunBenchmarks(
      argc, argv,
      [] {
        ui::SetMsgBoxHook([](const QString& text, int, const QString&) {
          std::fprintf(stderr, "message: %s\n", qPrintable(text));
          return int(ui::vbOK);
        });
        gFolder = benchsupport::OpenFilledStation();
        return gFolder != nullptr;
      },
      [] { gFolder.reset(); });
}
