#pragma once
// The print and selection window: one small modal dialog for three jobs, chosen by the opener's
// program-wide values: the ID card sheets (the members of an ID range, all members, or the ticked
// ones), the recipients of a bulk mail (gintMailMode 2), and the history filter (gintHistMode 1: a
// range of year-months, all members or the ticked ones, then the history window).
#include "history/HistoryDialog.h"

struct BulkMailOutcome;
struct MemberSelection;
class PictureBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace db {
class Recordset;
}

class frmPrint : public HistoryDialog {
  Q_OBJECT

 public:
  enum class Mode { Card, Bulk, History };

  // The program-wide instance; it takes its mode from gintMailMode and gintHistMode as it loads.
  static frmPrint& instance();
  static bool IsLoaded();
  static void Unload();

  Mode mode() const { return mode_; }

  void chkAll_Click();
  void chkChkBox_Click();
  void txtIDEnd_GotFocus();
  void cmdCancel_Click();
  void cmdPrint_Click();

  QLabel* lblID = nullptr;
  QLineEdit* txtIDStart = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* txtIDEnd = nullptr;
  QCheckBox* chkAll = nullptr;
  QCheckBox* chkChkBox = nullptr;
  QPushButton* cmdPrint = nullptr;
  QPushButton* cmdCancel = nullptr;
  QLabel* lblNow = nullptr;
  PictureBox* imgLogo = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frmPrint();
  void BuildWidgets();
  void Form_Load();
  // The range fields and boxes are valid, and the user confirmed; false ends the click.
  bool CheckInput();
  // Fills gblnIDSel, gstrIDList and glngIDCount from the boxes and the ticked members; false when
  // nothing is selected (the dialog has then unloaded).
  bool CheckSelection();
  void RunHistory();
  // The card sheets of the selected members on the chosen printer.
  void RunCards();
  // The composer's mail to the selected members, then the end of the job (the composer closes).
  void RunBulkMail();
  BulkMailOutcome frmPrint_SendBulkMail(db::Recordset& members);
  // The members the boxes and the range choose.
  MemberSelection Selection() const;
  // A job that stopped on a failure: logged, shown on the progress line, the dialog stays open.
  void JobFailed(const QString& what);
  void SetRangeEnabled(bool enabled);
  // The close box and Esc cancel, except while a job runs.
  void CloseRequested() override;

  Mode mode_ = Mode::Card;
  bool running_ = false;
};
