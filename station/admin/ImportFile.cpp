#include "admin/ImportFile.h"

#include <QStringDecoder>

#include "codepage/codepage.h"

namespace {

constexpr qint64 kBlock = 1 << 20;

bool AllAscii(const QByteArray& bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool ImportFileReader::Open(const QString& path) {
  file_.close();
  file_.setFileName(path);
  if (!file_.open(QIODevice::ReadOnly)) return false;
  utf8_ = false;
  if (file_.peek(3) == "\xEF\xBB\xBF") {
    utf8_ = true;
    return file_.seek(3);
  }
  // One pass over the bytes: CP932 is cut only after a line feed, which is never the second
  // byte of a two-byte character.
  bool ansiValid = true;
  QStringDecoder utf8(QStringDecoder::Utf8);
  QByteArray pending;
  while (!file_.atEnd() && (ansiValid || !utf8.hasError())) {
    const QByteArray block = file_.read(kBlock);
    if (block.isEmpty()) break;
    if (!utf8.hasError()) (void)QString(utf8.decode(block));
    if (!ansiValid) continue;
    pending += block;
    const qsizetype cut = pending.lastIndexOf('\n') + 1;
    if (cut == 0) continue;
    const QByteArray whole = pending.left(cut);
    pending.remove(0, cut);
    if (!AllAscii(whole) && cp::FromAnsi(whole).contains(QChar::ReplacementCharacter)) ansiValid = false;
  }
  if (ansiValid && !pending.isEmpty() && cp::FromAnsi(pending).contains(QChar::ReplacementCharacter))
    ansiValid = false;
  utf8_ = !ansiValid && !utf8.hasError();
  return file_.seek(0);
}

bool ImportFileReader::OpenAs(const QString& path, bool utf8) {
  file_.close();
  file_.setFileName(path);
  utf8_ = utf8;
  return file_.open(QIODevice::ReadOnly);
}

QString ImportFileReader::Decode(QByteArray bytes) const {
  if (bytes.endsWith('\n')) bytes.chop(1);
  if (bytes.endsWith('\r')) bytes.chop(1);
  return utf8_ ? QString::fromUtf8(bytes) : cp::FromAnsi(bytes);
}

bool ImportFileReader::Next(QString& line, qint64* offset) {
  if (!file_.isOpen() || file_.atEnd()) return false;
  if (offset) *offset = file_.pos();
  const QByteArray bytes = file_.readLine();
  if (bytes.isEmpty()) return false;
  line = Decode(bytes);
  return true;
}

bool ImportFileReader::LineAt(qint64 offset, QString& line) {
  return file_.isOpen() && file_.seek(offset) && Next(line);
}

QStringList SplitImportLine(const QString& line, bool csv, QString* refused) {
  if (!csv) {
    QString text = line;
    text.remove(QLatin1Char('"'));
    return text.split(QLatin1Char('\t'));
  }
  if (!line.contains(QLatin1Char('"'))) return line.split(QLatin1Char(','));
  QStringList fields;
  QString field;
  const qsizetype n = line.size();
  qsizetype i = 0;
  auto plain = [&] {
    // Up to the next comma, quotes removed.
    while (i < n && line[i] != QLatin1Char(',')) {
      if (line[i] != QLatin1Char('"')) field += line[i];
      ++i;
    }
  };
  for (;;) {
    if (i < n && line[i] == QLatin1Char('"')) {
      ++i;
      bool closed = false;
      while (i < n) {
        if (line[i] == QLatin1Char('"')) {
          if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
            field += QLatin1Char('"');
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        field += line[i++];
      }
      if (!closed) {
        if (refused) *refused = QStringLiteral("引用符が閉じていません");
        return {};
      }
    }
    // What follows a closing quote belongs to the field too, without quotes.
    plain();
    fields << field;
    field.clear();
    if (i >= n) break;
    ++i;  // the comma
  }
  return fields;
}
