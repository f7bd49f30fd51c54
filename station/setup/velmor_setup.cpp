// velmor-setup FOLDER [--demo] [--members N]
// Creates the station database FOLDER/Velmor.db through the SQLite ODBC driver, registers the
// user data source "Pardix" for it when none exists, and with --demo fills FOLDER with a complete
// demo program folder (settings, templates, pictures, sounds, members and greetings). --use-dsn
// points an existing data source "Pardix" at this folder's database.
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "db/db.h"
#include "demo_folder.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  db::EnsureUtf8Locale();
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addPositionalArgument("folder", "program folder");
  parser.addOption({"demo", "write a demo program folder with members and greetings"});
  parser.addOption({"members", "number of demo members", "count", "30"});
  parser.addOption({"admin-password", "administrator password", "text", "admin"});
  parser.addOption({"user-password", "station user password", "text", "9999"});
  parser.addOption({"use-dsn", "point an existing data source Pardix at this folder's database"});
  parser.process(app);
  if (parser.positionalArguments().size() != 1) parser.showHelp(2);

  const QString folder = QDir(parser.positionalArguments().first()).absolutePath();
  QDir().mkpath(folder);
  QString error;
  if (parser.isSet("demo") && !WriteDemoFiles(folder, &error)) {
    std::fprintf(stderr, "velmor-setup: %s\n", qPrintable(error));
    return 1;
  }
  const QString file = folder + QStringLiteral("/Velmor.db");
  bool created = false;
  if (!CreateDatabaseFile(file, parser.value("admin-password"), parser.value("user-password"),
                          &created, &error)) {
    std::fprintf(stderr, "velmor-setup: database %s: %s\n", qPrintable(file), qPrintable(error));
    return 1;
  }
  if (created && parser.isSet("demo")) {
    db::Connection connection;
    if (!connection.Open(QStringLiteral("DRIVER={SQLite3};Database=%1;").arg(file), {}, {}) ||
        !WriteDemoRows(connection, parser.value("members").toInt(), &error)) {
      std::fprintf(stderr, "velmor-setup: demo rows: %s\n", qPrintable(error));
      return 1;
    }
  }
  QString existing;
  const DsnResult dsn = RegisterDsn(QStringLiteral("Pardix"), file, parser.isSet("use-dsn"),
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
