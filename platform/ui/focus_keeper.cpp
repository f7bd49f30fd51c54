#include "focus_keeper.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace ui {
namespace {

// The window that holds the keyboard focus of the display: one of this program's (its top-level
// window), another program's (`another` set), or nobody (null: the focus is the root window, the
// pointer or none). X is asked, since Qt learns of a change only later; off X only this
// program's windows are there.
const QWindow* FocusHolder(bool* another) {
  *another = false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return QGuiApplication::focusWindow();
  xcb_get_input_focus_reply_t* focus =
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
  if (!focus) return nullptr;
  xcb_window_t window = focus->focus;
  std::free(focus);
  if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT) return nullptr;
  // Up from the window that holds it to its top-level window.
  for (int depth = 0; depth < 64; ++depth) {
    for (const QWindow* ours : QGuiApplication::allWindows())
      if (ours->handle() && ours->winId() == window) {
        while (ours->parent()) ours = ours->parent();
        return ours;
      }
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    if (!tree) return nullptr;  // gone meanwhile
    const xcb_window_t root = tree->root, parent = tree->parent;
    std::free(tree);
    if (window == root) return nullptr;
    if (parent == root) break;
    window = parent;
  }
  *another = true;
  return nullptr;
}

}  // namespace

FocusKeeper::FocusKeeper(QWidget* window, std::function<bool(const QWindow*)> passive)
    : QObject(window), window_(window), passive_(std::move(passive)) {
  connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
    if (focus && passive_ && passive_(focus)) Lost();
  });
  QCoreApplication::instance()->installNativeEventFilter(this);
  qApp->installEventFilter(this);
}

FocusKeeper::~FocusKeeper() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool FocusKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // Focus that goes to the root window or to the pointer (nobody's) reaches the windows under the
  // pointer as a focus-in of detail "pointer"; Qt itself passes over it.
  if ((event->response_type & 0x7f) == XCB_FOCUS_IN &&
      reinterpret_cast<const xcb_focus_in_event_t*>(event)->detail == XCB_NOTIFY_DETAIL_POINTER)
    Lost();
  return false;
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched == window_ && !event->spontaneous()) {
    Take();
    return false;
  }
  // Another window of ours goes (a message box answered, a dialog closed): without a window
  // manager the focus it held falls to the root window, where the pointer's place does not bring
  // it back.
  if (event->type() == QEvent::Hide && watched != window_ && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow()) {
    Lost();
    return false;
  }
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  const QWidget* top = widget->window();
  if (passive_ && top->windowHandle() && passive_(top->windowHandle())) {
    // Typed into the backdrop, which takes no keys: they go on where the focus goes back to, in
    // their order. So do keys already on their way to the backdrop when the focus came back.
    QWidget* target = Target();
    if (!target) return false;
    Lost();
    const auto* key = static_cast<QKeyEvent*>(event);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->nativeScanCode(), key->nativeVirtualKey(),
                   key->nativeModifiers(), key->text(), key->isAutoRepeat(), key->count());
    QWidget* to = target->focusWidget() ? target->focusWidget() : target;
    QCoreApplication::sendEvent(to, &copy);
    return true;
  }
  // Keys reach a window of ours while none holds the focus (or the backdrop does): the focus is
  // nowhere, and the keys follow the pointer.
  const QWindow* focus = QGuiApplication::focusWindow();
  if (focus && !(passive_ && passive_(focus))) return false;
  if (top == window_ || top == QApplication::activeModalWidget()) Lost();
  return false;
}

QWidget* FocusKeeper::Target() const {
  if (!window_ || !window_->isVisible() || !window_->isEnabled()) return nullptr;
  QWidget* modal = QApplication::activeModalWidget();
  return modal ? modal : window_.data();
}

void FocusKeeper::Lost() {
  if (pending_) return;
  pending_ = true;
  // Once the event that told it has been handled.
  QTimer::singleShot(0, this, &FocusKeeper::Retake);
}

void FocusKeeper::Retake() {
  pending_ = false;
  bool another = false;
  const QWindow* focus = FocusHolder(&another);
  if (another) return;
  if (focus && focus->isVisible() && !(passive_ && passive_(focus))) return;  // a window of ours holds it
  Take();
}

void FocusKeeper::Take() {
  QWidget* target = Target();
  if (!target) return;
  bool another = false;
  FocusHolder(&another);
  if (another) return;
  target->raise();
  target->activateWindow();
}

}  // namespace ui
