#include "support/support_servers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TlsCertArguments(const QString& tlsCert) {
  return tlsCert.isEmpty() ? QStringList() : QStringList{QStringLiteral("--tls-cert"), tlsCert};
}

}  // namespace

QString ServerScriptDir() {
  // Given by the build as an absolute path: __FILE__ is relative when a compiler cache rewrites
  // the source paths, and the tests run from the build folder.
  return QStringLiteral(VELMOR_SERVER_SCRIPT_DIR);
}

ServerProcess::ServerProcess() { process_.setProcessChannelMode(QProcess::SeparateChannels); }

ServerProcess::~ServerProcess() { Stop(); }

bool ServerProcess::IsRunning() const { return process_.state() != QProcess::NotRunning; }

void ServerProcess::Stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

bool ServerProcess::StartScript(const QString& script, const QStringList& arguments) {
  Stop();
  port_ = 0;
  error_.clear();
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  const QString portFile = dir_.filePath(QStringLiteral("port"));
  QFile::remove(portFile);
  process_.setStandardOutputFile(dir_.filePath(QStringLiteral("stdout.log")));
  process_.setStandardErrorFile(dir_.filePath(QStringLiteral("stderr.log")));
  process_.start(kPython, QStringList{ServerScriptDir() + QLatin1Char('/') + script,
                                      QStringLiteral("--port-file"), portFile} +
                              arguments);
  if (!process_.waitForStarted(5000)) {
    error_ = QStringLiteral("cannot start %1: %2").arg(kPython, process_.errorString());
    return false;
  }
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 10000) {
    if (QFileInfo(portFile).size() > 0) {
      port_ = ReadAll(portFile).trimmed().toInt();
      return port_ > 0;
    }
    if (process_.waitForFinished(5)) break;  // the server died
  }
  error_ = QStringLiteral("%1 did not come up: %2")
               .arg(script, QString::fromUtf8(ReadAll(dir_.filePath(QStringLiteral("stderr.log")))));
  Stop();
  return false;
}

QStringList ServerProcess::LogLines(const QString& fileName) const {
  return QString::fromUtf8(ReadAll(dir_.filePath(fileName))).split(QLatin1Char('\n'),
                                                                    Qt::SkipEmptyParts);
}

bool SmtpServer::Start(const SmtpOptions& options) {
  QStringList arguments{QStringLiteral("--maildir"), Dir() + QStringLiteral("/mail"),
                        QStringLiteral("--port"), QString::number(options.port)};
  if (!options.user.isEmpty())
    arguments << QStringLiteral("--auth") << options.user + QLatin1Char(':') + options.password
              << QStringLiteral("--mechanisms") << options.mechanisms.join(QLatin1Char(','));
  if (!options.rejectRecipient.isEmpty())
    arguments << QStringLiteral("--reject-rcpt") << options.rejectRecipient;
  if (options.dropDataAfter >= 0)
    arguments << QStringLiteral("--drop-data") << QString::number(options.dropDataAfter);
  if (options.hangAfterData) arguments << QStringLiteral("--hang-after-data");
  if (options.holdDataSeconds > 0)
    arguments << QStringLiteral("--hold-data") << QString::number(options.holdDataSeconds);
  if (options.holdGreetingSeconds > 0)
    arguments << QStringLiteral("--hold-greeting") << QString::number(options.holdGreetingSeconds);
  if (options.holdRepliesSeconds > 0)
    arguments << QStringLiteral("--hold-replies") << QString::number(options.holdRepliesSeconds);
  if (options.tls != SmtpTls::None) {
    static const char* const kModes[] = {"", "offer", "require", "refuse", "implicit"};
    arguments << QStringLiteral("--tls") << QString::fromLatin1(kModes[int(options.tls)])
              << QStringLiteral("--tls-cert") << options.tlsCert;
  }
  return StartScript(QStringLiteral("smtp_server.py"), arguments);
}

QStringList SmtpServer::Messages() const {
  QDir mail(Dir() + QStringLiteral("/mail"));
  QStringList out;
  for (const QString& name : mail.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name))
    out.append(mail.filePath(name));
  return out;
}

QByteArray SmtpServer::MessageBytes(int index) const { return ReadAll(Messages().value(index)); }

QJsonObject SmtpServer::Envelope(int index) const {
  QString path = Messages().value(index);
  path.replace(QStringLiteral(".eml"), QStringLiteral(".json"));
  return QJsonDocument::fromJson(ReadAll(path)).object();
}

int SmtpServer::Connections() const { return int(LogLines(QStringLiteral("connections.log")).size()); }

QStringList SmtpServer::Commands() const { return LogLines(QStringLiteral("commands.log")); }

bool Pop3Server::Start(const QString& user, const QString& password, int messages,
                       const QString& tlsCert) {
  return StartScript(QStringLiteral("pop3_server.py"),
                     QStringList{QStringLiteral("--user"), user + QLatin1Char(':') + password,
                                 QStringLiteral("--messages"), QString::number(messages),
                                 QStringLiteral("--log"), Dir() + QStringLiteral("/commands.log")} +
                         TlsCertArguments(tlsCert));
}

QStringList Pop3Server::Commands() const { return LogLines(QStringLiteral("commands.log")); }

int Pop3Server::Connections() const { return int(Commands().count(QStringLiteral("connect"))); }

bool FtpServer::Start(const QString& user, const QString& password, int port,
                      const QString& tlsCert, bool stallDataTls) {
  return StartScript(QStringLiteral("ftp_server.py"),
                     QStringList{QStringLiteral("--port"), QString::number(port),
                                 QStringLiteral("--user"), user + QLatin1Char(':') + password,
                                 QStringLiteral("--home"), Home(), QStringLiteral("--log"),
                                 Dir() + QStringLiteral("/ftp.log"), QStringLiteral("--commands"),
                                 Dir() + QStringLiteral("/commands.log")} +
                         TlsCertArguments(tlsCert) +
                         (stallDataTls ? QStringList{QStringLiteral("--stall-data-tls")} : QStringList()));
}

QString FtpServer::Home() const { return Dir() + QStringLiteral("/home"); }

QStringList FtpServer::Commands() const { return LogLines(QStringLiteral("commands.log")); }

bool SilentServer::Start(int port) {
  return StartScript(QStringLiteral("silent_server.py"), {QStringLiteral("--port"), QString::number(port)});
}

bool TestCertificates::Make() {
  QProcess python;
  python.start(kPython, {ServerScriptDir() + QStringLiteral("/make_certs.py"),
                         QStringLiteral("--out"), dir_.path()});
  if (dir_.isValid() && python.waitForFinished(30000) && python.exitCode() == 0 &&
      QFileInfo(OtherName()).size() > 0)
    return true;
  error_ = QStringLiteral("no test certificates: ") + QString::fromUtf8(python.readAllStandardError());
  return false;
}

namespace {
const char* const kCaVariables[] = {"SSL_CERT_FILE", "CURL_CA_BUNDLE"};
}  // namespace

TrustedCa::TrustedCa(const char* variable, const QString& caFile) {
  for (int i = 0; i < 2; ++i) {
    wasSet_[i] = qEnvironmentVariableIsSet(kCaVariables[i]);
    saved_[i] = qgetenv(kCaVariables[i]);
    qunsetenv(kCaVariables[i]);
  }
  if (variable) qputenv(variable, QFile::encodeName(caFile));
}

TrustedCa::~TrustedCa() {
  for (int i = 0; i < 2; ++i) {
    if (wasSet_[i])
      qputenv(kCaVariables[i], saved_[i]);
    else
      qunsetenv(kCaVariables[i]);
  }
}

QJsonObject ParseMail(const QString& emlPath) {
  QProcess python;
  python.start(kPython, {ServerScriptDir() + QStringLiteral("/parse_mail.py"), emlPath});
  if (!python.waitForFinished(15000) || python.exitCode() != 0)
    return QJsonObject{{QStringLiteral("error"),
                        QString::fromUtf8(python.readAllStandardError())}};
  return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

std::string Joined(const QStringList& lines) { return lines.join(QLatin1Char('|')).toStdString(); }

namespace {

// Binds a socket to 127.0.0.1:`port` (0: any free one) and returns the port it got, or 0.
int BindAndRelease(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  int got = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    got = ntohs(address.sin_port);
  close(fd);
  return got;
}

}  // namespace

int UnusedPort() { return BindAndRelease(0); }

int UnusedSettingsPort() {
  // Test programs running side by side start apart (by process id) and step past taken ports.
  for (int port = 20000 + getpid() % 9000; port < 32768; port += 97)
    if (BindAndRelease(port) == port) return port;
  return 0;
}

}  // namespace testsupport
