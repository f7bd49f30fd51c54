#pragma once
// The member search: finds a row of the settings window's member table, as it stands on screen
// (unsaved edits included), by row number, exact ID or part of the name, and scrolls the table
// to it. A modal dialog, created on each opening.
#include <QDialog>

class QLineEdit;
class QPushButton;

class frmSearch : public QDialog {
  Q_OBJECT

 public:
  static frmSearch& instance();
  static bool IsLoaded();
  static void Unload();

  QLineEdit* txtID = nullptr;
  QLineEdit* txtName = nullptr;
  QLineEdit* txtNo = nullptr;
  QPushButton* cmdSerach = nullptr;
  QPushButton* cmdCancel = nullptr;

  void cmdSerach_Click();
  void cmdCancel_Click();

  // The member table's first data row (from 1) whose ID is `id` exactly, or, with no ID given,
  // whose name contains `name`; 0 when none.
  static int fgDataSearch(const QString& id, const QString& name);

  // Closing the window (Esc, the close box) is Cancel.
  void reject() override;

 private:
  frmSearch();
};
