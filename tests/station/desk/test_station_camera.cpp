// A whole event with a camera: the station window hosts the built camera control on a virtual
// camera, photographs the member, keeps the JPEG named by the event stamp, mails it and records
// it; without a still nothing names a photo; the live view comes back after scanint ticks.
#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QRegularExpression>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "com/controlsite.h"
#include "com/registry.h"
#include "com/runtime.h"
#include "ftp/ftp.h"
#include "mail/mail.h"
#include "common/PictureBox.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "ui/clock.h"
#include "station_fixture.h"
#include "support/support_servers.h"
#include "virtcam.h"

namespace stationtest {
namespace {

class CameraTest : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    ASSERT_TRUE(reg_.isValid());
    qputenv(com::kRegistryEnv, QFile::encodeName(reg_.filePath(QStringLiteral("registry.json"))));
    QString message;
    const QString bin = qEnvironmentVariable("VELMOR_BINARY_DIR");
    const QString library = (bin.isEmpty() ? QCoreApplication::applicationDirPath() : bin + QStringLiteral("/bin")) +
                            QStringLiteral("/libOrnik.so");
    ASSERT_EQ(com::CallSelfRegistration(library, false, &message), com::S_OK) << message.toStdString();
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    ASSERT_TRUE(virtcam::Register());
    virtcam::HideRealProviders();
    virtcam::Camera cam;
    cam.name = "Entrance";
    cam.pattern = "smpte";
    cam.modes = {"YUY2 640x480@30"};
    virtcam::SetCameras({cam});
    Prepare(QStringLiteral("[MAIL]\nsendMail=True\n[IMAGE]\nsendImg=True\nsaveImg=True\nscanint=3\n"));
    glngCamCount = 1;
    mail::SetLimits({2, 2, 2});
    ftp::SetLimits({2, 2, 2});
    folder_.WriteText(QStringLiteral("Velmor.txt"), QStringLiteral("%名前%%敬称%が%時間%に入室しました。\n"));
    folder_.AddMember(QStringLiteral("2001"), QStringLiteral("田中一郎"), QStringLiteral("くん"),
                      QString(), QStringLiteral("home@example.jp"));
  }
  void TearDown() override {
    StationTest::TearDown();
    mail::SetLimits({});
    ftp::SetLimits({});
    com::CoFreeUnusedLibraries();
    qunsetenv(com::kRegistryEnv);
  }
  // Starts the two servers and points the station's mail and FTP record at them.
  static void UseServers(testsupport::SmtpServer& smtp, testsupport::FtpServer& ftp) {
    ASSERT_TRUE(smtp.Start()) << smtp.Error().toStdString();
    ASSERT_TRUE(ftp.Start(QStringLiteral("ftpuser"), QStringLiteral("ftppw"))) << ftp.Error().toStdString();
    gblnIsServer = false;
    gstrMailServer = QStringLiteral("127.0.0.1");
    gintPort = smtp.Port();
    gblnFtp = true;
    gstrFtpServer = QStringLiteral("127.0.0.1:") + QString::number(ftp.Port());
    gstrFtpUser = QStringLiteral("ftpuser");
    gstrFtpPsw = QStringLiteral("ftppw");
    gstrFtpPath = QStringLiteral("up");
    gstrMailID = QStringLiteral("school@example.jp");
  }
  QTemporaryDir reg_;
};

TEST_F(CameraTest, WholeEntryWithPhotoMailFtpAndHistory) {
  testsupport::SmtpServer smtp;
  testsupport::FtpServer ftp;
  ASSERT_NO_FATAL_FAILURE(UseServers(smtp, ftp));

  frmMain& f = Open();
  ASSERT_NE(f.Ornik1(), nullptr);
  EXPECT_TRUE(f.Ornik1()->Visible());
  EXPECT_EQ(f.findChild<QWidget*>(QStringLiteral("Ornik1")), f.Ornik1()->Widget());
  EXPECT_EQ(f.Ornik1()->Left(), 141);
  EXPECT_EQ(f.Ornik1()->Top(), 509);

  Scan(QStringLiteral("2001"));
  const QString jpg = folder_.Path() + QStringLiteral("ScanData/20260615090500.jpg");
  ASSERT_TRUE(QFile::exists(jpg));
  EXPECT_FALSE(QFile::exists(folder_.Path() + QStringLiteral("ScanData/20260615090500.bmp")));
  const QImage photo(jpg);
  EXPECT_EQ(photo.size(), QSize(640, 480));
  EXPECT_GT(qGray(photo.pixel(40, 100)), 150);  // the first SMPTE bar
  // The photo replaces the live view.
  EXPECT_FALSE(f.Ornik1()->Visible());
  EXPECT_TRUE(f.imgChange->isVisible());
  EXPECT_EQ(f.imgChange->Picture().size(), QSize(640, 480));
  // What is shown is the photo kept, the right way up and in its colours.
  const QImage shown = f.imgChange->Picture().toImage();
  for (int y = 10; y < 480; y += 60)
    for (int x = 10; x < 640; x += 60) {
      const QRgb a = shown.pixel(x, y), b = photo.pixel(x, y);
      EXPECT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)), 24)
          << x << "," << y;
    }

  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].imgFile, QStringLiteral("20260615090500.jpg"));
  EXPECT_EQ(LogLines(), (QStringList{QStringLiteral("2001 - アクセス,成功"), QStringLiteral("2001 - FTP,成功")}));
  QFile record(ftp.Home() + QStringLiteral("/up/school/log/2001in.txt"));
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  EXPECT_EQ(record.readAll(), QByteArray("2026/06/15,09:05:00,20260615090500.jpg\r\n"));

  ASSERT_EQ(smtp.Messages().size(), 1);
  const QJsonObject mail = testsupport::ParseMail(smtp.Messages()[0]);
  EXPECT_TRUE(mail["body"].toString().contains(QStringLiteral("田中一郎くんが09:05:00に入室しました。")));
  const QJsonArray attachments = mail["attachments"].toArray();
  ASSERT_EQ(attachments.size(), 1);
  EXPECT_EQ(attachments[0].toObject()["filename"].toString(), QStringLiteral("20260615090500.jpg"));
  QFile jpgFile(jpg);
  ASSERT_TRUE(jpgFile.open(QIODevice::ReadOnly));
  EXPECT_EQ(QByteArray::fromBase64(attachments[0].toObject()["data"].toString().toLatin1()), jpgFile.readAll());

  // The live view returns scanint ticks after the event (FTP put the counter near the limit, so
  // bring it back to the start of the idle time first).
  glngIdleCount = 0;
  Ticks(2);
  EXPECT_FALSE(f.Ornik1()->Visible());
  Ticks(1);
  EXPECT_TRUE(f.Ornik1()->Visible());
  EXPECT_FALSE(f.imgChange->isVisible());
}

int Mode(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

// Logs, mail traces, photographs, FTP records and the settings name members or hold passwords:
// their owner's alone, in folders of his alone, whatever the umask and the old settings file.
TEST_F(CameraTest, WhatTheStationWritesIsItsOwnersAlone) {
  testsupport::SmtpServer smtp;
  testsupport::FtpServer ftp;
  ASSERT_NO_FATAL_FAILURE(UseServers(smtp, ftp));
  glngSendP = 0;  // the mail's dialogue is traced
  const mode_t before = ::umask(022);
  const QString f = folder_.Path();
  for (const char* sub : {"log", "ScanData", "ftpFile"}) QDir(f + sub).removeRecursively();
  ASSERT_EQ(::chmod(QFile::encodeName(f + "Velmor.ini").constData(), 0644), 0);

  Open();
  Scan(QStringLiteral("2001"));
  ASSERT_EQ(History().size(), 1u);
  ASSERT_TRUE(WriteSavedSettings());
  ::umask(before);
  const std::pair<const char*, int> expected[] = {
      {"log", 0700},      {"log/20260615.log", 0600},        {"log/mail20260615.log", 0600},
      {"ScanData", 0700}, {"ScanData/20260615090500.jpg", 0600},
      {"ftpFile", 0700},  {"ftpFile/2001in.txt", 0600},      {"Velmor.ini", 0600}};
  for (const auto& [file, mode] : expected) EXPECT_EQ(Mode(f + file), mode) << file;
}

// Watches folders for new files and notes each one's mode the moment it appears.
class NewFiles {
 public:
  explicit NewFiles(const QStringList& folders) : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    for (const QString& folder : folders)
      folders_[::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_CREATE)] = folder;
    watcher_ = std::thread([this] {
      alignas(inotify_event) char buffer[4096];
      pollfd p{fd_, POLLIN, 0};
      while (!stop_) {
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
          const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
          const QString path = folders_[e->wd] + QLatin1Char('/') + QString::fromLocal8Bit(e->name);
          struct stat st {};
          const int mode = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
          const std::lock_guard<std::mutex> lock(lock_);
          seen_.push_back({path, mode});
          at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
      }
    });
  }
  ~NewFiles() {
    stop_ = true;
    watcher_.join();
    ::close(fd_);
  }
  std::vector<std::pair<QString, int>> Seen() {
    QTest::qWait(100);
    const std::lock_guard<std::mutex> lock(lock_);
    return seen_;
  }

 private:
  int fd_;
  std::map<int, QString> folders_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::pair<QString, int>> seen_;
  std::thread watcher_;
};

// Under umask 000 the photograph is its owner's alone from its first byte, kept or not; a still
// that is not kept is made in the private runtime folder under a name nobody can guess, never in
// the temporary folder every user may enter.
TEST_F(CameraTest, StillsArePrivateFromTheFirstByteAndScratchStillsStayInTheRuntimeFolder) {
  gblnSendMail = false;
  folder_.AddMember(QStringLiteral("2002"), QStringLiteral("鈴木花子"), QStringLiteral("さん"));
  QTemporaryDir tmp, runtime;
  // The two folders the process is given for the scan, and then the ones it had.
  const std::pair<const char*, QString> given[] = {{"TMPDIR", tmp.path()}, {"XDG_RUNTIME_DIR", runtime.path()}};
  std::vector<std::pair<const char*, std::optional<QByteArray>>> had;
  for (const auto& [name, path] : given) {
    had.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
    qputenv(name, QFile::encodeName(path));
  }
  Open();
  const QString scanData = folder_.Path() + QStringLiteral("ScanData");
  const mode_t before = ::umask(0);
  std::vector<std::pair<QString, int>> seen;
  {
    NewFiles files({tmp.path(), runtime.path(), scanData});
    gblnSaveImg = false;
    Scan(QStringLiteral("2001"));
    gblnSaveImg = true;
    Scan(QStringLiteral("2002"));
    seen = files.Seen();
  }
  ::umask(before);
  for (const auto& [name, value] : had) value ? qputenv(name, *value) : qunsetenv(name);
  ASSERT_EQ(History().size(), 2u);
  int scratch = 0, kept = 0;
  for (const auto& [path, mode] : seen) {
    EXPECT_FALSE(path.startsWith(tmp.path())) << path.toStdString();
    // (A JPEG's file beside it may be renamed before it is looked at.)
    if (mode != -1) {
      EXPECT_EQ(mode, 0600) << path.toStdString();
    }
    const QString name = QFileInfo(path).fileName();
    if (path.startsWith(runtime.path()) && name.endsWith(QStringLiteral(".bmp"))) {
      ++scratch;
      EXPECT_FALSE(QRegularExpression(QStringLiteral("^velmor-still-\\d+-\\d+\\.bmp$")).match(name).hasMatch())
          << name.toStdString();
    }
    if (path.startsWith(scanData) && name.endsWith(QStringLiteral(".bmp"))) ++kept;
  }
  EXPECT_EQ(scratch, 1);
  EXPECT_EQ(kept, 1);
}

TEST_F(CameraTest, TwoEventsInOneSecondKeepTwoPhotos) {
  gblnSendMail = false;
  folder_.AddMember(QStringLiteral("2002"), QStringLiteral("鈴木花子"), QStringLiteral("さん"));
  // A clock that runs from 09:05:00.000: both scans fall into that second.
  QElapsedTimer running;
  running.start();
  const QDateTime start(QDate(2026, 6, 15), QTime(9, 5, 0));
  ui::SetClock([&] { return start.addMSecs(running.elapsed()); });
  Open();
  Scan(QStringLiteral("2001"));
  Scan(QStringLiteral("2002"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_NE(History()[0].imgFile, History()[1].imgFile);
  for (const auto& row : History())
    EXPECT_TRUE(QFile::exists(folder_.Path() + QStringLiteral("ScanData/") + row.imgFile)) << row.imgFile.toStdString();
  EXPECT_EQ(QDir(folder_.Path() + QStringLiteral("ScanData")).entryList(QDir::Files).size(), 2);
}

TEST_F(CameraTest, ScansWhileAMailIsHeldAreRecordedAtOnceWithTheirOwnPhotos) {
  // Every mail is answered only after 3 s. The first member's mail is held while three more
  // members scan: each is stored, photographed and greeted as he arrives, with his own moment;
  // the mails follow one after the other, in order, each with the photo of its own event.
  testsupport::SmtpServer smtp;
  ASSERT_TRUE(smtp.Start(testsupport::SmtpOptions{.holdDataSeconds = 3})) << smtp.Error().toStdString();
  mail::SetLimits({10, 10, 10});
  gblnIsServer = false;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = smtp.Port();
  const QStringList ids{"2001", "2002", "2003", "2004"};
  for (int i = 1; i < ids.size(); ++i)
    folder_.AddMember(ids[i], QStringLiteral("会員%1").arg(i), QStringLiteral("さん"), QString(),
                      QStringLiteral("m%1@example.jp").arg(i));
  QElapsedTimer running;
  running.start();
  const QDateTime start(QDate(2026, 6, 15), QTime(9, 5, 0));
  ui::SetClock([&] { return start.addMSecs(running.elapsed()); });
  frmMain& f = Open();

  std::vector<qint64> arrived;
  for (const QString& id : ids) {
    if (!arrived.empty()) QTest::qWait(600);  // the next member steps up while the mail is held
    arrived.push_back(running.elapsed());
    Arrive(id);
    // Stored and greeted within a second of the scan, while the first mail is still held.
    EXPECT_LT(running.elapsed() - arrived.back(), 1000) << id.toStdString();
    EXPECT_EQ(History().size(), size_t(arrived.size())) << id.toStdString();
    EXPECT_TRUE(f.lblFirst->text().startsWith(id == "2001" ? QStringLiteral("田中一郎") : QStringLiteral("会員")));
  }
  EXPECT_GT(f.NoticesPending(), 1);
  EXPECT_EQ(smtp.Messages().size(), 0);

  const auto rows = History();
  ASSERT_EQ(rows.size(), 4u);
  QSet<QString> photos;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].id, ids[int(i)]);
    // The row's time is the scan's own moment, not the moment its turn came.
    const QTime at = QTime::fromString(rows[i].inTime, QStringLiteral("HH:mm:ss"));
    EXPECT_LE(std::abs(start.time().msecsTo(at) - arrived[i]), 1500) << rows[i].inTime.toStdString();
    EXPECT_TRUE(QFile::exists(folder_.Path() + QStringLiteral("ScanData/") + rows[i].imgFile));
    photos.insert(rows[i].imgFile);
  }
  EXPECT_EQ(photos.size(), 4);

  ASSERT_TRUE(f.WaitForNotices(60000));
  const QStringList mails = smtp.Messages();
  ASSERT_EQ(mails.size(), 4);
  for (int i = 0; i < 4; ++i) {
    const QJsonObject mail = testsupport::ParseMail(mails[i]);
    EXPECT_TRUE(mail["subject"].toString().contains(i == 0 ? QStringLiteral("田中一郎") : QStringLiteral("会員%1").arg(i)))
        << mail["subject"].toString().toStdString();
    const QJsonArray attachments = mail["attachments"].toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0].toObject()["filename"].toString(), rows[size_t(i)].imgFile);
    QFile photo(folder_.Path() + QStringLiteral("ScanData/") + rows[size_t(i)].imgFile);
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray::fromBase64(attachments[0].toObject()["data"].toString().toLatin1()), photo.readAll());
  }
}

TEST_F(CameraTest, APhotoNeverReplacesOneThatIsThere) {
  // Photos of the event's second and the one after are there already (a clock set back, a shared
  // folder): the new photo takes the next free name and the history names it.
  gblnSendMail = false;
  for (const char* name : {"20260615090500.jpg", "20260615090501.bmp"}) {
    QFile taken(folder_.Path() + QStringLiteral("ScanData/") + QLatin1String(name));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("an earlier photo");
  }
  Open();
  Scan(QStringLiteral("2001"));
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].imgFile, QStringLiteral("20260615090502.jpg"));
  EXPECT_EQ(History()[0].inTime, QStringLiteral("09:05:00"));
  EXPECT_EQ(QImage(folder_.Path() + QStringLiteral("ScanData/20260615090502.jpg")).size(), QSize(640, 480));
  for (const char* name : {"20260615090500.jpg", "20260615090501.bmp"}) {
    QFile taken(folder_.Path() + QStringLiteral("ScanData/") + QLatin1String(name));
    ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.readAll(), QByteArray("an earlier photo")) << name;
  }
}

TEST_F(CameraTest, PhotosNotKeptStillGoIntoTheFolderButNotIntoTheHistory) {
  gblnSaveImg = false;
  gblnSendMail = false;
  Open();
  Scan(QStringLiteral("2001"));
  EXPECT_TRUE(QFile::exists(folder_.Path() + QStringLiteral("ScanData/20260615090500.jpg")));
  EXPECT_EQ(QDir(folder_.Path() + QStringLiteral("ScanData")).entryList(QDir::Files).size(), 1);
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].imgFile, QString());
}

// A file where the photo folder should be: no still and no JPEG can be written into it.
void PhotoFolderUnwritable(const QString& programFolder) {
  ASSERT_TRUE(QDir(programFolder + QStringLiteral("ScanData")).removeRecursively());
  QFile file(programFolder + QStringLiteral("ScanData"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST_F(CameraTest, APhotoThatCouldNotBeWrittenIsLogged) {
  gblnSendMail = false;
  Open();
  Scan(QStringLiteral("2001"));
  EXPECT_EQ(LogLines(), QStringList{QStringLiteral("2001 - アクセス,成功")});

  PhotoFolderUnwritable(folder_.Path());
  Advance(600);
  Scan(QStringLiteral("2001"));
  ASSERT_EQ(History().size(), 2u);
  EXPECT_EQ(History()[1].imgFile, QString());
  EXPECT_EQ(LogLines().mid(1), (QStringList{QStringLiteral("2001 - 画像,失敗"), QStringLiteral("2001 - アクセス,成功")}));
}

TEST_F(CameraTest, EachMailCarriesItsOwnStillWhenItCouldNotBeConverted) {
  // Photos not kept, and no JPEG can be written: each mail carries the still of its own event,
  // although the next member is photographed while the first mail waits on a slow server. A
  // camera showing snow gives every still its own picture.
  virtcam::Camera cam;
  cam.name = "Entrance";
  cam.pattern = "snow";
  cam.modes = {"YUY2 640x480@30"};
  virtcam::SetCameras({cam});
  testsupport::SmtpServer smtp;
  ASSERT_TRUE(smtp.Start(testsupport::SmtpOptions{.holdGreetingSeconds = 2})) << smtp.Error().toStdString();
  mail::SetLimits({10, 10, 10});
  gblnSaveImg = false;
  gblnIsServer = false;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = smtp.Port();
  folder_.AddMember(QStringLiteral("2002"), QStringLiteral("鈴木花子"), QStringLiteral("さん"), QString(),
                    QStringLiteral("two@example.jp"));
  PhotoFolderUnwritable(folder_.Path());
  frmMain& f = Open();
  std::vector<QImage> stills;
  for (const char* id : {"2001", "2002"}) {
    Arrive(QLatin1String(id));
    stills.push_back(f.imgChange->Picture().toImage().convertToFormat(QImage::Format_RGB32));
  }
  ASSERT_TRUE(f.WaitForNotices(60000));
  const QStringList mails = smtp.Messages();
  ASSERT_EQ(mails.size(), 2);
  for (int i = 0; i < 2; ++i) {
    const QJsonArray attachments = testsupport::ParseMail(mails[i])["attachments"].toArray();
    ASSERT_EQ(attachments.size(), 1) << i;
    const QImage sent = QImage::fromData(
        QByteArray::fromBase64(attachments[0].toObject()["data"].toString().toLatin1()), "BMP");
    EXPECT_EQ(sent.convertToFormat(QImage::Format_RGB32), stills[size_t(i)]) << i;
  }
  // The scratch stills go with their mails.
  EXPECT_EQ(QDir::temp().entryList({QStringLiteral("velmor-still-%1-*").arg(QCoreApplication::applicationPid())}),
            QStringList());
}

TEST_F(CameraTest, NoStillMeansNoPhotoAnywhere) {
  // A camera that cannot be opened: the control answers, but no frame ever arrives.
  virtcam::Camera broken;
  broken.name = "Broken";
  broken.source = "v4l2src device=/dev/video-none";
  virtcam::SetCameras({broken});
  testsupport::SmtpServer smtp;
  ASSERT_TRUE(smtp.Start()) << smtp.Error().toStdString();
  gblnIsServer = false;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = smtp.Port();
  frmMain& f = Open();
  Scan(QStringLiteral("2001"));
  EXPECT_TRUE(QDir(folder_.Path() + QStringLiteral("ScanData")).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(f.mstrPhotoFile.isEmpty());
  ASSERT_EQ(History().size(), 1u);
  EXPECT_EQ(History()[0].imgFile, QString());
  ASSERT_EQ(smtp.Messages().size(), 1);
  EXPECT_EQ(testsupport::ParseMail(smtp.Messages()[0])["attachments"].toArray().size(), 0);
  EXPECT_TRUE(f.mblnEventDone);
}

}  // namespace
}  // namespace stationtest
