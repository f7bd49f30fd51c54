// The station window's widget tree: every control with its place, font and signal, built once
// when the window is made. The handlers live in frmMain.cpp and frmMain_input.cpp.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/PictureBox.h"
#include "common/MailTemplates.h"
#include "desk/frmMain.h"
#include "serial/mscomm.h"
#include "ui/keys_fonts.h"

namespace {

// A grey triangle pointing left or right, for the page turns of the name list.
QPixmap Triangle(int w, int h, bool right) {
  QPixmap pix(w, h);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  if (right) {
    path.moveTo(4, 4);
    path.lineTo(w - 4, h / 2.0);
    path.lineTo(4, h - 4);
  } else {
    path.moveTo(w - 4, 4);
    path.lineTo(4, h / 2.0);
    path.lineTo(w - 4, h - 4);
  }
  path.closeSubpath();
  p.fillPath(path, QColor(0x90, 0x90, 0x90));
  return pix;
}


}  // namespace

void frmMain::BuildControls() {
  auto label = [this](const char* name, QRect geometry, double points, bool bold,
                      Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(this);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setFont(ui::StationFont(points, bold));
    l->setAlignment(align);
    return l;
  };
  auto picture = [this](const char* name, QRect geometry, bool stretch) {
    auto* p = new PictureBox(this);
    p->setObjectName(QLatin1String(name));
    p->setStretch(stretch);
    p->setGeometry(geometry);
    return p;
  };

  // Back to front: the white cover of the name list, the seasonal picture, the pictures.
  imgHide = picture("imgHide", QRect(0, 278, 1024, 430), true);
  imgBack = picture("imgBack", QRect(0, 0, 1024, 768), true);
  imgFirst = picture("imgFirst", QRect(480, 300, 480, 360), true);
  imgChange = picture("imgChange", QRect(141, 509, 240, 180), true);
  imgLogo = picture("imgLogo", QRect(10, 10, 80, 60), true);
  imgLogo->setCursor(Qt::PointingHandCursor);
  imgLogo->installEventFilter(this);

  lblName = label("lblName", QRect(100, 14, 640, 50), 24, true);
  lblFirst = label("lblFirst", QRect(30, 84, 710, 54), 28, true);
  lblFirst->hide();
  lblMess = label("lblMess", QRect(30, 138, 710, 96), 22, true, Qt::AlignLeft | Qt::AlignTop);
  lblMess->setWordWrap(true);
  lblInput = label("lblInput", QRect(480, 244, 500, 40), 18, true);
  lblInput->setText(QStringLiteral("おまちください。"));
  {
    QPalette p = lblInput->palette();
    p.setColor(QPalette::WindowText, QColor(0xB0, 0x20, 0x20));
    lblInput->setPalette(p);
  }
  lblInput->hide();
  lblDate = label("lblDate", QRect(440, 712, 340, 34), 18, true, Qt::AlignRight | Qt::AlignVCenter);
  Label2 = label("Label2", QRect(20, 708, 400, 26), 14, true);
  Label2->setText(QStringLiteral("入退室管理システム"));
  lblUrl = label("lblUrl", QRect(20, 736, 400, 22), 10, false);
  lblUrl->setText(QStringLiteral("Velmor"));

  // The ID field and the focus sink that lies under it.
  txtTmp = new QLineEdit(this);
  txtTmp->setObjectName(QStringLiteral("txtTmp"));
  txtTmp->setGeometry(794, 692, 10, 18);
  txtTmp->installEventFilter(this);
  txtID = new QLineEdit(this);
  txtID->setObjectName(QStringLiteral("txtID"));
  txtID->setGeometry(791, 692, 131, 19);
  txtID->installEventFilter(this);

  cmdEnd = new QPushButton(QStringLiteral("終了"), this);
  cmdEnd->setObjectName(QStringLiteral("cmdEnd"));
  cmdEnd->setGeometry(791, 691, 131, 20);
  cmdEnd->hide();
  cmdEnd->installEventFilter(this);
  connect(cmdEnd, &QPushButton::clicked, this, [this] { frmMain_cmdEnd_Click(); });

  // Name list: the page turns, the counter, 20 icon and 20 name buttons.
  imgFoward = picture("imgFoward", QRect(33, 200, 42, 50), true);
  imgFoward->setPicture(Triangle(42, 50, false));
  imgFoward->setToolTip(QStringLiteral("前の画面へ"));
  imgNext = picture("imgNext", QRect(131, 200, 43, 50), true);
  imgNext->setPicture(Triangle(43, 50, true));
  imgNext->setToolTip(QStringLiteral("次の画面へ"));
  for (PictureBox* p : {imgFoward, imgNext}) {
    p->setCursor(Qt::PointingHandCursor);
    p->installEventFilter(this);
    p->hide();
  }
  lblCnt = label("lblCnt", QRect(75, 219, 62, 14), 12, true, Qt::AlignCenter);
  lblCnt->hide();
  for (int i = 0; i < 20; ++i) {
    auto* icon = new QPushButton(this);
    icon->setObjectName(QStringLiteral("cmdIcon(%1)").arg(i));
    icon->resize(67, 50);
    icon->setCursor(Qt::PointingHandCursor);
    icon->hide();
    icon->installEventFilter(this);
    connect(icon, &QPushButton::clicked, this, [this, i] { frmMain_cmdIcon_Click(i); });
    cmdIcon[i] = icon;
    auto* name = new QPushButton(this);
    name->setObjectName(QStringLiteral("cmdName(%1)").arg(i));
    name->resize(243, 50);
    name->setFont(ui::StationFont(18, true));
    name->setCursor(Qt::PointingHandCursor);
    name->hide();
    name->installEventFilter(this);
    connect(name, &QPushButton::clicked, this, [this, i] { frmMain_cmdName_Click(i); });
    cmdName[i] = name;
  }

  // Number pad.
  fraNo = new QFrame(this);
  fraNo->setObjectName(QStringLiteral("fraNo"));
  fraNo->setGeometry(50, 200, 405, 296);
  fraNo->setFrameShape(QFrame::Box);
  fraNo->hide();
  lblNo = new QLabel(fraNo);
  lblNo->setObjectName(QStringLiteral("lblNo"));
  lblNo->setGeometry(10, 12, 384, 50);
  lblNo->setFont(ui::StationFont(36, true));
  lblNo->setFrameShape(QFrame::Panel);
  lblNo->setFrameShadow(QFrame::Sunken);
  lblNo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  static const int kPadLeft[] = {10, 87, 167, 247, 327};
  static const int kPadTop[] = {67, 66, 66, 65, 65};
  for (int d = 0; d < 10; ++d) {
    auto* b = new QPushButton(QString::number(d), fraNo);
    b->setObjectName(QStringLiteral("cmdNo(%1)").arg(d));
    b->setFont(ui::StationFont(48, true));
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    if (d >= 1 && d <= 5) b->setGeometry(kPadLeft[d - 1], kPadTop[d - 1], 67, 67);
    else b->setGeometry(kPadLeft[d == 0 ? 4 : d - 6], 143, 67, 67);
    connect(b, &QPushButton::clicked, this, [this, d] { frmMain_cmdNo_Click(d); });
    cmdNo[d] = b;
  }
  cmdClear = new QPushButton(QStringLiteral("削除"), fraNo);
  cmdClear->setObjectName(QStringLiteral("cmdClear"));
  cmdClear->setGeometry(11, 219, 67, 67);
  cmdClear->setFont(ui::StationFont(20.25, true));
  cmdClear->setFocusPolicy(Qt::NoFocus);
  connect(cmdClear, &QPushButton::clicked, this, [this] { frmMain_cmdClear_Click(); });
  cmdRet = new QPushButton(QStringLiteral("決定"), fraNo);
  cmdRet->setObjectName(QStringLiteral("cmdRet"));
  cmdRet->setGeometry(241, 220, 152, 67);
  cmdRet->setFont(ui::StationFont(48, false));
  cmdRet->setFocusPolicy(Qt::NoFocus);
  connect(cmdRet, &QPushButton::clicked, this, [this] { frmMain_cmdRet_Click(); });
  for (QPushButton* b : {cmdClear, cmdRet}) b->setCursor(Qt::PointingHandCursor);

  // The mail templates, never shown.
  rtxtinContents = NewMailTemplateBox(this, QStringLiteral("rtxtinContents"));
  rtxtotContents = NewMailTemplateBox(this, QStringLiteral("rtxtotContents"));

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  connect(Timer1, &QTimer::timeout, this, [this] { frmMain_Timer1_Timer(); });

  MSComm1 = new serial::MSComm(this);
  MSComm1->setObjectName(QStringLiteral("MSComm1"));
  connect(MSComm1, &serial::MSComm::OnComm, this, [this] { frmMain_MSComm1_OnComm(); });

  // The window previews every key (the number pad reads the keyboard).
  installEventFilter(this);
}

