#include "clock.h"

#include <random>

namespace ui {
namespace {
std::function<QDateTime()>& ClockFn() {
  static std::function<QDateTime()> fn;
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
  if (ClockFn()) return ClockFn()();
  return QDateTime::currentDateTime();
}

void SetClock(std::function<QDateTime()> clock) { ClockFn() = std::move(clock); }

double Rnd() {
  if (RandomFn()) return RandomFn()();
  return std::uniform_real_distribution<double>(0.0, 1.0)(Engine());
}

void Randomize() { Engine().seed(static_cast<unsigned long long>(QDateTime::currentMSecsSinceEpoch())); }

void SetRandom(std::function<double()> random) { RandomFn() = std::move(random); }

}  // namespace ui
