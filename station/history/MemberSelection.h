#pragma once
// The members a card run or a bulk mail run works on: all members, the ticked ones of the member
// table, or a range of ID numbers, read into a record set ordered by ID with the fields ID,
// UserName, UserAdd, MailName, MailAddr, LastIn, LastOut and lngID (the ID as a number).
#include <QString>
#include <QStringList>

#include <optional>

namespace db {
class Connection;
class Recordset;
}  // namespace db

struct MemberSelection {
  enum class Kind { All, Ticked, Range };
  Kind kind = Kind::All;
  QStringList tickedIds;  // Ticked: the ticked members' IDs (MemberRoster::TickedIds())
  QString rangeStart;     // Range: the bounds as typed, digits only
  QString rangeEnd;
};

// A bound of an ID range as a number: digits only (leading zeros allowed), at most 18 of them
// after the leading zeros; nothing for any other text.
std::optional<qint64> IdRangeBound(const QString& text);

// Opens `records` on the selected members. False when a range bound is not a number (see
// IdRangeBound) or the database fails; `error` tells why and `records` is closed.
bool OpenMemberSelection(db::Connection& connection, db::Recordset& records,
                         const MemberSelection& selection, QString* error = nullptr);
