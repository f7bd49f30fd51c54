#pragma once
// A serial communications control in the manner the station's windows use one: a port number, a
// settings text "9600,n,8,1", a receive threshold, PortOpen, Input and an OnComm event that
// carries a CommEvent code. Over QSerialPort.
//
// Port n is the device /dev/ttyS<n-1>; the environment variable VELMOR_COMPORT<n> names another
// device for port n (a USB adapter such as /dev/ttyUSB0, or a test's pty).
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace serial {

// CommEvent codes.
enum CommEventCode {
  comEvSend = 1,
  comEvReceive = 2,
  comEvCTS = 3,
  comEvDSR = 4,
  comEvCD = 5,
  comEvRing = 6,
  comEvEOF = 7,
  comEventBreak = 1001,
  comEventCTSTO = 1002,
  comEventDSRTO = 1003,
  comEventFrame = 1004,
  comEventOverrun = 1006,
  comEventCDTO = 1007,
  comEventRxOver = 1008,
  comEventRxParity = 1009,
  comEventTxFull = 1010,
  comEventDCB = 1011,
  comEventOther = 1005,
};

// The device behind port number `port`.
QString DevicePath(int port);

// The CommEvent code for a serial port error (comEventOther for errors without a code of their
// own, 0 for no error).
int CommEventFor(QSerialPort::SerialPortError error);

class MSComm : public QObject {
  Q_OBJECT

 public:
  explicit MSComm(QObject* parent = nullptr);
  ~MSComm() override;

  int CommPort() const { return port_; }
  // Takes a port number from 1 to 16; false for any other, and then the port does not open
  // until a number it takes is set (it never falls back on the number set before).
  bool setCommPort(int port);

  const QString& Settings() const { return settings_; }
  // Takes "baud,parity,data,stop" (parity n, e, o, m or s); false when the text is malformed.
  bool setSettings(const QString& settings);

  int RThreshold() const { return threshold_; }
  void setRThreshold(int threshold) { threshold_ = threshold; }

  bool PortOpen() const;
  // Opens or closes the port. Opening returns false when the device cannot be opened;
  // LastError() then tells why.
  bool setPortOpen(bool open);
  QString LastError() const { return error_; }

  // Everything received and not read yet.
  QByteArray Input();
  // The code of the event being delivered by OnComm.
  int CommEvent() const { return event_; }

 signals:
  // Raised for every communication event; CommEvent() tells which.
  void OnComm();

 private:
  void Raise(int code);
  void DataArrived();
  void ErrorOccurred(QSerialPort::SerialPortError error);

  QSerialPort port_device_;
  int port_ = 1;
  bool port_refused_ = false;
  QString settings_ = QStringLiteral("9600,n,8,1");
  int threshold_ = 0;
  int event_ = 0;
  QString error_;
  // A line error was raised and no data has arrived since: a dead line (a reader unplugged)
  // keeps failing on every read, and is reported once.
  bool error_raised_ = false;
};

}  // namespace serial
