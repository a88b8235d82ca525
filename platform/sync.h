#pragma once
// Thread helpers the engine and the workers are written against: a
// millisecond tick source that tests can replace, and the priority of the
// program's worker threads.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>

namespace ombrelo {

// Milliseconds from an arbitrary origin; the engine's stall timings read it.
using TickSource = std::function<uint64_t()>;

inline uint64_t SteadyTickCount() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The nice value of worker threads (decoding, converting, writing) in a
// program with a window: the window's thread, at the process's own value,
// is served first when both want a core, and the workers still get the
// machine when it would otherwise be idle. Not SCHED_IDLE: beside other busy
// programs a capture at that class would hardly move at all.
inline constexpr int kWorkerNice = 10;

// The nice value LowerThreadPriority gives; a program without a window
// (nothing to keep responsive, and a worker that must show progress to the
// batch) sets 0 before it starts any work.
inline std::atomic<int>& WorkerNice() {
  static std::atomic<int> nice{kWorkerNice};
  return nice;
}

// Lowers the calling thread (Linux keeps a nice value per thread) to the
// workers' priority; threads it starts afterwards inherit it. Never raises
// it: a program started at a lower priority stays there.
inline void LowerThreadPriority() {
  const int wanted = WorkerNice().load();
  const id_t self = static_cast<id_t>(gettid());
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, self);
  if (errno == 0 && now < wanted) setpriority(PRIO_PROCESS, self, wanted);
}

}  // namespace ombrelo
