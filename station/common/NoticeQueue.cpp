#include "common/NoticeQueue.h"

#include <vector>

#include "mail/net_limits.h"

NoticeQueue::~NoticeQueue() {
  GiveUp();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (sender_.joinable()) sender_.join();
}

void NoticeQueue::Post(Job job, Job givenUp) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_.emplace_back(std::move(job), std::move(givenUp));
    if (!sender_.joinable()) sender_ = std::thread([this] { Loop(); });
  }
  wake_.notify_one();
}

void NoticeQueue::GiveUp(std::initializer_list<NoticeQueue*> queues) {
  // Every queue is emptied and told first, so that no sender waits for another to stop.
  std::vector<Job> dropped;
  for (NoticeQueue* q : queues) {
    const std::lock_guard<std::mutex> lock(q->mutex_);
    for (auto& job : q->jobs_) dropped.push_back(std::move(job.second));
    q->jobs_.clear();
    q->cancel_ = true;
  }
  for (NoticeQueue* q : queues) {
    std::unique_lock<std::mutex> lock(q->mutex_);
    q->idle_.wait(lock, [q] { return !q->busy_; });
    q->cancel_ = false;
  }
  for (const Job& givenUp : dropped)
    if (givenUp) givenUp();
}

int NoticeQueue::Pending() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(jobs_.size()) + (busy_ ? 1 : 0);
}

bool NoticeQueue::GivenUp() { return net::ThreadCancelled(); }

void NoticeQueue::Loop() {
  // Every transfer of this thread ends once its job is given up.
  net::SetThreadCancelFlag(&cancel_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, nothing left
    Job job = std::move(jobs_.front().first);
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    job();
    job = nullptr;
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}
