#include "desk/frmIOMess.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>

#include "common/FormInstance.h"
#include "common/mdlVelmor.h"
#include "ui/keys_fonts.h"

namespace {
FormInstance<frmIOMess> gForm;
int Pixels(double twips, double twipsPerPixel) {
  return static_cast<int>(std::nearbyint(twips / twipsPerPixel));  // halves to even
}
}  // namespace

frmIOMess& frmIOMess::instance() { return gForm.Get([] { return new frmIOMess(); }); }

bool frmIOMess::IsLoaded() { return gForm.IsLoaded(); }

void frmIOMess::Unload() { gForm.CloseAndDelete(); }

QRect frmIOMess::Placement(int screenWidth, double twipsPerPixelX, double twipsPerPixelY) {
  const double screenTwips = screenWidth * twipsPerPixelX;
  return QRect(Pixels(screenTwips - kWidthTwips, twipsPerPixelX), 0,
               Pixels(kWidthTwips, twipsPerPixelX), Pixels(kHeightTwips, twipsPerPixelY));
}

frmIOMess::frmIOMess()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("frmIOMess"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAutoFillBackground(true);
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  // The label sits 60 twips inside the client area, which lies inside a thin frame of 60 twips.
  lblIOData = new QLabel(QStringLiteral("lblIOData"), this);
  lblIOData->setObjectName(QStringLiteral("lblIOData"));
  lblIOData->setGeometry(Pixels(120, tx), Pixels(120, ty), Pixels(4560, tx), Pixels(210, ty));
  lblIOData->setFont(ui::StationFont(9));
  frmIOMess_Form_Load();
}

void frmIOMess::frmIOMess_Form_Load() {
  // The whole primary screen, not its work area.
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect whole = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  QRect r = Placement(whole.width(), TwipsPerPixelX(), TwipsPerPixelY());
  r.translate(whole.topLeft());
  setGeometry(r);
  setFixedSize(r.size());
}

void frmIOMess::BringForward() {
  if (!isVisible()) show();
  // The offscreen platform of unattended runs has no stacking order to change.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
}

void frmIOMess::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter p(this);
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(rect().adjusted(1, 1, -2, -2));
}
