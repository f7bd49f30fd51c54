#include "common/HistoryRecords.h"

#include <algorithm>

#include "common/globals.h"
#include "db/db.h"

namespace {

// Bound values per INSERT of chosen IDs: well below every driver's limit of parameters.
constexpr int kIdsPerInsert = 400;

// Fills the connection's temporary table of chosen IDs with `ids`, replacing what it held.
bool StoreChosenIds(const QStringList& ids, QString* error) {
  db::Connection& cn = gcnDB();
  if (!db::Execute(cn, QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS tmpHistID (ID VARCHAR(20))"),
                   {}, nullptr, error) ||
      !db::Execute(cn, QStringLiteral("DELETE FROM tmpHistID"), {}, nullptr, error))
    return false;
  for (qsizetype first = 0; first < ids.size(); first += kIdsPerInsert) {
    const qsizetype count = std::min<qsizetype>(kIdsPerInsert, ids.size() - first);
    QString sql = QStringLiteral("INSERT INTO tmpHistID (ID) VALUES (?)");
    for (qsizetype i = 1; i < count; ++i) sql += QStringLiteral(",(?)");
    QVariantList values;
    values.reserve(count);
    for (qsizetype i = 0; i < count; ++i) values << ids[first + i];
    if (!db::Execute(cn, sql, values, nullptr, error)) return false;
  }
  return true;
}

}  // namespace

bool QueryHistory(const HistoryFilter& filter, std::vector<HistoryListRow>& rows, QString* error) {
  rows.clear();
  const bool byIds = filter.byIds && !filter.ids.isEmpty();
  if (byIds && !StoreChosenIds(filter.ids, error)) return false;

  QString sql = QStringLiteral(
      "SELECT tblHist.SEQ, tblHist.ID, tblData.UserName, tblData.UserAdd, tblHist.IOName, "
      "tblHist.inDate, tblHist.inTime, tblHist.imgFile FROM tblHist LEFT JOIN tblData ON "
      "tblHist.ID = tblData.ID WHERE tblHist.inDate > ? AND tblHist.inDate < ?");
  if (byIds) sql += QStringLiteral(" AND tblHist.ID IN (SELECT ID FROM tmpHistID)");
  sql += filter.order == HistoryOrder::ByDate
             ? QStringLiteral(" ORDER BY tblHist.inDate, tblHist.inTime, tblHist.ID")
             : QStringLiteral(" ORDER BY tblHist.ID, tblHist.inDate, tblHist.inTime");
  gstrSQL = sql;

  db::Recordset rs;
  if (!rs.Open(gcnDB(), sql, {filter.after, filter.before})) {
    if (error) *error = rs.LastError();
    return false;
  }
  rows.reserve(static_cast<size_t>(rs.RecordCount()));
  auto text = [&rs](int column) {
    const QVariant v = rs.Value(column);
    return v.isValid() && !v.isNull() ? v.toString() : QString();
  };
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    HistoryListRow row;
    row.seq = rs.Value(0).toInt();
    row.id = text(1);
    row.name = text(2);
    row.honorific = text(3);
    row.ioName = text(4);
    row.inDate = text(5);
    row.inTime = text(6);
    row.imgFile = text(7);
    rows.push_back(std::move(row));
  }
  return true;
}
