// Printing speed to PDF files, on the station database of its intended size:
//  - ID card sheets for 1,000 members chosen by an ID range (the member query included), with a
//    JPEG logo and a barcode on every card: 100 sheets, 100 files (target: 10 s at most);
//  - the per-day history report of one month, about 30,000 rows: about 500 pages, 500 files.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <memory>

#include "common/PictureBox.h"
#include "common/globals.h"
#include "db/db.h"
#include "history/HistoryReports.h"
#include "history/IdCardSheet.h"
#include "history/MemberSelection.h"
#include "printing/printing.h"
#include "support/bench_support.h"
#include "support/support_program.h"

namespace {

std::unique_ptr<testsupport::ProgramFolder> gFolder;
std::vector<ReportRow> gMonth;

void BM_CardSheets1000Members(benchmark::State& state) {
  QWidget window;
  PictureBox logo(&window);
  for (auto _ : state) {
    QTemporaryDir out;
    printing::Printer printer;
    printer.SetOutputFile(out.filePath("cards.pdf"));
    db::Recordset members;
    const MemberSelection range{MemberSelection::Kind::Range, {}, benchsupport::MemberId(5000),
                                benchsupport::MemberId(5999)};
    QString error;
    if (!OpenMemberSelection(gcnDB(), members, range, &error) ||
        !PrintIdCards(printer, members, members.RecordCount(), QStringLiteral("中央図書館"),
                      gFolder->Path() + "image/logo.jpg", logo, &error))
      state.SkipWithError(qPrintable(error));
    state.counters["sheets"] = printer.JobFiles().size();
    state.counters["cards"] = members.RecordCount();
  }
}
BENCHMARK(BM_CardSheets1000Members)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

void BM_PerDayReportOneMonth(benchmark::State& state) {
  for (auto _ : state) {
    QTemporaryDir out;
    printing::Printer printer;
    printer.SetOutputFile(out.filePath("day.pdf"));
    QString error;
    if (!PrintDayHistory(printer, gMonth, 20250600, 20250699, &error))
      state.SkipWithError(qPrintable(error));
    state.counters["rows"] = static_cast<double>(gMonth.size());
    state.counters["pages"] = printer.JobFiles().size();
  }
}
BENCHMARK(BM_PerDayReportOneMonth)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

// The month's rows as the history window's grid holds them, sorted by date.
bool ReadMonth(QString* error) {
  db::Recordset rs;
  if (!rs.Open(gcnDB(),
               QStringLiteral("SELECT tblHist.ID, tblData.UserName, tblData.UserAdd, tblHist.IOName, "
                              "tblHist.inDate, tblHist.inTime FROM tblHist LEFT JOIN tblData ON "
                              "tblHist.ID = tblData.ID WHERE inDate > ? AND inDate < ? "
                              "ORDER BY tblHist.inDate, tblHist.inTime, tblHist.ID"),
               {20250600, 20250699})) {
    *error = rs.LastError();
    return false;
  }
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    {
    QStringList v;
    for (int c = 0; c < 6; ++c) v << rs.Value(c).toString();
    gMonth.push_back({v[0], v[1], v[2], v[3], v[4], v[5]});
  }
  return !gMonth.empty();
}

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::RunBenchmarks(
      argc, argv,
      [] {
        gFolder = benchsupport::OpenFilledStation();
        if (!gFolder) return false;
        QImage logo(400, 300, QImage::Format_RGB32);
        logo.fill(QColor(30, 90, 160));
        QDir().mkpath(gFolder->Path() + "image");
        logo.save(gFolder->Path() + "image/logo.jpg", "JPEG", 90);
        QString error;
        if (ReadMonth(&error)) return true;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
      },
      [] { gFolder.reset(); });
}
