// The set-up tool as the README's first command runs it: a demo program folder that the station
// can start from, behind a data source it registers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QLabel>
#include <QTimer>

#include "admin/frmServer.h"
#include "admin/frmSet.h"
#include "com/registry.h"
#include "db/db.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "common/mdlIni.h"
#include "common/mdlMail.h"
#include "common/mdlPicture.h"
#include "startup/frmLogin.h"
#include "startup/mdlStartup.h"
#include "support/msgbox_recorder.h"
#include "support/support_postgres.h"
#include "support/support_program.h"
#include "support/support_servers.h"
#include "wiring.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

class SetupTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ini = dir.filePath("odbc.ini");
    qputenv("ODBCINI", QFile::encodeName(ini));
    qunsetenv("ODBCSYSINI");
    qunsetenv("ODBCINSTINI");
    // No camera control is registered: the login meets a station without a camera.
    qputenv(com::kRegistryEnv, QFile::encodeName(dir.filePath("com-registry.json")));
    SetEndProgramHook([this] { ++ends; });
    ConnectWindows();
  }
  void TearDown() override { testsupport::CloseProgram(); }
  // Runs the tool, which must end with `code`; `err` gets what it wrote to the standard error
  // output.
  QString Run(const QStringList& args, int code = 0, QString* err = nullptr) {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/velmor-setup", args);
    EXPECT_TRUE(p.waitForFinished(60000));
    const QString stderrText = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), code) << stderrText.toStdString();
    if (err) *err = stderrText;
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  // The "Key = value" lines of the data source entry "Pardix", one a line, sorted.
  QString DsnEntry() const {
    QFile f(ini);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList entry;
    bool in = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
      if (line.startsWith('[')) in = line == "[Pardix]";
      else if (in && !line.trimmed().isEmpty()) entry << QString::fromUtf8(line.trimmed());
    }
    entry.sort();
    return entry.join('\n');
  }
  // Starts the program from `folder` as its executable would (the whole start-up sequence) and
  // logs in with `password`; the window the login then opens is loaded.
  frmLogin* LogIn(const QString& folder, const QString& password) {
    ResetProgramValues();
    gstrAppPath = folder + "/";
    frmLogin* login = frmLogin::instance();
    if (!login) return nullptr;
    login->show();
    QTest::qWait(20);  // the activation: the camera count and the barcode port
    login->txtPassword->setText(password);
    login->frmLogin_cmdOK_Click();
    if (!login->LoginTimer->isActive()) return nullptr;
    login->LoginTimerProc();
    return login;
  }
  // Every key of the settings file as the load reads it.
  static QStringList SettingValues() {
    QStringList values;
    for (const SettingKey& row : SettingKeys())
      values << QStringLiteral("%1/%2=%3").arg(row.section, row.key,
                                                 ReadIni(row.section, row.key));
    return values;
  }
  QTemporaryDir dir;
  QString ini;
  testsupport::MsgBoxRecorder boxes;
  int ends = 0;
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
  // The folders of the logs, the photographs and the FTP records hold members' data.
  const char* const privateFolders[] = {"log", "ScanData", "ftpFile"};
  for (const char* sub : privateFolders) EXPECT_EQ(Mode(a + "/" + sub), 0700) << sub;
  EXPECT_EQ(Mode(a + "/image"), 0755);

  // A re-run makes what a copy or an older set-up left readable by all its owner's alone again.
  for (const QString& file : {a + "/Velmor.db", a + "/Velmor.ini", ini})
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
  for (const char* sub : privateFolders)
    ASSERT_EQ(::chmod(QFile::encodeName(a + "/" + sub).constData(), 0755), 0);
  const QString oldLog = a + "/log/20250101.log";  // the logs, photographs and records in them too
  QFile log(oldLog);
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  log.close();
  ASSERT_EQ(::chmod(QFile::encodeName(oldLog).constData(), 0644), 0);
  Run({a});
  for (const QString& file : {a + "/Velmor.db", a + "/Velmor.ini", ini, oldLog})
    EXPECT_EQ(Mode(file), 0600) << qPrintable(file);
  for (const char* sub : privateFolders) EXPECT_EQ(Mode(a + "/" + sub), 0700) << sub;
  EXPECT_EQ(Mode(a + "/Velmor.txt"), 0644);

  // A data source file readable by all, rewritten to move the data source.
  ASSERT_EQ(::chmod(QFile::encodeName(ini).constData(), 0644), 0);
  const QString b = dir.filePath("b");
  EXPECT_TRUE(Run({b, "--use-dsn"}).contains("now points at it"));
  EXPECT_EQ(Mode(b + "/Velmor.db"), 0600);
  EXPECT_EQ(Mode(ini), 0600);
  ::umask(before);
}

// The files of `folder` and below that are empty.
QStringList EmptyFiles(const QString& folder) {
  QStringList empty;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (QFileInfo(path).size() == 0) empty << path;
  }
  return empty;
}

TEST_F(SetupTool, ASetUpTheDiskStopsLeavesNoFileHalfAndItsRerunCompletesIt) {
  testsupport::SmallDisk disk(4 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system (tmpfs) needs root";
  // A full disk stops the first file; one with room for all but the last 16 KiB of what a set-up
  // takes (as the first re-run measures it) stops the last files or the database.
  qint64 need = 0;
  for (const char* name : {"full", "almost"}) {
    SCOPED_TRACE(name);
    const QString folder = disk.Path() + name;
    disk.Fill();
    QFile filler(disk.Path() + ".filler");
    ASSERT_TRUE(filler.resize(filler.size() - (need ? need - (16 << 10) : 0)));
    QString err;
    Run({folder, "--demo"}, 1, &err);
    EXPECT_TRUE(err.contains("No space left") || err.contains("full")) << qPrintable(err);
    EXPECT_EQ(EmptyFiles(folder).join(' ').toStdString(), "");
    EXPECT_FALSE(QFile::exists(folder + "/Velmor.db"));
    disk.Free();
    const qint64 free = QStorageInfo(disk.Path()).bytesAvailable();
    EXPECT_TRUE(Run({folder, "--demo"}).contains("(created)"));
    need = free - QStorageInfo(disk.Path()).bytesAvailable();
    EXPECT_EQ(EmptyFiles(folder).join(' ').toStdString(), "");
    db::Connection connection;
    ASSERT_TRUE(connection.Open("DRIVER={SQLite3};Database=" + folder + "/Velmor.db;",
                                QLatin1String(kStationDbUser), QLatin1String(kStationDbPassword)));
    db::Recordset rs;
    EXPECT_TRUE(rs.Open(connection, "select * from tblData"));
    EXPECT_EQ(rs.RecordCount(), 30);
  }

  // A data source file on a full disk keeps the entries it has: the new text, a little longer
  // than the page the old one fills, finds no room.
  const QString odbc = disk.Path() + "odbc.ini";
  const QByteArray entries = "[Other]\nDriver = SQLite3\nDatabase = /srv/other.db\nDescription = " +
                             QByteArray(4000, 'x') + "\n";
  {
    QFile f(odbc);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(entries), entries.size());
  }
  disk.Fill();
  qputenv("ODBCINI", QFile::encodeName(odbc));
  QString err;
  Run({dir.filePath("station")}, 1, &err);
  EXPECT_TRUE(err.contains(odbc)) << qPrintable(err);
  QFile f(odbc);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll() == entries);
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
  QString err;
  EXPECT_TRUE(Run(args, 0, &err).contains("registered for it"));
  EXPECT_EQ(err.toStdString(), "");  // a set-up that succeeds says no error on its way
  const QString entry = "Database = " + database +
                        "\nDescription = Velmor station database\nDriver = PostgreSQL Unicode\n"
                        "Port = " + QString::number(server.Port()) + "\nServername = 127.0.0.1";
  EXPECT_EQ(DsnEntry().toStdString(), entry.toStdString());
  EXPECT_TRUE(Run(args, 0, &err).contains("(kept)"));  // a second run finds the tables
  EXPECT_EQ(err.toStdString(), "");
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

  // An SQLite entry (the demo's) moved onto the server keeps none of the SQLite driver's keys.
  const QString lite = dir.filePath("lite");
  Run({lite, "--use-dsn"});
  EXPECT_TRUE(DsnEntry().contains("NoCreat = 1"));
  EXPECT_TRUE(Run(args + QStringList{"--use-dsn"}, 0, &err).contains("now points at it"));
  EXPECT_EQ(err.toStdString(), "");
  EXPECT_EQ(DsnEntry().toStdString(), entry.toStdString());
}

// Every settings value as the start-up's load left it.
QStringList LoadedSettings() {
  QStringList values;
  for (const SettingKey& row : SettingKeys())
    values << QStringLiteral("%1/%2=%3").arg(row.section, row.key, SettingText(row));
  return values;
}

const QString kNoCamera = QStringLiteral("カメラの接続が確認できません");

TEST_F(SetupTool, TheDemoLogsInAndItsSettingsWindowSavesAsShipped) {
  const QString folder = dir.filePath("demo");
  Run({folder, "--demo"});
  ASSERT_NE(LogIn(folder, "admin"), nullptr) << qPrintable(boxes.Texts().empty() ? "" : boxes.Texts().back());
  ASSERT_TRUE(frmSet::IsLoaded());
  const QStringList loaded = LoadedSettings();
  frmSet::instance().frmSet_cmdOK_Click();
  QTest::qWait(20);  // the new login's activation
  // Saved without a word; the login that follows loads what was there.
  EXPECT_EQ(boxes.Texts(), std::vector<QString>({kNoCamera, kNoCamera}));
  EXPECT_FALSE(frmSet::IsLoaded());
  ASSERT_TRUE(frmLogin::IsLoaded());
  EXPECT_EQ(LoadedSettings(), loaded);
  EXPECT_EQ(gstrAdminPsw, "admin");
  EXPECT_EQ(gstrUserPsw, "9999");
}

TEST_F(SetupTool, AFolderWithoutTheDemoStartsAndLogsIn) {
  const QString folder = dir.filePath("station");
  Run({folder});
  // Every key of the settings file is written, the required ones with a value.
  QFile file(folder + "/Velmor.ini");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  for (const SettingKey& row : SettingKeys())
    EXPECT_TRUE(text.contains(QByteArray("\r\n") + row.key + "=")) << row.key;

  frmLogin* login = LogIn(folder, "9999");
  ASSERT_NE(login, nullptr) << qPrintable(boxes.Texts().empty() ? "" : boxes.Texts().back());
  EXPECT_EQ(boxes.Texts(), std::vector<QString>({kNoCamera}));
  EXPECT_FALSE(frmLogin::IsLoaded());
  EXPECT_TRUE(QFileInfo(folder + "/log").isDir());
  EXPECT_TRUE(QFile::exists(folder + "/image/logo.jpg"));
  EXPECT_EQ(ends, 0);

  // A forgotten administrator password is set again by a re-run, which says so; the station
  // user's stays, and a password that the other login has is refused.
  testsupport::CloseProgram();
  SetEndProgramHook([this] { ++ends; });
  const QString out = Run({folder, "--admin-password", "n3w-admin"});
  EXPECT_TRUE(out.contains("\nadministrator password set\n")) << qPrintable(out);
  EXPECT_FALSE(out.contains("station user password"));
  EXPECT_FALSE(Run({folder, "--user-password", "n3w-admin"}, 2).contains("password set"));
  // The clash is with the password the other login has, not with the other option's default:
  // with the station user's at 5555 the administrator may take 9999, but not 5555.
  Run({folder, "--user-password", "5555"});
  Run({folder, "--admin-password", "9999"});
  EXPECT_FALSE(Run({folder, "--admin-password", "5555"}, 2).contains("password set"));
  ASSERT_NE(LogIn(folder, "9999"), nullptr);
  EXPECT_TRUE(frmSet::IsLoaded());
  EXPECT_EQ(gstrUserPsw, "5555");
}

TEST_F(SetupTool, TheMailAccountIsWrittenByItsOwnOptions) {
  const QString folder = dir.filePath("station");
  auto account = [&]() {
    gstrAppPath = folder + "/";
    QString error;
    EXPECT_TRUE(OpenStationDatabase(&error)) << qPrintable(error);
    gblnFtp = true;
    EXPECT_TRUE(LoadServiceAccount(&error)) << qPrintable(error);
    gcnDB().Close();
    return QStringList{gstrSmtpServer, gstrMailID, gstrMailPsw, gstrFtpServer, gstrFtpUser,
                       gstrFtpPsw, gstrFtpPath, gblnFtp ? "ftp" : "no ftp"};
  };
  EXPECT_TRUE(Run({folder, "--smtp", "mail.example.org", "--mail-id", "station@example.org",
                   "--mail-password", "s3cret", "--ftp-server", "ftp.example.org", "--ftp-user",
                   "uploader", "--ftp-password", "pw", "--ftp-path", "/in"})
                  .contains("mail account written"));
  EXPECT_EQ(account(), (QStringList{"mail.example.org", "station@example.org", "s3cret",
                                    "ftp.example.org", "uploader", "pw", "/in", "ftp"}));
  // A later run changes what it names and keeps the rest.
  Run({folder, "--ftp-server", ""});
  EXPECT_EQ(account(), (QStringList{"mail.example.org", "station@example.org", "s3cret", "",
                                    "uploader", "pw", "/in", "no ftp"}));
  // Without them the row stays as it is.
  EXPECT_FALSE(Run({folder}).contains("mail account"));
  EXPECT_EQ(account()[0], "mail.example.org");
}

// An installation that mails through an ordinary provider: its own SMTP server, which wants a
// login and has no POP3 beside it. The settings window and the mail server window save what the
// tool wrote as it stands, and the station's mail goes out through that server.
TEST_F(SetupTool, TheOwnMailServerPassesTheWindowsAndDelivers) {
  // The settings file holds the port as a 16-bit number: the server listens below 32768.
  testsupport::SmtpServer smtp;
  testsupport::SmtpOptions options;
  options.user = "station@example.org";
  options.password = "\"mail\" secret";
  options.port = testsupport::UnusedSettingsPort();
  for (int tries = 0; tries < 5 && !smtp.Start(options); ++tries)
    options.port = testsupport::UnusedSettingsPort();
  ASSERT_TRUE(smtp.IsRunning()) << qPrintable(smtp.Error());
  const QString folder = dir.filePath("station");
  EXPECT_TRUE(Run({folder, "--demo", "--own-smtp", "127.0.0.1", "--mail-port",
                   QString::number(smtp.Port()), "--sender", "station@example.org", "--own-id",
                   "station@example.org", "--own-password", "old secret"})
                  .contains("mails go through 127.0.0.1 (own server)"));
  // A re-run that gives the new password alone changes that password and keeps the rest.
  Run({folder, "--own-password", "\"mail\" secret"});
  gstrAppPath = folder + "/";
  gstrIniFile = "Velmor.ini";
  QStringList keys;
  for (const char* key : {"SYSTEM/isserver", "MAIL/mailserver", "MAIL/pop3server", "MAIL/mailreg",
                          "MAIL/regm", "MAIL/mailid", "MAIL/mailpsw", "MAIL/port", "MAIL/mail"}) {
    const QStringList k = QString(key).split('/');
    keys << ReadIni(k[0], k[1]);
  }
  EXPECT_EQ(keys.join('|').toStdString(),
            QStringLiteral("False|127.0.0.1|127.0.0.1|1|1|station@example.org|\"mail\" secret|%1|"
                           "station@example.org").arg(smtp.Port()).toStdString());

  ASSERT_NE(LogIn(folder, "admin"), nullptr);
  frmSet& set = frmSet::instance();
  EXPECT_FALSE(set.cmdServer->isHidden());
  set.optSendMailYes->setChecked(true);
  frmServer& server = frmServer::instance();
  server.cmdOK_Click();
  EXPECT_FALSE(frmServer::IsLoaded());
  set.frmSet_cmdOK_Click();
  QTest::qWait(20);  // the new login's activation, which loads what was saved
  EXPECT_EQ(boxes.Texts(), std::vector<QString>({kNoCamera, kNoCamera}));
  EXPECT_FALSE(frmSet::IsLoaded());
  ASSERT_TRUE(gblnSendMail);

  EXPECT_EQ(DeliverMail(MailAccountFromSettings(), "family1001@example.org", "件名", "本文",
                        "山田", "さま", QString()),
            MailResult::Sent);
  ASSERT_EQ(smtp.Messages().size(), 1);
  EXPECT_EQ(smtp.Envelope(0)["auth_user"].toString().toStdString(), "station@example.org");

  // A POP3 server never given follows a new SMTP server; one given stays.
  Run({folder, "--own-smtp", "mail.example.net"});
  EXPECT_EQ(ReadIni("MAIL", "pop3server"), "mail.example.net");
  Run({folder, "--own-pop3", "pop.example.net"});
  Run({folder, "--own-smtp", "mail.example.com"});
  EXPECT_EQ(ReadIni("MAIL", "pop3server"), "pop.example.net");

  // Naming the service account's server makes it the route again; an empty one is refused.
  Run({folder, "--smtp", ""}, 2);
  EXPECT_EQ(ReadIni("SYSTEM", "isserver"), "False");
  Run({folder, "--smtp", "mail.example.org"});
  EXPECT_EQ(ReadIni("SYSTEM", "isserver"), "True");
}

TEST_F(SetupTool, EveryFailureOfTheToolSaysWhyOnStderr) {
  QFile plain(dir.filePath("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  const QString folder = dir.filePath("station");
  const QStringList own{"--own-id", "a", "--own-password", "b", "--sender", "a@b.c"};
  const QStringList ownServer{folder, "--own-smtp", "mail.example.org", "--own-id", "a",
                              "--sender", "a@b.c"};
  const struct {
    QStringList args;
    int code;
    const char* says = "";
  } cases[] = {
      {{}, 2},
      {{folder, dir.filePath("other")}, 2},
      {{folder, "--members", "many"}, 2},
      {{folder, "--user-password", "admin"}, 2, "two different texts"},
      {{folder, "--admin-password", ""}, 2, "--admin-password is empty"},
      // A port, a blank or a TAB in a server name: the port has its own option.
      {QStringList{folder, "--own-smtp", "127.0.0.1:27027"} + own, 2, "--mail-port"},
      {QStringList{folder, "--own-smtp", "mail example.org"} + own, 2, "--mail-port"},
      {QStringList{folder, "--own-smtp", "mail.example.org\t25"} + own, 2, "--mail-port"},
      {{folder, "--smtp", "mail.example.org:587"}, 2, "--mail-port"},
      {QStringList{folder, "--own-smtp", "127.0.0.1", "--own-auth", "pop", "--own-pop3",
                   "127.0.0.1:27110"} + own, 2, "port 110"},
      {{folder, "--server", "127.0.0.1", "--port", "none"}, 2},
      // An own server the mail server window would refuse, or half of one.
      {{folder, "--own-smtp", "mail.example.org", "--sender", "a@b.c"}, 2},
      {{folder, "--own-smtp", "mail.example.org", "--own-id", "a", "--own-password", "b"}, 2},
      {{folder, "--own-id", "a"}, 2},
      // What the settings file would not give back as given: the station would log in with
      // another password. Blanks and quotation marks inside stay, as the mail test shows.
      {ownServer + QStringList{"--own-password", " pw"}, 2, "--own-password"},
      {ownServer + QStringList{"--own-password", "pw "}, 2, "--own-password"},
      {ownServer + QStringList{"--own-password", "\"pw\""}, 2, "--own-password"},
      {ownServer + QStringList{"--own-password", "'pw'"}, 2, "--own-password"},
      {ownServer + QStringList{"--own-password", QString(1024, 'p')}, 2, "--own-password"},
      {ownServer + QStringList{"--own-password", "b", "--sender", QStringLiteral("\U0001F600@b.c")},
       2, "--sender"},
      {ownServer + QStringList{"--own-password", "p\nw"}, 2, "--own-password"},
      // An empty server for the service account, a port above the settings' 16 bits, and server
      // names without a dot, as the mail server window refuses them.
      {{folder, "--smtp", ""}, 2, "--smtp"},
      {{folder, "--mail-port", "32768"}, 2, "--mail-port"},
      {QStringList{folder, "--own-smtp", "localhost"} + own, 2, "--own-smtp"},
      {QStringList{folder, "--own-smtp", "127.0.0.1", "--own-auth", "pop", "--own-pop3",
                   "localhost"} + own, 2, "--own-pop3"},
      {{dir.filePath("plain/station")}, 1},  // a folder below a file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/velmor-setup", c.args);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.code);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.startsWith("velmor-setup: ")) << qPrintable(err);
    EXPECT_TRUE(err.contains(QLatin1String(c.says))) << qPrintable(err);
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
  }
  EXPECT_FALSE(QFile::exists(folder));
}

// The driver manager finds the user data sources in the home folder of the user's account, not in
// $HOME. nss_wrapper gives this process's user an account whose home is a folder of the test's.
TEST_F(SetupTool, TheDataSourceLandsWhereTheDriverManagerReadsIt) {
  const QString wrapper = QStringLiteral("/usr/lib/x86_64-linux-gnu/libnss_wrapper.so");
  ASSERT_TRUE(QFile::exists(wrapper)) << "package libnss-wrapper";
  const QString account = dir.filePath("account"), elsewhere = dir.filePath("elsewhere");
  QDir().mkpath(account);
  QDir().mkpath(elsewhere);
  auto write = [](const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  write(dir.filePath("passwd"), QStringLiteral("station:x:%1:%2:station:%3:/bin/sh\n")
                                    .arg(::getuid()).arg(::getgid()).arg(account).toUtf8());
  write(dir.filePath("group"), QStringLiteral("station:x:%1:\n").arg(::getgid()).toUtf8());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("ODBCINI");
  env.insert("HOME", elsewhere);
  env.insert("LD_PRELOAD", wrapper);
  env.insert("NSS_WRAPPER_PASSWD", dir.filePath("passwd"));
  env.insert("NSS_WRAPPER_GROUP", dir.filePath("group"));
  // A sanitizer build's runtime would insist on coming before the preloaded library, and count
  // what the preloaded library keeps for the process as lost.
  env.insert("ASAN_OPTIONS",
             env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0:detect_leaks=0");
  auto run = [&](const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + "/" + program, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString()
                               << p.readAllStandardOutput().toStdString();
  };
  const mode_t before = ::umask(022);
  const QString folder = dir.filePath("station");
  run("velmor-setup", {folder});
  ::umask(before);
  EXPECT_FALSE(QFile::exists(elsewhere + "/.odbc.ini"));
  EXPECT_EQ(Mode(account + "/.odbc.ini"), 0600);
  // The station's own start-up, in a process of that account, reaches its database.
  run("velmor_startup_child", {folder});
}

}  // namespace
