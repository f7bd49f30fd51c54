// ID card sheets: the member selection, the cards' places, the logo, the barcodes scanned back
// from the rendered sheets, and the failures.
#include <QColor>
#include <QSqlDatabase>

#include <algorithm>

#include "common/MemberRoster.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "db/db.h"
#include "history/IdCardSheet.h"
#include "history/MemberSelection.h"
#include "printing_fixture.h"
#include "support/support_postgres.h"

namespace {

using printing::ThePrinter;

class CardSheet : public PrintingTest {
 protected:
  void SetUp() override {
    PrintingTest::SetUp();
    folder.CreateDatabase();
    Logo(200, 100);
  }
  // A solid red logo of w x h pixels.
  void Logo(int w, int h) {
    QImage logo(w, h, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(LogoFile(), "PNG"));
  }
  QString LogoFile() const { return folder.Path() + "image/logo.png"; }
  void AddMembers(const QStringList& ids, const QString& name = "山田太郎") {
    QSqlDatabase database = gcnDB().Database();
    ASSERT_TRUE(database.transaction());
    for (const QString& id : ids) folder.AddMember(id, name);
    ASSERT_TRUE(database.commit());
  }
  QStringList SelectedIds(const MemberSelection& selection, bool* ok = nullptr) {
    db::Recordset rs;
    QString error;
    const bool opened = OpenMemberSelection(gcnDB(), rs, selection, &error);
    if (ok) *ok = opened;
    QStringList ids;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids << rs.Text("ID");
    return ids;
  }
  // Prints the cards of every member.
  bool PrintAll(QString* error = nullptr, const QString& appUser = "中央図書館") {
    db::Recordset rs;
    EXPECT_TRUE(OpenMemberSelection(gcnDB(), rs, {}, error));
    return PrintIdCards(ThePrinter(), rs, rs.RecordCount(), appUser, LogoFile(), logo, error);
  }
  // The "ID:" words of a job, with their boxes.
  std::vector<testsupport::PdfWord> IdWords(int job) {
    std::vector<testsupport::PdfWord> words;
    for (const auto& w : testsupport::PdfWords(Jobs()[job]))
      if (w.text.startsWith("ID:")) words.push_back(w);
    return words;
  }
  QWidget window;
  PictureBox logo{&window};
};

// The member selections on both drivers: the ID range compared as numbers, the ticks in a
// temporary table.
class CardSelection : public CardSheet, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder.SetDriver(GetParam());
    CardSheet::SetUp();
  }
};
VELMOR_ON_BOTH_DRIVERS(CardSelection);

QStringList Numbered(int from, int count, int width = 3) {
  QStringList ids;
  for (int i = from; i < from + count; ++i) ids << QStringLiteral("%1").arg(i, width, 10, QChar('0'));
  return ids;
}

TEST_P(CardSelection, MembersAreSelectedAllTickedOrByRange) {
  AddMembers({"0005", "007", "12", "120", "99", "100000000"});
  EXPECT_EQ(SelectedIds({}), QStringList({"0005", "007", "100000000", "12", "120", "99"}));

  // A range compares the IDs as numbers, leading zeros aside.
  MemberSelection range{MemberSelection::Kind::Range, {}, "0005", "12"};
  EXPECT_EQ(SelectedIds(range), QStringList({"0005", "007", "12"}));
  range.rangeStart = "100";
  range.rangeEnd = "000100000000";
  EXPECT_EQ(SelectedIds(range), QStringList({"100000000", "120"}));

  // Anything but digits is refused, never put into the statement.
  for (const QString bad : {"1 OR 1=1", "5)) OR ((1=1", "１２", "-1", "", "1234567890123456789"}) {
    range.rangeStart = "1";
    range.rangeEnd = bad;
    bool ok = true;
    EXPECT_TRUE(SelectedIds(range, &ok).isEmpty()) << bad.toStdString();
    EXPECT_FALSE(ok) << bad.toStdString();
  }
}

TEST_P(CardSelection, TicksOfMoreMembersThanAnExpressionHoldsAreSelected) {
  const QStringList ids = Numbered(1, 1500, 6);
  AddMembers(ids);
  std::vector<RosterMember> roster;
  for (const QString& id : ids) roster.push_back({id, "x", "", "", "", "", "", false});
  MemberRoster::Shared().Reset(roster);
  for (int row = 0; row < 1500; row += 1) MemberRoster::Shared().SetTicked(row, row % 3 != 1);
  const QStringList ticked = MemberRoster::Shared().TickedIds();
  ASSERT_EQ(ticked.size(), 1000);
  MemberSelection selection{MemberSelection::Kind::Ticked, ticked, {}, {}};
  bool ok = false;
  EXPECT_EQ(SelectedIds(selection, &ok), ticked);
  EXPECT_TRUE(ok);
  // The selection leaves no table behind: the next one starts afresh.
  selection.tickedIds = QStringList{"000002"};
  EXPECT_EQ(SelectedIds(selection), QStringList{"000002"});
  MemberRoster::Shared().Clear();
}

TEST_F(CardSheet, CardsSitAtTheirPlacesTenToASheet) {
  auto expectCard = [](const testsupport::PdfWord& w, double x, double y) {
    EXPECT_NEAR(w.xMin, x + 45, 0.6) << w.text.toStdString();
    EXPECT_NEAR(w.yMin, y + 5, 1.0) << w.text.toStdString();
  };
  AddMembers({"101"});
  ASSERT_TRUE(PrintAll());
  ASSERT_EQ(Jobs().size(), 1);
  ASSERT_EQ(IdWords(0).size(), 1u);
  expectCard(IdWords(0)[0], 14, 11);

  AddMembers(Numbered(102, 9));
  ThePrinter().SetOutputFile(out.filePath("ten.pdf"));
  ASSERT_TRUE(PrintAll());
  ASSERT_EQ(Jobs().size(), 1);  // the final end of the job has nothing left to print
  auto words = IdWords(0);
  ASSERT_EQ(words.size(), 10u);
  expectCard(words[2], 14, 66);    // card 3
  expectCard(words[5], 105, 121);  // card 6
  expectCard(words[9], 105, 231);  // card 10

  AddMembers({"111"});
  ThePrinter().SetOutputFile(out.filePath("eleven.pdf"));
  ASSERT_TRUE(PrintAll());
  ASSERT_EQ(Jobs().size(), 2);
  EXPECT_EQ(IdWords(0).size(), 10u);
  ASSERT_EQ(IdWords(1).size(), 1u);
  EXPECT_EQ(IdWords(1)[0].text, "ID:111");
  expectCard(IdWords(1)[0], 14, 11);
  EXPECT_EQ(testsupport::PdfPages(Jobs()[1]), 1);
  // Each sheet's job is titled with the IDs on it.
  EXPECT_EQ(testsupport::PdfTitle(Jobs()[0]), "Velmor ID cards 101-110");
  EXPECT_EQ(testsupport::PdfTitle(Jobs()[1]), "Velmor ID cards 111-111");
}

TEST_F(CardSheet, TheLogoKeepsItsProportions) {
  AddMembers({"1"});
  const struct { int w, h; double mmW, mmH; } cases[] = {{200, 100, 40, 20}, {100, 200, 15, 30}};
  for (const auto& c : cases) {
    Logo(c.w, c.h);
    ThePrinter().SetOutputFile(out.filePath(QStringLiteral("logo%1.pdf").arg(c.w)));
    ASSERT_TRUE(PrintAll());
    EXPECT_EQ(logo.Width(), c.mmW);
    EXPECT_EQ(logo.Height(), c.mmH);
    // The red of the logo on the rendered sheet, measured in millimetres.
    const QImage page = testsupport::RenderPdfPage(Jobs()[0], 1, 100);
    QRect red;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        const QColor px = page.pixelColor(x, y);
        if (px.red() > 200 && px.green() < 60 && px.blue() < 60) red |= QRect(x, y, 1, 1);
      }
    const double mm = 25.4 / 100;
    EXPECT_NEAR(red.left() * mm, 14, 0.6);
    EXPECT_NEAR(red.top() * mm, 11, 0.6);
    EXPECT_NEAR(red.width() * mm, c.mmW, 0.6);
    EXPECT_NEAR(red.height() * mm, c.mmH, 0.6);
  }
}

TEST_F(CardSheet, EveryBarcodeScansBackToItsExactId) {
  QStringList ids = {"000000001", "0042", "7", "123456789", "99999999", "010", "5", "0000", "31415926", "8"};
  ids << "000777";
  AddMembers(ids);
  ASSERT_TRUE(PrintAll());
  ASSERT_EQ(Jobs().size(), 2);
  QStringList scanned;
  for (const QString& job : Jobs()) scanned << testsupport::ScanBarcodes(testsupport::RenderPdfPage(job, 1, 300));
  scanned.sort();
  ids.sort();
  EXPECT_EQ(scanned, ids);
}

TEST_F(CardSheet, LongNamesStayOnTheirCard) {
  const QString longName = QString(30, QChar(0x5C71));  // 山 thirty times
  AddMembers({"1", "2"}, longName);
  ASSERT_TRUE(PrintAll(nullptr, QString(40, QChar(0x9928))));
  const auto words = testsupport::PdfWords(Jobs()[0]);
  int names = 0;
  for (const auto& w : words) {
    const double cardX = w.xMin < 100 ? 14 : 105;
    EXPECT_LE(w.xMax, cardX + 88.5) << w.text.toStdString();
    if (w.text.startsWith(QChar(0x5C71))) {
      ++names;
      EXPECT_TRUE(w.text.endsWith("…"));
    }
  }
  EXPECT_EQ(names, 2);
  // A short name keeps its size: 10 points of the 12 name characters fit.
  ThePrinter().SetOutputFile(out.filePath("short.pdf"));
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET UserName=?", {QString(12, QChar(0x5C71))}));
  ASSERT_TRUE(PrintAll());
  for (const auto& w : testsupport::PdfWords(Jobs()[0])) {
    if (w.text.startsWith(QChar(0x5C71))) {
      EXPECT_EQ(w.text, QString(12, QChar(0x5C71)));
    }
  }
}

TEST_F(CardSheet, AMissingOrCorruptLogoPrintsNothing) {
  AddMembers({"1", "2"});
  QFile::remove(LogoFile());
  QString error;
  EXPECT_FALSE(PrintAll(&error));
  EXPECT_TRUE(error.startsWith("logo:")) << error.toStdString();
  folder.WriteBytes("image/logo.png", QByteArrayLiteral("\x89PNG\r\n\x1a\n garbage"));
  error.clear();
  EXPECT_FALSE(PrintAll(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(FilesWritten(), 0);
}

}  // namespace
