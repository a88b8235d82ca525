#pragma once
// A scripted media pipeline and a recording listener for driving the
// capture engine without files or real time. The test queues deliveries;
// the engine's capture thread pulls them.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/media_pipeline.h"
#include "support/capture_owner.h"
#include "support/change_signal.h"

namespace ombrelo::testing {

// A millisecond clock that moves only when told to.
class FakeClock {
 public:
  uint64_t Now() const { return now_.load(); }
  void Advance(uint64_t ms) { now_ += ms; }
  TickSource Source() {
    return [this] { return now_.load(); };
  }

 private:
  std::atomic<uint64_t> now_{1'000'000};
};

// A sample with a few bytes of pixels.
class FakeSample final : public MediaSample {
 public:
  explicit FakeSample(bool preroll = false) : preroll_(preroll), pixels_(24, 0x5A) {}
  bool IsPreroll() const override { return preroll_; }
  const uint8_t* GetPointer() override {
    ++conversions;
    return pixels_.data();
  }
  int32_t GetSize() const override { return static_cast<int32_t>(pixels_.size()); }
  std::atomic<int> conversions{0};

 private:
  bool preroll_;
  std::vector<uint8_t> pixels_;
};

// What the fake does and what was done to it; outlives the pipeline.
struct FakeScript {
  struct Delivery {
    int64_t start = 0, end = 0;
    bool hasEnd = true;
    FakeSample* sample = nullptr;  // the test's, or one of the script's own
  };

  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::string> log;               // every call, in order
  std::map<std::string, MediaError> results;  // scripted results by call name
  StreamFacts facts;                          // 4 x 2 pixels, 100 frames at 25 fps
  std::deque<Delivery> queued;                // what the next pulls hand out
  bool ended = false;                         // the stream ends once the queue is empty
  bool destroyed = false;
  std::vector<int64_t> positions;  // Seek arguments
  std::vector<int64_t> wanted;
  std::vector<int64_t> expected;  // what ExpectNext was told
  std::vector<std::thread::id> seekThreads;
  std::vector<std::thread::id> openThreads;
  // Open waits while this is set (a file on a slow share), until it is
  // cleared or the reads are cancelled.
  bool holdOpen = false;
  void ReleaseOpen() {
    std::lock_guard<std::mutex> lock(mutex);
    holdOpen = false;
    cv.notify_all();
  }
  int pulls = 0;          // NextFrame calls
  int handedAtPull = -1;  // the pull that handed out the last delivery

  // A pull that finds nothing queued: advance the fake clock by a second
  // (the capture loop then checks the stall deadline), wait a moment in
  // real time for the test to queue something, or read on and on without
  // data, as a read from a stalled share does (the fake clock advancing a
  // tenth of a second at each wait check, until the check or Cancel ends it).
  enum class EmptyPull { advanceClock, wait, blockedRead } emptyPull = EmptyPull::wait;
  bool cancelled = false;
  FakeClock* clock = nullptr;
  // When set, called at every pull that finds nothing queued (on the capture
  // thread, without the lock), with the number of such pulls so far.
  std::function<void(int)> onEmptyPull;
  int emptyPulls = 0;
  // The engine's check for a read that waits (see SetWaitCheck).
  std::function<bool()> waitCheck;

  FakeScript() {
    facts.header.biWidth = 4;
    facts.header.biHeight = 2;
    facts.header.biBitCount = 24;
    facts.header.biSizeImage = 24;
    facts.avgTimePerFrame = 400'000;
    facts.duration = 100 * 400'000;
    facts.canSeek = true;
  }

  MediaError Result(const std::string& call) {
    auto it = results.find(call);
    return it == results.end() ? MediaError::none : it->second;
  }
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
  }
  void Queue(Delivery delivery) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!delivery.sample) {
      own.push_back(std::make_unique<FakeSample>());
      delivery.sample = own.back().get();
    }
    queued.push_back(delivery);
    cv.notify_all();
  }
  // The stream ends after what is queued.
  void End() {
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    cv.notify_all();
  }
  // True once everything queued was handed out and the capture thread came
  // back for more (so it has dealt with the last delivery).
  bool Consumed() {
    std::lock_guard<std::mutex> lock(mutex);
    return queued.empty() && pulls > handedAtPull;
  }

 private:
  std::vector<std::unique_ptr<FakeSample>> own;
};

class FakePipeline final : public MediaPipeline {
 public:
  explicit FakePipeline(std::shared_ptr<FakeScript> script) : s_(std::move(script)) {}
  ~FakePipeline() override { Call("destroyed"); }

  MediaError Open(const std::string& path) override {
    {
      std::unique_lock<std::mutex> lock(s_->mutex);
      s_->openThreads.push_back(std::this_thread::get_id());
      s_->cv.notify_all();
      s_->cv.wait(lock, [&] { return !s_->holdOpen || s_->cancelled; });
    }
    return Call("Open " + path, "Open");
  }
  MediaError Connect() override { return Call("Connect"); }
  MediaError GetStreamFacts(StreamFacts* facts) override {
    const MediaError hr = Call("GetStreamFacts");
    std::lock_guard<std::mutex> lock(s_->mutex);
    *facts = s_->facts;
    return hr;
  }
  MediaError Seek(int64_t current, int64_t wanted) override {
    {
      // Noted before the call is logged: a test that sees the entry finds
      // the seek's arguments too.
      std::lock_guard<std::mutex> lock(s_->mutex);
      s_->positions.push_back(current);
      s_->wanted.push_back(wanted);
      s_->seekThreads.push_back(std::this_thread::get_id());
      s_->ended = false;
    }
    return Call("Seek " + std::to_string(current), "Seek");
  }
  void ExpectNext(int64_t wanted) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->expected.push_back(wanted);
  }
  Pull NextFrame(PulledFrame* frame) override {
    std::unique_lock<std::mutex> lock(s_->mutex);
    ++s_->pulls;
    testing::Changes().Raise();
    if (!s_->queued.empty()) {
      const FakeScript::Delivery d = s_->queued.front();
      s_->queued.pop_front();
      s_->handedAtPull = s_->pulls;
      frame->sample = d.sample;
      frame->start = d.start;
      frame->end = d.end;
      frame->hasEnd = d.hasEnd;
      s_->cv.notify_all();
      return Pull::frame;
    }
    if (s_->ended) return Pull::end;
    const int empty = ++s_->emptyPulls;
    if (s_->onEmptyPull) {
      auto hook = s_->onEmptyPull;
      lock.unlock();
      hook(empty);
      return Pull::again;
    }
    if (s_->emptyPull == FakeScript::EmptyPull::blockedRead) {
      auto check = s_->waitCheck;
      lock.unlock();
      for (;;) {
        if (s_->clock) s_->clock->Advance(100);
        if (!check || !check()) return Pull::again;
        std::lock_guard<std::mutex> relock(s_->mutex);
        if (s_->cancelled) return Pull::again;
      }
    }
    if (s_->emptyPull == FakeScript::EmptyPull::advanceClock) {
      if (s_->clock) s_->clock->Advance(1000);
      return Pull::again;
    }
    s_->cv.wait_for(lock, std::chrono::milliseconds(2));
    return Pull::again;
  }
  void Interrupt() override { Call("Interrupt"); }
  void Cancel() override { Call("Cancel"); }
  void SetWaitCheck(std::function<bool()> check) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->waitCheck = std::move(check);
  }

 private:
  MediaError Call(const std::string& entry, const std::string& name = "") {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->log.push_back(entry);
    if (entry == "destroyed") s_->destroyed = true;
    if (entry == "Cancel") s_->cancelled = true;
    s_->cv.notify_all();
    testing::Changes().Raise();
    return s_->Result(name.empty() ? entry : name);
  }
  std::shared_ptr<FakeScript> s_;
};

// Records everything the engine reports.
class RecordingListener : public CaptureListener {
 public:
  struct Event {
    std::string kind;  // frame, status, ended, progress, state
    int64_t value = 0;
    std::string text;
    uint64_t tick = 0;  // fake clock at the report
  };
  explicit RecordingListener(FakeClock* clock = nullptr) : clock_(clock) {}

  void Opened(const OpenOutcome& outcome) override { answers.Add(outcome); }
  void FrameCaptured(const CapturedFrame& frame) override {
    Add({"frame", frame.frame, std::to_string(frame.size)});
  }
  void StatusText(FrameNumber frame, const char* text) override { Add({"status", frame, text}); }
  void CaptureEnded(const CaptureEnd& end) override { Add({"ended", end.completed ? 1 : 0, ""}); }
  void Progress(FrameNumber frame, FrameNumber) override { Add({"progress", frame, ""}); }
  void StateChanged(CaptureState state) override {
    Add({"state", static_cast<int64_t>(state), ""});
  }

  OpenAnswers answers;

  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<int64_t> Values(const std::string& kind) {
    std::vector<int64_t> values;
    for (const Event& e : Events())
      if (e.kind == kind) values.push_back(e.value);
    return values;
  }
  std::vector<Event> Of(const std::string& kind) {
    std::vector<Event> selected;
    for (const Event& e : Events())
      if (e.kind == kind) selected.push_back(e);
    return selected;
  }
  // Waits (real time, bounded) until an event of the kind has come.
  bool WaitFor(const std::string& kind, int count = 1,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, limit, [&] {
      int n = 0;
      for (const Event& e : events_) n += e.kind == kind;
      return n >= count;
    });
  }

 protected:
  void Add(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    event.tick = clock_ ? clock_->Now() : 0;
    events_.push_back(std::move(event));
    cv_.notify_all();
    testing::Changes().Raise();
  }

 private:
  FakeClock* clock_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Event> events_;
};

}  // namespace ombrelo::testing
