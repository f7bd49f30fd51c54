#include "station_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QTest>

#include "codepage/codepage.h"
#include "db/db.h"
#include "sound/sound.h"
#include "common/WindowHome.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "common/mdlIni.h"
#include "ui/clock.h"

namespace stationtest {

QDateTime StationTest::now_;

void StationTest::SetUp() {
  now_ = QDateTime(QDate(2026, 6, 15), QTime(9, 5, 0));
  ui::SetClock([] { return now_; });
  ui::SetRandom([] { return 0.0; });
  sound::SetOutput(QStringLiteral("fakesink"));
  sound::SetPlayObserver([this](const QString& path, bool) { played_.push_back(path.section('/', -1)); });
  SetEndProgramHook([this] { ++ended_; });
}

void StationTest::TearDown() {
  windows::UnloadAll();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ui::SetClock({});
  ui::SetRandom({});
  sound::SetPlayObserver({});
  sound::SetOutput(QString());
  SetEndProgramHook({});
}

void StationTest::Prepare(const QString& extra) {
  folder_.WriteSettings(extra);
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  folder_.CreateDatabase();
  gstrUserPsw = QStringLiteral("9999");
  WritePicture(QStringLiteral("image/logo.jpg"), 300, 100, Qt::darkBlue);
  WritePicture(QStringLiteral("image/image000.jpg"), 64, 48, Qt::cyan);
  WritePicture(QStringLiteral("image/noimage.bmp"), 32, 24, Qt::gray);
  for (int n = 1; n <= 3; ++n)
    WritePicture(QStringLiteral("image/image%1.jpg").arg(n, 3, 10, QLatin1Char('0')), 40 + n, 30, Qt::yellow);
  for (const char* w : {"wave/wav001.wav", "wave/wav002.wav", "wave/wav003.wav", "wave/onerr.wav", "wave/chk.wav"})
    WriteWave(QLatin1String(w));
}

frmMain& StationTest::Open() {
  frmBack::instance();
  frmMain& f = frmMain::instance();
  f.show();
  f.activateWindow();
  QApplication::setActiveWindow(&f);
  (void)QTest::qWaitForWindowActive(&f, 1000);
  return f;
}

void StationTest::Scan(const QString& text) {
  frmMain& f = Station();
  f.txtID->setFocus();
  QTest::keyClicks(f.txtID, text);
  QTest::keyClick(f.txtID, Qt::Key_Return);
  // The event's notification goes out on the station's sender: what it sends and logs is there
  // once it is through.
  if (frmMain::IsLoaded()) {
    EXPECT_TRUE(Station().WaitForNotices());
  }
}

void StationTest::Arrive(const QString& text) {
  frmMain& f = Station();
  f.txtID->setFocus();
  QTest::keyClicks(f.txtID, text);
  QTest::keyClick(f.txtID, Qt::Key_Return);
}

void StationTest::Ticks(int n) {
  for (int i = 0; i < n && frmMain::IsLoaded(); ++i) {
    Advance(1);
    Station().frmMain_Timer1_Timer();
  }
}

std::vector<HistRow> StationTest::History() const {
  db::Recordset rs;
  EXPECT_TRUE(rs.Open(gcnDB(), QStringLiteral("select ID, IOName, inDate, inTime, imgFile from tblHist order by SEQ")))
      << rs.LastError().toStdString();
  std::vector<HistRow> rows;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    rows.push_back({rs.Text("ID"), rs.Text("IOName"), rs.Value("inDate").toInt(), rs.Text("inTime"), rs.Text("imgFile")});
  return rows;
}

QString StationTest::Member(const QString& id, const QString& field) const {
  db::Recordset rs;
  EXPECT_TRUE(rs.Open(gcnDB(), QStringLiteral("select * from tblData where ID=?"), {id}));
  return rs.RecordCount() > 0 ? rs.Text(field) : QStringLiteral("<none>");
}

QStringList StationTest::LogLines() const {
  QFile f(folder_.Path() + QStringLiteral("log/") + now_.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList out;
  for (const QString& line : cp::FromAnsi(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    out << line.section(QLatin1Char(','), 2);
  return out;
}

void StationTest::WritePicture(const QString& relative, int w, int h, QColor color) const {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  QDir().mkpath(QFileInfo(folder_.Path() + relative).absolutePath());
  ASSERT_TRUE(image.save(folder_.Path() + relative)) << relative.toStdString();
}

void StationTest::WriteWave(const QString& relative) const { folder_.WriteWave(relative, 50); }

}  // namespace stationtest
