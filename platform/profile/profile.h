#pragma once
// Initialisation files in the manner of the private profile calls: "[section]" lines, "key=value"
// lines, ";" comments. Sections and keys are matched without letter case; every other line of the
// file is kept as it stands. The functions work on the file's own bytes (CP932 for the station).
#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

#include "files/files.h"

namespace profile {

class Document;

// A file read once for many reads: each Get answers as GetPrivateProfileString would for the file
// as it was read (a missing file answers every key with its default). Reading it and each Get
// take time in proportion to the file's length and the key's, never more.
class ProfileSnapshot {
 public:
  explicit ProfileSnapshot(const QString& path);
  ~ProfileSnapshot();
  ProfileSnapshot(const ProfileSnapshot&) = delete;
  ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

  int Get(const QByteArray& section, const QByteArray& key, const QByteArray& def, QByteArray& out,
          int size) const;

 private:
  std::unique_ptr<Document> doc_;
};

// Reads the value of `key` in `section` into `out`, cut to at most size - 1 bytes (never inside
// a two-byte character). A missing file, section or key gives `def`. Returns the number of bytes
// placed in `out`.
int GetPrivateProfileString(const QByteArray& section, const QByteArray& key,
                            const QByteArray& def, QByteArray& out, int size,
                            const QString& path);

// Whether `value`, written as the value of a key, is read back as the same bytes by a read that
// takes at most `size` - 1 bytes: false for blanks around it or quotation marks that enclose it
// (the read takes them off), a line break (the write refuses it) and a value longer than the
// read takes.
bool ReadsBackUnchanged(const QByteArray& value, int size);

// Writes `key`=`value` into `section`, creating the key, the section or the file. The file is
// replaced as a whole through a temporary file and a rename (files::WriteWhole: a settings file
// that is a link keeps being one, and the file it names gets the new content), so that a crash
// never leaves it half written; the file is its owner's alone afterwards (mode 0600), whatever
// its mode was. Returns
// false when nothing was written (a value with a line break, which would break the file; a key
// with "=" or beginning with ";" or "[", or a section with "]", which could never be read back;
// or a failed write).
bool WritePrivateProfileString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& value, const QString& path);

// One key of a batch write.
struct ProfileEntry {
  QByteArray section;
  QByteArray key;
  QByteArray value;
};

// Writes every entry, in order, as WritePrivateProfileString would one by one, but replaces the
// file once: afterwards it holds all of them or, when this returns false, none of them.
bool WritePrivateProfileStrings(const QList<ProfileEntry>& entries, const QString& path);

// The same batch write in two steps, for a file that must change together with something else:
// Prepare writes the new file beside the target and leaves the target as it is; Replace puts it
// in place with one rename (a files::PendingWrite). A prepared file that is never put in place
// is removed with the object.
class PendingProfile {
 public:
  PendingProfile() = default;
  PendingProfile(const PendingProfile&) = delete;
  PendingProfile& operator=(const PendingProfile&) = delete;

  // False when nothing could be prepared (as WritePrivateProfileStrings fails).
  bool Prepare(const QList<ProfileEntry>& entries, const QString& path);
  // False when no file is prepared or the rename failed; the target is then as it was.
  bool Replace();

 private:
  files::PendingWrite write_;
};

}  // namespace profile
