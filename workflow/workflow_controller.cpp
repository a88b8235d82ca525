#include "workflow/workflow_controller.h"

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/result_codes.h"
#include "platform/qt/thread_calls.h"
#include "platform/thread_handoff.h"
#include "platform/translate.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/index_photo.h"
#include "workflow/capture_event_sink.h"
#include "workflow/frame_output.h"
#include "workflow/frame_writer.h"
#include "workflow/page_generation.h"

namespace ombrelo {

namespace {

constexpr char kErrorWritingPage[] = "error_writing.htm";
constexpr char kErrorCapturingPage[] = "error_capturing.htm";

uint32_t Kilobytes(uintmax_t bytes) {
  const uintmax_t kilobytes = bytes / 1024;
  return kilobytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kilobytes);
}

// Why a video that the capture read to its end was not whole: the decoder
// takes the end of what is left for the end of the stream, so a file cut
// short, removed or still being written while it was read ends like a
// complete one. `fewer` says why the capture took fewer thumbnails than
// promised, "" when it took them all; `endedEarly` that its stream ended
// before its stated length. `opened` is the file before the open, `now` at
// the end. "" when the video is whole.
std::string WhyNotWhole(const FileState& opened, const FileState& now, const std::string& fewer,
                        bool endedEarly) {
  if (opened.error == 0) {
    if (now.error != 0) return std::error_code(now.error, std::generic_category()).message();
    const std::string before = std::to_string(opened.bytes);
    const std::string after = std::to_string(now.bytes);
    if (now.bytes < opened.bytes) {
      return FillIn(Translate("WorkflowController",
                              "the file was cut short while it was read (%1 of its %2 bytes are "
                              "left)"),
                    {after, before});
    }
    if (now.bytes > opened.bytes) {
      return FillIn(Translate("WorkflowController",
                              "the file is still being written: it grew from %1 to %2 bytes while "
                              "it was read. Index it again when it is complete."),
                    {before, after});
    }
    if (now.modifiedNs != opened.modifiedNs)
      return Translate("WorkflowController",
                       "the file is still being written: it was changed while it was read. Index "
                       "it again when it is complete.");
  }
  if (fewer.empty()) return "";
  // A file being written between two of its writer's flushes looks like one
  // cut short, but was changed a moment ago.
  if (endedEarly && ChangedMomentsAgo(now))
    return FillIn(Translate("WorkflowController",
                            "the file is cut short or still being written: it was changed a "
                            "moment ago, and %1",
                            "%1 says how many thumbnails were taken"),
                  {fewer});
  return fewer;
}

// Why a capture that ran to its end took fewer thumbnails than its schedule
// promised; "" when it took them all.
std::string WhyFewerThumbnails(int64_t taken, int64_t promised, int64_t streamEnd,
                               double statedSeconds) {
  if (taken >= promised) return "";
  const int n = static_cast<int>(std::min<int64_t>(promised, INT32_MAX));
  const std::string got =
      FillIn(n == 1 ? Translate("WorkflowController", "%1 of %n thumbnail was taken", nullptr, n)
                    : Translate("WorkflowController", "%1 of %n thumbnails were taken", nullptr, n),
             {std::to_string(taken)});
  const double endSeconds = static_cast<double>(streamEnd) / static_cast<double>(kUnitsPerSecond);
  if (streamEnd <= 0) {
    return FillIn(Translate("WorkflowController",
                            "no picture of the video could be read, though its stated length is "
                            "%1; %2."),
                  {LengthText(statedSeconds), got});
  }
  if (endSeconds < statedSeconds) {
    return FillIn(Translate("WorkflowController",
                            "the video ends at %1, before its stated length of %2; %3."),
                  {LengthText(endSeconds), LengthText(statedSeconds), got});
  }
  return FillIn(Translate("WorkflowController", "only %1."), {got});
}

}  // namespace

bool WorkflowController::IsWaiting(const Movie& movie) {
  return movie.status == kMovieWaiting || movie.status == kMovieOpened;
}

// The object the engine's reports and the controller's own steps are posted
// to; it lives on the owner's thread.
class WorkflowController::Receiver : public QObject {
 public:
  explicit Receiver(WorkflowController& owner) : owner_(owner) {}

 protected:
  void customEvent(QEvent* event) override {
    Received(event);
    auto* workflowEvent = dynamic_cast<WorkflowEvent*>(event);
    if (!workflowEvent) return;
    owner_.Handle(*workflowEvent);
  }

 private:
  WorkflowController& owner_;
};

// What the index photo needs from the controller.
class WorkflowController::PhotoHost : public IndexPhotoHost {
 public:
  explicit PhotoHost(WorkflowController& owner) : owner_(owner) {}

  std::string TemporaryFolder() override { return owner_.project_.TemporaryFolder(); }
  void PostPoll() override {
    QCoreApplication::postEvent(owner_.receiver_.get(),
                                new WorkflowEvent(WorkflowEventType::indexPhotoPoll, -1));
  }
  void SetMovieError(int32_t movieId, const std::string& text) override {
    // The movie may have been removed while its photo was rendered.
    owner_.project_.AddMovieError(movieId, text);
  }
  void IndexPhotoFinished(int32_t movieId, bool written) override {
    owner_.OnIndexPhotoFinished(movieId, written);
  }
  void Notice(const Message& message) override { owner_.MessageNotice(message); }

 private:
  WorkflowController& owner_;
};

WorkflowController::WorkflowController(CProject& project, CaptureEngine& engine,
                                       PageGeneration& pages, WorkflowPreferences preferences,
                                       QObject* parent)
    : QObject(parent),
      project_(project),
      engine_(engine),
      pages_(pages),
      preferences_(preferences) {
  receiver_ = std::make_unique<Receiver>(*this);
  fromWorkers_ = std::make_unique<ThreadCalls>();
  photoHost_ = std::make_unique<PhotoHost>(*this);
  renderer_ = std::make_unique<IndexPhotoGenerator>(*photoHost_);
  writer_ = std::make_unique<FrameWriter>([this](FrameWriter::Result result) {
    // On the writer's thread: the thumbnail is recorded on the owner's.
    const int32_t movieId = result.job.movieId;
    PostToOwner(movieId, [this, result = std::move(result)] { OnFrameWritten(result); });
  });
  // The capture thread hands each frame to the writer through the sink.
  eventSink_ = std::make_unique<CaptureEventSink>(*fromWorkers_, receiver_.get(), *writer_);
  engine_.SetListener(eventSink_.get());
}

WorkflowController::~WorkflowController() {
  eventSink_->Detach();  // a frame waiting for its movie's naming is dropped
  // A capture without its owner would only wait for frames nobody takes.
  if (engine_.GetState() != CaptureState::idle) engine_.Close();
  if (engine_.GetListener() == eventSink_.get()) engine_.SetListener(nullptr);
  writer_.reset();  // before the receiver its results are posted to
  renderer_.reset();
  photoHost_.reset();
  fromWorkers_.reset();  // drops the reports still on their way
  receiver_.reset();     // drops the events still queued for it
}

// ---------------------------------------------------------------------------
// Commands

void WorkflowController::Start() {
  runActive_ = true;
  endRunRequested_ = false;
  const CaptureState state = engine_.GetState();
  if (state == CaptureState::idle) {
    // Between two movies of a run the idle step starts the next one itself,
    // and the answer to an open starts the next one when it failed.
    if (!continueWithNext_ && openingMovieId_ < 0) {
      emit runStarted();
      queue_.clear();  // a new run takes the list as it is now
      runMovies_.clear();
      opensFromStart_ = StartNextMovie() == kMovieStarted;
    }
  } else if (state == CaptureState::paused) {
    SetStatus(TranslateKept("WorkflowController", kCapturing));
    engine_.TogglePause();
  }
  NoticeDecodingProblems();
  ScheduleIdle();
}

void WorkflowController::Stop() {
  if (engine_.GetState() == CaptureState::idle) return;
  SetStatus(TranslateKept("WorkflowController", kStopping));
  engine_.Stop();
  ScheduleIdle();
}

void WorkflowController::Pause() {
  const CaptureState state = engine_.GetState();
  if (state == CaptureState::running) {
    SetStatus(TranslateKept("WorkflowController", kPausing));
    engine_.TogglePause();
  } else if (state == CaptureState::paused) {
    SetStatus(TranslateKept("WorkflowController", kCapturing));
    engine_.TogglePause();
  }
  ScheduleIdle();
}

void WorkflowController::EndRun() {
  endRunRequested_ = true;
  Stop();
  ScheduleIdle();
}

void WorkflowController::FillQueue() const {
  queue_.clear();
  for (const Movie& movie : project_.Movies()) {
    if (IsWaiting(movie)) queue_.push_back(movie.id());
  }
}

const Movie* WorkflowController::NextQueued() const {
  // Each id is looked up again: the front end may change the list while it
  // shows a notice. Looking is no change of the project.
  while (!queue_.empty()) {
    const Movie* movie = std::as_const(project_).MovieById(queue_.front());
    if (movie && IsWaiting(*movie)) return movie;
    queue_.pop_front();
  }
  return nullptr;
}

int WorkflowController::StartNextMovie() {
  // The queue is filled from the project once when it has run dry, so that
  // movies added during the run are taken too.
  const Movie* next = NextQueued();
  if (!next) {
    FillQueue();
    next = NextQueued();
  }
  if (!next) return kNoneWaiting;
  queue_.pop_front();
  OpenMovie(*next);
  return kMovieStarted;
}

void WorkflowController::OpenMovie(const Movie& movie) {
  const int32_t id = movie.id();
  const std::string path = movie.path();
  engine_.SetCaptureSettings(project_.Capture());
  // The sink is set before the engine runs, so that no frame of this movie
  // can be numbered or named for the previous one.
  eventSink_->Reset(id, path);
  runMovies_.push_back(id);
  openingMovieId_ = id;
  // The capture thread opens the file; its answer comes as an event.
  engine_.Open(path);
}

void WorkflowController::OnOpened(int32_t movieId, const OpenOutcome& outcome) {
  if (movieId != openingMovieId_) return;
  openingMovieId_ = -1;
  const Movie* found = std::as_const(project_).MovieById(movieId);
  if (outcome.stopped || (!found && outcome.opened)) {
    // Stopped while it was opened, or removed meanwhile: the movie stays as
    // it was, and the run goes on only for a removed one.
    if (outcome.opened) engine_.Close();
    if (outcome.stopped || endRunRequested_) {
      SetStatus(TranslateKept("WorkflowController", kReady));
      opensFromStart_ = false;
      return;
    }
    DebugOutput("Not indexed: movie " + std::to_string(movieId) + " was removed while opened\n");
  } else if (outcome.opened) {
    const Movie& movie = *found;
    const std::string& path = movie.path();
    // The capture begins anew: the thumbnails of a capture that was stopped
    // are replaced, not added to. The earlier run's files stay until the
    // new outputs are in place, so that a run cut short leaves the earlier
    // playlist and pages whole.
    // Before the open: a file that grows from there on is still being written.
    opened_ = outcome.beforeOpen;
    project_.MarkOpened(
        movieId, MovieProperties{engine_.GetDurationSeconds(), Kilobytes(outcome.afterOpen.bytes),
                                 engine_.GetVideoFormat()});
    // The capture thread names and writes the thumbnails from here on.
    eventSink_->SetNaming(NamingOf(project_, movie));
    currentMovieId_ = movieId;
    liveMovieId_ = movieId;
    writeFailed_ = false;
    emit movieStarted(movie);
    int waiting = 0;
    for (const int32_t queued : queue_) {
      const Movie* other = std::as_const(project_).MovieById(queued);
      if (other && IsWaiting(*other)) ++waiting;
    }
    runVideos_ = static_cast<int>(runMovies_.size()) + waiting;
    thumbnailsWritten_ = 0;
    thumbnailsPromised_ =
        static_cast<int>(std::clamp<int64_t>(PromisedSamples(engine_.GetSchedule()), 0, INT32_MAX));
    emit countsChanged(movieId, static_cast<int>(runMovies_.size()), runVideos_, 0,
                       thumbnailsPromised_);
    SetStatus(FillIn(TranslateKept("WorkflowController", kGrabbingFrom), {path}));
    if (std::exchange(opensFromStart_, false)) NoticeDecodingProblems();
    return;
  } else if (found) {
    OnOpenFailed(*found, outcome);
  }
  // On with the next waiting movie; the run's queue is done when none is.
  if (endRunRequested_ || StartNextMovie() != kMovieStarted) {
    if (!endRunRequested_) ShowRunSummary();
    if (std::exchange(opensFromStart_, false)) NoticeDecodingProblems();
  }
}

void WorkflowController::OnOpenFailed(const Movie& movie, const OpenOutcome& outcome) {
  const std::string path = movie.path();
  const std::string text = FillIn(Translate("WorkflowController", "Error capturing from '%1' - %2"),
                                  {path, outcome.text});
  project_.AddMovieError(movie.id(), text);
  emit movieNotOpened(movie, text);
  if (outcome.code == MediaError::noDecoder) {
    if (preferences_.firstRun) {
      Notice([this, path] { emit codecHelpRequested(path, CodecHelpAddress(path)); });
    } else {
      decodingProblems_.push_back(path);
    }
  } else if (preferences_.firstRun) {
    FailureNotice(text, [this] { emit helpRequested(kErrorCapturingPage, HelpMode::notice); });
  }
}

bool WorkflowController::AnyWaiting() const {
  // The run's queue answers at once; the whole list only when it is empty.
  if (NextQueued()) return true;
  for (const Movie& movie : project_.Movies()) {
    if (IsWaiting(movie)) return true;
  }
  return false;
}

CommandStates WorkflowController::GetCommandStates() const {
  CommandStates states;
  // A failed open's answer is yet to be handled: the engine is idle again.
  const CaptureState state = openingMovieId_ >= 0 && engine_.GetState() == CaptureState::idle
                                 ? CaptureState::opening
                                 : engine_.GetState();
  switch (state) {
    case CaptureState::idle:
      states.start = AnyWaiting();
      break;
    case CaptureState::running:
      states.stop = true;
      states.pause = true;
      break;
    case CaptureState::paused:
      states.pause = true;
      states.paused = true;
      break;
    case CaptureState::opening:
      states.stop = true;  // a slow open can be given up
      break;
    case CaptureState::stopped:
    case CaptureState::pausing:
      break;
  }
  return states;
}

void WorkflowController::NoticeDecodingProblems() {
  if (!decodingProblems_.empty()) Notice([this] { ShowDecodingProblems(); });
}

void WorkflowController::ShowDecodingProblems() {
  std::vector<std::string> problems;
  problems.swap(decodingProblems_);
  if (problems.size() == 1) {
    emit codecHelpRequested(problems.front(), CodecHelpAddress(problems.front()));
  } else if (problems.size() > 1) {
    emit decodingProblemsFound(problems);
  }
}

bool WorkflowController::IndexPhotoPending() const { return renderer_ && renderer_->Pending(); }

bool WorkflowController::OutputsPending() const {
  return outputsPending_ || removalsPending_ > 0 || IndexPhotoPending();
}

// ---------------------------------------------------------------------------
// Events

void WorkflowController::Handle(WorkflowEvent& event) {
  if (event.Kind() == WorkflowEventType::idle) {
    // Everything the workers reported before this step is handled first.
    fromWorkers_->RunPending();
    idlePosted_ = false;
    OnIdle();
    return;
  }
  switch (event.Kind()) {
    case WorkflowEventType::preview:
      OnPreview(event.movieId);
      break;
    case WorkflowEventType::progress:
      OnProgress(event.movieId);
      break;
    case WorkflowEventType::statusText:
      if (event.movieId == liveMovieId_ && event.text)
        SetStatus(TranslateKept("CaptureEngine", event.text));
      break;
    case WorkflowEventType::opened:
      OnOpened(event.movieId, event.open);
      break;
    case WorkflowEventType::captureEnded:
      // Only the first end of the movie being captured counts.
      if (event.movieId == liveMovieId_) OnCaptureEnded(event.end);
      break;
    case WorkflowEventType::stateChanged:
      // Whatever the movie: the commands follow the engine as it is now.
      // "Pausing" turns into "Paused" once the engine has really paused.
      if (engine_.GetState() == CaptureState::paused && liveMovieId_ >= 0)
        SetStatus(TranslateKept("WorkflowController", kPaused));
      PublishCommands();
      break;
    case WorkflowEventType::indexPhotoPoll:
      renderer_->Poll();
      break;
    case WorkflowEventType::workDone:
      if (event.call) event.call();
      break;
    case WorkflowEventType::idle:
      break;
  }
  ScheduleIdle();
}

void WorkflowController::OnPreview(int32_t movieId) {
  const std::shared_ptr<const FrameCopy> frame = eventSink_->TakePreview();
  // A frame of a capture that has been closed is not shown.
  if (!frame || movieId != liveMovieId_ || frame->movieId != liveMovieId_) return;
  // The first frame can overtake the engine's report that it runs: the
  // commands follow the engine as it is now.
  PublishCommands();
  emit previewFrame(*frame);
  // Naming, format and quality follow the settings as they are now.
  eventSink_->UpdateSettings(project_.Capture());
}

void WorkflowController::OnProgress(int32_t movieId) {
  const int perMille = eventSink_->TakeProgress();
  if (movieId == liveMovieId_ && perMille >= 0) emit progress(movieId, perMille);
}

void WorkflowController::OnFrameWritten(const FrameWriter::Result& result) {
  // The capture thread goes on while this is recorded; after a frame that
  // could not be written the writer drops the capture's later frames, and
  // the stop below ends the capture at its next step.
  RecordThumbnail(
      project_, result.job.movieId, result.job.frame, result.job.path, result.written,
      [this] { Stop(); }, result.reason);
  if (result.written && result.job.movieId == liveMovieId_) {
    ++thumbnailsWritten_;
    emit countsChanged(liveMovieId_, static_cast<int>(runMovies_.size()), runVideos_,
                       thumbnailsWritten_, thumbnailsPromised_);
  }
  if (!result.written && result.job.movieId == currentMovieId_) {
    writeFailed_ = true;
    writeFailure_ = WriteFailureText(result.job.path, result.reason);
  }
}

void WorkflowController::OnCaptureEnded(const CaptureEnd& end) {
  bool completed = end.completed;
  // Every thumbnail of the capture has been recorded: the end came through
  // the writer, behind them.
  liveMovieId_ = -1;
  const std::string fewer =
      WhyFewerThumbnails(engine_.GetSamplesTaken(), PromisedSamples(engine_.GetSchedule()),
                         engine_.GetStreamEnd(), engine_.GetDurationSeconds());
  const bool endedEarly =
      !fewer.empty() && static_cast<double>(engine_.GetStreamEnd()) <
                            engine_.GetDurationSeconds() * static_cast<double>(kUnitsPerSecond);
  engine_.Close();
  // A capture that ran to its end just as a thumbnail failed is no success.
  if (writeFailed_) completed = false;
  if (completed) {
    if (const Movie* movie = std::as_const(project_).MovieById(currentMovieId_)) {
      const std::string why = WhyNotWhole(opened_, end.file, fewer, endedEarly);
      // A file that holds less than it says (or conversions that failed)
      // is cut short, not done; what it gave is indexed all the same.
      if (!why.empty())
        FailMovie(currentMovieId_,
                  FillIn(Translate("WorkflowController", "Error reading from '%1' - %2"),
                         {movie->path(), why}));
    }
    MakeOutputs();
  } else {
    SetStatus(TranslateKept("WorkflowController", kReady));
    if (writeFailed_) {
      // The movie is failed: it is listed with its error like one that
      // could not be opened.
      if (const Movie* movie = std::as_const(project_).MovieById(currentMovieId_)) {
        emit movieFailed(*movie, writeFailure_);
      }
      FailureNotice(writeFailure_,
                    [this] { emit helpRequested(kErrorWritingPage, HelpMode::notice); });
      writeFailed_ = false;
    }
  }
  if (!continueWithNext_) NoticeDecodingProblems();
}

void WorkflowController::PostToOwner(int32_t movieId, std::function<void()> call) {
  fromWorkers_->Post([receiver = receiver_.get(), movieId, call = std::move(call)] {
    WorkflowEvent event(WorkflowEventType::workDone, movieId);
    event.call = call;
    QCoreApplication::sendEvent(receiver, &event);
  });
}

// ---------------------------------------------------------------------------
// Idle step

void WorkflowController::ScheduleIdle() {
  if (idlePosted_ || !receiver_) return;
  idlePosted_ = true;
  QCoreApplication::postEvent(receiver_.get(), new WorkflowEvent(WorkflowEventType::idle, -1),
                              Qt::LowEventPriority);
}

void WorkflowController::OnIdle() {
  PublishCommands();
  if (continueWithNext_ && !OutputsPending() && engine_.GetState() == CaptureState::idle) {
    if (!endRunRequested_) {
      SetStatus(TranslateKept("WorkflowController", kReady));
      if (StartNextMovie() != kMovieStarted) ShowRunSummary();
    }
    continueWithNext_ = false;
    PublishCommands();
  }
  CheckRunFinished();
  ShowNotices();
}

void WorkflowController::ShowRunSummary() {
  int indexed = 0;
  int failed = 0;
  for (const int32_t id : runMovies_) {
    const Movie* movie = std::as_const(project_).MovieById(id);
    if (!movie) continue;
    if (movie->status == kMovieDone) ++indexed;
    if (movie->status == kMovieFailed) ++failed;
  }
  runMovies_.clear();
  Notice([this, indexed, failed] { emit runCompleted(indexed, failed); });
}

void WorkflowController::Notice(std::function<void()> show) {
  notices_.push_back(std::move(show));
  ScheduleIdle();
}

void WorkflowController::MessageNotice(const Message& message) {
  Notice([this, message] { emit messageRequested(message); });
}

void WorkflowController::FailureNotice(std::string text, std::function<void()> show) {
  failureNotices_.emplace_back(std::move(text), std::move(show));
  ScheduleIdle();
}

namespace {

// One box for several failures: how many, and each on a line of its own.
std::string FailureSummaryText(const std::vector<std::string>& failures) {
  constexpr size_t kListed = 15;
  const auto count = [](size_t n) { return static_cast<int>(std::min<size_t>(n, INT32_MAX)); };
  std::string text =
      Translate("WorkflowController", "%n things went wrong while indexing:", nullptr,
                count(failures.size())) +
      "\n";
  for (size_t i = 0; i < failures.size() && i < kListed; ++i) text += "\n" + failures[i];
  if (failures.size() > kListed) {
    text += "\n" + Translate("WorkflowController", "... and %n more.", nullptr,
                             count(failures.size() - kListed));
  }
  return text;
}

}  // namespace

void WorkflowController::ShowNotices() {
  // One at a time, from the idle step: while one is open (a modal window
  // runs its own event loop) the run goes on, and the notices that come
  // meanwhile wait for it to be closed.
  if (noticeOpen_) return;
  // Nor while an open is under way: the notices follow its answer, so that
  // a failed open's help comes after the movie the run went on with.
  if (openingMovieId_ >= 0) return;
  // The failures of a run are told once it has ended, ahead of its summary,
  // and several of them in one box rather than a box for each.
  if (!runActive_ && !failureNotices_.empty()) {
    std::vector<std::pair<std::string, std::function<void()>>> failures;
    failures.swap(failureNotices_);
    if (failures.size() == 1) {
      notices_.push_front(std::move(failures.front().second));
    } else {
      std::vector<std::string> texts;
      for (auto& failure : failures) texts.push_back(std::move(failure.first));
      notices_.push_front([this, text = FailureSummaryText(texts)] {
        emit messageRequested(Message{Translate("Message", "Error"), text, MessageIcon::error,
                                      MessageOwner::mainWindow});
      });
    }
  }
  while (!notices_.empty()) {
    std::function<void()> show = std::move(notices_.front());
    notices_.pop_front();
    noticeOpen_ = true;
    show();
    noticeOpen_ = false;
  }
}

void WorkflowController::CheckRunFinished() {
  if (!runActive_ || continueWithNext_ || OutputsPending() || openingMovieId_ >= 0 ||
      engine_.GetState() != CaptureState::idle)
    return;
  runActive_ = false;
  endRunRequested_ = false;
  emit runFinished();
}

void WorkflowController::SetStatus(const std::string& text) { emit statusChanged(text); }

void WorkflowController::PublishCommands() { emit commandsChanged(GetCommandStates()); }

}  // namespace ombrelo
