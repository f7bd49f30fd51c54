// The station's ID road from Enter in the ID field to the greeting painted: a 640 x 480 virtual
// camera, photos kept (still, BMP to JPEG at quality 100), sound off, mail and FTP off, 100,000
// members and 1,000,000 time-ordered history rows behind the real ODBC data source. 500 events, each a new
// entry; reported: median and 99th percentile to the greeting, and of the whole road (history
// row included).
//
// Beside it, in the same run, its parts alone (medians of 200): the database work of an event,
// the still through the control, the still's JPEG; and their sum.
//
// ScansWhileMailsWait: the same station with the notification mail on, 200 members scanned back
// to back, each with his own address, through a local SMTP server that answers every mail at once
// (0) or only after 10 s (1). Reported: scans recorded per second (history rows stored, greeting
// shown), and the notifications still waiting when the last member was recorded.
//
//   QT_QPA_PLATFORM=offscreen VELMOR_SOUND_SINK=fakesink build/bin/bench_station
#include <benchmark/benchmark.h>

#include <gst/gst.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "com/registry.h"
#include "com/runtime.h"
#include "db/db.h"
#include "com/controlsite.h"
#include "common/StationRecords.h"
#include "common/imgctl_util.h"
#include "common/mdlStation.h"
#include "desk/frmMain.h"
#include "mail/mail.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "support/bench_support.h"
#include "support/support_program.h"
#include "support/support_servers.h"
#include "ui/clock.h"
#include "virtcam.h"

namespace {

using benchsupport::kMembers;
constexpr int kEvents = 500;

std::unique_ptr<testsupport::ProgramFolder> gFolder;
QTemporaryDir* gRegistry = nullptr;

bool Setup() {
  gRegistry = new QTemporaryDir;
  qputenv(com::kRegistryEnv, QFile::encodeName(gRegistry->filePath("registry.json")));
  QString message;
  if (com::CallSelfRegistration(QCoreApplication::applicationDirPath() + "/libOrnik.so", false, &message) != com::S_OK) {
    std::fprintf(stderr, "registration: %s\n", qPrintable(message));
    return false;
  }
  if (!gst_init_check(nullptr, nullptr, nullptr) || !virtcam::Register()) return false;
  virtcam::HideRealProviders();
  virtcam::Camera cam;
  cam.name = "Door";
  cam.pattern = "smpte";
  cam.modes = {"YUY2 640x480@30"};
  virtcam::SetCameras({cam});

  gFolder = benchsupport::OpenStationFolder("[IMAGE]\nsaveImg=True\n[VOICE]\nsound=False\n[MAIL]\nsendMail=False\n");
  if (!gFolder) return false;
  benchsupport::FillStationDatabase(gFolder->DatabaseFile());
  db::Execute(gcnDB(), "INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)", {QStringLiteral("こんにちは！"), -1});
  db::Execute(gcnDB(), "INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)", {QStringLiteral("おつかれさま！"), 0});
  gblnFtp = false;
  glngCamCount = 1;
  glngInOutTime = 1;
  gstrUserPsw = "9999";
  return true;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

// Records when the greeting label is painted.
class PaintWatch : public QObject {
 public:
  QElapsedTimer* clock = nullptr;
  qint64 paintedNs = -1;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && paintedNs < 0) paintedNs = clock->nsecsElapsed();
    return false;
  }
};

void BM_IdRoad(benchmark::State& state) {
  frmBack::instance();
  frmMain& f = frmMain::instance();
  f.show();
  QTest::qWait(300);  // the live picture runs
  PaintWatch watch;
  f.lblMess->installEventFilter(&watch);
  std::vector<double> toGreeting, whole;
  int next = 0;
  // Members come one a second by the station's clock, so each photo takes its stamp as its name.
  const QDateTime start = QDateTime::currentDateTime();
  ui::SetClock([&] { return start.addSecs(next); });
  for (auto _ : state) {
    toGreeting.clear();
    whole.clear();
    for (int i = 0; i < kEvents; ++i, ++next) {
      const QString id = benchsupport::MemberId(next * 7 % kMembers);
      f.txtID->setText(id);
      QElapsedTimer clock;
      watch.clock = &clock;
      watch.paintedNs = -1;
      clock.start();
      QTest::keyClick(f.txtID, Qt::Key_Return);
      const qint64 end = clock.nsecsElapsed();
      toGreeting.push_back(watch.paintedNs / 1e6);
      whole.push_back(end / 1e6);
      QCoreApplication::processEvents();
    }
  }
  // The road's parts alone, in the same run: the event's database work, the still through the
  // control, and its conversion to JPEG (the anchor the road's greeting is measured against).
  std::vector<double> database, still, jpeg;
  const QString bmp = gstrImgDir + QStringLiteral("part.bmp");
  for (int i = 0; i < 200; ++i, ++next) {
    const QString id = benchsupport::MemberId(next * 7 % kMembers);
    const QString now = EventStamp(ui::Now());
    QElapsedTimer clock;
    clock.start();
    MemberRecord member;
    FindMember(id, member);
    const HistoryRow row{id, IoName(true), now.left(8).toInt(), StampText(now).mid(11), now + ".jpg"};
    RecordEvent(id, true, StampText(now), row);
    database.push_back(clock.nsecsElapsed() / 1e6);
    clock.restart();
    f.Ornik1()->CallByName(QStringLiteral("DVCStillCapture"), {com::Variant(bmp), com::Variant(std::int32_t(-1))});
    still.push_back(clock.nsecsElapsed() / 1e6);
    clock.restart();
    ConvertBmpToJpg(gstrImgDir + QStringLiteral("part.jpg"), bmp, 100, 0);
    jpeg.push_back(clock.nsecsElapsed() / 1e6);
  }
  state.counters["parts_db_ms"] = Percentile(database, 0.5);
  state.counters["parts_still_ms"] = Percentile(still, 0.5);
  state.counters["parts_jpeg_ms"] = Percentile(jpeg, 0.5);
  state.counters["parts_sum_ms"] =
      Percentile(database, 0.5) + Percentile(still, 0.5) + Percentile(jpeg, 0.5);
  state.counters["greeting_median_ms"] = Percentile(toGreeting, 0.5);
  state.counters["greeting_p99_ms"] = Percentile(toGreeting, 0.99);
  state.counters["road_median_ms"] = Percentile(whole, 0.5);
  state.counters["road_p99_ms"] = Percentile(whole, 0.99);
  state.counters["events"] = static_cast<double>(toGreeting.size());
  ui::SetClock({});
  frmMain::Unload();
}
BENCHMARK(BM_IdRoad)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ScansWhileMailsWait(benchmark::State& state) {
  constexpr int kScans = 200;
  const bool held = state.range(0) != 0;
  testsupport::SmtpServer smtp;
  if (!smtp.Start(testsupport::SmtpOptions{.holdDataSeconds = held ? 10.0 : 0.0})) {
    state.SkipWithError(qPrintable(smtp.Error()));
    return;
  }
  // Members no other run scanned: every scan is an entry with a mail.
  const int first = held ? 60000 : 50000;
  db::Execute(gcnDB(), "UPDATE tblData SET MailAddr='family@example.jp' WHERE ID>=? AND ID<?",
              {benchsupport::MemberId(first), benchsupport::MemberId(first + kScans)});
  gblnSendMail = true;
  gblnIsServer = false;
  gstrMailServer = QStringLiteral("127.0.0.1");
  gintPort = smtp.Port();
  mail::SetLimits({15, 15, 15});
  frmBack::instance();
  frmMain& f = frmMain::instance();
  f.show();
  QTest::qWait(300);
  int next = 0;
  const QDateTime start = QDateTime::currentDateTime().addDays(held ? 2 : 1);
  ui::SetClock([&] { return start.addSecs(next); });
  const int rowsBefore = [] {
    db::Recordset rs;
    return rs.Open(gcnDB(), "select count(*) from tblHist") ? rs.Value(0).toInt() : -1;
  }();
  double seconds = 0;
  int pending = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kScans; ++i, ++next) {
      f.txtID->setText(benchsupport::MemberId(first + i));
      QTest::keyClick(f.txtID, Qt::Key_Return);
      QCoreApplication::processEvents();
    }
    seconds = clock.nsecsElapsed() / 1e9;
    pending = f.NoticesPending();
  }
  db::Recordset rs;
  const int recorded = rs.Open(gcnDB(), "select count(*) from tblHist") ? rs.Value(0).toInt() - rowsBefore : -1;
  if (recorded != kScans) state.SkipWithError("not every scan was recorded");
  state.counters["scans_per_s"] = recorded / seconds;
  state.counters["notices_waiting"] = pending;
  ui::SetClock({});
  frmMain::Unload();  // the mails still waiting are given up
  mail::SetLimits({});
  gblnSendMail = false;
}
BENCHMARK(BM_ScansWhileMailsWait)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return benchsupport::RunBenchmarks(argc, argv, Setup, [] { gFolder.reset(); });
}
