#pragma once
// The template editor: the subjects and bodies of the entry and the exit notice, one pair on
// screen at a time (cmdInOut switches; its caption names the pair the next click shows). OK
// checks both pairs and saves them; the test send mails the pair on screen as it stands. A modal
// dialog, created on each opening.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmContents : public QDialog {
  Q_OBJECT

 public:
  static frmContents& instance();
  static bool IsLoaded();
  static void Unload();

  QLabel* lblSubject = nullptr;
  QLineEdit* txtSubject = nullptr;         // entry notice
  QLineEdit* txtOtSubject = nullptr;       // exit notice
  QPlainTextEdit* rtxtContents = nullptr;  // entry notice
  QPlainTextEdit* rtxtOtContents = nullptr;
  QPushButton* cmdInOut = nullptr;
  QPushButton* cmdSend = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPlainTextEdit* txtIns = nullptr;

  // True while the entry pair is on screen.
  bool EntryOnScreen() const;

  void cmdInOut_Click();
  void cmdSend_Click();
  void cmdOK_Click();
  void cmdCancel_Click();

  // Closing the window (Esc, the close box) is Cancel.
  void reject() override;

 private:
  frmContents();
  void BuildWidgets();
  void Form_Load();
};
