#include "support/support_display.h"

#include <QElapsedTimer>
#include <QThread>

#include <xcb/xcb.h>

namespace testsupport {

VirtualDisplay::~VirtualDisplay() {
  if (held_) xcb_disconnect(held_);
  if (server_.state() == QProcess::NotRunning) return;
  server_.terminate();
  if (!server_.waitForFinished(5000)) {
    server_.kill();
    server_.waitForFinished(5000);
  }
}

bool VirtualDisplay::Start() {
  // Xvfb picks a free display itself and writes its number to the descriptor given: the number
  // of the first display whose socket it could take, which no other server holds, so two tests
  // that start at once get two displays. By default an X server starts afresh whenever its last
  // client leaves (between two xdotool runs, say), and drops a client that connects meanwhile.
  server_.setProcessChannelMode(QProcess::SeparateChannels);
  server_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                                         QStringLiteral("-screen"), QStringLiteral("0"),
                                         QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                         QStringLiteral("tcp")});
  if (!server_.waitForStarted(10000)) {
    error_ = QStringLiteral("Xvfb did not start: ") + server_.errorString();
    return false;
  }
  QElapsedTimer waited;
  waited.start();
  while (!server_.canReadLine() && waited.elapsed() < 20000 && server_.state() == QProcess::Running)
    server_.waitForReadyRead(500);
  const QString number = QString::fromLatin1(server_.readLine()).trimmed();
  if (number.isEmpty()) {
    error_ = QStringLiteral("Xvfb gave no display: ") + QString::fromLocal8Bit(server_.readAllStandardError());
    return false;
  }
  name_ = QLatin1Char(':') + number;
  // A connection of our own proves that the display takes them before any program is started on
  // it, and holding it keeps one client there whatever the programs do.
  const QByteArray display = name_.toLatin1();
  while (!held_) {
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    if (!xcb_connection_has_error(connection)) {
      held_ = connection;
      break;
    }
    xcb_disconnect(connection);
    if (waited.elapsed() >= 20000 || server_.state() != QProcess::Running) {
      error_ = QStringLiteral("display ") + name_ + QStringLiteral(" takes no connection: ") +
               QString::fromLocal8Bit(server_.readAllStandardError());
      return false;
    }
    QThread::msleep(50);
  }
  return true;
}

QProcessEnvironment VirtualDisplay::Environment(QProcessEnvironment base) const {
  base.insert(QStringLiteral("DISPLAY"), name_);
  base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  base.remove(QStringLiteral("XAUTHORITY"));
  return base;
}

QString VirtualDisplay::Xdotool(const QStringList& arguments) const {
  QProcess tool;
  tool.setProcessEnvironment(Environment(QProcessEnvironment::systemEnvironment()));
  tool.start(QStringLiteral("xdotool"), arguments);
  if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit) return QString();
  const QString out = QString::fromUtf8(tool.readAllStandardOutput());
  // A search that finds nothing exits with 1.
  if (tool.exitCode() != 0 && !(arguments.value(0) == QLatin1String("search") && tool.exitCode() == 1))
    return QString();
  return out.isNull() ? QStringLiteral("") : out;
}

QStringList VirtualDisplay::Windows(const QString& pattern) const {
  return Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool VirtualDisplay::TypeLine(const QString& text) const {
  return !Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text}).isNull() &&
         !Xdotool({QStringLiteral("key"), QStringLiteral("Return")}).isNull();
}

}  // namespace testsupport
