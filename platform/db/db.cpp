#include "db.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

#include <climits>
#include <vector>

#include <QCoreApplication>

#include <clocale>
#include <set>
#include <cstring>

namespace db {

bool IsTrue(const QVariant& value) {
  if (!value.isValid() || value.isNull()) return false;
  bool ok = false;
  const long long n = value.toLongLong(&ok);
  if (ok) return n != 0;
  const QString text = value.toString().trimmed();
  return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void EnsureUtf8Locale() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  if (current && (std::strstr(current, "UTF-8") || std::strstr(current, "utf8") ||
                  std::strstr(current, "UTF8") || std::strstr(current, "utf-8")))
    return;
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

namespace {
// Open connections, closed together when the application object goes: Qt's registry of
// connections is a global that static destruction may remove before a static Connection.
std::set<Connection*>& OpenConnections() {
  static std::set<Connection*> open;
  return open;
}
void CloseAllConnections() {
  const std::set<Connection*> open = OpenConnections();
  for (Connection* c : open) c->Close();
}

// The ODBC statement handle of a prepared query, or null when the query runs on another driver.
SQLHSTMT OdbcStatement(const QSqlQuery& query) {
  if (!query.driver() || QByteArray(query.driver()->metaObject()->className()) != "QODBCDriver")
    return nullptr;
  const QVariant handle = query.result() ? query.result()->handle() : QVariant();
  if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHSTMT)) return nullptr;
  return *static_cast<const SQLHSTMT*>(handle.constData());
}

// Reads every row of an executed ODBC statement straight from the driver: the same values Qt's
// fetch gives (Null as an invalid QVariant, whole numbers as integers, text as QString), at less
// than half its cost per value. Returns 1 when the rows were read, 0 when `query` is no ODBC
// statement (the caller fetches through Qt), -1 on a driver error (`error` says which).
int FetchThroughOdbc(QSqlQuery& query, int columns, QVector<QVector<QVariant>>& rows,
                     QString* error) {
  SQLHSTMT stmt = OdbcStatement(query);
  if (!stmt) return 0;

  enum class Kind { Whole, Real, Binary, Text };
  std::vector<Kind> kinds(columns, Kind::Text);
  for (int c = 0; c < columns; ++c) {
    SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
    SQLULEN size = 0;
    SQLCHAR name[2];
    if (!SQL_SUCCEEDED(SQLDescribeCol(stmt, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name,
                                      &nameLength, &type, &size, &digits, &nullable)))
      return 0;
    switch (type) {
      case SQL_BIT: case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
        kinds[c] = Kind::Whole; break;
      case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
        kinds[c] = Kind::Real; break;
      case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        kinds[c] = Kind::Binary; break;
      default: kinds[c] = Kind::Text; break;
    }
  }

  auto fail = [&](SQLRETURN) {
    SQLCHAR state[8] = {}, message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, sizeof message, &length);
    if (error) *error = QString::fromUtf8(reinterpret_cast<const char*>(message));
    return -1;
  };

  for (;;) {
    const SQLRETURN r = SQLFetch(stmt);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) return fail(r);
    QVector<QVariant> row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) {
      const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(c + 1);
      SQLLEN length = 0;
      switch (kinds[c]) {
        case Kind::Whole: {
          SQLBIGINT v = 0;
          const SQLRETURN g = SQLGetData(stmt, col, SQL_C_SBIGINT, &v, sizeof v, &length);
          if (!SQL_SUCCEEDED(g)) return fail(g);
          if (length == SQL_NULL_DATA) row << QVariant();
          else if (v >= INT_MIN && v <= INT_MAX) row << QVariant(static_cast<int>(v));
          else row << QVariant(static_cast<qlonglong>(v));
          break;
        }
        case Kind::Real: {
          double v = 0;
          const SQLRETURN g = SQLGetData(stmt, col, SQL_C_DOUBLE, &v, sizeof v, &length);
          if (!SQL_SUCCEEDED(g)) return fail(g);
          row << (length == SQL_NULL_DATA ? QVariant() : QVariant(v));
          break;
        }
        case Kind::Binary:
        case Kind::Text: {
          // Long values come in pieces: each call returns the next part.
          const bool text = kinds[c] == Kind::Text;
          QByteArray bytes;
          char buffer[1024];
          bool null = false;
          for (;;) {
            const SQLRETURN g = SQLGetData(stmt, col, text ? SQL_C_WCHAR : SQL_C_BINARY, buffer,
                                           sizeof buffer, &length);
            if (g == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(g)) return fail(g);
            if (length == SQL_NULL_DATA) {
              null = true;
              break;
            }
            const qsizetype room = text ? sizeof buffer - sizeof(SQLWCHAR) : sizeof buffer;
            const bool more = length == SQL_NO_TOTAL || length > room;
            bytes.append(buffer, more ? room : length);
            if (!more) break;
          }
          if (null) row << QVariant();
          else if (!text) row << QVariant(bytes);
          else row << QVariant(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()),
                                                  bytes.size() / 2));
          break;
        }
      }
    }
    rows << std::move(row);
  }
  return 1;
}

QString NextConnectionName() {
  static QAtomicInt counter;
  return QStringLiteral("velmor-db-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The ODBC connection handle of an open QODBC connection, or null.
SQLHDBC OdbcConnection(const QSqlDatabase& database) {
  if (!database.isOpen() || !database.driver()) return nullptr;
  const QVariant handle = database.driver()->handle();
  if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHDBC)) return nullptr;
  return *static_cast<const SQLHDBC*>(handle.constData());
}

// The first diagnostic record of a failed call on `handle`: its text, and its SQLSTATE in `state`.
QString Diagnostic(SQLSMALLINT type, SQLHANDLE handle, QString* state) {
  SQLCHAR code[8] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, code, &native, message, sizeof message, &length))) {
    if (state) state->clear();
    return QStringLiteral("the driver gave no reason");
  }
  if (state) *state = QString::fromLatin1(reinterpret_cast<const char*>(code));
  return QString::fromUtf8(reinterpret_cast<const char*>(message));
}

bool SetAutocommit(SQLHDBC dbc, bool on) {
  return SQL_SUCCEEDED(SQLSetConnectAttr(
      dbc, SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
      SQL_IS_UINTEGER));
}

// Whether the driver knows its connection to the database is gone (a driver that cannot tell
// answers no).
bool ConnectionDead(SQLHDBC dbc) {
  SQLUINTEGER dead = SQL_CD_FALSE;
  return SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr)) &&
         dead == SQL_CD_TRUE;
}

// SQLSTATE class 08 is a failed connection; HYT00/HYT01 a call that timed out. After either, a
// commit may or may not have reached the database.
bool OutcomeUnknown(const QString& state) {
  return state.startsWith(QLatin1String("08")) || state == QLatin1String("HYT00") ||
         state == QLatin1String("HYT01");
}

// The longest a statement waits for a database that another process keeps busy or locked.
constexpr SQLULEN kStatementTimeoutSeconds = 2;

// Prepares `sql` with the driver's query time-out; a driver that has none refuses the attribute or
// answers that it changed it, and the statement runs all the same. The SQLite driver accepts it
// but does not act on it: its data source bounds the wait through its own Timeout.
bool PrepareQuery(QSqlQuery& query, const QString& sql, QString* error) {
  if (!query.prepare(sql)) {
    if (error) *error = query.lastError().text();
    return false;
  }
  if (SQLHSTMT stmt = OdbcStatement(query))
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(kStatementTimeoutSeconds),
                   SQL_IS_UINTEGER);
  return true;
}

// Binds `values` in order to a prepared query and runs it.
bool ExecPrepared(QSqlQuery& query, const QVariantList& values, QString* error) {
  for (int i = 0; i < values.size(); ++i) query.bindValue(i, values[i]);
  if (!query.exec()) {
    if (error) *error = query.lastError().text();
    return false;
  }
  return true;
}
}  // namespace

Connection::Connection() = default;

Connection::~Connection() {
  Close();
  for (Statement* statement : statements_) statement->connection_ = nullptr;
}

bool Connection::Open(const QString& dsn, const QString& user, const QString& password) {
  Close();
  EnsureUtf8Locale();
  dsn_ = dsn;
  user_ = user;
  password_ = password;
  name_ = NextConnectionName();
  {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
    database.setDatabaseName(dsn);
    database.setUserName(user);
    database.setPassword(password);
    if (!database.open()) {
      error_ = database.lastError().text();
      if (error_.trimmed().isEmpty()) error_ = QStringLiteral("cannot open data source %1").arg(dsn);
      database = QSqlDatabase();
      QSqlDatabase::removeDatabase(name_);
      name_.clear();
      return false;
    }
  }
  error_.clear();
  static const bool cleanupRegistered = [] {
    qAddPostRoutine(CloseAllConnections);
    return true;
  }();
  (void)cleanupRegistered;
  OpenConnections().insert(this);
  if (DbmsName() == QLatin1String("SQLite")) {
    // SQLite's own page cache (2 MB) is small beside a history of a million rows: a larger one,
    // and the file mapped into memory, let a month's query read the pages once. Neither setting
    // changes what is stored or how safely.
    QSqlQuery pragma(Database());
    pragma.exec(QStringLiteral("PRAGMA cache_size = -65536"));
    MapFile(true);
  }
  return true;
}

void Connection::MapFile(bool mapped) {
  mapped_ = mapped;
  if (!IsOpen() || DbmsName() != QLatin1String("SQLite")) return;
  QSqlQuery pragma(Database());
  pragma.exec(mapped ? QStringLiteral("PRAGMA mmap_size = 268435456") : QStringLiteral("PRAGMA mmap_size = 0"));
}

void Connection::Close() {
  // A driver inside a transaction refuses to close.
  if (inTransaction_) Rollback();
  OpenConnections().erase(this);
  ForgetStatements();
  inTransaction_ = aborted_ = reopen_ = false;
  if (name_.isEmpty()) return;
  {
    QSqlDatabase database = QSqlDatabase::database(name_, false);
    if (database.isOpen()) database.close();
  }
  QSqlDatabase::removeDatabase(name_);
  name_.clear();
}

bool Connection::IsOpen() const {
  return !name_.isEmpty() && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::Database() const { return QSqlDatabase::database(name_, false); }

QString Connection::DbmsName() const {
  SQLHDBC dbc = OdbcConnection(Database());
  if (!dbc) return {};
  SQLCHAR name[128] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
  return QString::fromUtf8(reinterpret_cast<const char*>(name));
}

void Connection::ForgetStatements() {
  for (Statement* statement : statements_) statement->query_.reset();
}

bool Connection::Reopen(QString* error) {
  // The statements' queries go before the connection they run on. The new connection gets the
  // settings the old one had; temporary tables are the statements' own to make again.
  const QString dsn = dsn_, user = user_, password = password_;
  const bool mapped = mapped_;
  Close();
  if (!Open(dsn, user, password)) {
    reopen_ = true;  // try again before the next statement
    if (error) *error = error_;
    return false;
  }
  if (!mapped) MapFile(false);
  return true;
}

bool Connection::Ready(QString* error) {
  // Inside a transaction that failed nothing runs, and the connection is never opened again: a
  // new connection would run the statement on its own, outside the transaction, and store it.
  if (inTransaction_ && (aborted_ || reopen_)) {
    if (error)
      *error = QStringLiteral("a statement of the transaction failed: it can only be rolled back");
    return false;
  }
  if (reopen_ && !Reopen(error)) return false;
  if (!IsOpen()) {
    if (error) *error = QStringLiteral("the database connection is not open");
    return false;
  }
  return true;
}

void Connection::StatementFailed() {
  if (inTransaction_) aborted_ = true;
  // A connection the server ended is replaced before the next statement.
  if (SQLHDBC dbc = OdbcConnection(Database()); dbc && ConnectionDead(dbc)) reopen_ = true;
}

bool Connection::EndTransaction(bool commit, QString* error, QString* state) {
  SQLHDBC dbc = OdbcConnection(Database());
  if (!dbc) {
    if (error) *error = QStringLiteral("the database connection is not open");
    if (state) *state = QStringLiteral("08003");
    return false;
  }
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, commit ? SQL_COMMIT : SQL_ROLLBACK))) {
    const QString text = Diagnostic(SQL_HANDLE_DBC, dbc, state);
    if (error) *error = text;
    return false;
  }
  inTransaction_ = aborted_ = false;
  // The transaction is over; a driver that cannot go back to one statement a transaction is
  // replaced before the next statement.
  if (!SetAutocommit(dbc, true)) reopen_ = true;
  return true;
}

bool Connection::Begin(QString* error) {
  if (inTransaction_) {
    if (error) *error = QStringLiteral("a transaction is running already");
    return false;
  }
  if (!Ready(error)) return false;
  SQLHDBC dbc = OdbcConnection(Database());
  if (!dbc || !SetAutocommit(dbc, false)) {
    const QString text = dbc ? Diagnostic(SQL_HANDLE_DBC, dbc, nullptr) : QStringLiteral("no ODBC connection");
    if (error) *error = text;
    if (dbc) reopen_ = true;  // the driver's mode is no longer known
    return false;
  }
  inTransaction_ = true;
  aborted_ = false;
  return true;
}

CommitResult Connection::Commit(QString* error) {
  if (!inTransaction_) {
    if (error) *error = QStringLiteral("no transaction is running");
    return CommitResult::NotStored;
  }
  if (aborted_) {
    if (error && error->isEmpty())
      *error = QStringLiteral("a statement of the transaction failed: it was rolled back");
    Rollback();
    return CommitResult::NotStored;
  }
  QString state;
  if (EndTransaction(true, error, &state)) return CommitResult::Stored;
  SQLHDBC dbc = OdbcConnection(Database());
  if (OutcomeUnknown(state) || !dbc || ConnectionDead(dbc)) {
    // Nothing more can be learnt on this connection: a new one tells what the database holds.
    inTransaction_ = aborted_ = false;
    reopen_ = true;
    return CommitResult::Unknown;
  }
  // The database refused the commit: what it still holds of the transaction goes.
  Rollback();
  return CommitResult::NotStored;
}

bool Connection::Rollback(QString* error) {
  if (!inTransaction_) return true;
  if (EndTransaction(false, error, nullptr)) return true;
  // The driver could not end the transaction: the database ended it already (SQLite does so on a
  // full disk or an I/O error), or the connection failed. The driver still takes itself to be in
  // the transaction and would run the next statements outside of any, or refuse to close. Give it
  // a transaction of the database's own to end, so that it lets go, and replace the connection.
  inTransaction_ = aborted_ = false;
  reopen_ = true;
  if (SQLHDBC dbc = OdbcConnection(Database())) {
    QSqlQuery begin(Database());
    if (begin.exec(QStringLiteral("BEGIN")) && SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK)))
      SetAutocommit(dbc, true);
  }
  return false;
}

bool Recordset::Open(Connection& connection, const QString& sql, const QVariantList& values) {
  Close();
  if (!connection.Ready(&error_)) return false;
  QSqlQuery query(connection.Database());
  query.setForwardOnly(true);
  if (!PrepareQuery(query, sql, &error_) || !ExecPrepared(query, values, &error_)) {
    connection.StatementFailed();
    return false;
  }
  if (query.isSelect()) {
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) fields_ << record.fieldName(i);
    const int fetched = FetchThroughOdbc(query, static_cast<int>(fields_.size()), rows_, &error_);
    if (fetched < 0) {
      connection.StatementFailed();
      Close();
      return false;
    }
    if (fetched == 0) {  // not an ODBC statement: fetch through Qt
      while (query.next()) {
        QVector<QVariant> row;
        row.reserve(fields_.size());
        for (int i = 0; i < fields_.size(); ++i) row << query.value(i);
        rows_ << std::move(row);
      }
      if (query.lastError().isValid()) {
        error_ = query.lastError().text();
        connection.StatementFailed();
        Close();
        return false;
      }
    }
  } else {
    affected_ = query.numRowsAffected();
  }
  open_ = true;
  row_ = 0;
  error_.clear();
  return true;
}

void Recordset::Close() {
  open_ = false;
  fields_.clear();
  rows_.clear();
  row_ = 0;
  affected_ = 0;
}

int Recordset::FieldIndex(const QString& field) const {
  for (int i = 0; i < fields_.size(); ++i)
    if (fields_[i].compare(field, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QVariant Recordset::Value(int column) const {
  if (Eof() || column < 0 || column >= fields_.size()) return {};
  const QVariant& v = rows_[row_][column];
  if (v.isNull()) return {};
  return v;
}

QVariant Recordset::Value(const QString& field) const { return Value(FieldIndex(field)); }

QString Recordset::Text(const QString& field) const {
  const QVariant v = Value(field);
  return v.isValid() ? v.toString() : QString();
}

Statement::Statement() = default;

Statement::~Statement() {
  query_.reset();
  if (connection_) connection_->statements_.erase(this);
}

bool Statement::Prepare(Connection& connection, const QString& sql, QString* error) {
  query_.reset();
  if (connection_) connection_->statements_.erase(this);
  connection_ = nullptr;
  sql_ = sql;
  if (!connection.Ready(error)) return false;
  connection_ = &connection;
  connection.statements_.insert(this);
  if (PrepareOnConnection(error)) return true;
  connection.StatementFailed();
  connection.statements_.erase(this);
  connection_ = nullptr;
  return false;
}

bool Statement::PrepareOnConnection(QString* error) {
  auto query = std::make_unique<QSqlQuery>(connection_->Database());
  if (!PrepareQuery(*query, sql_, error)) return false;
  query_ = std::move(query);
  return true;
}

bool Statement::Execute(const QVariantList& values, QString* error) {
  if (!connection_) {
    if (error) *error = QStringLiteral("the statement is not prepared");
    return false;
  }
  // The connection may have been opened again since the statement was prepared (its query went
  // with the old one): prepare it anew on this one.
  if (!connection_->Ready(error)) return false;
  if (!query_ && !PrepareOnConnection(error)) {
    connection_->StatementFailed();
    return false;
  }
  if (ExecPrepared(*query_, values, error)) return true;
  connection_->StatementFailed();
  return false;
}

int Statement::RowsAffected() const { return query_ ? query_->numRowsAffected() : 0; }

bool Execute(Connection& connection, const QString& sql, const QVariantList& values,
             int* affected, QString* error) {
  Statement statement;
  if (!statement.Prepare(connection, sql, error) || !statement.Execute(values, error)) return false;
  if (affected) *affected = statement.RowsAffected();
  return true;
}

}  // namespace db
