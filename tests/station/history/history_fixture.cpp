#include "history_fixture.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTimer>

#include "common/MemberRoster.h"
#include "common/StationRecords.h"
#include "common/WindowHome.h"
#include "common/globals.h"
#include "common/mdlComDlg.h"
#include "common/mdlIni.h"
#include "ui/clock.h"
#include "wiring.h"

namespace historytest {

QDateTime HistoryTest::now_;

void HistoryTest::SetUp() {
  now_ = QDateTime(QDate(2026, 1, 15), QTime(10, 0, 0));
  ui::SetClock([] { return now_; });
  folder_.WriteSettings();
  QString error;
  ASSERT_TRUE(LoadSettings(&error)) << error.toStdString();
  folder_.CreateDatabase();
  WritePicture(QStringLiteral("image/logo.jpg"), 200, 100, Qt::darkBlue);
  ConnectWindows();
}

void HistoryTest::TearDown() {
  windows::UnloadAll();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  SetSaveDialogHook({});
  MemberRoster::Shared().Clear();
  ui::SetClock({});
}

void HistoryTest::AddHist(const QString& id, bool entry, int inDate, const QString& inTime,
                          const QString& imgFile) const {
  QString error;
  ASSERT_TRUE(InsertHistoryRow({id, IoName(entry), inDate, inTime, imgFile}, &error)) << error.toStdString();
}

void HistoryTest::FillRoster(const QStringList& ids, const QStringList& ticked) const {
  std::vector<RosterMember> members;
  for (const QString& id : ids) {
    RosterMember m;
    m.id = id;
    m.name = QStringLiteral("会員") + id;
    m.ticked = ticked.contains(id);
    members.push_back(m);
  }
  MemberRoster::Shared().Reset(std::move(members));
}

void HistoryTest::WhenModal(std::function<void()> check) { QTimer::singleShot(0, std::move(check)); }

void HistoryTest::WritePicture(const QString& relative, int w, int h, QColor color) const {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, relative.endsWith(QLatin1String(".bmp")) ? "BMP" : "JPG");
  folder_.WriteBytes(relative, bytes);
}

}  // namespace historytest
