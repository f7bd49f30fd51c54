#include "history/HistoryCsv.h"

#include "codepage/codepage.h"
#include "files/files.h"

namespace {

void AppendField(QString& line, const QString& value, bool last) {
  line += QLatin1Char('"');
  if (value.contains(QLatin1Char('"')))
    line += QString(value).replace(QLatin1String("\""), QLatin1String("\"\""));
  else
    line += value;
  line += last ? QLatin1String("\"\r\n") : QLatin1String("\",");
}

QString Line(const HistoryListRow& r) {
  QString line;
  AppendField(line, r.id, false);
  AppendField(line, r.name, false);
  AppendField(line, r.ioName, false);
  AppendField(line, r.inDate, false);
  AppendField(line, r.inTime, true);
  return line;
}

}  // namespace

QByteArray HistoryCsvBytes(const std::vector<HistoryListRow>& rows, std::vector<int>* replacedRows) {
  if (replacedRows) replacedRows->clear();
  QString text;
  text.reserve(static_cast<qsizetype>(rows.size()) * 64);
  for (const HistoryListRow& r : rows) text += Line(r);
  QByteArray bytes;
  if (cp::ToAnsi(text, bytes)) return bytes;
  // Some row does not fit: row by row, so that only those rows take the character-wise
  // conversion that writes "?" for what does not fit.
  bytes.clear();
  QByteArray line;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!cp::ToAnsi(Line(rows[i]), line) && replacedRows) replacedRows->push_back(static_cast<int>(i) + 1);
    bytes += line;
  }
  return bytes;
}

CsvResult WriteHistoryCsv(const std::vector<HistoryListRow>& rows, const QString& path) {
  CsvResult result;
  const QByteArray bytes = HistoryCsvBytes(rows, &result.replacedRows);
  if (!files::WriteWhole(path, bytes, &result.error)) result.kind = CsvResult::WriteFailed;
  return result;
}
