#include "admin/ImportFile.h"

#include <QStringDecoder>

#include "codepage/codepage.h"

QString DecodeImportFile(const QByteArray& bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  const QString ansi = cp::FromAnsi(bytes);
  if (!ansi.contains(QChar::ReplacementCharacter)) return ansi;
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  return utf8.hasError() ? ansi : text;
}

namespace {

void EndLine(std::vector<QStringList>& lines, QString& line) {
  if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  line.remove(QLatin1Char('"'));
  lines.push_back(line.split(QLatin1Char('\t')));
  line.clear();
}

std::vector<QStringList> SplitTabLines(const QString& text) {
  std::vector<QStringList> lines;
  QString line;
  for (QChar c : text) {
    if (c == QLatin1Char('\n')) EndLine(lines, line);
    else line += c;
  }
  if (!line.isEmpty()) EndLine(lines, line);
  return lines;
}

}  // namespace

std::vector<QStringList> SplitImportLines(const QString& text, bool csv) {
  if (!csv) return SplitTabLines(text);
  std::vector<QStringList> lines;
  QStringList fields;
  QString field;
  const qsizetype n = text.size();
  qsizetype i = 0;
  bool lineOpen = false;
  auto endField = [&] {
    fields << field;
    field.clear();
  };
  while (i < n) {
    lineOpen = true;
    if (field.isEmpty() && text[i] == QLatin1Char('"')) {
      // A quoted field: to the closing quote; what follows it up to the comma is kept too.
      ++i;
      while (i < n) {
        if (text[i] == QLatin1Char('"')) {
          if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            field += QLatin1Char('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
      // Characters after the closing quote belong to the field, without quotes; the field stays
      // non-empty-started so that a later quote is not taken for an opening one.
      while (i < n && text[i] != QLatin1Char(',') && text[i] != QLatin1Char('\n')) {
        if (text[i] != QLatin1Char('"') && text[i] != QLatin1Char('\r')) field += text[i];
        ++i;
      }
      continue;
    }
    const QChar c = text[i++];
    if (c == QLatin1Char(',')) {
      endField();
    } else if (c == QLatin1Char('\n')) {
      if (field.endsWith(QLatin1Char('\r'))) field.chop(1);
      endField();
      lines.push_back(fields);
      fields.clear();
      lineOpen = false;
    } else if (c != QLatin1Char('"')) {
      field += c;
    }
  }
  if (lineOpen) {
    if (field.endsWith(QLatin1Char('\r'))) field.chop(1);
    endField();
    lines.push_back(fields);
  }
  return lines;
}
