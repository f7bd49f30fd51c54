// velmor-setup FOLDER [--demo] [--members N] [--server HOST [--port N] [--database NAME]]
//              [--smtp HOST] [--mail-id ACCOUNT] [--mail-password TEXT]
//              [--ftp-server HOST] [--ftp-user NAME] [--ftp-password TEXT] [--ftp-path PATH]
//              [--own-smtp HOST --own-id ACCOUNT --own-password TEXT [--own-auth METHOD]
//               [--own-pop3 HOST]] [--mail-port N] [--sender ADDRESS]
// Fills FOLDER as a program folder the station starts from (settings, templates, pictures,
// sounds, the log, photo and FTP record folders), creates the station database FOLDER/Velmor.db
// through the SQLite ODBC driver (or, with --server, the tables and first rows in a database on
// a PostgreSQL server) and registers the user data source "Pardix" for it when none exists. --demo
// adds the demo's members and greetings and names the installation. --use-dsn points an existing
// data source "Pardix" at this database. The mail and FTP options write the installation's own
// account (the service account row), in a new database or over the one an existing database has;
// --own-smtp sends the mails through the installation's own server instead, and on a folder that
// does so already each --own- option alone changes its value (mail_route.h).
// --admin-password and --user-password give a new database its login passwords and set them again
// in an existing one (the way back in when a password is forgotten).
// Every failure is said on the standard error output and ends the tool with a non-zero code.
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "demo_folder.h"
#include "files/files.h"
#include "mail_route.h"
#include "ui/process_setup.h"

namespace {

int Fail(const QString& text, int code = 1) {
  std::fprintf(stderr, "velmor-setup: %s\n", text.toLocal8Bit().constData());
  return code;
}

// The service account options and the row fields they set.
struct AccountOption {
  const char* name;
  const char* description;
  QString ServiceAccount::*field;
};
const AccountOption kAccountOptions[] = {
    {"smtp", "the SMTP server the station's mails go through (host; the port is MAIL/port of the "
             "settings)", &ServiceAccount::smtp},
    {"mail-id", "the account at that SMTP server (also the sender's login)", &ServiceAccount::mailId},
    {"mail-password", "the password of that account", &ServiceAccount::mailPsw},
    {"ftp-server", "the FTP server that takes a record of each event (empty: none)",
     &ServiceAccount::ftpServer},
    {"ftp-user", "the FTP account", &ServiceAccount::ftpUser},
    {"ftp-password", "the FTP account's password", &ServiceAccount::ftpPsw},
    {"ftp-path", "the folder on the FTP server for the records", &ServiceAccount::ftpPath},
};

// The service account row the database has now (the defaults when it has none).
ServiceAccount CurrentAccount(db::Connection& connection) {
  ServiceAccount account;
  db::Recordset rs;
  if (rs.Open(connection, QStringLiteral("SELECT * FROM tblServer WHERE \"User\" = ?"),
              {QLatin1String(kServerUserKey)}) &&
      rs.RecordCount() > 0) {
    rs.MoveFirst();
    account.smtp = rs.Text(QStringLiteral("smtp"));
    account.mailId = rs.Text(QStringLiteral("MailID"));
    account.mailPsw = rs.Text(QStringLiteral("MailPsw"));
    account.ftpServer = rs.Text(QStringLiteral("ftpServer"));
    account.ftpUser = rs.Text(QStringLiteral("ftpUser"));
    account.ftpPsw = rs.Text(QStringLiteral("ftpPsw"));
    account.ftpPath = rs.Text(QStringLiteral("ftpPath"));
  }
  return account;
}

// The passwords an existing database keeps for the administrator (`admin`) and for the station
// user (`user`), one for each row of that kind; `exists` false, and nothing read, for a database
// that is still to be made.
bool StoredLoginPasswords(const DatabaseTarget& target, bool* exists, QStringList* admin,
                          QStringList* user, QString* error) {
  *exists = target.OnServer() || QFileInfo::exists(target.file);
  if (!*exists) return true;
  db::Connection connection;
  if (!OpenTarget(target, connection, error)) return false;
  if (target.OnServer() && !(*exists = HasStationTables(connection))) return true;
  db::Recordset rs;
  if (!rs.Open(connection, QStringLiteral("SELECT * FROM tblPassword"))) {
    if (error) *error = connection.LastError();
    return false;
  }
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    (db::IsTrue(rs.Value(QStringLiteral("admin"))) ? admin : user)->append(rs.Text(QStringLiteral("Password")));
  return true;
}

// A forgotten login password set again in an existing database (the administrator's when
// `admin` is not null, the station user's when `user` is not null): every row of that kind gets
// it, and a database without such a row gets one.
bool SetLoginPasswords(db::Connection& connection, const QString& admin, const QString& user,
                       QString* error) {
  if (!connection.Begin(error)) return false;
  for (const bool adminRow : {true, false}) {
    const QString& password = adminRow ? admin : user;
    if (password.isNull()) continue;
    int rows = 0;
    if (!WriteLoginPassword(connection, adminRow, password, &rows, error) ||
        (rows == 0 &&
         !db::Execute(connection, QStringLiteral("INSERT INTO tblPassword (admin, Password) VALUES (?, ?)"),
                      {db::Bool(adminRow), password}, nullptr, error))) {
      connection.Rollback();
      return false;
    }
  }
  return connection.Commit(error) == db::CommitResult::Stored;
}

}  // namespace

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
  parser.addOption({"admin-password", "administrator password (set again in an existing database)",
                    "text", "admin"});
  parser.addOption({"user-password", "station user password (set again in an existing database)",
                    "text", "9999"});
  parser.addOption({"use-dsn", "point an existing data source Pardix at this database"});
  parser.addOption({"server",
                    "keep the database on this PostgreSQL server (psqlODBC) instead of an SQLite "
                    "file in the folder; the database must exist and the role Admin, with the "
                    "station's password, may create tables in it",
                    "host"});
  parser.addOption({"port", "the PostgreSQL server's port", "port", "5432"});
  parser.addOption({"database", "the database on the PostgreSQL server", "name", "velmor"});
  for (const AccountOption& o : kAccountOptions)
    parser.addOption({QLatin1String(o.name), QLatin1String(o.description), QStringLiteral("text")});
  AddMailRouteOptions(parser);
  parser.process(app);
  if (parser.positionalArguments().size() != 1)
    return Fail(QStringLiteral("name one program folder (velmor-setup --help lists the options)"), 2);

  bool ok = false;
  const int members = parser.value("members").toInt(&ok);
  if (!ok || members < 0 || members > 999999)
    return Fail(QStringLiteral("--members needs a count from 0"), 2);
  const QString admin = parser.value("admin-password"), user = parser.value("user-password");
  const bool adminGiven = parser.isSet("admin-password"), userGiven = parser.isSet("user-password");
  // An empty password would let an empty password box through the login.
  for (const char* option : {"admin-password", "user-password"})
    if (parser.value(option).isEmpty())
      return Fail(QStringLiteral("--%1 is empty: a login password needs at least one character")
                      .arg(QLatin1String(option)), 2);
  DatabaseTarget target;
  const QString folder = QDir(parser.positionalArguments().first()).absolutePath();
  target.file = folder + QStringLiteral("/Velmor.db");
  if (parser.isSet("server")) {
    target.server = parser.value("server");
    target.port = parser.value("port").toInt(&ok);
    target.database = parser.value("database");
    if (!ok || target.port <= 0 || target.port > 65535 || target.database.isEmpty())
      return Fail(QStringLiteral("--port needs a port number and --database a name"), 2);
  }

  QString error;
  // The two logins keep two different passwords, or the login could not tell them apart: a
  // password given is compared with the other one given, else with the ones the other login has
  // (a new database's: its default).
  {
    bool exists = false;
    QStringList storedAdmin, storedUser;
    if ((adminGiven || userGiven) &&
        !StoredLoginPasswords(target, &exists, &storedAdmin, &storedUser, &error))
      return Fail(QStringLiteral("database %1: %2").arg(target.Describe(), error));
    // The passwords this run writes: those given, and a new database's defaults.
    const bool adminWritten = adminGiven || !exists, userWritten = userGiven || !exists;
    const QStringList adminAfter = adminWritten ? QStringList{admin} : storedAdmin;
    const QStringList userAfter = userWritten ? QStringList{user} : storedUser;
    if ((adminWritten && userAfter.contains(admin)) || (userWritten && adminAfter.contains(user)))
      return Fail(QStringLiteral("the administrator's and the station user's passwords must be two "
                                 "different texts (the other login has that password)"), 2);
  }

  QList<IniKey> routeKeys;
  if (!MailRouteKeys(parser, parser.isSet("smtp"), folder + QStringLiteral("/Velmor.ini"),
                     &routeKeys, &error))
    return Fail(error, 2);

  if (!QDir().mkpath(folder)) return Fail(QStringLiteral("cannot create the folder %1").arg(folder));
  if (!WriteProgramFiles(folder, parser.isSet("demo"), &error)) return Fail(error);
  if (!WriteSettingsKeys(folder + QStringLiteral("/Velmor.ini"), routeKeys, &error))
    return Fail(error);

  const QString file = target.Describe();
  bool created = false;
  DatabaseFiller demoRows;
  if (parser.isSet("demo"))
    demoRows = [members](db::Connection& connection, QString* why) {
      return WriteDemoRows(connection, members, why);
    };
  if (!CreateStationDatabase(target, admin, user, demoRows, &created, &error))
    return Fail(QStringLiteral("database %1: %2").arg(file, error));
  bool accountGiven = false;
  for (const AccountOption& o : kAccountOptions) accountGiven = accountGiven || parser.isSet(o.name);
  if (accountGiven) {
    db::Connection connection;
    if (!OpenTarget(target, connection, &error))
      return Fail(QStringLiteral("database %1: %2").arg(file, error));
    ServiceAccount account = CurrentAccount(connection);
    for (const AccountOption& o : kAccountOptions)
      if (parser.isSet(o.name)) account.*o.field = parser.value(o.name);
    if (!WriteServiceAccount(connection, account, &error))
      return Fail(QStringLiteral("mail account: %1").arg(error));
  }
  // On an existing database the password options set those passwords again: the way back in
  // when one is forgotten.
  const QString newAdmin = adminGiven ? admin : QString();
  const QString newUser = userGiven ? user : QString();
  const bool passwordsSet = !created && (!newAdmin.isNull() || !newUser.isNull());
  if (passwordsSet) {
    db::Connection connection;
    if (!OpenTarget(target, connection, &error) ||
        !SetLoginPasswords(connection, newAdmin, newUser, &error))
      return Fail(QStringLiteral("login passwords: %1").arg(error));
  }
  QString existing;
  const DsnResult dsn = RegisterDsn(QStringLiteral("Pardix"), target, parser.isSet("use-dsn"),
                                    &existing, &error);
  if (dsn == DsnResult::Failed) return Fail(error);
  // The three files with secrets are their owner's alone, also where an older set-up or a copy
  // left them readable by all.
  const QString where = UserDataSourceFile();
  for (const QString& secret : {folder + QStringLiteral("/Velmor.ini"), target.file, where})
    if (QFileInfo::exists(secret) && !files::MakePrivate(secret))
      return Fail(QStringLiteral("cannot make %1 its owner's alone").arg(secret));
  if (!MakeMemberDataPrivate(folder))
    return Fail(QStringLiteral("cannot make the log, photo and FTP record files their owner's alone"));
  std::printf("database %s (%s)\n", qPrintable(file), created ? "created" : "kept");
  if (accountGiven) std::printf("mail account written\n");
  if (passwordsSet && !newAdmin.isNull()) std::printf("administrator password set\n");
  if (passwordsSet && !newUser.isNull()) std::printf("station user password set\n");
  if (parser.isSet("own-smtp"))
    std::printf("mails go through %s (own server)\n", qPrintable(parser.value("own-smtp")));
  switch (dsn) {
    case DsnResult::Added:
      std::printf("data source Pardix registered for it in %s\n", qPrintable(where));
      break;
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
