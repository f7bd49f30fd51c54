#include "common/mdlFTP.h"

#include <memory>

#include "codepage/codepage.h"
#include "files/files.h"
#include "ftp/ftp.h"
#include "common/globals.h"

// The FTP object, held for the time of one upload only.
static std::unique_ptr<ftp::Ftp> gobjFtp;

bool WriteTextFile(const QString& path, const QString& text) {
  return files::WriteWhole(path, cp::ToAnsiLossy(text + QStringLiteral("\r\n")), nullptr, false);
}

QString FtpRemotePath() {
  const qsizetype at = gstrMailID.indexOf(QLatin1Char('@'));
  const QString account = at < 0 ? gstrMailID : gstrMailID.left(at);
  return gstrFtpPath + QLatin1Char('/') + account + QStringLiteral("/log");
}

int FtpPutFile(const QString& localFile) {
  gobjFtp = std::make_unique<ftp::Ftp>();
  gobjFtp->Connect(gstrFtpServer, gstrFtpUser, gstrFtpPsw);
  const QString remotePath = FtpRemotePath();
  const int result = gobjFtp->PutFile(localFile, remotePath);
  gobjFtp->Close();
  gobjFtp.reset();
  return result;
}
