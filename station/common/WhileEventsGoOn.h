#pragma once
// A slow call (a server that is slow to answer, a dial-up) made while the station stays alive.
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include <atomic>
#include <thread>

// Runs `work` on a thread of its own and returns its result; the calling (window) thread delivers
// its events until the work is done. (Windows unloaded meanwhile are deleted later, by the loop
// that runs the program.)
template <class Work>
auto WhileEventsGoOn(Work work) -> decltype(work()) {
  if (!QCoreApplication::instance()) return work();  // no window to keep alive
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

