#pragma once
// The name confirmation: the member's picture and "<name>\r\nですか？" with "はい" and "いいえ".
// "はい" runs the station's ID road for gstrSelectedID; unanswered, the window answers by itself
// after glngIntTime minutes.
#include <QPushButton>

#include "desk/ConfirmWindow.h"

class frmChk : public ConfirmWindow {
  Q_OBJECT

 public:
  // The program-wide instance, created on first use; the opener fills imgPic and lblName, then
  // calls ShowModal.
  static frmChk& instance();
  static bool IsLoaded();
  static void Unload();

  void cmdOK_Click();
  void cmdNo_Click();
  void Timer1_Timer() override;

  QPushButton* cmdOK = nullptr;
  QPushButton* cmdNo = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  frmChk();
  void Form_Activate() override;
  void ClearPadDisplay();
};
