#pragma once
// One libcurl transfer with the time limits every network step of the station has, and a record
// of the dialogue with the server (passwords masked). Used by the mail library and the FTP
// object.
#include <curl/curl.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <stop_token>
#include <vector>

#include "mail/net_limits.h"

namespace curlcall {

class Call {
 public:
  explicit Call(const net::Limits& limits);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  CURL* Handle() const { return easy_; }

  // Runs the transfer. After a failure the socket is shut down, so that the clean-up does not
  // wait for the server a second time (libcurl says good-bye on a connection it thinks intact).
  CURLcode Perform();

  // "what: curl's text (details) [server replied nnn]", or the empty text for CURLE_OK.
  QString ErrorText(CURLcode rc, const QString& what) const;

  // The server's reply lines (without line ends), in order.
  const QList<QByteArray>& ServerLines() const { return serverLines_; }
  // True when a command starting with `prefix` (letter case ignored) was sent.
  bool Sent(const QByteArray& prefix) const;
  // The dialogue as text lines: "< " server, "> " client (secrets masked), "* " curl's notes.
  const QByteArray& Dialogue() const { return dialogue_; }

 private:
  static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self);
  static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
  static int OnCloseSocket(void* self, curl_socket_t socket);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  void AddClientLine(QByteArray line);
  void AddServerLine(QByteArray line);
  void Watch(std::stop_token stop);
  void ShutDownSockets();

  CURL* easy_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  QList<QByteArray> serverLines_;
  QList<QByteArray> clientCommands_;
  QByteArray dialogue_;
  qint64 dataOut_ = 0;
  bool inAuthExchange_ = false;

  // The TCP connections being made, each with the moment its socket was opened: libcurl's own
  // connect limit would also cover the server's greeting and login, so the connect limit is
  // kept here, for the TCP connection alone.
  struct Opening {
    curl_socket_t socket;
    qint64 since;
  };
  std::vector<Opening> opening_;
  std::vector<curl_socket_t> sockets_;  // every connection's socket while it is open
  std::mutex socketsLock_;              // sockets_ is also read by the watch
  // libcurl 7.88 completes the TLS handshake of an FTP data connection in a wait of its own that
  // calls none of the callbacks here and is bounded by its connect limit alone. A watch beside
  // each transfer shuts the connections down when no callback came for a reply's limit (the
  // progress report comes at least once a second otherwise), or for a while once the thread's
  // cancel flag is set.
  std::atomic<qint64> lastCallback_{0};
  QElapsedTimer clock_;
  qint64 connectMs_ = 0;
  bool connectTimedOut_ = false;
  // The server's first reply is waited for here, not by libcurl, which does not time a TLS
  // handshake from the first byte (SMTP on port 465): from the moment the first connection is
  // made until a byte of it comes back, plain or TLS.
  qint64 responseMs_ = 0;
  qint64 connectedAt_ = -1;
  bool heardFromServer_ = false;
  std::atomic<bool> replyTimedOut_ = false;  // also set by the watch
  // A server that offered TLS (STARTTLS, STLS) and then refused it: libcurl would go on in plain,
  // so the connection is shut before the next command leaves.
  bool awaitingTls_ = false;
  bool tlsRefused_ = false;
  const std::atomic<bool>* cancel_ = nullptr;  // the creating thread's cancel flag
};

// Host text for a URL: IPv6 literals in brackets. Returns false for a host that is empty or
// holds characters no host name has (blanks, line breaks, "/", "@" and the like).
bool UrlHost(const QString& host, QByteArray* out);

}  // namespace curlcall
