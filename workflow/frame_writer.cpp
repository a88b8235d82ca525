#include "workflow/frame_writer.h"

#include <utility>


namespace ombrelo {

FrameWriter::FrameWriter(Done done) : done_(std::move(done)) {}

FrameWriter::~FrameWriter() = default;

void FrameWriter::Write(Job job) {
  worker_.PostBounded([this, job = std::move(job)]() mutable { WriteNow(job); }, kMaxFramesWaiting);
}

void FrameWriter::WriteNow(Job& job) {
  if (job.capture == failedCapture_) return;  // the movie takes no more thumbnails
  std::string reason;
  const bool written = WriteThumbnail(job.videoFormat, job.frame, job.path, job.settings, &reason);
  if (!written) failedCapture_ = job.capture;
  job.frame.pixels.reset();
  done_(Result{std::move(job), written, std::move(reason)});
}

void FrameWriter::Run(std::function<void()> work) { worker_.Post(std::move(work)); }

}  // namespace ombrelo
