#pragma once
// What a recorded event sends out afterwards (its notification mail, its FTP record and their log
// lines) goes out on a sender thread of its own, one event at a time, in the order the events
// were recorded. A slow or silent server delays the notifications, never the next member: the
// window thread only hands them over.
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

class NoticeQueue {
 public:
  using Job = std::function<void()>;

  NoticeQueue() = default;
  // Gives up what still waits and ends the sender.
  ~NoticeQueue();
  NoticeQueue(const NoticeQueue&) = delete;
  NoticeQueue& operator=(const NoticeQueue&) = delete;

  // Queues `job` for the sender; `id` names it in the line logged if it is given up.
  void Post(const QString& id, Job job);

  // Gives up the notifications that still wait, each with the log line "<ID> - 通知" "中止",
  // ends the one being sent at its next progress report (the job logs it itself, see GivenUp())
  // and returns once it has returned. Notifications posted later go out again.
  void GiveUp();

  // Notifications waiting or being sent.
  int Pending() const;

  // Inside a job: true once the job was given up (its network calls fail from then on).
  static bool GivenUp();

  // The line that says a notification was given up.
  static void LogGivenUp(const QString& id);

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::pair<QString, Job>> jobs_;
  std::atomic<bool> cancel_{false};
  bool busy_ = false;
  bool stopping_ = false;
  std::thread sender_;  // started with the first notification
};
