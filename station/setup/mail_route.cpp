#include "mail_route.h"

#include <QCommandLineParser>

#include "codepage/codepage.h"
#include "profile/profile.h"

namespace {

// The own server's login methods: the mail server window's choices, as SYSTEM/mailreg and
// MAIL/regm hold them.
struct AuthMethod {
  const char* name;
  int mailReg;
  int regM;
};
const AuthMethod kMethods[] = {
    {"none", 0, 0}, {"pop", 1, 0}, {"login", 1, 1}, {"cram-md5", 1, 2}, {"plain", 1, 3}};

const char* const kOwnOptions[] = {"own-smtp", "own-pop3", "own-auth", "own-id", "own-password"};

bool Refuse(QString* error, const QString& text) {
  if (error) *error = text;
  return false;
}

// A host the mail server window takes: no blanks, and a "." in it.
bool IsHost(const QString& host) {
  return host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(' ')) &&
         host.simplified() == host;
}

}  // namespace

void AddMailRouteOptions(QCommandLineParser& parser) {
  parser.addOption({"own-smtp",
                    "send every mail through the installation's own SMTP server (a host name with "
                    "a dot, or an address) instead of the service account's server",
                    "host"});
  parser.addOption({"own-auth",
                    "how the own server wants its account: none, pop (a POP3 login before each "
                    "mail), login, cram-md5 or plain (SMTP authentication)",
                    "method", "login"});
  parser.addOption({"own-id", "the account at the own server", "text"});
  parser.addOption({"own-password", "the password of that account", "text"});
  parser.addOption({"own-pop3", "the POP3 server of the pop method (default: the SMTP host)",
                    "host"});
  parser.addOption({"mail-port", "the SMTP port of either server (25, or 587 as the provider says)",
                    "port"});
  parser.addOption({"sender", "the sender address of the station's mails", "address"});
}

bool MailRouteKeys(const QCommandLineParser& parser, bool serviceAccount, const QString& iniPath,
                   QList<IniKey>* keys, QString* error) {
  const QString mail = QStringLiteral("MAIL"), system = QStringLiteral("SYSTEM");
  const bool own = parser.isSet("own-smtp");
  for (const char* name : kOwnOptions)
    if (parser.isSet(name) && !own)
      return Refuse(error, QStringLiteral("--%1 belongs to --own-smtp, which names the own server")
                               .arg(QLatin1String(name)));
  if (own && serviceAccount)
    return Refuse(error, QStringLiteral("--own-smtp and --smtp name two routes: choose one"));

  QList<IniKey> out;
  if (parser.isSet("mail-port")) {
    bool ok = false;
    const int port = parser.value("mail-port").toInt(&ok);
    // The settings file holds the port as a 16-bit number.
    if (!ok || port <= 0 || port > 32767)
      return Refuse(error, QStringLiteral("--mail-port needs a port number from 1 to 32767"));
    out.append({mail, QStringLiteral("port"), QString::number(port)});
  }
  QString sender = parser.value("sender");
  if (parser.isSet("sender")) {
    if (!sender.contains(QLatin1Char('@')))
      return Refuse(error, QStringLiteral("--sender needs a mail address (with \"@\")"));
    out.append({mail, QStringLiteral("mail"), sender});
  }
  if (serviceAccount) out.append({system, QStringLiteral("isserver"), QStringLiteral("True")});
  if (own) {
    const QString smtp = parser.value("own-smtp");
    const QString pop3 = parser.isSet("own-pop3") ? parser.value("own-pop3") : smtp;
    const QString id = parser.value("own-id"), password = parser.value("own-password");
    const AuthMethod* method = nullptr;
    for (const AuthMethod& m : kMethods)
      if (parser.value("own-auth") == QLatin1String(m.name)) method = &m;
    if (!IsHost(smtp))
      return Refuse(error, QStringLiteral("--own-smtp needs a host name with a dot, or an address "
                                          "(\"localhost\" is 127.0.0.1)"));
    if (!IsHost(pop3))
      return Refuse(error, QStringLiteral("--own-pop3 needs a host name with a dot, or an address"));
    if (!method)
      return Refuse(error, QStringLiteral("--own-auth is one of none, pop, login, cram-md5, plain"));
    // The mail server window wants the account even for a server without a login.
    if (id.isEmpty() || password.isEmpty())
      return Refuse(error, QStringLiteral("--own-smtp needs --own-id and --own-password"));
    if (!parser.isSet("sender")) {
      QByteArray held;
      profile::GetPrivateProfileString("MAIL", "mail", "", held, 1024, iniPath);
      if (!cp::FromAnsi(held).contains(QLatin1Char('@')))
        return Refuse(error, QStringLiteral("--own-smtp needs --sender, the address the mails "
                                            "come from"));
    }
    out.append({system, QStringLiteral("isserver"), QStringLiteral("False")});
    out.append({mail, QStringLiteral("mailserver"), smtp});
    out.append({mail, QStringLiteral("pop3server"), pop3});
    out.append({mail, QStringLiteral("mailreg"), QString::number(method->mailReg)});
    out.append({mail, QStringLiteral("regm"), QString::number(method->regM)});
    out.append({mail, QStringLiteral("mailid"), id});
    out.append({mail, QStringLiteral("mailpsw"), password});
  }
  for (const IniKey& k : out) {
    QByteArray bytes;
    if (!cp::ToAnsi(k.value, bytes) || k.value.contains(QLatin1Char('\n')) ||
        k.value.contains(QLatin1Char('\r')))
      return Refuse(error, QStringLiteral("the settings file cannot hold the value of %1/%2")
                               .arg(k.section, k.key));
  }
  if (keys) *keys = out;
  return true;
}

bool WriteSettingsKeys(const QString& iniPath, const QList<IniKey>& keys, QString* error) {
  QList<profile::ProfileEntry> entries;
  for (const IniKey& k : keys)
    entries.append({cp::ToAnsiLossy(k.section), cp::ToAnsiLossy(k.key), cp::ToAnsiLossy(k.value)});
  if (entries.isEmpty() || profile::WritePrivateProfileStrings(entries, iniPath)) return true;
  return Refuse(error, QStringLiteral("cannot write %1").arg(iniPath));
}
