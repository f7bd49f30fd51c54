#pragma once
// The name confirmation: the member's picture and "<name>\r\nですか？" with "はい" and "いいえ".
// "はい" runs the station's ID road for gstrSelectedID; unanswered, the window answers by itself
// after glngIntTime minutes.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class PictureBox;

class frmChk : public QDialog {
  Q_OBJECT

 public:
  // The program-wide instance, created on first use; the opener fills imgPic and lblName, then
  // calls ShowModal.
  static frmChk& instance();
  static bool IsLoaded();
  static void Unload();

  // Shows the window modally; returns when it has unloaded.
  void ShowModal();

  void cmdOK_Click();
  void cmdNo_Click();
  void Timer1_Timer();

  // True once the window has been activated (its sound played).
  bool Activated() const { return activated_; }

  PictureBox* imgPic = nullptr;
  QLabel* lblName = nullptr;
  QLabel* lblMess = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdNo = nullptr;
  QTimer* Timer1 = nullptr;

  int Ticks() const { return mlngTick; }
  int WaveNumber() const { return mintWavNo; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}  // Esc does not close the window

 private:
  frmChk();
  void Form_Activate();
  void ClearPadDisplay();

  int mintWavNo = 0;
  int mlngTick = 0;
  bool unloaded_ = false;
  bool activated_ = false;
};

// The activation sound of the confirmation windows: with sounds on a random greeting wave
// (whose number is returned), else wave/chk.wav; played to its end.
int PlayConfirmationSound();
