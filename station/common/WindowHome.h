#pragma once
// Where every loaded single-instance window is noted with the call that unloads it, so that one
// call unloads them all: the program's end, and every test's tear-down.
#include <functional>

class QObject;

namespace windows {

// Notes a window that has just loaded. A window deleted in the meantime is forgotten by itself.
void NoteLoaded(QObject* form, std::function<void()> unload);

// Unloads every window still loaded, the last loaded first, each through its own unload (which
// may unload others or end the program). Windows loaded by an unload are unloaded too.
void UnloadAll();

// How many noted windows are still loaded.
int LoadedCount();

}  // namespace windows
