#include "workflow/capture_event_sink.h"

#include <QCoreApplication>
#include <QObject>
#include <utility>
#include <vector>

#include "platform/thread_handoff.h"

namespace ombrelo {

int ProgressPerMille(int64_t current, int64_t total) {
  if (total <= 0) return 0;
  const double perMille = static_cast<double>(current) / static_cast<double>(total) * 1000.0;
  if (!(perMille > 0.0)) return 0;
  if (perMille >= 1000.0) return 1000;
  return static_cast<int>(perMille);
}

CaptureEventSink::CaptureEventSink(QObject* target, FrameWriter& writer)
    : target_(target), writer_(writer) {}

void CaptureEventSink::Reset(int32_t movieId, const std::string& moviePath) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    movieId_ = movieId;
    ++capture_;
    moviePath_ = moviePath;
    naming_.reset();
    nextImageNumber_ = 0;
    endReported_ = false;
    preview_.reset();
    previewPosted_ = false;
    progress_ = progressShown_ = -1;
    progressPosted_ = false;
  }
  named_.notify_all();
}

void CaptureEventSink::SetNaming(const ThumbnailNaming& naming) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    naming_ = naming;
  }
  named_.notify_all();
}

void CaptureEventSink::UpdateSettings(const CaptureSettings& settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (naming_) naming_->settings = settings;
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

std::shared_ptr<const FrameCopy> CaptureEventSink::TakePreview() {
  std::lock_guard<std::mutex> lock(mutex_);
  previewPosted_ = false;
  return std::move(preview_);
}

int CaptureEventSink::TakeProgress() {
  std::lock_guard<std::mutex> lock(mutex_);
  progressPosted_ = false;
  progressShown_ = progress_;
  return progress_;
}

void CaptureEventSink::FrameCaptured(const CapturedFrame& frame) {
  const size_t size = frame.pixels && frame.size > 0 ? static_cast<size_t>(frame.size) : 0;
  auto copy = std::make_shared<FrameCopy>();
  // The one copy of the frame, shared by the preview and the writer.
  copy->pixels = std::make_shared<const std::vector<uint8_t>>(frame.pixels, frame.pixels + size);
  copy->size = static_cast<int32_t>(size);
  copy->frame = static_cast<int32_t>(frame.frame);
  copy->time = frame.time;
  FrameWriter::Job job;
  bool postPreview;
  // The preview it replaces is let go after the lock: freeing a frame's
  // pixels can take long enough to hold up the owner's thread, which takes
  // the same lock for the preview.
  std::shared_ptr<const FrameCopy> replaced;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // The owner names the movie as soon as the engine has opened it.
    const int64_t capture = capture_;
    named_.wait(lock, [&] { return naming_ || movieId_ < 0 || capture_ != capture; });
    if (!naming_ || capture_ != capture) return;
    copy->moviePath = moviePath_;
    copy->imageNumber = nextImageNumber_++;
    copy->movieId = movieId_;
    job.movieId = movieId_;
    job.capture = capture_;
    job.videoFormat = naming_->videoFormat;
    job.settings = naming_->settings;
    job.path = ThumbnailFileName(naming_->prefix, naming_->settings, *copy);
    postPreview = !previewPosted_;
    previewPosted_ = true;
    replaced = std::exchange(preview_, copy);
  }
  job.frame = *copy;
  if (postPreview) Post(std::make_unique<WorkflowEvent>(WorkflowEventType::preview, copy->movieId));
  writer_.Write(std::move(job));  // waits while the writer is behind
}

void CaptureEventSink::Opened(const OpenOutcome& outcome) {
  auto event = std::make_unique<WorkflowEvent>(WorkflowEventType::opened, MovieId());
  event->open = outcome;
  Post(std::move(event));
}

void CaptureEventSink::StatusText(FrameNumber frame, const char* text) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::statusText, MovieId(),
                                       static_cast<int32_t>(frame), text));
}

void CaptureEventSink::CaptureEnded(const CaptureEnd& end) {
  int32_t movieId;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endReported_) return;
    endReported_ = true;
    movieId = movieId_;
  }
  // Behind the frames: the owner records every thumbnail before the end.
  writer_.Run([this, movieId, end] {
    auto event = std::make_unique<WorkflowEvent>(WorkflowEventType::captureEnded, movieId,
                                                 end.completed ? 1 : 0);
    event->end = end;
    Post(std::move(event));
  });
}

void CaptureEventSink::Progress(FrameNumber frame, FrameNumber frameCount) {
  // Every decoded frame reports its place; the owner hears of it only when
  // the per mille shown changes, and once for all changes until it looks.
  const int perMille = ProgressPerMille(frame, frameCount);
  int32_t movieId;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_ = perMille;
    if (progressPosted_ || perMille == progressShown_) return;
    progressPosted_ = true;
    movieId = movieId_;
  }
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::progress, movieId));
}

void CaptureEventSink::StateChanged(CaptureState state) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::stateChanged, MovieId(),
                                       static_cast<int32_t>(state)));
}

}  // namespace ombrelo
