#pragma once
// The entry/exit decision shared by both station windows: from a member's last entry and exit
// times and the two switch-time settings it tells entry, exit or already registered, and stores
// the new last entry or exit time at once. Also the history row both windows store.
#include <QDateTime>
#include <QString>

namespace db {
class Recordset;
}

struct InOutResult {
  bool entry = false;  // the entry flag
  bool exit = false;   // the exit flag
  bool failed = false; // a database write failed; nothing was decided
  bool registered() const { return !entry && !exit; }
};

// Minute (hour) boundaries from `from` to `to`: both truncated to the minute (hour), then the
// difference. 10:00:59 to 10:01:00 is one minute boundary.
long long MinuteBoundaries(const QDateTime& from, const QDateTime& to);
long long HourBoundaries(const QDateTime& from, const QDateTime& to);

// A stored last time ("yyyy/mm/dd hh:mm:ss"); invalid when the text cannot be read.
QDateTime ParseStationTime(const QString& text);

// Decides for the member on the current row of `member` (ID, LastIn, LastOut) at `now`, with the
// gap glngInOutTime (minutes) and the forced new entry after glngInOutChg hours (0 or less: off).
// An entry writes LastIn, an exit LastOut (the text form of `now`) into tblData before returning.
// A last time that cannot be read counts as long ago.
InOutResult DecideInOut(const db::Recordset& member, const QDateTime& now);

// Stores one history row (tblHist) for `id`: "入室" or "退室", inDate the number yyyymmdd and
// inTime "hh:mm:ss" of the clock read now, `imgFile` as given. False when the insert failed.
bool InsertHistory(const QString& id, bool entry, const QString& imgFile);
