#pragma once
#include <QString>

#include <functional>

#include "db/db.h"

// The settings file of a new program folder: every key of the settings file's key table, at its
// default, or where the table has none at the value a new station starts with; `demo` names the
// installation and sets its greeting prompt and sender address.
QString SettingsFileText(bool demo);

// Writes the settings file, the four mail templates, the pictures and the sounds of a program
// folder, and its log, photo and FTP record folders. Each file is written whole or not at all;
// existing files are kept, except empty ones.
bool WriteProgramFiles(const QString& folder, bool demo, QString* error);

// Adds `count` members with Japanese names and kana, and the entry and exit greetings.
bool WriteDemoRows(db::Connection& connection, int count, QString* error);

// Where the station database lies: an SQLite file, or a database on a PostgreSQL server (reached
// through psqlODBC, driver "PostgreSQL Unicode", as the station's user with its password).
struct DatabaseTarget {
  QString file;      // SQLite: the database file
  QString server;    // PostgreSQL: the server's host (empty: SQLite), port and database
  int port = 5432;
  QString database;

  bool OnServer() const { return !server.isEmpty(); }
  // The ODBC connection string that reaches it without a data source.
  QString ConnectString() const;
  // The file, or "host:port/database".
  QString Describe() const;
};

// Opens `connection` on the target (the station's user and password).
bool OpenTarget(const DatabaseTarget& target, db::Connection& connection, QString* error);

// Whether the server database `connection` is open on has the station's tables: it is new while
// it has no service account table.
bool HasStationTables(db::Connection& connection);

// Rows a new database gets beyond its first ones (the demo's); false with `error` on failure.
using DatabaseFiller = std::function<bool(db::Connection&, QString*)>;

// Creates (or finds) the station database: an SQLite file is created through the ODBC driver; a
// server database must exist and gets the tables when it has none. A new database gets the
// station's tables, first rows and what `fill` writes, all or none of them (a new file that
// could not get them is removed); `created` says whether it was new.
bool CreateStationDatabase(const DatabaseTarget& target, const QString& adminPassword,
                           const QString& userPassword, const DatabaseFiller& fill, bool* created,
                           QString* error);

enum class DsnResult { Added, Kept, Replaced, Failed };

// The file the ODBC driver manager reads the user data sources from (ODBCINI, else .odbc.ini in
// the home folder of the user's account); empty when it names none.
QString UserDataSourceFile();

// Registers the user data source `dsn` for the target in that file. A data source of that name is kept as it is, unless `replace` is set: then its
// driver and database become the target's. `existing` gets the database an existing entry named
// (as Describe() gives it).
DsnResult RegisterDsn(const QString& dsn, const DatabaseTarget& target, bool replace,
                      QString* existing, QString* error);
