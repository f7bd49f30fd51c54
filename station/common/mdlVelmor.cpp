#include "common/mdlVelmor.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>

#include "ui/msgbox.h"

namespace {
QScreen* PrimaryScreen() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
             ? QGuiApplication::primaryScreen()
             : nullptr;
}
}  // namespace

RECT GetWorkArea() {
  QScreen* screen = PrimaryScreen();
  if (!screen) {
    ui::MsgBox(QStringLiteral("SystemParametersInfo関数取得に失敗しました。"), ui::vbOKOnly);
    return {};
  }
  const QRect area = screen->availableGeometry();
  return {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
}

double TwipsPerPixelX() {
  QScreen* screen = PrimaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

double TwipsPerPixelY() {
  QScreen* screen = PrimaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int TwipsToPixelsX(int twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelX())); }

int TwipsToPixelsY(int twips) { return static_cast<int>(std::lround(twips / TwipsPerPixelY())); }
