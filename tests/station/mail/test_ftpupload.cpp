// The record file writer and the upload to the service's FTP server (a real one on 127.0.0.1).
#include <gtest/gtest.h>

#include <QFile>

#include "codepage/codepage.h"
#include "ftp/ftp.h"
#include "common/globals.h"
#include "common/mdlFTP.h"
#include "support/support_program.h"
#include "support/support_servers.h"

namespace {

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(RecordFile, HoldsOnlyTheLastTextEndedByCrLfInTheAnsiCodePage) {
  testsupport::ProgramFolder folder;
  const QString path = gstrFtpDir + QStringLiteral("123in.txt");
  ASSERT_TRUE(WriteTextFile(path, QStringLiteral("2024/05/01,08:15:30,20240501081530.jpg")));
  ASSERT_TRUE(WriteTextFile(path, QStringLiteral("2024/05/01,17:00:00,")));
  EXPECT_EQ(Read(path), "2024/05/01,17:00:00,\r\n");
  ASSERT_TRUE(WriteTextFile(path, QString()));
  EXPECT_EQ(Read(path), "\r\n");
  ASSERT_TRUE(WriteTextFile(path, QStringLiteral("入室")));
  EXPECT_EQ(Read(path), cp::ToAnsiLossy(QStringLiteral("入室\r\n")));
  EXPECT_FALSE(WriteTextFile(folder.Path() + QStringLiteral("no-such-folder/1in.txt"), QStringLiteral("x")));
}

TEST(FtpUpload, RecordArrivesUnderTheAccountsLogFolder) {
  testsupport::ProgramFolder folder;
  testsupport::FtpServer server;
  ASSERT_TRUE(server.Start(QStringLiteral("ftpuser"), QStringLiteral("ftppw"))) << server.Error().toStdString();
  ftp::SetLimits({10, 10, 10});
  gstrFtpServer = QStringLiteral("127.0.0.1:") + QString::number(server.Port());
  gstrFtpUser = QStringLiteral("ftpuser");
  gstrFtpPsw = QStringLiteral("ftppw");
  gstrFtpPath = QStringLiteral("/data");
  gstrMailID = QStringLiteral("abc@example.jp");
  const QString record = gstrFtpDir + QStringLiteral("123out.txt");
  ASSERT_TRUE(WriteTextFile(record, QStringLiteral("2024/05/01,17:00:00,20240501170000.jpg")));

  EXPECT_GT(FtpPutFile(record, FtpAccountFromSettings()), 0);
  EXPECT_EQ(Read(server.Home() + QStringLiteral("/data/abc/log/123out.txt")), Read(record));

  // An account ID without "@" is used whole; the base path is taken as stored.
  gstrMailID = QStringLiteral("plain");
  gstrFtpPath = QStringLiteral("base");
  EXPECT_EQ(FtpRemotePath(FtpAccountFromSettings()), QStringLiteral("base/plain/log"));
  EXPECT_GT(FtpPutFile(record, FtpAccountFromSettings()), 0);
  EXPECT_EQ(Read(server.Home() + QStringLiteral("/base/plain/log/123out.txt")), Read(record));

  gstrFtpPsw = QStringLiteral("wrong");
  EXPECT_LE(FtpPutFile(record, FtpAccountFromSettings()), 0);
  ftp::SetLimits({});
}

}  // namespace
