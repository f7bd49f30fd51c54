#include "support/support_pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace testsupport {

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0) return;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return;
  }
  slave_ = QString::fromLocal8Bit(ptsname(master_));
  keepSlave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
  if (keepSlave_ >= 0) {
    termios t{};
    tcgetattr(keepSlave_, &t);
    cfmakeraw(&t);  // bytes pass unchanged: no CR/LF translation, no echo
    tcsetattr(keepSlave_, TCSANOW, &t);
  }
}

PtyPair::~PtyPair() {
  if (keepSlave_ >= 0) close(keepSlave_);
  if (master_ >= 0) close(master_);
}

void PtyPair::UseAsPort(int port) const {
  qputenv(QStringLiteral("VELMOR_COMPORT%1").arg(port).toLatin1(), slave_.toLocal8Bit());
}

bool PtyPair::Send(const QByteArray& bytes) const {
  if (master_ < 0) return false;
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.constData() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

void PtyPair::Hangup() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

QByteArray PtyPair::Received() const {
  QByteArray out;
  char buf[512];
  ssize_t n;
  while (master_ >= 0 && (n = read(master_, buf, sizeof buf)) > 0) out.append(buf, n);
  return out;
}

}  // namespace testsupport
