#include "profile.h"

#include <QFile>
#include <QHash>
#include <QList>

#include <cstring>
#include <optional>
#include <vector>

#include "codepage/codepage.h"

namespace profile {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A name as sections and keys are matched: without blanks around it and without letter case.
QByteArray MatchName(const QByteArray& name) { return name.trimmed().toLower(); }

// The value of a key line: without blanks around it, and without double or single quotation
// marks that enclose it.
QByteArray Unquoted(QByteArray value) {
  value = value.trimmed();
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.mid(1, value.size() - 2);
  return value;
}

}  // namespace

// A file's lines and where its sections and keys are, found in one pass over its bytes. A line
// "[name]" (blanks around it allowed; without the "]" its name is empty) begins a section; in it,
// a line with "=" that is not a comment (";") is a key line. Lines before the first section and
// every other line are kept as they stand. Only the first section of a name counts, and in it
// only the first line of a key.
class Document {
 public:
  // Reads `path`; false when it cannot be read (it then holds no line).
  bool Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    data_ = file.readAll();
    Index();
    return true;
  }

  // The value of `key` in `section`, or nothing.
  std::optional<QByteArray> Value(const QByteArray& section, const QByteArray& key) const {
    const auto s = sectionOf_.constFind(MatchName(section));
    if (s == sectionOf_.cend()) return std::nullopt;
    const auto k = sections_[*s].keys.constFind(MatchName(key));
    if (k == sections_[*s].keys.cend()) return std::nullopt;
    const QByteArray line = Text(*k);
    return Unquoted(line.mid(line.indexOf('=') + 1));
  }

  // Sets `key` in `section` to `value`: the key line of the section is replaced; a missing key is
  // added after the section's last line that is not blank; a missing section is added at the end
  // of the file with the key.
  void Set(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const QByteArray line = key.trimmed() + '=' + value;
    const QByteArray name = MatchName(section);
    auto s = sectionOf_.constFind(name);
    if (s == sectionOf_.cend()) {
      Section added;
      added.header = -1;
      added.headerText = '[' + section.trimmed() + ']';
      s = sectionOf_.insert(name, static_cast<int>(sections_.size()));
      sections_.push_back(std::move(added));
    }
    Section& target = sections_[*s];
    const QByteArray keyName = MatchName(key);
    const auto k = target.keys.constFind(keyName);
    if (k != target.keys.cend()) {
      if (*k >= 0) replaced_.insert(*k, line);
      else target.added[-*k - 1] = line;
      return;
    }
    target.added.push_back(line);
    target.keys.insert(keyName, -static_cast<int>(target.added.size()));
  }

  // The file's bytes: every line ended by CR LF.
  QByteArray Bytes() const {
    QHash<int, int> addedAfter;  // a line -> the section whose added lines follow it
    qsizetype size = data_.size() + 2 * static_cast<qsizetype>(lines_.size());
    for (size_t i = 0; i < sections_.size(); ++i) {
      if (sections_[i].header >= 0 && !sections_[i].added.empty())
        addedAfter.insert(sections_[i].lastContent, static_cast<int>(i));
      for (const QByteArray& line : sections_[i].added) size += line.size() + 2;
      size += sections_[i].headerText.size() + 2;
    }
    QByteArray out;
    out.reserve(size);
    auto append = [&out](const QByteArray& line) { out += line; out += "\r\n"; };
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
      const auto r = replaced_.constFind(i);
      if (r != replaced_.cend()) {
        append(*r);
      } else {
        out.append(data_.constData() + lines_[i].start, lines_[i].length);
        out += "\r\n";
      }
      const auto a = addedAfter.constFind(i);
      if (a != addedAfter.cend())
        for (const QByteArray& line : sections_[*a].added) append(line);
    }
    for (const Section& section : sections_) {
      if (section.header >= 0) continue;
      append(section.headerText);
      for (const QByteArray& line : section.added) append(line);
    }
    return out;
  }

 private:
  struct Line {
    qsizetype start;
    qsizetype length;  // without the line end
  };
  struct Section {
    int header = -1;       // its header line; -1 for a section added by Set
    int lastContent = -1;  // its last line that is not blank (the header when none is)
    QHash<QByteArray, int> keys;  // matched name -> its line, or -(n + 1) for added line n
    std::vector<QByteArray> added;  // key lines added by Set, in order
    QByteArray headerText;          // the header line of a section added by Set
  };

  QByteArray Text(int line) const { return data_.mid(lines_[line].start, lines_[line].length); }

  void Index() {
    const char* data = data_.constData();
    const qsizetype size = data_.size();
    int current = -1;  // the section whose lines these are; -1 before the first or in a repeated one
    for (qsizetype start = 0; start < size;) {
      const char* nl = static_cast<const char*>(std::memchr(data + start, '\n', size - start));
      const qsizetype end = nl ? nl - data : size;
      qsizetype length = end - start;
      if (length > 0 && data[end - 1] == '\r') --length;
      // A last line without a line end is a line; an empty one is none.
      if (nl || length > 0) Classify(start, length, current);
      start = end + 1;
    }
  }

  void Classify(qsizetype start, qsizetype length, int& current) {
    const int index = static_cast<int>(lines_.size());
    lines_.push_back({start, length});
    const char* text = data_.constData() + start;
    qsizetype first = 0, last = length;
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    if (first == last) return;
    if (text[first] == '[') {
      const char* close = static_cast<const char*>(std::memchr(text + first, ']', last - first));
      const QByteArray name =
          close ? MatchName(QByteArray(text + first + 1, close - text - first - 1)) : QByteArray();
      current = -1;
      if (sectionOf_.contains(name)) return;
      current = static_cast<int>(sections_.size());
      sectionOf_.insert(name, current);
      Section section;
      section.header = section.lastContent = index;
      sections_.push_back(std::move(section));
      return;
    }
    if (current < 0) return;
    Section& section = sections_[current];
    section.lastContent = index;
    if (text[first] == ';') return;
    const char* eq = static_cast<const char*>(std::memchr(text, '=', length));
    if (!eq) return;
    const QByteArray key = MatchName(QByteArray(text, eq - text));
    if (!section.keys.contains(key)) section.keys.insert(key, index);  // the first line counts
  }

  QByteArray data_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;  // the first section of each name, then those Set added
  QHash<QByteArray, int> sectionOf_;  // matched name -> index in sections_
  QHash<int, QByteArray> replaced_;   // key lines Set replaced
};

ProfileSnapshot::ProfileSnapshot(const QString& path) : doc_(std::make_unique<Document>()) {
  doc_->Load(path);
}

ProfileSnapshot::~ProfileSnapshot() = default;

int ProfileSnapshot::Get(const QByteArray& section, const QByteArray& key, const QByteArray& def,
                         QByteArray& out, int size) const {
  const QByteArray value = doc_->Value(section, key).value_or(def);
  out = size > 0 ? cp::CutAnsi(value, size - 1) : QByteArray();
  return out.size();
}

int GetPrivateProfileString(const QByteArray& section, const QByteArray& key,
                            const QByteArray& def, QByteArray& out, int size,
                            const QString& path) {
  return ProfileSnapshot(path).Get(section, key, def, out, size);
}

bool ReadsBackUnchanged(const QByteArray& value, int size) {
  return !value.contains('\r') && !value.contains('\n') && Unquoted(value) == value &&
         size > 0 && cp::CutAnsi(value, size - 1) == value;
}

namespace {

// What a file cannot hold: a line break (it would break the file), an "=" in a key, a key that
// would read as a comment or a section, a section name with "]".
bool Writable(const ProfileEntry& e) {
  const QByteArray key = e.key.trimmed();
  return !(e.value.contains('\r') || e.value.contains('\n') || e.key.contains('\n') ||
           e.section.contains('\n') || e.key.contains('=') || key.startsWith(';') ||
           key.startsWith('[') || e.section.contains(']'));
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

bool PendingProfile::Prepare(const QList<ProfileEntry>& entries, const QString& path) {
  for (const ProfileEntry& e : entries)
    if (!Writable(e)) return false;
  Document document;
  document.Load(path);
  for (const ProfileEntry& e : entries) document.Set(e.section, e.key, e.value);
  // Created 0600, whatever mode the old file had: the settings hold passwords.
  return write_.Prepare(path, document.Bytes());
}

bool PendingProfile::Replace() { return write_.Commit(); }

}  // namespace profile
