#pragma once
// Connection and record sets over ODBC (Qt's QODBC driver behind unixODBC). Every value a
// statement carries is bound, never pasted into the SQL text.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <set>

class QSqlQuery;

namespace db {

// Yes/no columns follow the Access convention: true is stored as -1, false as 0. Every writer
// stores through Bool() and every reader compares through IsTrue(), so the station's
// "InYes = -1" query and the writers agree.
constexpr int kTrue = -1;
constexpr int kFalse = 0;
inline int Bool(bool value) { return value ? kTrue : kFalse; }
bool IsTrue(const QVariant& value);

// Makes sure the process's LC_CTYPE is a UTF-8 locale: the SQLite ODBC driver has no wide
// functions, and the driver manager mangles Japanese SQL text under the "C" locale.
void EnsureUtf8Locale();

class Statement;

// How a commit ended.
enum class CommitResult {
  Stored,     // everything the transaction wrote is in the database
  NotStored,  // nothing of it is: the database refused the commit and the transaction is rolled back
  Unknown,    // the connection failed while the commit ran: the database may hold all or nothing
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the data source `dsn` (a name from the ODBC data source files). A connection that was
  // open is closed first. Returns false and keeps the driver's message in LastError().
  bool Open(const QString& dsn, const QString& user, const QString& password);
  void Close();
  bool IsOpen() const;
  QSqlDatabase Database() const;
  QString LastError() const { return error_; }
  // The database product behind the open connection as its driver names it ("SQLite",
  // "PostgreSQL"), or the empty text.
  QString DbmsName() const;

  // Transactions. Begin() starts one; every statement up to Commit() or Rollback() belongs to it.
  // A statement that fails inside it ends what it can still do: the statements after it are
  // refused until Rollback(), on every driver alike (a database may have rolled the transaction
  // back by itself on a full disk or an I/O error, and what ran after that would be stored on its
  // own).
  //
  // Rollback() always leaves nothing of the transaction stored. When the driver cannot end the
  // transaction (the database ended it already, or the connection failed), the connection is
  // closed and opened again on the same data source, user and password before its next
  // statement, so that no driver state outlives the failure. Statements prepared before that are
  // prepared again on the new connection when they next run. Commit() reports how the commit
  // ended; after NotStored and Unknown the connection is ready for the next transaction as well.
  // Begin() and Commit() give the driver's text in `error` on failure.
  bool Begin(QString* error = nullptr);
  CommitResult Commit(QString* error = nullptr);
  bool Rollback(QString* error = nullptr);
  bool InTransaction() const { return inTransaction_; }

  // Whether an SQLite database file is mapped into memory (it is from Open()). A read of a whole
  // large table is better done unmapped: it then goes through SQLite's page cache, whose size is
  // bounded, instead of leaving every page of the file resident in the process. Other databases
  // ignore it.
  void MapFile(bool mapped);

  // Makes the connection ready for a statement: opens it again when a failure left it to be
  // reopened, never inside a transaction; refuses while a transaction waits for its rollback.
  // False with the reason.
  bool Ready(QString* error);
  // Notes a failed statement (a transaction that holds it can only be rolled back).
  void StatementFailed();

 private:
  friend class Statement;
  bool Reopen(QString* error);
  // Ends the driver's transaction (commit or rollback) and returns to one statement a
  // transaction; false with the driver's text and SQLSTATE.
  bool EndTransaction(bool commit, QString* error, QString* state);
  void ForgetStatements();

  QString name_;
  QString error_;
  QString dsn_, user_, password_;  // how the connection was opened, to open it again
  bool reopen_ = false;            // a failure left driver state that only a new connection clears
  bool mapped_ = true;             // MapFile's choice, kept when the connection is opened again
  bool inTransaction_ = false;
  bool aborted_ = false;           // a statement of the transaction failed
  std::set<Statement*> statements_;
};

// A record set with a static client-side cursor: a query's rows are read whole when it opens.
class Recordset {
 public:
  // Runs `sql` with `values` bound to its "?" placeholders, in order. Returns false on failure
  // (LastError() tells why); the record set is then closed.
  bool Open(Connection& connection, const QString& sql, const QVariantList& values = {});
  void Close();
  bool IsOpen() const { return open_; }

  int RecordCount() const { return static_cast<int>(rows_.size()); }
  bool Eof() const { return !open_ || row_ >= rows_.size(); }
  void MoveFirst() { row_ = 0; }
  void MoveNext() {
    if (row_ < rows_.size()) ++row_;
  }
  int AbsolutePosition() const { return static_cast<int>(row_); }
  void Move(int row) { row_ = row < 0 ? 0 : row; }

  // Field values of the current row, by name (letter case ignored) or by position. A Null column
  // gives an invalid QVariant; Text() gives the empty text for it, as `value & ""` did.
  QVariant Value(const QString& field) const;
  QVariant Value(int column) const;
  QString Text(const QString& field) const;
  bool Has(const QString& field) const { return FieldIndex(field) >= 0; }
  int FieldIndex(const QString& field) const;
  const QStringList& FieldNames() const { return fields_; }

  int RowsAffected() const { return affected_; }
  QString LastError() const { return error_; }

 private:
  bool open_ = false;
  QStringList fields_;
  QVector<QVector<QVariant>> rows_;
  qsizetype row_ = 0;
  int affected_ = 0;
  QString error_;
};

// A statement that returns no rows, prepared once and run many times with new values bound to
// its "?" placeholders: the driver parses it once, and a server that keeps prepared statements
// (PostgreSQL) is asked once per run instead of preparing it anew each time.
class Statement {
 public:
  Statement();
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Prepares `sql` on `connection`, which must outlive the statement or close first. Returns
  // false on failure; `error` gets the driver's message.
  bool Prepare(Connection& connection, const QString& sql, QString* error = nullptr);
  bool IsPrepared() const { return connection_ != nullptr; }
  // Runs the prepared statement with `values` bound to its placeholders, in order. Returns false
  // on failure; `error` gets the driver's message.
  bool Execute(const QVariantList& values, QString* error = nullptr);
  // The rows the last run changed.
  int RowsAffected() const;

 private:
  friend class Connection;
  bool PrepareOnConnection(QString* error);

  Connection* connection_ = nullptr;
  QString sql_;
  std::unique_ptr<QSqlQuery> query_;  // null after the connection was opened again
};

// Runs a statement that returns no rows. Returns false on failure; `error` gets the message and
// `affected` the number of rows changed.
bool Execute(Connection& connection, const QString& sql, const QVariantList& values = {},
             int* affected = nullptr, QString* error = nullptr);

}  // namespace db
