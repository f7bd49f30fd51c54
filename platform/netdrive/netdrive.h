#pragma once
// Network drive connection: a CIFS share mounted on a local folder with mount.cifs. The user name
// and password go to the mount command in a credentials file readable only by us, never on its
// command line, and the file is removed when the command has finished.
#include <QString>

namespace netdrive {

// Result codes of AddConnection. 0 and 85 keep the codes the station tests for; the others only
// need to differ from them.
enum Result : int {
  kConnected = 0,
  kBadNetName = 67,         // the share path is not of the form \\server\share[\path]
  kAlreadyAssigned = 85,    // something is mounted on the local folder already
  kInvalidParameter = 87,   // a user name or password that a credentials file cannot hold
  kBadDevice = 1200,        // the local folder does not exist or is not a folder
  kExtendedError = 1208,    // the mount command failed, timed out or could not be started
};

// Mounts `remoteName` (\\server\share or //server/share, optionally with a sub-path) on the
// existing folder `localName` as `user` with `password`. A user given as DOMAIN\user or
// DOMAIN/user is split into the domain and the user. Blocks until the mount command ends or its
// time limit passes.
int AddConnection(const QString& localName, const QString& remoteName, const QString& user,
                  const QString& password);

// The exit status and error output of the last mount command, for logs ("" when none ran).
QString LastCommandError();

// ---- the backend, replaceable by tests ------------------------------------------------------
// The program run to mount; it is called as <program> <//server/share> <folder> -o <options>.
// An empty text restores "mount.cifs".
void SetMountCommand(const QString& program);
// The mount table read to see whether the folder is mounted already (format of /proc/mounts).
// An empty text restores "/proc/self/mounts".
void SetMountTable(const QString& path);
// The time the mount command may take, in milliseconds; 0 or less restores 60000.
void SetCommandTimeout(int milliseconds);

}  // namespace netdrive
