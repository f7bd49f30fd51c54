#include "history/MemberSelection.h"

#include "db/db.h"

namespace {

const QString kSelect = QStringLiteral(
    "SELECT tblData.ID, tblData.UserName, tblData.UserAdd, tblData.MailName, tblData.MailAddr, "
    "tblData.LastIn, tblData.LastOut, CAST(tblData.ID AS INTEGER) AS lngID FROM tblData");
const QString kOrder = QStringLiteral(" ORDER BY tblData.ID");
const QString kTickTable = QStringLiteral("tmpSelectedID");

// The ticked IDs go into a temporary table of the connection, so that any number of them makes
// one short statement.
bool FillTickTable(db::Connection& connection, const QStringList& ids, QString* error) {
  db::Execute(connection, QStringLiteral("DROP TABLE IF EXISTS ") + kTickTable);
  if (!db::Execute(connection,
                   QStringLiteral("CREATE TEMPORARY TABLE ") + kTickTable + QStringLiteral(" (ID VARCHAR(9))"),
                   {}, nullptr, error))
    return false;
  const bool inTransaction = connection.Begin();
  db::Statement insert;
  bool stored = insert.Prepare(
      connection, QStringLiteral("INSERT INTO ") + kTickTable + QStringLiteral(" (ID) VALUES (?)"), error);
  for (qsizetype i = 0; stored && i < ids.size(); ++i) stored = insert.Execute({ids.at(i)}, error);
  if (!stored) {
    if (inTransaction) connection.Rollback();
    return false;
  }
  return !inTransaction || connection.Commit(error) == db::CommitResult::Stored;
}

}  // namespace

std::optional<qint64> IdRangeBound(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  for (const QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
  qsizetype first = 0;
  while (first < text.size() - 1 && text.at(first) == QLatin1Char('0')) ++first;
  if (text.size() - first > 18) return std::nullopt;
  return text.mid(first).toLongLong();
}

bool OpenMemberSelection(db::Connection& connection, db::Recordset& records,
                         const MemberSelection& selection, QString* error) {
  records.Close();
  switch (selection.kind) {
    case MemberSelection::Kind::All:
      break;
    case MemberSelection::Kind::Range: {
      const auto start = IdRangeBound(selection.rangeStart);
      const auto end = IdRangeBound(selection.rangeEnd);
      if (!start || !end) {
        if (error) *error = QStringLiteral("an ID range bound is not a number");
        return false;
      }
      const bool opened = records.Open(
          connection,
          kSelect + QStringLiteral(" WHERE CAST(tblData.ID AS INTEGER) >= ? AND "
                                   "CAST(tblData.ID AS INTEGER) <= ?") + kOrder,
          {*start, *end});
      if (!opened && error) *error = records.LastError();
      return opened;
    }
    case MemberSelection::Kind::Ticked: {
      if (!FillTickTable(connection, selection.tickedIds, error)) return false;
      const bool opened = records.Open(
          connection,
          kSelect + QStringLiteral(" WHERE tblData.ID IN (SELECT ID FROM ") + kTickTable +
              QStringLiteral(")") + kOrder);
      if (!opened && error) *error = records.LastError();
      db::Execute(connection, QStringLiteral("DROP TABLE IF EXISTS ") + kTickTable);
      return opened;
    }
  }
  const bool opened = records.Open(connection, kSelect + kOrder);
  if (!opened && error) *error = records.LastError();
  return opened;
}
