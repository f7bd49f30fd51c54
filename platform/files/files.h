#pragma once
// Files and folders of their owner alone (files 0600, folders 0700): those that hold secrets or
// members' personal data (settings, database, logs and mail traces, photographs, FTP records).
#include <QFile>
#include <QString>

namespace files {

// The modes of a private file and a private folder.
inline constexpr int kPrivateFileMode = 0600;
inline constexpr int kPrivateFolderMode = 0700;
inline constexpr QFileDevice::Permissions kPrivateFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Opens `file` in `mode`. A file that this creates is its owner's alone from its creation; one
// that exists is made so when it is opened for writing (where its owner may change its mode).
bool OpenPrivate(QFile& file, QIODevice::OpenMode mode);

// Makes `path` a folder of its owner alone, creating it (its missing parents with the usual
// mode). An existing folder keeps its mode, unless `existingToo`. False when no folder stands
// there afterwards, or `existingToo` and its mode could not be set.
bool MakePrivateFolder(const QString& path, bool existingToo = false);

// Makes an existing file its owner's alone. False when it is missing or its mode cannot be set.
bool MakePrivate(const QString& path);

}  // namespace files
