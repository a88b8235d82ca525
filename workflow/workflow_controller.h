#pragma once
// The indexing workflow controller: runs an indexing run over the project's
// movies, one after the other. It opens each waiting movie in the capture
// engine, saves the frames the engine takes as thumbnails, and when a movie
// has been captured makes its image playlist, web page and index photo (each
// when enabled, in that order), then starts the next waiting movie once the
// index photo is finished. It carries out Start, Stop and Pause, keeps the
// status text, enables the three commands by the engine's state and collects
// the movies that no installed decoder can play.
//
// One controller serves both front ends. It shows nothing and asks nothing of
// them: it publishes what happened as signals, and each front end (the
// desktop's pages and window, the command line's terminal output) connects
// to what it shows. Every report about a movie names it by its id
// (Movie::id(), FrameCopy::movieId); rows and views are found by that id,
// never by a position or a path. A front end stores its settings into the
// project before it calls Start.
//
// The controller lives on the owner's thread (a Qt event loop must run
// there); the engine's reports reach it as posted events through its
// CaptureEventSink, and it posts its own idle step and index-photo polls the
// same way. Its signals are emitted on that thread and meant for direct
// connections. The notices (helpRequested, codecHelpRequested,
// decodingProblemsFound, runCompleted) are emitted from the idle step,
// outside the controller's other work, so a listener may show them in a
// modal window while the run goes on; the other signals come from inside
// that work, and their listeners must return without running an event loop.
// No listener may delete the controller.
//
// The queue is the project's movie list: a movie is waiting while its status
// is 0 (new) or 1 (opened, not finished).
#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_state.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/user_message.h"
#include "render/xslt_service.h"
#include "workflow/frame_output.h"
#include "workflow/frame_writer.h"
#include "workflow/workflow_port.h"

namespace ombrelo {

class CProject;
class CaptureEngine;
struct OpenOutcome;
struct CaptureEnd;
class CaptureEventSink;
class IndexPhotoGenerator;
class PageGeneration;
class ThreadCalls;
class WorkflowEvent;
struct OutputSettings;

// What the controller takes from the user's preferences. The desktop hands
// in its own; the command line has none (it is never a first run).
struct WorkflowPreferences {
  // The program's first run for this user: capture problems open their help
  // at once.
  bool firstRun = false;
};

class WorkflowController : public QObject {
  Q_OBJECT

 public:
  // Results of StartNextMovie.
  enum StartResult : int {
    kMovieStarted = 0,  // the engine opens a movie; its answer is to come
    kNoneWaiting = 2,   // none was waiting
  };

  // Status texts, translated where they are set (the path for "%1").
  static constexpr const char* kGrabbingFrom =
      QT_TRANSLATE_NOOP("WorkflowController", "Grabbing from : %1");
  static constexpr const char* kPausing = QT_TRANSLATE_NOOP("WorkflowController", "Pausing");
  static constexpr const char* kPaused = QT_TRANSLATE_NOOP("WorkflowController", "Paused");
  static constexpr const char* kCapturing = QT_TRANSLATE_NOOP("WorkflowController", "Capturing");
  static constexpr const char* kStopping = QT_TRANSLATE_NOOP("WorkflowController", "Stopping");
  static constexpr const char* kSavingPlaylist =
      QT_TRANSLATE_NOOP("WorkflowController", "Saving playlist");
  static constexpr const char* kSavingWebpage =
      QT_TRANSLATE_NOOP("WorkflowController", "Saving webpage");
  static constexpr const char* kSavingIndexPhoto =
      QT_TRANSLATE_NOOP("WorkflowController", "Saving index photo");
  static constexpr const char* kReady = QT_TRANSLATE_NOOP("WorkflowController", "Ready");

  // Becomes the engine's listener and the XSLT service's stop action. The
  // project, engine and page generation must outlive the controller.
  WorkflowController(CProject& project, CaptureEngine& engine, PageGeneration& pages,
                     WorkflowPreferences preferences = {}, QObject* parent = nullptr);
  // Clears the engine's listener; a capture still open is closed.
  ~WorkflowController() override;
  WorkflowController(const WorkflowController&) = delete;
  WorkflowController& operator=(const WorkflowController&) = delete;

  // The largest index photo: the area the desktop's pages have (0 x 0, the
  // default, leaves the templates' own minimum size).
  void SetIndexPhotoBounds(ClientSize bounds) { photoBounds_ = bounds; }

 public slots:
  // Starts the first waiting movie when the engine is idle, or resumes a
  // paused capture; shows the decoding problems found.
  void Start();
  // Stops the capture (its end then arrives as a capture that did not
  // complete; the movie keeps status 1).
  void Stop();
  // Pauses a running capture, resumes a paused one.
  void Pause();
  // Stops the capture as Stop does and starts no further movie of this run
  // (the command line's Ctrl+C, closing the window). The run then ends as
  // soon as a pending index photo is finished.
  void EndRun();

 signals:
  // The status bar's one text.
  void statusChanged(const std::string& text);
  // The Start, Stop and Pause commands (menu and toolbar) as they are now.
  void commandsChanged(ombrelo::CommandStates states);
  // Start began a new run (the progress page empties its error box).
  void runStarted();
  // Indexing of the movie has begun (its id, name, frame format).
  void movieStarted(const ombrelo::Movie& movie);
  // The movie could not be opened: it is failed (status 3) and holds the
  // error; errorText is the line for the progress page's error box
  // ("Error capturing from '<path>' - <reason>"). The results page makes a
  // row for it as for a finished movie.
  void movieNotOpened(const ombrelo::Movie& movie, const std::string& errorText);
  // The movie's capture failed on the way (a thumbnail could not be
  // written): it is failed and holds the error, errorText is the line for
  // the error box. Listed like a movie that could not be opened.
  void movieFailed(const ombrelo::Movie& movie, const std::string& errorText);
  // Progress of the movie being captured, 0 to 1000.
  void progress(int32_t movieId, int perMille);
  // Where the run stands: the movie being captured is the video-th of the
  // run's videos (those started so far and those waiting), and has written
  // thumbnails of the about promised by its settings (0 when its length is
  // not known). Sent as the movie starts and after each thumbnail written.
  void countsChanged(int32_t movieId, int video, int videos, int thumbnails, int promised);
  // A frame for the preview (frame.movieId names its movie); a listener may
  // keep the shared pixels.
  void previewFrame(const ombrelo::FrameCopy& frame);
  // The movie's capture completed and its outputs are made; its index photo
  // may still be rendered (indexPhotoFinished follows then, always later).
  void movieFinished(const ombrelo::Movie& movie);
  // The index photo of a movie was written or failed (also one made again
  // after a thumbnail was deleted); in the latter case the movie has its
  // error and no index photo any more.
  void indexPhotoFinished(const ombrelo::Movie& movie, bool written);
  // The run started by Start has ended: no capture is open, no index photo
  // is pending and no further movie will be started by itself.
  void runFinished();

  // ---- Notices, emitted outside the controller's work (see above).

  // The queue of a run has been worked through: how many of the run's
  // videos were indexed and how many failed (see RunSummaryText).
  void runCompleted(int indexed, int failed);
  // A page of the application data folder's "dialogs/", e.g.
  // "error_writing.htm" (a notice).
  void helpRequested(const std::string& name, ombrelo::HelpMode mode);
  // Codec help for a movie no installed decoder can play: the address on the
  // product web site, or the help page "codecs.htm" when the build names no
  // site.
  void codecHelpRequested(const std::string& moviePath, const std::string& address);
  // Several such movies at once (the desktop's "Decoding problems" dialog).
  void decodingProblemsFound(const std::vector<std::string>& paths);
  // Something to tell the user in a message box (the desktop) or a line
  // (the command line): a page, playlist or index photo that could not be
  // made, or the failures of a run listed in one box at its end.
  void messageRequested(const ombrelo::Message& message);

 public:
  // Asks the engine to open the first waiting movie; the open is made on
  // the capture thread. When it fails, the movie is marked failed and the
  // next one is asked for, until one opens or none waits (then the run's
  // summary follows). See StartResult.
  int StartNextMovie();

  // The commands' states by the engine's state.
  CommandStates GetCommandStates() const;

  // One collected path: codec help for it; several: the decoding problems
  // notice. Then the list is emptied.
  void ShowDecodingProblems();

  // ---- State, for the front ends and tests.
  int32_t CurrentMovieId() const { return currentMovieId_; }
  bool WriteFailed() const { return writeFailed_; }
  const std::vector<std::string>& DecodingProblems() const { return decodingProblems_; }
  // True while an index photo is being rendered.
  bool IndexPhotoPending() const;
  // The index photo generator of the run: the one renderer of the program,
  // shared with the review window's regeneration.
  IndexPhotoGenerator& IndexPhotos() { return *renderer_; }
  // The page generation of the run, shared with the regeneration.
  PageGeneration& Pages() { return pages_; }
  // True from Start until runFinished was emitted.
  bool RunActive() const { return runActive_; }

 private:
  class Receiver;
  class PhotoHost;
  friend class Receiver;
  friend class PhotoHost;

  // Waiting for its capture: queued, or opened and not yet begun.
  static bool IsWaiting(const Movie& movie);
  void FillQueue() const;
  const Movie* NextQueued() const;
  void OpenMovie(const Movie& movie);
  // The engine's answer to the open of the movie.
  void OnOpened(int32_t movieId, const OpenOutcome& outcome);
  void OnOpenFailed(const Movie& movie, const OpenOutcome& outcome);
  bool AnyWaiting() const;
  void Handle(WorkflowEvent& event);
  void OnPreview(int32_t movieId);
  void OnProgress(int32_t movieId);
  void OnFrameWritten(const FrameWriter::Result& result);
  void OnCaptureEnded(const CaptureEnd& end);
  void MakeOutputs();
  // The outputs' names as claimed on the writer's thread (empty: not made),
  // the photo's parts, and how writing the playlist went.
  struct OutputNames {
    std::string photo, playlist, html;
    std::vector<std::string> parts;
    bool playlistWritten = false;
    int playlistError = 0;
  };
  // Back on the owner's thread: records the names and the playlist, then
  // makes the web page and the index photo.
  void OutputsNamed(int32_t movieId, const OutputNames& names);
  // What became of a page: made or not (and why), and the first companion
  // file that could not be copied ("'<path>' - <reason>"; "" when none).
  struct PageOutcome {
    bool made = false;
    PageFailure failure;
    std::string copyFailure;
  };
  // Makes the page of the movie on the writer's thread; then, on the
  // owner's, puts up a notice of a failure and calls then with the outcome.
  // The page is made from data when it is given, else from the movie's
  // template data.
  void MakePage(int32_t movieId, const std::string& path, const std::string& stylesheet,
                std::function<void(const PageOutcome&)> then,
                std::optional<std::string> data = std::nullopt);
  // Marks the movie failed with the text (after any error it has, "; "
  // between them).
  void FailMovie(int32_t movieId, const std::string& text);
  void MakeIndexPhoto(int32_t movieId, const OutputSettings& output, const std::string& photoPath);
  // An index photo in parts: the thumbnails of each part, the parts'
  // outputs, the pages made so far, and how the photo is drawn.
  struct PhotoParts {
    std::vector<std::pair<size_t, size_t>> ranges;
    std::vector<std::string> outputs;
    std::vector<std::string> pages;
    float scale = 1.0f;
    int width = 0;
    int height = 0;
    int quality = 0;
  };
  // Makes the page of the next part; the last one hands them all to the
  // renderer.
  void MakeIndexPhotoPart(int32_t movieId, const std::string& stylesheet,
                          std::shared_ptr<PhotoParts> job);
  // photoComing: the movie's index photo is still being made.
  void FinishOutputs(int32_t movieId, bool photoComing);
  // The earlier run's thumbnails go once the movie's new outputs are all in
  // place; a movie that failed keeps them for its earlier outputs.
  void RemoveStaleThumbnails(int32_t movieId);
  // While the pages are made or the index photo is drawn.
  bool OutputsPending() const;
  // Posts the owner's part of the writer's work to the owner's thread.
  void PostToOwner(int32_t movieId, std::function<void()> call);
  void OnIndexPhotoFinished(int32_t movieId, bool written);
  void ScheduleIdle();
  // The idle step: refreshes the command states and, once a movie has been
  // finished and its index photo is done, starts the next waiting movie;
  // then shows the notices. Posted by the controller itself whenever
  // something has happened.
  void OnIdle();
  void CheckRunFinished();
  // The end of a run's queue: tells the front ends how many of the run's movies
  // were indexed and how many failed.
  void ShowRunSummary();
  // A notice for the user (a help page, a dialog, a message box) is shown
  // from the idle step, outside the controller's other work, so that the
  // run goes on while it is open.
  void Notice(std::function<void()> show);
  // A notice that is a message (messageRequested).
  void MessageNotice(const Message& message);
  // A failure to tell the user of once the run has ended: a single one is
  // shown by show, several together as one box that lists their texts.
  void FailureNotice(std::string text, std::function<void()> show);
  void ShowNotices();
  void NoticeDecodingProblems();
  void SetStatus(const std::string& text);
  // The commands as they are now, to the front ends.
  void PublishCommands();

  CProject& project_;
  CaptureEngine& engine_;
  PageGeneration& pages_;
  const WorkflowPreferences preferences_;
  ClientSize photoBounds_;

  std::unique_ptr<Receiver> receiver_;  // the QObject events are posted to
  // How the workers' reports reach the receiver: without a lock the owner's
  // thread shares with them.
  std::unique_ptr<ThreadCalls> fromWorkers_;
  std::unique_ptr<CaptureEventSink> eventSink_;
  std::unique_ptr<PhotoHost> photoHost_;
  std::unique_ptr<IndexPhotoGenerator> renderer_;
  std::unique_ptr<FrameWriter> writer_;

  // The ids of the run's waiting movies in list order, filled from the
  // project when a run begins and when it has run dry; ids that no longer
  // wait are dropped from the front as they are met (not a visible change,
  // hence mutable).
  mutable std::deque<int32_t> queue_;
  int32_t currentMovieId_ = -1;  // the movie the outputs are made for
  int32_t liveMovieId_ = -1;     // the movie whose capture is open, else -1
  int32_t openingMovieId_ = -1;  // the movie the engine opens, until its answer
  // The opens under way were asked for by Start: the decoding problems they
  // find are shown once one has opened or none is left.
  bool opensFromStart_ = false;
  FileState opened_;  // its file on the disk just before it was opened
  bool continueWithNext_ = false;
  // While the outputs are made, a photo finished at once waits here for the
  // movie's own finish to be reported.
  struct HeldPhotoReport {
    int32_t movieId;
    bool written;
  };
  bool outputsPending_ = false;  // the movie's pages are with the writer
  int removalsPending_ = 0;      // earlier thumbnails being removed by the writer
  bool photoReportHeld_ = false;
  std::optional<HeldPhotoReport> heldPhotoReport_;
  bool writeFailed_ = false;
  std::string writeFailure_;  // the movie's error of the failed write
  std::vector<std::string> decodingProblems_;
  // The movies the run has opened or failed to open, for its summary.
  std::vector<int32_t> runMovies_;
  // The counts last sent by countsChanged for the movie being captured.
  int runVideos_ = 0;
  int thumbnailsWritten_ = 0;
  int thumbnailsPromised_ = 0;
  std::deque<std::function<void()>> notices_;  // waiting to be shown
  // Failures of the run, held until it has ended: the text that names one
  // in a list, and how it is shown alone.
  std::vector<std::pair<std::string, std::function<void()>>> failureNotices_;
  bool noticeOpen_ = false;

  bool runActive_ = false;
  bool endRunRequested_ = false;  // EndRun: no further movie in this run
  bool idlePosted_ = false;
};

}  // namespace ombrelo
