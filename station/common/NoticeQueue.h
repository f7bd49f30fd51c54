#pragma once
// What a recorded event sends out afterwards (its notification mail, its FTP record and their log
// lines) goes out on sender threads of their own, one job at a time per sender, in the order the
// jobs were posted. A slow or silent server delays its own sender's jobs, never the next member:
// the window thread only hands them over.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
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

  // Queues `job` for the sender; `givenUp` runs in its place when it is given up before its turn.
  void Post(Job job, Job givenUp);

  // Gives up the jobs that still wait on each of `queues`, all at once: ends the ones being sent
  // at their next progress report (a job tells it itself, see GivenUp()), returns once they have
  // returned, and then runs the `givenUp` of each job that never ran, in order. Jobs posted later
  // go out again.
  static void GiveUp(std::initializer_list<NoticeQueue*> queues);
  void GiveUp() { GiveUp({this}); }

  // Jobs waiting or being sent.
  int Pending() const;

  // Inside a job: true once the job was given up (its network calls fail from then on).
  static bool GivenUp();

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::pair<Job, Job>> jobs_;  // each job and what runs when it is given up
  std::atomic<bool> cancel_{false};
  bool busy_ = false;
  bool stopping_ = false;
  std::thread sender_;  // started with the first job
};
