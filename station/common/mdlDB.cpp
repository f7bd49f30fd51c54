#include "common/mdlDB.h"

#include <QStringList>

#include "common/globals.h"

db::Connection& gcnDB() {
  static db::Connection connection;
  return connection;
}
db::Recordset& grsDB() {
  static db::Recordset rs;
  return rs;
}
db::Recordset& grsMessage() {
  static db::Recordset rs;
  return rs;
}
db::Recordset& grsHist() {
  static db::Recordset rs;
  return rs;
}

bool OpenStationDatabase(QString* error) {
  gstrDSN = QStringLiteral("Pardix");
  gstrDBUser = QStringLiteral("Admin");
  gstrDBPsw = QStringLiteral("58314790");
  if (gcnDB().Open(gstrDSN, gstrDBUser, gstrDBPsw)) return true;
  if (error) *error = gcnDB().LastError();
  return false;
}

bool LoadServiceAccount(QString* error) {
  gstrServerUser = QLatin1String(kServerUserKey);
  gstrSQL = QStringLiteral("SELECT * FROM tblServer WHERE \"User\" = ?");
  db::Recordset& rs = grsDB();
  if (!rs.Open(gcnDB(), gstrSQL, {gstrServerUser})) {
    if (error) *error = rs.LastError();
    return false;
  }
  if (rs.RecordCount() <= 0) {
    rs.Close();
    if (error)
      *error = QStringLiteral("tblServer has no row whose User is '%1'").arg(gstrServerUser);
    return false;
  }
  rs.MoveFirst();
  for (const char* required : {"smtp", "MailID", "MailPsw"}) {
    if (!rs.Value(QLatin1String(required)).isValid()) {
      rs.Close();
      if (error) *error = QStringLiteral("service account column %1 is Null").arg(required);
      return false;
    }
  }
  gstrSmtpServer = rs.Text(QStringLiteral("smtp"));
  gstrMailID = rs.Text(QStringLiteral("MailID"));
  gstrMailPsw = rs.Text(QStringLiteral("MailPsw"));
  gstrFtpUser = rs.Text(QStringLiteral("ftpUser"));
  gstrFtpPsw = rs.Text(QStringLiteral("ftpPsw"));
  gstrFtpPath = rs.Text(QStringLiteral("ftpPath"));
  gstrFtpServer = rs.Text(QStringLiteral("ftpServer"));
  rs.Close();
  if (gstrFtpServer.isEmpty()) gblnFtp = false;
  return true;
}

bool CreateStationTables(db::Connection& connection, QString* error) {
  const QStringList statements = {
      QStringLiteral("CREATE TABLE tblData (ID VARCHAR(9) NOT NULL PRIMARY KEY, "
                     "UserName VARCHAR(100), UserAdd VARCHAR(50), NameKana VARCHAR(100), "
                     "MailName VARCHAR(100), MailAddr VARCHAR(255), \"Date\" VARCHAR(19), "
                     "\"Update\" VARCHAR(19), LastIn VARCHAR(19), LastOut VARCHAR(19))"),
      QStringLiteral("CREATE TABLE tblHist (SEQ INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "ID VARCHAR(20), IOName VARCHAR(10), inDate INTEGER, inTime VARCHAR(8), "
                     "imgFile VARCHAR(64))"),
      QStringLiteral("CREATE TABLE tblMessage (Message VARCHAR(255), InYes SMALLINT)"),
      QStringLiteral("CREATE TABLE tblPassword (admin SMALLINT, Password VARCHAR(50))"),
      QStringLiteral("CREATE TABLE tblServer (\"User\" VARCHAR(50), smtp VARCHAR(255), "
                     "MailID VARCHAR(255), MailPsw VARCHAR(255), ftpUser VARCHAR(255), "
                     "ftpPsw VARCHAR(255), ftpPath VARCHAR(255), ftpServer VARCHAR(255))"),
      QStringLiteral("CREATE INDEX idxHistDateTime ON tblHist (inDate, inTime)"),
      QStringLiteral("CREATE INDEX idxHistID ON tblHist (ID)"),
      QStringLiteral("CREATE INDEX idxDataKana ON tblData (NameKana)"),
  };
  for (const QString& sql : statements)
    if (!db::Execute(connection, sql, {}, nullptr, error)) return false;
  return true;
}

bool WriteInitialRows(db::Connection& connection, const QString& adminPassword,
                      const QString& userPassword, QString* error) {
  if (!db::Execute(connection,
                   QStringLiteral("INSERT INTO tblServer (\"User\", smtp, MailID, MailPsw, ftpUser, "
                                  "ftpPsw, ftpPath, ftpServer) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                   {QLatin1String(kServerUserKey), QStringLiteral("127.0.0.1"),
                    QStringLiteral("station@localhost"), QString(""), QString(""), QString(""),
                    QString(""), QString("")},
                   nullptr, error))
    return false;
  const QString insert = QStringLiteral("INSERT INTO tblPassword (admin, Password) VALUES (?, ?)");
  return db::Execute(connection, insert, {db::Bool(true), adminPassword}, nullptr, error) &&
         db::Execute(connection, insert, {db::Bool(false), userPassword}, nullptr, error);
}
