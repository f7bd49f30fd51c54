#include "common/mdlEnd.h"

#include <QApplication>

#include "common/WindowHome.h"

namespace {
bool gEnded = false;
std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void EndProgram() {
  gEnded = true;
  if (Hook()) {
    Hook()();
    return;
  }
  QCoreApplication::exit(0);
  windows::UnloadAll();
  QApplication::closeAllWindows();
}

bool ProgramEnded() { return gEnded; }

void SetEndProgramHook(std::function<void()> hook) {
  gEnded = false;
  Hook() = std::move(hook);
}
