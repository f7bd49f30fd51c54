#pragma once
// The station window over a temporary program folder: settings loaded from a real settings file,
// the SQLite database behind the test's own "Pardix", a clock the test sets, sounds played into
// the test sink and recorded, the program's end observed instead of taken.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QStringList>

#include <vector>

#include "desk/frmMain.h"
#include "support/msgbox_recorder.h"
#include "support/support_program.h"

namespace stationtest {

struct HistRow {
  QString id, ioName;
  int inDate = 0;
  QString inTime, imgFile;
};

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the settings (quiet station with a reader, merged with `extra`), loads them, creates
  // the database and a few pictures and sounds.
  void Prepare(const QString& extra = QString());
  // Loads the station window and shows it (active, like after login).
  frmMain& Open();
  frmMain& Station() { return frmMain::instance(); }

  // Types an ID into the field and presses Enter, and waits until its notification is through.
  void Scan(const QString& text);
  // Types an ID and presses Enter; its notification goes on meanwhile.
  void Arrive(const QString& text);
  // The time the program reads.
  void SetNow(const QDateTime& now) { now_ = now; }
  void Advance(int seconds) { now_ = now_.addSecs(seconds); }
  void Ticks(int n);

  std::vector<HistRow> History() const;
  QString Member(const QString& id, const QString& field) const;
  QStringList LogLines() const;   // today's operation log, "what,result" per line
  void WritePicture(const QString& relative, int w, int h, QColor color) const;
  void WriteWave(const QString& relative) const;

  static QDateTime now_;
  testsupport::ProgramFolder folder_;
  testsupport::MsgBoxRecorder boxes_;
  std::vector<QString> played_;
  int ended_ = 0;
};

}  // namespace stationtest
