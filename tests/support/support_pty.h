#pragma once
// A pseudo-terminal pair standing in for a serial line: the test writes to the master side what
// a barcode reader would send; the program opens the slave side as its serial port
// (VELMOR_COMPORT<n> names it).
#include <QByteArray>
#include <QString>

namespace testsupport {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  // The slave device path, e.g. /dev/pts/5.
  QString SlavePath() const { return slave_; }
  // Points serial port `port` of the program at the slave side.
  void UseAsPort(int port) const;
  // Writes bytes as the reader would send them.
  bool Send(const QByteArray& bytes) const;
  // Reads what the program wrote to the line (non-blocking).
  QByteArray Received() const;
  // Drops the reader's end of the line, as a reader unplugged would.
  void Hangup();

 private:
  int master_ = -1;
  int keepSlave_ = -1;  // held open so the line stays up between the program's opens
  QString slave_;
};

}  // namespace testsupport
