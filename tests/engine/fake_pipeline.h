#pragma once
// A scripted media pipeline and a recording listener for driving the
// capture engine without files or real time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/media_pipeline.h"

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

enum class FilterState { stopped, paused, running };

// What the fake does and what was done to it; outlives the pipeline.
struct FakeScript {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::string> log;            // every call, in order
  std::map<std::string, HResult> results;  // scripted results by call name
  StreamFacts facts;                       // 4 x 2 pixels, 100 frames at 25 fps
  SampleCallback callback;
  FilterState state = FilterState::stopped;
  bool complete = false;
  int32_t completeCode = 0;
  bool cancelled = false;
  bool destroyed = false;
  std::vector<int64_t> positions;  // Seek arguments
  std::vector<int64_t> wanted;
  std::vector<int64_t> expected;  // what ExpectNext was told

  // How WaitForCompletion passes time while running and not complete:
  // advance the fake clock by the time-out and report E_ABORT at once, or
  // block (in real time) until something changes.
  enum class WaitMode { advanceClock, block } waitMode = WaitMode::block;
  FakeClock* clock = nullptr;
  std::atomic<int> waits{0};
  // When set, a wait while running and not complete is this instead
  // (called without the lock; it may deliver samples through the callback).
  std::function<HResult(int64_t timeoutMs, int32_t* eventCode)> onWait;
  // When set, called after every successful Run (without the lock), as an
  // owner acting at once on the first frame would.
  std::function<void()> onRun;

  FakeScript() {
    facts.header.biWidth = 4;
    facts.header.biHeight = 2;
    facts.header.biBitCount = 24;
    facts.header.biSizeImage = 24;
    facts.avgTimePerFrame = 400'000;
    facts.duration = 100 * 400'000;
    facts.canSeek = true;
  }

  HResult Result(const std::string& call) {
    auto it = results.find(call);
    return it == results.end() ? S_OK : it->second;
  }
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
  }
  // Makes a waiting worker see the end of the stream.
  void Complete(int32_t code = EC_COMPLETE) {
    std::lock_guard<std::mutex> lock(mutex);
    complete = true;
    completeCode = code;
    cv.notify_all();
  }
  void SetOnWait(std::function<HResult(int64_t, int32_t*)> hook) {
    std::lock_guard<std::mutex> lock(mutex);
    onWait = std::move(hook);
  }
  SampleCallback Callback() {
    std::lock_guard<std::mutex> lock(mutex);
    return callback;
  }
  FilterState State() {
    std::lock_guard<std::mutex> lock(mutex);
    return state;
  }
};

class FakePipeline final : public MediaPipeline {
 public:
  explicit FakePipeline(std::shared_ptr<FakeScript> script) : s_(std::move(script)) {}
  ~FakePipeline() override { Call("destroyed"); }

  HResult Open(const std::string& path) override { return Call("Open " + path, "Open"); }
  HResult Connect() override { return Call("Connect"); }
  HResult GetStreamFacts(StreamFacts* facts) override {
    const HResult hr = Call("GetStreamFacts");
    std::lock_guard<std::mutex> lock(s_->mutex);
    *facts = s_->facts;
    return hr;
  }
  void SetSampleCallback(SampleCallback callback) override {
    Call("SetSampleCallback");
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->callback = std::move(callback);
  }
  HResult Seek(int64_t current, int64_t wanted) override {
    const HResult hr = Call("Seek " + std::to_string(current), "Seek");
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->positions.push_back(current);
    s_->wanted.push_back(wanted);
    s_->complete = false;
    return hr;
  }
  void ExpectNext(int64_t wanted) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->expected.push_back(wanted);
  }
  HResult Run() override {
    const HResult hr = Transition("Run", FilterState::running);
    if (Succeeded(hr) && s_->onRun) s_->onRun();
    return hr;
  }
  HResult Pause() override { return Transition("Pause", FilterState::paused); }
  HResult Stop() override { return Transition("Stop", FilterState::stopped); }
  HResult WaitForCompletion(int64_t timeoutMs, int32_t* eventCode) override {
    s_->waits++;
    std::unique_lock<std::mutex> lock(s_->mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (s_->cancelled) {
        s_->log.push_back("wait cancelled");
        return VFW_E_WRONG_STATE;
      }
      if (s_->state != FilterState::running) return VFW_E_WRONG_STATE;
      if (s_->complete) {
        *eventCode = s_->completeCode;
        return S_OK;
      }
      if (s_->onWait) {
        auto hook = s_->onWait;
        lock.unlock();
        return hook(timeoutMs, eventCode);
      }
      if (s_->waitMode == FakeScript::WaitMode::advanceClock) {
        if (s_->clock) s_->clock->Advance(static_cast<uint64_t>(timeoutMs));
        return E_ABORT;
      }
      if (s_->cv.wait_until(lock, deadline) == std::cv_status::timeout) return E_ABORT;
    }
  }
  void CancelWaits() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->log.push_back("CancelWaits");
    s_->cancelled = true;
    s_->cv.notify_all();
  }
  void Notify(int32_t eventCode) override {
    Call("Notify " + std::to_string(eventCode));
    s_->Complete(eventCode);
  }

 private:
  HResult Call(const std::string& entry, const std::string& name = "") {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->log.push_back(entry);
    if (entry == "destroyed") s_->destroyed = true;
    return s_->Result(name.empty() ? entry : name);
  }
  HResult Transition(const std::string& name, FilterState to) {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->log.push_back(name);
    const HResult hr = s_->Result(name);
    if (Succeeded(hr)) s_->state = to;
    s_->cv.notify_all();
    return hr;
  }
  std::shared_ptr<FakeScript> s_;
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
  int conversions = 0;

 private:
  bool preroll_;
  std::vector<uint8_t> pixels_;
};

// Records everything the engine reports.
class RecordingListener final : public CaptureListener {
 public:
  struct Event {
    std::string kind;  // frame, seek, abort, status, ended, progress, state
    int64_t value = 0;
    std::string text;
    uint64_t tick = 0;  // fake clock at the report
  };
  explicit RecordingListener(FakeClock* clock = nullptr) : clock_(clock) {}

  void FrameCaptured(const CapturedFrame& frame) override {
    Add({"frame", frame.frame, std::to_string(frame.size)});
  }
  void SeekRequested(FrameNumber frame) override { Add({"seek", frame, ""}); }
  void CaptureAbortNotice() override { Add({"abort", 0, ""}); }
  void StatusText(FrameNumber frame, const char* text) override { Add({"status", frame, text}); }
  void CaptureEnded(bool completed) override { Add({"ended", completed ? 1 : 0, ""}); }
  void Progress(FrameNumber frame, FrameNumber) override { Add({"progress", frame, ""}); }
  void StateChanged(CaptureState state) override {
    Add({"state", static_cast<int64_t>(state), ""});
  }

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

 private:
  void Add(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    event.tick = clock_ ? clock_->Now() : 0;
    events_.push_back(std::move(event));
    cv_.notify_all();
  }
  FakeClock* clock_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Event> events_;
};

}  // namespace ombrelo::testing
