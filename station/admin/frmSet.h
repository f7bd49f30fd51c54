#pragma once
// The administrator's settings window. Its OK and Cancel close it and bring back a new login
// window, which runs the whole start-up again.
#include <QWidget>

class QPushButton;

class frmSet : public QWidget {
  Q_OBJECT

 public:
  static frmSet& instance();
  static bool IsLoaded();
  static void Unload();

  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

  void frmSet_cmdOK_Click();
  void frmSet_cmdCancel_Click();

 private:
  frmSet();
  void BackToLogin();
};
