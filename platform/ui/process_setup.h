#pragma once
// What every program of the station does around the creation of its application object: a
// runtime folder of its own when the session has none, Qt's own dialog and button texts in
// Japanese, and an orderly end when the process is asked to end.
#include <QString>

#include <functional>

namespace ui {

// First thing in a program that writes members' data, before any thread starts: every file and
// folder the process creates is its user's alone from its first byte (umask 077), whatever mode
// the code that creates it asks for (a control's photographs, exports, PDF files).
void UsePrivateFileModes();

// Before the application object. When XDG_RUNTIME_DIR is not set, points it at a private folder
// (mode 0700) of this user under TMPDIR, else /tmp: "velmor-runtime-<uid>" when that name is a
// folder of this user (not a link), else a new folder with a unique name. Returns the folder in
// use (the one that was set, or the new one), or the empty text when none could be made.
QString PrepareRuntimeFolder();

// After the application object. Installs Qt's Japanese translations (qtbase_ja from Qt's
// translations folder), so that the standard buttons and the file, print and message dialogs
// speak Japanese. False when the catalogue is not there.
bool InstallJapaneseTranslations();

// After the application object. SIGTERM, SIGINT and SIGHUP no longer end the process at once:
// their handler only wakes the event loop (through a pipe), which then calls `end` on the main
// thread (once for the signals that came together), from whatever event loop runs (a message
// box's included).
void WatchShutdownSignals(std::function<void()> end);

}  // namespace ui
