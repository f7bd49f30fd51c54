#include "common/frmBack.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "common/FormInstance.h"
#include "common/mdlVelmor.h"

namespace {
FormInstance<frmBack> gForm;
QPointer<QWidget>& Station() {
  static QPointer<QWidget> window;
  return window;
}
}  // namespace

frmBack& frmBack::instance() { return gForm.Get([] { return new frmBack(); }); }

bool frmBack::IsLoaded() { return gForm.IsLoaded(); }

void frmBack::Unload() { gForm.CloseAndDelete(); }

void frmBack::SetStationWindow(QWidget* window) { Station() = window; }
QWidget* frmBack::StationWindow() { return Station(); }

frmBack::frmBack() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint) {
  setObjectName(QStringLiteral("frmBack"));
  Form_Load();
}

void frmBack::Form_Load() {
  // The whole screen, not its work area: the backdrop also lies under any panel.
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect whole = screen ? screen->geometry() : QRect();
  mlngWidth = whole.width();
  mlngHeight = whole.height();
  // Asked only for its message when the desktop cannot tell it.
  GetWorkArea();
  setGeometry(whole.x(), whole.y(), mlngWidth, mlngHeight);
  show();
  lower();
}

void frmBack::Form_Click() {
  QWidget* station = StationWindow();
  if (!station) return;
  if (!station->isVisible() || !station->isEnabled()) return;
  // Activating the window gives the keyboard focus back to the control that last held it.
  station->raise();
  station->activateWindow();
}

void frmBack::Form_DblClick() { Form_Click(); }

void frmBack::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) Form_Click();
}

void frmBack::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) Form_DblClick();
}

void frmBack::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  // Closed from outside (the window system): unloaded like any other way.
  if (event->isAccepted() && gForm.Release(this)) deleteLater();
}
