#pragma once
// The route the station's mails take, as the set-up tool's options choose it: the service
// account's server with its POP login before each mail (--smtp and the account options, kept in
// the database), or the installation's own mail server (--own-smtp and its login, kept in the
// settings file with SYSTEM/isserver False). The values are checked as the settings window and
// the mail server window check them, so that the administrator can save them unchanged.
#include <QList>
#include <QString>

#include "common/mdlIni.h"

class QCommandLineParser;

// Adds the own-server options and the ones both routes share (--mail-port, --sender).
void AddMailRouteOptions(QCommandLineParser& parser);

// The settings keys the options given set (none when none was given); `serviceAccount`: the
// service account's server was named (--smtp), which makes it the route again. `iniPath` is the
// program folder's settings file, read for the sender address it may hold already; a folder that
// sends through its own server already keeps each own-server value not given again (only the
// given ones are written). False with `error` for options the windows would refuse, and for a
// host the station could not reach (a port, a blank or a TAB in it).
bool MailRouteKeys(const QCommandLineParser& parser, bool serviceAccount, const QString& iniPath,
                   QList<IniKey>* keys, QString* error);

// Writes `keys` into the settings file at `iniPath` in one replacement; its other keys stay.
bool WriteSettingsKeys(const QString& iniPath, const QList<IniKey>& keys, QString* error);
