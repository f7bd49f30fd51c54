#pragma once
// The minimized station: a scanner-only station that starts minimized, records every ID the
// serial reader delivers, shows each outcome in the result window frmIOMess and, restored, lists
// the events of the run in its grid.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include "common/IdRoad.h"

class BarcodeFrame;
class RunGridModel;
namespace serial {
class MSComm;
}

class frmMin : public QWidget, public RoadWindow {
  Q_OBJECT

 public:
  // The program-wide instance, created and loaded on first use. Loading may end the program (the
  // reader's port cannot be opened); the instance is then unloaded again.
  static frmMin& instance();
  static bool IsLoaded();
  // Unloads the window, which ends the program.
  static void Unload();

  // Shows the loaded window minimized, as the station starts.
  void Show();

  // Handles one ID as the reader delivered it: lookup, entry/exit decision, result window, sound,
  // grid row, notification mail, log lines and history row.
  void frmMin_txtID_LostFocus(const QString& id);

  // What the minimized station shows of a road: the result window, the grid row, the mail's
  // failures.
  bool RoadWindowOpen() const override;
  void RoadStarted(const RoadEvent& e) override;
  void RoadGreeting(const RoadEvent& e, const GreetingPick& greeting) override;
  QString RoadMailTemplate(bool entry) const override;
  void RoadAfterMail(const RoadEvent& e) override;
  // Notifications of recorded events not yet sent; waits (delivering events) until all are out.
  int NoticesPending() const { return mRoad.NoticesPending(); }
  bool WaitForNotices(int timeoutMs = 60000) { return mRoad.WaitForNotices(timeoutMs); }
  void RoadEnded(const RoadEvent& e, RoadEnd how) override;
  // The one-second timer: hides the result window glngIntTime minutes after the last scan.
  void frmMin_Timer1_Timer();
  void frmMin_cmdEnd_Click();
  // The reader's communication event.
  void frmMin_MSComm1_OnComm();

  // Text of a grid cell (row 0 is the header row, column 0 the narrow fixed column).
  QString TextMatrix(int row, int col) const;

  bool Shown() const { return mblnShown; }
  int Count() const { return mlngCount; }
  BarcodeFrame& Frame() { return *frame_; }

  QTableView* fgHist = nullptr;
  QPushButton* cmdEnd = nullptr;
  QPlainTextEdit* rtxtinContents = nullptr;
  QPlainTextEdit* rtxtotContents = nullptr;
  serial::MSComm* MSComm1 = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  frmMin();
  void frmMin_Form_Load();
  void frmMin_Form_Unload();

  bool mblnShown = false;
  int mlngCount = 0;
  bool unloading_ = false;
  quint64 mlngShownSerial = 0;  // the recorded event the result line shows
  BarcodeFrame* frame_ = nullptr;
  RunGridModel* mGrid = nullptr;
  IdRoad mRoad{this, this, RoadOptions::Minimized()};
};
