#pragma once
// The record file writer and the upload of one file to the service's FTP server.
#include <QString>

// Creates the file, or empties it, and writes `text` and CR LF in the ANSI code page (a
// character the code page cannot hold becomes "?"). The folder must exist. Returns false when
// the file could not be created or written.
bool WriteTextFile(const QString& path, const QString& text);

// Uploads the local file into gstrFtpPath & "/" & (gstrMailID before its "@") & "/log" on
// gstrFtpServer as gstrFtpUser / gstrFtpPsw, with a new FTP object for this upload alone.
// Returns the result of the object's PutFile: greater than 0 on success.
int FtpPutFile(const QString& localFile);

// The remote folder of every upload. An account ID without "@" is used whole.
QString FtpRemotePath();
