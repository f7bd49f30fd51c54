#include "desk/frmChk.h"

#include <QCloseEvent>
#include <QPointer>
#include <QTimer>

#include "desk/frmMain.h"
#include "desk/mdlStation.h"
#include "sound/sound.h"
#include "startup/PictureBox.h"
#include "startup/globals.h"

namespace {
QPointer<frmChk>& Instance() {
  static QPointer<frmChk> form;
  return form;
}
}  // namespace

int PlayConfirmationSound() {
  if (!gblnSound) {
    sound::Play(gstrAppPath + QStringLiteral("wave/chk.wav"));
    return 0;
  }
  const int n = RandomPick(glngWavNum);
  sound::Play(gstrAppPath + QStringLiteral("wave/wav") + NumberedName(n) + QStringLiteral(".wav"));
  return n;
}

frmChk& frmChk::instance() {
  if (!Instance()) Instance() = new frmChk();
  return *Instance();
}

bool frmChk::IsLoaded() { return !Instance().isNull(); }

void frmChk::Unload() {
  frmChk* form = Instance();
  if (!form) return;
  Instance() = nullptr;
  form->unloaded_ = true;
  form->Timer1->stop();
  form->done(0);
  form->hide();
  form->deleteLater();
}

frmChk::frmChk() : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("frmChk"));
  setWindowTitle(QStringLiteral("受付の確認"));
  setFixedSize(320, 136);  // 4800 x 2040 twips
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPointSize(12);
  font.setBold(true);

  imgPic = new PictureBox(this);
  imgPic->setObjectName(QStringLiteral("imgPic"));
  imgPic->setStretch(true);
  imgPic->setGeometry(8, 8, 88, 80);
  lblName = new QLabel(this);
  lblName->setObjectName(QStringLiteral("lblName"));
  lblName->setGeometry(104, 8, 208, 80);
  lblName->setFont(font);
  lblName->setWordWrap(true);
  lblMess = new QLabel(QStringLiteral("受付処理中．．．"), this);
  lblMess->setObjectName(QStringLiteral("lblMess"));
  lblMess->setGeometry(104, 96, 208, 32);
  lblMess->setFont(font);
  lblMess->hide();
  cmdOK = new QPushButton(QStringLiteral("はい"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(104, 96, 96, 32);
  cmdOK->setFont(font);
  cmdNo = new QPushButton(QStringLiteral("いいえ"), this);
  cmdNo->setObjectName(QStringLiteral("cmdNo"));
  cmdNo->setGeometry(216, 96, 96, 32);
  cmdNo->setFont(font);
  for (QPushButton* b : {cmdOK, cmdNo}) {
    b->setAutoDefault(false);
    b->setCursor(Qt::PointingHandCursor);
  }
  connect(cmdOK, &QPushButton::clicked, this, &frmChk::cmdOK_Click);
  connect(cmdNo, &QPushButton::clicked, this, &frmChk::cmdNo_Click);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &frmChk::Timer1_Timer);
  Timer1->start();
}

void frmChk::ShowModal() {
  if (Instance() != this || unloaded_) return;
  setWindowModality(Qt::ApplicationModal);
  exec();
}

void frmChk::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Activated once per showing, after the window is on the screen.
  QPointer<frmChk> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self && !self->unloaded_) self->Form_Activate();
  });
}

void frmChk::Form_Activate() {
  repaint();
  const int n = PlayConfirmationSound();
  if (gblnSound) mintWavNo = n;
  activated_ = true;
}

void frmChk::ClearPadDisplay() {
  if (gintNoBarScr == 2 && frmMain::IsLoaded() && frmMain::instance().lblNo)
    frmMain::instance().lblNo->clear();
}

void frmChk::cmdOK_Click() {
  if (unloaded_) return;
  ClearPadDisplay();
  Timer1->stop();
  cmdOK->hide();
  cmdNo->hide();
  lblMess->show();
  repaint();
  if (frmMain::IsLoaded()) frmMain::instance().frmMain_txtID_LostFocus();
  Unload();
}

void frmChk::cmdNo_Click() {
  if (unloaded_) return;
  ClearPadDisplay();
  Unload();
}

void frmChk::Timer1_Timer() {
  if (unloaded_) return;
  ++mlngTick;
  if (mlngTick == glngIntTime * 60) {
    mlngTick = 0;
    if (cmdOK->isVisibleTo(this))
      cmdOK_Click();
    else
      cmdNo_Click();
  }
}

void frmChk::closeEvent(QCloseEvent* event) {
  // The close box: nothing is recorded. While an answer is processed it does nothing.
  if (!unloaded_ && Instance() == this) {
    event->ignore();
    if (!lblMess->isVisibleTo(this)) Unload();
    return;
  }
  QDialog::closeEvent(event);
}
