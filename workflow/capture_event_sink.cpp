#include "workflow/capture_event_sink.h"

#include <QCoreApplication>
#include <QObject>
#include <utility>
#include <vector>

#include "platform/qt/thread_calls.h"

namespace ombrelo {

int ProgressPerMille(int64_t current, int64_t total) {
  if (total <= 0) return 0;
  const double perMille = static_cast<double>(current) / static_cast<double>(total) * 1000.0;
  if (!(perMille > 0.0)) return 0;
  if (perMille >= 1000.0) return 1000;
  return static_cast<int>(perMille);
}

CaptureEventSink::CaptureEventSink(ThreadCalls& calls, QObject* target, FrameWriter& writer)
    : calls_(calls), target_(target), writer_(writer) {}

CaptureEventSink::~CaptureEventSink() { delete preview_.exchange(nullptr); }

void CaptureEventSink::Reset(int32_t movieId, const std::string& moviePath) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    movieId_ = movieId;
    ++capture_;
    moviePath_ = moviePath;
    naming_.reset();
    nextImageNumber_ = 0;
    endReported_ = false;
    delete preview_.exchange(nullptr);
    progress_ = -1;
    progressShown_ = -1;
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

int32_t CaptureEventSink::MovieId() { return movieId_.load(); }

void CaptureEventSink::Post(std::unique_ptr<WorkflowEvent> event) {
  calls_.Post([target = target_, event = std::shared_ptr<WorkflowEvent>(std::move(event))] {
    QCoreApplication::sendEvent(target, event.get());
  });
}

std::shared_ptr<const FrameCopy> CaptureEventSink::TakePreview() {
  return std::shared_ptr<const FrameCopy>(preview_.exchange(nullptr));
}

int CaptureEventSink::TakeProgress() {
  // Cleared first: a value stored after the read below is posted again.
  progressPosted_ = false;
  const int perMille = progress_.load();
  progressShown_ = perMille;
  return perMille;
}

void CaptureEventSink::FrameCaptured(const CapturedFrame& frame) {
  const size_t size = frame.pixels && frame.size > 0 ? static_cast<size_t>(frame.size) : 0;
  auto copy = std::make_unique<FrameCopy>();
  // The one copy of the frame, shared by the preview and the writer.
  copy->pixels = std::make_shared<const std::vector<uint8_t>>(frame.pixels, frame.pixels + size);
  copy->size = static_cast<int32_t>(size);
  copy->frame = static_cast<int32_t>(frame.frame);
  copy->time = frame.time;
  FrameWriter::Job job;
  bool postPreview;
  std::unique_ptr<FrameCopy> replaced;  // let go after the lock
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
    job.frame = *copy;
    // A preview still waiting to be taken is replaced; none waiting: the
    // owner has taken the last one, and hears of this one.
    replaced.reset(preview_.exchange(copy.release()));
    postPreview = !replaced;
  }
  if (postPreview) Post(std::make_unique<WorkflowEvent>(WorkflowEventType::preview, job.movieId));
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
  progress_ = perMille;
  if (perMille == progressShown_ || progressPosted_.exchange(true)) return;
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::progress, MovieId()));
}

void CaptureEventSink::StateChanged(CaptureState state) {
  Post(std::make_unique<WorkflowEvent>(WorkflowEventType::stateChanged, MovieId(),
                                       static_cast<int32_t>(state)));
}

}  // namespace ombrelo
