#include "common/mdlStation.h"

#include <QStringList>

#include <cmath>

#include "ui/clock.h"

QString EventStamp(const QDateTime& now) {
  return now.toString(QStringLiteral("yyyyMMdd")) + now.toString(QStringLiteral("HHmmss"));
}

QString StampText(const QString& stamp) {
  return stamp.mid(0, 4) + QLatin1Char('/') + stamp.mid(4, 2) + QLatin1Char('/') + stamp.mid(6, 2) +
         QLatin1Char(' ') + stamp.mid(8, 2) + QLatin1Char(':') + stamp.mid(10, 2) +
         QLatin1Char(':') + stamp.mid(12, 2);
}

QString DigitsOnly(const QString& text) {
  QString digits;
  for (const QChar c : text)
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
  return digits;
}

QDateTime ReadStationTime(const QString& text) {
  const QString t = text.trimmed();
  static const QStringList formats = {
      QStringLiteral("yyyy/MM/dd HH:mm:ss"), QStringLiteral("yyyy/M/d H:m:s"),
      QStringLiteral("yyyy/M/d H:m"),        QStringLiteral("yyyy-MM-dd HH:mm:ss"),
      QStringLiteral("yyyy-M-d H:m:s"),      QStringLiteral("yyyy/M/d"),
  };
  for (const QString& f : formats) {
    QDateTime dt = QDateTime::fromString(t, f);
    if (dt.isValid()) {
      dt.setTimeSpec(Qt::UTC);  // plain calendar arithmetic, no daylight saving
      return dt;
    }
  }
  return {};
}

namespace {
QDateTime Naive(const QDateTime& dt) {
  QDateTime n(dt.date(), dt.time(), Qt::UTC);
  return n;
}
qint64 Truncated(const QDateTime& dt, qint64 unit) {
  const qint64 secs = Naive(dt).toSecsSinceEpoch();
  return static_cast<qint64>(std::floor(static_cast<double>(secs) / static_cast<double>(unit)));
}
}  // namespace

qint64 MinuteBoundaries(const QDateTime& a, const QDateTime& b) {
  return Truncated(b, 60) - Truncated(a, 60);
}

qint64 HourBoundaries(const QDateTime& a, const QDateTime& b) {
  return Truncated(b, 3600) - Truncated(a, 3600);
}

EntryExit DecideEntryExit(const QVariant& lastIn, const QVariant& lastOut, const QString& nowText,
                          int gapMinutes, int newEntryHours) {
  const QDateTime now = ReadStationTime(nowText);
  const QString inText = lastIn.isValid() && !lastIn.isNull() ? lastIn.toString() : QString();
  const QString outText = lastOut.isValid() && !lastOut.isNull() ? lastOut.toString() : QString();

  // 1. First entry.
  if (inText.isEmpty()) return EntryExit::Entry;
  const QDateTime in = ReadStationTime(inText);
  // 2. Forced new entry (an unreadable LastIn lets the rule fire).
  if (!in.isValid() || !now.isValid()) return EntryExit::Entry;
  if (newEntryHours > 0 && HourBoundaries(in, now) > newEntryHours) return EntryExit::Entry;
  // 3. Only after more than T minutes since LastIn.
  const qint64 sinceIn = MinuteBoundaries(in, now);
  if (sinceIn - gapMinutes > 0) {
    // 3a. First exit.
    if (outText.isEmpty()) return EntryExit::Exit;
    const QDateTime out = ReadStationTime(outText);
    if (!out.isValid()) return EntryExit::Entry;
    const qint64 sinceOut = MinuteBoundaries(out, now);
    // 3b. Entry after an exit.
    if (sinceIn >= sinceOut && sinceIn >= gapMinutes && sinceOut >= gapMinutes)
      return EntryExit::Entry;
    // 3c. Exit after an entry.
    if (sinceIn >= gapMinutes && sinceOut >= gapMinutes) return EntryExit::Exit;
  }
  // 4.
  return EntryExit::AlreadyRegistered;
}

QString NumberedName(int n) { return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')); }

int RandomPick(int count) {
  if (count <= 0) return 1;
  return static_cast<int>(std::floor(ui::Rnd() * static_cast<double>(count) + 1.0));
}

bool SettingIsTrue(const QString& text) {
  const QString t = text.trimmed();
  if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  bool number = false;
  const double v = t.toDouble(&number);
  return number && v != 0.0;
}
