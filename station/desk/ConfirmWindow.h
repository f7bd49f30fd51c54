#pragma once
// What the two confirmation windows (frmChk, frmChkNo) share: a fixed-size modal dialog without a
// close box of its own, the member's picture and name at the top and the hidden "受付処理中．．．"
// line, a once-a-second Timer1 that answers for an absent member, the greeting sound when the
// window is activated, and the steps of taking the window down.
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QTimer>

class PictureBox;

class ConfirmWindow : public QDialog {
  Q_OBJECT

 public:
  // Shows the window modally; returns when it has unloaded.
  void ShowModal();

  // The window's once-a-second tick (Timer1).
  virtual void Timer1_Timer() = 0;

  // True once the window has been activated (its sound played).
  bool Activated() const { return activated_; }
  int Ticks() const { return mlngTick; }
  int WaveNumber() const { return mintWavNo; }

  // The opener fills imgPic and lblName before ShowModal.
  PictureBox* imgPic = nullptr;
  QLabel* lblName = nullptr;
  QLabel* lblMess = nullptr;  // shown while an answer is processed
  QTimer* Timer1 = nullptr;

 protected:
  // A window named objectName with the caption "受付の確認", lblMess at messageTop; Timer1 runs
  // from here on.
  ConfirmWindow(const QString& objectName, QSize size, int messageTop);

  // The windows' text font: 12 point bold gothic.
  static QFont WindowFont();

  void showEvent(QShowEvent* event) override;
  void reject() override {}  // Esc does not close the window; a window may make it a key of its own

  // The sound of the activation, after a repaint so that the window shows while it plays.
  void PlayActivationSound();
  // The steps of an unload, once the window has left its instance slot.
  void Dismiss();

  int mintWavNo = 0;
  int mlngTick = 0;
  bool unloaded_ = false;
  bool activated_ = false;

 private:
  // Runs once per showing, after the window is on the screen.
  virtual void Form_Activate() = 0;
};

// The activation sound of the confirmation windows: with sounds on a random greeting wave
// (whose number is returned), else wave/chk.wav; played to its end.
int PlayConfirmationSound();
