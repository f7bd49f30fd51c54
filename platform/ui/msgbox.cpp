#include "msgbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace ui {
namespace {
MsgBoxHook& Hook() {
  static MsgBoxHook hook;
  return hook;
}
bool gStopped = false;
}  // namespace

QString DefaultTitle() { return QStringLiteral("Velmor"); }

void SetMsgBoxHook(MsgBoxHook hook) { Hook() = std::move(hook); }

void SetMsgBoxesStopped(bool stopped) { gStopped = stopped; }

int MsgBox(const QString& text, int style, const QString& title) {
  const bool withCancel = (style & 0x0F) == vbOKCancel;
  if (gStopped) return withCancel ? vbCancel : vbOK;
  const QString shownTitle = title.isEmpty() ? DefaultTitle() : title;
  if (Hook()) return Hook()(text, style, shownTitle);

  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(shownTitle);
  box.setText(text);
  switch (style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  QPushButton* ok = box.addButton(QMessageBox::Ok);
  QPushButton* cancel = nullptr;
  if (withCancel) cancel = box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(ok);
  if (cancel) box.setEscapeButton(cancel);
  box.exec();
  // A box that nobody answered (its loop left because the program ends) consents to nothing.
  if (!cancel) return vbOK;
  return box.clickedButton() == static_cast<QAbstractButton*>(ok) ? vbOK : vbCancel;
}

}  // namespace ui
