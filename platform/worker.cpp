#include "platform/worker.h"

#include <pthread.h>

#include <deque>
#include <utility>

#include "platform/sync.h"

namespace ombrelo {

Worker::Worker(std::string name, AtEnd atEnd)
    : atEnd_(atEnd), thread_([this, name = std::move(name)] { Loop(name); }) {}

Worker::~Worker() {
  stopping_ = true;
  posts_.fetch_add(1);
  posts_.notify_all();
  begun_.fetch_add(1);
  begun_.notify_all();
  thread_.join();  // what a giver racing the destruction posted goes with incoming_
}

void Worker::Push(Entry entry) {
  incoming_.Push(std::move(entry));
  posts_.fetch_add(1, std::memory_order_release);
  posts_.notify_one();
}

void Worker::Post(std::function<void()> job) { Push(Entry{std::move(job), false}); }

bool Worker::PostBounded(std::function<void()> job, size_t most) {
  for (;;) {
    if (stopping_) return false;
    // Read before the count: a job begun after it changes it, and the
    // wait below returns at once.
    const uint32_t begun = begun_.load();
    uint32_t waiting = boundedWaiting_.load();
    if (waiting < most) {
      if (boundedWaiting_.compare_exchange_weak(waiting, waiting + 1)) break;
      continue;
    }
    begun_.wait(begun);
  }
  Push(Entry{std::move(job), true});
  return true;
}

void Worker::Loop(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  LowerThreadPriority();
  std::deque<Entry> ready;  // taken, oldest first
  for (;;) {
    if (ready.empty()) {
      // Read before the list is taken: a post after the taking changes it.
      const uint32_t posts = posts_.load(std::memory_order_acquire);
      for (Entry& entry : incoming_.TakeAll()) ready.push_back(std::move(entry));
      if (ready.empty()) {
        if (stopping_) return;  // nothing (more) to run
        posts_.wait(posts);
        continue;
      }
    }
    if (stopping_ && atEnd_ == AtEnd::dropQueued) {
      ready.clear();
      continue;  // and whatever is still in the list
    }
    const Entry entry = std::move(ready.front());
    ready.pop_front();
    if (entry.bounded) {
      boundedWaiting_.fetch_sub(1);
      begun_.fetch_add(1);
      begun_.notify_all();
    }
    entry.job();
  }
}

}  // namespace ombrelo
