#pragma once
// Files and folders of their owner alone (files 0600, folders 0700): those that hold secrets or
// members' personal data (settings, database, logs and mail traces, photographs, FTP records).
// And the one way the program writes a file: every write, the flush to the disk and the close
// checked, so that a full disk is told as a failure and leaves no partial file.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace files {

// The modes of a private file and a private folder.
inline constexpr int kPrivateFileMode = 0600;
inline constexpr int kPrivateFolderMode = 0700;
inline constexpr QFileDevice::Permissions kPrivateFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Makes `path` a folder of its owner alone, creating it (its missing parents with the usual
// mode). An existing folder keeps its mode, unless `existingToo`. False when no folder stands
// there afterwards, or `existingToo` and its mode could not be set.
bool MakePrivateFolder(const QString& path, bool existingToo = false);

// Makes an existing file its owner's alone. False when it is missing or its mode cannot be set.
bool MakePrivate(const QString& path);

// Makes an existing folder and the plain files directly in it their owner's alone (links and
// what they point at are left alone). True when `folder` is missing; false when a mode could not
// be set.
bool MakePrivateTree(const QString& folder);

// Creates `path` as a new, empty file of its owner alone; false when anything (a file, a link)
// stands there already, or it cannot be created.
bool CreateExclusive(const QString& path);

// Creates a new, empty file of its owner alone in `folder`, named `prefix`, six random
// characters and `suffix`; its path, or the empty text when none could be created.
QString CreateUnique(const QString& folder, const QString& prefix, const QString& suffix);

// The file that writing `path` changes: `path` itself, or, when it is a symbolic link, the file
// at the end of its chain of links (a link to a missing file names the file to make). The empty
// text when the chain does not end (`code` gets ELOOP) or a link cannot be read.
QString WriteTarget(const QString& path, int* code = nullptr);

// A whole new content for a file, in two steps, for a file that must change together with
// something else: Prepare writes it into a new private file beside the file it replaces (where
// the links of `path` lead: a link stays a link) and leaves that file as it is; Commit renames it
// over that file and (with `sync`) makes the rename itself last through a power cut. A prepared
// file that is never committed is removed with the object. `error` gets why a step failed.
class PendingWrite {
 public:
  PendingWrite() = default;
  ~PendingWrite();
  PendingWrite(const PendingWrite&) = delete;
  PendingWrite& operator=(const PendingWrite&) = delete;

  // False when the new file could not be written whole (with `sync`: flushed to the disk).
  bool Prepare(const QString& path, const QByteArray& bytes, QString* error = nullptr,
               bool sync = true);
  // False when nothing is prepared or the rename failed (the file is then as it was), or when
  // the folder could not be flushed after it (the file then holds the new content).
  bool Commit(QString* error = nullptr);

 private:
  void Discard();
  QString path_;      // as the caller named it, for the messages
  QByteArray target_;  // the file replaced
  QByteArray temp_;    // the prepared file, empty when none waits
  bool sync_ = true;
};

// Writes `bytes` as the whole new content of `path` (Prepare and Commit of a PendingWrite): once
// every write, the close and (with `sync`) the flush to the disk succeeded, the new file takes
// the old one's place. Otherwise `path` stays as it was. `error` gets why.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                bool sync = true);

// Appends `bytes` to `path` (or where its links lead; created its owner's alone when missing,
// made so when it exists). When any byte cannot be written the file is cut back to its length
// before, so that no part of `bytes` stays, and a file this call created is removed again.
// `error` gets why.
bool Append(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace files
