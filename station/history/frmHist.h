#pragma once
// The history window: the entry/exit rows of a range of months, optionally of chosen members, in
// a grid with a "表示" button per row for the row's photograph; the export of the rows as a CSV
// file. Opened modally by the print and selection window in its history mode, which sets
// glngHistFrom, glngHistTo, gblnIDSel, gstrIDList and glngIDCount first.
#include "history/HistoryDialog.h"
#include "history/HistoryReports.h"

#include <vector>

class HistGridModel;
class QLabel;
class QPushButton;
class QTableView;
class RowButtonDelegate;

class frmHist : public HistoryDialog {
  Q_OBJECT

 public:
  // The program-wide instance; loading it runs the first query, sorted by date.
  static frmHist& instance();
  static bool IsLoaded();
  static void Unload();

  // Runs the query over the exclusive day-number bounds and refills the grid: sorted by date
  // when intSort is not 0, else by ID; restricted to gstrIDList when blnID is True.
  void frmHist_default_fgHist(int startYM, int endYM, int intSort, bool blnID);
  // The photo button of grid row index + 1.
  void cmdSend_Click(int index);
  // The CSV export.
  void cmdData_Click();
  // Writes every data row of the grid to `path`; false when nothing was written (a message
  // said why). `replacedRows` gets the rows (from 1) where a character outside CP932 became "?".
  bool frmHist_CSVHist(const QString& path, std::vector<int>* replacedRows = nullptr);
  void cmdCancel_Click();
  // The printed reports: per day ("日別印刷") and per member ("ID別印刷").
  void cmdDayPrn_Click() { PrintReport(HistoryReport::PerDay); }
  void cmdPrint_Click() { PrintReport(HistoryReport::PerMember); }

  const HistGridModel& Grid() const { return *mGrid; }
  // The file name the export's dialog offers: the one chosen last while the window is open.
  QString CsvFile() const { return mstrCsvFile; }

  QTableView* fgHist = nullptr;
  QPushButton* cmdData = nullptr;
  QLabel* lblNow = nullptr;
  QPushButton* cmdDayPrn = nullptr;
  QPushButton* cmdPrint = nullptr;
  QPushButton* cmdCancel = nullptr;
  RowButtonDelegate* cmdSend = nullptr;

  // The bounds of the last query that found rows (the reports' page headers read them).
  int lngStartYM = 0;
  int lngEndYM = 0;

 private:
  frmHist();
  void BuildWidgets();
  void Form_Load();
  void Form_Unload();
  // Shows `text` in the progress line at once (an empty text clears it).
  void SetProgress(const QString& text);
  void PrintReport(HistoryReport report);

  void CloseRequested() override { Unload(); }

  HistGridModel* mGrid = nullptr;
  QString mstrCsvFile;
};
