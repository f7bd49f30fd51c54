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

  // Closing the window (Esc, the close box) unloads it, except while the mail is being sent.
  void reject() override;

 private:
  frmMail();
  void BuildWidgets();
  void Form_Load();

  // True while the mail is on its way: the window stays live then, but a second click on 送信
  // and the close do nothing (one click, one mail).
  bool sending_ = false;
};
