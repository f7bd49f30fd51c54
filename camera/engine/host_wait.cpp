#include "engine/host_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <thread>
#include <utility>

namespace capture {

bool HostWait::Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                    const std::function<void()>& tick, std::chrono::milliseconds period) {
  if (done()) return true;
  const auto now = std::chrono::steady_clock::now();
  const auto deadline = timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::time_point::max() - now)
                            ? std::chrono::steady_clock::time_point::max()
                            : now + timeout;
  QEventLoop loop;
  QEventLoop* outer = std::exchange(loop_, &loop);
  ++depth_;
  QTimer ticker;
  ticker.setInterval(int(period.count()));
  QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
    if (tick) tick();
    loop.quit();
  });
  ticker.start();
  bool result = false;
  while (!(result = done()) && std::chrono::steady_clock::now() < deadline) {
    if (QCoreApplication::instance()) loop.exec();
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));  // no application: no events to run
  }
  --depth_;
  loop_ = outer;
  return result;
}

void HostWait::Wake() {
  if (loop_) loop_->quit();
}

void HostWait::RunDeferred() {
  if (Active()) return;
  std::vector<std::function<void()>> calls;
  calls.swap(deferred_);
  for (auto& call : calls) call();
}

}  // namespace capture
