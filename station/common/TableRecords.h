#pragma once
// The two tables the administrator edits, as the database holds them: the members (tblData, the
// columns the member table shows) and the greeting messages (tblMessage). Loads read a table
// whole or report that they could not; writes run inside a transaction (RunInTransaction), so
// that a failure leaves the table as it was.
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "common/MemberRoster.h"

namespace db {
class Statement;
}

// One greeting message: its text and whether it greets entries (else exits).
struct GreetingRow {
  QString message;
  bool entry = false;
};

// Where a write failed: the table row (from 1) or 0 for a statement of the table as a whole,
// and the driver's text.
struct RecordsFailure {
  int row = 0;
  QString error;
};

// Runs `work` between a transaction's start and its commit on gcnDB(); rolls back when `work`
// returns false or the commit fails. `error` gets the driver's text of a failed start or commit.
// True only when everything `work` wrote is stored: when the connection failed during the commit,
// `stored` (asked on a new connection) tells whether the database holds it; without it such a
// commit counts as failed.
bool RunInTransaction(const std::function<bool()>& work, QString* error = nullptr,
                      const std::function<bool()>& stored = {});

// Every member, ordered by ID, in the roster's form (no ticks). A Null Date reads as `today`.
bool LoadMemberRows(std::vector<RosterMember>& rows, const QString& today, QString* error = nullptr);
// The same, packed (a million members fit in about a tenth of the memory).
bool LoadMemberRows(PackedMembers& rows, const QString& today, QString* error = nullptr);

// Makes tblData hold exactly `rows` (their IDs unique and checked): deletes the members whose ID
// is no longer among them, inserts the new ones and updates those whose shown fields changed,
// with `today` as their Update. LastIn and LastOut are never written. Runs no transaction of its
// own: the caller holds one.
bool WriteMemberRows(const std::vector<RosterMember>& rows, const QString& today,
                     RecordsFailure* failure = nullptr);

// Every greeting, entry greetings first.
bool LoadGreetingRows(std::vector<GreetingRow>& rows, QString* error = nullptr);

// Makes tblMessage hold exactly `rows`, in their order. No transaction of its own either.
bool WriteGreetingRows(const std::vector<GreetingRow>& rows, RecordsFailure* failure = nullptr);

// A member read from an import file. A null mail address leaves MailAddr unwritten.
struct ImportedMember {
  QString id, name, honorific, kana, mailAddr;
};

// The IDs of every member.
bool LoadMemberIds(QSet<QString>& ids, QString* error = nullptr);

// The next automatic ID of the month `yymm`: the highest ID of the month's range (yymm followed by
// five digits, as a number) plus 1; yymm followed by 00001 when there is none or the query fails.
qint64 NextAutomaticId(const QString& yymm);

// Inserts imported members into tblData, every value bound, `batch` members to a statement (a
// statement of many rows costs the driver little more than one of a single row). Insert() keeps
// the member until its batch is full; Flush() writes the rest. When a statement fails, which of
// its members failed is known only with a batch of 1. Runs no transaction of its own.
class ImportedMemberInserter {
 public:
  explicit ImportedMemberInserter(int batch = 1);
  ~ImportedMemberInserter();
  bool Insert(const ImportedMember& member, QString* error = nullptr);
  bool Flush(QString* error = nullptr);

 private:
  db::Statement* StatementFor(bool mail, int rows, QString* error);
  int batch_;
  std::vector<ImportedMember> pending_;
  // Prepared statements by column set (with or without MailAddr) and number of rows.
  std::vector<std::unique_ptr<db::Statement>> statements_;
  std::vector<std::pair<bool, int>> shapes_;
};

// Inserts `members` in order; `failure` gets the index (from 1) of the member that failed.
bool InsertImportedMembers(const std::vector<ImportedMember>& members,
                           RecordsFailure* failure = nullptr);
