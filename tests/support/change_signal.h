#pragma once
// Tells a waiting test that something it waits for may have changed: the
// fakes and recorders of the tests raise it after each change, and
// WaitUntil checks its condition again at each, instead of sleeping between
// checks. One per test program.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ombrelo::testing {

class ChangeSignal {
 public:
  void Raise() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++changes_;
    }
    changed_.notify_all();
  }

  // Waits until condition() holds (it is checked without this signal's
  // lock, so it may take the locks of what it reads); false once the limit
  // has passed without it.
  template <typename Condition>
  bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      uint64_t seen;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen = changes_;
      }
      if (condition()) return true;
      std::unique_lock<std::mutex> lock(mutex_);
      if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; }))
        return condition();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t changes_ = 0;
};

inline ChangeSignal& Changes() {
  static ChangeSignal signal;
  return signal;
}

}  // namespace ombrelo::testing
