#pragma once
// A fake phone book for the dial-up layer: a peers folder, pap-secrets and chap-secrets, a
// folder of network interfaces, and a dial program (a shell script) that records how it was
// called and then brings a ppp interface up, fails, hangs, or brings the link up late. The
// dial-up layer is pointed at it while the object lives.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "dialup/dialup.h"

namespace testsupport {

class FakeDialup {
 public:
  enum class Dial { LinkUp, Fail, Hang, LinkUpLate };

  FakeDialup() {
    QDir(path()).mkpath(QStringLiteral("peers"));
    QDir(path()).mkpath(QStringLiteral("net/lo"));
    Write(QStringLiteral("net/lo/flags"), "0x9\n");
    SetDial(Dial::LinkUp);
    dialup::Paths paths;
    paths.peersDir = path() + QStringLiteral("/peers");
    paths.papSecrets = path() + QStringLiteral("/pap-secrets");
    paths.chapSecrets = path() + QStringLiteral("/chap-secrets");
    paths.dialProgram = path() + QStringLiteral("/pppd");
    paths.interfacesDir = path() + QStringLiteral("/net");
    paths.dialTimeoutSeconds = 1;
    dialup::SetPaths(paths);
  }
  ~FakeDialup() { dialup::SetPaths(dialup::Paths()); }

  QString path() const { return dir_.path(); }

  void AddEntry(const QString& name, const QByteArray& options) {
    Write(QStringLiteral("peers/") + name, options);
  }
  void WriteSecrets(const QByteArray& pap, const QByteArray& chap) {
    Write(QStringLiteral("pap-secrets"), pap);
    Write(QStringLiteral("chap-secrets"), chap);
  }
  // An interface whose flags say up (IFF_UP) or down.
  void SetInterface(const QString& name, bool up) {
    QDir(path()).mkpath(QStringLiteral("net/") + name);
    Write(QStringLiteral("net/") + name + QStringLiteral("/flags"), up ? "0x1091\n" : "0x1090\n");
  }

  void SetDial(Dial behaviour) {
    const QByteArray net = (path() + QStringLiteral("/net")).toUtf8();
    QByteArray action;
    switch (behaviour) {
      case Dial::LinkUp:
        action = "mkdir -p '" + net + "/ppp0'; echo 0x1091 > '" + net + "/ppp0/flags'; exit 0\n";
        break;
      case Dial::Fail: action = "exit 19\n"; break;
      case Dial::Hang: action = "exec sleep 30\n"; break;
      case Dial::LinkUpLate:
        action = "( sleep 0.3; mkdir -p '" + net + "/ppp0'; echo 0x1091 > '" + net +
                 "/ppp0/flags' ) & exit 0\n";
        break;
    }
    const QByteArray log = (path() + QStringLiteral("/dial")).toUtf8();
    Write(QStringLiteral("pppd"),
          "#!/bin/sh\n"
          "n=$(ls '" + log + "'.*.args 2>/dev/null | wc -l)\n"
          "printf '%s\\n' \"$@\" > '" + log + ".'$n'.args'\n"
          "ls -l /proc/$$/fd/ > '" + log + ".'$n'.fds' 2>&1\n"
          "prev=\n"
          "for a in \"$@\"; do\n"
          "  if [ \"$prev\" = file ]; then cat \"$a\" > '" + log + ".'$n'.options';"
          " stat -c %a \"$a\" > '" + log + ".'$n'.mode'; fi\n"
          "  prev=$a\n"
          "done\n" + action);
    QFile::setPermissions(path() + QStringLiteral("/pppd"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // How often the dial program ran, and what it got on its n-th run.
  int Dials() const {
    return int(QDir(path()).entryList({QStringLiteral("dial.*.args")}, QDir::Files).size());
  }
  QStringList Arguments(int n = 0) const {
    return Read(QStringLiteral("dial.%1.args").arg(n)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  QString PasswordOptions(int n = 0) const { return Read(QStringLiteral("dial.%1.options").arg(n)); }
  // The files the dial program found open (`ls -l` of its descriptors).
  QString OpenFiles(int n = 0) const { return Read(QStringLiteral("dial.%1.fds").arg(n)); }
  QString PasswordFileMode(int n = 0) const {
    return Read(QStringLiteral("dial.%1.mode").arg(n)).trimmed();
  }

 private:
  void Write(const QString& relative, const QByteArray& bytes) const {
    QFile file(path() + QLatin1Char('/') + relative);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  }
  QString Read(const QString& relative) const {
    QFile file(path() + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

  QTemporaryDir dir_;
};

}  // namespace testsupport
