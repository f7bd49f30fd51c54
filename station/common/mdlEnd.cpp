#include "common/mdlEnd.h"

#include <QApplication>

#include "common/WindowHome.h"
#include "ui/msgbox.h"

namespace {
std::atomic<bool> gEnded = false;
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
  ui::SetMsgBoxesStopped(true);
  QCoreApplication::exit(0);
}

bool ProgramEnded() { return gEnded; }

const std::atomic<bool>& ProgramEndFlag() { return gEnded; }

void UnloadWindowsAtEnd() {
  windows::UnloadAll();
  QApplication::closeAllWindows();
}

void SetEndProgramHook(std::function<void()> hook) {
  gEnded = false;
  ui::SetMsgBoxesStopped(false);
  Hook() = std::move(hook);
}
