// The FTP object against a real FTP server on 127.0.0.1, in plain and with TLS.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "ftp/ftp.h"
#include "support/support_servers.h"

namespace {

using testsupport::Joined;

// Failures must come within kLimit; transfers that succeed get room on a loaded machine.
constexpr int kLimit = 1;
constexpr int kRoom = 10;

class FtpObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ftp::SetLimits({kRoom, kRoom, kRoom});
    ASSERT_TRUE(server_.Start(QStringLiteral("up"), QStringLiteral("pw"))) << server_.Error().toStdString();
  }
  void TearDown() override { ftp::SetLimits({}); }

  QString Host() const { return QStringLiteral("127.0.0.1:") + QString::number(server_.Port()); }
  QString Local(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QByteArray Remote(const QString& path) const {
    QFile file(server_.Home() + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }

  testsupport::FtpServer server_;
  QTemporaryDir dir_;
};

TEST_F(FtpObject, FilesArriveByteForByteInFoldersCreatedOnTheWay) {
  QByteArray binary(70000, '\0');
  for (int i = 0; i < binary.size(); ++i) binary[i] = char(i * 7 % 256);
  const QString record = Local(QStringLiteral("123in.txt"), "2024/05/01,08:15:00,20240501081500.jpg\r\n");
  const QString photo = Local(QStringLiteral("写真 1.jpg"), binary);

  ftp::Ftp ftp;
  ASSERT_EQ(ftp.Connect(Host(), QStringLiteral("up"), QStringLiteral("pw")), 1) << ftp.LastError().toStdString();
  EXPECT_EQ(ftp.PutFile(record, QStringLiteral("/data/abc/log")), 1) << ftp.LastError().toStdString();
  EXPECT_EQ(ftp.PutFile(photo, QStringLiteral("/data/abc/log")), 1) << ftp.LastError().toStdString();
  EXPECT_EQ(ftp.PutFile(record, QStringLiteral("rel//sub/")), 1) << ftp.LastError().toStdString();
  EXPECT_EQ(ftp.PutFile(record, QStringLiteral("/")), 1) << ftp.LastError().toStdString();
  ftp.Close();
  EXPECT_EQ(Remote(QStringLiteral("/data/abc/log/123in.txt")), "2024/05/01,08:15:00,20240501081500.jpg\r\n");
  EXPECT_TRUE(Remote(QStringLiteral("/data/abc/log/写真 1.jpg")) == binary);
  EXPECT_EQ(Remote(QStringLiteral("/rel/sub/123in.txt")), Remote(QStringLiteral("/123in.txt")));

  // A second upload replaces the file.
  Local(QStringLiteral("123in.txt"), "second\r\n");
  ftp::Ftp again;
  again.Connect(Host(), QStringLiteral("up"), QStringLiteral("pw"));
  EXPECT_EQ(again.PutFile(record, QStringLiteral("/data/abc/log")), 1);
  EXPECT_EQ(Remote(QStringLiteral("/data/abc/log/123in.txt")), "second\r\n");
}

TEST_F(FtpObject, FailuresGiveNoPositiveResultWithinTheTimeLimit) {
  ftp::SetLimits({kLimit, kLimit, kLimit});
  const QString record = Local(QStringLiteral("1out.txt"), "x\r\n");
  testsupport::SilentServer silent;
  ASSERT_TRUE(silent.Start());
  struct Case {
    const char* what;
    QString host, user, password, local;
  } cases[] = {
      {"wrong password", Host(), QStringLiteral("up"), QStringLiteral("bad"), record},
      {"server down", QStringLiteral("127.0.0.1:") + QString::number(testsupport::UnusedPort()),
       QStringLiteral("up"), QStringLiteral("pw"), record},
      {"silent server", QStringLiteral("127.0.0.1:") + QString::number(silent.Port()),
       QStringLiteral("up"), QStringLiteral("pw"), record},
      {"missing local file", Host(), QStringLiteral("up"), QStringLiteral("pw"), dir_.filePath(QStringLiteral("none.txt"))},
      {"malformed host", QStringLiteral("127.0.0.1/x:21"), QStringLiteral("up"), QStringLiteral("pw"), record},
  };
  for (const Case& c : cases) {
    QElapsedTimer clock;
    clock.start();
    ftp::Ftp ftp;
    ftp.Connect(c.host, c.user, c.password);
    EXPECT_LE(ftp.PutFile(c.local, QStringLiteral("/log")), 0) << c.what;
    EXPECT_FALSE(ftp.LastError().isEmpty()) << c.what;
    ftp.Close();
    // Connect and PutFile each wait one time limit at most.
    EXPECT_LT(clock.elapsed(), 2 * kLimit * 1000 + 900) << c.what;
  }
  EXPECT_EQ(Remote(QStringLiteral("/log/1out.txt")), "<missing>");

  ftp::Ftp unconnected;
  EXPECT_LE(unconnected.PutFile(record, QStringLiteral("/log")), 0);
}

TEST_F(FtpObject, UploadIsTriedEvenWhenConnectFailed) {
  // Nobody listens while connecting; the server is there by the time of the upload.
  const QString record = Local(QStringLiteral("7in.txt"), "late\r\n");
  const int port = testsupport::UnusedPort();
  ftp::Ftp ftp;
  EXPECT_EQ(ftp.Connect(QStringLiteral("127.0.0.1:") + QString::number(port), QStringLiteral("up"),
                        QStringLiteral("pw")),
            0);
  testsupport::FtpServer late;
  ASSERT_TRUE(late.Start(QStringLiteral("up"), QStringLiteral("pw"), port)) << late.Error().toStdString();
  EXPECT_EQ(ftp.PutFile(record, QStringLiteral("/log")), 1) << ftp.LastError().toStdString();
  QFile arrived(late.Home() + QStringLiteral("/log/7in.txt"));
  ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
  EXPECT_EQ(arrived.readAll(), "late\r\n");
}

TEST_F(FtpObject, TlsIsTakenWhenOfferedForLoginAndFileAndAnUnverifiedServerGetsNothing) {
  testsupport::TestCertificates certs;
  ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
  const testsupport::TrustedCa ca("SSL_CERT_FILE", certs.Ca());
  const QString record = Local(QStringLiteral("5in.txt"), "tls\r\n");
  for (const QString& cert : {certs.Signed(), certs.Unsigned()}) {
    testsupport::FtpServer server;
    ASSERT_TRUE(server.Start(QStringLiteral("up"), QStringLiteral("pw"), 0, cert)) << server.Error().toStdString();
    const QString host = QStringLiteral("127.0.0.1:") + QString::number(server.Port());
    ftp::Ftp ftp;
    const int connected = ftp.Connect(host, QStringLiteral("up"), QStringLiteral("pw"));
    const int put = ftp.PutFile(record, QStringLiteral("/log"));
    ftp.Close();
    QFile arrived(server.Home() + QStringLiteral("/log/5in.txt"));
    if (cert == certs.Signed()) {
      EXPECT_EQ(connected, 1) << ftp.LastError().toStdString();
      EXPECT_EQ(put, 1) << ftp.LastError().toStdString();
      ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
      EXPECT_EQ(arrived.readAll(), "tls\r\n");
      EXPECT_EQ(Joined(server.Commands()), "PASS tls|STOR tls");
    } else {
      EXPECT_EQ(connected, 0);
      EXPECT_EQ(put, -1);
      EXPECT_FALSE(ftp.LastError().isEmpty());
      EXPECT_FALSE(arrived.exists());
      EXPECT_EQ(Joined(server.Commands()), "") << "nothing in plain";
    }
  }

  // A server that never answers the data connection's handshake (libcurl waits for it inside
  // a call of its own): the wait ends after a time limit and a little, or soon after the
  // sending thread's job is given up.
  testsupport::FtpServer stalling;
  ASSERT_TRUE(stalling.Start(QStringLiteral("up"), QStringLiteral("pw"), 0, certs.Signed(), true))
      << stalling.Error().toStdString();
  constexpr int kReply = 3;  // room for the server's reply to STOR on a loaded machine
  for (const bool giveUp : {false, true}) {
    ftp::SetLimits(giveUp ? net::Limits{kReply, 600, 600} : net::Limits{kReply, kReply, kReply});
    std::atomic<bool> cancel = false;
    net::SetThreadCancelFlag(&cancel);
    ftp::Ftp ftp;
    ASSERT_EQ(ftp.Connect(QStringLiteral("127.0.0.1:") + QString::number(stalling.Port()),
                          QStringLiteral("up"), QStringLiteral("pw")),
              1)
        << ftp.LastError().toStdString();
    std::thread canceller([&] {
      if (!giveUp) return;
      std::this_thread::sleep_for(std::chrono::seconds(kReply));
      cancel = true;
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ftp.PutFile(record, QStringLiteral("/log")), -1);
    EXPECT_LT(clock.elapsed(), 2 * (kReply + 2) * 1000) << ftp.LastError().toStdString();
    canceller.join();
    net::SetThreadCancelFlag(nullptr);
  }
  ftp::SetLimits({kRoom, kRoom, kRoom});

  // A server that offers no TLS is used as before.
  ftp::Ftp plain;
  EXPECT_EQ(plain.Connect(Host(), QStringLiteral("up"), QStringLiteral("pw")), 1);
  EXPECT_EQ(plain.PutFile(record, QStringLiteral("/log")), 1) << plain.LastError().toStdString();
  EXPECT_EQ(Joined(server_.Commands()), "PASS plain|STOR plain");
}

}  // namespace
