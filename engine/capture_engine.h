#pragma once
// The capture engine: opens one movie at a time through a media pipeline,
// takes the frames of its sampling schedule with one frame in flight, seeks
// ahead between samples, watches for stalls from a worker thread and
// reports everything through a listener.
//
// Threads:
//  - the owner's (user-interface) thread calls every command (Open,
//    TogglePause, Stop, SeekToFrame, Close, FrameConsumed, the getters);
//  - the capture worker ("capture-worker") waits for the pipeline's
//    completion, runs the stall check and ends the capture;
//  - the pipeline's streaming thread calls OnSample for every decoded frame.
// The listener is called on the worker and streaming threads (and on the
// owner's thread by the commands), never while the engine holds its command
// lock; it must only copy data and post it on.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/capture_settings.h"
#include "engine/media_pipeline.h"
#include "platform/result_codes.h"
#include "platform/sync.h"

namespace ombrelo {

enum class CaptureState : int32_t {
  idle = 0,     // no movie open
  stopped = 1,  // the graph is stopped; the movie is still open
  running = 3,
  pausing = 4,  // a pause was asked for; the worker has not yet seen it
  paused = 5,
  seeking = 6,  // the owner's thread is repositioning the graph
};

// A frame taken from the movie, as handed to the listener.
struct CapturedFrame {
  const uint8_t* pixels = nullptr;  // bottom-up BGR rows; valid only during the call
  int32_t size = 0;                 // bytes at pixels
  FrameNumber frame = 0;            // frame number
  double time = 0;                  // start of the frame in seconds
  std::string moviePath;            // filled by the owner's adapter
  int32_t imageNumber = 0;          // filled by the owner's adapter
};

// Everything a capture reports. Operations are called on the engine's
// worker and streaming threads; implementations copy what they keep and
// hand it to their own thread.
class CaptureListener {
 public:
  virtual ~CaptureListener() = default;
  virtual void FrameCaptured(const CapturedFrame& frame) = 0;
  virtual void SeekRequested(FrameNumber frame) = 0;
  virtual void CaptureAbortNotice() = 0;
  // text is one of the engine's constant stall messages.
  virtual void StatusText(FrameNumber frame, const char* text) = 0;
  virtual void CaptureEnded(bool completed) = 0;
  virtual void Progress(FrameNumber frame, FrameNumber frameCount) = 0;
  // The engine's state has changed (any change: the worker's pausing ->
  // paused as well as the commands'). state is the new state; it may have
  // changed again by the time the report is handled, so the owner reads
  // GetState on its own thread.
  virtual void StateChanged(CaptureState state) = 0;
};

// The stall messages shown to the user.
extern const char* const kStallMessageStandBy;
extern const char* const kStallMessageSlowMode;
extern const char* const kStallMessageProbablyImpossible;
extern const char* const kStallMessageAborting;

// What the engine is built on; tests replace the pipeline, the clock and
// the frame gate's wait.
struct CaptureEnvironment {
  MediaPipelineFactory pipelineFactory;  // the FFmpeg pipeline when empty
  TickSource ticks = SteadyTickCount;
  // Waits up to timeoutMs for the frame gate; true when it opened.
  std::function<bool(AutoResetEvent& event, int64_t timeoutMs)> waitForEvent;
};

class CaptureEngine {
 public:
  CaptureEngine();
  explicit CaptureEngine(CaptureEnvironment environment);
  ~CaptureEngine();
  CaptureEngine(const CaptureEngine&) = delete;
  CaptureEngine& operator=(const CaptureEngine&) = delete;

  // The process's engine, created on first use.
  static CaptureEngine& Instance();

  // The receiver of all reports; not owned. Set it while no capture runs.
  void SetListener(CaptureListener* listener) { listener_.store(listener); }
  CaptureListener* GetListener() const { return listener_.load(); }

  // The engine's copy of the capture settings; the schedule of the next
  // Open is computed from it.
  void SetCaptureSettings(const CaptureSettings& settings);
  CaptureSettings GetCaptureSettings() const;

  // Builds the pipeline for the file, computes the schedule, positions and
  // runs it and starts the worker. On failure GetErrorText() says why and
  // every part of the pipeline has been released. *result (when given)
  // receives S_OK or the failing step's code.
  bool Open(const std::string& path, HResult* result = nullptr);

  void TogglePause();
  void Stop();
  void SeekToFrame(FrameNumber frame);
  // Makes the worker leave, waits for it, and releases the pipeline.
  void Close();
  // The owner has dealt with the last FrameCaptured report.
  void FrameConsumed() { updateEvent_.Set(); }

  CaptureState GetState() const { return state_.load(); }
  double GetDurationSeconds() const { return schedule_.durationSeconds; }
  const BitmapInfoHeader& GetVideoFormat() const { return videoFormat_; }
  const std::string& GetErrorText() const { return errorText_; }
  // The open movie's schedule; firstFrame is the next frame to take.
  SamplingSchedule GetSchedule() const;
  FrameNumber GetCurrentFrame() const { return currentFrame_.load(); }

  // The sample callback (streaming thread).
  HResult OnSample(MediaSample* sample, const int64_t* start, const int64_t* end);

  // The text of a result code: empty for success codes, the framework-like
  // text for known failures, "Unknown Error: 0x.." otherwise.
  static std::string ErrorTextOf(HResult hr);

 private:
  bool FailOpen(int step, HResult hr, HResult* result);
  void StartWorker();
  void WorkerMain();
  void StallCheck(FrameNumber current);
  void Finish();
  bool OpenLocked(const std::string& path, HResult* result);
  void SeekToFrameLocked(FrameNumber frame);
  // Stops the graph; true when the end is to be reported by the caller
  // (once the command lock is released), false when the worker reports it.
  bool StopLocked();
  void CloseLocked();
  void ReleasePipeline();
  void NotifyComplete();
  bool OnWorkerThread() const;
  void JoinWorker();
  // Tells the listener of a state change; never with commandMutex_ held.
  void PublishState();
  void ReportEnded(bool completed);
  bool WaitGate(int64_t timeoutMs);
  uint64_t WorkerWakeups();
  void WorkerIdle(uint64_t wakeupsSeen, bool untilCallbackLeft = false);
  void WakeWorker();
  void LeaveCallback();

  CaptureEnvironment env_;
  mutable std::mutex settingsMutex_;
  CaptureSettings settings_;  // guarded by settingsMutex_

  // Serialises the commands (owner's thread, and the worker's Stop/Finish).
  // The listener is never called while it is held.
  std::mutex commandMutex_;

  // The pipeline; written only by Open and Close (under commandMutex_)
  // while no worker runs.
  std::unique_ptr<MediaPipeline> graph_;
  bool canSeek_ = false;  // the pipeline can position absolutely
  // graph_ for the streaming thread, which may run while Close releases it.
  std::atomic<MediaPipeline*> callbackPipeline_{nullptr};
  BitmapInfoHeader videoFormat_;
  std::string errorText_;

  // Schedule; written by Open before the pipeline runs, then read-only except
  // for the next frame to take and the seeking permission (atomics below).
  SamplingSchedule schedule_;
  std::atomic<FrameNumber> firstFrame_{0};
  std::atomic<bool> seekAllowed_{false};

  // Shared by the three threads.
  std::atomic<CaptureState> state_{CaptureState::idle};
  std::atomic<CaptureState> reportedState_{CaptureState::idle};  // last StateChanged
  std::atomic<FrameNumber> currentFrame_{0};
  std::atomic<FrameNumber> lastFrame_{-1};
  std::atomic<bool> finished_{false};
  std::atomic<bool> abortRequested_{false};
  std::atomic<uint64_t> stallStart_{0};  // 0: no stall being timed
  std::atomic<bool> closing_{false};     // Close has begun: the worker leaves
  // The streaming thread is inside OnSample: a frame it has taken may still
  // be on its way to the listener, so the worker reports no end yet.
  std::atomic<bool> sampleInCallback_{false};
  // The worker waits for the streaming thread to leave OnSample: leaving
  // wakes it.
  std::atomic<bool> workerAwaitsCallback_{false};
  std::atomic<CaptureListener*> listener_{nullptr};
  AutoResetEvent updateEvent_;

  // Worker thread.
  std::thread workerThread_;
  std::mutex workerMutex_;
  std::condition_variable workerCv_;
  bool workerRunning_ = false;  // guarded by workerMutex_; cleared by the worker
  uint64_t workerWakeups_ = 0;  // guarded by workerMutex_; ends the worker's idle wait
};

}  // namespace ombrelo
