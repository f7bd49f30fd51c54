// The history reports per day and per member, printed to PDF files and read back.
#include <QFile>
#include <QRegularExpression>

#include "common/globals.h"
#include "common/mdlLogWrite.h"
#include "history/HistoryReports.h"
#include "codepage/codepage.h"
#include "printing_fixture.h"
#include "ui/clock.h"

namespace {

using printing::ThePrinter;

// Rows of one member: `pairs` entries each followed by its exit, one a day from `firstDay`.
std::vector<ReportRow> Pairs(const QString& id, int pairs, const QString& date = "20240315") {
  std::vector<ReportRow> rows;
  for (int i = 0; i < pairs; ++i) {
    const QString time = QStringLiteral("%1:%2:00").arg(8 + i / 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0'));
    rows.push_back({id, "山田太郎", "さま", "入室", date, time});
    rows.push_back({id, "山田太郎", "さま", "退室", date, QStringLiteral("%1:00").arg(time.left(5).replace(0, 2, "17"))});
  }
  return rows;
}

QStringList Lines(const QString& pdf) {
  return testsupport::PdfText(pdf).split('\n');
}
// pdftotext gives a full-width blank as blanks and ～ as 〜: texts compare with their blanks
// collapsed.
QString Plain(QString text) { return text.replace(QChar(0x301C), QChar(0xFF5E)).simplified(); }
int Count(const QStringList& lines, const QString& part) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const QString& l) {
    return Plain(l).contains(Plain(part));
  }));
}
const QString kRule = QString(80, '-');

class Reports : public PrintingTest {
 protected:
  void SetUp() override {
    PrintingTest::SetUp();
    ui::SetClock([] { return QDateTime(QDate(2024, 5, 1), QTime(9, 0)); });
  }
  void TearDown() override {
    ui::SetClock({});
    PrintingTest::TearDown();
  }
};

TEST_F(Reports, PerDayBreaksPagesAtSixtyLinesWithoutADayRuleOnTop) {
  std::vector<ReportRow> rows;
  for (int i = 0; i < 130; ++i)
    rows.push_back({QString::number(1000 + i), "佐藤花子", "さん", i % 2 ? "退室" : "入室", "20240315",
                    QStringLiteral("%1:%2:00").arg(7 + i / 60, 2, 10, QChar('0')).arg(i % 60, 2, 10, QChar('0'))});
  QString error;
  ASSERT_TRUE(PrintDayHistory(ThePrinter(), rows, 20240300, 20240599, &error)) << error.toStdString();
  ASSERT_EQ(Jobs().size(), 3);  // every page its own job, and no sheet with a closing rule alone
  const int expected[] = {60, 60, 10};
  for (int page = 0; page < 3; ++page) {
    const QStringList lines = Lines(Jobs()[page]);
    EXPECT_EQ(testsupport::PdfPages(Jobs()[page]), 1);
    EXPECT_EQ(Count(lines, "●"), expected[page]) << "page " << page + 1;
    EXPECT_EQ(Count(lines, kRule), 2) << "header and closing rule only, page " << page + 1;
    EXPECT_EQ(Count(lines, QStringLiteral("作成日：　2024年05月01日 %1 ページ").arg(page + 1)), 1);
    EXPECT_EQ(Count(lines, "■■　2024/03/01 ～ 2024/05/31　入退室履歴 ■■"), 1);
    // The job's title names the report, its period and the page.
    EXPECT_EQ(testsupport::PdfTitle(Jobs()[page]),
              QStringLiteral("Velmor day history 20240301-20240531 page %1").arg(page + 1));
  }
  // The body line: date with its day of the week, time, word, the ID padded to 15, name, honorific.
  const QString line = Lines(Jobs()[0]).filter("ID:1000").value(0);
  EXPECT_EQ(Plain(line), "● 2024/03/15 (金) 07:00 入室 ID:1000 佐藤花子 さん");
  // The ID field is 15 half-width characters wide (5 points each at 10 points).
  double idX = 0, nameX = 0;
  for (const auto& w : testsupport::PdfWords(Jobs()[0])) {
    if (w.text == "ID:1000") idX = w.xMin;
    if (w.text == "佐藤花子" && nameX == 0) nameX = w.xMin;
  }
  EXPECT_NEAR(nameX - idX, (3 + 15 + 1) * 5 * 25.4 / 72, 0.3);

  // 120 rows end exactly on a page break: two jobs, nothing more.
  ThePrinter().SetOutputFile(out.filePath("again.pdf"));
  rows.resize(120);
  ASSERT_TRUE(PrintDayHistory(ThePrinter(), rows, 20240300, 20240599));
  EXPECT_EQ(Jobs().size(), 2);
}

TEST_F(Reports, PerDayRulesBetweenDaysCountAsLines) {
  std::vector<ReportRow> rows;
  for (const char* day : {"20240301", "20240302", "20240303"})
    for (int i = 0; i < 20; ++i) rows.push_back({"7", "A", "", "入室", day, "08:00:00"});
  ASSERT_TRUE(PrintDayHistory(ThePrinter(), rows, 20240300, 20240399));
  // 20 + rule + 20 + rule + 18 fill the first page; its last two rows go to the second.
  ASSERT_EQ(Jobs().size(), 2);
  const QStringList first = Lines(Jobs()[0]);
  EXPECT_EQ(Count(first, "●"), 58);
  EXPECT_EQ(Count(first, kRule), 4);
  EXPECT_EQ(Count(Lines(Jobs()[1]), "●"), 2);
  EXPECT_EQ(Count(Lines(Jobs()[1]), kRule), 2);
}

TEST_F(Reports, PerMemberPutsExitsOnTheirEntrysLineAndEachMemberOnItsOwnJob) {
  std::vector<ReportRow> rows;
  // A member whose month starts with an exit, then two exits in a row.
  rows.push_back({"0001", "山田太郎", "さま", "退室", "20240301", "07:30:00"});
  rows.push_back({"0001", "山田太郎", "さま", "入室", "20240301", "08:00:00"});
  rows.push_back({"0001", "山田太郎", "さま", "退室", "20240301", "12:00:00"});
  rows.push_back({"0001", "山田太郎", "さま", "退室", "20240301", "13:00:00"});
  for (const ReportRow& r : Pairs("0002", 3)) rows.push_back(r);
  for (const ReportRow& r : Pairs("0003", 30)) rows.push_back(r);
  QString error;
  ASSERT_TRUE(PrintMemberHistory(ThePrinter(), rows, 20241200, 20241299, &error)) << error.toStdString();
  ASSERT_EQ(Jobs().size(), 3);

  const QStringList first = Lines(Jobs()[0]);
  EXPECT_EQ(Count(first, "■■　0001：山田太郎 さま　2024/12/01 ～ 2024/12/31 入退室履歴 ■■"), 1);
  const QStringList body = first.filter(QRegularExpression("入室：|退室："));
  ASSERT_EQ(body.size(), 3);
  EXPECT_TRUE(body[0].contains("退室：07:30") && !body[0].contains("入室"));
  EXPECT_EQ(Plain(body[1]), "● 2024/03/01 (金) 入室：08:00 退室：12:00");
  EXPECT_TRUE(body[2].contains("退室：13:00") && !body[2].contains("入室"));

  // A short page closes with its rule at a fixed place; a long one after its last line.
  auto closingRuleTop = [&](int job) {
    double top = 0;
    for (const auto& w : testsupport::PdfWords(Jobs()[job]))
      if (w.text == kRule) top = std::max(top, w.yMin);
    return top;
  };
  EXPECT_NEAR(closingRuleTop(1), 160 + 4.2, 1.0);
  const auto third = Lines(Jobs()[2]);
  EXPECT_EQ(Count(third, "●"), 30);
  EXPECT_GT(closingRuleTop(2), 160 + 4.2 + 2);
  EXPECT_EQ(Count(Lines(Jobs()[1]), "退室：17:0"), 3);
  EXPECT_EQ(testsupport::PdfTitle(Jobs()[1]), "Velmor history of ID 0002 20241201-20241231 page 1");
}

TEST_F(Reports, PerMemberBreaksPagesInsideOneMember) {
  ASSERT_TRUE(PrintMemberHistory(ThePrinter(), Pairs("123456789", 70), 20240300, 20240399));
  ASSERT_EQ(Jobs().size(), 2);
  for (int job = 0; job < 2; ++job) {
    const QStringList lines = Lines(Jobs()[job]);
    EXPECT_EQ(Count(lines, "■■　123456789：山田太郎 さま"), 1) << "the header repeats";
    EXPECT_EQ(Count(lines, "●"), job == 0 ? 60 : 10);
    EXPECT_EQ(Count(lines, "退室："), job == 0 ? 60 : 10);
    EXPECT_EQ(testsupport::PdfTitle(Jobs()[job]),
              QStringLiteral("Velmor history of ID 123456789 20240301-20240331 page %1").arg(job + 1));
  }
  // Every word stays on the sheet.
  for (const auto& w : testsupport::PdfWords(Jobs()[0])) EXPECT_LT(w.yMax, 297) << w.text.toStdString();
}

// A full page of either report, header and closing rule included, lies inside the printable
// area of an A4 sheet on a printer with 5 mm margins (297 - 2 x 5 mm high, positions counted from
// its top edge), and the line heights keep the 8:10:12 of the three font sizes.
TEST_F(Reports, FullPagesStayInsideThePrintableAreaOfAPrinterWithMargins) {
  std::vector<ReportRow> day;
  for (int i = 0; i < 60; ++i)
    day.push_back({"123456789012345", "長谷川五郎左衛門", "さま", "入室", "20240315", "08:00:00"});
  ASSERT_TRUE(PrintDayHistory(ThePrinter(), day, 20240300, 20240399));
  ThePrinter().SetOutputFile(out.filePath("member.pdf"));
  ASSERT_TRUE(PrintMemberHistory(ThePrinter(), Pairs("1", 60), 20240300, 20240399));
  for (const QString& job : {out.filePath("print.pdf"), out.filePath("member.pdf")}) {
    double lowestText = 0, lowestRule = 0, rightmost = 0;
    std::vector<double> bodyTops;
    for (const auto& w : testsupport::PdfWords(job)) {
      lowestText = std::max(lowestText, w.yMax);
      rightmost = std::max(rightmost, w.xMax);
      if (w.text == kRule) lowestRule = std::max(lowestRule, w.yMax);
      if (w.text == "●") bodyTops.push_back(w.yMin);
    }
    SCOPED_TRACE(job.toStdString());
    EXPECT_EQ(testsupport::PdfPages(job), 1);
    EXPECT_EQ(lowestRule, lowestText) << "the closing rule is the lowest line";
    EXPECT_LE(lowestText, 297 - 2 * 5);
    EXPECT_LE(rightmost, 210 - 2 * 5);
    // 60 body lines of 10 points, one line height apart.
    ASSERT_EQ(bodyTops.size(), 60u);
    EXPECT_NEAR((bodyTops.back() - bodyTops.front()) / 59, 10 * 25.4 / 72, 0.05);
  }
  // The closing part of a short page still starts at 160 mm: its rule one 12-point line below.
  ThePrinter().SetOutputFile(out.filePath("short.pdf"));
  ASSERT_TRUE(PrintMemberHistory(ThePrinter(), Pairs("1", 3), 20240300, 20240399));
  double ruleTop = 0;
  for (const auto& w : testsupport::PdfWords(out.filePath("short.pdf")))
    if (w.text == kRule) ruleTop = std::max(ruleTop, w.yMin);
  EXPECT_NEAR(ruleTop, 160 + 12 * 25.4 / 72, 0.3);
}

TEST_F(Reports, PeriodTexts) {
  EXPECT_EQ(ReportPeriodText(20241200, 20241299), "2024/12/01 ～ 2024/12/31");
  EXPECT_EQ(ReportPeriodText(20240300, 20240599), "2024/03/01 ～ 2024/05/31");
  EXPECT_EQ(ReportPeriodText(20231100, 20240299), "2023/11/01 ～ 2024/02/29");
  EXPECT_EQ(ReportPeriodText(10000000, 99999999), "全期間");
  ASSERT_TRUE(PrintDayHistory(ThePrinter(), Pairs("1", 1), 10000000, 99999999));
  EXPECT_EQ(Count(Lines(Jobs()[0]), "■■　全期間　入退室履歴 ■■"), 1);
}

// The window's print command around the report.
class ReportCommand : public Reports {
 protected:
  void Run(HistoryReport report, bool gridHasRows = true) {
    RunHistoryReport(
        report, gridHasRows, nullptr,
        [this](int sort) {
          sorts.push_back(sort);
          return ReportData{Pairs("55", 2), 20240300, 20240399};
        },
        [this](const QString& text) { progress << text; });
  }
  QString LogText() const {
    QFile file(gstrLogDir + TodayLogName());
    return file.open(QIODevice::ReadOnly) ? cp::FromAnsi(file.readAll()) : QString();
  }
  std::vector<int> sorts;
  QStringList progress;
};

TEST_F(ReportCommand, PrintsLogsAndSetsTheDefaultPrinter) {
  gblnLog = true;
  choose = [](printing::PrinterSettings& s) { s.deviceName = "Label Writer"; };
  Run(HistoryReport::PerDay);
  EXPECT_EQ(sorts, std::vector<int>{1});
  EXPECT_EQ(progress, QStringList({"表示データをソート中．．．", "", "印刷中．．．", ""}));
  EXPECT_EQ(Jobs().size(), 1);
  EXPECT_EQ(catalog->default_, "Label Writer");
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"日別履歴印刷は終了しました。"});
  EXPECT_TRUE(LogText().contains(",日別履歴印刷,成功"));

  Run(HistoryReport::PerMember);
  EXPECT_EQ(sorts.back(), 0);
  EXPECT_EQ(Jobs().size(), 1);  // the run's own job
  EXPECT_EQ(boxes.Texts().back(), "ID別履歴印刷は終了しました。");
  EXPECT_TRUE(LogText().contains(",ID別履歴印刷,成功"));
}

// Every print run numbers its jobs anew: its first job goes to the chosen file, replacing what an
// earlier run wrote there; later jobs of the same run to name-2.pdf, name-3.pdf.
TEST_F(ReportCommand, ASecondRunToTheSameFileReplacesIt) {
  const QString twice = out.filePath("twice.pdf");
  choose = [&](printing::PrinterSettings& s) { s.outputFile = twice; };
  Run(HistoryReport::PerDay);
  ASSERT_EQ(Jobs(), QStringList{twice});
  EXPECT_TRUE(testsupport::PdfText(twice).contains("2024年05月01日"));

  ui::SetClock([] { return QDateTime(QDate(2024, 5, 2), QTime(9, 0)); });
  Run(HistoryReport::PerDay);
  EXPECT_EQ(Jobs(), QStringList{twice});
  EXPECT_TRUE(testsupport::PdfText(twice).contains("2024年05月02日"));
  EXPECT_FALSE(QFile::exists(out.filePath("twice-2.pdf")));

  // The other report, run after them, starts at the chosen file too.
  Run(HistoryReport::PerMember);
  EXPECT_EQ(Jobs(), QStringList{twice});
  EXPECT_EQ(Count(Lines(twice), "■■　55：山田太郎 さま"), 1);
}

TEST_F(ReportCommand, EndsEarlyWithoutRowsPrinterOrConfirmation) {
  Run(HistoryReport::PerDay, false);
  EXPECT_TRUE(sorts.empty());
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"対象データがありません。"});

  confirm = false;
  Run(HistoryReport::PerDay);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(boxes.Texts().size(), 1u);  // a cancelled dialog ends silently

  catalog->names_.clear();
  Run(HistoryReport::PerMember);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(boxes.Texts().back(), "プリンタがインストールされていません");
  EXPECT_EQ(FilesWritten(), 0);
}

TEST_F(ReportCommand, APrinterFailureIsReportedNotCountedAsDone) {
  gblnLog = true;
  ThePrinter().SetOutputFile(out.filePath("missing-folder/print.pdf"));
  Run(HistoryReport::PerDay);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(boxes.Boxes()[0].text.startsWith("印刷できませんでした。\n"));
  EXPECT_EQ(boxes.Boxes()[0].title, "印刷エラー");
  EXPECT_TRUE(LogText().contains(",日別履歴印刷,失敗"));
  EXPECT_FALSE(LogText().contains("成功"));

  // A full disk: the same, and no file, not even an empty one.
  testsupport::SmallDisk disk(64 << 10);
  if (!disk.Mounted()) return;
  disk.Fill();
  ThePrinter().SetOutputFile(disk.Path() + "print.pdf");
  Run(HistoryReport::PerDay);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_TRUE(boxes.Boxes()[1].text.startsWith("印刷できませんでした。\n"));
  EXPECT_EQ(Count(LogText().split("\r\n"), QStringLiteral(",日別履歴印刷,失敗")), 2);
  EXPECT_TRUE(QDir(disk.Path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
