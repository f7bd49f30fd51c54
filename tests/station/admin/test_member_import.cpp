// The member import: preview, refused lines, automatic IDs, file encodings and CSV quoting.
#include "admin_fixture.h"
#include "support/support_postgres.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "admin/frmInport.h"
#include "codepage/codepage.h"
#include "common/MemberRoster.h"
#include "common/globals.h"
#include "common/mdlComDlg.h"
#include "common/mdlVelmor.h"
#include "db/db.h"
#include "ui/clock.h"
#include "ui/msgbox.h"

namespace admintest {
namespace {

class MemberImport : public AdminTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    AdminTest::SetUp();
    Prepare();
  }
  QString WriteFile(const QByteArray& bytes) {
    const QString path = folder_.Path() + "members.csv";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  // Opens the import from the settings window, names the file and the columns (ID, name,
  // honorific, reading, mail; "" for none) and previews.
  frmInport& Preview(const QString& path, const QStringList& columns, bool header = false, bool tab = false) {
    Open();
    Window().cmdInport->click();
    frmInport& w = frmInport::instance();
    w.txtFile->setText(path);
    w.optFile[tab ? 1 : 0]->setChecked(true);
    w.optLine[header ? 1 : 0]->setChecked(true);
    for (int i = 0; i < 5; ++i) w.txtColNo[i]->setText(columns.value(i));
    w.cmdOK->click();
    return w;
  }
  void Run(frmInport& w) { w.cmdOK->click(); }
  QStringList PreviewColumn(frmInport& w, int col) {
    QStringList out;
    for (int r = 0; r < w.fgInport->rowCount(); ++r) out << w.fgInport->item(r, col)->text();
    return out;
  }
  QStringList StoredIds() {
    QStringList ids;
    for (const StoredMember& m : StoredMembers()) ids << m.id;
    return ids;
  }
};
VELMOR_ON_BOTH_DRIVERS(MemberImport);

TEST_P(MemberImport, PreviewRefusesBadLinesAndEqualsWhatIsInserted) {
  folder_.AddMember("100", "既存");
  const QString path = WriteFile(cp::ToAnsiLossy(
      "ID,名前,かな,メール\r\n"
      "201,\"Smith, John\",すみす,\"a@x.jp\"\r\n"
      "abc,不正,ふせい,\r\n"
      "1234567890,長い,ながい,\r\n"
      "100,重複DB,じゅうふく,\r\n"
      "201,重複,じゅうふく,\r\n"
      "\"２０２\",\"O'Brien \"\"Bob\"\"\",おぶらいえん,\"b@x.jp;c@x.jp\"\r\n"));
  frmInport& w = Preview(path, {"1", "2", "", "3", "4"}, true);
  ASSERT_EQ(w.cmdOK->text(), "実行");
  EXPECT_EQ(PreviewColumn(w, 0), QStringList({"1", "6"}));
  EXPECT_EQ(PreviewColumn(w, 2), QStringList({"Smith, John", "O'Brien \"Bob\""}));
  const QString report = boxes_.Texts().back();
  EXPECT_TRUE(report.contains("取り込む行：2 件　取り込まない行：4 件")) << report.toStdString();
  EXPECT_TRUE(report.contains("4 件目：ID番号が登録済みです")) << report.toStdString();
  EXPECT_TRUE(report.contains("5 件目：ID番号がファイル内で重複しています")) << report.toStdString();
  Run(w);
  EXPECT_TRUE(boxes_.Texts().back().contains("取り込んだ行：2 件")) << boxes_.Texts().back().toStdString();
  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[1].id, "201");
  EXPECT_EQ(stored[1].name, "Smith, John");
  EXPECT_EQ(stored[1].honorific, "さま");
  EXPECT_EQ(stored[1].mailAddr, "a@x.jp");
  EXPECT_EQ(stored[2].id, "202");
  EXPECT_EQ(stored[2].name, "O'Brien \"Bob\"");
  EXPECT_FALSE(Window().MessagesOnScreen());
  EXPECT_EQ(MemberRoster::Shared().Count(), 3);
  EXPECT_FALSE(frmInport::IsLoaded());
}

TEST_P(MemberImport, AutomaticIdsFollowTheMonthAndItsBoundary) {
  folder_.AddMember("261200012", "既存");
  ui::SetClock([] { return QDateTime(QDate(2026, 12, 31), QTime(23, 0)); });
  const QString path = WriteFile(QByteArray("\xEF\xBB\xBF") + "青木\tあおき\n井上\tいのうえ\n上田\tうえだ\n");
  Run(Preview(path, {"", "1", "", "2"}, false, true));
  EXPECT_EQ(StoredIds(), QStringList({"261200012", "261200013", "261200014", "261200015"}));
  frmSet::Unload();
  ui::SetClock([] { return QDateTime(QDate(2027, 1, 1), QTime(0, 1)); });
  const QString next = WriteFile("江藤,えとう\n");  // UTF-8 without a mark, LF only
  Run(Preview(next, {"", "1", "", "2"}));
  EXPECT_EQ(StoredIds().back(), "270100001");
  EXPECT_EQ(StoredMembers().back().name, "江藤");
}

TEST_P(MemberImport, PreviewColumnsAreTheirOwnWidthsWidenedOnlyForALongerText) {
  const QString longMail(60, QLatin1Char('m'));
  const QString path = WriteFile(("1,青木,あおき," + longMail + "@x.jp\n2,井上,いのうえ,\n").toUtf8());
  frmInport& w = Preview(path, {"1", "2", "", "3", "4"});
  ASSERT_EQ(w.cmdOK->text(), "実行");
  EXPECT_EQ(w.fgInport->columnWidth(0), TwipsToPixelsX(400));
  for (int col = 1; col <= 3; ++col) EXPECT_EQ(w.fgInport->columnWidth(col), TwipsToPixelsX(2000)) << col;
  // The address is wider than its column: the column takes the whole address.
  const int mailWidth = w.fgInport->fontMetrics().horizontalAdvance(longMail + "@x.jp");
  EXPECT_GT(mailWidth, TwipsToPixelsX(2000));
  EXPECT_GE(w.fgInport->columnWidth(4), mailWidth);
}

TEST_P(MemberImport, AnInsertTheDatabaseRefusesNamesItsLineAndStoresNothing) {
  // A rule of this database that the preview does not know: names are unique.
  ASSERT_TRUE(db::Execute(gcnDB(), "CREATE UNIQUE INDEX UniqueName ON tblData (UserName)"));
  const QString path = WriteFile("ID,名前,かな\n11,青木,あおき\n12,井上,いのうえ\n13,青木,あおき\n14,上田,うえだ\n");
  Run(Preview(path, {"1", "2", "", "3"}, true));
  const QString message = boxes_.Texts().back();
  EXPECT_TRUE(message.startsWith("3 件目で読み込みでエラーが発生しています。")) << message.toStdString();
  EXPECT_FALSE(message.section("\r\n", 2).trimmed().isEmpty()) << "no driver text";
  EXPECT_TRUE(StoredMembers().empty());
  EXPECT_FALSE(Window().MessagesOnScreen());
}

TEST_P(MemberImport, ShortLinesHeaderOnlyAndALargeFile) {
  const QString shortLine = WriteFile("1,青木,あおき\n2,井上\n");
  frmInport& w = Preview(shortLine, {"1", "2", "", "3"});
  EXPECT_TRUE(boxes_.Texts().back().startsWith("2 件目で読み込みでエラーが発生しています。"));
  EXPECT_EQ(w.cmdOK->text(), "確認");

  w.txtFile->setText(WriteFile("ID,名前,かな\r\n"));
  w.optLine[1]->setChecked(true);
  w.cmdOK->click();
  EXPECT_TRUE(boxes_.Texts().back().contains("取り込む行：0 件"));
  Run(w);
  EXPECT_TRUE(StoredMembers().empty());

  QByteArray big;
  for (int i = 1; i <= 100000; ++i) big += QByteArray::number(i) + ",名前" + QByteArray::number(i) + ",かな\n";
  Run(Preview(WriteFile(big), {"1", "2", "", "3"}));
  EXPECT_EQ(StoredMembers().size(), 100000u);
}

}  // namespace
}  // namespace admintest
