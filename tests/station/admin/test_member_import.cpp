// The member import: preview, refused lines, automatic IDs, file encodings and CSV quoting.
#include "admin_fixture.h"
#include "support/support_postgres.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

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
    const QAbstractItemModel* model = w.fgInport->model();
    for (int r = 0; r < model->rowCount(); ++r) out << model->index(r, col).data().toString();
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
  // Two columns short: the reading's column lies beyond the line.
  const QString shortLine = WriteFile("1,青木,あおき\n2\n");
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

TEST_P(MemberImport, AQuoteNotClosedOnItsLineRefusesThatLineAlone) {
  const QString path = WriteFile(
      "5001,Bob,ぼぶ,\"bob@x\n"
      "5002,\"Carol, Jr\",きゃろる,\"c@x\"\n"
      "5003,Dan,だん,d@x\n");
  frmInport& w = Preview(path, {"1", "2", "", "3", "4"});
  ASSERT_EQ(w.cmdOK->text(), "実行");
  EXPECT_EQ(PreviewColumn(w, 0), QStringList({"2", "3"}));
  const QString report = boxes_.Texts().back();
  EXPECT_TRUE(report.contains("取り込む行：2 件　取り込まない行：1 件")) << report.toStdString();
  EXPECT_TRUE(report.contains("1 件目：引用符が閉じていません")) << report.toStdString();
  Run(w);
  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].id, "5002");
  EXPECT_EQ(stored[0].name, "Carol, Jr");
  EXPECT_EQ(stored[0].mailAddr, "c@x");
  EXPECT_EQ(stored[1].mailAddr, "d@x");
}

TEST_P(MemberImport, AnAbsentLastFieldIsEmpty) {
  // The address in column 4 of a three-field line; a line without the reading is refused as the
  // row checks would refuse it.
  const QString path = WriteFile("7001\t青木\tあおき\n7002\t井上\t\n7003\t上田\tうえだ\tu@x\n");
  frmInport& w = Preview(path, {"1", "2", "", "3", "4"}, false, true);
  ASSERT_EQ(w.cmdOK->text(), "実行") << boxes_.Texts().back().toStdString();
  EXPECT_TRUE(boxes_.Texts().back().contains("2 件目：かながありません")) << boxes_.Texts().back().toStdString();
  Run(w);
  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].id, "7001");
  EXPECT_EQ(stored[0].mailAddr, "");
  EXPECT_EQ(stored[1].mailAddr, "u@x");
}

TEST_P(MemberImport, ANulOrAValueLongerThanItsColumnRefusesTheLine) {
  QByteArray text = "1,山田";
  text += '\0';
  text += "太郎,様,やまだ,\n";
  text += "2," + QString(100, QChar(u'名')).toUtf8() + ",様,な,\n";  // as long as the column
  text += "3," + QString(101, QChar(u'名')).toUtf8() + ",様,な,\n";  // one more
  text += "4," + QByteArray(100000, 'x') + ",様,な,\n";
  text += "5,敬称," + QString(51, QChar(u'様')).toUtf8() + ",けい,\n";
  text += "6,住所,様,じゅうしょ,a@" + QByteArray(254, 'x') + "\n";
  text += "7,最後,様,さいご,a@" + QByteArray(253, 'x') + "\n";
  frmInport& w = Preview(WriteFile(text), {"1", "2", "3", "4", "5"});
  ASSERT_EQ(w.cmdOK->text(), "実行");
  const QString report = boxes_.Texts().back();
  EXPECT_TRUE(report.contains("取り込む行：2 件　取り込まない行：5 件")) << report.toStdString();
  EXPECT_TRUE(report.contains("1 件目：利用者にNUL文字があります")) << report.toStdString();
  EXPECT_TRUE(report.contains("3 件目：利用者が100文字を超えています")) << report.toStdString();
  EXPECT_TRUE(report.contains("4 件目：利用者が100文字を超えています")) << report.toStdString();
  EXPECT_TRUE(report.contains("5 件目：敬称が50文字を超えています")) << report.toStdString();
  EXPECT_TRUE(report.contains("6 件目：メールが255文字を超えています")) << report.toStdString();
  Run(w);
  EXPECT_TRUE(boxes_.Texts().back().startsWith("インポートは終了しました。")) << boxes_.Texts().back().toStdString();
  EXPECT_EQ(StoredIds(), QStringList({"2", "7"}));
}

TEST_P(MemberImport, AutomaticIdsAreCountedWithinTheMonthsRangeAsNumbers) {
  // IDs that begin with the month's digits but lie outside its range.
  for (const char* id : {"26125", "26126", "26127", "2612999"}) folder_.AddMember(id, "既存");
  ui::SetClock([] { return QDateTime(QDate(2026, 12, 3), QTime(9, 0)); });
  Run(Preview(WriteFile("青木,あおき\n井上,いのうえ\n"), {"", "1", "", "2"}));
  EXPECT_EQ(StoredIds(), QStringList({"261200001", "261200002", "26125", "26126", "26127", "2612999"}));
  frmSet::Unload();
  // Beside them, a member of the range is counted on from.
  folder_.AddMember("261200040", "既存");
  Run(Preview(WriteFile("上田,うえだ\n"), {"", "1", "", "2"}));
  EXPECT_TRUE(StoredIds().contains("261200041")) << StoredIds().join(' ').toStdString();
}

TEST_P(MemberImport, AMemberWhoseDateHasATimeDoesNotStopTheImport) {
  folder_.AddMember("100", "既存");
  folder_.AddMember("101", "既存");
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET \"Date\"=? WHERE ID=?",
                          {QString("2026/11/09 03:06:31"), QString("100")}));
  // The member table on screen, which the import saves before it inserts.
  Open();
  ShowMembers();
  Run(Preview(WriteFile("102,青木,あおき\n"), {"1", "2", "", "3"}));
  EXPECT_TRUE(boxes_.Texts().back().startsWith("インポートは終了しました。")) << boxes_.Texts().back().toStdString();
  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0].date, "2026/11/09 03:06:31");
  EXPECT_EQ(stored[1].date, "2026/04/01");
  EXPECT_EQ(stored[2].id, "102");
}

}  // namespace
}  // namespace admintest
