#pragma once
// The number check: the member's picture and "<name>\r\n番号を入力してください"; the member types
// his ID again on the window's pad or the keyboard, and only the chosen ID (gstrSelectedID) runs
// the station's ID road. Unanswered, the window answers by itself after glngIntTime minutes.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "desk/ConfirmWindow.h"

class frmChkNo : public ConfirmWindow {
  Q_OBJECT

 public:
  static frmChkNo& instance();
  static bool IsLoaded();
  static void Unload();

  void cmdNo_Click(int Index);
  void cmdClear_Click();
  void cmdNot_Click();
  void cmdOK_Click();
  // KeyAscii as the keyboard gives it (48-57 digits, 8 Backspace, 13 Enter, 27 Esc).
  void Form_KeyPress(int KeyAscii);
  void txtDummy_KeyPress(int KeyAscii);
  void Timer1_Timer() override;

  QLabel* lblNo = nullptr;
  QLineEdit* txtDummy = nullptr;
  std::array<QPushButton*, 10> cmdNo{};
  QPushButton* cmdClear = nullptr;
  QPushButton* cmdNot = nullptr;
  QPushButton* cmdOK = nullptr;

  bool TimedOut() const { return mblnTimeOut; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  frmChkNo();
  void Form_Activate() override;

  bool mblnTimeOut = false;
  bool processing_ = false;
};
