#include "desk/frmChk.h"

#include <QCloseEvent>

#include "desk/frmMain.h"
#include "common/FormInstance.h"
#include "common/globals.h"

namespace {
FormInstance<frmChk> gForm;
}  // namespace

frmChk& frmChk::instance() { return gForm.Get([] { return new frmChk(); }); }

bool frmChk::IsLoaded() { return gForm.IsLoaded(); }

void frmChk::Unload() {
  if (frmChk* form = gForm.Take()) form->Dismiss();
}

// 4800 x 2040 twips; lblMess stands where the buttons were.
frmChk::frmChk() : ConfirmWindow(QStringLiteral("frmChk"), QSize(320, 136), 96) {
  const QFont font = WindowFont();
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
}

void frmChk::Form_Activate() {
  PlayActivationSound();
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
  if (!unloaded_ && gForm.Holds(this)) {
    event->ignore();
    if (!lblMess->isVisibleTo(this)) Unload();
    return;
  }
  QDialog::closeEvent(event);
}
