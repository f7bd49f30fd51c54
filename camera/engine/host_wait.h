#pragma once
// Waits on the host's thread that keep its events moving: a still from a played file waits for
// its frame, a render job for its end, and meanwhile the host's windows repaint and its handlers
// run. A handler may call the control again from inside such a wait; members that would change
// the graph under the waiting call are refused (HostWait::Active), and the void ones are kept and
// run when the outermost wait has ended (Defer, RunDeferred).
#include <chrono>
#include <functional>
#include <vector>

class QEventLoop;

namespace capture {

class HostWait {
 public:
  HostWait() = default;
  HostWait(const HostWait&) = delete;
  HostWait& operator=(const HostWait&) = delete;

  // A wait that ends only when `done` holds.
  static constexpr std::chrono::milliseconds kNoLimit = std::chrono::milliseconds::max();

  // Runs the host's events until `done` holds or `timeout` has passed; `tick` (when given) is
  // called every `period` meanwhile. True when `done` held.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout,
            const std::function<void()>& tick = {}, std::chrono::milliseconds period = std::chrono::milliseconds(100));
  // Ends the innermost pump's current round early, so that `done` is looked at now.
  void Wake();

  bool Active() const { return depth_ > 0; }
  void Defer(std::function<void()> call) { deferred_.push_back(std::move(call)); }
  // Runs the calls kept during the waits, in their order, once no wait is active.
  void RunDeferred();

 private:
  int depth_ = 0;
  QEventLoop* loop_ = nullptr;
  std::vector<std::function<void()>> deferred_;
};

}  // namespace capture
