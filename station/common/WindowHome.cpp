#include "common/WindowHome.h"

#include <QObject>
#include <QPointer>

#include <vector>

namespace windows {
namespace {

struct Loaded {
  QPointer<QObject> form;
  std::function<void()> unload;
};

std::vector<Loaded>& Home() {
  static std::vector<Loaded> home;
  return home;
}

void Forget() {
  auto& home = Home();
  std::erase_if(home, [](const Loaded& l) { return l.form.isNull(); });
}

}  // namespace

void NoteLoaded(QObject* form, std::function<void()> unload) {
  if (!form) return;
  Forget();
  for (Loaded& l : Home())
    if (l.form == form) {
      l.unload = std::move(unload);
      return;
    }
  Home().push_back({form, std::move(unload)});
}

void UnloadAll() {
  // An unload may load or unload other windows: take one at a time, newest first, and never
  // the same entry twice.
  for (int guard = 0; guard < 1000; ++guard) {
    Forget();
    if (Home().empty()) return;
    Loaded last = Home().back();
    Home().pop_back();
    if (last.unload) last.unload();
  }
}

int LoadedCount() {
  Forget();
  return static_cast<int>(Home().size());
}

}  // namespace windows
