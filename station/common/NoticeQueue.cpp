#include "common/NoticeQueue.h"

#include "common/mdlLogWrite.h"
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

void NoticeQueue::Post(const QString& id, Job job) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_.emplace_back(id, std::move(job));
    if (!sender_.joinable()) sender_ = std::thread([this] { Loop(); });
  }
  wake_.notify_one();
}

void NoticeQueue::GiveUp() {
  std::deque<std::pair<QString, Job>> dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    dropped.swap(jobs_);
    cancel_ = true;
    idle_.wait(lock, [this] { return !busy_; });
    cancel_ = false;
  }
  for (const auto& job : dropped) LogGivenUp(job.first);
}

int NoticeQueue::Pending() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(jobs_.size()) + (busy_ ? 1 : 0);
}

bool NoticeQueue::GivenUp() { return net::ThreadCancelled(); }

void NoticeQueue::LogGivenUp(const QString& id) {
  Log(id + QStringLiteral(" - 通知"), QStringLiteral("中止"));
}

void NoticeQueue::Loop() {
  // Every transfer of this thread ends once its notification is given up.
  net::SetThreadCancelFlag(&cancel_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, nothing left
    Job job = std::move(jobs_.front().second);
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
