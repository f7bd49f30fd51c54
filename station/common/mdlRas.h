#pragma once
// The dial-up connection: is any connection up, dial the phone-book entry and wait for the line,
// and the password saved with an entry.
#include <QString>
#include <QStringList>

// The text before the first NUL character; the empty text when there is no NUL.
QString TrimNull(const QString& text);

// True when a dial-up connection (of any entry) is active; false also when the connections
// cannot be listed.
bool IsRasConnected();

// Dials `entry` with `user` and `password` and returns when the attempt has ended, then waits
// glngPauseTime seconds while the window system delivers its events, then tells whether a
// connection is active. The handle of the attempt goes into glngRasConn. Texts that do not fit
// the dial record (over 256 bytes in the ANSI code page) are not dialled.
bool DialUp(const QString& entry, const QString& user, const QString& password);

// Brings the network up for a sender: when `entry` is set and no connection (of any entry) is
// up, dials it as DialUp does. True when nothing needs dialling or a connection is up after the
// dial. The mail and the FTP record call it from senders of their own: one dials at a time, and
// a sender that waited for another's dial finds the line up.
bool DialUpWhenNeeded(const QString& entry, const QString& user, const QString& password);

// The names of the phone book's entries.
QStringList DialEntries();

// The user name and password saved in the phone book for `entry`; false when the entry is
// unknown (or its name cannot be held by a dial record).
bool GetSavedDialParams(const QString& entry, QString* user, QString* password);

// The password saved in the phone book for `entry`; the empty text when none is saved or the
// entry is unknown.
QString GetSavedDialPassword(const QString& entry);
