#pragma once
// The record file writer and the upload of one file to the service's FTP server.
#include <QString>

// Creates the file, or empties it, and writes `text` and CR LF in the ANSI code page (a
// character the code page cannot hold becomes "?"). The folder must exist. Returns false when
// the file could not be created or written.
bool WriteTextFile(const QString& path, const QString& text);

// The service's FTP account. Taken from the settings on the window thread, which owns them, and
// handed to the sender with what it sends: a sender never reads the settings themselves.
struct FtpAccount {
  QString server;    // "name" or "name:port"
  QString user;
  QString password;
  QString path;      // the remote base path, as stored
  QString mailID;    // the service's account ID: its part before "@" names the remote folder
};

// The account as the settings give it now (gstrFtpServer, gstrFtpUser, gstrFtpPsw, gstrFtpPath,
// gstrMailID). On the window thread.
FtpAccount FtpAccountFromSettings();

// Uploads the local file into the account's remote folder (FtpRemotePath) on its server, with a
// new FTP object for this upload alone. Returns the result of the object's PutFile: greater than
// 0 on success.
int FtpPutFile(const QString& localFile, const FtpAccount& account);

// The remote folder of every upload: the base path, "/", the account ID before its "@", "/log".
// An account ID without "@" is used whole.
QString FtpRemotePath(const FtpAccount& account);
