#pragma once
// A fake mount command for the network drive tests: a shell script that records its arguments,
// the credentials file it was given (content and mode), and exits with a chosen code.
#include <QDir>
#include <QFile>
#include <QString>

namespace testnet {

// Writes <dir>/fake-mount, which exits with `exitCode` (or sleeps when `sleeps`).
inline QString WriteFakeMount(const QString& dir, int exitCode, bool sleeps = false) {
  const QString path = dir + QStringLiteral("/fake-mount");
  QFile script(path);
  script.open(QIODevice::WriteOnly | QIODevice::Truncate);
  QByteArray text =
      "#!/bin/sh\n"
      "d=$(dirname \"$0\")\n"
      "printf '%s\\n' \"$@\" > \"$d/args\"\n"
      "creds=$(printf '%s' \"$4\" | sed -n 's/^credentials=\\([^,]*\\).*/\\1/p')\n"
      "cat \"$creds\" > \"$d/creds\"\n"
      "stat -c %a \"$creds\" > \"$d/mode\"\n"
      "echo \"$creds\" > \"$d/credpath\"\n";
  if (sleeps) text += "exec sleep 30\n";
  text += "echo 'mount error(13): Permission denied' >&2\nexit " + QByteArray::number(exitCode) + "\n";
  script.write(text);
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

inline QString Recorded(const QString& dir, const char* name) {
  QFile f(dir + QLatin1Char('/') + QLatin1String(name));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace testnet
