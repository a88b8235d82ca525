#pragma once
// CaptureEventSink: the engine's listener for the workflow controller.
//
// A frame the engine takes arrives on the capture thread and goes from there
// straight to the frame writer: the sink copies its pixels once, names its
// thumbnail (from the naming the owner gave for the movie) and queues it
// with the writer, waiting only while the writer is behind. The owner's
// thread only hears what happened, as posted events keyed by the movie's id:
//  - the answer to the open, which the capture thread made;
//  - a preview: the newest frame; one that was not shown yet is replaced by
//    a newer one, so a slow owner never slows the capture;
//  - progress: coalesced the same way, the newest value is read when shown;
//  - status texts and state changes;
//  - the end of the capture, posted through the writer, so that it arrives
//    after the results of every frame written before it.
#include <QEvent>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/capture_engine.h"
#include "workflow/frame_output.h"
#include "workflow/frame_writer.h"

class QObject;

namespace ombrelo {

class ThreadCalls;

// The events the sink posts, and the controller's own ones.
enum class WorkflowEventType : int {
  progress = QEvent::User + 1,      // the newest per mille: CaptureEventSink::TakeProgress
  preview = QEvent::User + 2,       // the newest frame: CaptureEventSink::TakePreview
  captureEnded = QEvent::User + 3,  // value = 1 when completed
  statusText = QEvent::User + 5,    // text = a constant stall message
  stateChanged = QEvent::User + 6,  // value = the engine's new CaptureState
  opened = QEvent::User + 8,        // open = the engine's answer to the open
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
  const char* text;            // statusText only; lives as long as the program
  std::function<void()> call;  // workDone only
  OpenOutcome open;            // opened only
  CaptureEnd end;              // captureEnded only
};

// Per mille of current in total, truncated, kept to 0 .. 1000 (0 when the
// total is not positive).
int ProgressPerMille(int64_t current, int64_t total);

class CaptureEventSink : public CaptureListener {
 public:
  // Posts to target, which must live on the owner's thread, through calls
  // (which lives there too), and queues frames with the writer; all three
  // must outlive the time the sink is the engine's listener.
  CaptureEventSink(ThreadCalls& calls, QObject* target, FrameWriter& writer);
  ~CaptureEventSink();

  // Called at every movie start, before the engine opens the movie: the
  // movie's id and path, image numbers from 0, the end not yet reported.
  // Frames wait for the movie's naming (SetNaming) before they are queued.
  void Reset(int32_t movieId, const std::string& moviePath);
  // How the movie's thumbnails are named and written; given once the movie
  // is open, and again whenever the owner's settings may have changed.
  void SetNaming(const ThumbnailNaming& naming);
  void UpdateSettings(const CaptureSettings& settings);
  // No movie: frames are dropped (the owner is going away).
  void Detach() { Reset(-1, ""); }

  // Owner's thread: what the last preview and progress events stand for.
  // They take no lock: the capture thread, at a lower priority, may be
  // waiting for a core with the sink's lock held.
  std::shared_ptr<const FrameCopy> TakePreview();
  int TakeProgress();

  // CaptureListener (capture thread).
  void Opened(const OpenOutcome& outcome) override;
  void FrameCaptured(const CapturedFrame& frame) override;
  void StatusText(FrameNumber frame, const char* text) override;
  void CaptureEnded(const CaptureEnd& end) override;
  void Progress(FrameNumber frame, FrameNumber frameCount) override;
  void StateChanged(CaptureState state) override;

 private:
  void Post(std::unique_ptr<WorkflowEvent> event);
  int32_t MovieId();

  ThreadCalls& calls_;
  QObject* target_;
  FrameWriter& writer_;
  std::atomic<int32_t> movieId_{-1};  // written under mutex_
  std::mutex mutex_;                  // guards the fields below, up to the atomics
  std::condition_variable named_;
  int64_t capture_ = 0;  // counts the captures, for the writer
  std::string moviePath_;
  std::optional<ThumbnailNaming> naming_;
  int32_t nextImageNumber_ = 0;
  bool endReported_ = false;
  // The newest frame, posted and not yet taken (owned; null once taken).
  std::atomic<FrameCopy*> preview_{nullptr};
  std::atomic<int> progress_{-1};       // the newest per mille
  std::atomic<int> progressShown_{-1};  // taken last by the owner
  std::atomic<bool> progressPosted_{false};
};

}  // namespace ombrelo
