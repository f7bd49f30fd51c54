#pragma once
// The FTP object of the station: open a connection, send files into a remote folder, close.
// The login and the files go over TLS (AUTH TLS, a protected data channel) when the server offers
// it, checked as the mail library checks its servers (mail/mail.h); in plain with a server that
// offers none.
#include <QString>

#include <memory>

#include "mail/net_limits.h"

namespace curlcall {
class Call;
}

namespace ftp {

class Ftp {
 public:
  Ftp();
  ~Ftp();
  Ftp(const Ftp&) = delete;
  Ftp& operator=(const Ftp&) = delete;

  // Opens the connection and logs in. `host` is "name" or "name:port" (21 when missing; an
  // IPv6 address in brackets). Returns 1 when logged in, 0 otherwise (LastError tells why).
  // A later PutFile tries again even when this failed.
  int Connect(const QString& host, const QString& user, const QString& password);

  // Sends the local file into `remoteFolder` under the file's own name, creating missing
  // folders. A folder starting with "/" is taken from the server's root, any other from the
  // login folder. Returns 1 when the whole file arrived, -1 otherwise.
  int PutFile(const QString& localFile, const QString& remoteFolder);

  // Says good-bye and closes the connection. Nothing happens without one.
  void Close();

  QString LastError() const { return error_; }

 private:
  std::unique_ptr<curlcall::Call> call_;
  QByteArray hostPort_;
  QByteArray user_;
  QByteArray password_;
  bool connected_ = false;  // Connect was called (with a well-formed host)
  QString error_;
};

// Time limits of every FTP call (defaults: the TCP connection 15 s, each reply, the greeting
// included, 300 s, a stalled transfer 300 s; none on the whole exchange).
void SetLimits(const net::Limits& limits);
net::Limits CurrentLimits();

}  // namespace ftp
