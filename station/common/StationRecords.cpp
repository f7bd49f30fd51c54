#include "common/StationRecords.h"

#include <algorithm>

#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlStation.h"
#include "db/db.h"

LookupResult FindMember(const QString& id, MemberRecord& member, QString* error) {
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QStringLiteral("select * from tblData where ID=?"), {id})) {
    if (error) *error = rs.LastError();
    return LookupResult::Failed;
  }
  if (rs.RecordCount() <= 0) return LookupResult::NotFound;
  rs.MoveFirst();
  member.id = rs.Text(QStringLiteral("ID"));
  member.name = rs.Text(QStringLiteral("UserName"));
  member.honorific = rs.Text(QStringLiteral("UserAdd"));
  member.mailAddr = rs.Text(QStringLiteral("MailAddr"));
  member.lastIn = rs.Value(QStringLiteral("LastIn"));
  member.lastOut = rs.Value(QStringLiteral("LastOut"));
  return LookupResult::Found;
}

QString NameListSql(bool byID) {
  return byID ? QStringLiteral("select * from tblData order by ID")
              : QStringLiteral("select * from tblData order by NameKana NULLS FIRST, ID");
}

bool WriteLastTime(const QString& id, bool entry, const QString& nowText, QString* error) {
  const QString field = entry ? QStringLiteral("LastIn") : QStringLiteral("LastOut");
  return db::Execute(gcnDB(), QStringLiteral("UPDATE tblData SET ") + field + QStringLiteral("=? WHERE ID=?"),
                     {nowText, id}, nullptr, error);
}

QString IoName(bool entry) { return entry ? QStringLiteral("入室") : QStringLiteral("退室"); }

bool InsertHistoryRow(const HistoryRow& row, QString* error) {
  return db::Execute(
      gcnDB(), QStringLiteral("INSERT INTO tblHist (ID,IOName,inDate,inTime,imgFile) VALUES (?,?,?,?,?)"),
      {row.id, row.ioName, row.inDate, row.inTime, row.imgFile}, nullptr, error);
}

namespace {
// Whether the database holds the event whole: the member's last time and its history row. Asked
// after a commit whose outcome the connection could not tell.
bool EventStored(const QString& id, bool entry, const QString& nowText, const HistoryRow& row) {
  db::Recordset rs;
  if (!rs.Open(gcnDB(),
               QStringLiteral("SELECT COUNT(*) FROM tblHist WHERE ID=? AND inDate=? AND inTime=? AND IOName=?"),
               {row.id, row.inDate, row.inTime, row.ioName}) ||
      rs.Value(0).toInt() < 1)
    return false;
  MemberRecord member;
  return FindMember(id, member) == LookupResult::Found &&
         (entry ? member.lastIn : member.lastOut).toString() == nowText;
}
}  // namespace

EventWrite RecordEvent(const QString& id, bool entry, const QString& nowText, const HistoryRow& row,
                       QString* error) {
  // The member's row was read before, outside the transaction: its first statement is a write,
  // so a driver that starts transactions deferred takes the write lock at once (one that read
  // first would fail when another writer waits).
  db::Connection& connection = gcnDB();
  if (!connection.Begin(error)) return EventWrite::LastTimeFailed;
  if (!WriteLastTime(id, entry, nowText, error)) {
    connection.Rollback();
    return EventWrite::LastTimeFailed;
  }
  if (!InsertHistoryRow(row, error)) {
    connection.Rollback();
    return EventWrite::HistoryFailed;
  }
  switch (connection.Commit(error)) {
    case db::CommitResult::Stored: return EventWrite::Stored;
    case db::CommitResult::NotStored: return EventWrite::HistoryFailed;
    case db::CommitResult::Unknown: break;
  }
  return EventStored(id, entry, nowText, row) ? EventWrite::Stored : EventWrite::HistoryFailed;
}

bool SetHistoryPhoto(const HistoryRow& row, const QString& imgFile, QString* error) {
  return db::Execute(gcnDB(),
                     QStringLiteral("UPDATE tblHist SET imgFile=? WHERE ID=? AND inDate=? AND inTime=? "
                                    "AND IOName=?"),
                     {imgFile, row.id, row.inDate, row.inTime, row.ioName}, nullptr, error);
}

GreetingPick PickGreeting(bool entry) {
  GreetingPick pick;
  const QString sql = entry ? QStringLiteral("select * from tblMessage where InYes = -1")
                            : QStringLiteral("select * from tblMessage where InYes <> -1");
  db::Recordset& rs = grsMessage();
  if (!rs.Open(gcnDB(), sql)) {
    pick.failed = true;
    return pick;
  }
  if (rs.RecordCount() > 0) {
    const int n = RandomPick(rs.RecordCount());
    rs.MoveFirst();
    rs.Move(std::min(n, rs.RecordCount()) - 1);
    pick.found = true;
    pick.message = rs.Text(QStringLiteral("Message"));
  }
  rs.Close();
  return pick;
}
