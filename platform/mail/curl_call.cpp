#include "curl_call.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QUrl>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace net {
namespace {
thread_local const std::atomic<bool>* tCancelFlag = nullptr;
}  // namespace

void SetThreadCancelFlag(const std::atomic<bool>* flag) { tCancelFlag = flag; }

bool ThreadCancelled() { return tCancelFlag && tCancelFlag->load(); }

}  // namespace net

namespace curlcall {
namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The CA file an installation (or a test) names for programs that do not read the system's
// store alone, as curl and OpenSSL's tools take it: CURL_CA_BUNDLE first, then SSL_CERT_FILE.
QByteArray CaFileFromEnvironment() {
  for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
    const QByteArray file = qgetenv(name);
    if (!file.isEmpty()) return file;
  }
  return {};
}

bool StartsWithNoCase(const QByteArray& text, const char* prefix) {
  return text.size() >= qsizetype(std::strlen(prefix)) &&
         qstrnicmp(text.constData(), prefix, std::strlen(prefix)) == 0;
}

// Splits a debug chunk into lines without their line ends.
QList<QByteArray> Lines(const char* data, size_t size) {
  QList<QByteArray> lines;
  for (QByteArray& line : QByteArray(data, qsizetype(size)).split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (!line.isEmpty()) lines.append(line);
  }
  return lines;
}

}  // namespace

Call::Call(const net::Limits& limits) {
  GlobalInit();
  easy_ = curl_easy_init();
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  // TLS wherever the server offers it (STARTTLS, STLS, AUTH TLS with a protected data channel);
  // a server that offers none is spoken to in plain, as mail programs do. The server's
  // certificate and name are checked against the system's store (or the CA file the environment
  // names): a handshake or a check that fails ends the call, never a plain retry.
  curl_easy_setopt(easy_, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
  const QByteArray caFile = CaFileFromEnvironment();
  if (!caFile.isEmpty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, caFile.constData());
  // libcurl counts the protocol's greeting and login to its connect phase: its own connect limit
  // is set out of reach, and the TCP connection alone is timed by the progress report below.
  // Each reply has its limit; the whole exchange has none.
  connectMs_ = qint64(qMax(1, limits.connectSeconds)) * 1000;
  responseMs_ = qint64(qMax(1, limits.responseSeconds)) * 1000;
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, long(INT_MAX / 1000));
  curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(qMax(1, limits.responseSeconds)));
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, long(qMax(1, limits.stallSeconds)));
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &Call::OnOpenSocket);
  curl_easy_setopt(easy_, CURLOPT_OPENSOCKETDATA, this);
  curl_easy_setopt(easy_, CURLOPT_CLOSESOCKETFUNCTION, &Call::OnCloseSocket);
  curl_easy_setopt(easy_, CURLOPT_CLOSESOCKETDATA, this);
  // Reported at least once a second, also while a server keeps silent.
  cancel_ = net::tCancelFlag;
  curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &Call::OnProgress);
  curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
  clock_.start();
  // The debug callback only runs in verbose mode; it writes nothing to stderr itself.
  curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &Call::OnDebug);
  curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L);
}

Call::~Call() {
  if (easy_) curl_easy_cleanup(easy_);
}

curl_socket_t Call::OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address) {
  auto* call = static_cast<Call*>(self);
  const curl_socket_t socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (socket != CURL_SOCKET_BAD && purpose == CURLSOCKTYPE_IPCXN) {
    call->opening_.push_back({socket, call->clock_.elapsed()});
    const std::lock_guard<std::mutex> guard(call->socketsLock_);
    call->sockets_.push_back(socket);
  }
  return socket;
}

int Call::OnCloseSocket(void* self, curl_socket_t socket) {
  auto* call = static_cast<Call*>(self);
  std::erase_if(call->opening_, [socket](const Opening& o) { return o.socket == socket; });
  const std::lock_guard<std::mutex> guard(call->socketsLock_);
  std::erase(call->sockets_, socket);
  return ::close(socket);
}

int Call::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* call = static_cast<Call*>(self);
  call->lastCallback_ = call->clock_.elapsed();
  if (call->cancel_ && call->cancel_->load()) return 1;
  for (auto it = call->opening_.begin(); it != call->opening_.end();) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(it->socket, reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
      it = call->opening_.erase(it);  // connected: from now on each reply has its own limit
      if (call->connectedAt_ < 0) call->connectedAt_ = call->clock_.elapsed();
      continue;
    }
    if (call->clock_.elapsed() - it->since >= call->connectMs_) {
      call->connectTimedOut_ = true;
      return 1;
    }
    ++it;
  }
  if (call->connectedAt_ >= 0 && !call->heardFromServer_ &&
      call->clock_.elapsed() - call->connectedAt_ >= call->responseMs_) {
    call->replyTimedOut_ = true;
    return 1;
  }
  return 0;
}

void Call::ShutDownSockets() {
  const std::lock_guard<std::mutex> guard(socketsLock_);
  for (const curl_socket_t socket : sockets_) shutdown(socket, SHUT_RDWR);
}

void Call::Watch(std::stop_token stop) {
  constexpr qint64 kStuckMs = 1500;  // longer than any gap between two progress reports
  std::mutex mutex;
  std::condition_variable_any tick;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    tick.wait_for(lock, stop, std::chrono::milliseconds(200), [] { return false; });
    if (stop.stop_requested()) return;
    const qint64 quiet = clock_.elapsed() - lastCallback_;
    const bool cancelled = cancel_ && cancel_->load();
    if (quiet >= responseMs_ + kStuckMs || (cancelled && quiet >= kStuckMs)) {
      replyTimedOut_ = !cancelled;
      ShutDownSockets();  // the wait inside libcurl ends with an error at once
      return;
    }
  }
}

CURLcode Call::Perform() {
  connectTimedOut_ = replyTimedOut_ = tlsRefused_ = false;
  lastCallback_ = clock_.elapsed();
  CURLcode rc = CURLE_OK;
  {
    const std::jthread watch([this](std::stop_token stop) { Watch(stop); });
    rc = curl_easy_perform(easy_);
  }
  if (rc != CURLE_OK) {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(easy_, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
        socket != CURL_SOCKET_BAD)
      shutdown(socket, SHUT_RDWR);
  }
  if (dataOut_ > 0) {
    dialogue_ += "> [" + QByteArray::number(dataOut_) + " bytes of data]\r\n";
    dataOut_ = 0;
  }
  return rc;
}

QString Call::ErrorText(CURLcode rc, const QString& what) const {
  if (rc == CURLE_OK) return {};
  if (rc == CURLE_ABORTED_BY_CALLBACK && connectTimedOut_)
    return what + QStringLiteral(": ") + QString::fromUtf8(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) +
           QStringLiteral(" (no connection within %1 s)").arg(connectMs_ / 1000);
  if (replyTimedOut_)
    return what + QStringLiteral(": ") + QString::fromUtf8(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) +
           QStringLiteral(" (no reply within %1 s)").arg(responseMs_ / 1000);
  if (tlsRefused_)
    return what + QStringLiteral(": the server offered TLS and then refused it; nothing was sent in plain");
  QString text = what + QStringLiteral(": ") + QString::fromUtf8(curl_easy_strerror(rc));
  if (errorBuffer_[0] && std::strcmp(errorBuffer_, curl_easy_strerror(rc)) != 0)
    text += QStringLiteral(" (") + QString::fromUtf8(errorBuffer_) + QLatin1Char(')');
  long response = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &response);
  if (response) text += QStringLiteral(" [server replied %1]").arg(response);
  return text;
}

bool Call::Sent(const QByteArray& prefix) const {
  for (const QByteArray& command : clientCommands_)
    if (StartsWithNoCase(command, prefix.constData())) return true;
  return false;
}

int Call::OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
  auto* call = static_cast<Call*>(self);
  if (type != CURLINFO_DATA_OUT && type != CURLINFO_SSL_DATA_OUT && call->dataOut_ > 0) {
    call->dialogue_ += "> [" + QByteArray::number(call->dataOut_) + " bytes of data]\r\n";
    call->dataOut_ = 0;
  }
  call->lastCallback_ = call->clock_.elapsed();
  if (type == CURLINFO_HEADER_IN || type == CURLINFO_SSL_DATA_IN) call->heardFromServer_ = true;
  switch (type) {
    case CURLINFO_TEXT:
      for (const QByteArray& line : Lines(data, size)) call->dialogue_ += "* " + line + "\r\n";
      break;
    case CURLINFO_HEADER_IN:
      for (const QByteArray& line : Lines(data, size)) call->AddServerLine(line);
      break;
    case CURLINFO_HEADER_OUT:
      for (const QByteArray& line : Lines(data, size)) call->AddClientLine(line);
      break;
    case CURLINFO_DATA_OUT:
      call->dataOut_ += qint64(size);
      break;
    default:
      break;
  }
  return 0;
}

void Call::AddClientLine(QByteArray line) {
  clientCommands_.append(line);
  // Sent only to a server that offered TLS; FTP's AUTH TLS is a question, its refusal an answer.
  awaitingTls_ = line.compare("STARTTLS", Qt::CaseInsensitive) == 0 ||
                 line.compare("STLS", Qt::CaseInsensitive) == 0;
  QByteArray shown = line;
  if (inAuthExchange_) {
    shown = "****";  // every answer inside a SASL exchange carries a credential
  } else if (StartsWithNoCase(line, "AUTH ")) {
    inAuthExchange_ = true;
    const QList<QByteArray> words = line.split(' ');
    shown = "AUTH";
    if (words.size() > 1) shown += ' ' + words.at(1);
    if (words.size() > 2) shown += " ****";
  } else if (StartsWithNoCase(line, "PASS ")) {
    shown = line.left(4) + " ****";
  } else if (StartsWithNoCase(line, "APOP ")) {
    const QList<QByteArray> words = line.split(' ');
    shown = "APOP " + words.value(1) + " ****";
  }
  dialogue_ += "> " + shown + "\r\n";
}

void Call::AddServerLine(QByteArray line) {
  if (awaitingTls_) {
    awaitingTls_ = false;
    if (!line.startsWith("220") && !line.startsWith("+OK")) {
      tlsRefused_ = true;
      ShutDownSockets();
    }
  }
  if (inAuthExchange_ && !line.startsWith("334") && !line.startsWith("+ "))
    inAuthExchange_ = false;
  dialogue_ += "< " + line + "\r\n";
  serverLines_.append(std::move(line));
}

bool UrlHost(const QString& host, QByteArray* out) {
  const QString trimmed = host.trimmed();
  if (trimmed.isEmpty()) return false;
  for (const QChar c : trimmed) {
    const char16_t u = c.unicode();
    if (u <= 0x20 || u == 0x7F || QStringView(u"/\\@?#%\"'<>").contains(c)) return false;
  }
  if (trimmed.contains(QLatin1Char(':'))) {  // an IPv6 literal
    QString inner = trimmed;
    if (inner.startsWith(QLatin1Char('[')) && inner.endsWith(QLatin1Char(']')))
      inner = inner.mid(1, inner.size() - 2);
    for (const QChar c : inner)
      if (!(c.isDigit() || QStringView(u"abcdefABCDEF:.").contains(c))) return false;
    *out = '[' + inner.toLatin1() + ']';
    return true;
  }
  // Japanese host names go out in their ASCII form.
  const QByteArray ace = QUrl::toAce(trimmed);
  if (ace.isEmpty()) return false;
  *out = ace;
  return true;
}

}  // namespace curlcall
