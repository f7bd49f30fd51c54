#pragma once
// What the engine needs of the window it draws into: the capture window implements this. The
// engine never touches widgets itself; it asks for repaints and posts graph notifications, and
// the window paints through CCaptureEngine::RepaintVideo.
#include <QRect>

#include <cstdint>

namespace capture {

class IVideoWindow {
 public:
  // The video window's rectangle in the capture window's client coordinates (host thread).
  virtual QRect VideoWindowRect() const = 0;
  // Any thread: the picture changed; the window repaints itself soon on its own thread.
  virtual void RequestRepaint() = 0;
  // Any thread: graph events wait. The window, on its own thread, takes them with
  // CCaptureEngine::GetEvent (the graph-event message 0x500 with this instance data).
  virtual void PostGraphNotify(std::intptr_t instanceData) = 0;

 protected:
  ~IVideoWindow() = default;
};

}  // namespace capture
