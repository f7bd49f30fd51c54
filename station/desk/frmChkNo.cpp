#include "desk/frmChkNo.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>

#include "desk/frmMain.h"
#include "common/FormInstance.h"
#include "common/globals.h"
#include "ui/keys_fonts.h"

namespace {
FormInstance<frmChkNo> gForm;
const QString kPrompt = QStringLiteral("番号を入力してください");
const QString kMismatch = QStringLiteral("入力された番号は合いません");

}  // namespace

frmChkNo& frmChkNo::instance() { return gForm.Get([] { return new frmChkNo(); }); }

bool frmChkNo::IsLoaded() { return gForm.IsLoaded(); }

void frmChkNo::Unload() {
  if (frmChkNo* form = gForm.Take()) form->Dismiss();
}

// 4890 x 6390 twips; lblMess stands where the pad was.
frmChkNo::frmChkNo() : ConfirmWindow(QStringLiteral("frmChkNo"), QSize(326, 426), 148) {
  const QFont font = WindowFont();
  QFont big = font;
  big.setPointSize(20);

  lblNo = new QLabel(this);
  lblNo->setObjectName(QStringLiteral("lblNo"));
  lblNo->setGeometry(8, 96, 310, 44);
  lblNo->setFont(big);
  lblNo->setFrameShape(QFrame::Panel);
  lblNo->setFrameShadow(QFrame::Sunken);
  txtDummy = new QLineEdit(this);
  txtDummy->setObjectName(QStringLiteral("txtDummy"));
  txtDummy->setGeometry(0, 0, 1, 1);  // holds the keyboard focus, out of sight

  // Pad: 1 2 3 / 4 5 6 / 7 8 9 / 削除 0 キャンセル, and 決定 below.
  for (int digit = 0; digit <= 9; ++digit) {
    auto* b = new QPushButton(QString::number(digit), this);
    b->setObjectName(QStringLiteral("cmdNo(%1)").arg(digit));
    b->setFont(big);
    const int cell = digit == 0 ? 10 : digit - 1;
    b->setGeometry(8 + (cell % 3) * 105, 148 + (cell / 3) * 56, 100, 52);
    connect(b, &QPushButton::clicked, this, [this, digit] { cmdNo_Click(digit); });
    cmdNo[digit] = b;
  }
  cmdClear = new QPushButton(QStringLiteral("削除"), this);
  cmdClear->setObjectName(QStringLiteral("cmdClear"));
  cmdClear->setGeometry(8, 148 + 3 * 56, 100, 52);
  cmdNot = new QPushButton(QStringLiteral("キャンセル"), this);
  cmdNot->setObjectName(QStringLiteral("cmdNot"));
  cmdNot->setGeometry(218, 148 + 3 * 56, 100, 52);
  cmdOK = new QPushButton(QStringLiteral("決定"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(8, 148 + 4 * 56, 310, 44);
  for (QPushButton* b : {cmdClear, cmdNot, cmdOK}) b->setFont(font);
  connect(cmdClear, &QPushButton::clicked, this, &frmChkNo::cmdClear_Click);
  connect(cmdNot, &QPushButton::clicked, this, &frmChkNo::cmdNot_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmChkNo::cmdOK_Click);
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);  // the keyboard focus stays with txtDummy
    b->setCursor(Qt::PointingHandCursor);
  }
  // Key preview: the window sees every key press before its controls.
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

void frmChkNo::Form_Activate() {
  PlayActivationSound();
  if (unloaded_) return;
  activateWindow();
  txtDummy->setFocus();
  activated_ = true;
}

bool frmChkNo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const int key = ui::KeyAsciiOf(static_cast<QKeyEvent*>(event));
  QPointer<frmChkNo> self(this);
  Form_KeyPress(key);
  // An Enter has had its answer from the window's handler: the box's own handler would answer
  // a second time.
  if (self && !unloaded_ && watched == txtDummy && key != 13) txtDummy_KeyPress(key);
  return true;
}

void frmChkNo::cmdNo_Click(int Index) {
  if (unloaded_ || processing_) return;
  lblNo->setText(lblNo->text() + QString::number(Index));
  lblNo->repaint();
  txtDummy->setFocus();
}

void frmChkNo::cmdClear_Click() {
  if (unloaded_ || processing_) return;
  const QString t = lblNo->text();
  lblNo->setText(t.size() < 2 ? QString() : t.left(t.size() - 1));
  txtDummy->setFocus();
}

void frmChkNo::cmdNot_Click() {
  if (unloaded_ || processing_) return;
  Unload();
}

void frmChkNo::cmdOK_Click() {
  if (unloaded_ || processing_) return;
  if (lblNo->text().isEmpty()) return;
  if (lblNo->text() != gstrSelectedID) {
    lblName->setText(lblName->text().replace(kPrompt, kMismatch));
    if (!mblnTimeOut) {
      repaint();
      return;
    }
    Unload();
    return;
  }
  processing_ = true;
  repaint();
  gstrSelectedID = lblNo->text();
  Timer1->stop();
  setFixedHeight(233);  // 3500 twips
  txtDummy->hide();
  for (QPushButton* b : cmdNo) b->hide();
  cmdClear->hide();
  cmdNot->hide();
  cmdOK->hide();
  lblMess->show();
  repaint();
  if (frmMain::IsLoaded()) frmMain::instance().frmMain_txtID_LostFocus();
  Unload();
}

void frmChkNo::Form_KeyPress(int KeyAscii) {
  if (unloaded_ || processing_) return;
  if (KeyAscii >= '0' && KeyAscii <= '9') {
    lblNo->setText(lblNo->text() + QChar(KeyAscii));
  } else if (KeyAscii == 8) {
    cmdClear_Click();
  } else if (KeyAscii == 13) {
    if (!lblNo->text().isEmpty()) cmdOK_Click();
  } else if (KeyAscii == 27) {
    cmdNot_Click();
  }
}

void frmChkNo::txtDummy_KeyPress(int KeyAscii) {
  if (unloaded_ || processing_) return;
  if (KeyAscii == 13 && !lblNo->text().isEmpty()) cmdOK_Click();
}

void frmChkNo::Timer1_Timer() {
  if (unloaded_ || processing_) return;
  ++mlngTick;
  if (mlngTick == glngIntTime * 60) {
    mlngTick = 0;
    mblnTimeOut = true;
    if (!lblNo->text().isEmpty())
      cmdOK_Click();
    else
      cmdNot_Click();
  }
}

void frmChkNo::closeEvent(QCloseEvent* event) {
  if (!unloaded_ && gForm.Holds(this)) {
    event->ignore();
    if (!processing_) Unload();
    return;
  }
  QDialog::closeEvent(event);
}
