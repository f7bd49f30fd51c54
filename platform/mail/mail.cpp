#include "mail.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

#include <cstring>
#include <memory>
#include <mutex>

#include "curl_call.h"
#include "files/files.h"
#include "message.h"

namespace mail {
namespace {

struct Settings {
  std::mutex lock;
  net::Limits limits;
  int smtpPort = 25;
  int pop3Port = 110;
};
Settings& Config() {
  static Settings settings;
  return settings;
}

// The message text handed to libcurl. When the mail must be authenticated and no AUTH went out
// (libcurl skips it silently when the server offers none), the first read refuses, so the
// server never sees the end of the data and keeps nothing.
struct Source {
  QByteArray data;
  qsizetype position = 0;
  const curlcall::Call* call = nullptr;
  bool needsAuth = false;
  bool refused = false;
};

size_t ReadSource(char* buffer, size_t size, size_t count, void* arg) {
  auto* source = static_cast<Source*>(arg);
  if (source->position == 0 && source->needsAuth && !source->call->Sent("AUTH ")) {
    source->refused = true;
    return CURL_READFUNC_ABORT;
  }
  const qsizetype n = qMin(qsizetype(size * count), source->data.size() - source->position);
  std::memcpy(buffer, source->data.constData() + source->position, size_t(n));
  source->position += n;
  return size_t(n);
}

int SeekSource(void* arg, curl_off_t offset, int origin) {
  auto* source = static_cast<Source*>(arg);
  if (origin != SEEK_SET || offset < 0 || offset > source->data.size())
    return CURL_SEEKFUNC_CANTSEEK;
  source->position = qsizetype(offset);
  return CURL_SEEKFUNC_OK;
}

// Port 465 speaks TLS from the first byte (submission over TLS); every other port starts in
// plain and is upgraded by STARTTLS when the server offers it.
QByteArray SmtpScheme(int port) { return port == 465 ? "smtps" : "smtp"; }

QByteArray HeloName() {
  const QByteArray name = QSysInfo::machineHostName().toLatin1();
  static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
  return valid.match(QString::fromLatin1(name)).hasMatch() ? name : QByteArray("localhost");
}

struct Slist {
  curl_slist* list = nullptr;
  ~Slist() { curl_slist_free_all(list); }
  void Append(const QByteArray& line) { list = curl_slist_append(list, line.constData()); }
};

struct Mime {
  curl_mime* mime = nullptr;
  ~Mime() { curl_mime_free(mime); }
};

void AppendTrace(const QString& traceFile, const QByteArray& title, const QByteArray& dialogue,
                 const QString& result) {
  if (traceFile.isEmpty()) return;
  // The trace names the recipients: the owner's alone, as the log folder it lies in.
  files::MakePrivateFolder(QFileInfo(traceFile).absolutePath());
  const QByteArray stamp =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1();
  // One exchange is appended whole or not at all; the mail's own result does not depend on it.
  files::Append(traceFile, "==== " + stamp + ' ' + title + "\r\n" + dialogue + "==== " +
                               (result.isEmpty() ? QByteArray("sent") : "failed: " + result.toUtf8()) +
                               "\r\n");
}

// Everything but the dialogue: the message is built, checked and handed to libcurl.
QString Send(const QString& traceFile, const QString& serverText, const QString& recipientsText,
             const QString& senderText, const QString& subject, const QString& bodyText,
             const QString& attachmentsText) {
  net::Limits limits;
  int defaultPort = 25;
  {
    std::lock_guard<std::mutex> guard(Config().lock);
    limits = Config().limits;
    defaultPort = Config().smtpPort;
  }
  Server server;
  QList<QByteArray> recipients;
  Sender sender;
  QString error;
  if (!ParseServer(serverText, defaultPort, &server, &error) ||
      !ParseRecipients(recipientsText, &recipients, &error) ||
      !ParseSender(senderText, &sender, &error)) {
    AppendTrace(traceFile, "SMTP", {}, error);
    return error;
  }
  const QByteArray title = "SMTP " + server.host + ':' + QByteArray::number(server.port);
  // An attachment that cannot be read would only fail after DATA: look at it first.
  QStringList files;
  for (const QString& piece : attachmentsText.split(QLatin1Char('\t'), Qt::SkipEmptyParts)) {
    const QString path = piece.trimmed();
    if (path.isEmpty()) continue;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
      error = QStringLiteral("attachment not readable: %1").arg(path);
      AppendTrace(traceFile, title, {}, error);
      return error;
    }
    files.append(path);
  }

  const Charset charset = ChooseCharset({sender.name, subject, bodyText});
  const Body body = MakeBody(bodyText, charset);
  Slist headers;
  headers.Append(DateHeader());
  headers.Append(FromHeader(sender.name, sender.address, charset));
  headers.Append(ToHeader(recipients));
  headers.Append(SubjectHeader(subject, charset));
  headers.Append(MessageIdHeader(sender.address));

  curlcall::Call call(limits);
  CURL* curl = call.Handle();
  const QByteArray url = SmtpScheme(server.port) + "://" + server.host + ':' +
                         QByteArray::number(server.port) + '/' + HeloName();
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  const QByteArray from = '<' + sender.address + '>';
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
  Slist rcpt;
  for (const QByteArray& address : recipients) rcpt.Append('<' + address + '>');
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt.list);

  const QByteArray user = sender.user.toUtf8();
  const QByteArray password = sender.password.toUtf8();
  const QByteArray loginOptions = "AUTH=" + (sender.method.isEmpty() ? "*" : sender.method);
  if (sender.authenticate) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, loginOptions.constData());
  }

  Source source;
  source.call = &call;
  source.needsAuth = sender.authenticate;
  Mime mime;
  if (files.isEmpty()) {
    QByteArray message;
    for (curl_slist* h = headers.list; h; h = h->next) message += QByteArray(h->data) + "\r\n";
    message += "MIME-Version: 1.0\r\nContent-Type: " + body.contentType +
               "\r\nContent-Transfer-Encoding: " + body.transferEncoding + "\r\n\r\n";
    message += body.transferEncoding == "base64" ? Base64Lines(body.bytes) : body.bytes;
    source.data = message;
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &ReadSource);
    curl_easy_setopt(curl, CURLOPT_READDATA, &source);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
  } else {
    mime.mime = curl_mime_init(curl);
    curl_mimepart* text = curl_mime_addpart(mime.mime);
    source.data = body.bytes;
    curl_mime_data_cb(text, curl_off_t(body.bytes.size()), &ReadSource, &SeekSource, nullptr,
                      &source);
    curl_mime_type(text, body.contentType.constData());
    curl_mime_encoder(text, body.transferEncoding.constData());
    for (const QString& path : files) {
      curl_mimepart* part = curl_mime_addpart(mime.mime);
      curl_mime_filedata(part, QFile::encodeName(path).constData());
      const QString name = QFileInfo(path).fileName();
      const QByteArray shownName =
          name.toUtf8() == name.toLatin1()
              ? name.toLatin1()
              : "=?UTF-8?B?" + name.toUtf8().toBase64() + "?=";
      curl_mime_filename(part, shownName.constData());
      curl_mime_type(part, MimeTypeOf(name).constData());
      curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime.mime);
  }

  const CURLcode rc = call.Perform();
  QString result = call.ErrorText(rc, QStringLiteral("SMTP"));
  if (source.refused)
    result = QStringLiteral("SMTP: the server offers no authentication; the mail was not sent");
  AppendTrace(traceFile, title, call.Dialogue(), result);
  return result;
}

}  // namespace

QString SendMail(const QString& server, const QString& recipients, const QString& sender,
                 const QString& subject, const QString& body, const QString& attachments) {
  return Send(QString(), server, recipients, sender, subject, body, attachments);
}

QString SendMailEx(const QString& traceFile, const QString& server, const QString& recipients,
                   const QString& sender, const QString& subject, const QString& body,
                   const QString& attachments) {
  return Send(traceFile.isEmpty() ? QString() : traceFile, server, recipients, sender, subject,
              body, attachments);
}

QVariant RcvMail(const QString& serverText, const QString& user, const QString& password,
                 const QString& command, const QString& folder) {
  Q_UNUSED(folder);
  if (command.trimmed().compare(QLatin1String("STAT"), Qt::CaseInsensitive) != 0)
    return QStringLiteral("POP3: unsupported command \"%1\"").arg(OneLine(command));
  net::Limits limits;
  int defaultPort = 110;
  {
    std::lock_guard<std::mutex> guard(Config().lock);
    limits = Config().limits;
    defaultPort = Config().pop3Port;
  }
  Server server;
  QString error;
  if (!ParseServer(serverText, defaultPort, &server, &error)) return error;
  if (user.isEmpty()) return QStringLiteral("POP3: no user name");

  curlcall::Call call(limits);
  CURL* curl = call.Handle();
  const QByteArray url = "pop3://" + server.host + ':' + QByteArray::number(server.port) + '/';
  const QByteArray userBytes = user.toUtf8();
  const QByteArray passwordBytes = password.toUtf8();
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_USERNAME, userBytes.constData());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, passwordBytes.constData());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "STAT");
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);  // STAT answers on its status line alone
  const CURLcode rc = call.Perform();
  if (rc != CURLE_OK) return call.ErrorText(rc, QStringLiteral("POP3"));

  static const QRegularExpression stat(QStringLiteral("^\\+OK\\s+(\\d+)\\s+(\\d+)"));
  const QList<QByteArray>& lines = call.ServerLines();
  const QRegularExpressionMatch match =
      lines.isEmpty() ? QRegularExpressionMatch() : stat.match(QString::fromLatin1(lines.last()));
  if (!match.hasMatch()) return QStringLiteral("POP3: unexpected answer to STAT");
  return QVariantList{match.captured(1).toLongLong(), match.captured(2).toLongLong()};
}

void SetLimits(const net::Limits& limits) {
  std::lock_guard<std::mutex> guard(Config().lock);
  Config().limits = limits;
}

net::Limits CurrentLimits() {
  std::lock_guard<std::mutex> guard(Config().lock);
  return Config().limits;
}

void SetDefaultPorts(int smtp, int pop3) {
  std::lock_guard<std::mutex> guard(Config().lock);
  Config().smtpPort = smtp;
  Config().pop3Port = pop3;
}

}  // namespace mail
