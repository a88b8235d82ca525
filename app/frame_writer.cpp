#include "app/frame_writer.h"

#include <pthread.h>

#include <utility>

namespace ombrelo {

FrameWriter::FrameWriter(Done done) : done_(std::move(done)), thread_([this] { Loop(); }) {}

FrameWriter::~FrameWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void FrameWriter::Write(Job job) {
  Run([this, job = std::move(job)]() mutable {
    std::string reason;
    const bool written =
        WriteThumbnail(job.videoFormat, job.frame, job.path, job.settings, &reason);
    job.frame.pixels.reset();
    done_(Result{std::move(job), written, std::move(reason)});
  });
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
