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

// Writes `bytes` as the whole new content of `path`: into a new private file beside it, renamed
// over `path` once every write, the close and (with `sync`) the flush to the disk succeeded.
// Otherwise the file beside is removed and `path` stays as it was. `error` gets why.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                bool sync = true);

// Appends `bytes` to `path` (created its owner's alone when missing, made so when it exists).
// When any byte cannot be written the file is cut back to its length before, so that no part
// of `bytes` stays. `error` gets why.
bool Append(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace files
