#pragma once
// The start-up sequence that every new login window runs before it loads: one instance only, the
// program's paths, the settings file, the network drive, the database and the service account.
#include <QString>

// Runs the whole sequence. On a failure it shows the failure's message and returns false: the
// caller then unloads the window and ends the program. A database failure adds the driver's own
// reason on a second line and writes both lines to the standard error output too.
bool RunStartupSequence();

// The message for the log folder (gstrLogDir) and the photograph folder (gstrImgDir) when a file
// cannot be written into them (a missing folder is created first); empty when both take files.
QString UnwritableFoldersMessage();

// The lock that keeps a second instance out: held for the rest of the run once taken. The kernel
// drops it when the process ends, however it ends, so a crash never leaves it stuck.
// Returns false when another running instance holds it. When the program folder's lock file
// cannot be opened, a lock file named after the folder in the user's runtime folder
// ($XDG_RUNTIME_DIR, else Qt's runtime location, else /tmp) stands in for it.
bool TakeInstanceLock();
// The lock file of the program folder (tests hold it from outside to play a running instance).
QString InstanceLockPath();
// The file this run holds the lock on (the one above or its stand-in); empty when none is held.
QString HeldInstanceLockPath();
// Gives the lock up (tests).
void ReleaseInstanceLock();
