#pragma once
// Where the owner's thread was while its event loop kept an event waiting:
// read from the kernel's account of the thread (/proc/self/task/<tid>), by
// another thread. Its time on a core and its time waiting for one come from
// the scheduler's statistics; what it was blocked in (a lock, the memory
// map, a file) from its state and the call it sleeps in.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ombrelo::bench {

class OwnerWatch {
 public:
  using Clock = std::chrono::steady_clock;
  // The calling thread is the one watched.
  OwnerWatch();

  // Takes the thread's scheduler statistics (the watching thread, often);
  // late: the loop is behind, so where the thread is is noted too.
  void Sample(bool late);

  // How the time around a wait of the loop divides: on a core, waiting for
  // a core (other threads and programs had them), and the rest, asleep or
  // blocked. It spans the samples taken just before and after the wait
  // (1 ms apart while the loop is behind, 5 ms otherwise).
  struct Split {
    double spanMs = 0, onCoreMs = 0, waitingForCoreMs = 0, blockedMs = 0;
    bool known = false;
  };
  Split Over(Clock::time_point from, Clock::time_point to) const;

  // What the thread was found doing while the loop was behind, most often
  // first ("runnable", "sleeping in futex_wait_queue (futex)", ...).
  std::vector<std::pair<std::string, int>> WhileLate() const;

  // The thread's call stacks, taken by a signal while the loop was behind
  // and the thread slept in a lock, each with how often it was found there,
  // most often first; frames named, innermost first.
  std::vector<std::pair<std::string, int>> LockedStacks() const;

  // Takes the call stack of a thread of this process (the watched one, or
  // another that seems stuck), for LockedStacks, under the given name.
  void TakeStack(pid_t tid, const char* who);
  pid_t Watched() const { return tid_; }

 private:
  struct Stat {
    Clock::time_point at;
    uint64_t runNs = 0, waitNs = 0;
  };
  std::string Where() const;

  pid_t tid_;
  std::vector<Stat> stats_;  // watching thread only until read
  std::map<std::string, int> late_;
  std::mutex stackMutex_;  // guards the two below (the poster and its watchdog ask)
  int stacksAsked_ = 0;
  std::vector<const char*> stackOwners_;
};

}  // namespace ombrelo::bench
