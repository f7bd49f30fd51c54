#pragma once
// The history export file: one line per history row, "ID","name","入室|退室","yyyymmdd","hh:mm:ss",
// CP932, CR LF, no header line. A double quote inside a value is doubled. A character CP932
// cannot hold (an emoji, a CJK extension) is written as one "?", and the export goes on.
#include <QByteArray>
#include <QString>

#include <vector>

#include "common/HistoryRecords.h"

struct CsvResult {
  enum Kind { Written, WriteFailed } kind = Written;
  std::vector<int> replacedRows;  // the rows (from 1) where a character became "?"
  QString error;                  // WriteFailed: why
};

// The file's bytes for `rows`; `replacedRows` gets the rows (from 1) where a character CP932
// cannot hold was written as "?".
QByteArray HistoryCsvBytes(const std::vector<HistoryListRow>& rows, std::vector<int>* replacedRows);

// Writes the file `path` whole or not at all: into a temporary file beside it, renamed over it
// once complete.
CsvResult WriteHistoryCsv(const std::vector<HistoryListRow>& rows, const QString& path);
