#include "engine/capture_engine.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "engine/ffmpeg_pipeline.h"
#include "platform/debug_output.h"

namespace ombrelo {

const char* const kStallMessageStandBy = "Capture stalled...Is the video corrupt? Stand by...";
const char* const kStallMessageSlowMode =
    "Capture stalled... Trying to recover in slow mode... This capture will take time.";
const char* const kStallMessageProbablyImpossible =
    "It is probably not possible to capture this video... Click stop to end capture";
const char* const kStallMessageAborting = "It is not possible to capture this video... Aborting";

namespace {

constexpr int64_t kFrameGateTimeoutMs = 5000;
constexpr int64_t kFirstWorkerWaitMs = 10000;
constexpr int64_t kWorkerWaitMs = 1000;
constexpr int64_t kCloseWaitStepMs = 1000;
constexpr int64_t kSeekLeadFrames = 40;
constexpr int64_t kSlowModeSkipFrames = 150;

bool DefaultWaitForEvent(AutoResetEvent& event, int64_t timeoutMs) { return event.Wait(timeoutMs); }

}  // namespace

CaptureEngine::CaptureEngine() : CaptureEngine(CaptureEnvironment{}) {}

CaptureEngine::CaptureEngine(CaptureEnvironment environment) : env_(std::move(environment)) {
  if (!env_.pipelineFactory) env_.pipelineFactory = FfmpegPipelineFactory();
  if (!env_.ticks) env_.ticks = SteadyTickCount;
  if (!env_.waitForEvent) env_.waitForEvent = DefaultWaitForEvent;
}

CaptureEngine::~CaptureEngine() { Close(); }

CaptureEngine& CaptureEngine::Instance() {
  static CaptureEngine engine;
  return engine;
}

void CaptureEngine::SetCaptureSettings(const CaptureSettings& settings) {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  settings_ = settings;
}

CaptureSettings CaptureEngine::GetCaptureSettings() const {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  return settings_;
}

SamplingSchedule CaptureEngine::GetSchedule() const {
  SamplingSchedule s = schedule_;
  s.firstFrame = firstFrame_.load();
  s.seekAllowed = seekAllowed_.load();
  return s;
}

std::string CaptureEngine::ErrorTextOf(HResult hr) { return ErrorText(hr); }

// ---------------------------------------------------------------------------
// Open

namespace {

// The steps of opening a capture, in the order they are taken, with the text
// the user is given when one fails: the step's own text, followed by the
// text of the failing result code where `codeText` is set. The result code
// Open returns is the failing step's (E_FAIL for a success code other than
// S_OK, which still fails). A failing step leaves nothing open.
enum class OpenStep { create, source, connect, facts, run };
struct OpenStepText {
  OpenStep step;
  const char* text;
  bool codeText;
};
constexpr OpenStepText kOpenSteps[] = {
    {OpenStep::create, "Failed creating DirectShow objects!", false},
    {OpenStep::source, "", true},
    {OpenStep::connect,
     "Error connecting source to grabber. Most likely a stream splitter problem. ", true},
    {OpenStep::facts, "", true},  // a usable format but a failed query: the code's text
    {OpenStep::run, "", true},
};

// A connected format the engine can hand on: 24-bit rows of a real size.
bool Usable(const BitmapInfoHeader& h) {
  return h.biWidth > 0 && h.biHeight > 0 && h.biBitCount == 24 && h.biSizeImage > 0;
}

}  // namespace

bool CaptureEngine::FailOpen(int step, HResult hr, HResult* result) {
  const OpenStepText& entry = kOpenSteps[step];
  errorText_ = std::string(entry.text) + (entry.codeText ? ErrorText(hr) : "");
  ReleasePipeline();
  if (result) *result = Failed(hr) ? hr : E_FAIL;
  return false;
}

void CaptureEngine::ReleasePipeline() {
  callbackPipeline_ = nullptr;
  graph_.reset();  // stops the pipeline's thread and releases everything
}

// The streaming thread ends the stream (the schedule needs no more frames);
// it reads the pipeline through its own atomic, never through graph_.
void CaptureEngine::NotifyComplete() {
  if (MediaPipeline* pipeline = callbackPipeline_.load()) pipeline->Notify(EC_COMPLETE);
}

bool CaptureEngine::Open(const std::string& path, HResult* result) {
  if (graph_ || workerThread_.joinable()) Close();
  bool opened;
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    opened = OpenLocked(path, result);
  }
  PublishState();
  return opened;
}

bool CaptureEngine::OpenLocked(const std::string& path, HResult* result) {
  auto fail = [&](OpenStep step, HResult hr) {
    return FailOpen(static_cast<int>(step), hr, result);
  };
  if (result) *result = S_OK;
  stallStart_ = 0;
  lastFrame_ = -1;
  closing_ = false;

  graph_ = env_.pipelineFactory();
  if (!graph_) return fail(OpenStep::create, E_FAIL);
  callbackPipeline_ = graph_.get();
  HResult hr = graph_->Open(path);
  if (hr != S_OK) return fail(OpenStep::source, hr);
  hr = graph_->Connect();
  if (Failed(hr)) return fail(OpenStep::connect, hr);

  currentFrame_ = 0;
  graph_->SetSampleCallback([this](MediaSample* sample, const int64_t* start, const int64_t* end) {
    return OnSample(sample, start, end);
  });
  StreamFacts facts;
  hr = graph_->GetStreamFacts(&facts);
  // The text stays empty when the query itself succeeded but the format is
  // not one the engine can use; the result code still says that it failed.
  if (Failed(hr) || !Usable(facts.header)) return fail(OpenStep::facts, hr);
  videoFormat_ = facts.header;

  const ScheduleResult computed =
      ComputeSchedule(GetCaptureSettings(), facts.duration, facts.avgTimePerFrame, facts.canSeek);
  schedule_ = computed.schedule;
  canSeek_ = facts.canSeek;
  firstFrame_ = schedule_.firstFrame;
  seekAllowed_ = schedule_.seekAllowed;

  SeekToFrameLocked(computed.startPosition);
  // Without a seek the stream is decoded from its start up to the first sample.
  if (schedule_.stopFrame != 0) graph_->ExpectNext(schedule_.firstFrame * schedule_.frameDuration);
  updateEvent_.Reset();  // no hand-over left from an earlier movie
  finished_ = false;
  abortRequested_ = false;
  state_ = CaptureState::running;
  hr = graph_->Run();
  if (Failed(hr)) {
    state_ = CaptureState::idle;  // nothing is open any more
    return fail(OpenStep::run, hr);
  }
  updateEvent_.Set();  // the first frame may pass
  StartWorker();
  return true;
}

// ---------------------------------------------------------------------------
// Commands

void CaptureEngine::TogglePause() {
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    if (!graph_) return;
    const CaptureState state = state_.load();
    if (state == CaptureState::running) {
      state_ = CaptureState::pausing;
      graph_->Pause();
    } else if (state == CaptureState::pausing || state == CaptureState::paused) {
      graph_->Run();
      state_ = CaptureState::running;
    }
  }
  WakeWorker();
  PublishState();
}

void CaptureEngine::Stop() {
  bool endsNow;
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    endsNow = StopLocked();
  }
  PublishState();
  if (endsNow) ReportEnded(false);
}

bool CaptureEngine::StopLocked() {
  if (!graph_) return false;
  if (state_.load() == CaptureState::running) {
    // The worker sees the request and reports the end. The request is
    // raised first, so that a worker that has not begun its wait yet does
    // not begin it on the stopped graph.
    finished_ = true;
    abortRequested_ = true;
    graph_->Stop();
    graph_->Pause();
    state_ = CaptureState::stopped;
    return false;
  }
  graph_->Stop();
  state_ = CaptureState::stopped;
  return true;
}

void CaptureEngine::SeekToFrame(FrameNumber frame) {
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    SeekToFrameLocked(frame);
  }
  WakeWorker();  // the graph runs again: its end may come at once
  PublishState();
}

void CaptureEngine::SeekToFrameLocked(FrameNumber frame) {
  if (!graph_) return;
  const CaptureState remembered = state_.exchange(CaptureState::seeking);
  if (remembered == CaptureState::running && Failed(graph_->Pause())) {
    // The graph still runs: the capture goes on where it is.
    state_ = remembered;
    return;
  }
  // The frames between the position and the next sample only show
  // progress: the pipeline need not decode its way through them.
  if (canSeek_ && seekAllowed_.load()) {
    const FrameNumber wanted = std::max(frame, firstFrame_.load());
    const int64_t T = schedule_.frameDuration;
    // Refused: the capture goes on by decoding (the pipeline has written
    // why to the debug output and counted it).
    if (Failed(graph_->Seek(frame * T, wanted * T))) seekAllowed_ = false;
  }
  state_ = remembered;
  if (remembered == CaptureState::running) graph_->Run();
}

void CaptureEngine::Close() {
  closing_ = true;
  updateEvent_.Set();  // a frame waiting at the gate leaves without being handed over
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    if (graph_) graph_->CancelWaits();
  }
  // Called from a report of the worker itself, the worker cannot be waited
  // for here: it leaves as soon as the report returns (it reads closing_
  // and touches nothing else), and the next Open, Close or the destructor
  // joins it. No worker is ever detached.
  if (!OnWorkerThread()) JoinWorker();
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    CloseLocked();
  }
  PublishState();
}

bool CaptureEngine::OnWorkerThread() const {
  return workerThread_.joinable() && workerThread_.get_id() == std::this_thread::get_id();
}

void CaptureEngine::JoinWorker() {
  if (!workerThread_.joinable()) return;
  workerCv_.notify_all();
  std::unique_lock<std::mutex> lock(workerMutex_);
  while (workerRunning_) workerCv_.wait_for(lock, std::chrono::milliseconds(kCloseWaitStepMs));
  lock.unlock();
  workerThread_.join();
}

void CaptureEngine::CloseLocked() {
  ReleasePipeline();
  state_ = CaptureState::idle;
}

void CaptureEngine::PublishState() {
  // The listener is told that the state changed; what it shows it reads
  // with GetState on its own thread, so reports that overtake each other
  // do no harm.
  const CaptureState now = state_.load();
  if (reportedState_.exchange(now) == now) return;
  if (CaptureListener* listener = listener_.load()) listener->StateChanged(now);
}

void CaptureEngine::ReportEnded(bool completed) {
  if (CaptureListener* listener = listener_.load()) listener->CaptureEnded(completed);
}

// ---------------------------------------------------------------------------
// Sample callback (streaming thread)

bool CaptureEngine::WaitGate(int64_t timeoutMs) {
  return env_.waitForEvent(updateEvent_, timeoutMs);
}

HResult CaptureEngine::OnSample(MediaSample* sample, const int64_t* start, const int64_t* end) {
  if (!sample || !start) return E_FAIL;
  if (closing_.load()) return S_OK;
  // Set before currentFrame_ is published: a worker that sees the stop frame
  // also sees that its sample has not been handed over yet.
  sampleInCallback_ = true;
  struct Leave {
    CaptureEngine& engine;
    ~Leave() { engine.LeaveCallback(); }
  } leave{*this};
  if (sample->IsPreroll()) return S_OK;
  const int64_t startTime = *start;
  const int64_t endTime = end ? *end : startTime;
  if (static_cast<double>(startTime) / static_cast<double>(kUnitsPerSecond) >
      schedule_.durationSeconds)
    return S_OK;

  const int64_t T = schedule_.frameDuration;
  const int64_t length = endTime == startTime ? T : endTime - startTime;
  const FrameNumber f = (startTime + length / 2) / T;
  currentFrame_ = f;
  if (lastFrame_.exchange(f) == f) return S_OK;
  if (f > schedule_.stopFrame && finished_.load()) return S_OK;

  CaptureListener* listener = listener_.load();
  HResult result = S_OK;
  const FrameNumber next = firstFrame_.load();
  // A frame before the stream's start (negative time) is never a sample.
  const bool takeable = f >= 0 && f >= next && f <= schedule_.frameCount;
  if (takeable || schedule_.stopFrame == 0) {
    firstFrame_.fetch_add(schedule_.period);
    // Converted while the owner may still be writing the frame before it:
    // only the hand-over waits for the gate.
    const uint8_t* pixels = sample->GetPointer();
    if (!WaitGate(kFrameGateTimeoutMs)) {
      DebugOutput("Failed to wait for UpdateEvent in callback\n");
    } else if (!closing_.load()) {
      CapturedFrame frame;
      frame.pixels = pixels;
      frame.size = sample->GetSize();
      frame.frame = f;
      frame.time = static_cast<double>(startTime) / static_cast<double>(kUnitsPerSecond);
      if (!frame.pixels) {
        DebugOutputF("Failed to convert frame %lld\n", static_cast<long long>(f));
        updateEvent_.Set();  // nothing was handed over
      } else if (listener) {
        listener->FrameCaptured(frame);
      }
      const FrameNumber nextFrame = firstFrame_.load();
      if (nextFrame * T >= schedule_.duration && schedule_.period > 0) {
        // The next sample would start at or after the end of the movie:
        // nothing more can be taken, so the stream need not be read on.
        if (listener) listener->CaptureAbortNotice();
        finished_ = true;
        result = S_FALSE;
        NotifyComplete();
      } else if (seekAllowed_.load() && nextFrame > f) {
        FrameNumber target = nextFrame > kSeekLeadFrames ? nextFrame - kSeekLeadFrames : nextFrame;
        if (target < f) target = f;
        if (listener) listener->SeekRequested(target);
        result = S_FALSE;
      } else if (nextFrame > f && schedule_.stopFrame != 0) {
        // Decoding on to the next sample: what comes before it is not taken.
        if (MediaPipeline* pipeline = callbackPipeline_.load()) pipeline->ExpectNext(nextFrame * T);
      }
    }
  }
  if (schedule_.durationSeconds != 0 && listener) listener->Progress(f, schedule_.frameCount);
  if (f >= schedule_.stopFrame && !(result == S_FALSE && finished_.load())) {
    if (listener) listener->CaptureAbortNotice();
    finished_ = true;
    result = S_FALSE;
    NotifyComplete();
  }
  return result;
}

// ---------------------------------------------------------------------------
// Worker

void CaptureEngine::StartWorker() {
  {
    std::lock_guard<std::mutex> lock(workerMutex_);
    workerRunning_ = true;
  }
  workerThread_ = std::thread([this] { WorkerMain(); });
}

uint64_t CaptureEngine::WorkerWakeups() {
  std::lock_guard<std::mutex> lock(workerMutex_);
  return workerWakeups_;
}

void CaptureEngine::WorkerIdle(uint64_t wakeupsSeen, bool untilCallbackLeft) {
  // Gives the other threads time to change the state without spinning. It
  // ends early on Close, when the graph runs again after a seek or a pause
  // (a wake-up since wakeupsSeen), and at the end of a hand-over waited for.
  std::unique_lock<std::mutex> lock(workerMutex_);
  workerAwaitsCallback_ = untilCallbackLeft;
  workerCv_.wait_for(lock, std::chrono::milliseconds(20), [&] {
    return closing_.load() || workerWakeups_ != wakeupsSeen ||
           (untilCallbackLeft && !sampleInCallback_.load());
  });
  workerAwaitsCallback_ = false;
}

void CaptureEngine::WakeWorker() {
  {
    std::lock_guard<std::mutex> lock(workerMutex_);
    ++workerWakeups_;
  }
  workerCv_.notify_all();
}

void CaptureEngine::LeaveCallback() {
  sampleInCallback_ = false;
  if (workerAwaitsCallback_.load()) WakeWorker();
}

void CaptureEngine::WorkerMain() {
  pthread_setname_np(pthread_self(), "capture-worker");
  // abortRequested_ was cleared by Open before the graph ran: a Stop that
  // comes before this thread is scheduled must not be forgotten here.
  int64_t waitMs = kFirstWorkerWaitMs;
  FrameNumber lastSeen = -1;
  bool graphRanOn = false;  // a wait that was to see a pause at once found the graph running
  for (;;) {
    if (closing_.load()) break;
    const uint64_t wakeups = WorkerWakeups();
    int32_t eventCode = -1;
    // A pause or stop asked for before this wait begins (the first one may
    // begin after the capture was paused at its first frame) is seen at
    // once: a wait begun on a graph that is not running lasts until the
    // graph runs again.
    // Should the graph still run (its pause not applied yet, or refused),
    // the next wait is an ordinary one, which that pause ends.
    const bool act = !graphRanOn &&
                     (abortRequested_.load() || state_.load() == CaptureState::pausing);
    const HResult hr = graph_->WaitForCompletion(act ? 0 : waitMs, &eventCode);
    graphRanOn = act && hr == E_ABORT;
    waitMs = kWorkerWaitMs;
    if (closing_.load()) break;

    if (hr == E_ABORT) {
      const FrameNumber current = currentFrame_.load();
      if (current == lastSeen) {
        StallCheck(current);
      } else {
        seekAllowed_ = schedule_.seekAllowedAtOpen;
        stallStart_ = 0;
        lastSeen = current;
      }
      if ((current == schedule_.frameCount || current == schedule_.stopFrame) &&
          !sampleInCallback_.load()) {
        Finish();
        break;
      }
      if (abortRequested_.exchange(false)) Stop();
      continue;
    }

    const CaptureState state = state_.load();
    lastSeen = -1;
    const FrameNumber current = currentFrame_.load();
    const bool ended = current == schedule_.frameCount || current == schedule_.stopFrame ||
                       firstFrame_.load() >= schedule_.stopFrame || abortRequested_.load();
    const bool streamEnded = eventCode == EC_COMPLETE || eventCode == EC_ERRORABORT;
    // A frame taken at the end may still be on its way to the owner: it is
    // delivered before the end is reported.
    const bool handingOver = sampleInCallback_.load();
    if (!ended) {
      if (streamEnded && state != CaptureState::seeking && !handingOver) {
        // The stream ended before the schedule did (a file cut short, or a
        // duration promising more than the file holds): what was taken is
        // all there is.
        Finish();
        break;
      }
      if (state == CaptureState::pausing) {
        // The pause itself is reported first, should the command that asked
        // for it not have reported it yet.
        PublishState();
        CaptureState expected = CaptureState::pausing;
        if (state_.compare_exchange_strong(expected, CaptureState::paused)) PublishState();
      }
      WorkerIdle(wakeups, /*untilCallbackLeft=*/streamEnded && handingOver);
      continue;
    }
    if (handingOver) {
      WorkerIdle(wakeups, /*untilCallbackLeft=*/true);
      continue;
    }
    if (eventCode == EC_COMPLETE) {
      ReportEnded(true);
      break;
    }
    if (state == CaptureState::pausing || state == CaptureState::stopped) {
      ReportEnded(false);
      DebugOutput("Paused");
      break;
    }
    WorkerIdle(wakeups);
  }
  {
    std::lock_guard<std::mutex> lock(workerMutex_);
    workerRunning_ = false;
  }
  workerCv_.notify_all();
}

void CaptureEngine::StallCheck(FrameNumber current) {
  uint64_t now = env_.ticks();
  if (now == 0) now = 1;  // 0 means "not timing"
  uint64_t expected = 0;
  stallStart_.compare_exchange_strong(expected, now);
  const uint64_t elapsed = now - stallStart_.load();
  CaptureListener* listener = listener_.load();
  if (elapsed < 1000) return;
  if (elapsed < 3000) {
    seekAllowed_ = false;
    if (listener) listener->StatusText(current, kStallMessageStandBy);
  } else if (elapsed < 5000) {
    const FrameNumber target = current + kSlowModeSkipFrames;
    if (listener) listener->SeekRequested(target < 0 ? 0 : target);
    seekAllowed_ = false;
    if (listener) listener->StatusText(current, kStallMessageSlowMode);
  } else if (elapsed < 15000) {
    if (listener) listener->StatusText(current, kStallMessageProbablyImpossible);
  } else if (elapsed <= 30000) {
    // waiting for the decoder
  } else {
    if (listener) {
      listener->StatusText(current, kStallMessageAborting);
      listener->CaptureAbortNotice();
    }
    abortRequested_ = true;
  }
}

// The schedule or the stream has ended: stops as Stop does, and a running
// capture reports that it completed.
void CaptureEngine::Finish() {
  bool wasRunning, endsNow;
  {
    std::lock_guard<std::mutex> lock(commandMutex_);
    wasRunning = graph_ && state_.load() == CaptureState::running;
    endsNow = StopLocked();
  }
  PublishState();
  if (endsNow || wasRunning) ReportEnded(!endsNow);
}

}  // namespace ombrelo
