#pragma once
// Hands calls from worker threads to the thread of a Qt object (for the
// libraries and programs built on Qt).
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <functional>
#include <utility>

#include "platform/thread_handoff.h"

namespace ombrelo {

// Lives on the thread the calls are for and runs them there, in the order
// they were posted; calls still waiting when it goes are dropped. Each call
// goes as an event of its own, which this thread runs and deletes: a queued
// functor (QMetaObject::invokeMethod) may instead be freed by the thread
// that queued it, after this thread has used what it holds.
class ThreadCalls : public QObject {
 public:
  // Any thread.
  void Post(std::function<void()> call) {
    auto* event = new Call(std::move(call));
    HandOff(event);
    QCoreApplication::postEvent(this, event);
  }

  bool event(QEvent* event) override {
    Received(event);  // before its first read: a call comes from another thread
    if (event->type() != Call::Type()) return QObject::event(event);
    static_cast<Call*>(event)->run();
    return true;
  }

 private:
  class Call : public QEvent {
   public:
    static QEvent::Type Type() {
      static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
      return type;
    }
    explicit Call(std::function<void()> call) : QEvent(Type()), run(std::move(call)) {}
    // Also when it is dropped unrun.
    ~Call() override { Received(this); }
    std::function<void()> run;
  };
};

}  // namespace ombrelo
