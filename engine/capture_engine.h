#pragma once
// The capture engine: opens one movie at a time through a media pipeline and
// runs its capture on one thread of its own, the capture thread. That thread
// runs a single loop that pulls frames from the pipeline, takes the frames of
// the sampling schedule and hands each to the listener (which passes it to
// its writer), decides the seeks ahead between samples, watches the stall
// deadline, and honours the pause, stop and close flags the owner sets.
//
// Threads:
//  - the owner's thread calls the commands (Open, TogglePause, Stop,
//    SeekToFrame, Close, the getters). Commands only set flags and wake the
//    capture thread; none of them opens, reads or seeks the file, so a
//    video on a slow share never holds up the owner.
//  - the capture thread ("capture") does all opening, reading, decoding,
//    seeking and converting, and calls the listener. It runs behind the
//    owner's thread (see LowerThreadPriority), and so do the decoder's and
//    the converter's threads, which it starts.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/capture_settings.h"
#include "engine/file_state.h"
#include "engine/media_pipeline.h"
#include "engine/seek_plan.h"
#include "platform/result_codes.h"
#include "platform/sync.h"

namespace ombrelo {

enum class CaptureState : int32_t {
  idle = 0,     // no movie open
  stopped = 1,  // the capture has ended; the movie is still open
  opening = 2,  // the capture thread opens the movie; its answer is to come
  running = 3,
  pausing = 4,  // a pause was asked for; the capture thread has not yet stopped
  paused = 5,
};

// The answer to an Open.
struct OpenOutcome {
  bool opened = false;
  // Stop or Close came before the open was done: nothing is open, and the
  // movie did not fail.
  bool stopped = false;
  MediaError code = MediaError::none;  // the failing step's code when it failed
  std::string text;                    // why it failed, for the user
  // The movie's file just before and just after the open: one that grows
  // from before the open on is still being written.
  FileState beforeOpen;
  FileState afterOpen;
};

// The end of a movie's capture.
struct CaptureEnd {
  // It ran to its end; not when it was stopped or given up.
  bool completed = false;
  // The movie's file once a completed capture had read it to its end
  // (compared with OpenOutcome's to tell a file still being written).
  FileState file;
};

// A frame taken from the movie, as handed to the listener.
struct CapturedFrame {
  const uint8_t* pixels = nullptr;  // top-down BGR rows; valid only during the call
  int32_t size = 0;                 // bytes at pixels
  FrameNumber frame = 0;            // frame number
  double time = 0;                  // start of the frame in seconds
};

// Everything a capture reports, called on the capture thread (StateChanged
// also on the owner's thread, by the commands). FrameCaptured is the frame's
// hand-over: the listener copies the pixels and passes the frame on to its
// writer, and may wait there while the writer is behind; the other reports
// only copy what they carry and post it on.
class CaptureListener {
 public:
  virtual ~CaptureListener() = default;
  // The answer to Open (once per Open that Close did not cut short). When
  // the movie opened, the getters of its format and schedule are set and
  // its frames follow.
  virtual void Opened(const OpenOutcome& outcome) = 0;
  virtual void FrameCaptured(const CapturedFrame& frame) = 0;
  // text is one of the engine's constant stall messages.
  virtual void StatusText(FrameNumber frame, const char* text) = 0;
  // The capture of this movie is over (once per movie). Nothing is
  // reported after it.
  virtual void CaptureEnded(const CaptureEnd& end) = 0;
  // A frame was delivered (taken or not); frameCount is the movie's.
  virtual void Progress(FrameNumber frame, FrameNumber frameCount) = 0;
  // The engine's state has changed; it may have changed again by the time
  // the report is handled, so the owner reads GetState on its own thread.
  virtual void StateChanged(CaptureState state) = 0;
};

// The stall messages shown to the user.
extern const char* const kStallMessageStandBy;
extern const char* const kStallMessageSlowMode;
extern const char* const kStallMessageProbablyImpossible;
extern const char* const kStallMessageAborting;

// What the engine is built on; tests replace the pipeline and the clock.
struct CaptureEnvironment {
  MediaPipelineFactory pipelineFactory;  // the FFmpeg pipeline when empty
  TickSource ticks = SteadyTickCount;    // milliseconds, for the stall deadline
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

  // Skipping blank samples (off unless asked for): a sample that is nearly
  // one flat colour is replaced by the first frame after it that is not,
  // looked for by decoding on up to half the sampling interval (never up to
  // the next sample); when there is none, the flat sample is taken after
  // all. Read by the next Open.
  void SetSkipBlank(bool skip) { skipBlank_.store(skip); }
  bool GetSkipBlank() const { return skipBlank_.load(); }

  // A movie whose schedule promises more thumbnails than `limit` (0: no
  // limit) fails to open, with a text that says how many and ends with
  // `advice` (a clause, such as how to take them all the same). Read by the
  // next Open.
  void SetThumbnailLimit(int64_t limit, std::string advice);

  // Starts the capture thread, which opens the file, connects its decoder,
  // computes the schedule and answers with the listener's Opened; then it
  // positions the stream and takes the frames. Returns at once: the state
  // is `opening` until the answer. On failure GetErrorText() says why and
  // every part of the pipeline has been released before the answer.
  void Open(const std::string& path);

  // running -> pausing (paused once the capture thread has stopped);
  // pausing or paused -> running.
  void TogglePause();
  // Ends the capture early: the capture thread reports the end (not
  // completed) as soon as it sees the flag; a read that blocks is cancelled.
  // During the open: the open is answered as stopped.
  void Stop();
  // Asks the capture thread to position the stream to the frame (when
  // seeking is allowed); a read that blocks is cancelled for it.
  void SeekToFrame(FrameNumber frame);
  // Makes the capture thread leave, waits for it, and releases the pipeline.
  void Close();

  CaptureState GetState() const { return state_.load(); }
  // Set by the open; read them once it has been answered.
  double GetDurationSeconds() const { return schedule_.durationSeconds; }
  const BitmapInfoHeader& GetVideoFormat() const { return videoFormat_; }
  const std::string& GetErrorText() const { return errorText_; }
  // The open movie's schedule; firstFrame is the next frame to take.
  SamplingSchedule GetSchedule() const;
  // What the capture of the open movie got: the thumbnails handed to the
  // listener, and the end of the last frame the stream gave (100-ns units
  // from its start; 0 before the first). Final once the end is reported.
  int64_t GetSamplesTaken() const { return samplesTaken_.load(); }
  int64_t GetStreamEnd() const { return streamEnd_.load(); }

 private:
  // What the loop does after a step.
  enum class Next { goOn, completed, stopped, closed };
  // Stall timing of the loop (capture thread only).
  struct StallWatch {
    uint64_t nextCheck = 0;  // tick of the next check
    FrameNumber lastSeen = -1;
    uint64_t stallStart = 0;  // 0: no stall being timed
  };

  // Capture thread: the open, answered by the caller.
  OpenOutcome OpenPipeline(const std::string& path, FrameNumber* startPosition);
  OpenOutcome FailOpen(int step, MediaError hr);
  void ReleasePipeline();
  void JoinCapture();
  // Any thread: every read of the pipeline gives up.
  void CancelReads();
  bool OnCaptureThread() const;

  // Capture thread.
  void CaptureMain(const std::string& path);
  void Capture(FrameNumber startPosition, const std::string& path);
  Next Loop(FrameNumber startPosition);
  Next TakeCommands();
  Next OnFrame(const PulledFrame& pulled);
  NextMove TakeSample(MediaSample* sample, FrameNumber f, int64_t start);
  void Deliver(const uint8_t* pixels, int32_t size, FrameNumber f, int64_t start);
  NextMove AfterSample(FrameNumber taken);
  bool IsBlank(const uint8_t* pixels) const;
  // While a blank sample waits for its replacement: the frame decoded now.
  // *move is set when the wait ended with it (the frame was taken in the
  // sample's place, or the bound was passed and the blank sample was taken).
  void LookPastBlank(MediaSample* sample, FrameNumber f, int64_t start, NextMove* move);
  void TakeWaitingBlank();
  void ExecuteSeek(FrameNumber frame, bool requested);
  Next CheckStall();
  void AbortNotice();

  // Tells the listener of a state change.
  void PublishState();
  void ReportEnded(const CaptureEnd& end);

  CaptureEnvironment env_;
  mutable std::mutex settingsMutex_;
  CaptureSettings settings_;    // guarded by settingsMutex_
  int64_t thumbnailLimit_ = 0;  // guarded by settingsMutex_
  std::string limitAdvice_;     // guarded by settingsMutex_

  // The pipeline: made by Open on the owner's thread before the capture
  // thread starts, then used only by the capture thread until Close has
  // joined it. The owner's thread reaches it (Interrupt, Cancel) under
  // pipelineMutex_, which the capture thread holds to release it after a
  // failed open.
  std::mutex pipelineMutex_;
  std::unique_ptr<MediaPipeline> pipeline_;
  // Written by the capture thread's open before it answers (and before the
  // state leaves `opening`).
  bool canSeek_ = false;
  BitmapInfoHeader videoFormat_;
  std::string errorText_;

  // Schedule; written by the open, then read-only except for the next frame
  // to take and the seeking permission.
  SamplingSchedule schedule_;
  std::atomic<FrameNumber> firstFrame_{0};
  std::atomic<bool> seekAllowed_{false};

  std::atomic<CaptureState> state_{CaptureState::idle};
  std::atomic<CaptureState> reportedState_{CaptureState::idle};  // last StateChanged
  std::atomic<FrameNumber> currentFrame_{0};  // the frame decoded last, for the stall check
  std::atomic<int64_t> samplesTaken_{0};
  std::atomic<int64_t> streamEnd_{0};
  std::atomic<CaptureListener*> listener_{nullptr};
  std::atomic<bool> skipBlank_{false};

  // Capture thread only.
  StallWatch watch_;
  // What the stall check found while a read waited for data; the read gave
  // up for it.
  Next whileBlocked_ = Next::goOn;
  FrameNumber lastFrame_ = -1;
  bool finished_ = false;  // the stop frame was reached: later frames past it are ignored
  // A blank sample whose replacement is looked for: a copy of its frame, to
  // be taken when no frame up to `bound` will do.
  struct BlankSample {
    bool waiting = false;
    std::vector<uint8_t> pixels;
    FrameNumber frame = 0;
    int64_t start = 0;
    FrameNumber bound = 0;  // the last frame that may replace it
  } blank_;
  bool skipBlankRun_ = false;  // skipBlank_ as the open found it

  // The owner's requests to the capture thread, guarded by flagsMutex_.
  std::mutex flagsMutex_;
  std::condition_variable flagsChanged_;
  bool pauseRequested_ = false;
  bool stopRequested_ = false;
  bool closeRequested_ = false;
  std::optional<FrameNumber> seekRequested_;
  bool seekInterrupted_ = false;  // a read was cut for the requested seek

  std::thread captureThread_;
  // Set by the capture thread just before its last report.
  std::atomic<bool> captureDone_{false};
};

}  // namespace ombrelo
