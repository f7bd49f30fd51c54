#pragma once
// The station database: the one shared connection, the shared record sets, the table layout and
// the service account row.
#include <QString>

#include "db/db.h"

// The key word of the service account row (tblServer.User) that this program reads.
inline constexpr const char* kServerUserKey = "velmor";

// The fixed data source, user and password the station connects with. A data source on a database
// server needs this user (role) with this password.
inline constexpr const char* kStationDsn = "Pardix";
inline constexpr const char* kStationDbUser = "Admin";
inline constexpr const char* kStationDbPassword = "58314790";

// Opens gcnDB() on the data source "Pardix" with the fixed user and password (gstrDSN,
// gstrDBUser, gstrDBPsw are set here). Returns false with the driver's message in `error`.
bool OpenStationDatabase(QString* error);

// Reads the service account row into gstrSmtpServer, gstrMailID, gstrMailPsw and the four FTP
// values, and turns the FTP upload off when the row names no FTP server. Returns false when the
// row is missing, a required column is Null, or the query fails.
bool LoadServiceAccount(QString* error);

// The lengths, in characters, of the member table's text columns that the administration writes.
inline constexpr int kMemberIdLength = 9;
inline constexpr int kUserNameLength = 100;
inline constexpr int kUserAddLength = 50;
inline constexpr int kNameKanaLength = 100;
inline constexpr int kMailAddrLength = 255;

// Creates the five tables and their indexes on an empty database. The history's automatic number
// is a standard identity column, or on SQLite (which has none) its AUTOINCREMENT row key. Returns
// false with the failing statement's message.
bool CreateStationTables(db::Connection& connection, QString* error);

// The installation's own mail and FTP account: the service account row. The program only reads
// it; the set-up tool writes it.
struct ServiceAccount {
  QString smtp = QStringLiteral("127.0.0.1");  // SMTP host (the port is MAIL/port of the settings)
  QString mailId = QStringLiteral("station@localhost");
  QString mailPsw;
  QString ftpServer;  // empty: no FTP record is uploaded
  QString ftpUser, ftpPsw, ftpPath;
};

// Replaces the service account row by `account`.
bool WriteServiceAccount(db::Connection& connection, const ServiceAccount& account, QString* error);

// Gives every login row of one kind (the administrator's when `admin`, else the station user's)
// `password`; `rows` gets the number of rows it changed.
bool WriteLoginPassword(db::Connection& connection, bool admin, const QString& password,
                        int* rows, QString* error);

// Writes the service account row and the two login passwords of a new database.
bool WriteInitialRows(db::Connection& connection, const QString& adminPassword,
                      const QString& userPassword, QString* error,
                      const ServiceAccount& account = {});
