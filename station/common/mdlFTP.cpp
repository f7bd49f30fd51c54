#include "common/mdlFTP.h"

#include "codepage/codepage.h"
#include "files/files.h"
#include "ftp/ftp.h"
#include "common/globals.h"

bool WriteTextFile(const QString& path, const QString& text) {
  return files::WriteWhole(path, cp::ToAnsiLossy(text + QStringLiteral("\r\n")), nullptr, false);
}

FtpAccount FtpAccountFromSettings() {
  return FtpAccount{gstrFtpServer, gstrFtpUser, gstrFtpPsw, gstrFtpPath, gstrMailID};
}

QString FtpRemotePath(const FtpAccount& account) {
  const qsizetype at = account.mailID.indexOf(QLatin1Char('@'));
  const QString id = at < 0 ? account.mailID : account.mailID.left(at);
  return account.path + QLatin1Char('/') + id + QStringLiteral("/log");
}

int FtpPutFile(const QString& localFile, const FtpAccount& account) {
  // The FTP object lives for this upload only, on the thread that uploads.
  ftp::Ftp ftp;
  ftp.Connect(account.server, account.user, account.password);
  const int result = ftp.PutFile(localFile, FtpRemotePath(account));
  ftp.Close();
  return result;
}
