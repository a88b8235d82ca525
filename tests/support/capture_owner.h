#pragma once
// The owner's side of a capture for programs that drive the engine without
// an event loop (tests, benchmarks): what the engine reports on its capture
// thread is copied and queued, and the owner's thread takes it from the
// queue. Without a frame limit the capture never waits for the owner; with
// one, a frame waits on the capture thread while that many frames are
// queued (as frames wait for a writer that is behind), until Release.
// Header-only: only programs that link the engine include it.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_engine.h"

namespace ombrelo::testing {

// The engine's answers to Open, as a listener records them on the capture
// thread, for the owner's thread to wait for.
class OpenAnswers {
 public:
  void Add(const OpenOutcome& outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(outcome);
    cv_.notify_all();
  }
  // The oldest answer not taken yet; nothing when none came in time.
  std::optional<OpenOutcome> Next(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, limit, [&] { return !answers_.empty(); })) return std::nullopt;
    OpenOutcome answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<OpenOutcome> answers_;
};

// Opens as an owner does, and waits for the engine's answer.
inline OpenOutcome OpenAndWait(CaptureEngine& engine, OpenAnswers& answers,
                               const std::string& path) {
  engine.Open(path);
  if (std::optional<OpenOutcome> answer = answers.Next()) return *answer;
  OpenOutcome none;
  none.text = "the open was not answered";
  return none;
}

class CaptureOwner final : public CaptureListener {
 public:
  explicit CaptureOwner(size_t frameLimit = 0) : frameLimit_(frameLimit) {}

  struct Message {
    enum Kind { frame, ended, status, state } kind;
    int64_t value = 0;  // frame number; `ended`: 1 when completed; `state`: the CaptureState
    double time = 0;    // of a frame, in seconds
    std::vector<uint8_t> pixels;
    std::string text;
  };

  // Frames go to this handler (on the capture thread) instead of the queue.
  void SetFrameHandler(std::function<void(const CapturedFrame&)> handler) {
    frameHandler_ = std::move(handler);
  }

  void Opened(const OpenOutcome& outcome) override { answers.Add(outcome); }
  void FrameCaptured(const CapturedFrame& frame) override {
    if (frameHandler_) {
      frameHandler_(frame);
      return;
    }
    Message m{Message::frame, frame.frame, frame.time, {}, {}};
    m.pixels.assign(frame.pixels, frame.pixels + frame.size);
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return frameLimit_ == 0 || framesQueued_ < frameLimit_; });
    ++framesQueued_;
    queue_.push_back(std::move(m));
    cv_.notify_all();
  }
  // Frames no longer wait (before the owner stops taking messages).
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    frameLimit_ = 0;
    cv_.notify_all();
  }
  void StatusText(FrameNumber frame, const char* text) override {
    Post({Message::status, frame, 0, {}, text});
  }
  void CaptureEnded(const CaptureEnd& end) override {
    Post({Message::ended, end.completed, 0, {}, {}});
  }
  void Progress(FrameNumber, FrameNumber) override {}
  void StateChanged(CaptureState state) override {
    Post({Message::state, static_cast<int64_t>(state), 0, {}, {}});
  }

  OpenAnswers answers;

  // The next message, or nothing when none came in time (a hang).
  std::optional<Message> Next(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, limit, [&] { return !queue_.empty(); })) return std::nullopt;
    Message m = std::move(queue_.front());
    queue_.pop_front();
    if (m.kind == Message::frame) --framesQueued_;
    cv_.notify_all();
    return m;
  }

 private:
  void Post(Message m) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(m));
    cv_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Message> queue_;
  size_t frameLimit_;
  std::function<void(const CapturedFrame&)> frameHandler_;
  size_t framesQueued_ = 0;
};

}  // namespace ombrelo::testing
