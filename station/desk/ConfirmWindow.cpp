#include "desk/ConfirmWindow.h"

#include <QPointer>

#include "common/mdlStation.h"
#include "sound/sound.h"
#include "ui/keys_fonts.h"
#include "common/PictureBox.h"
#include "common/globals.h"

int PlayConfirmationSound() {
  if (!gblnSound) {
    sound::Play(gstrAppPath + QStringLiteral("wave/chk.wav"));
    return 0;
  }
  const int n = RandomPick(glngWavNum);
  sound::Play(gstrAppPath + QStringLiteral("wave/wav") + NumberedName(n) + QStringLiteral(".wav"));
  return n;
}

QFont ConfirmWindow::WindowFont() { return ui::StationFont(12, true); }

ConfirmWindow::ConfirmWindow(const QString& objectName, QSize size, int messageTop)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName(objectName);
  setWindowTitle(QStringLiteral("受付の確認"));
  setFixedSize(size);
  const QFont font = WindowFont();
  const int textWidth = size.width() - 112;  // right of the picture, 8 pixels from the edge

  imgPic = new PictureBox(this);
  imgPic->setObjectName(QStringLiteral("imgPic"));
  imgPic->setStretch(true);
  imgPic->setGeometry(8, 8, 88, 80);
  lblName = new QLabel(this);
  lblName->setObjectName(QStringLiteral("lblName"));
  lblName->setGeometry(104, 8, textWidth, 80);
  lblName->setFont(font);
  lblName->setWordWrap(true);
  lblMess = new QLabel(QStringLiteral("受付処理中．．．"), this);
  lblMess->setObjectName(QStringLiteral("lblMess"));
  lblMess->setGeometry(104, messageTop, textWidth, 32);
  lblMess->setFont(font);
  lblMess->hide();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &ConfirmWindow::Timer1_Timer);
  Timer1->start();
}

void ConfirmWindow::ShowModal() {
  // A window leaves its instance slot only when it unloads.
  if (unloaded_) return;
  setWindowModality(Qt::ApplicationModal);
  exec();
}

void ConfirmWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QPointer<ConfirmWindow> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self && !self->unloaded_) self->Form_Activate();
  });
}

void ConfirmWindow::PlayActivationSound() {
  repaint();
  const int n = PlayConfirmationSound();
  if (gblnSound) mintWavNo = n;
}

void ConfirmWindow::Dismiss() {
  unloaded_ = true;
  Timer1->stop();
  done(0);
  hide();
  deleteLater();
}
