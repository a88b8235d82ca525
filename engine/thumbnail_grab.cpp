#include "engine/thumbnail_grab.h"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ffmpeg_pipeline.h"
#include "engine/frame_metrics.h"
#include "platform/result_codes.h"

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;

// Cancels what the pipeline waits for once the time is up, so that an
// opening or a read that blocks gives up.
class Watchdog {
 public:
  Watchdog(MediaPipeline& pipeline, Clock::time_point deadline)
      : thread_([this, &pipeline, deadline] {
          pthread_setname_np(pthread_self(), "grab-watchdog");
          std::unique_lock<std::mutex> lock(mutex_);
          if (cv_.wait_until(lock, deadline, [this] { return done_; })) return;
          expired_ = true;
          lock.unlock();
          pipeline.Cancel();
        }) {}
  ~Watchdog() { Finish(); }
  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  bool Expired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return expired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;     // under mutex_
  bool expired_ = false;  // under mutex_
  std::thread thread_;
};

// Looks at the frames pulled until one is not flat or as many as asked for
// were looked at.
class Collector {
 public:
  explicit Collector(const BitmapInfoHeader& header) : header_(header) {}

  enum class Look { done, ended, timedOut };
  // Pulls frames until `frames` were looked at, the stream ended, or the
  // deadline passed.
  Look Frames(MediaPipeline& pipeline, int frames, Clock::time_point deadline) {
    wanted_ = frames;
    while (wanted_ > 0) {
      if (Clock::now() >= deadline) return Look::timedOut;
      PulledFrame pulled;
      const Pull pull = pipeline.NextFrame(&pulled);
      if (pull == Pull::end) return Look::ended;
      if (pull == Pull::frame && !pulled.sample->IsPreroll()) Offer(*pulled.sample, pulled.start);
    }
    return Look::done;
  }

  bool HaveBest() const { return haveBest_; }
  // The first frame that is not flat, else the first flat one.
  bool Take(GrabbedFrame* out) {
    if (!haveBest_ && !haveFlat_) return false;
    *out = std::move(haveBest_ ? best_ : flat_);
    return true;
  }

 private:
  void Offer(MediaSample& sample, int64_t time) {
    // A key frame that another point led to again: the next frame.
    if (std::find(seen_.begin(), seen_.end(), time) != seen_.end()) return;
    seen_.push_back(time);
    GrabbedFrame frame;
    if (!Copy(sample, time, &frame)) return;  // not convertible: the next one
    if (!frame.flat) {
      best_ = std::move(frame);
      haveBest_ = true;
      wanted_ = 0;
      return;
    }
    if (!haveFlat_) {
      flat_ = std::move(frame);
      haveFlat_ = true;
    }
    --wanted_;
  }

  bool Copy(MediaSample& sample, int64_t time, GrabbedFrame* frame) const {
    const int width = header_.biWidth, height = header_.biHeight;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    const uint8_t* pixels = sample.GetPointer();
    if (!pixels || sample.GetSize() < 0 ||
        static_cast<size_t>(sample.GetSize()) < stride * static_cast<size_t>(height))
      return false;
    frame->width = width;
    frame->height = height;
    frame->time = time;
    frame->bgr.resize(static_cast<size_t>(width) * 3 * height);
    for (int y = 0; y < height; ++y)  // bottom-up rows to top-down
      std::memcpy(frame->bgr.data() + static_cast<size_t>(width) * 3 * y,
                  pixels + stride * static_cast<size_t>(height - 1 - y),
                  static_cast<size_t>(width) * 3);
    frame->flat = IsNearlyFlat(frame->bgr.data(), width, height, width * 3);
    return true;
  }

  const BitmapInfoHeader header_;
  int wanted_ = 0;             // frames still to look at
  std::vector<int64_t> seen_;  // times of the frames looked at
  GrabbedFrame best_, flat_;
  bool haveBest_ = false, haveFlat_ = false;
};

GrabResult Failure(std::string text) {
  GrabResult result;
  result.error = std::move(text);
  return result;
}

}  // namespace

GrabResult GrabRepresentativeFrame(const std::string& path, const GrabOptions& options) {
  const Clock::time_point deadline = Clock::now() + options.timeLimit;
  std::unique_ptr<MediaPipeline> pipeline =
      options.pipelineFactory ? options.pipelineFactory() : MakeFfmpegPipeline();
  if (!pipeline) return Failure("no media pipeline");
  Watchdog watchdog(*pipeline, deadline);
  const char* timedOut = "no frame within the time limit";

  // The pipeline's own reason when it gives one.
  auto why = [&](const char* otherwise) -> std::string {
    if (watchdog.Expired()) return timedOut;
    const std::string reason = pipeline->FailureReason();
    return reason.empty() ? otherwise : reason;
  };
  if (pipeline->Open(path) != S_OK) return Failure(why("not a media file that can be read"));
  if (pipeline->Connect() != S_OK) return Failure(why("no video stream that can be decoded"));
  StreamFacts facts;
  if (pipeline->GetStreamFacts(&facts) != S_OK || facts.header.biWidth <= 0 ||
      facts.header.biHeight <= 0 || facts.header.biBitCount != 24)
    return Failure("no picture size");

  // A read that waits for data gives up at the deadline too.
  pipeline->SetWaitCheck([deadline] { return Clock::now() < deadline; });
  Collector collector(facts.header);
  if (facts.canSeek && facts.duration > 0 && !options.positions.empty()) {
    for (double share : options.positions) {
      const int64_t at = std::clamp(static_cast<int64_t>(static_cast<double>(facts.duration) *
                                                         std::clamp(share, 0.0, 1.0)),
                                    int64_t{0}, facts.duration - 1);
      // Any frame from halfway to the point on will do: the key frame
      // before the point when it lies there, so that nothing but that frame
      // is decoded; else the frame halfway, never the video's first.
      if (pipeline->Seek(at / 2, at) != S_OK) continue;
      if (collector.Frames(*pipeline, 1, deadline) == Collector::Look::timedOut) break;
      if (collector.HaveBest()) break;
    }
  } else {
    collector.Frames(*pipeline, std::max(1, options.framesWithoutSeeking), deadline);
  }
  watchdog.Finish();
  const bool expired = watchdog.Expired() || Clock::now() >= deadline;
  pipeline.reset();

  GrabResult result;
  if (!collector.Take(&result.frame))
    return Failure(expired ? timedOut : "no frame could be decoded");
  result.ok = true;
  return result;
}

}  // namespace ombrelo
