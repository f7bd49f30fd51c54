#include "support/support_program.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QtEndian>

#include <sys/mount.h>

#include "codepage/codepage.h"
#include "common/globals.h"
#include "common/WindowHome.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "startup/mdlStartup.h"
#include "wiring.h"

namespace testsupport {
namespace {

const char* kQuietSettings = R"([SYSTEM]
log=True
imgChange=False
imgNum=3
wavNum=3
screen=1
inout=True
inttime=3
inouttime=1
appuser=テスト教室
inoutchg=12
barcode=True
[MAIL]
sendMail=False
mail=station@localhost
port=25
inSubject=入室 %名前%%敬称%
otSubject=退室 %名前%%敬称%
pausetime=1
[IMAGE]
cam=False
sendImg=False
saveImg=True
resolution=0
scanint=3
[VOICE]
voice=False
sound=False
)";

// Parses "[SECTION]" and "key=value" lines into section -> ordered key/value list.
using Sections = QList<QPair<QString, QList<QPair<QString, QString>>>>;

void Merge(Sections& sections, const QString& text) {
  QString current;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.isEmpty()) continue;
    if (line.startsWith(QLatin1Char('['))) {
      current = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
      bool found = false;
      for (auto& s : sections) found = found || s.first.compare(current, Qt::CaseInsensitive) == 0;
      if (!found) sections.append({current, {}});
      continue;
    }
    const int eq = line.indexOf(QLatin1Char('='));
    const QString key = line.left(eq), value = line.mid(eq + 1);
    for (auto& s : sections) {
      if (s.first.compare(current, Qt::CaseInsensitive) != 0) continue;
      bool replaced = false;
      for (auto& kv : s.second)
        if (kv.first.compare(key, Qt::CaseInsensitive) == 0) {
          kv.second = value;
          replaced = true;
        }
      if (!replaced) s.second.append({key, value});
    }
  }
}

}  // namespace

ProgramFolder::ProgramFolder() {
  ConnectWindows();
  ResetProgramValues();
  path_ = dir_.path() + QLatin1Char('/');
  QDir dir(path_);
  for (const char* sub : {"log", "ScanData", "ftpFile", "image", "wave", "odbc"})
    dir.mkpath(QLatin1String(sub));
  gstrAppPath = path_;
  gstrIniFile = QStringLiteral("Velmor.ini");
  gstrLogDir = path_ + QStringLiteral("log/");
  gstrDBFile = path_ + QStringLiteral("Velmor.mdb");
  gstrFtpDir = path_ + QStringLiteral("ftpFile/");
  gstrImgDir = path_ + QStringLiteral("ScanData/");
}

ProgramFolder::~ProgramFolder() {
  grsDB().Close();
  grsMessage().Close();
  grsHist().Close();
  gcnDB().Close();
  if (!database_.isEmpty()) PostgresServer::Shared().DropDatabase(database_);
}

void ProgramFolder::WriteBytes(const QString& relative, const QByteArray& bytes) const {
  const QString file = path_ + relative;
  QDir().mkpath(QFileInfo(file).absolutePath());
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(file);
  ASSERT_EQ(f.write(bytes), bytes.size());
}

void ProgramFolder::WriteText(const QString& relative, const QString& text) const {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  WriteBytes(relative, cp::ToAnsiLossy(crlf));
}

void ProgramFolder::WriteWave(const QString& relative, int ms) const {
  const QByteArray data(16 * ms, '\0');
  QByteArray wav;
  auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
  auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
  wav += "RIFF"; u32(36 + data.size()); wav += "WAVEfmt "; u32(16); u16(1); u16(1); u32(8000);
  u32(16000); u16(2); u16(16); wav += "data"; u32(data.size()); wav += data;
  WriteBytes(relative, wav);
}

void ProgramFolder::WriteSettings(const QString& extra) const {
  Sections sections;
  Merge(sections, QString::fromUtf8(kQuietSettings));
  Merge(sections, extra);
  QString text;
  for (const auto& s : sections) {
    text += QLatin1Char('[') + s.first + QStringLiteral("]\n");
    for (const auto& kv : s.second) text += kv.first + QLatin1Char('=') + kv.second + QLatin1Char('\n');
  }
  WriteText(QStringLiteral("Velmor.ini"), text);
}

void ProgramFolder::CreateDatabase(bool open) {
  QString error;
  if (driver_ == Driver::PostgreSQL && database_.isEmpty()) {
    PostgresServer& server = PostgresServer::Shared();
    ASSERT_NE(server.Port(), 0) << qPrintable(server.Error());
    database_ = server.CreateDatabase(&error);
    ASSERT_FALSE(database_.isEmpty()) << qPrintable(error);
  }
  UseDataSource();

  db::Connection creator;
  ASSERT_TRUE(creator.Open(QLatin1String(kStationDsn), QLatin1String(kStationDbUser),
                           QLatin1String(kStationDbPassword)))
      << qPrintable(creator.LastError());
  ASSERT_TRUE(CreateStationTables(creator, &error)) << qPrintable(error);
  ASSERT_TRUE(WriteInitialRows(creator, QStringLiteral("admin"), QStringLiteral("9999"), &error))
      << qPrintable(error);
  creator.Close();
  if (open) {
    ASSERT_TRUE(OpenStationDatabase(&error)) << qPrintable(error);
  }
}

QStringList ProgramFolder::LogLines() const {
  QStringList lines;
  const QDir dir(path_ + QStringLiteral("log"));
  for (const QString& name : dir.entryList({QStringLiteral("????????.log")}, QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::ReadOnly)) continue;
    for (const QString& line : cp::FromAnsi(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
      lines << line.section(QLatin1Char(','), 2);
  }
  return lines;
}

void ProgramFolder::UseDataSource() const {
  WriteBytes(QStringLiteral("odbc/odbcinst.ini"),
             "[SQLite3]\nDescription = SQLite3 ODBC Driver\n"
             "Driver = /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\nThreading = 2\n"
             "[PostgreSQL Unicode]\nDescription = PostgreSQL ODBC driver (Unicode)\n"
             "Driver = /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n");
  if (driver_ == Driver::PostgreSQL) {
    // The entry the README describes: no user or password in it, the station gives its own.
    WriteBytes(QStringLiteral("odbc/odbc.ini"),
               "[Pardix]\nDriver = PostgreSQL Unicode\nServername = 127.0.0.1\nPort = " +
                   QByteArray::number(PostgresServer::Shared().Port()) + "\nDatabase = " +
                   database_.toUtf8() + "\n");
  } else {
    // The same bounded wait for a locked database as the data source velmor-setup writes.
    WriteBytes(QStringLiteral("odbc/odbc.ini"),
               "[Pardix]\nDriver = SQLite3\nDatabase = " + QFile::encodeName(DatabaseFile()) +
                   "\nTimeout = 1000\n");
  }
  const QString odbc = path_ + QStringLiteral("odbc/");
  qputenv("ODBCSYSINI", QFile::encodeName(odbc));
  qputenv("ODBCINSTINI", "odbcinst.ini");
  qputenv("ODBCINI", QFile::encodeName(odbc + QStringLiteral("odbc.ini")));
}

void ProgramFolder::AddMember(const QString& id, const QString& name, const QString& honorific,
                              const QString& kana, const QString& mail) const {
  QString error;
  ASSERT_TRUE(db::Execute(gcnDB(),
                          QStringLiteral("INSERT INTO tblData (ID, UserName, UserAdd, NameKana, "
                                         "MailName, MailAddr, \"Date\", \"Update\", LastIn, LastOut) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          {id, name, honorific, kana.isEmpty() ? name : kana, name,
                           mail.isNull() ? QString("") : mail, QString("2026/04/01"),
                           QString("2026/04/01"), QString(""), QString("")},
                          nullptr, &error))
      << qPrintable(error);
}

}  // namespace testsupport

namespace testsupport {

bool ProgramFolder::LockTables(db::Connection& other, QString* error) const {
  if (driver_ == Driver::SQLite)
    return db::Execute(other, QStringLiteral("BEGIN EXCLUSIVE"), {}, nullptr, error);
  QSqlDatabase database = other.Database();
  if (!database.transaction()) {
    if (error) *error = database.lastError().text();
    return false;
  }
  return db::Execute(other, QStringLiteral("LOCK TABLE tblData, tblHist IN ACCESS EXCLUSIVE MODE"), {},
                     nullptr, error);
}

bool ProgramFolder::UnlockTables(db::Connection& other, QString* error) const {
  if (driver_ == Driver::SQLite) return db::Execute(other, QStringLiteral("ROLLBACK"), {}, nullptr, error);
  QSqlDatabase database = other.Database();
  if (database.rollback()) return true;
  if (error) *error = database.lastError().text();
  return false;
}

}  // namespace testsupport

namespace testsupport {

void ProgramFolder::FillDatabase(bool full) const {
  ASSERT_EQ(driver_, Driver::SQLite) << "a full database is made on SQLite only";
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), QStringLiteral("PRAGMA page_count"))) << qPrintable(rs.LastError());
  const int pages = rs.Value(0).toInt();
  ASSERT_TRUE(rs.Open(gcnDB(), QStringLiteral("PRAGMA max_page_count = %1").arg(full ? pages : 1 << 30)))
      << qPrintable(rs.LastError());
}

void ProgramFolder::RefuseInserts(const QString& table, bool on, bool atCommit) const {
  const QString name = QStringLiteral("refuse_") + table + (atCommit ? QStringLiteral("_late") : QString());
  QStringList sql;
  if (driver_ == Driver::SQLite) {
    if (!on) {
      sql << QStringLiteral("DROP TRIGGER IF EXISTS ") + name;
    } else if (!atCommit) {
      sql << QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                 .arg(name, table);
    } else {
      // Each insert leaves a reference to nothing, checked when the transaction commits.
      sql << QStringLiteral("PRAGMA foreign_keys = ON")
          << QStringLiteral("CREATE TABLE IF NOT EXISTS refuse_target (id INTEGER PRIMARY KEY)")
          << QStringLiteral("CREATE TABLE IF NOT EXISTS refuse_dangling (id INTEGER REFERENCES "
                            "refuse_target (id) DEFERRABLE INITIALLY DEFERRED)")
          << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN INSERT INTO refuse_dangling "
                            "VALUES (1); END")
                 .arg(name, table);
    }
  } else {
    if (!on) {
      sql << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(name, table);
    } else {
      sql << QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql "
                            "AS $$ BEGIN RAISE EXCEPTION 'refused'; END $$")
          << (atCommit ? QStringLiteral("CREATE CONSTRAINT TRIGGER %1 AFTER INSERT ON %2 DEFERRABLE "
                                        "INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refuse()")
                       : QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 FOR EACH ROW "
                                        "EXECUTE FUNCTION refuse()"))
                 .arg(name, table);
    }
  }
  for (const QString& statement : sql) {
    QString error;
    ASSERT_TRUE(db::Execute(gcnDB(), statement, {}, nullptr, &error)) << qPrintable(error);
  }
}

SmallDisk::SmallDisk(qint64 bytes) {
  path_ = dir_.path() + QLatin1Char('/');
  mounted_ = mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                   QByteArray("size=" + QByteArray::number(bytes)).constData()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void SmallDisk::Fill() const {
  QFile filler(path_ + QStringLiteral(".filler"));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Append));
  const QByteArray block(4096, 'x');
  while (filler.write(block) == block.size() && filler.flush()) {
  }
  const QByteArray byte(1, 'x');
  while (filler.write(byte) == 1 && filler.flush()) {
  }
}

void SmallDisk::Free() const { QFile::remove(path_ + QStringLiteral(".filler")); }

void CloseProgram() {
  windows::UnloadAll();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ReleaseInstanceLock();
  SetEndProgramHook({});
  gcnDB().Close();
}

}  // namespace testsupport
