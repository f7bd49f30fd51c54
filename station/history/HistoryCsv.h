#pragma once
// The history export file: one line per history row, "ID","name","入室|退室","yyyymmdd","hh:mm:ss",
// CP932, CR LF, no header line. A double quote inside a value is doubled.
#include <QByteArray>
#include <QString>

#include <vector>

#include "common/HistoryRecords.h"

struct CsvResult {
  enum Kind { Written, Unencodable, WriteFailed } kind = Written;
  int row = 0;     // Unencodable: the first row (from 1) holding a character CP932 cannot hold
  QString error;   // WriteFailed: why
};

// The file's bytes for `rows`; `badRow` gets the first row (from 1) that CP932 cannot hold, 0
// when every row fits (the bytes are then complete).
QByteArray HistoryCsvBytes(const std::vector<HistoryListRow>& rows, int* badRow);

// Writes the file `path` whole or not at all: into a temporary file beside it, renamed over it
// once complete. A row CP932 cannot hold writes nothing.
CsvResult WriteHistoryCsv(const std::vector<HistoryListRow>& rows, const QString& path);
