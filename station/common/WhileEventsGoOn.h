#pragma once
// A slow call (a server that is slow to answer, a dial-up) made while the station stays alive.
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>

#include <atomic>
#include <thread>

#include "common/mdlEnd.h"
#include "mail/net_limits.h"

// True on the thread that runs the windows (false without an application object).
inline bool OnWindowThread() {
  return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs `work` on a thread of its own and returns its result; the calling (window) thread delivers
// its events until the work is done. The end of the program gives up the work's network waits at
// once (it then fails), and the windows stay until the caller has returned (see EndProgram): a
// caller checks ProgramEnded() before it goes on. Off the window thread (a sender of its own) the
// work simply runs.
template <class Work>
auto WhileEventsGoOn(Work work) -> decltype(work()) {
  if (!OnWindowThread()) return work();  // no window to keep alive
  decltype(work()) result{};
  std::atomic<bool> done = false;
  QObject waker;
  std::thread worker([&] {
    net::SetThreadCancelFlag(&ProgramEndFlag());
    result = work();
    done = true;
    QMetaObject::invokeMethod(&waker, [] {}, Qt::QueuedConnection);  // wakes the wait below
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  worker.join();
  return result;
}

