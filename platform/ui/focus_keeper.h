#pragma once
// Keeps the keyboard with a program's window on a kiosk screen. Without a window manager nobody
// gives a window the keyboard focus when it shows, and once another window has come and gone (a
// second start's message box, or a box of the program's own once answered) no window holds it:
// the keys go to whatever window the pointer rests on, and a reader that types like a keyboard
// then types into the backdrop or into nothing. The keeper gives the focus to its window when it
// shows, and back to it when it is lost.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QWindow;

namespace ui {

class FocusKeeper : public QObject, public QAbstractNativeEventFilter {
 public:
  // `window` takes the focus when it shows, and takes it back (or the program's modal dialog
  // while one is open, which keeps it) whenever no window holds the focus (X: the focus reverted
  // to the root window or to the pointer, seen as the pointer's focus-in on a window of the
  // program, or after another window of the program went, such as a message box answered) or a
  // window for which `passive` says true (a backdrop) holds it. It never takes the
  // focus from another program's window that holds it, and asks once for each showing or loss: a
  // window manager that says no is not fought. The keeper lives as long as `window`.
  explicit FocusKeeper(QWidget* window, std::function<bool(const QWindow*)> passive = {});
  ~FocusKeeper() override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Keys that reach the program while no window holds the focus: the focus goes back, and what
  // was typed into a passive window goes on to the window that takes the focus.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The window that takes the focus back: the modal dialog while one is open, else the window
  // (null while it is hidden or disabled).
  QWidget* Target() const;
  void Lost();
  void Retake();
  // Gives the target the focus, unless another program's window holds it.
  void Take();

  QPointer<QWidget> window_;
  std::function<bool(const QWindow*)> passive_;
  bool pending_ = false;
};

}  // namespace ui
