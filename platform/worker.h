#pragma once
// A worker: one thread of its own that runs the jobs given to it one at a
// time, in the order they were given, behind the program's window. Its
// thread is niced (kNiceness above the thread that made it), so that when
// the machine is busy the window's thread is served first; a job that waits
// a little longer does no harm, a window that waits does.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/push_list.h"

namespace ombrelo {

class Worker {
 public:
  // What becomes of the jobs not yet begun when the worker is destroyed.
  enum class AtEnd {
    runQueued,   // they run first (work that must not be lost)
    dropQueued,  // they are dropped (work nobody waits for any more)
  };

  // name: the thread's name (at most 15 characters are shown).
  explicit Worker(std::string name, AtEnd atEnd = AtEnd::runQueued);
  // Lets the job in hand finish, runs or drops the rest (AtEnd), and joins.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Queues the job; never waits, and takes no lock: the window's thread
  // posts, and the worker, at a lower priority, may wait long for a core
  // while it holds a lock.
  void Post(std::function<void()> job);
  // Queues the job as one of a bounded kind: waits first while `most` jobs
  // of that kind wait to be begun (the giver is ahead of the worker). False,
  // and nothing queued, when the worker is being destroyed meanwhile.
  bool PostBounded(std::function<void()> job, size_t most);

 private:
  struct Entry {
    std::function<void()> job;
    bool bounded = false;
  };
  void Push(Entry entry);
  void Loop(const std::string& name);

  const AtEnd atEnd_;
  PushList<Entry> incoming_;                 // posted, not yet taken
  std::atomic<uint32_t> posts_{0};           // counts posts and the end: the worker waits on it
  std::atomic<uint32_t> boundedWaiting_{0};  // bounded jobs posted, not yet begun
  std::atomic<uint32_t> begun_{0};  // counts bounded jobs begun and the end: givers wait on it
  std::atomic<bool> stopping_{false};
  std::thread thread_;  // last, so that it starts when all is set
};

}  // namespace ombrelo
