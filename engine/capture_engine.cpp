#include "engine/capture_engine.h"

#include <pthread.h>

#include <algorithm>

#include "engine/ffmpeg_pipeline.h"
#include "engine/frame_metrics.h"
#include "engine/seek_plan.h"
#include "platform/debug_output.h"
#include "platform/translate.h"

namespace ombrelo {

const char* const kStallMessageStandBy =
    QT_TRANSLATE_NOOP("CaptureEngine", "Capture stalled...Is the video corrupt? Stand by...");
const char* const kStallMessageSlowMode = QT_TRANSLATE_NOOP(
    "CaptureEngine",
    "Capture stalled... Trying to recover in slow mode... This capture will take time.");
const char* const kStallMessageProbablyImpossible = QT_TRANSLATE_NOOP(
    "CaptureEngine",
    "It is probably not possible to capture this video... Click stop to end capture");
const char* const kStallMessageAborting =
    QT_TRANSLATE_NOOP("CaptureEngine", "It is not possible to capture this video... Aborting");

namespace {

// The stall deadline is checked once a second; the first check comes after
// ten seconds, which the opening of a slow file may take.
constexpr uint64_t kFirstStallCheckMs = 10000;
constexpr uint64_t kStallCheckMs = 1000;

}  // namespace

CaptureEngine::CaptureEngine() : CaptureEngine(CaptureEnvironment{}) {}

CaptureEngine::CaptureEngine(CaptureEnvironment environment) : env_(std::move(environment)) {
  if (!env_.pipelineFactory) env_.pipelineFactory = FfmpegPipelineFactory();
  if (!env_.ticks) env_.ticks = SteadyTickCount;
}

CaptureEngine::~CaptureEngine() {
  Close();
  JoinCapture();  // a capture thread that closed its own capture
}

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

void CaptureEngine::SetThumbnailLimit(int64_t limit, std::string advice) {
  std::lock_guard<std::mutex> lock(settingsMutex_);
  thumbnailLimit_ = limit;
  limitAdvice_ = std::move(advice);
}

SamplingSchedule CaptureEngine::GetSchedule() const {
  SamplingSchedule s = schedule_;
  s.firstFrame = firstFrame_.load();
  s.seekAllowed = seekAllowed_.load();
  return s;
}

// ---------------------------------------------------------------------------
// Open

namespace {

// The steps of opening a capture, in the order they are taken, with the text
// the user is given when one fails: the step's own text, followed by the
// text of the failing error where `codeText` is set. Where the
// pipeline says why its step failed (no video stream, no decoder, a file
// that cannot be read, ...), its reason is the text instead. The result
// code of the answer is the failing step's (MediaError::failed for a success code other
// than MediaError::none, which still fails). A failing step leaves nothing open.
enum class OpenStep { create, source, connect, facts };
struct OpenStepText {
  OpenStep step;
  const char* text;
  bool codeText;
  bool pipelineReason;
};
constexpr OpenStepText kOpenSteps[] = {
    {OpenStep::create, QT_TRANSLATE_NOOP("CaptureEngine", "The video reader could not be set up."),
     false, false},
    {OpenStep::source, "", true, true},
    {OpenStep::connect, "", true, true},
    {OpenStep::facts, "", true, false},  // a usable format but a failed query: the code's text
};

// A connected format the engine can hand on: 24-bit rows of a real size.
bool Usable(const BitmapInfoHeader& h) {
  return h.biWidth > 0 && h.biHeight > 0 && h.biBitCount == 24 && h.biSizeImage > 0;
}

}  // namespace

OpenOutcome CaptureEngine::FailOpen(int step, MediaError hr) {
  const OpenStepText& entry = kOpenSteps[step];
  const std::string reason = entry.pipelineReason && pipeline_ ? pipeline_->FailureReason() : "";
  OpenOutcome outcome;
  outcome.text = !reason.empty()  ? reason
                 : entry.codeText ? ErrorText(hr)
                                  : TranslateKept("CaptureEngine", entry.text);
  outcome.code = Failed(hr) ? hr : MediaError::failed;
  return outcome;
}

void CaptureEngine::ReleasePipeline() {
  std::unique_ptr<MediaPipeline> released;
  {
    std::lock_guard<std::mutex> lock(pipelineMutex_);
    released = std::move(pipeline_);
  }
  // Destroyed outside the lock: closing the file may take a while.
  released.reset();
}

void CaptureEngine::Open(const std::string& path) {
  if (captureThread_.joinable()) Close();  // every Open starts the thread
  JoinCapture();
  lastFrame_ = -1;
  finished_ = false;
  blank_.waiting = false;
  captureDone_ = false;
  currentFrame_ = 0;
  samplesTaken_ = 0;
  streamEnd_ = 0;
  errorText_.clear();
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    pauseRequested_ = stopRequested_ = closeRequested_ = false;
    seekRequested_.reset();
    seekInterrupted_ = false;
    state_ = CaptureState::opening;
  }
  {
    // Making the pipeline opens nothing yet.
    std::unique_ptr<MediaPipeline> made = env_.pipelineFactory();
    std::lock_guard<std::mutex> lock(pipelineMutex_);
    pipeline_ = std::move(made);
  }
  PublishState();
  captureThread_ = std::thread([this, path] { CaptureMain(path); });
}

OpenOutcome CaptureEngine::OpenPipeline(const std::string& path, FrameNumber* startPosition) {
  auto fail = [&](OpenStep step, MediaError hr) { return FailOpen(static_cast<int>(step), hr); };
  if (!pipeline_) return fail(OpenStep::create, MediaError::failed);
  pipeline_->SetDeinterlace(GetCaptureSettings().deinterlace);
  MediaError hr = pipeline_->Open(path);
  if (hr != MediaError::none) return fail(OpenStep::source, hr);
  hr = pipeline_->Connect();
  if (Failed(hr)) return fail(OpenStep::connect, hr);

  StreamFacts facts;
  hr = pipeline_->GetStreamFacts(&facts);
  // The text stays empty when the query itself succeeded but the format is
  // not one the engine can use; the error still says that it failed.
  if (Failed(hr) || !Usable(facts.header)) return fail(OpenStep::facts, hr);
  videoFormat_ = facts.header;

  const ScheduleResult computed =
      ComputeSchedule(GetCaptureSettings(), facts.duration, facts.avgTimePerFrame, facts.canSeek);
  schedule_ = computed.schedule;
  {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    const int64_t promised = PromisedSamples(schedule_);
    if (thumbnailLimit_ > 0 && promised > thumbnailLimit_) {
      OpenOutcome outcome;
      outcome.code = MediaError::invalidArgument;
      const std::string taken = std::to_string(promised);
      const std::string limit = std::to_string(thumbnailLimit_);
      outcome.text =
          limitAdvice_.empty()
              ? FillIn(Translate("CaptureEngine",
                                 "The settings take %1 thumbnails of this video, more than %2."),
                       {taken, limit})
              : FillIn(
                    Translate("CaptureEngine",
                              "The settings take %1 thumbnails of this video, more than %2; %3."),
                    {taken, limit, limitAdvice_});
      return outcome;
    }
  }
  canSeek_ = facts.canSeek;
  firstFrame_ = schedule_.firstFrame;
  seekAllowed_ = schedule_.seekAllowed;
  // Every frame taken anyway, or frames taken without a schedule: there is
  // nothing to look past.
  skipBlankRun_ = skipBlank_.load() && schedule_.period > 1 && schedule_.stopFrame != 0;
  *startPosition = computed.startPosition;
  OpenOutcome outcome;
  outcome.opened = true;
  return outcome;
}

// ---------------------------------------------------------------------------
// Commands (owner's thread): they set a flag and wake the capture thread.

void CaptureEngine::TogglePause() {
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    const CaptureState state = state_.load();
    if (state == CaptureState::running) {
      state_ = CaptureState::pausing;
      pauseRequested_ = true;
    } else if (state == CaptureState::pausing || state == CaptureState::paused) {
      state_ = CaptureState::running;
      pauseRequested_ = false;
    }
  }
  flagsChanged_.notify_all();
  PublishState();
}

void CaptureEngine::Stop() {
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    const CaptureState state = state_.load();
    if (state == CaptureState::idle) return;
    stopRequested_ = true;
    // An open being made is answered first, as stopped.
    if (state != CaptureState::opening) state_ = CaptureState::stopped;
  }
  flagsChanged_.notify_all();
  CancelReads();  // a read that blocks gives up
  PublishState();
}

void CaptureEngine::SeekToFrame(FrameNumber frame) {
  const CaptureState state = state_.load();
  if (state == CaptureState::idle || state == CaptureState::opening) return;
  const bool moves = canSeek_ && seekAllowed_.load();
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    seekRequested_ = frame;
    seekInterrupted_ = seekInterrupted_ || moves;
    // The capture thread carries the seek out; a read that blocks must not
    // hold it up. The cut comes before the thread can see the request, so
    // the seek never runs ahead of it.
    if (moves) {
      std::lock_guard<std::mutex> pipelineLock(pipelineMutex_);
      if (pipeline_) pipeline_->Interrupt();
    }
  }
  flagsChanged_.notify_all();
}

void CaptureEngine::Close() {
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    closeRequested_ = true;
  }
  flagsChanged_.notify_all();
  CancelReads();
  if (!OnCaptureThread()) {
    JoinCapture();
    ReleasePipeline();
  } else if (captureDone_.load()) {
    // Called from the capture's last report: the thread touches nothing
    // after it, and is joined by the next Open, Close or the destructor.
    ReleasePipeline();
  }
  state_ = CaptureState::idle;
  PublishState();
}

void CaptureEngine::CancelReads() {
  std::lock_guard<std::mutex> lock(pipelineMutex_);
  if (pipeline_) pipeline_->Cancel();
}

bool CaptureEngine::OnCaptureThread() const {
  return captureThread_.joinable() && captureThread_.get_id() == std::this_thread::get_id();
}

void CaptureEngine::JoinCapture() {
  if (captureThread_.joinable() && !OnCaptureThread()) captureThread_.join();
}

void CaptureEngine::PublishState() {
  // The listener is told that the state changed; what it shows it reads
  // with GetState on its own thread, so reports that overtake each other
  // do no harm.
  const CaptureState now = state_.load();
  if (reportedState_.exchange(now) == now) return;
  if (CaptureListener* listener = listener_.load()) listener->StateChanged(now);
}

void CaptureEngine::ReportEnded(const CaptureEnd& end) {
  captureDone_ = true;
  if (CaptureListener* listener = listener_.load()) listener->CaptureEnded(end);
}

// ---------------------------------------------------------------------------
// The capture thread

void CaptureEngine::CaptureMain(const std::string& path) {
  pthread_setname_np(pthread_self(), "capture");
  // Before the open: the decoder's and the converter's threads, started
  // from here, inherit it.
  LowerThreadPriority();
  FrameNumber startPosition = 0;
  const FileState before = LookAtFile(path);
  OpenOutcome outcome = OpenPipeline(path, &startPosition);
  outcome.beforeOpen = before;
  outcome.afterOpen = LookAtFile(path);
  {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    if (closeRequested_) {
      // The owner has closed the engine meanwhile and waits for this thread:
      // nobody wants the answer.
      captureDone_ = true;
      return;
    }
    if (stopRequested_) {
      outcome.opened = false;
      outcome.stopped = true;
      outcome.code = MediaError::aborted;
      outcome.text.clear();
    }
    if (outcome.opened) state_ = CaptureState::running;
  }
  if (!outcome.opened) {
    // Nothing stays open; the owner hears of it with the engine idle.
    errorText_ = outcome.text;
    ReleasePipeline();
    {
      std::lock_guard<std::mutex> lock(flagsMutex_);
      if (!closeRequested_) state_ = CaptureState::idle;
    }
    PublishState();
    captureDone_ = true;
    if (CaptureListener* listener = listener_.load()) listener->Opened(outcome);
    return;
  }
  PublishState();
  if (CaptureListener* listener = listener_.load()) listener->Opened(outcome);
  Capture(startPosition, path);
}

void CaptureEngine::Capture(FrameNumber startPosition, const std::string& path) {
  const Next how = Loop(startPosition);
  if (how == Next::closed) return;
  // A blank sample still waiting for its replacement is taken as it is.
  if (blank_.waiting) TakeWaitingBlank();
  // The end: a capture that ran to its end while running completed; one
  // that was stopped, given up or paused meanwhile did not.
  CaptureState expected = CaptureState::running;
  const bool wasRunning =
      how == Next::completed && state_.compare_exchange_strong(expected, CaptureState::stopped);
  if (!wasRunning) {
    std::lock_guard<std::mutex> lock(flagsMutex_);
    if (closeRequested_) return;
    state_ = CaptureState::stopped;
  }
  PublishState();
  CaptureEnd end;
  end.completed = wasRunning;
  if (wasRunning) end.file = LookAtFile(path);
  // The capture is over: its decoder and converter threads end here, so
  // that the owner's Close does not wait for them at this thread's priority.
  ReleasePipeline();
  ReportEnded(end);
  if (!wasRunning) DebugOutput("Paused");
}

CaptureEngine::Next CaptureEngine::Loop(FrameNumber startPosition) {
  watch_ = StallWatch{};
  watch_.nextCheck = env_.ticks() + kFirstStallCheckMs;
  whileBlocked_ = Next::goOn;
  // A read that waits for data (a stalled network share) still meets the
  // stall deadline: the check runs while it waits, and ends the read when
  // the capture is given up.
  pipeline_->SetWaitCheck([this] {
    if (whileBlocked_ == Next::goOn) whileBlocked_ = CheckStall();
    return whileBlocked_ == Next::goOn;
  });
  ExecuteSeek(startPosition, /*interrupted=*/false);
  // Without a seek the stream is decoded from its start up to the first sample.
  if (schedule_.stopFrame != 0)
    pipeline_->ExpectNext(schedule_.firstFrame * schedule_.frameDuration);
  for (;;) {
    Next next = TakeCommands();
    if (next == Next::goOn) next = CheckStall();
    if (next != Next::goOn) return next;
    PulledFrame pulled;
    const Pull pull = pipeline_->NextFrame(&pulled);
    if (whileBlocked_ != Next::goOn) return whileBlocked_;
    switch (pull) {
      case Pull::again:
        break;
      case Pull::end:
        // The stream ended, with the schedule or before it (a file cut
        // short, or a duration promising more than the file holds): what
        // was taken is all there is.
        return Next::completed;
      case Pull::frame:
        next = OnFrame(pulled);
        if (next != Next::goOn) return next;
        break;
    }
  }
}

CaptureEngine::Next CaptureEngine::TakeCommands() {
  std::unique_lock<std::mutex> lock(flagsMutex_);
  if (closeRequested_) return Next::closed;
  if (stopRequested_) return Next::stopped;
  if (pauseRequested_) {
    lock.unlock();
    CaptureState expected = CaptureState::pausing;
    if (state_.compare_exchange_strong(expected, CaptureState::paused)) PublishState();
    lock.lock();
    flagsChanged_.wait(lock,
                       [this] { return !pauseRequested_ || stopRequested_ || closeRequested_; });
    if (closeRequested_) return Next::closed;
    if (stopRequested_) return Next::stopped;
    // The time paused is no stall.
    watch_.lastSeen = -1;
    watch_.nextCheck = env_.ticks() + kStallCheckMs;
  }
  if (seekRequested_) {
    const FrameNumber frame = *seekRequested_;
    const bool interrupted = seekInterrupted_;
    seekRequested_.reset();
    seekInterrupted_ = false;
    lock.unlock();
    // The frames after a blank sample are left: it is taken as it is.
    if (blank_.waiting) TakeWaitingBlank();
    ExecuteSeek(frame, interrupted);
  }
  return Next::goOn;
}

void CaptureEngine::ExecuteSeek(FrameNumber frame, bool interrupted) {
  // A read cut for the seek must be followed by one, even should seeking
  // have been forbidden meanwhile.
  if (!canSeek_ || !(seekAllowed_.load() || interrupted)) return;
  // The frames between the position and the next sample only show
  // progress: the pipeline need not decode its way through them.
  const FrameNumber wanted = std::max(frame, firstFrame_.load());
  const int64_t T = schedule_.frameDuration;
  // Refused: the capture goes on by decoding (the pipeline has written why
  // to the debug output and counted it).
  if (Failed(pipeline_->Seek(frame * T, wanted * T))) seekAllowed_ = false;
}

CaptureEngine::Next CaptureEngine::OnFrame(const PulledFrame& pulled) {
  MediaSample* sample = pulled.sample;
  // Frames decoded only on the way count too: they show where the stream ends.
  const int64_t end = pulled.hasEnd && pulled.end > pulled.start
                          ? pulled.end
                          : pulled.start + schedule_.frameDuration;
  if (end > streamEnd_.load()) streamEnd_ = end;
  if (!sample || sample->IsPreroll()) return Next::goOn;
  if (StartsPastDuration(pulled.start, schedule_.durationSeconds)) return Next::goOn;
  const FrameNumber f = FrameAt(pulled.start, pulled.end, pulled.hasEnd, schedule_.frameDuration);
  currentFrame_ = f;
  if (lastFrame_ == f) return Next::goOn;
  lastFrame_ = f;
  if (f > schedule_.stopFrame && finished_) return Next::goOn;

  NextMove move;
  const bool lookedPastBlank = blank_.waiting;
  if (lookedPastBlank) LookPastBlank(sample, f, pulled.start, &move);
  // A frame that replaced a blank sample lies before the next one to take.
  const bool replaced = lookedPastBlank && f <= blank_.bound;
  if (!replaced && Takes(schedule_, f, firstFrame_.load()))
    move = TakeSample(sample, f, pulled.start);
  CaptureListener* listener = listener_.load();
  if (schedule_.durationSeconds != 0 && listener) listener->Progress(f, schedule_.frameCount);
  if (move.kind == NextMove::complete) return Next::completed;
  if (blank_.waiting) return Next::goOn;
  if (f >= schedule_.stopFrame) {
    AbortNotice();
    finished_ = true;
    return Next::completed;
  }
  if (move.kind == NextMove::seek) ExecuteSeek(move.target, /*interrupted=*/false);
  return Next::goOn;
}

NextMove CaptureEngine::TakeSample(MediaSample* sample, FrameNumber f, int64_t start) {
  // Only the capture thread moves it on.
  firstFrame_.store(SampleAfter(schedule_, firstFrame_.load()));
  const uint8_t* pixels = sample->GetPointer();
  if (!pixels) {
    DebugOutputF("Failed to convert frame %lld\n", static_cast<long long>(f));
  } else {
    // A blank sample is kept back while the frames after it are looked at,
    // up to half the interval and short of the next sample and the stop.
    const FrameNumber bound =
        std::min({f + schedule_.period / 2, firstFrame_.load() - 1, schedule_.stopFrame});
    if (skipBlankRun_ && bound > f && IsBlank(pixels)) {
      blank_.pixels.assign(pixels, pixels + sample->GetSize());
      blank_.frame = f;
      blank_.start = start;
      blank_.bound = bound;
      blank_.waiting = true;
      // Every frame up to the bound may be the one taken: none is left out.
      pipeline_->ExpectNext((f + 1) * schedule_.frameDuration);
      return {};
    }
    Deliver(pixels, sample->GetSize(), f, start);
  }
  return AfterSample(f);
}

void CaptureEngine::Deliver(const uint8_t* pixels, int32_t size, FrameNumber f, int64_t start) {
  CaptureListener* listener = listener_.load();
  if (!listener) return;
  ++samplesTaken_;
  CapturedFrame frame;
  frame.pixels = pixels;
  frame.size = size;
  frame.frame = f;
  frame.time = static_cast<double>(start) / static_cast<double>(kUnitsPerSecond);
  listener->FrameCaptured(frame);  // may wait while the writer is behind
}

bool CaptureEngine::IsBlank(const uint8_t* pixels) const {
  // Rows are padded to 4 bytes; their order does not matter to the measure.
  const int width = videoFormat_.biWidth;
  const int height = videoFormat_.biHeight;
  return IsNearlyFlat(pixels, width, height, (static_cast<ptrdiff_t>(width) * 3 + 3) & ~3);
}

void CaptureEngine::LookPastBlank(MediaSample* sample, FrameNumber f, int64_t start,
                                  NextMove* move) {
  if (f <= blank_.bound) {
    const uint8_t* pixels = sample->GetPointer();
    if (pixels && !IsBlank(pixels)) {
      // This frame is taken in the blank sample's place, under its own
      // number and time.
      blank_.waiting = false;
      Deliver(pixels, sample->GetSize(), f, start);
      *move = AfterSample(f);
      return;
    }
    if (f < blank_.bound) return;
  }
  // No frame up to the bound will do.
  TakeWaitingBlank();
  *move = AfterSample(f);
}

void CaptureEngine::TakeWaitingBlank() {
  blank_.waiting = false;
  Deliver(blank_.pixels.data(), static_cast<int32_t>(blank_.pixels.size()), blank_.frame,
          blank_.start);
}

NextMove CaptureEngine::AfterSample(FrameNumber f) {
  const FrameNumber next = firstFrame_.load();
  const NextMove move = PlanAfterSample(schedule_, f, next, seekAllowed_.load());
  if (move.kind == NextMove::complete) {
    // Nothing more can be taken: the stream need not be read on.
    AbortNotice();
    finished_ = true;
  } else if (move.kind == NextMove::decodeOn) {
    pipeline_->ExpectNext(next * schedule_.frameDuration);
  }
  return move;
}

CaptureEngine::Next CaptureEngine::CheckStall() {
  uint64_t now = env_.ticks();
  if (now < watch_.nextCheck) return Next::goOn;
  watch_.nextCheck = now + kStallCheckMs;
  const FrameNumber current = currentFrame_.load();
  if (current != watch_.lastSeen) {
    // Progress: seeking is allowed again and no stall is being timed.
    seekAllowed_ = schedule_.seekAllowedAtOpen;
    watch_.stallStart = 0;
    watch_.lastSeen = current;
  } else {
    if (now == 0) now = 1;  // 0 means "not timing"
    if (watch_.stallStart == 0) watch_.stallStart = now;
    const StallAction action = StallActionAt(now - watch_.stallStart);
    // Slow mode decodes every frame: seeking stays forbidden until new
    // progress is seen.
    if (action == StallAction::standBy || action == StallAction::slowMode) seekAllowed_ = false;
    CaptureListener* listener = listener_.load();
    if (const char* text = StallMessage(action); text && listener)
      listener->StatusText(current, text);  // translated where it is shown
    if (action == StallAction::giveUp) {
      AbortNotice();
      return Next::stopped;
    }
  }
  if (current == schedule_.frameCount || current == schedule_.stopFrame) return Next::completed;
  return Next::goOn;
}

void CaptureEngine::AbortNotice() { DebugOutput("Aborting..."); }

}  // namespace ombrelo
