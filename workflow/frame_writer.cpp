#include "workflow/frame_writer.h"

#include <pthread.h>

#include <utility>

#include "platform/sync.h"

namespace ombrelo {

FrameWriter::FrameWriter(Done done) : done_(std::move(done)), thread_([this] { Loop(); }) {}

FrameWriter::~FrameWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    jobs_.clear();
    framesWaiting_ = 0;
  }
  wake_.notify_all();
  room_.notify_all();
  thread_.join();
}

void FrameWriter::Write(Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  room_.wait(lock, [this] { return quit_ || framesWaiting_ < kMaxFramesWaiting; });
  if (quit_) return;
  ++framesWaiting_;
  jobs_.push_back([this, job = std::move(job)]() mutable {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      --framesWaiting_;
    }
    room_.notify_all();
    WriteNow(job);
  });
  lock.unlock();
  wake_.notify_one();
}

void FrameWriter::WriteNow(Job& job) {
  if (job.capture == failedCapture_) return;  // the movie takes no more thumbnails
  std::string reason;
  const bool written = WriteThumbnail(job.videoFormat, job.frame, job.path, job.settings, &reason);
  if (!written) failedCapture_ = job.capture;
  job.frame.pixels.reset();
  done_(Result{std::move(job), written, std::move(reason)});
}

void FrameWriter::Run(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(work));
  }
  wake_.notify_one();
}

void FrameWriter::Loop() {
  pthread_setname_np(pthread_self(), "frame writer");
  LowerThreadPriority();  // encoding and writing wait for the window, not it for them
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
      if (quit_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace ombrelo
