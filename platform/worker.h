#pragma once
// A worker: one thread of its own that runs the jobs given to it one at a
// time, in the order they were given, behind the program's window. Its
// thread is niced (kNiceness above the thread that made it), so that when
// the machine is busy the window's thread is served first; a job that waits
// a little longer does no harm, a window that waits does.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

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

  // Queues the job; never waits.
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
  void Loop(const std::string& name);

  const AtEnd atEnd_;
  std::mutex mutex_;              // guards the fields below
  std::condition_variable wake_;  // a job came, or the worker is going
  std::condition_variable room_;  // a bounded job was begun, or the worker is going
  std::deque<Entry> jobs_;
  size_t boundedWaiting_ = 0;
  bool stopping_ = false;
  std::thread thread_;  // last, so that it starts when all is set
};

}  // namespace ombrelo
