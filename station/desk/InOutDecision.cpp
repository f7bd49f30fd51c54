#include "desk/InOutDecision.h"

#include <optional>

#include "db/db.h"
#include "startup/globals.h"
#include "ui/clock.h"

namespace {

const QString kTimeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

QDateTime Truncated(const QDateTime& t, int unitSeconds) {
  const qint64 s = QDateTime(t.date(), QTime(0, 0)).secsTo(t);
  return QDateTime(t.date(), QTime(0, 0)).addSecs(s - s % unitSeconds);
}

// A last time as stored: nullopt when empty (Null or ""); an invalid date-time when unreadable.
std::optional<QDateTime> LastTime(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  return ParseStationTime(text);
}

bool WriteLast(const QString& field, const QString& id, const QString& now) {
  return db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET %1=? WHERE ID=?").arg(field),
                     {now, id});
}

}  // namespace

long long MinuteBoundaries(const QDateTime& from, const QDateTime& to) {
  return Truncated(from, 60).secsTo(Truncated(to, 60)) / 60;
}

long long HourBoundaries(const QDateTime& from, const QDateTime& to) {
  return Truncated(from, 3600).secsTo(Truncated(to, 3600)) / 3600;
}

QDateTime ParseStationTime(const QString& text) {
  QDateTime t = QDateTime::fromString(text.trimmed(), kTimeFormat);
  if (!t.isValid()) t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy/M/d H:mm:ss"));
  if (!t.isValid()) t = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy/M/d"));
  return t;
}

InOutResult DecideInOut(const db::Recordset& member, const QDateTime& now) {
  InOutResult r;
  const QString id = member.Text(QStringLiteral("ID"));
  const QString nowText = now.toString(kTimeFormat);
  std::optional<QDateTime> lastIn = LastTime(member.Text(QStringLiteral("LastIn")));
  std::optional<QDateTime> lastOut = LastTime(member.Text(QStringLiteral("LastOut")));
  const long long T = glngInOutTime;
  const long long H = glngInOutChg;
  // A time that cannot be read fails its comparison; the rule then acts as if it held.
  auto minutesSince = [&](const QDateTime& t) -> std::optional<long long> {
    if (!t.isValid()) return std::nullopt;
    return MinuteBoundaries(t, now);
  };
  auto writeIn = [&] {
    if (!WriteLast(QStringLiteral("LastIn"), id, nowText)) return r.failed = true, false;
    lastIn = now;
    return r.entry = true;
  };
  auto writeOut = [&] {
    if (!WriteLast(QStringLiteral("LastOut"), id, nowText)) return r.failed = true, false;
    lastOut = now;
    return r.exit = true;
  };

  // 1. First entry.
  if (!lastIn) {
    if (!writeIn()) return {false, false, true};
  }
  // 2. Forced new entry after H hour boundaries.
  if (H > 0 && lastIn && !r.entry &&
      (!lastIn->isValid() || HourBoundaries(*lastIn, now) > H)) {
    if (!writeIn()) return {false, false, true};
  }
  // 3. More than T minutes since the last entry.
  if (!r.entry) {
    const auto sinceIn = minutesSince(lastIn.value_or(QDateTime()));
    const bool gapPassed = !sinceIn || MinuteBoundaries(lastIn->addSecs(T * 60), now) > 0;
    if (gapPassed) {
      // 3a. First exit.
      if (!lastOut) {
        if (!writeOut()) return {false, false, true};
      }
      if (!r.entry && !r.exit) {
        const auto in = minutesSince(lastIn.value_or(QDateTime()));
        const auto out = minutesSince(lastOut.value_or(QDateTime()));
        // 3b. Entry after an exit.
        if (!in || !out || (*in >= *out && *in >= T && *out >= T)) {
          if (!writeIn()) return {false, false, true};
        }
        // 3c. Exit after an entry.
        else if (*in >= T && *out >= T) {
          if (!writeOut()) return {false, false, true};
        }
      }
    }
  }
  return r;
}

bool InsertHistory(const QString& id, bool entry, const QString& imgFile) {
  const QDateTime now = ui::Now();
  return db::Execute(gcnDB(),
                     QStringLiteral("INSERT INTO tblHist (ID,IOName,inDate,inTime,imgFile) "
                                    "VALUES (?,?,?,?,?)"),
                     {id, entry ? QStringLiteral("入室") : QStringLiteral("退室"),
                      now.date().toString(QStringLiteral("yyyyMMdd")).toInt(),
                      now.time().toString(QStringLiteral("HH:mm:ss")), imgFile});
}
