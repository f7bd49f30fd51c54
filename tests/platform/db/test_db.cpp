// Statements of the station's connection while another process holds the database: they fail
// with the driver's message after the data source's bounded wait, and run again once it is free.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QFile>

#include "common/globals.h"
#include "db/db.h"
#include "history/MemberSelection.h"
#include "support/support_program.h"

namespace {

// Another process's write lock on the database file, taken through SQLite itself.
class WriteLock {
 public:
  explicit WriteLock(const QString& file) {
    EXPECT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db_), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
  }
  ~WriteLock() { Release(); }
  void Release() {
    if (!db_) return;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(DatabaseWaits, ALockedDatabaseFailsTheStatementAndTheSameStatementRunsOnceItIsFree) {
  testsupport::ProgramFolder folder;
  folder.CreateDatabase();
  folder.AddMember(QStringLiteral("100001"), QStringLiteral("利用者"));
  const QString update = QStringLiteral("UPDATE tblData SET LastIn = ? WHERE ID = ?");
  const QVariantList values{QStringLiteral("2026/04/02 09:00:00"), QStringLiteral("100001")};

  WriteLock lock(folder.DatabaseFile());
  QString error;
  EXPECT_FALSE(db::Execute(gcnDB(), update, values, nullptr, &error));
  EXPECT_FALSE(error.trimmed().isEmpty());
  db::Recordset rs;
  EXPECT_FALSE(rs.Open(gcnDB(), QStringLiteral("SELECT LastIn FROM tblData WHERE ID = ?"), {values[1]}));
  EXPECT_FALSE(rs.LastError().trimmed().isEmpty());

  lock.Release();
  int affected = 0;
  EXPECT_TRUE(db::Execute(gcnDB(), update, values, &affected, &error)) << qPrintable(error);
  EXPECT_EQ(affected, 1);
  ASSERT_TRUE(rs.Open(gcnDB(), QStringLiteral("SELECT LastIn FROM tblData WHERE ID = ?"), {values[1]}))
      << qPrintable(rs.LastError());
  EXPECT_EQ(rs.Text(QStringLiteral("LastIn")), values[0].toString());
}

// A transaction the database ended by itself (a full database): the statements after the failure
// are refused, the rollback tells that the driver could not end it, and the connection, opened
// anew, runs a statement prepared before all that, in and out of the next transaction.
TEST(Transactions, AfterTheDatabaseEndedATransactionTheNextOneIsWhole) {
  testsupport::ProgramFolder folder;
  folder.CreateDatabase();
  folder.AddMember(QStringLiteral("100001"), QStringLiteral("利用者"));
  db::Connection& connection = gcnDB();
  db::Statement update;
  ASSERT_TRUE(update.Prepare(connection, QStringLiteral("UPDATE tblData SET LastIn = ? WHERE ID = ?")));
  const QString history = QStringLiteral("INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) "
                                         "VALUES ('100001', 'x', 1, '00:00:00', ?)");
  auto lastIn = [&] {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(connection, QStringLiteral("SELECT LastIn FROM tblData")));
    return rs.Text(QStringLiteral("LastIn"));
  };

  folder.FillDatabase(true);
  ASSERT_TRUE(connection.Begin());
  EXPECT_TRUE(update.Execute({QStringLiteral("a"), QStringLiteral("100001")}));
  QString error;
  EXPECT_FALSE(db::Execute(connection, history, {QString(20000, 'x')}, nullptr, &error));
  EXPECT_FALSE(update.Execute({QStringLiteral("b"), QStringLiteral("100001")}, &error));
  EXPECT_EQ(connection.Commit(), db::CommitResult::NotStored);
  EXPECT_FALSE(connection.InTransaction());
  EXPECT_EQ(lastIn(), QString());

  folder.FillDatabase(false);
  EXPECT_TRUE(update.Execute({QStringLiteral("c"), QStringLiteral("100001")}, &error)) << qPrintable(error);
  EXPECT_EQ(lastIn(), QStringLiteral("c"));
  ASSERT_TRUE(connection.Begin());
  EXPECT_TRUE(update.Execute({QStringLiteral("d"), QStringLiteral("100001")}));
  EXPECT_TRUE(db::Execute(connection, history, {QString(20000, 'x')}));
  EXPECT_EQ(connection.Commit(), db::CommitResult::Stored);
  db::Connection other;
  ASSERT_TRUE(other.Open(QStringLiteral("Pardix"), QString(), QString()));
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(other, QStringLiteral("SELECT COUNT(*) FROM tblHist")));
  EXPECT_EQ(rs.Value(0).toInt(), 1);

  // A rolled back transaction stores nothing; the connection goes on in one statement a
  // transaction.
  ASSERT_TRUE(connection.Begin());
  EXPECT_TRUE(update.Execute({QStringLiteral("e"), QStringLiteral("100001")}));
  EXPECT_TRUE(connection.Rollback());
  EXPECT_TRUE(update.Execute({QStringLiteral("f"), QStringLiteral("100001")}));
  ASSERT_TRUE(rs.Open(other, QStringLiteral("SELECT LastIn FROM tblData")));
  EXPECT_EQ(rs.Text(QStringLiteral("LastIn")), QStringLiteral("f"));
}

// The server ended the connection in the middle of a transaction: nothing of the transaction is
// stored, every statement after the failure is refused until the rollback, and then the
// connection, opened anew, works as before, its temporary selection table and transactions
// included.
TEST(Transactions, AConnectionLostInATransactionStoresNothingOfItAndOpensAgainAfterTheRollback) {
  testsupport::ProgramFolder folder;
  folder.SetDriver(testsupport::Driver::PostgreSQL);
  folder.CreateDatabase();
  folder.AddMember(QStringLiteral("100001"), QStringLiteral("利用者"));
  db::Connection& connection = gcnDB();
  db::Connection other;
  ASSERT_TRUE(other.Open(QStringLiteral("Pardix"), QStringLiteral("Admin"), QStringLiteral("58314790")))
      << qPrintable(other.LastError());
  auto backend = [&] {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(connection, QStringLiteral("SELECT pg_backend_pid()"))) << qPrintable(rs.LastError());
    return rs.Value(0).toInt();
  };
  auto stored = [&] {
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(other, QStringLiteral("SELECT COUNT(*) FROM tblHist")));
    return rs.Value(0).toInt();
  };
  const QString history = QStringLiteral("INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) "
                                         "VALUES ('100001', ?, 20260402, '09:00:00', '')");
  const int first = backend();

  ASSERT_TRUE(connection.Begin());
  EXPECT_TRUE(db::Execute(connection, history, {QStringLiteral("1")}));
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(other, QStringLiteral("SELECT pg_terminate_backend(?)"), {first}))
      << qPrintable(rs.LastError());
  EXPECT_FALSE(db::Execute(connection, history, {QStringLiteral("2")}));
  QString error;
  EXPECT_FALSE(db::Execute(connection, history, {QStringLiteral("3")}, nullptr, &error));
  EXPECT_TRUE(error.contains(QLatin1String("rolled back"))) << qPrintable(error);
  EXPECT_FALSE(rs.Open(connection, QStringLiteral("SELECT COUNT(*) FROM tblHist")));
  EXPECT_TRUE(connection.InTransaction());
  EXPECT_EQ(stored(), 0);
  connection.Rollback();
  EXPECT_FALSE(connection.InTransaction());
  EXPECT_EQ(stored(), 0);

  EXPECT_NE(backend(), first);
  EXPECT_TRUE(db::Execute(connection, history, {QStringLiteral("4")}, nullptr, &error)) << qPrintable(error);
  EXPECT_EQ(stored(), 1);
  MemberSelection ticked;
  ticked.kind = MemberSelection::Kind::Ticked;
  ticked.tickedIds = {QStringLiteral("100001")};
  ASSERT_TRUE(OpenMemberSelection(connection, rs, ticked, &error)) << qPrintable(error);
  EXPECT_EQ(rs.RecordCount(), 1);
}

}  // namespace
