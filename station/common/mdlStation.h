#pragma once
// What the station's ID roads share and what needs no window: the event stamp, the digit filter,
// the minute and hour boundary counts, the entry/exit decision, and the numbered-file names.
#include <QDateTime>
#include <QString>
#include <QVariant>

// The 14-character event stamp yyyymmddhhmmss of one moment.
QString EventStamp(const QDateTime& now);
// The stamp's text form yyyy/mm/dd hh:mm:ss, cut from the stamp.
QString StampText(const QString& stamp);

// Keeps the characters "0" to "9" of `text`, in order.
QString DigitsOnly(const QString& text);

// A member's last entry or exit time as the station writes it ("yyyy/mm/dd hh:mm:ss"); a few
// looser forms that a person may have typed are read as well. Invalid when it cannot be read.
QDateTime ReadStationTime(const QString& text);

// Minute (hour) boundaries crossed from a to b: both truncated to the minute (hour) first, so
// 10:00:59 to 10:01:00 is 1 minute and 10:00:00 to 10:00:59 is 0. Negative when b lies before a.
qint64 MinuteBoundaries(const QDateTime& a, const QDateTime& b);
qint64 HourBoundaries(const QDateTime& a, const QDateTime& b);

enum class EntryExit { AlreadyRegistered, Entry, Exit };

// The entry/exit decision for a member whose last entry and exit are `lastIn` and `lastOut`
// (Null or the empty text when never written), at the moment `nowText` (the event stamp's text
// form), with a minimum gap of `gapMinutes` between two events and a forced new entry after
// more than `newEntryHours` hour boundaries (0 or less: never). The caller writes `nowText` into
// LastIn for an entry and into LastOut for an exit.
//
// In order: no LastIn is an entry; a LastIn more than H hours back is an entry; within T minutes
// of LastIn nothing happens; after that no LastOut is an exit; with both at least T minutes back
// an entry when LastIn is not later than LastOut by the minute, else an exit. A time that cannot
// be read lets the rule that reads it fire (LastIn: the forced entry; LastOut: the entry).
EntryExit DecideEntryExit(const QVariant& lastIn, const QVariant& lastOut, const QString& nowText,
                          int gapMinutes, int newEntryHours);

// "000"-style number of a numbered file: at least three digits, zero-padded.
QString NumberedName(int n);

// A random pick from 1 to count (count 0 or less gives 1), n = Int(Rnd * count + 1).
int RandomPick(int count);

// True when the settings text converts to True: "True" in any letter case or a number other
// than 0. Every other text (including "False" and the empty text) is False.
bool SettingIsTrue(const QString& text);
