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

// Registers the user data source `dsn` for the SQLite file `file` in the ODBC user file (ODBCINI,
// else ~/.odbc.ini) unless one of that name exists. Returns false when the file cannot be written.
bool RegisterDsn(const QString& dsn, const QString& file, bool* added, QString* error);
