#include "common/mdlLogWrite.h"

#include <mutex>

#include "codepage/codepage.h"
#include "files/files.h"
#include "common/globals.h"
#include "ui/clock.h"

bool WriteLog(const QString& fileName, const QString& what, const QString& result) {
  // Date and time are read one after the other, as two readings of the clock.
  const QString date = ui::Now().toString(QStringLiteral("yyyy/MM/dd"));
  const QString time = ui::Now().toString(QStringLiteral("HH:mm:ss"));
  const QString line = date + QLatin1Char(',') + time + QLatin1Char(',') + what +
                       QLatin1Char(',') + result + QStringLiteral("\r\n");
  // The station's sender writes its lines from a thread of its own: one line at a time.
  static std::mutex writing;
  const std::lock_guard<std::mutex> lock(writing);
  // The log names members and what they did: its folder and files are the owner's alone.
  files::MakePrivateFolder(gstrLogDir);
  return files::Append(gstrLogDir + fileName, cp::ToAnsiLossy(line));
}

QString TodayLogName() { return ui::Now().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log"); }

bool Log(const QString& what, const QString& result) {
  if (!gblnLog) return true;
  return WriteLog(TodayLogName(), what, result);
}
