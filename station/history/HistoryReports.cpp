#include "history/HistoryReports.h"

#include <QDate>
#include <QTime>

#include "common/mdlLogWrite.h"
#include "history/mdlPrinter.h"
#include "printing/printing.h"
#include "ui/clock.h"
#include "ui/msgbox.h"

namespace {

const QString kRule = QString(80, QLatin1Char('-'));
const QString kEntry = QStringLiteral("入室");

QString CreationText() {
  return QStringLiteral("作成日：　") + ui::Now().date().toString(QStringLiteral("yyyy年MM月dd日"));
}

// "● yyyy/mm/dd (曜)" of a yyyymmdd cell.
QString DatePart(const QString& date) {
  static const QString kDays = QStringLiteral("月火水木金土日");
  const QDate day = QDate::fromString(date, QStringLiteral("yyyyMMdd"));
  const QString weekday = day.isValid() ? QString(kDays.at(day.dayOfWeek() - 1)) : QString();
  return QStringLiteral("● ") + date.left(4) + "/" + date.mid(4, 2) + "/" + date.mid(6) +
         QStringLiteral(" (") + weekday + QStringLiteral(")");
}

// "hh:mm" of an hh:mm:ss cell; a cell that is no time is printed as it stands.
QString TimePart(const QString& time) {
  QTime t = QTime::fromString(time, QStringLiteral("hh:mm:ss"));
  if (!t.isValid()) t = QTime::fromString(time, QStringLiteral("h:m:s"));
  return t.isValid() ? t.toString(QStringLiteral("hh:mm")) : time;
}

// Prints through `printer` and stops the report at the first failure.
class Report {
 public:
  explicit Report(printing::Printer& printer) : p(printer) {}
  bool ok = true;
  printing::Printer& p;

  void Print(const QString& text = QString()) {
    if (ok) ok = p.Print(text);
  }
  void EndDoc() {
    if (ok) ok = p.EndDoc();
  }
  void StartPage() {
    p.SetPaperSize(printing::vbPRPSA4);
    p.SetOrientation(printing::vbPRORPortrait);
  }
  void Setup() {
    p.SetScaleMode(printing::vbMillimeters);
    p.FontName = QStringLiteral("ＭＳ ゴシック");
    p.FontBold = false;
    StartPage();
  }
  // The creation line (after `creationSuffix`) at `creationX`, then the title and the rule.
  void Header(double creationX, const QString& creationSuffix, const QString& title) {
    p.FontSize = 8;
    p.CurrentX = 20;
    p.CurrentY = 20;
    p.CurrentX = creationX;
    Print(CreationText() + creationSuffix + QStringLiteral("\r\n"));
    Print();
    Print();
    p.FontSize = 12;
    p.CurrentX = 20;
    Print(title);
    p.CurrentX = 20;
    Print();
    Print();
    p.CurrentX = 20;
    Print(QStringLiteral("\r\n") + kRule);
    p.FontSize = 10;
    p.CurrentX = 20;
  }
  // The closing rule of a page: one empty line and the rule below the body.
  void Closing() {
    p.FontSize = 12;
    p.CurrentX = 20;
    Print(QStringLiteral("\r\n") + kRule);
  }
  bool Result(QString* error) const {
    if (!ok && error) *error = p.LastError();
    return ok;
  }
};

}  // namespace

namespace {
// The first and the last day of the query's months; false when the bounds are not months.
bool PeriodDays(int startYM, int endYM, QDate& first, QDate& last) {
  const QString start = QString::number(startYM);
  const QString end = QString::number(endYM);
  first = QDate(start.left(4).toInt(), start.mid(4, 2).toInt(), 1);
  const QDate endMonth(end.left(4).toInt(), end.mid(4, 2).toInt(), 1);
  if (start.size() != 8 || end.size() != 8 || !first.isValid() || !endMonth.isValid()) return false;
  last = endMonth.addMonths(1).addDays(-1);
  return true;
}

// The period in a print job's title: "yyyymmdd-yyyymmdd", or "all-dates".
QString PeriodName(int startYM, int endYM) {
  QDate first, last;
  if (!PeriodDays(startYM, endYM, first, last)) return QStringLiteral("all-dates");
  return first.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-') +
         last.toString(QStringLiteral("yyyyMMdd"));
}
}  // namespace

QString ReportPeriodText(int startYM, int endYM) {
  QDate first, last;
  if (!PeriodDays(startYM, endYM, first, last)) return QStringLiteral("全期間");
  return first.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" ～ ") +
         last.toString(QStringLiteral("yyyy/MM/dd"));
}

bool PrintDayHistory(printing::Printer& printer, const std::vector<ReportRow>& rows, int startYM,
                     int endYM, QString* error) {
  Report r(printer);
  const QString title = QStringLiteral("■■　") + ReportPeriodText(startYM, endYM) +
                        QStringLiteral("　入退室履歴 ■■");
  auto header = [&](int page) {
    printer.SetDocName(QStringLiteral("Velmor day history %1 page %2")
                           .arg(PeriodName(startYM, endYM))
                           .arg(page));
    r.Header(135, QStringLiteral(" %1 ページ").arg(page), title);
  };
  int page = 1;
  r.Setup();
  header(page);
  int lines = 0;
  QString previousDate;
  for (size_t i = 0; i < rows.size() && r.ok; ++i) {
    const ReportRow& row = rows[i];
    printer.FontSize = 10;
    if (row.date > previousDate && !previousDate.isEmpty()) {
      printer.CurrentX = 20;
      r.Print(kRule);
      ++lines;
    }
    printer.CurrentX = 20;
    ++lines;
    r.Print(DatePart(row.date) + " " + TimePart(row.time) + " " + row.ioName + " ID:" + row.id +
            QString(std::max<qsizetype>(0, 15 - row.id.size()), QLatin1Char(' ')) + " " + row.name +
            " " + row.honorific);
    if (lines >= kReportLinesPerPage) {
      r.Closing();
      lines = 0;
      ++page;
      previousDate.clear();
      r.EndDoc();
      r.StartPage();
      if (i + 1 < rows.size()) header(page);
      printer.FontSize = 10;
    } else {
      previousDate = row.date;
    }
  }
  // A page break after the last row leaves nothing to close: no sheet with a rule alone.
  if (lines > 0 || rows.empty()) {
    r.Closing();
    r.EndDoc();
  }
  return r.Result(error);
}

bool PrintMemberHistory(printing::Printer& printer, const std::vector<ReportRow>& rows, int startYM,
                        int endYM, QString* error) {
  Report r(printer);
  const QString period = ReportPeriodText(startYM, endYM);
  int lines = 0;             // body lines on the page: entries and exits on lines of their own
  double rememberedY = 0;    // the line of the latest entry
  bool entryOpen = false;    // that entry's exit is still to come
  int page = 0;  // the member's own sheets, counted from 1
  QString previousId;  // the member of the line printed last
  auto header = [&](const ReportRow& row) {
    page = row.id == previousId ? page + 1 : 1;
    printer.SetDocName(QStringLiteral("Velmor history of ID %1 %2 page %3")
                           .arg(row.id, PeriodName(startYM, endYM))
                           .arg(page));
    r.Header(155, QString(),
             QStringLiteral("■■　") + row.id + QStringLiteral("：") + row.name + " " + row.honorific +
                 QStringLiteral("　") + period + QStringLiteral(" 入退室履歴 ■■"));
    lines = 0;
    rememberedY = printer.CurrentY;
    entryOpen = false;
  };
  // Closes the page: after a short page the rule stands at a fixed place, else below the body.
  auto closePage = [&] {
    printer.FontSize = 12;
    printer.CurrentX = 20;
    if (lines > 25)
      r.Print();
    else
      printer.CurrentY = 160;
    r.Closing();
    r.EndDoc();
  };

  r.Setup();
  if (rows.empty()) return true;
  header(rows.front());
  for (const ReportRow& row : rows) {
    if (!r.ok) break;
    const bool entry = row.ioName == kEntry;
    if (row.id != previousId && !previousId.isEmpty()) {
      closePage();
      r.StartPage();
      header(row);
    } else if ((entry || !entryOpen) && lines >= kReportLinesPerPage) {
      // A member with more lines than a page holds goes on over further pages.
      closePage();
      r.StartPage();
      header(row);
    }
    printer.CurrentX = 20;
    if (entry) {
      ++lines;
      // Kept exact: a y rounded to whole millimetres puts the exit off its entry's line.
      rememberedY = printer.CurrentY;
      r.Print(DatePart(row.date) + " " + row.ioName + QStringLiteral("：") + TimePart(row.time));
      entryOpen = true;
    } else {
      // An exit goes on its entry's line; one without an entry above it starts a line of its own.
      printer.CurrentX = 90;
      if (entryOpen)
        printer.CurrentY = rememberedY;
      else
        ++lines;
      r.Print(row.ioName + QStringLiteral("：") + TimePart(row.time));
      entryOpen = false;
    }
    previousId = row.id;
  }
  if (r.ok) closePage();
  return r.Result(error);
}

void RunHistoryReport(HistoryReport report, bool gridHasRows, QWidget* owner,
                      const std::function<ReportData(int sort)>& requery,
                      const std::function<void(const QString&)>& progress) {
  const bool perDay = report == HistoryReport::PerDay;
  const QString logWord = perDay ? QStringLiteral("日別履歴印刷") : QStringLiteral("ID別履歴印刷");
  if (!gridHasRows) {
    ui::MsgBox(QStringLiteral("対象データがありません。"), ui::vbInformation,
               QStringLiteral("処理の確認"));
    return;
  }
  progress(QStringLiteral("表示データをソート中．．．"));
  const ReportData data = requery(perDay ? 1 : 0);
  progress(QString());
  if (!PrinterInstalled()) return;
  if (!ShowPrinterDialog(kPrintSetupFlags, owner)) return;
  SetDefaultPrinter(printing::ThePrinter().DeviceName());

  progress(QStringLiteral("印刷中．．．"));
  QString error;
  printing::Printer& printer = printing::ThePrinter();
  const bool printed = perDay ? PrintDayHistory(printer, data.rows, data.startYM, data.endYM, &error)
                              : PrintMemberHistory(printer, data.rows, data.startYM, data.endYM, &error);
  progress(QString());
  if (!printed) {
    ui::MsgBox(QStringLiteral("印刷できませんでした。\n") + error, ui::vbCritical,
               QStringLiteral("印刷エラー"));
    Log(logWord, QStringLiteral("失敗"));
    return;
  }
  ui::MsgBox(perDay ? QStringLiteral("日別履歴印刷は終了しました。")
                    : QStringLiteral("ID別履歴印刷は終了しました。"),
             ui::vbInformation, QStringLiteral("処理の確認"));
  Log(logWord, QStringLiteral("成功"));
}
