#include "profile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

#include "codepage/codepage.h"

namespace profile {
namespace {

QByteArray Trim(const QByteArray& text) { return text.trimmed(); }

bool SameName(const QByteArray& a, const QByteArray& b) {
  return Trim(a).toLower() == Trim(b).toLower();
}

// The name of a section line "[name]", or a null array when the line is none.
QByteArray SectionName(const QByteArray& line) {
  const QByteArray t = Trim(line);
  if (!t.startsWith('[')) return {};
  const int close = t.indexOf(']');
  if (close < 0) return QByteArray("");
  return t.mid(1, close - 1);
}

// Splits "key=value"; false for lines that are no key line (comments, blanks, no "=").
bool SplitKey(const QByteArray& line, QByteArray& key, QByteArray& value) {
  const QByteArray t = Trim(line);
  if (t.isEmpty() || t.startsWith(';')) return false;
  const int eq = line.indexOf('=');
  if (eq < 0) return false;
  key = Trim(line.left(eq));
  value = Trim(line.mid(eq + 1));
  // A value enclosed in double or single quotation marks is read without them.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.mid(1, value.size() - 2);
  return true;
}

QList<QByteArray> ReadLines(const QString& path, bool* exists) {
  QFile file(path);
  *exists = file.open(QIODevice::ReadOnly);
  QList<QByteArray> lines;
  if (!*exists) return lines;
  const QByteArray data = file.readAll();
  for (QByteArray line : data.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    lines << line;
  }
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

int GetPrivateProfileString(const QByteArray& section, const QByteArray& key,
                            const QByteArray& def, QByteArray& out, int size,
                            const QString& path) {
  bool exists = false;
  const QList<QByteArray> lines = ReadLines(path, &exists);
  QByteArray value = def;
  bool inSection = false;
  for (const QByteArray& line : lines) {
    const QByteArray name = SectionName(line);
    if (!name.isNull()) {
      if (inSection) break;
      inSection = SameName(name, section);
      continue;
    }
    if (!inSection) continue;
    QByteArray k, v;
    if (SplitKey(line, k, v) && SameName(k, key)) {
      value = v;
      break;
    }
  }
  out = size > 0 ? cp::CutAnsi(value, size - 1) : QByteArray();
  return out.size();
}

namespace {

bool Writable(const ProfileEntry& e) {
  return !(e.value.contains('\r') || e.value.contains('\n') || e.key.contains('\n') ||
           e.section.contains('\n') || e.key.contains('='));
}

// Sets one key in the lines of a file, creating its section at the end when it is missing.
void SetKey(QList<QByteArray>& lines, const ProfileEntry& e) {
  const QByteArray newLine = Trim(e.key) + '=' + e.value;

  int sectionStart = -1;  // index of the section's header line
  int sectionEnd = -1;    // index after its last line
  for (int i = 0; i < lines.size(); ++i) {
    const QByteArray name = SectionName(lines[i]);
    if (name.isNull()) continue;
    if (sectionStart >= 0) {
      sectionEnd = i;
      break;
    }
    if (SameName(name, e.section)) sectionStart = i;
  }
  if (sectionStart >= 0 && sectionEnd < 0) sectionEnd = lines.size();

  if (sectionStart < 0) {
    lines << ('[' + Trim(e.section) + ']') << newLine;
    return;
  }
  int lastContent = sectionStart;
  for (int i = sectionStart + 1; i < sectionEnd; ++i) {
    QByteArray k, v;
    if (!Trim(lines[i]).isEmpty()) lastContent = i;
    if (SplitKey(lines[i], k, v) && SameName(k, e.key)) {
      lines[i] = newLine;
      return;
    }
  }
  lines.insert(lastContent + 1, newLine);
}

}  // namespace

bool WritePrivateProfileString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& value, const QString& path) {
  return WritePrivateProfileStrings({{section, key, value}}, path);
}

bool WritePrivateProfileStrings(const QList<ProfileEntry>& entries, const QString& path) {
  PendingProfile pending;
  return pending.Prepare(entries, path) && pending.Replace();
}

PendingProfile::~PendingProfile() { Discard(); }

void PendingProfile::Discard() {
  if (!temp_.isEmpty()) QFile::remove(temp_);
  temp_.clear();
}

bool PendingProfile::Prepare(const QList<ProfileEntry>& entries, const QString& path) {
  Discard();
  for (const ProfileEntry& e : entries)
    if (!Writable(e)) return false;
  bool exists = false;
  QList<QByteArray> lines = ReadLines(path, &exists);
  for (const ProfileEntry& e : entries) SetKey(lines, e);

  QByteArray data;
  for (const QByteArray& line : lines) data += line + "\r\n";

  // A temporary file beside the target, flushed to disk; Replace renames it over the target. It is
  // created 0600 and keeps that mode: the settings hold passwords, whatever mode the old file had.
  QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
  temp.setAutoRemove(true);
  if (!temp.open()) return false;
  if (temp.write(data) != data.size() || !temp.flush() || ::fsync(temp.handle()) != 0) return false;
  temp.close();
  temp.setAutoRemove(false);
  path_ = path;
  temp_ = temp.fileName();
  return true;
}

bool PendingProfile::Replace() {
  if (temp_.isEmpty()) return false;
  if (::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(path_).constData()) != 0) {
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace profile
