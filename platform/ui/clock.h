#pragma once
// The one clock and the one random generator of the program. Tests set both.
#include <QDateTime>

#include <functional>

namespace ui {

// The current local date and time.
QDateTime Now();
// Replaces the clock; an empty function restores the system clock.
void SetClock(std::function<QDateTime()> clock);

// A uniform random number in [0, 1).
double Rnd();
// Seeds the generator from the clock.
void Randomize();
// Replaces the generator; an empty function restores the built-in one.
void SetRandom(std::function<double()> random);

}  // namespace ui
