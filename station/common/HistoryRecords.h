#pragma once
// The history as the administrator reads it: the rows of tblHist between two day numbers, each
// with its member's name and honorific (empty for a member deleted since), optionally only those
// of chosen member IDs, in date or in ID order.
#include <QString>
#include <QStringList>

#include <vector>

// One history row as the history window shows it.
struct HistoryListRow {
  int seq = 0;        // SEQ
  QString id;         // tblHist.ID
  QString name;       // tblData.UserName, empty when no member has the ID
  QString honorific;  // tblData.UserAdd, likewise
  QString ioName;     // "入室" or "退室"
  QString inDate;     // yyyymmdd as digits
  QString inTime;     // hh:mm:ss
  QString imgFile;    // the photo's file name, or empty
};

enum class HistoryOrder {
  ByDate,  // date, time, ID
  ById,    // ID, date, time
};

struct HistoryFilter {
  int after = 10000000;   // inDate lies above this day number...
  int before = 99999999;  // ...and below this one (both bounds excluded)
  bool byIds = false;     // only the rows of `ids` (no restriction when `ids` is empty)
  QStringList ids;
  HistoryOrder order = HistoryOrder::ByDate;
};

// Reads the rows the filter selects into `rows` (emptied first). The chosen IDs go into a
// temporary table of the connection, so any number of them makes one short statement. Returns
// false with the driver's text in `error` when the database fails; `rows` is then empty.
bool QueryHistory(const HistoryFilter& filter, std::vector<HistoryListRow>& rows, QString* error = nullptr);
