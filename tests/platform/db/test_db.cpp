// Statements of the station's connection while another process holds the database: they fail
// with the driver's message after the data source's bounded wait, and run again once it is free.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QFile>

#include "common/globals.h"
#include "db/db.h"
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

}  // namespace
