#include "mscomm.h"

#include <QStringList>

namespace serial {

QString DevicePath(int port) {
  const QByteArray override = qgetenv(QStringLiteral("VELMOR_COMPORT%1").arg(port).toLatin1());
  if (!override.isEmpty()) return QString::fromLocal8Bit(override);
  return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

int CommEventFor(QSerialPort::SerialPortError error) {
  // Qt 6 no longer tells break, framing, parity or overrun conditions apart: a failing read or
  // write, a device that went away or an unknown line error are "other" errors. Time-outs of the
  // waiting calls and calls on a closed or unsuited port are no line events.
  switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::NotOpenError:
    case QSerialPort::UnsupportedOperationError:
      return 0;
    default:
      return comEventOther;
  }
}

MSComm::MSComm(QObject* parent) : QObject(parent) {
  connect(&port_device_, &QSerialPort::readyRead, this, &MSComm::DataArrived);
  connect(&port_device_, &QSerialPort::errorOccurred, this, &MSComm::ErrorOccurred);
}

MSComm::~MSComm() {
  if (port_device_.isOpen()) port_device_.close();
}

bool MSComm::setCommPort(int port) {
  port_refused_ = port < 1 || port > 16;
  if (port_refused_) return false;
  port_ = port;
  return true;
}

bool MSComm::setSettings(const QString& settings) {
  const QStringList parts = settings.split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  bool ok1 = false, ok2 = false, ok3 = false;
  const int baud = parts[0].trimmed().toInt(&ok1);
  const int data = parts[2].trimmed().toInt(&ok2);
  const double stop = parts[3].trimmed().toDouble(&ok3);
  const QString parity = parts[1].trimmed().toLower();
  if (!ok1 || !ok2 || !ok3 || baud <= 0 || data < 5 || data > 8 ||
      (stop != 1 && stop != 1.5 && stop != 2) || parity.size() != 1 ||
      !QStringLiteral("neoms").contains(parity))
    return false;
  settings_ = settings;
  return true;
}

bool MSComm::PortOpen() const { return port_device_.isOpen(); }

bool MSComm::setPortOpen(bool open) {
  if (!open) {
    if (port_device_.isOpen()) port_device_.close();
    return true;
  }
  if (port_device_.isOpen()) return true;
  if (port_refused_) {
    error_ = QStringLiteral("invalid port number");
    return false;
  }
  port_device_.setPortName(DevicePath(port_));
  if (!port_device_.open(QIODevice::ReadWrite)) {
    error_ = port_device_.errorString();
    port_device_.clearError();
    return false;
  }
  const QStringList parts = settings_.split(QLatin1Char(','));
  port_device_.setBaudRate(parts[0].trimmed().toInt());
  const QChar parity = parts[1].trimmed().toLower().at(0);
  port_device_.setParity(parity == 'e'   ? QSerialPort::EvenParity
                         : parity == 'o' ? QSerialPort::OddParity
                         : parity == 'm' ? QSerialPort::MarkParity
                         : parity == 's' ? QSerialPort::SpaceParity
                                         : QSerialPort::NoParity);
  port_device_.setDataBits(static_cast<QSerialPort::DataBits>(parts[2].trimmed().toInt()));
  const double stop = parts[3].trimmed().toDouble();
  port_device_.setStopBits(stop == 2     ? QSerialPort::TwoStop
                           : stop == 1.5 ? QSerialPort::OneAndHalfStop
                                         : QSerialPort::OneStop);
  port_device_.setFlowControl(QSerialPort::NoFlowControl);
  error_.clear();
  error_raised_ = false;
  return true;
}

QByteArray MSComm::Input() { return port_device_.isOpen() ? port_device_.readAll() : QByteArray(); }

void MSComm::Raise(int code) {
  event_ = code;
  emit OnComm();
}

void MSComm::DataArrived() {
  if (threshold_ <= 0) return;  // no receive events without a threshold
  if (port_device_.bytesAvailable() < threshold_) return;
  error_raised_ = false;
  Raise(comEvReceive);
}

void MSComm::ErrorOccurred(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError || !port_device_.isOpen()) return;
  // Errors while opening are reported by setPortOpen; only line errors become events.
  if (error == QSerialPort::OpenError || error == QSerialPort::DeviceNotFoundError ||
      error == QSerialPort::PermissionError)
    return;
  const int code = CommEventFor(error);
  port_device_.clearError();
  if (!code || error_raised_) return;
  error_raised_ = true;
  Raise(code);
}

}  // namespace serial
