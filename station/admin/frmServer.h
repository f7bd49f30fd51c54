#pragma once
// The mail server window: the installation's own SMTP server, the POP3 server for a login
// before sending, the account and how the SMTP server wants it. OK stores them in the
// program-wide values and in the settings file (section MAIL); Cancel stores nothing. A modal
// dialog, created on each opening.
#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmServer : public QDialog {
  Q_OBJECT

 public:
  static frmServer& instance();
  static bool IsLoaded();
  static void Unload();

  QLineEdit* txtServer = nullptr;
  QLabel* lblPOP3 = nullptr;
  QLineEdit* txtPOP3 = nullptr;
  QLineEdit* txtID = nullptr;
  QLineEdit* txtPsw = nullptr;
  std::array<QRadioButton*, 2> optReg{};   // 0 "なし", 1 "あり"
  QGroupBox* fraReg = nullptr;
  std::array<QRadioButton*, 4> optRegM{};  // the codes of "regm"
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

  void optReg_Click(int index);
  void optRegM_Click(int index);
  void cmdOK_Click();
  void cmdCancel_Click();

  // Closing the window (Esc, the close box) is Cancel.
  void reject() override;

 private:
  frmServer();
  void BuildWidgets();
  void Form_Load();
};
