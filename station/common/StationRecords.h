#pragma once
// The station's records in the database: members (tblData) and their last entry and exit, the
// history rows (tblHist) and the greeting messages (tblMessage). Every window that reads or
// writes them goes through here, on the shared connection gcnDB().
#include <QString>
#include <QVariant>

// A member as the station uses him.
struct MemberRecord {
  QString id;
  QString name;       // UserName
  QString honorific;  // UserAdd
  QString mailAddr;   // MailAddr, addresses separated by ";"
  QVariant lastIn;    // LastIn, invalid when Null
  QVariant lastOut;   // LastOut, invalid when Null
};

enum class LookupResult { Found, NotFound, Failed };

// Looks the member with exactly this ID up. `error` gets the driver's text on Failed.
LookupResult FindMember(const QString& id, MemberRecord& member, QString* error = nullptr);

// The name list's statement: every member by ID (`byID`) or by the reading of the name
// (NameKana). Members of the same reading come in ID order and members without a reading first,
// on every driver, so each page holds the same members whenever it is built again.
QString NameListSql(bool byID);

// Writes `nowText` into the member's LastIn (entry) or LastOut (exit).
bool WriteLastTime(const QString& id, bool entry, const QString& nowText, QString* error = nullptr);

// One row of the history.
struct HistoryRow {
  QString id;
  QString ioName;   // "入室" or "退室"
  int inDate = 0;   // yyyymmdd
  QString inTime;   // hh:mm:ss
  QString imgFile;  // the photo's file name, or empty
};

// The words of the history for an entry and an exit.
QString IoName(bool entry);

bool InsertHistoryRow(const HistoryRow& row, QString* error = nullptr);

// Which write of an event failed.
enum class EventWrite { Stored, LastTimeFailed, HistoryFailed };

// Stores an event whole or not at all: the member's last entry (or exit) time and the event's
// history row in one transaction. A failure rolls both back; `error` gets the driver's text.
EventWrite RecordEvent(const QString& id, bool entry, const QString& nowText, const HistoryRow& row,
                       QString* error = nullptr);

// Names another photo (the empty text: none) in an event's history row, found by its ID, date,
// time and kind.
bool SetHistoryPhoto(const HistoryRow& row, const QString& imgFile, QString* error = nullptr);

// A random greeting of the entry (or exit) messages.
struct GreetingPick {
  bool failed = false;  // the query failed: nothing to show
  bool found = false;   // a message was picked (false: there are none of this kind)
  QString message;
};
GreetingPick PickGreeting(bool entry);
