// Station database speed through the real ODBC data source:
//  - one event's database work: member lookup by ID among 100,000 members, the LastIn update and
//    one history insert, apart and in one transaction;
//  - the history window's month query (tblHist LEFT JOIN tblData) over 1,000,000 history rows,
//    one month of about 30,000 rows fetched; the same query through Qt's QSQLITE for the ratio.
// Both on SQLite (driver:0, the data source of a program folder) and on a PostgreSQL server the
// program starts for itself (driver:1, psqlODBC, the same tables and rows).
#include <benchmark/benchmark.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "db/db.h"
#include "common/globals.h"
#include "common/StationRecords.h"
#include "common/mdlDB.h"
#include "support/bench_support.h"
#include "support/support_postgres.h"
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
// The server database, reached without a data source (the process's "Pardix" is the folder's).
QString gServerConnect;

// Opens the station's connection gcnDB() on SQLite (0) or on the server (1).
bool UseDriver(benchmark::State& state, int driver) {
  QString error;
  const bool open = driver == 0 ? OpenStationDatabase(&error)
                                : gcnDB().Open(gServerConnect, QLatin1String(kStationDbUser),
                                               QLatin1String(kStationDbPassword));
  if (!open) state.SkipWithError(qPrintable(driver == 0 ? error : gcnDB().LastError()));
  return open;
}

// Creates the station's tables in a new database of the program's PostgreSQL server and loads the
// same members and history as the SQLite file.
bool FillServerDatabase() {
  testsupport::PostgresServer& server = testsupport::PostgresServer::Shared();
  QString error;
  const QString database = server.Port() ? server.CreateDatabase(&error) : QString();
  if (database.isEmpty()) {
    std::fprintf(stderr, "PostgreSQL: %s %s\n", qPrintable(server.Error()), qPrintable(error));
    return false;
  }
  gServerConnect = QStringLiteral("DRIVER={PostgreSQL Unicode};Servername=127.0.0.1;Port=%1;Database=%2;")
                       .arg(server.Port())
                       .arg(database);
  db::Connection creator;
  const bool ok =
      creator.Open(gServerConnect, QLatin1String(kStationDbUser), QLatin1String(kStationDbPassword)) &&
      CreateStationTables(creator, &error) && WriteInitialRows(creator, "admin", "9999", &error) &&
      server.Psql(database, {"-c", "COPY tblData (ID, UserName, UserAdd, NameKana, MailName, MailAddr, "
                                   "\"Date\", \"Update\", LastIn, LastOut) FROM STDIN"},
                  benchsupport::MemberCopyRows(), &error) &&
      server.Psql(database, {"-c", "COPY tblHist (ID, IOName, inDate, inTime, imgFile) FROM STDIN"},
                  benchsupport::HistoryCopyRows(), &error) &&
      server.Psql(database, {"-c", "VACUUM ANALYZE"}, {}, &error);
  if (!ok) std::fprintf(stderr, "PostgreSQL: %s %s\n", qPrintable(creator.LastError()), qPrintable(error));
  return ok;
}

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
  if (!UseDriver(state, static_cast<int>(state.range(1)))) return;
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
BENCHMARK(BM_EventDatabaseWork)->ArgNames({"in_transaction", "driver"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(500)->Repetitions(1);

void BM_MonthQueryOdbc(benchmark::State& state) {
  if (!UseDriver(state, static_cast<int>(state.range(0)))) return;
  int rows = 0;
  for (auto _ : state) {
    db::Recordset rs;
    rs.Open(gcnDB(), kMonthQuery, {kMonthFrom, kMonthTo});
    rows = rs.RecordCount();
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_MonthQueryOdbc)->ArgName("driver")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

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
  if (!UseDriver(state, 0)) return;
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
        gFolder = benchsupport::OpenFilledStation();
        if (!gFolder) return false;
        return FillServerDatabase();
      },
      [] { gFolder.reset(); });
}
