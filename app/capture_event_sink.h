#pragma once
// CaptureEventSink: the engine's listener for the workflow controller. The
// engine calls it on its worker and streaming threads; the sink only copies
// what it is given into a new event and posts that to the controller's
// object, whose thread (the owner's) handles it. Nothing of the owner is
// touched from another thread.
//
// Every event carries the id of the movie the sink was reset for, so that a
// report arriving after its movie has ended is recognised and dropped.
#include <QEvent>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/frame_output.h"
#include "engine/capture_engine.h"

class QObject;

namespace ombrelo {

// The events the sink posts, and the controller's own ones.
enum class WorkflowEventType : int {
  progress = QEvent::User + 1,      // value = per mille
  frame = QEvent::User + 2,         // frame = the copy
  captureEnded = QEvent::User + 3,  // value = 1 when completed
  seek = QEvent::User + 4,          // value = frame number
  statusText = QEvent::User + 5,    // text = a constant stall message
  stateChanged = QEvent::User + 6,  // value = the engine's new CaptureState
  workDone = QEvent::User + 7,      // call = the owner's part of the frame writer's work
  indexPhotoPoll = QEvent::User + 16,
  idle = QEvent::User + 18,  // the idle step, posted at low priority
};

class WorkflowEvent : public QEvent {
 public:
  WorkflowEvent(WorkflowEventType type, int32_t movieId, int32_t value = 0,
                const char* text = nullptr)
      : QEvent(static_cast<QEvent::Type>(type)), movieId(movieId), value(value), text(text) {}

  WorkflowEventType Kind() const { return static_cast<WorkflowEventType>(type()); }

  int32_t movieId;
  int32_t value;
  const char* text;  // statusText only; lives as long as the program
  std::unique_ptr<FrameCopy> frame;
  std::function<void()> call;  // workDone only
};

// Per mille of current in total, truncated, kept to 0 .. 1000 (0 when the
// total is not positive).
int ProgressPerMille(int64_t current, int64_t total);

class CaptureEventSink : public CaptureListener {
 public:
  // Posts to target, which must live on the owner's thread and outlive the
  // time the sink is the engine's listener.
  explicit CaptureEventSink(QObject* target);

  // Called at every movie start, before the engine opens the movie: the
  // movie's id and path, image numbers from 0, the end not yet reported.
  void Reset(int32_t movieId, const std::string& moviePath);

  // CaptureListener (engine threads).
  void FrameCaptured(const CapturedFrame& frame) override;
  void SeekRequested(FrameNumber frame) override;
  void CaptureAbortNotice() override;
  void StatusText(FrameNumber frame, const char* text) override;
  void CaptureEnded(bool completed) override;
  void Progress(FrameNumber frame, FrameNumber frameCount) override;
  void StateChanged(CaptureState state) override;

 private:
  void Post(std::unique_ptr<WorkflowEvent> event);
  int32_t MovieId();

  QObject* target_;
  std::mutex mutex_;  // guards the fields below
  int32_t movieId_ = -1;
  std::string moviePath_;
  int32_t nextImageNumber_ = 0;
  bool endReported_ = false;
  int lastProgress_ = -1;  // per mille last posted: only a change is posted
};

}  // namespace ombrelo
