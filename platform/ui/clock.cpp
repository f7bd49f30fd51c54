#include "clock.h"

#include <memory>
#include <mutex>
#include <random>

namespace ui {
namespace {
// The clock a test sets; read by the window thread and by the station's sender thread.
std::mutex gClockMutex;
std::shared_ptr<const std::function<QDateTime()>>& ClockFn() {
  static std::shared_ptr<const std::function<QDateTime()>> fn;
  return fn;
}
std::function<double()>& RandomFn() {
  static std::function<double()> fn;
  return fn;
}
std::mt19937_64& Engine() {
  static std::mt19937_64 engine(0x5eed);
  return engine;
}
}  // namespace

QDateTime Now() {
  std::shared_ptr<const std::function<QDateTime()>> clock;
  {
    const std::lock_guard<std::mutex> lock(gClockMutex);
    clock = ClockFn();
  }
  if (clock) return (*clock)();
  return QDateTime::currentDateTime();
}

void SetClock(std::function<QDateTime()> clock) {
  auto fn = clock ? std::make_shared<const std::function<QDateTime()>>(std::move(clock)) : nullptr;
  const std::lock_guard<std::mutex> lock(gClockMutex);
  ClockFn() = std::move(fn);
}

double Rnd() {
  if (RandomFn()) return RandomFn()();
  return std::uniform_real_distribution<double>(0.0, 1.0)(Engine());
}

void Randomize() { Engine().seed(static_cast<unsigned long long>(QDateTime::currentMSecsSinceEpoch())); }

void SetRandom(std::function<double()> random) { RandomFn() = std::move(random); }

}  // namespace ui
