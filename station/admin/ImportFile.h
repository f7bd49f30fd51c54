#pragma once
// The member import file, read line by line so that a file of any size takes little memory:
// its encoding, its lines and their columns.
#include <QFile>
#include <QString>
#include <QStringList>

// Reads an import file one line at a time. The encoding is decided over the whole file when it
// opens: UTF-8 when it starts with a byte-order mark (dropped), or when it is valid UTF-8 and
// not valid CP932; CP932 otherwise. Lines end in CR LF or LF alone.
class ImportFileReader {
 public:
  bool Open(const QString& path);
  // Opens a file whose encoding is known already (a file read before with Utf8() as `utf8`).
  bool OpenAs(const QString& path, bool utf8);
  // The next line without its line end, and the byte offset where it starts; false at the end
  // of the file or when it cannot be read.
  bool Next(QString& line, qint64* offset = nullptr);
  // The line that starts at `offset` (as Next gave it); the next Next reads the line after it.
  bool LineAt(qint64 offset, QString& line);
  bool Utf8() const { return utf8_; }

 private:
  QString Decode(QByteArray bytes) const;
  QFile file_;
  bool utf8_ = false;
};

// One line split into its columns. TAB-separated: every double quote is removed, then the line
// is split at every TAB. CSV: a field that starts with a double quote runs to the quote that
// closes it on the same line, doubled quotes inside standing for one and commas kept; every
// other field runs to the next comma with its double quotes removed. A quote that is not closed
// on its line makes the line unreadable: an empty list and `refused` set to the reason.
QStringList SplitImportLine(const QString& line, bool csv, QString* refused);
