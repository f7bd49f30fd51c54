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

// The options whose values go into the settings file.
const char* const kIniOptions[] = {"own-smtp", "own-pop3", "own-auth", "own-id",
                                   "own-password", "mail-port", "sender"};

bool Refuse(QString* error, const QString& text) {
  if (error) *error = text;
  return false;
}

// Why `host` can never name a server, or the empty text. The station joins the host with the
// port of its own setting (MAIL/port for SMTP; a POP3 login always goes to port 110), so a port
// in the host, a blank or a TAB only makes a name that no mail goes to. `port` says where the
// port belongs.
QString NotAHostAlone(const QString& option, const QString& host, const char* port) {
  for (const QChar c : {QLatin1Char(':'), QLatin1Char(' '), QLatin1Char('\t')})
    if (host.contains(c))
      return QStringLiteral("--%1 takes a host name alone, without \":\", blank or TAB: %2")
          .arg(option, QLatin1String(port));
  return {};
}

// The same for a host of the own server, which the mail server window also wants with a "."
// and without blanks around it.
QString NotAnOwnHost(const QString& option, const QString& host, const char* port) {
  const QString problem = NotAHostAlone(option, host, port);
  if (!problem.isEmpty()) return problem;
  if (host.simplified() != host || !host.contains(QLatin1Char('.')))
    return QStringLiteral("--%1 needs a host name with a dot, or an address (\"localhost\" is "
                          "127.0.0.1)").arg(option);
  return {};
}

const char kSmtpPort[] = "its port is --mail-port";
const char kPop3Port[] = "the station asks a POP3 server at port 110, which no option changes";

}  // namespace

void AddMailRouteOptions(QCommandLineParser& parser) {
  parser.addOption({"own-smtp",
                    "send every mail through the installation's own SMTP server (a host name with "
                    "a dot, or an address; its port is --mail-port) instead of the service "
                    "account's server",
                    "host"});
  parser.addOption({"own-auth",
                    "how the own server wants its account: none, pop (a POP3 login before each "
                    "mail), login, cram-md5 or plain (SMTP authentication)",
                    "method", "login"});
  parser.addOption({"own-id", "the account at the own server", "text"});
  parser.addOption({"own-password", "the password of that account", "text"});
  parser.addOption({"own-pop3",
                    "the POP3 server of the pop method, asked at port 110 (default: the SMTP "
                    "host, which it follows while it names that host)",
                    "host"});
  parser.addOption({"mail-port", "the SMTP port of either server (25, or 587 as the provider says)",
                    "port"});
  parser.addOption({"sender", "the sender address of the station's mails", "address"});
}

bool MailRouteKeys(const QCommandLineParser& parser, bool serviceAccount, const QString& iniPath,
                   QList<IniKey>* keys, QString* error) {
  const QString mail = QStringLiteral("MAIL"), system = QStringLiteral("SYSTEM");
  auto held = [&iniPath](const char* section, const char* key) {
    QByteArray bytes;
    profile::GetPrivateProfileString(section, key, "", bytes, kIniReadSize, iniPath);
    return cp::FromAnsi(bytes);
  };
  // A value the station would read back otherwise (a password without its blanks or quotation
  // marks) would only make every login fail.
  for (const char* name : kIniOptions)
    if (parser.isSet(name) && !IniValueReadsBack(parser.value(name)))
      return Refuse(error, QStringLiteral("--%1: the settings file would not give this value back "
                                          "as given (blanks or quotation marks around it, a line "
                                          "break, a character outside CP932, or more than %2 "
                                          "bytes)").arg(QLatin1String(name)).arg(kIniReadSize - 1));
  // A folder that sends through its own server already keeps each of its values that a re-run
  // does not give again.
  bool isServer = true;
  const bool ownAlready = ToFlag(held("SYSTEM", "isserver"), isServer) && !isServer &&
                          !held("MAIL", "mailserver").isEmpty();
  const bool own = parser.isSet("own-smtp");
  bool ownGiven = own;
  for (const char* name : kOwnOptions) {
    if (!parser.isSet(name)) continue;
    ownGiven = true;
    if (!own && !ownAlready)
      return Refuse(error, QStringLiteral("--%1 belongs to --own-smtp, which names the own server "
                                          "(this folder does not send through one yet)")
                               .arg(QLatin1String(name)));
  }
  if (own && serviceAccount)
    return Refuse(error, QStringLiteral("--own-smtp and --smtp name two routes: choose one"));
  if (serviceAccount) {
    if (parser.value("smtp").isEmpty())
      return Refuse(error, QStringLiteral("--smtp needs the host of the service account's server"));
    const QString problem = NotAHostAlone(QStringLiteral("smtp"), parser.value("smtp"), kSmtpPort);
    if (!problem.isEmpty()) return Refuse(error, problem);
  }

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
  if (ownGiven) {
    // Each value as given, else as the folder keeps it, else the option's default. Only what
    // changes is written, unless the folder is new to its own server: then all of it is.
    auto value = [&](const char* option, const char* key, const QString& otherwise) {
      if (parser.isSet(option)) return parser.value(option);
      const QString kept = ownAlready ? held("MAIL", key) : QString();
      return kept.isEmpty() ? otherwise : kept;
    };
    const QString smtp = value("own-smtp", "mailserver", QString());
    // A POP3 server never given follows the SMTP server. The settings file does not say whether
    // it was given, so one that names the old SMTP server is taken as following it.
    QString pop3 = value("own-pop3", "pop3server", smtp);
    if (!parser.isSet("own-pop3") && ownAlready &&
        pop3.compare(held("MAIL", "mailserver"), Qt::CaseInsensitive) == 0)
      pop3 = smtp;
    const QString id = value("own-id", "mailid", QString());
    const QString password = value("own-password", "mailpsw", QString());
    const AuthMethod* method = nullptr;
    if (parser.isSet("own-auth") || !ownAlready) {
      for (const AuthMethod& m : kMethods)
        if (parser.value("own-auth") == QLatin1String(m.name)) method = &m;
      if (!method)
        return Refuse(error, QStringLiteral("--own-auth is one of none, pop, login, cram-md5, plain"));
    }
    QString problem = NotAnOwnHost(QStringLiteral("own-smtp"), smtp, kSmtpPort);
    // The POP3 server is asked only by the pop method (and named by the window's default, none).
    const bool popAsked = method ? method->regM == 0 : held("MAIL", "regm").trimmed() == QLatin1String("0");
    if (problem.isEmpty() && (popAsked || parser.isSet("own-pop3")))
      problem = NotAnOwnHost(QStringLiteral("own-pop3"), pop3, kPop3Port);
    if (!problem.isEmpty()) return Refuse(error, problem);
    // The mail server window wants the account even for a server without a login.
    if (id.isEmpty() || password.isEmpty())
      return Refuse(error, QStringLiteral("--own-smtp needs --own-id and --own-password"));
    if (!parser.isSet("sender") && !held("MAIL", "mail").contains(QLatin1Char('@')))
      return Refuse(error, QStringLiteral("--own-smtp needs --sender, the address the mails "
                                          "come from"));
    auto write = [&](const char* key, const QString& text) {
      if (!ownAlready || held("MAIL", key) != text) out.append({mail, QLatin1String(key), text});
    };
    if (!ownAlready) out.append({system, QStringLiteral("isserver"), QStringLiteral("False")});
    write("mailserver", smtp);
    write("pop3server", pop3);
    if (method) {
      write("mailreg", QString::number(method->mailReg));
      write("regm", QString::number(method->regM));
    }
    write("mailid", id);
    write("mailpsw", password);
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
