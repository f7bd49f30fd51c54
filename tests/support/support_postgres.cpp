#include "support/support_postgres.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

#include <memory>

#include "common/mdlDB.h"
#include "support/support_servers.h"

namespace testsupport {
namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
// The server's own superuser, reached only through its socket in the server's folder.
const QString kSuperuser = QStringLiteral("postgres");

// The server refuses to run as root: a root test process runs its programs as "postgres".
bool AsRoot() { return geteuid() == 0; }

QStringList ServerUserCommand(const QString& program, const QStringList& arguments) {
  QStringList command;
  if (AsRoot()) command << QStringLiteral("runuser") << QStringLiteral("-u") << kSuperuser << QStringLiteral("--");
  return command << kBin + program << arguments;
}

bool Run(const QStringList& command, const QProcessEnvironment& environment, const QByteArray& input,
         QString* error) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(command.first(), command.mid(1));
  if (!process.waitForStarted(10000)) {
    if (error) *error = QStringLiteral("cannot start %1: %2").arg(command.first(), process.errorString());
    return false;
  }
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished(3000);
    if (error) *error = command.join(QLatin1Char(' ')) + QStringLiteral(": no answer");
    return false;
  }
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return true;
  if (error) *error = command.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromUtf8(process.readAll());
  return false;
}

std::unique_ptr<PostgresServer>& SharedSlot() {
  static std::unique_ptr<PostgresServer> server;
  return server;
}

}  // namespace

void PrintTo(Driver driver, std::ostream* os) {
  *os << (driver == Driver::SQLite ? "SQLite" : "PostgreSQL");
}

std::string DriverName(const ::testing::TestParamInfo<Driver>& info) {
  return info.param == Driver::SQLite ? "SQLite" : "PostgreSQL";
}

// Holds the write end of the watchdog's standard input: when the test program ends (or dies),
// the watchdog reads its end of file, stops the server and removes its folder.
struct PostgresServer::Watchdog {
  QProcess process;
};

PostgresServer& PostgresServer::Shared() {
  std::unique_ptr<PostgresServer>& slot = SharedSlot();
  if (!slot) {
    slot.reset(new PostgresServer);
    slot->Start();
    // Stopped while the application object still exists (its processes need it).
    qAddPostRoutine([] { SharedSlot().reset(); });
  }
  return *slot;
}

PostgresServer::PostgresServer() = default;

PostgresServer::~PostgresServer() { Stop(); }

bool PostgresServer::RunAsServerUser(const QString& program, const QStringList& arguments,
                                     QString* error) const {
  return Run(ServerUserCommand(program, arguments), QProcessEnvironment::systemEnvironment(), {}, error);
}

bool PostgresServer::Start() {
  QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velmor-pg-XXXXXX"));
  if (!dir.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  dir.setAutoRemove(false);
  dir_ = dir.path();
  if (AsRoot()) {
    const passwd* user = getpwnam(kSuperuser.toUtf8().constData());
    if (!user || chown(QFile::encodeName(dir_).constData(), user->pw_uid, user->pw_gid) != 0) {
      error_ = QStringLiteral("no user \"postgres\" to run the server as (package postgresql)");
      QDir(dir_).removeRecursively();
      return false;
    }
  }
  const QString data = dir_ + QStringLiteral("/data");
  if (!RunAsServerUser(QStringLiteral("initdb"),
                       {QStringLiteral("--no-sync"), QStringLiteral("-D"), data, QStringLiteral("-E"),
                        QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                        QStringLiteral("--lc-collate=C"), QStringLiteral("-U"), kSuperuser,
                        QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256")},
                       &error_)) {
    QDir(dir_).removeRecursively();
    return false;
  }
  // The watchdog first, so that no server outlives the program once it runs. Its own session
  // keeps it out of a kill of the test's process group.
  watchdog_ = new Watchdog;
  watchdog_->process.setChildProcessModifier([] { setsid(); });
  watchdog_->process.setStandardOutputFile(QProcess::nullDevice());
  watchdog_->process.setStandardErrorFile(QProcess::nullDevice());
  watchdog_->process.start(
      QStringLiteral("/bin/sh"),
      QStringList{QStringLiteral("-c"),
                  QStringLiteral("dir=$1; shift; read _; \"$@\"; rm -rf \"$dir\""), QStringLiteral("watchdog"), dir_} +
          ServerUserCommand(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data, QStringLiteral("-m"),
                                                       QStringLiteral("fast"), QStringLiteral("-w"),
                                                       QStringLiteral("stop")}));
  if (!watchdog_->process.waitForStarted(10000)) {
    error_ = QStringLiteral("cannot start the server's watchdog");
    delete watchdog_;
    watchdog_ = nullptr;
    QDir(dir_).removeRecursively();
    return false;
  }
  // A port just found free may be taken again before the server binds it: a few tries.
  for (int attempt = 0; attempt < 3 && port_ == 0; ++attempt) {
    const int port = UnusedPort();
    const QString options =
        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                       "-c synchronous_commit=off -c full_page_writes=off")
            .arg(port)
            .arg(dir_);
    if (RunAsServerUser(QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), data, QStringLiteral("-l"), dir_ + QStringLiteral("/server.log"),
                         QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-o"),
                         options, QStringLiteral("start")},
                        &error_))
      port_ = port;
  }
  if (port_ == 0) return false;
  if (!SuperuserSql(QStringLiteral("CREATE ROLE \"%1\" LOGIN CREATEDB PASSWORD '%2'")
                        .arg(QLatin1String(kStationDbUser), QLatin1String(kStationDbPassword)),
                    &error_)) {
    port_ = 0;
    return false;
  }
  error_.clear();
  return true;
}

void PostgresServer::Stop() {
  if (!watchdog_) return;
  watchdog_->process.closeWriteChannel();
  if (!watchdog_->process.waitForFinished(30000)) watchdog_->process.kill();
  delete watchdog_;
  watchdog_ = nullptr;
  port_ = 0;
}

bool PostgresServer::SuperuserSql(const QString& sql, QString* error) const {
  return Run({kBin + QStringLiteral("psql"), QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"),
              dir_, QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"), kSuperuser,
              QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-v"),
              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"), sql},
             QProcessEnvironment::systemEnvironment(), {}, error);
}

bool PostgresServer::Psql(const QString& database, const QStringList& arguments, const QByteArray& input,
                          QString* error) const {
  if (port_ == 0) {
    if (error) *error = error_;
    return false;
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("PGPASSWORD"), QLatin1String(kStationDbPassword));
  environment.insert(QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8"));
  return Run(QStringList{kBin + QStringLiteral("psql"), QStringLiteral("-X"), QStringLiteral("-q"),
                         QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(port_), QStringLiteral("-U"), QLatin1String(kStationDbUser),
                         QStringLiteral("-d"), database, QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1")} +
                 arguments,
             environment, input, error);
}

QString PostgresServer::CreateDatabase(QString* error) {
  const QString name = QStringLiteral("velmor_%1").arg(++databases_);
  if (!Psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("CREATE DATABASE %1").arg(name)},
            {}, error))
    return {};
  return name;
}

void PostgresServer::DropDatabase(const QString& name) {
  Psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)},
       {}, nullptr);
}

}  // namespace testsupport
