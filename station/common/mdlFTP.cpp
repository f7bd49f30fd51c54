#include "common/mdlFTP.h"

#include <QFile>

#include <memory>

#include "codepage/codepage.h"
#include "files/files.h"
#include "ftp/ftp.h"
#include "common/globals.h"

// The FTP object, held for the time of one upload only.
static std::unique_ptr<ftp::Ftp> gobjFtp;

bool WriteTextFile(const QString& path, const QString& text) {
  QFile file(path);
  if (!files::OpenPrivate(file, QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = cp::ToAnsiLossy(text + QStringLiteral("\r\n"));
  const bool written = file.write(bytes) == bytes.size();
  file.close();
  return written && file.error() == QFileDevice::NoError;
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
