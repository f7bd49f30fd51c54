#pragma once
// The two database drivers the station's tests run on, and the test program's own PostgreSQL
// server.
//
// A test that touches the database runs on both drivers as a value parameter:
//
//   class MyTest : public ::testing::TestWithParam<testsupport::Driver> { ... };
//   TEST_P(MyTest, Something) { folder.SetDriver(GetParam()); folder.CreateDatabase(); ... }
//   VELMOR_ON_BOTH_DRIVERS(MyTest);
//
// The server starts when the first test asks for a PostgreSQL database and runs until the
// program ends: initdb and pg_ctl from /usr/lib/postgresql/15/bin (as the user "postgres" when
// the tests run as root), a temporary folder of its own, UTF-8 with the C collation, a free
// 127.0.0.1 port, and the station's role with its password. A watchdog process stops it and
// removes its folder when the test program ends, however it ends.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

namespace testsupport {

enum class Driver { SQLite, PostgreSQL };

void PrintTo(Driver driver, std::ostream* os);
// "SQLite" or "PostgreSQL": the suffix of a test's name.
std::string DriverName(const ::testing::TestParamInfo<Driver>& info);
inline auto BothDrivers() { return ::testing::Values(Driver::SQLite, Driver::PostgreSQL); }

// Runs the value-parameterized suite `suite` once on each driver. (CTest runs each test in a
// process of its own; the ODBC driver manager keeps the data source files it read first for the
// rest of the process, so one process gives one program folder's data source.)
#define VELMOR_ON_BOTH_DRIVERS(suite) \
  INSTANTIATE_TEST_SUITE_P(Drivers, suite, ::testsupport::BothDrivers(), ::testsupport::DriverName)

class PostgresServer {
 public:
  // The program's server, started on the first call. When it could not start, Port() is 0 and
  // Error() says why.
  static PostgresServer& Shared();

  int Port() const { return port_; }
  QString Error() const { return error_; }

  // Creates an empty database owned by the station's role and returns its name (the empty text,
  // with `error` set, on failure).
  QString CreateDatabase(QString* error);
  // Drops a database, closing the connections that still use it.
  void DropDatabase(const QString& name);
  // Runs psql as the station's role on `database` with `input` on its standard input (a COPY's
  // rows, say) and `arguments` after the connection options. Returns false with psql's errors.
  bool Psql(const QString& database, const QStringList& arguments, const QByteArray& input,
            QString* error) const;

  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

 private:
  PostgresServer();
  bool Start();
  void Stop();
  // Runs a server program (as the server's user) and waits for it; false with its output on failure.
  bool RunAsServerUser(const QString& program, const QStringList& arguments, QString* error) const;
  bool SuperuserSql(const QString& sql, QString* error) const;

  QString dir_;
  int port_ = 0;
  int databases_ = 0;
  QString error_;
  struct Watchdog;
  Watchdog* watchdog_ = nullptr;
};

}  // namespace testsupport
