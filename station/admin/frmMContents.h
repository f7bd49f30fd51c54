#pragma once
// The composer of the contact mail (gintMailMode 1: the member of row glngSendRow of the
// settings window's member table) and of the bulk mail (gintMailMode 2). Each mode starts from
// its own template, and what is sent becomes that template. Unloading resets gintMailMode to 0.
// A modal dialog, created on each opening.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmMContents : public QDialog {
  Q_OBJECT

 public:
  static frmMContents& instance();
  static bool IsLoaded();
  static void Unload();

  QLabel* lblSubject = nullptr;
  QLineEdit* txtSubject = nullptr;
  QPlainTextEdit* rtxtContents = nullptr;
  QPushButton* cmdTestSend = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPlainTextEdit* txtIns = nullptr;

  void cmdOK_Click();
  void cmdTestSend_Click();
  void cmdCancel_Click();

  // Closing the window (Esc, the close box) is Cancel.
  void reject() override;

 private:
  frmMContents();
  void BuildWidgets();
  void Form_Load();
  void SendContactMail();
  void SendBulkMail();

  // True while 送信 is at work (the contact mail on its way, or the bulk recipients' window
  // open): a second click on 送信, テスト送信, キャンセル and the close do nothing then.
  bool sending_ = false;
};
