#pragma once
// A real X display for the tests that need one (keyboard focus, typing from outside): an Xvfb
// server of the test's own, without a window manager, and xdotool to type and move the pointer
// on it. Programs started with Environment() show their windows there. The display keeps its
// state for its whole life: it never starts afresh when its last program leaves, which would
// turn away a program connecting at that moment and put the pointer back in the middle.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct xcb_connection_t;

namespace testsupport {

class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Starts Xvfb on a free display (1280 x 1024) and returns once the display takes connections;
  // false with Error() when it did not come up.
  bool Start();
  QString Error() const { return error_; }
  QString Name() const { return name_; }  // ":<n>"

  // `base` with DISPLAY set to this display and Qt's platform to xcb.
  QProcessEnvironment Environment(QProcessEnvironment base) const;

  // Runs xdotool with `arguments` on this display; its output, or a null text when it failed.
  QString Xdotool(const QStringList& arguments) const;
  // The windows whose name matches `pattern` (xdotool's search), in stacking order.
  QStringList Windows(const QString& pattern) const;
  // Types `text` (each character a key press) and presses Return, to whatever has the focus.
  bool TypeLine(const QString& text) const;

 private:
  QProcess server_;
  // A connection of the test's own, held while the display lives.
  xcb_connection_t* held_ = nullptr;
  QString name_;
  QString error_;
};

}  // namespace testsupport
