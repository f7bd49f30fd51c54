#pragma once
#include <QString>

#include "db/db.h"

// Writes the settings file, the four mail templates, the pictures and the sounds of a demo
// program folder (existing files are kept).
bool WriteDemoFiles(const QString& folder, QString* error);

// Adds `count` members with Japanese names and kana, and the entry and exit greetings.
bool WriteDemoRows(db::Connection& connection, int count, QString* error);

// Creates (or finds) the SQLite database file `file` through the ODBC driver, with the station's
// tables and first rows when it is new.
bool CreateDatabaseFile(const QString& file, const QString& adminPassword,
                        const QString& userPassword, bool* created, QString* error);

enum class DsnResult { Added, Kept, Replaced, Failed };

// Registers the user data source `dsn` for the SQLite file `file` in the ODBC user file (ODBCINI,
// else ~/.odbc.ini). A data source of that name is kept as it is, unless `replace` is set: then
// its database becomes `file`. `existingFile` gets the database an existing entry named.
DsnResult RegisterDsn(const QString& dsn, const QString& file, bool replace,
                      QString* existingFile, QString* error);
