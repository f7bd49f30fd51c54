#include "common/Navigation.h"

#include <map>

namespace nav {
namespace {
std::map<Window, Opener>& Openers() {
  static std::map<Window, Opener> openers;
  return openers;
}
}  // namespace

void SetOpener(Window window, Opener open) { Openers()[window] = std::move(open); }

bool Open(Window window) {
  const auto it = Openers().find(window);
  if (it == Openers().end() || !it->second) return false;
  const Opener open = it->second;  // a copy: opening may wire anew
  open();
  return true;
}

}  // namespace nav
