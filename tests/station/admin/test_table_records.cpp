// The tables' row checks and their records in the database, without the window.
#include "admin_fixture.h"

#include <algorithm>
#include "support/support_postgres.h"

#include "admin/TableChecks.h"
#include "codepage/narrow.h"
#include "common/StationRecords.h"
#include "common/TableRecords.h"
#include "common/globals.h"
#include "db/db.h"

namespace admintest {
namespace {

RosterMember Member(const QString& id, const QString& name = "山田太郎", const QString& mail = "",
                    const QString& date = "2026/04/01") {
  RosterMember m;
  m.id = id;
  m.name = name;
  m.honorific = "さま";
  m.kana = "やまだ";
  m.mailName = "事務局";
  m.mailAddr = mail;
  m.date = date;
  return m;
}

const QDate kToday(2026, 6, 15);

QString CheckOne(RosterMember m) {
  std::vector<RosterMember> rows{Member("1"), m};
  return CheckMemberRows(rows, kToday);
}

TEST(HalfWidth, TurnsFullWidthIntoHalfWidthAndLeavesHalfWidthKanaAlone) {
  EXPECT_EQ(cp::ToHalfWidth("１２３ａＢ＠ｅｘ．ｊｐ"), "123aB@ex.jp");
  EXPECT_EQ(cp::ToHalfWidth("ガッコウ　パーク"), "ｶﾞｯｺｳ ﾊﾟｰｸ");
  EXPECT_EQ(cp::ToHalfWidth("ｶﾞｯｺｳ"), "ｶﾞｯｺｳ");
  EXPECT_EQ(cp::ToHalfWidth("ひらがな漢字"), "ひらがな漢字");
}

TEST(MemberChecks, EachCheckInItsOrderWithItsMessage) {
  struct Case {
    RosterMember row;
    QString message;
  } cases[] = {
      {Member(""), "2行目のＩＤ番号がありません。"},
      {Member("1e3"), "2行目のＩＤ番号に数字以外の文字があります。"},
      {Member("-1"), "2行目のＩＤ番号に数字以外の文字があります。"},
      {Member("12 3"), "2行目のＩＤ番号に数字以外の文字があります。"},
      {Member("1234567890"), "2行目のＩＤ番号を9桁以下に設定してください。"},
      {Member("１２３４５６７８９０"), "2行目のＩＤ番号を9桁以下に設定してください。"},
      {Member("2", ""), "2行目の利用者名がありません。"},
      {Member("2", "名前", "no-at-sign.example.jp"), "2行目のメールアドレスを確認してください。"},
      {Member("2", "名前", "", "2026/02/30"), "2行目の登録日を確認してください。"},
      {Member("2", "名前", "", "あした"), "2行目の登録日を確認してください。"},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckOne(c.row), c.message) << c.row.id.toStdString();

  RosterMember noHonorific = Member("2");
  noHonorific.honorific.clear();
  EXPECT_EQ(CheckOne(noHonorific), "2行目の利用者名の敬称がありません。");
  RosterMember noKana = Member("2");
  noKana.kana.clear();
  EXPECT_EQ(CheckOne(noKana), "2行目のかながありません。");
  // The ID is tested before the name: a row failing both names the ID.
  EXPECT_EQ(CheckOne(Member("x", "")), "2行目のＩＤ番号に数字以外の文字があります。");
}

TEST(MemberChecks, TidiesThePassingRowsAndKeepsTheTidyingBeforeAFailure) {
  std::vector<RosterMember> rows{Member("１２３", "a", "ｔａｒｏ＠ｅｘ．ｊｐ", "2026/4/1"),
                                 Member("124", "b", "", ""), Member("125", "c", "", "2026年5月6日"),
                                 Member("１２６", "d", "ｘ＠ｙ", "2026/13/01")};
  std::vector<int> tidied;
  EXPECT_EQ(CheckMemberRows(rows, kToday, &tidied), "4行目の登録日を確認してください。");
  EXPECT_EQ(rows[0].id, "123");
  EXPECT_EQ(rows[0].mailAddr, "taro@ex.jp");
  EXPECT_EQ(rows[0].date, "2026/04/01");
  EXPECT_EQ(rows[1].date, "2026/06/15");
  EXPECT_EQ(rows[2].date, "2026/05/06");
  EXPECT_EQ(rows[3].id, "126");  // tidied before its date failed
  EXPECT_EQ(rows[3].mailAddr, "x@y");
  EXPECT_EQ(tidied, (std::vector<int>{0, 1, 2, 3}));
}

TEST(MemberChecks, ADateWithATimeIsADateAndKeepsItsTime) {
  std::vector<RosterMember> rows{Member("1", "a", "", "2026/11/09 03:06:31"), Member("2", "b", "", "2026/11/9 3:06")};
  EXPECT_EQ(CheckMemberRows(rows, kToday), "");
  EXPECT_EQ(rows[0].date, "2026/11/09 03:06:31");
  EXPECT_EQ(rows[1].date, "2026/11/09 03:06:00");
  EXPECT_EQ(CheckOne(Member("2", "名前", "", "2026/11/09 24:00:00")), "2行目の登録日を確認してください。");
  EXPECT_EQ(CheckOne(Member("2", "名前", "", "2026/11/09 03:06:31 x")), "2行目の登録日を確認してください。");
  // The row's contact button judges the row the same way.
  RosterMember mailed = Member("3", "名前", "a@x.jp", "2026/11/09 03:06:31");
  EXPECT_EQ(CheckContactRow(mailed, kToday), "");
  EXPECT_EQ(mailed.date, "2026/11/09 03:06:31");
}

TEST(MemberChecks, ARepeatedIdIsNamedOnlyAfterEveryRowPassed) {
  std::vector<RosterMember> rows{Member("123"), Member("5"), Member("１２３"), Member("x")};
  EXPECT_EQ(CheckMemberRows(rows, kToday), "4行目のＩＤ番号に数字以外の文字があります。");
  rows[3].id = "7";
  EXPECT_EQ(CheckMemberRows(rows, kToday), "123のＩＤ番号が重複しています。");
}

TEST(GreetingChecks, AnEmptyMessageIsNamedByItsRow) {
  EXPECT_EQ(CheckGreetingRows({{"a", true}, {"b", false}, {"", true}}), "3行目のメッセージに入力がありません。");
  EXPECT_EQ(CheckGreetingRows({{"a", true}}), "");
}

TEST(PackedMembers, RowsReadBackAsWrittenThroughEditsLongTextsAndTheRewritingOfTheirBlocks) {
  PackedMembers rows;
  RosterMember blank;  // every text empty
  RosterMember longName = Member("2", QString(1500000, QChar(u'長')), "a@ex.jp;b@ex.jp");  // 4.5 MB of UTF-8
  longName.ticked = true;
  rows.Append(Member("1", "山田 太郎", "yamada@ex.jp", "2026/11/09 03:06:31"));
  rows.Append(blank);
  rows.Append(longName);
  auto same = [](const RosterMember& a, const RosterMember& b) {
    return a.id == b.id && a.name == b.name && a.honorific == b.honorific && a.kana == b.kana &&
           a.mailName == b.mailName && a.mailAddr == b.mailAddr && a.date == b.date && a.ticked == b.ticked;
  };
  EXPECT_TRUE(same(rows.At(0), Member("1", "山田 太郎", "yamada@ex.jp", "2026/11/09 03:06:31")));
  EXPECT_TRUE(same(rows.At(1), blank));
  EXPECT_TRUE(same(rows.At(2), longName));
  EXPECT_EQ(rows.Text(2, PackedMembers::MailAddr), "a@ex.jp;b@ex.jp");
  EXPECT_EQ(rows.Text(1, PackedMembers::Date), "");

  // Thousands of edits leave many times the rows' bytes behind, so the blocks are written anew
  // (more than once); every row and tick reads back as last written, wherever it moved.
  std::vector<RosterMember> expected{rows.At(0), blank, longName};
  for (int i = 0; i < 3000; ++i) {
    RosterMember m = Member(QString::number(100 + i), "会員" + QString(100, QChar(u'あ' + i % 50)));
    m.ticked = i % 3 == 0;
    const int at = 1 + i % int(expected.size());
    rows.Insert(at, m);
    expected.insert(expected.begin() + at, m);
  }
  for (int round = 0; round < 12; ++round)
    for (int i = 0; i < rows.Count(); i += 2) {
      RosterMember m = expected[size_t(i)];
      m.kana = QString::number(round) + QString(120, QChar(u'か'));
      rows.Replace(i, m);
      expected[size_t(i)] = m;
    }
  rows.Remove(5, 1000);
  expected.erase(expected.begin() + 5, expected.begin() + 1005);
  rows.SetTicked(4, !expected[4].ticked);
  expected[4].ticked = !expected[4].ticked;
  ASSERT_EQ(rows.Count(), int(expected.size()));
  for (int i = 0; i < rows.Count(); ++i) ASSERT_TRUE(same(rows.At(i), expected[size_t(i)])) << i;
}

// The table loads and saves on both drivers.
class TableRecordsTest : public AdminTest, public ::testing::WithParamInterface<testsupport::Driver> {
 protected:
  void SetUp() override {
    folder_.SetDriver(GetParam());
    AdminTest::SetUp();
  }
};

TEST_P(TableRecordsTest, MembersRoundTripAndTheSaveWritesOnlyWhatChanged) {
  Prepare();
  folder_.AddMember("100", "残る人");
  folder_.AddMember("200", "消える人");
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET LastIn=?, LastOut=? WHERE ID=?",
                          {QString("2026/06/01 08:00:00"), QString("2026/06/01 17:00:00"), QString("100")}));
  ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblData (ID, UserName, UserAdd, NameKana) VALUES ('300', 'x', 'y', 'z')"));

  std::vector<RosterMember> rows;
  ASSERT_TRUE(LoadMemberRows(rows, "2026/06/15"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].date, "2026/06/15");  // a Null date shows as today
  EXPECT_EQ(rows[2].mailAddr, "");

  rows[0].name = "O'Brien \"残る\" 人";
  rows.erase(rows.begin() + 1);
  rows.push_back(Member("400", "新しい'人", "", "2026/06/10"));
  rows.back().mailName.clear();
  ASSERT_TRUE(RunInTransaction([&] { return WriteMemberRows(rows, "2026/06/15"); }));

  const auto stored = StoredMembers();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0].name, "O'Brien \"残る\" 人");
  EXPECT_EQ(stored[0].mailName, "残る人");  // the hidden column kept
  EXPECT_EQ(stored[0].date, "2026/04/01");
  EXPECT_EQ(stored[0].update, "2026/06/15");
  EXPECT_EQ(stored[0].lastIn, "2026/06/01 08:00:00");
  EXPECT_EQ(stored[0].lastOut, "2026/06/01 17:00:00");
  EXPECT_EQ(stored[1].id, "300");
  EXPECT_EQ(stored[1].date, "2026/06/15");  // the date shown is stored
  EXPECT_EQ(stored[2].name, "新しい'人");
  EXPECT_EQ(stored[2].date, "2026/06/10");

  // A member found by the station's own lookup, quote and all.
  MemberRecord found;
  EXPECT_EQ(FindMember("400", found), LookupResult::Found);
  EXPECT_EQ(found.name, "新しい'人");

  std::vector<RosterMember> again;
  ASSERT_TRUE(LoadMemberRows(again, "2026/06/20"));
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[0].name, rows[0].name);
  EXPECT_EQ(again[2].mailName, "");
  ASSERT_TRUE(RunInTransaction([&] { return WriteMemberRows(again, "2026/06/20"); }));
  EXPECT_EQ(StoredMembers()[0].update, "2026/06/15");  // unchanged rows are not rewritten
}

TEST_P(TableRecordsTest, AMemberTableOfManyPagesLoadsWholeInTheOrderOfItsIds) {
  Prepare();
  // 10,123 members (the table is read in pages of 10,000), their IDs unpadded so that text order is not
  // number order ("10" before "9"), one with an ID that only a prefix tells from the next.
  constexpr int kMembers = 10123;
  ASSERT_TRUE(RunInTransaction([] {
    ImportedMemberInserter insert(64);
    for (int i = 1; i <= kMembers; ++i)
      if (!insert.Insert({QString::number(i), "会員" + QString::number(i), "様", "かな", "m@ex.jp"})) return false;
    return insert.Flush();
  }));
  std::vector<RosterMember> rows;
  PackedMembers packed;
  ASSERT_TRUE(LoadMemberRows(rows, "2026/06/15"));
  ASSERT_TRUE(LoadMemberRows(packed, "2026/06/15"));
  ASSERT_EQ(rows.size(), size_t(kMembers));
  ASSERT_EQ(packed.Count(), kMembers);
  QStringList ids;
  for (int i = 1; i <= kMembers; ++i) ids << QString::number(i);
  std::sort(ids.begin(), ids.end());
  for (int i = 0; i < kMembers; ++i) {
    ASSERT_EQ(rows[size_t(i)].id, ids[i]) << i;
    ASSERT_EQ(packed.Text(i, PackedMembers::Id), ids[i]) << i;
  }
  EXPECT_EQ(rows.back().name, "会員9999");
  EXPECT_EQ(packed.At(kMembers - 1).name, "会員9999");
  EXPECT_EQ(packed.At(kMembers - 1).date, "2026/06/15");
}

TEST_P(TableRecordsTest, GreetingsRoundTripAndTheStationFindsThem) {
  Prepare();
  ASSERT_TRUE(RunInTransaction([] {
    return WriteGreetingRows({{"おはよう 'ございます'", true}, {"おつかれさま", false}});
  }));
  std::vector<GreetingRow> rows;
  ASSERT_TRUE(LoadGreetingRows(rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].message, "おはよう 'ございます'");
  EXPECT_TRUE(rows[0].entry);
  EXPECT_FALSE(rows[1].entry);
  const GreetingPick in = PickGreeting(true);
  const GreetingPick out = PickGreeting(false);
  EXPECT_TRUE(in.found);
  EXPECT_EQ(in.message, "おはよう 'ございます'");
  EXPECT_EQ(out.message, "おつかれさま");
}

// A save and an import that fail store nothing, whatever failed before them; the next ones store
// everything. The first failure: a full database on SQLite, a commit the server refuses on
// PostgreSQL. Then the member inserts refused one by one.
class WholeAfterAFailure : public TableRecordsTest {
 protected:
  void FirstFailure(bool on) {
    if (GetParam() == testsupport::Driver::SQLite) folder_.FillDatabase(on);
    else folder_.RefuseInserts("tblData", on, true);
  }
  QStringList Passwords() const {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), "SELECT Password FROM tblPassword ORDER BY admin"));
    QStringList out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out << rs.Text("Password");
    return out;
  }
};

TEST_P(WholeAfterAFailure, TheTableSaveWithThePasswords) {
  Prepare();
  const QStringList passwords = Passwords();
  std::vector<RosterMember> rows;
  for (int i = 0; i < 300; ++i) rows.push_back(Member(QString::number(100000 + i), QString("利用者%1").arg(i)));
  auto save = [&](const QString& password) {
    return RunInTransaction([&] {
      return db::Execute(gcnDB(), "UPDATE tblPassword SET Password = ?", {password}) &&
             WriteMemberRows(rows, "2026/06/15");
    });
  };

  FirstFailure(true);
  EXPECT_FALSE(save("new1"));
  EXPECT_EQ(StoredMembers().size(), 0u);
  EXPECT_EQ(Passwords(), passwords);
  FirstFailure(false);
  folder_.RefuseInserts("tblData", true);
  EXPECT_FALSE(save("new2"));
  EXPECT_EQ(StoredMembers().size(), 0u);
  EXPECT_EQ(Passwords(), passwords);

  folder_.RefuseInserts("tblData", false);
  EXPECT_TRUE(save("new3"));
  EXPECT_EQ(StoredMembers().size(), 300u);
  EXPECT_EQ(Passwords(), QStringList(passwords.size(), "new3"));
}

TEST_P(WholeAfterAFailure, TheImport) {
  Prepare();
  std::vector<ImportedMember> members;
  for (int i = 0; i < 300; ++i)
    members.push_back({QString::number(200000 + i), QString("取込%1").arg(i), "さま", "とりこみ", QString()});
  auto import = [&] { return RunInTransaction([&] { return InsertImportedMembers(members); }); };

  FirstFailure(true);
  EXPECT_FALSE(import());
  EXPECT_EQ(StoredMembers().size(), 0u);
  FirstFailure(false);
  folder_.RefuseInserts("tblData", true);
  EXPECT_FALSE(import());
  EXPECT_EQ(StoredMembers().size(), 0u);
  // Refused at the commit only, after that.
  folder_.RefuseInserts("tblData", false);
  folder_.RefuseInserts("tblData", true, true);
  EXPECT_FALSE(import());
  EXPECT_EQ(StoredMembers().size(), 0u);

  folder_.RefuseInserts("tblData", false, true);
  EXPECT_TRUE(import());
  EXPECT_EQ(StoredMembers().size(), 300u);
}

}  // namespace
VELMOR_ON_BOTH_DRIVERS(TableRecordsTest);
VELMOR_ON_BOTH_DRIVERS(WholeAfterAFailure);

}  // namespace admintest
