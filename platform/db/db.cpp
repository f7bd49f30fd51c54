#include "db.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

QString NextConnectionName() {
  static QAtomicInt counter;
  return QStringLiteral("velmor-db-%1").arg(counter.fetchAndAddRelaxed(1));
}

void Bind(QSqlQuery& query, const QVariantList& values) {
  for (const QVariant& v : values) query.addBindValue(v);
}
}  // namespace

Connection::Connection() = default;

Connection::~Connection() { Close(); }

bool Connection::Open(const QString& dsn, const QString& user, const QString& password) {
  Close();
  EnsureUtf8Locale();
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
  return true;
}

void Connection::Close() {
  OpenConnections().erase(this);
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

bool Recordset::Open(Connection& connection, const QString& sql, const QVariantList& values) {
  Close();
  if (!connection.IsOpen()) {
    error_ = QStringLiteral("the database connection is not open");
    return false;
  }
  QSqlQuery query(connection.Database());
  query.setForwardOnly(true);
  if (!query.prepare(sql)) {
    error_ = query.lastError().text();
    return false;
  }
  Bind(query, values);
  if (!query.exec()) {
    error_ = query.lastError().text();
    return false;
  }
  if (query.isSelect()) {
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) fields_ << record.fieldName(i);
    while (query.next()) {
      QVector<QVariant> row;
      row.reserve(fields_.size());
      for (int i = 0; i < fields_.size(); ++i) row << query.value(i);
      rows_ << std::move(row);
    }
    if (query.lastError().isValid()) {
      error_ = query.lastError().text();
      Close();
      return false;
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

bool Execute(Connection& connection, const QString& sql, const QVariantList& values,
             int* affected, QString* error) {
  if (!connection.IsOpen()) {
    if (error) *error = QStringLiteral("the database connection is not open");
    return false;
  }
  QSqlQuery query(connection.Database());
  if (!query.prepare(sql)) {
    if (error) *error = query.lastError().text();
    return false;
  }
  Bind(query, values);
  if (!query.exec()) {
    if (error) *error = query.lastError().text();
    return false;
  }
  if (affected) *affected = query.numRowsAffected();
  return true;
}

}  // namespace db
