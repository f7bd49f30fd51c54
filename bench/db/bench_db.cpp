// Station database speed through the real ODBC data source:
//  - one event's database work: member lookup by ID among 100,000 members, the LastIn update and
//    one history insert, apart and in one transaction;
//  - the history window's month query (tblHist LEFT JOIN tblData) over 1,000,000 history rows,
//    one month of about 30,000 rows fetched; the same query through Qt's QSQLITE for the ratio.
#include <benchmark/benchmark.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "db/db.h"
#include "common/globals.h"
#include "common/StationRecords.h"
#include "support/bench_support.h"
#include "support/support_program.h"

namespace {

using benchsupport::kMembers;
const char* kMonthQuery =
    "SELECT tblHist.SEQ, tblHist.ID, tblData.UserName, tblData.UserAdd, tblHist.IOName, "
    "tblHist.inDate, tblHist.inTime, tblHist.imgFile FROM tblHist LEFT JOIN tblData ON "
    "tblHist.ID = tblData.ID WHERE tblHist.inDate >= ? AND tblHist.inDate <= ? "
    "ORDER BY tblHist.inDate, tblHist.inTime";

constexpr int kMonthFrom = 20250601, kMonthTo = 20250631;

std::unique_ptr<testsupport::ProgramFolder> gFolder;

// The month query stepped through Qt's own value reading on `database`, every value read when
// `readValues`; returns the rows.
int StepMonthQuery(const QSqlDatabase& database, bool readValues) {
  QSqlQuery q(database);
  q.setForwardOnly(true);
  q.prepare(kMonthQuery);
  q.addBindValue(kMonthFrom);
  q.addBindValue(kMonthTo);
  q.exec();
  int rows = 0;
  while (q.next()) {
    if (readValues)
      for (int c = 0; c < 8; ++c) benchmark::DoNotOptimize(q.value(c));
    ++rows;
  }
  return rows;
}

// One event's database work as the road does it: the lookup, then the member's last time and the
// history row, each on its own (in_transaction 0, as the road wrote them before) or together in
// one transaction (1, as it does now).
void BM_EventDatabaseWork(benchmark::State& state) {
  const bool together = state.range(0) != 0;
  int n = 0;
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const QString id = benchsupport::MemberId((n * 7919) % kMembers);
    ++n;
    MemberRecord member;
    if (FindMember(id, member) != LookupResult::Found) state.SkipWithError("member not found");
    const QString now = QStringLiteral("2026/12/08 09:05:00");
    const HistoryRow row{id, IoName(true), 20261208, QStringLiteral("09:05:00"), QString()};
    const bool stored = together ? RecordEvent(id, true, now, row) == EventWrite::Stored
                                 : WriteLastTime(id, true, now) && InsertHistoryRow(row);
    if (!stored) state.SkipWithError("the event was not stored");
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[ms.size() * 99 / 100];
}
BENCHMARK(BM_EventDatabaseWork)->ArgName("in_transaction")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(500)->Repetitions(1);

void BM_MonthQueryOdbc(benchmark::State& state) {
  int rows = 0;
  for (auto _ : state) {
    db::Recordset rs;
    rs.Open(gcnDB(), kMonthQuery, {kMonthFrom, kMonthTo});
    rows = rs.RecordCount();
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_MonthQueryOdbc)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MonthQueryQSqlite(benchmark::State& state) {
  QSqlDatabase lite = QSqlDatabase::addDatabase("QSQLITE", "direct");
  lite.setDatabaseName(gFolder->DatabaseFile());
  lite.open();
  int rows = 0;
  for (auto _ : state) rows = StepMonthQuery(lite, true);
  state.counters["rows"] = rows;
}
BENCHMARK(BM_MonthQueryQSqlite)->Unit(benchmark::kMillisecond)->Iterations(10);

// The month query fetched through Qt's own QODBC value reading (what the record set avoids):
// stepping alone, and stepping with every value read.
void BM_MonthQueryQtFetch(benchmark::State& state) {
  int rows = 0;
  for (auto _ : state) rows = StepMonthQuery(gcnDB().Database(), state.range(0) != 0);
  state.counters["rows"] = rows;
}
BENCHMARK(BM_MonthQueryQtFetch)->Arg(0)->Arg(1)->ArgName("read_values")->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::RunBenchmarks(
      argc, argv,
      [] {
        QString error;
        gFolder = benchsupport::OpenFilledStation(&error);
        if (gFolder) return true;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
      },
      [] { gFolder.reset(); });
}
