#pragma once
// A slow call (a server that is slow to answer, a dial-up) made while the station stays alive.
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>

#include <atomic>
#include <thread>

// True on the thread that runs the windows (false without an application object).
inline bool OnWindowThread() {
  return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs `work` on a thread of its own and returns its result; the calling (window) thread delivers
// its events until the work is done. (Windows unloaded meanwhile are deleted later, by the loop
// that runs the program.) Off the window thread (a sender of its own) the work simply runs.
template <class Work>
auto WhileEventsGoOn(Work work) -> decltype(work()) {
  if (!OnWindowThread()) return work();  // no window to keep alive
  decltype(work()) result{};
  std::atomic<bool> done = false;
  QObject waker;
  std::thread worker([&] {
    result = work();
    done = true;
    QMetaObject::invokeMethod(&waker, [] {}, Qt::QueuedConnection);  // wakes the wait below
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  worker.join();
  return result;
}

