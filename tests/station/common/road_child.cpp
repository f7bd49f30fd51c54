// A station without a window for the kill test: it opens the program folder like the station
// does, then runs the full station's ID road over a few scans and prints each stage it is told
// of as one line on its output, flushed at once, so that the test can kill it at a known point.
//
//   road_child <folder/> <first time, seconds since the epoch> <first scan> <scans>
//              <mail port> <ftp port> [held]
//
// With "held" the servers are given 30 s and the scans follow one another without waiting for
// the notifications: they arrive while the first mail is held; "all-decided" follows the last.
//
// Scan i (counted from <first scan>) is member 1001, 1002 or 1003 in turn, at <first time> +
// 3 minutes per scan. Each line is "<scan> <stage> [...]"; "<scan> decided" tells the event
// that was stored ("<ID> <入室|退室> <yyyy/mm/dd hh:mm:ss>"). "done" ends a run that was not
// killed.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QObject>

#include <clocale>
#include <cstdio>

#include "common/IdRoad.h"
#include "common/globals.h"
#include "common/imgctl_util.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "db/db.h"
#include "ftp/ftp.h"
#include "mail/mail.h"
#include "sound/sound.h"
#include "ui/clock.h"

namespace {

int gScan = 0;  // the scan the road runs

void Say(const QString& what) {
  std::fputs(qPrintable(QString::number(gScan) + QLatin1Char(' ') + what + QLatin1Char('\n')), stdout);
  std::fflush(stdout);
}

// The window of the station, as far as the road's stages go: the photo is taken as the station
// takes it (a still into the photo folder, converted to JPEG).
class PrintingWindow : public QObject, public RoadWindow {
 public:
  bool RoadWindowOpen() const override { return true; }
  void RoadStarted(const RoadEvent&) override { Say(QStringLiteral("started")); }
  void RoadBusy(const RoadEvent&) override { Say(QStringLiteral("busy")); }
  QString RoadMailTemplate(bool entry) const override {
    return entry ? QStringLiteral("%名前%%敬称% 入室 %時間%") : QStringLiteral("%名前%%敬称% 退室 %時間%");
  }
  // The first stage the window is told of once the event is stored.
  EventPhoto RoadPhoto(const RoadEvent& e) override {
    Say(QStringLiteral("decided ") + e.id + QLatin1Char(' ') + IoName(e.entry) + QLatin1Char(' ') + e.nowText);
    Say(QStringLiteral("photo"));
    QImage still(1280, 960, QImage::Format_RGB32);
    for (int y = 0; y < still.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(still.scanLine(y));
      for (int x = 0; x < still.width(); ++x) line[x] = qRgb(x * 7 + gScan, y * 3, (x ^ y) & 0xff);
    }
    const QString bmp = gstrImgDir + e.photoName + QStringLiteral(".bmp");
    const QString jpg = gstrImgDir + e.photoName + QStringLiteral(".jpg");
    if (!still.save(bmp, "BMP")) return {true, QString()};
    QString taken = bmp;
    if (ConvertBmpToJpg(jpg, bmp, 100, 0)) {
      QFile::remove(bmp);
      taken = jpg;
    }
    // The sound follows at once.
    Say(QStringLiteral("photo-taken"));
    return {true, taken};
  }
  void RoadGreeting(const RoadEvent&, const GreetingPick&) override { Say(QStringLiteral("greeting")); }
  void RoadEnded(const RoadEvent&, RoadEnd how) override {
    Say(QStringLiteral("ended ") + QString::number(static_cast<int>(how)));
    // The notification mail goes out now, on the sender.
    if (how == RoadEnd::Recorded) Say(QStringLiteral("mail"));
  }
  // The FTP record follows the mail at once.
  void RoadAfterMail(const RoadEvent&) override { Say(QStringLiteral("ftp")); }
  void RoadNoticeEnded(const RoadEvent&) override { Say(QStringLiteral("ftp-done")); }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  db::EnsureUtf8Locale();
  const QStringList args = app.arguments();
  if (args.size() != 7 && !(args.size() == 8 && args[7] == QLatin1String("held"))) {
    std::fputs("usage: road_child <folder/> <first time> <first scan> <scans> <mail port> <ftp port> [held]\n",
               stderr);
    return 2;
  }
  const bool held = args.size() == 8;
  ResetProgramValues();
  gstrAppPath = args[1];
  gstrIniFile = QStringLiteral("Velmor.ini");
  gstrLogDir = gstrAppPath + QStringLiteral("log/");
  gstrDBFile = gstrAppPath + QStringLiteral("Velmor.mdb");
  QString error;
  if (!LoadSettings(&error) || !OpenStationDatabase(&error)) {
    std::fputs(qPrintable(error + QLatin1Char('\n')), stderr);
    return 1;
  }
  // What the station's start-up and camera give: one camera, the service's servers.
  glngCamCount = 1;
  gintPort = args[5].toInt();
  gblnFtp = true;
  gstrFtpServer = QStringLiteral("127.0.0.1:") + args[6];
  gstrFtpUser = QStringLiteral("station");
  gstrFtpPsw = QStringLiteral("secret");
  const int limit = held ? 30 : 1;
  mail::SetLimits({limit, limit, limit});
  ftp::SetLimits({limit, limit, limit});
  sound::SetOutput(QStringLiteral("fakesink sync=true"));

  const QDateTime first = QDateTime::fromSecsSinceEpoch(args[2].toLongLong());
  const int firstScan = args[3].toInt();
  const int scans = args[4].toInt();
  const QStringList members{QStringLiteral("1001"), QStringLiteral("1002"), QStringLiteral("1003")};
  PrintingWindow window;
  IdRoad road(&window, &window, RoadOptions::Station());
  for (int i = 0; i < scans; ++i) {
    gScan = firstScan + i;
    const QDateTime now = first.addSecs(180 * i);
    ui::SetClock([now] { return now; });
    road.Submit(members[gScan % members.size()]);
    // One event's notification at a time, as at the station's pace.
    if (!held) road.WaitForNotices();
  }
  if (held) {
    std::fputs("all-decided\n", stdout);
    std::fflush(stdout);
    road.WaitForNotices(120000);
  }
  std::fputs("done\n", stdout);
  std::fflush(stdout);
  return 0;
}
