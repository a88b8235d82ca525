#include "platform/qt/thread_calls.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace ombrelo {
namespace {

QEvent::Type WakeType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace

ThreadCalls::ThreadCalls() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) { Watch(); }

void ThreadCalls::Watch() {
  if (wake_ < 0 || notifier_ || !QAbstractEventDispatcher::instance(thread())) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(wake_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { RunPending(); });
  watched_ = true;
}

ThreadCalls::~ThreadCalls() {
  delete notifier_;
  if (wake_ >= 0) ::close(wake_);
}

void ThreadCalls::Post(std::function<void()> call) {
  if (incoming_.Push(std::move(call))) Wake();
}

void ThreadCalls::Wake() {
  if (!watched_) {
    QCoreApplication::postEvent(this, new QEvent(WakeType()));
    return;
  }
  const uint64_t one = 1;
  while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ThreadCalls::RunPending() {
  // The wake-up is read before the list is taken: a call posted after the
  // taking wakes this thread again.
  Watch();  // made before the event loop: from now on
  uint64_t count = 0;
  if (watched_) {
    while (::read(wake_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }
  // After any taken earlier and not yet run: a call that spins an event
  // loop comes back here before it returns.
  for (std::function<void()>& call : incoming_.TakeAll()) ready_.push_back(std::move(call));
  const QPointer<ThreadCalls> alive(this);
  while (!ready_.empty()) {
    std::function<void()> call = std::move(ready_.front());
    ready_.pop_front();
    call();
    if (!alive) return;  // a call ended the object
  }
}

bool ThreadCalls::event(QEvent* event) {
  if (event->type() != WakeType()) return QObject::event(event);
  RunPending();
  return true;
}

}  // namespace ombrelo
