#pragma once
// The operation log: one line per event, four comma-separated fields, in a daily file of the log
// folder.
#include <QString>

// Appends "yyyy/mm/dd,hh:mm:ss,<what>,<result>" and CR LF to gstrLogDir + fileName (CP932).
// Creates the log folder when it is missing. Returns false when the line could not be written;
// the callers decide whether that matters (most go on).
bool WriteLog(const QString& fileName, const QString& what, const QString& result);

// The name of today's log file, "yyyymmdd.log", from the program clock.
QString TodayLogName();

// Writes the line only when logging is on (gblnLog): the calling rule of every log line.
bool Log(const QString& what, const QString& result);
