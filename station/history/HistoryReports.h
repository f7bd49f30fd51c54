#pragma once
// The printed history reports of the rows the history window shows: per day (all rows in date
// order, a rule between days, 60 lines a page, every page its own job) and per member (each
// member on sheets of his own, an entry and its exit on one line), and the window's two print
// commands around them.
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace printing {
class Printer;
}

// One data row of the history grid (its columns 1 to 6).
struct ReportRow {
  QString id;
  QString name;
  QString honorific;
  QString ioName;  // "入室" or "退室"
  QString date;    // yyyymmdd
  QString time;    // hh:mm:ss
};

// Lines of body text on one page of either report (day rules included).
constexpr int kReportLinesPerPage = 60;

// "yyyy/mm/01 ～ yyyy/mm/dd" from the query's bounds (yyyymm00 and yyyymm99 numbers): the first
// day of the first month to the last day of the last month; "全期間" when the bounds are not
// months (the query over all months).
QString ReportPeriodText(int startYM, int endYM);

// The reports, printed on `printer` (scale set to millimetres, A4 portrait). False at the first
// printer failure, `error` telling why; the jobs ended before stay printed.
bool PrintDayHistory(printing::Printer& printer, const std::vector<ReportRow>& rows, int startYM,
                     int endYM, QString* error = nullptr);
bool PrintMemberHistory(printing::Printer& printer, const std::vector<ReportRow>& rows, int startYM,
                        int endYM, QString* error = nullptr);

enum class HistoryReport { PerDay, PerMember };

// What the history window's query gives a print command: the grid's data rows and the bounds of
// the last query that found rows.
struct ReportData {
  std::vector<ReportRow> rows;
  int startYM = 0;
  int endYM = 0;
};

// The print command of the history window's "日別印刷" (PerDay) and "ID別印刷" (PerMember)
// buttons. `gridHasRows`: the grid holds a data row. `requery(sort)` re-runs the window's query
// with that sort value (1 by date, 0 by ID) and returns the refilled grid; `progress` writes the
// window's progress line. Shows the messages, the printer dialog, prints on the program's
// printer object and logs the run.
void RunHistoryReport(HistoryReport report, bool gridHasRows, QWidget* owner,
                      const std::function<ReportData(int sort)>& requery,
                      const std::function<void(const QString&)>& progress);
