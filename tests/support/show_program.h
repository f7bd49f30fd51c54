#pragma once
// For the small programs that show a station window over a real program folder, for looking at
// it by eye: the program-wide paths point into the folder, its settings file is loaded, its
// database opened and the service account read, as the program's own start does.
#include <QString>

#include <cstdio>

#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"

namespace testsupport {

// False (the reason printed on stderr) when any step fails.
inline bool OpenShowFolder(QString folder) {
  if (!folder.endsWith('/')) folder += '/';
  gstrAppPath = folder;
  gstrIniFile = QStringLiteral("Velmor.ini");
  gstrLogDir = folder + QStringLiteral("log/");
  gstrFtpDir = folder + QStringLiteral("ftpFile/");
  QString error;
  if (!LoadSettings(&error) || !OpenStationDatabase(&error) || !LoadServiceAccount(&error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
  }
  return true;
}

}  // namespace testsupport
