// velmor-setup FOLDER [--demo] [--members N] [--server HOST [--port N] [--database NAME]]
// Creates the station database FOLDER/Velmor.db through the SQLite ODBC driver (or, with
// --server, the tables and first rows in a database on a PostgreSQL server), registers the user
// data source "Pardix" for it when none exists, and with --demo fills FOLDER with a complete
// demo program folder (settings, templates, pictures, sounds, members and greetings). --use-dsn
// points an existing data source "Pardix" at this database.
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "db/db.h"
#include "demo_folder.h"
#include "ui/process_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ui::PrepareRuntimeFolder();
  QGuiApplication app(argc, argv);
  db::EnsureUtf8Locale();
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addPositionalArgument("folder", "program folder");
  parser.addOption({"demo", "write a demo program folder with members and greetings"});
  parser.addOption({"members", "number of demo members", "count", "30"});
  parser.addOption({"admin-password", "administrator password", "text", "admin"});
  parser.addOption({"user-password", "station user password", "text", "9999"});
  parser.addOption({"use-dsn", "point an existing data source Pardix at this database"});
  parser.addOption({"server",
                    "keep the database on this PostgreSQL server (psqlODBC) instead of an SQLite "
                    "file in the folder; the database must exist and the role Admin, with the "
                    "station's password, may create tables in it",
                    "host"});
  parser.addOption({"port", "the PostgreSQL server's port", "port", "5432"});
  parser.addOption({"database", "the database on the PostgreSQL server", "name", "velmor"});
  parser.process(app);
  if (parser.positionalArguments().size() != 1) parser.showHelp(2);

  const QString folder = QDir(parser.positionalArguments().first()).absolutePath();
  QDir().mkpath(folder);
  QString error;
  if (parser.isSet("demo") && !WriteDemoFiles(folder, &error)) {
    std::fprintf(stderr, "velmor-setup: %s\n", qPrintable(error));
    return 1;
  }
  DatabaseTarget target;
  target.file = folder + QStringLiteral("/Velmor.db");
  if (parser.isSet("server")) {
    bool ok = false;
    target.server = parser.value("server");
    target.port = parser.value("port").toInt(&ok);
    target.database = parser.value("database");
    if (!ok || target.port <= 0 || target.port > 65535 || target.database.isEmpty()) {
      std::fprintf(stderr, "velmor-setup: --port needs a port number and --database a name\n");
      return 2;
    }
  }
  const QString file = target.Describe();
  bool created = false;
  if (!CreateStationDatabase(target, parser.value("admin-password"), parser.value("user-password"),
                             &created, &error)) {
    std::fprintf(stderr, "velmor-setup: database %s: %s\n", qPrintable(file), qPrintable(error));
    return 1;
  }
  if (created && parser.isSet("demo")) {
    db::Connection connection;
    if (!OpenTarget(target, connection, &error) ||
        !WriteDemoRows(connection, parser.value("members").toInt(), &error)) {
      std::fprintf(stderr, "velmor-setup: demo rows: %s\n", qPrintable(error));
      return 1;
    }
  }
  QString existing;
  const DsnResult dsn = RegisterDsn(QStringLiteral("Pardix"), target, parser.isSet("use-dsn"),
                                    &existing, &error);
  if (dsn == DsnResult::Failed) {
    std::fprintf(stderr, "velmor-setup: %s\n", qPrintable(error));
    return 1;
  }
  std::printf("database %s (%s)\n", qPrintable(file), created ? "created" : "kept");
  switch (dsn) {
    case DsnResult::Added: std::printf("data source Pardix registered for it\n"); break;
    case DsnResult::Replaced:
      std::printf("data source Pardix now points at it (it pointed at %s)\n", qPrintable(existing));
      break;
    default:
      if (!existing.isEmpty() && existing != file)
        std::printf("warning: data source Pardix is kept and points at %s, not at this folder's "
                    "database (--use-dsn points it here)\n", qPrintable(existing));
      else
        std::printf("data source Pardix already registered for it\n");
      break;
  }
  return 0;
}
