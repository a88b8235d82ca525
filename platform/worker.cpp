#include "platform/worker.h"

#include <pthread.h>

#include <utility>

#include "platform/sync.h"

namespace ombrelo {

Worker::Worker(std::string name, AtEnd atEnd)
    : atEnd_(atEnd), thread_([this, name = std::move(name)] { Loop(name); }) {}

Worker::~Worker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    if (atEnd_ == AtEnd::dropQueued) {
      jobs_.clear();
      boundedWaiting_ = 0;
    }
  }
  wake_.notify_all();
  room_.notify_all();
  thread_.join();
}

void Worker::Post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(Entry{std::move(job), false});
  }
  wake_.notify_one();
}

bool Worker::PostBounded(std::function<void()> job, size_t most) {
  std::unique_lock<std::mutex> lock(mutex_);
  room_.wait(lock, [&] { return stopping_ || boundedWaiting_ < most; });
  if (stopping_) return false;
  ++boundedWaiting_;
  jobs_.push_back(Entry{std::move(job), true});
  lock.unlock();
  wake_.notify_one();
  return true;
}

void Worker::Loop(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  LowerThreadPriority();
  for (;;) {
    Entry entry;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, and nothing (more) to run
      entry = std::move(jobs_.front());
      jobs_.pop_front();
      if (entry.bounded) --boundedWaiting_;
    }
    if (entry.bounded) room_.notify_all();
    entry.job();
  }
}

}  // namespace ombrelo
