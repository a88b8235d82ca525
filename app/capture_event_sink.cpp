#include "app/capture_event_sink.h"

#include <QCoreApplication>
#include <QObject>
#include <vector>

#include "platform/debug_output.h"
#include "platform/thread_handoff.h"

namespace ombrelo {

int ProgressPerMille(int64_t current, int64_t total) {
  if (total <= 0) return 0;
  const double perMille = static_cast<double>(current) / static_cast<double>(total) * 1000.0;
  if (!(perMille > 0.0)) return 0;
  if (perMille >= 1000.0) return 1000;
  return static_cast<int>(perMille);
}

CaptureEventSink::CaptureEventSink(QObject* target) : target_(target) {}

void CaptureEventSink::Reset(int32_t movieId, const std::string& moviePath) {
  std::lock_guard<std::mutex> lock(mutex_);
  movieId_ = movieId;
  moviePath_ = moviePath;
  nextImageNumber_ = 0;
  endReported_ = false;
  lastProgress_ = -1;
}

int32_t CaptureEventSink::MovieId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return movieId_;
}

void CaptureEventSink::Post(std::unique_ptr<WorkflowEvent> event) {
  // The application takes ownership of the event.
  HandOff(event.get());
  QCoreApplication::postEvent(target_, event.release());
}

void CaptureEventSink::FrameCaptured(const CapturedFrame& frame) {
  auto copy = std::make_unique<FrameCopy>();
  const size_t size = frame.pixels && frame.size > 0 ? static_cast<size_t>(frame.size) : 0;
  copy->pixels = std::make_shared<const std::vector<uint8_t>>(frame.pixels, frame.pixels + size);
  copy->size = static_cast<int32_t>(size);
  copy->frame = frame.frame;
  copy->time = frame.time;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    copy->moviePath = moviePath_;
    copy->imageNumber = nextImageNumber_++;
    copy->movieId = movieId_;
  }
  auto event = std::make_unique<WorkflowEvent>(WorkflowEventType::frame, copy->movieId);
  event->frame = std::move(copy);
  Post(std::move(event));
}

void CaptureEventSink::SeekRequested(FrameNumber frame) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::seek, MovieId(), frame));
}

void CaptureEventSink::CaptureAbortNotice() { DebugOutput("Aborting..."); }

void CaptureEventSink::StatusText(FrameNumber frame, const char* text) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::statusText, MovieId(), frame, text));
}

void CaptureEventSink::CaptureEnded(bool completed) {
  int32_t movieId;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endReported_) return;
    endReported_ = true;
    movieId = movieId_;
  }
  Post(
      std::make_unique<WorkflowEvent>(WorkflowEventType::captureEnded, movieId, completed ? 1 : 0));
}

void CaptureEventSink::Progress(FrameNumber frame, FrameNumber frameCount) {
  // Every decoded frame reports its place; the owner hears of it only when
  // the per mille shown changes (a long movie has many frames to one).
  const int perMille = ProgressPerMille(frame, frameCount);
  int32_t movieId;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (perMille == lastProgress_) return;
    lastProgress_ = perMille;
    movieId = movieId_;
  }
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::progress, movieId, perMille));
}

void CaptureEventSink::StateChanged(CaptureState state) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::stateChanged, MovieId(),
                                       static_cast<int32_t>(state)));
}

}  // namespace ombrelo
