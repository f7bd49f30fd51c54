#pragma once
// Connection and record sets over ODBC (Qt's QODBC driver behind unixODBC). Every value a
// statement carries is bound, never pasted into the SQL text.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

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

 private:
  QString name_;
  QString error_;
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

  // Prepares `sql` on `connection`, which must stay open while the statement is used. Returns
  // false on failure; `error` gets the driver's message.
  bool Prepare(Connection& connection, const QString& sql, QString* error = nullptr);
  bool IsPrepared() const { return query_ != nullptr; }
  // Runs the prepared statement with `values` bound to its placeholders, in order. Returns false
  // on failure; `error` gets the driver's message.
  bool Execute(const QVariantList& values, QString* error = nullptr);
  // The rows the last run changed.
  int RowsAffected() const;

 private:
  std::unique_ptr<QSqlQuery> query_;
};

// Runs a statement that returns no rows. Returns false on failure; `error` gets the message and
// `affected` the number of rows changed.
bool Execute(Connection& connection, const QString& sql, const QVariantList& values = {},
             int* affected = nullptr, QString* error = nullptr);

}  // namespace db
