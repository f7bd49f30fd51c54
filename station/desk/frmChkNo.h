#pragma once
// The number check: the member's picture and "<name>\r\n番号を入力してください"; the member types
// his ID again on the window's pad or the keyboard, and only the chosen ID (gstrSelectedID) runs
// the station's ID road. Unanswered, the window answers by itself after glngIntTime minutes.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <array>

class PictureBox;

class frmChkNo : public QDialog {
  Q_OBJECT

 public:
  static frmChkNo& instance();
  static bool IsLoaded();
  static void Unload();

  // Shows the window modally; returns when it has unloaded.
  void ShowModal();

  void cmdNo_Click(int Index);
  void cmdClear_Click();
  void cmdNot_Click();
  void cmdOK_Click();
  // KeyAscii as the keyboard gives it (48-57 digits, 8 Backspace, 13 Enter, 27 Esc).
  void Form_KeyPress(int KeyAscii);
  void txtDummy_KeyPress(int KeyAscii);
  void Timer1_Timer();

  // True once the window has been activated (its sound played).
  bool Activated() const { return activated_; }

  PictureBox* imgPic = nullptr;
  QLabel* lblName = nullptr;
  QLabel* lblNo = nullptr;
  QLabel* lblMess = nullptr;
  QLineEdit* txtDummy = nullptr;
  std::array<QPushButton*, 10> cmdNo{};
  QPushButton* cmdClear = nullptr;
  QPushButton* cmdNot = nullptr;
  QPushButton* cmdOK = nullptr;
  QTimer* Timer1 = nullptr;

  bool TimedOut() const { return mblnTimeOut; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}  // Esc is a key of the window's own

 private:
  frmChkNo();
  void Form_Activate();

  int mintWavNo = 0;
  int mlngTick = 0;
  bool mblnTimeOut = false;
  bool unloaded_ = false;
  bool activated_ = false;
  bool processing_ = false;
};
