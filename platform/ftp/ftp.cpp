#include "ftp.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <mutex>

#include "mail/curl_call.h"

namespace ftp {
namespace {

std::mutex gLimitsLock;
net::Limits gLimits;

// "name", "name:port", "[v6]" or "[v6]:port" into the host and port of a URL.
bool SplitHost(const QString& text, QByteArray* hostPort, QString* error) {
  QString host = text.trimmed();
  QString port = QStringLiteral("21");
  if (host.startsWith(QLatin1Char('['))) {
    const qsizetype close = host.indexOf(QLatin1Char(']'));
    if (close > 0 && host.mid(close + 1).startsWith(QLatin1Char(':'))) {
      port = host.mid(close + 2);
      host = host.left(close + 1);
    }
  } else if (host.count(QLatin1Char(':')) == 1) {
    port = host.section(QLatin1Char(':'), 1);
    host = host.section(QLatin1Char(':'), 0, 0);
  }
  QByteArray urlHost;
  bool ok = false;
  const int number = port.toInt(&ok);
  if (!curlcall::UrlHost(host, &urlHost) || !ok || number < 1 || number > 65535) {
    *error = QStringLiteral("FTP: invalid server \"%1\"").arg(text);
    return false;
  }
  *hostPort = urlHost + ':' + QByteArray::number(number);
  return true;
}

QByteArray Escaped(CURL* curl, const QString& segment) {
  const QByteArray bytes = segment.toUtf8();
  char* escaped = curl_easy_escape(curl, bytes.constData(), int(bytes.size()));
  const QByteArray out(escaped);
  curl_free(escaped);
  return out;
}

}  // namespace

Ftp::Ftp() = default;

Ftp::~Ftp() { Close(); }

int Ftp::Connect(const QString& host, const QString& user, const QString& password) {
  Close();
  error_.clear();
  if (!SplitHost(host, &hostPort_, &error_)) return 0;
  user_ = user.toUtf8();
  password_ = password.toUtf8();
  connected_ = true;
  call_ = std::make_unique<curlcall::Call>(CurrentLimits());
  CURL* curl = call_->Handle();
  const QByteArray url = "ftp://" + hostPort_ + '/';
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_USERNAME, user_.constData());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password_.constData());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);  // log in only; the connection stays for PutFile
  const CURLcode rc = call_->Perform();
  if (rc != CURLE_OK) {
    error_ = call_->ErrorText(rc, QStringLiteral("FTP connect"));
    call_.reset();
    return 0;
  }
  return 1;
}

int Ftp::PutFile(const QString& localFile, const QString& remoteFolder) {
  error_.clear();
  if (!connected_) {
    error_ = QStringLiteral("FTP: not connected");
    return -1;
  }
  const QFileInfo info(localFile);
  std::FILE* file = info.isFile() ? std::fopen(QFile::encodeName(localFile).constData(), "rb")
                                  : nullptr;
  if (!file) {
    error_ = QStringLiteral("FTP: cannot read %1").arg(localFile);
    return -1;
  }
  if (!call_) call_ = std::make_unique<curlcall::Call>(CurrentLimits());
  CURL* curl = call_->Handle();
  // The first segment of an absolute folder is "%2F...": libcurl then starts at the root.
  QByteArray path = remoteFolder.startsWith(QLatin1Char('/')) ? "%2F" : "";
  bool first = true;
  for (const QString& segment : remoteFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (!first) path += '/';
    path += Escaped(curl, segment);
    first = false;
  }
  if (!path.isEmpty() && path != "%2F") path += '/';
  const QByteArray url = "ftp://" + hostPort_ + '/' + path + Escaped(curl, info.fileName());
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_USERNAME, user_.constData());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password_.constData());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READDATA, file);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(info.size()));
  curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
  const CURLcode rc = call_->Perform();
  std::fclose(file);
  curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
  if (rc != CURLE_OK) {
    error_ = call_->ErrorText(rc, QStringLiteral("FTP upload"));
    call_.reset();  // a broken connection is not used again
    return -1;
  }
  return 1;
}

void Ftp::Close() {
  call_.reset();  // libcurl says QUIT on a connection it still holds
  connected_ = false;
}

void SetLimits(const net::Limits& limits) {
  std::lock_guard<std::mutex> guard(gLimitsLock);
  gLimits = limits;
}

net::Limits CurrentLimits() {
  std::lock_guard<std::mutex> guard(gLimitsLock);
  return gLimits;
}

}  // namespace ftp
