#include "common/mdlRas.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <mutex>

#include "codepage/codepage.h"
#include "dialup/dialup.h"
#include "mail/net_limits.h"
#include "common/WhileEventsGoOn.h"
#include "common/globals.h"
#include "common/mdlEnd.h"

namespace {

// Lets the window system deliver its events until `seconds` have passed (or the program ends),
// on a clock that does not care about midnight.
void PauseWithEvents(int seconds) {
  if (seconds <= 0) return;
  QDeadlineTimer deadline(qint64(seconds) * 1000);
  if (!OnWindowThread()) {
    // A sender of its own: it waits, and gives up the wait when its sending is given up.
    while (!deadline.hasExpired() && !net::ThreadCancelled())
      QThread::msleep(quint64(qMin<qint64>(50, deadline.remainingTime())));
    return;
  }
  QTimer wake;  // ends the last wait for events at the deadline
  wake.setSingleShot(true);
  wake.start(int(deadline.remainingTime()));
  while (!deadline.hasExpired() && !ProgramEnded())
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

QString TrimNull(const QString& text) {
  const qsizetype nul = text.indexOf(QChar(0));
  return nul < 0 ? QString() : text.left(nul);
}

bool IsRasConnected() {
  int count = 0;
  return dialup::EnumConnections(&count) == dialup::kSuccess && count != 0;
}

bool DialUp(const QString& entry, const QString& user, const QString& password) {
  dialup::DialParams params;
  bool fits = dialup::SetField(params.entryName, entry);
  fits = dialup::SetField(params.phoneNumber, QString()) && fits;
  fits = dialup::SetField(params.callbackNumber, QString()) && fits;
  fits = dialup::SetField(params.userName, user) && fits;
  fits = dialup::SetField(params.password, password) && fits;
  fits = dialup::SetField(params.domain, QString()) && fits;
  if (OnWindowThread()) QCoreApplication::processEvents();
  if (fits) {
    long handle = 0;
    // Its result is told by the connection test below.
    WhileEventsGoOn([&params, &handle] { return dialup::Dial(params, &handle); });
    glngRasConn = handle;
    PauseWithEvents(glngPauseTime);
  }
  return IsRasConnected();
}

bool DialUpWhenNeeded(const QString& entry, const QString& user, const QString& password) {
  if (entry.isEmpty()) return true;
  // Recursive: the window thread lets its events through while it dials.
  static std::recursive_mutex dialling;
  const std::lock_guard<std::recursive_mutex> lock(dialling);
  return IsRasConnected() || DialUp(entry, user, password);
}

QStringList DialEntries() { return dialup::EnumEntries(); }

bool GetSavedDialParams(const QString& entry, QString* user, QString* password) {
  dialup::DialParams params;
  if (!dialup::SetField(params.entryName, entry)) return false;
  if (dialup::GetEntryDialParams(&params) != dialup::kSuccess) return false;
  // The whole fields, NULs and all, as the record holds them.
  *user = TrimNull(cp::FromAnsi(QByteArray(params.userName, sizeof params.userName)));
  *password = TrimNull(cp::FromAnsi(QByteArray(params.password, sizeof params.password)));
  return true;
}

QString GetSavedDialPassword(const QString& entry) {
  QString user, password;
  return GetSavedDialParams(entry, &user, &password) ? password : QString();
}
