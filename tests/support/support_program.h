#pragma once
// A temporary program folder for one test: its own settings file, sub-folders, and a station
// database behind a test-local ODBC data source "Pardix" (ODBCSYSINI/ODBCINI point into the
// folder; no system-wide ODBC setting is touched): an SQLite file in the folder, or a database of
// its own on the test program's PostgreSQL server (SetDriver). Creating it resets every program-wide
// value to its default (ResetProgramValues), then points the program-wide paths into the folder;
// a fixture that holds it as a member sets its own values in SetUp, after that reset.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "db/db.h"
#include "support/support_postgres.h"

namespace testsupport {

class ProgramFolder {
 public:
  ProgramFolder();
  ~ProgramFolder();

  // The driver of the folder's database (SQLite unless set); set it before CreateDatabase or
  // UseDataSource.
  void SetDriver(Driver driver) { driver_ = driver; }
  Driver GetDriver() const { return driver_; }

  // The folder, ending in "/".
  QString Path() const { return path_; }

  // Writes a file below the folder (sub-folders created); text files are written CP932 with CR LF.
  void WriteBytes(const QString& relative, const QByteArray& bytes) const;
  void WriteText(const QString& relative, const QString& text) const;
  // A silent wave file (16-bit mono PCM, 8 kHz) that plays for `ms` milliseconds.
  void WriteWave(const QString& relative, int ms) const;

  // A settings file holding every key the load requires, with the values of a quiet station
  // (no mail, no FTP, no camera, no sound); `extra` lines ("[SECTION]" headers and "key=value")
  // are merged over it.
  void WriteSettings(const QString& extra = QString()) const;

  // Creates the station database with its tables, the service account row and the passwords
  // "admin" / "9999", registers "Pardix" for it, and opens gcnDB() on it. On PostgreSQL the
  // database is a new one on the program's server, dropped with the folder.
  void CreateDatabase(bool open = true);

  // The operation log's lines of every day in the folder's log/, oldest day first, "what,result"
  // each (for a program run by the test, whose clock the test does not set).
  QStringList LogLines() const;

  // Registers "Pardix" for this folder's database in the folder's own ODBC setting files and
  // points the process's ODBC environment at them, as CreateDatabase does; programs started
  // afterwards inherit it. (The driver manager keeps what it read of the files while a connection
  // of the process is open: a test that holds several folders closes every connection before it
  // uses another one's.)
  void UseDataSource() const;

  // Adds a member row.
  void AddMember(const QString& id, const QString& name, const QString& honorific = "さま",
                 const QString& kana = QString(), const QString& mail = QString()) const;

  // The SQLite database file (SQLite only): in the folder, or in `folder` (ending in "/") when set
  // before CreateDatabase.
  QString DatabaseFile() const { return (databaseFolder_.isEmpty() ? path_ : databaseFolder_) + "Velmor.db"; }
  void SetDatabaseFolder(const QString& folder) { databaseFolder_ = folder; }

  // Faults of the station's connection gcnDB(), switched on and off by the test:
  // - a full database (SQLite: the file may not grow, which fails a write with "database or disk
  //   is full" as a full disk does; the limit belongs to the connection);
  // - inserts into `table` refused by a trigger at once, or (`atCommit`) only when the transaction
  //   commits (a deferred check: a foreign key on SQLite, a deferred constraint trigger on
  //   PostgreSQL).
  void FillDatabase(bool full) const;
  void RefuseInserts(const QString& table, bool on, bool atCommit = false) const;
  // The PostgreSQL database's name (after CreateDatabase on PostgreSQL).
  QString DatabaseName() const { return database_; }

  // Makes `other` (a second connection to "Pardix") hold the station's tables locked, as another
  // program's long transaction does, until UnlockTables; false with the driver's text.
  bool LockTables(db::Connection& other, QString* error) const;
  bool UnlockTables(db::Connection& other, QString* error) const;

 private:
  QTemporaryDir dir_;
  QString path_;
  Driver driver_ = Driver::SQLite;
  QString database_;
  QString databaseFolder_;
};

// A small file system of its own (tmpfs) that a test fills up and frees again. Mounting needs
// root; Mounted() says whether it worked.
class SmallDisk {
 public:
  explicit SmallDisk(qint64 bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  QString Path() const { return path_; }  // ends in "/"
  // Writes a filler file until no byte is left; Free() removes it.
  void Fill() const;
  void Free() const;

 private:
  QTemporaryDir dir_;
  QString path_;
  bool mounted_ = false;
};

// What a test of the whole program leaves behind, undone: every window unloaded and deleted, the
// instance lock released, no end-of-program hook, the database closed.
void CloseProgram();

}  // namespace testsupport
