// The station database behind a real ODBC data source, on the SQLite ODBC driver and on psqlODBC
// with the test program's PostgreSQL server.
#include <gtest/gtest.h>

#include <QFile>

#include "db/db.h"
#include "common/StationRecords.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "support/support_program.h"

namespace {

using testsupport::Driver;
using testsupport::ProgramFolder;

class StationDatabase : public ::testing::TestWithParam<Driver> {
 protected:
  StationDatabase() { folder.SetDriver(GetParam()); }
  ProgramFolder folder;
};

QStringList Lower(QStringList names) {
  for (QString& name : names) name = name.toLower();
  return names;
}

TEST_P(StationDatabase, TablesHaveTheirColumnsInOrder) {
  folder.CreateDatabase();
  const std::pair<const char*, QStringList> tables[] = {
      {"tblData", {"ID", "UserName", "UserAdd", "NameKana", "MailName", "MailAddr", "Date",
                   "Update", "LastIn", "LastOut"}},
      {"tblHist", {"SEQ", "ID", "IOName", "inDate", "inTime", "imgFile"}},
      {"tblMessage", {"Message", "InYes"}},
      {"tblPassword", {"admin", "Password"}},
      {"tblServer", {"User", "smtp", "MailID", "MailPsw", "ftpUser", "ftpPsw", "ftpPath",
                     "ftpServer"}}};
  for (const auto& [table, columns] : tables) {
    db::Recordset rs;
    ASSERT_TRUE(rs.Open(gcnDB(), QStringLiteral("SELECT * FROM %1").arg(table))) << table;
    // Fields are found by name without regard to case (a server folds unquoted names).
    EXPECT_EQ(Lower(rs.FieldNames()), Lower(columns)) << table;
  }
}

TEST_P(StationDatabase, QuotesAndJapaneseAreStoredAndFound) {
  folder.CreateDatabase();
  const QString names[] = {QStringLiteral("O'Brien"), QStringLiteral("山田太郎"),
                           QStringLiteral("𠮷野 髙 ① ｶﾅ ～"), QStringLiteral("'; DROP TABLE tblData; --")};
  int id = 1;
  for (const QString& name : names) folder.AddMember(QString::number(id++), name, "さま");
  id = 1;
  for (const QString& name : names) {
    db::Recordset rs;
    ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblData where UserName = ?", {name}));
    ASSERT_EQ(rs.RecordCount(), 1) << qPrintable(name);
    EXPECT_EQ(rs.Text("ID"), QString::number(id++));
    EXPECT_EQ(rs.Text("username"), name);
  }
}

TEST_P(StationDatabase, LongTextsNullsAndNumbersReadBackWhole) {
  folder.CreateDatabase();
  // A full column (255 characters), read back six times over in one value: longer than one
  // piece of the driver's fetch, with two-byte characters across the seams.
  QString message;
  for (int i = 0; message.size() < 255; ++i) message += QStringLiteral("おはよう%1！").arg(i);
  message.truncate(255);
  ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)",
                          {message, db::Bool(true)}));
  ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblMessage (Message, InYes) VALUES (?, NULL)", {QString("")}));
  ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) "
                          "VALUES (?, ?, ?, ?, NULL)", {QString("1"), QString("入室"), 20261208, QString("09:05:00")}));
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblMessage order by InYes NULLS FIRST"));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_FALSE(rs.Value("InYes").isValid());
  EXPECT_EQ(rs.Text("Message"), QString());
  EXPECT_TRUE(rs.Value("Message").isValid());  // empty, not NULL
  rs.MoveNext();
  EXPECT_EQ(rs.Text("Message"), message);
  EXPECT_EQ(rs.Value("InYes").toInt(), -1);
  ASSERT_TRUE(rs.Open(gcnDB(), "select Message || Message || Message || Message || Message || Message "
                               "AS Six from tblMessage where InYes = -1"));
  EXPECT_EQ(rs.Text("Six"), message.repeated(6));
  ASSERT_TRUE(rs.Open(gcnDB(), "select SEQ, inDate, imgFile from tblHist"));
  EXPECT_EQ(rs.Value("inDate").toInt(), 20261208);
  EXPECT_EQ(rs.Value(0).toInt(), 1);
  EXPECT_FALSE(rs.Value("imgFile").isValid());
  EXPECT_FALSE(rs.Open(gcnDB(), "select nothing from tblHist"));
  EXPECT_FALSE(rs.LastError().isEmpty());
}

TEST_P(StationDatabase, DateTimeTextsReadBackAsWritten) {
  folder.CreateDatabase();
  folder.AddMember("123456789", "A");
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET LastIn = ?, \"Update\" = ? WHERE ID = ?",
                          {QString("2026/12/08 09:05:00"), QString("2026/12/08"), QString("123456789")}));
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblData where ID = ?", {QString("123456789")}));
  EXPECT_EQ(rs.Value("LastIn").toString(), QString("2026/12/08 09:05:00"));
  EXPECT_EQ(rs.Text("Update"), QString("2026/12/08"));
  EXPECT_EQ(rs.Text("LastOut"), QString());
}

TEST_P(StationDatabase, GreetingsAreSplitByTheYesNoConvention) {
  folder.CreateDatabase();
  const QString insert = "INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)";
  ASSERT_TRUE(db::Execute(gcnDB(), insert, {QString("ようこそ"), db::Bool(true)}));
  ASSERT_TRUE(db::Execute(gcnDB(), insert, {QString("さようなら"), db::Bool(false)}));
  db::Recordset in, out;
  ASSERT_TRUE(in.Open(gcnDB(), "select * from tblMessage where InYes = -1"));
  ASSERT_TRUE(out.Open(gcnDB(), "select * from tblMessage where InYes <> -1"));
  ASSERT_EQ(in.RecordCount(), 1);
  ASSERT_EQ(out.RecordCount(), 1);
  EXPECT_EQ(in.Text("Message"), QString("ようこそ"));
  EXPECT_TRUE(db::IsTrue(in.Value("InYes")));
  EXPECT_EQ(out.Text("Message"), QString("さようなら"));
}

TEST_P(StationDatabase, ServiceAccountRowAndTheFtpSwitch) {
  folder.CreateDatabase();
  QString error;
  gblnFtp = true;
  ASSERT_TRUE(LoadServiceAccount(&error)) << qPrintable(error);
  EXPECT_EQ(gstrSmtpServer, QString("127.0.0.1"));
  EXPECT_EQ(gstrMailID, QString("station@localhost"));
  EXPECT_FALSE(gblnFtp);  // the row names no FTP server

  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblServer SET ftpServer = ?, ftpUser = NULL",
                          {QString("127.0.0.1")}));
  gblnFtp = true;
  ASSERT_TRUE(LoadServiceAccount(&error));
  EXPECT_TRUE(gblnFtp);
  EXPECT_EQ(gstrFtpUser, QString());

  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblServer SET MailPsw = NULL"));
  EXPECT_FALSE(LoadServiceAccount(&error));
  ASSERT_TRUE(db::Execute(gcnDB(), "DELETE FROM tblServer"));
  EXPECT_FALSE(LoadServiceAccount(&error));
}

TEST_P(StationDatabase, NameListAndMemberTableSortAlikeOnEveryDriver) {
  folder.CreateDatabase();
  // IDs compare as texts; readings by code point (ASCII, hiragana, katakana); equal readings by
  // ID; a member without a reading first.
  const char* const members[][2] = {{"9", "やまだ"}, {"10", "あおき"}, {"7", "あおき"},
                                    {"100000001", "ヤマダ"}, {"2", "abc"}, {"30", "いとう"}};
  for (const auto& [id, kana] : members) folder.AddMember(id, "名", "さま", QString::fromUtf8(kana));
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET NameKana = NULL WHERE ID = ?", {QString("30")}));
  auto ids = [](const QString& sql) {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(gcnDB(), sql)) << qPrintable(rs.LastError());
    QStringList out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out << rs.Text("ID");
    return out;
  };
  const QStringList byKana{"30", "2", "10", "7", "9", "100000001"};
  EXPECT_EQ(ids(NameListSql(false)), byKana);
  EXPECT_EQ(ids(NameListSql(true)), (QStringList{"10", "100000001", "2", "30", "7", "9"}));
  // Rows rewritten between two pages (a scan's last time) keep their places.
  ASSERT_TRUE(db::Execute(gcnDB(), "UPDATE tblData SET LastIn = ? WHERE ID IN (?, ?)",
                          {QString("2026/12/08 09:05:00"), QString("10"), QString("2")}));
  EXPECT_EQ(ids(NameListSql(false)), byKana);
}

TEST(StationDatabaseFile, ADataSourceNamingNoFileFailsInsteadOfCreatingOne) {
  ProgramFolder folder;
  folder.CreateDatabase(false);
  folder.WriteBytes("odbc/odbc.ini", "[Pardix]\nDriver = SQLite3\nDatabase = " +
                                         QFile::encodeName(folder.Path() + "gone/Velmor.db") +
                                         "\nNoCreat = 1\n");
  QString error;
  EXPECT_FALSE(OpenStationDatabase(&error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(folder.Path() + "gone/Velmor.db"));
}

VELMOR_ON_BOTH_DRIVERS(StationDatabase);

}  // namespace
