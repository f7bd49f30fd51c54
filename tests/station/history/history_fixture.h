#pragma once
// The history windows over a temporary program folder: settings loaded, the SQLite database
// behind the test's own "Pardix", a clock the test sets, message boxes recorded, the save dialog
// answered by the test.
#include <gtest/gtest.h>

#include <QColor>
#include <QDateTime>
#include <QString>

#include <functional>

#include "support/msgbox_recorder.h"
#include "support/support_program.h"

namespace historytest {

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A history row as the station writes it.
  void AddHist(const QString& id, bool entry, int inDate, const QString& inTime,
               const QString& imgFile = QString()) const;
  // Fills the member roster as the member table would: `ticked` are ticked.
  void FillRoster(const QStringList& ids, const QStringList& ticked) const;
  // Runs `check` once the next modal window's event loop runs (then it must unload that window).
  static void WhenModal(std::function<void()> check);
  void WritePicture(const QString& relative, int w, int h, QColor color) const;

  static QDateTime now_;
  testsupport::ProgramFolder folder_;
  testsupport::MsgBoxRecorder boxes_;
};

}  // namespace historytest
