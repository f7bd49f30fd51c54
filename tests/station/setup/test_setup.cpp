// The set-up tool as the README's first command runs it: a demo program folder that the station
// can start from, behind a data source it registers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "db/db.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "common/mdlPicture.h"
#include "support/support_postgres.h"

#include <sys/stat.h>

namespace {

class SetupTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ini = dir.filePath("odbc.ini");
    qputenv("ODBCINI", QFile::encodeName(ini));
    qunsetenv("ODBCSYSINI");
    qunsetenv("ODBCINSTINI");
  }
  QString Run(const QStringList& args) {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/velmor-setup", args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  QTemporaryDir dir;
  QString ini;
};

TEST_F(SetupTool, TheDemoFolderStartsAStation) {
  const QString folder = dir.filePath("demo");
  Run({folder, "--demo"});
  Run({folder, "--demo"});  // a second run keeps what is there

  // Every key the station requires loads from the demo settings file.
  gstrAppPath = folder + "/";
  gstrIniFile = "Velmor.ini";
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << qPrintable(error);
  for (const char* file : {"Velmor.txt", "otMail.txt", "sptMail.txt", "allMail.txt",
                           "image/logo.jpg", "image/image000.jpg", "image/image001.jpg",
                           "image/image001s.jpg", "image/m12.jpg", "image/wite.jpg",
                           "image/noimage.bmp", "wave/wav001.wav", "wave/chk.wav",
                           "wave/onerr.wav"})
    EXPECT_TRUE(QFile::exists(folder + "/" + file)) << file;
  for (int n = 1; n <= glngImgNum; ++n)
    EXPECT_EQ(GetImageSize(folder + QStringLiteral("/image/image%1.jpg").arg(n, 3, 10, QChar('0')), 0).Kind, kImageJpg);
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/wave/wav%1.wav").arg(glngWavNum, 3, 10, QChar('0'))));

  // The data source reaches the database with its rows.
  ASSERT_TRUE(OpenStationDatabase(&error)) << qPrintable(error);
  ASSERT_TRUE(LoadServiceAccount(&error)) << qPrintable(error);
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblData order by NameKana"));
  EXPECT_EQ(rs.RecordCount(), 30);
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblMessage where InYes = -1"));
  EXPECT_GT(rs.RecordCount(), 0);
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblPassword"));
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.Close();
  gcnDB().Close();
}

TEST_F(SetupTool, AnExistingDataSourceIsKeptUnlessAskedToMove) {
  const QString a = dir.filePath("a"), b = dir.filePath("b");
  EXPECT_TRUE(Run({a}).contains("registered for it"));
  EXPECT_TRUE(Run({b}).contains("warning: data source Pardix is kept and points at " + a + "/Velmor.db"));
  QFile f(ini);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().contains(QFile::encodeName(a + "/Velmor.db")));
  f.close();
  EXPECT_TRUE(Run({b, "--use-dsn"}).contains("now points at it"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray text = f.readAll();
  EXPECT_TRUE(text.contains(QFile::encodeName(b + "/Velmor.db")));
  EXPECT_EQ(text.count("[Pardix]"), 1);
  f.close();

  // A data source of an older set-up waits 5 s for a locked database; moving it brings the
  // station's wait, once.
  QByteArray older = text;
  older.replace("Timeout = 1000", "Timeout = 5000");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(older);
  f.close();
  Run({b, "--use-dsn"});
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray moved = f.readAll();
  EXPECT_EQ(moved.count("Timeout"), 1);
  EXPECT_TRUE(moved.contains("Timeout = 1000"));
}

int Mode(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

TEST_F(SetupTool, FilesThatHoldPasswordsAreTheUsersAlone) {
  const mode_t before = ::umask(022);
  // A new folder: the database, the settings file and the new data source file.
  const QString a = dir.filePath("a");
  Run({a, "--demo"});
  EXPECT_EQ(Mode(a + "/Velmor.db"), 0600);
  EXPECT_EQ(Mode(a + "/Velmor.ini"), 0600);
  EXPECT_EQ(Mode(ini), 0600);
  EXPECT_EQ(Mode(a + "/Velmor.txt"), 0644);  // the templates hold none

  // A data source file readable by all, rewritten to move the data source.
  ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
  const QString b = dir.filePath("b");
  EXPECT_TRUE(Run({b, "--use-dsn"}).contains("now points at it"));
  EXPECT_EQ(Mode(b + "/Velmor.db"), 0600);
  EXPECT_EQ(Mode(ini), 0600);
  ::umask(before);
}

TEST_F(SetupTool, ADatabaseOnAPostgreSQLServerServesTheStation) {
  testsupport::PostgresServer& server = testsupport::PostgresServer::Shared();
  ASSERT_NE(server.Port(), 0) << qPrintable(server.Error());
  QString error;
  const QString database = server.CreateDatabase(&error);
  ASSERT_FALSE(database.isEmpty()) << qPrintable(error);
  const QString folder = dir.filePath("pg");
  const QStringList args{folder, "--demo", "--members", "5", "--server", "127.0.0.1", "--port",
                         QString::number(server.Port()), "--database", database};
  EXPECT_TRUE(Run(args).contains("registered for it"));
  EXPECT_TRUE(Run(args).contains("(kept)"));  // a second run finds the tables
  EXPECT_FALSE(QFile::exists(folder + "/Velmor.db"));

  ASSERT_TRUE(OpenStationDatabase(&error)) << qPrintable(error);
  ASSERT_TRUE(LoadServiceAccount(&error)) << qPrintable(error);
  db::Recordset rs;
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblData order by NameKana"));
  EXPECT_EQ(rs.RecordCount(), 5);
  ASSERT_TRUE(rs.Open(gcnDB(), "select * from tblData where ID = ?", {QString("1001")}));
  EXPECT_EQ(rs.Text("UserName") + rs.Text("UserAdd"), QStringLiteral("山田　太郎さん"));
  // The history's automatic number counts from 1 without being written.
  for (const char* id : {"1001", "1002"})
    ASSERT_TRUE(db::Execute(gcnDB(), "INSERT INTO tblHist (ID, IOName, inDate, inTime, imgFile) "
                            "VALUES (?, ?, ?, ?, ?)", {QString(id), QStringLiteral("入室"), 20261208,
                                                       QString("09:05:00"), QString("")}));
  ASSERT_TRUE(rs.Open(gcnDB(), "select SEQ, ID from tblHist order by SEQ"));
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Value("SEQ").toInt(), 1);
  rs.MoveNext();
  EXPECT_EQ(rs.Value("SEQ").toInt(), 2);
  rs.Close();
  gcnDB().Close();
}

}  // namespace
