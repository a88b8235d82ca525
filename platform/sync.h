#pragma once
// Thread primitives the engine is written against: an auto-reset event and
// a millisecond tick source that tests can replace.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace ombrelo {

// An event that releases exactly one waiter per Set and then resets itself.
class AutoResetEvent {
 public:
  explicit AutoResetEvent(bool initiallySet = false) : signalled_(initiallySet) {}

  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_one();
  }

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
  }

  // Waits up to timeoutMs; true when the event was set (and is now reset).
  bool Wait(int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
      return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;  // guarded by mutex_
};

// Milliseconds from an arbitrary origin; the engine's stall timings read it.
using TickSource = std::function<uint64_t()>;

inline uint64_t SteadyTickCount() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace ombrelo
