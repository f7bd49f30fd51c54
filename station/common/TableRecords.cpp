#include "common/TableRecords.h"

#include <QHash>

#include <algorithm>

#include "common/globals.h"
#include "db/db.h"

namespace {

// Texts are bound as texts, never as Null: an empty cell is stored as the empty text.
QString Bound(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

QString FieldText(const db::Recordset& rs, int column, const QString& whenNull = QString()) {
  const QVariant v = rs.Value(column);
  if (!v.isValid() || v.isNull()) return whenNull.isNull() ? QStringLiteral("") : whenNull;
  return v.toString();
}

// The first seven fields of a member's record, by position: ID, UserName, UserAdd, NameKana,
// MailName, MailAddr, Date (`dateWhenNull` for a Null date).
RosterMember ShownFields(const db::Recordset& rs, const QString& dateWhenNull) {
  RosterMember m;
  m.id = FieldText(rs, 0);
  m.name = FieldText(rs, 1);
  m.honorific = FieldText(rs, 2);
  m.kana = FieldText(rs, 3);
  m.mailName = FieldText(rs, 4);
  m.mailAddr = FieldText(rs, 5);
  m.date = FieldText(rs, 6, dateWhenNull);
  return m;
}

bool SameShown(const RosterMember& a, const RosterMember& b) {
  return a.name == b.name && a.honorific == b.honorific && a.kana == b.kana &&
         a.mailName == b.mailName && a.mailAddr == b.mailAddr && a.date == b.date;
}

}  // namespace

bool RunInTransaction(const std::function<bool()>& work, QString* error,
                      const std::function<bool()>& stored) {
  db::Connection& connection = gcnDB();
  if (!connection.Begin(error)) return false;
  if (!work()) {
    connection.Rollback();
    return false;
  }
  QString commitError;
  switch (connection.Commit(&commitError)) {
    case db::CommitResult::Stored: return true;
    case db::CommitResult::NotStored: break;
    case db::CommitResult::Unknown:
      if (stored && stored()) return true;
      break;
  }
  if (error && error->isEmpty()) *error = commitError;
  return false;
}

namespace {

// Hands every member to `take`, ordered by ID. The table is read a page at a time, each page
// from the ID after the last one read (the primary key): a driver that reads a query's whole
// result before its first row (the SQLite ODBC driver under a client cursor, psqlODBC) then never
// holds more than a page of a large table.
bool ForEachMember(const QString& today, const std::function<void(const RosterMember&)>& take, QString* error) {
  constexpr int kPage = 10000;
  const QString first = QStringLiteral("select * from tblData ORDER BY ID LIMIT %1").arg(kPage);
  const QString next = QStringLiteral("select * from tblData WHERE ID > ? ORDER BY ID LIMIT %1").arg(kPage);
  // Every page of the table is read once: through SQLite's bounded page cache, not its memory map.
  struct Unmapped {
    Unmapped() { gcnDB().MapFile(false); }
    ~Unmapped() { gcnDB().MapFile(true); }
  } unmapped;
  QString last;
  for (bool firstPage = true;; firstPage = false) {
    db::Recordset rs;
    if (!rs.Open(gcnDB(), firstPage ? first : next, firstPage ? QVariantList() : QVariantList{last})) {
      if (error) *error = rs.LastError();
      return false;
    }
    if (rs.FieldNames().size() < 7) {
      if (error) *error = QStringLiteral("tblData has %1 fields").arg(rs.FieldNames().size());
      return false;
    }
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      const RosterMember m = ShownFields(rs, today);
      take(m);
      last = m.id;
    }
    if (rs.RecordCount() < kPage) return true;
  }
}

}  // namespace

bool LoadMemberRows(std::vector<RosterMember>& rows, const QString& today, QString* error) {
  rows.clear();
  return ForEachMember(today, [&rows](const RosterMember& m) { rows.push_back(m); }, error);
}

bool LoadMemberRows(PackedMembers& rows, const QString& today, QString* error) {
  rows.Clear();
  return ForEachMember(today, [&rows](const RosterMember& m) { rows.Append(m); }, error);
}

bool WriteMemberRows(const std::vector<RosterMember>& rows, const QString& today,
                     RecordsFailure* failure) {
  auto fail = [failure](int row, const QString& error) {
    if (failure) *failure = {row, error};
    return false;
  };
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QStringLiteral("select ID, UserName, UserAdd, NameKana, MailName, MailAddr, "
                                       "\"Date\" from tblData")))
    return fail(0, rs.LastError());
  QHash<QString, RosterMember> stored;
  stored.reserve(rs.RecordCount());
  // A Null date reads as empty, which is never the date of a checked row: the row is written.
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    RosterMember m = ShownFields(rs, QString());
    stored.insert(m.id, std::move(m));
  }
  rs.Close();

  QHash<QString, int> shown;
  shown.reserve(static_cast<qsizetype>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) shown.insert(rows[i].id, static_cast<int>(i));

  QString error;
  for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
    if (shown.contains(it.key())) continue;
    if (!db::Execute(gcnDB(), QStringLiteral("DELETE FROM tblData WHERE ID=?"), {it.key()}, nullptr,
                     &error))
      return fail(0, error);
  }

  for (size_t i = 0; i < rows.size(); ++i) {
    const RosterMember& m = rows[i];
    const auto found = stored.constFind(m.id);
    bool ok = true;
    if (found == stored.cend()) {
      ok = db::Execute(gcnDB(),
                       QStringLiteral("INSERT INTO tblData (ID, UserName, UserAdd, NameKana, MailName, "
                                      "MailAddr, \"Date\", \"Update\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                       {Bound(m.id), Bound(m.name), Bound(m.honorific), Bound(m.kana),
                        Bound(m.mailName), Bound(m.mailAddr), Bound(m.date), Bound(today)},
                       nullptr, &error);
    } else if (!SameShown(m, *found)) {
      ok = db::Execute(gcnDB(),
                       QStringLiteral("UPDATE tblData SET UserName=?, UserAdd=?, NameKana=?, "
                                      "MailName=?, MailAddr=?, \"Date\"=?, \"Update\"=? WHERE ID=?"),
                       {Bound(m.name), Bound(m.honorific), Bound(m.kana), Bound(m.mailName),
                        Bound(m.mailAddr), Bound(m.date), Bound(today), Bound(m.id)},
                       nullptr, &error);
    }
    if (!ok) return fail(static_cast<int>(i) + 1, error);
  }
  return true;
}

bool LoadGreetingRows(std::vector<GreetingRow>& rows, QString* error) {
  rows.clear();
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QStringLiteral("select * from tblMessage ORDER BY InYes"))) {
    if (error) *error = rs.LastError();
    return false;
  }
  if (!rs.Has(QStringLiteral("Message")) || !rs.Has(QStringLiteral("InYes"))) {
    if (error) *error = QStringLiteral("tblMessage lacks Message or InYes");
    return false;
  }
  rows.reserve(static_cast<size_t>(rs.RecordCount()));
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    rows.push_back({rs.Text(QStringLiteral("Message")), db::IsTrue(rs.Value(QStringLiteral("InYes")))});
  return true;
}

bool WriteGreetingRows(const std::vector<GreetingRow>& rows, RecordsFailure* failure) {
  QString error;
  if (!db::Execute(gcnDB(), QStringLiteral("DELETE FROM tblMessage"), {}, nullptr, &error)) {
    if (failure) *failure = {0, error};
    return false;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!db::Execute(gcnDB(), QStringLiteral("INSERT INTO tblMessage (Message, InYes) VALUES (?, ?)"),
                     {Bound(rows[i].message), db::Bool(rows[i].entry)}, nullptr, &error)) {
      if (failure) *failure = {static_cast<int>(i) + 1, error};
      return false;
    }
  }
  return true;
}

bool LoadMemberIds(QSet<QString>& ids, QString* error) {
  ids.clear();
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QStringLiteral("SELECT ID FROM tblData"))) {
    if (error) *error = rs.LastError();
    return false;
  }
  ids.reserve(rs.RecordCount());
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids.insert(FieldText(rs, 0));
  return true;
}

qint64 NextAutomaticId(const QString& yymm) {
  const qint64 base = yymm.toLongLong() * 100000;
  db::Recordset rs;
  if (!rs.Open(gcnDB(), QStringLiteral("SELECT ID FROM tblData WHERE ID LIKE ?"), {yymm + QLatin1Char('%')}))
    return base + 1;
  // Text order would put 26127 above 261200012: the month's IDs are compared as numbers, and only
  // the nine-digit ones (yymm and five digits) belong to its range.
  qint64 highest = base;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    const QString id = FieldText(rs, 0);
    bool ok = false;
    const qint64 n = id.toLongLong(&ok);
    if (ok && id.size() == 9 && n > highest && n <= base + 99999) highest = n;
  }
  return highest + 1;
}

ImportedMemberInserter::ImportedMemberInserter(int batch) : batch_(std::max(batch, 1)) {
  pending_.reserve(static_cast<size_t>(batch_));
}

ImportedMemberInserter::~ImportedMemberInserter() = default;

db::Statement* ImportedMemberInserter::StatementFor(bool mail, int rows, QString* error) {
  for (size_t i = 0; i < shapes_.size(); ++i)
    if (shapes_[i] == std::make_pair(mail, rows)) return statements_[i].get();
  QString sql = mail ? QStringLiteral("INSERT INTO tblData (ID, UserName, UserAdd, NameKana, MailAddr) VALUES ")
                     : QStringLiteral("INSERT INTO tblData (ID, UserName, UserAdd, NameKana) VALUES ");
  const QString row = mail ? QStringLiteral("(?, ?, ?, ?, ?)") : QStringLiteral("(?, ?, ?, ?)");
  for (int r = 0; r < rows; ++r) sql += (r ? QStringLiteral(", ") : QString()) + row;
  statements_.push_back(std::make_unique<db::Statement>());
  shapes_.emplace_back(mail, rows);
  if (!statements_.back()->Prepare(gcnDB(), sql, error)) {
    statements_.pop_back();
    shapes_.pop_back();
    return nullptr;
  }
  return statements_.back().get();
}

bool ImportedMemberInserter::Insert(const ImportedMember& m, QString* error) {
  // A member of the other column set ends the batch before it.
  if (!pending_.empty() && pending_.front().mailAddr.isNull() != m.mailAddr.isNull() && !Flush(error))
    return false;
  pending_.push_back(m);
  return static_cast<int>(pending_.size()) < batch_ || Flush(error);
}

bool ImportedMemberInserter::Flush(QString* error) {
  if (pending_.empty()) return true;
  const bool mail = !pending_.front().mailAddr.isNull();
  QVariantList values;
  values.reserve(static_cast<qsizetype>(pending_.size()) * 5);
  for (const ImportedMember& m : pending_) {
    values << Bound(m.id) << Bound(m.name) << Bound(m.honorific) << Bound(m.kana);
    if (mail) values << m.mailAddr;
  }
  db::Statement* insert = StatementFor(mail, static_cast<int>(pending_.size()), error);
  pending_.clear();
  return insert && insert->Execute(values, error);
}

bool InsertImportedMembers(const std::vector<ImportedMember>& members, RecordsFailure* failure) {
  ImportedMemberInserter inserter;
  for (size_t i = 0; i < members.size(); ++i) {
    QString error;
    if (!inserter.Insert(members[i], &error)) {
      if (failure) *failure = {static_cast<int>(i) + 1, error};
      return false;
    }
  }
  return true;
}
