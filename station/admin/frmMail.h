#pragma once
// The test mail: the template the administrator is editing (the template editor's pair on
// screen when gintMailMode is 0, the composer's texts otherwise), filled with sample values, to
// the addresses typed here. A modal dialog, created on each opening.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frmMail : public QDialog {
  Q_OBJECT

 public:
  static frmMail& instance();
  static bool IsLoaded();
  static void Unload();

  QLabel* Label1 = nullptr;
  QLineEdit* txtMail = nullptr;  // addresses separated by ";"
  QPushButton* cmdSend = nullptr;

  void cmdSend_Click();

  // Closing the window (Esc, the close box) unloads it.
  void reject() override;

 private:
  frmMail();
  void BuildWidgets();
  void Form_Load();
};
