#pragma once
// Hands calls from worker threads to the thread of a Qt object (for the
// libraries and programs built on Qt).
#include <QObject>
#include <atomic>
#include <deque>
#include <functional>

#include "platform/push_list.h"

class QSocketNotifier;

namespace ombrelo {

// Lives on the thread the calls are for and runs them there, in the order
// they were posted; calls still waiting when it goes are dropped.
//
// Posting takes no lock. The workers run at a lower priority than the
// window's thread, so a worker that holds a lock this thread needs can wait
// long for a core while the window's thread waits for it; Qt's own queue of
// posted events is guarded by such a lock. A post pushes the call onto a
// lock-free list and, when the list was empty, wakes this thread through an
// eventfd it watches.
class ThreadCalls : public QObject {
 public:
  ThreadCalls();
  ~ThreadCalls() override;
  ThreadCalls(const ThreadCalls&) = delete;
  ThreadCalls& operator=(const ThreadCalls&) = delete;

  // Any thread.
  void Post(std::function<void()> call);

  // This object's thread: runs the calls posted so far, now (a step that
  // must come after everything the workers reported before it).
  void RunPending();

  bool event(QEvent* event) override;

 private:
  void Wake();
  void Watch();

  int wake_ = -1;  // eventfd; -1 when none could be made
  QSocketNotifier* notifier_ = nullptr;
  // The eventfd is watched: until then (no event loop on this thread yet,
  // or no eventfd) a posted event wakes this thread.
  std::atomic<bool> watched_{false};
  PushList<std::function<void()>> incoming_;
  std::deque<std::function<void()>> ready_;  // taken, oldest first, not yet run
};

}  // namespace ombrelo
