// ombrelo-index: the headless indexer. It runs the same workflow controller
// as the desktop program, on an event loop of its own, over the videos and
// folders named on its command line.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/indexer/batch_run.h"
#include "app/indexer/indexer_options.h"
#include "app/indexer/terminal_port.h"
#include "app/page_generation.h"
#include "app/video_files.h"
#include "app/workflow_controller.h"
#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo::indexer {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// ---- Ctrl+C: the handler only writes a byte into a pipe; the event loop
// reads it and stops the run there.

int g_interruptPipe[2] = {-1, -1};
volatile sig_atomic_t g_interrupts = 0;

void OnInterrupt(int signal) {
  g_interrupts = g_interrupts + 1;
  if (g_interrupts > 1) {
    // A second Ctrl+C ends the program at once.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  const char byte = 1;
  const ssize_t written = ::write(g_interruptPipe[1], &byte, 1);
  (void)written;
}

bool InstallInterruptHandler() {
  if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Qt's own diagnostics are debug lines like the program's, not terminal
// output.
void QtMessageToDebugOutput(QtMsgType, const QMessageLogContext&, const QString& text) {
  DebugOutput(text.toStdString() + "\n");
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// A folder of this run's own below the system temporary folder, so that
// runs side by side never share (or clear) each other's temporary pages.
std::string MakePrivateTemporaryFolder() {
  std::string pattern = paths::SystemTempFolder() + "ombrelo-index-XXXXXX";
  if (!::mkdtemp(pattern.data())) return "";
  ::setenv("TMPDIR", pattern.c_str(), 1);
  return pattern;
}

void ApplyOptions(const Options& options, CProject& project) {
  if (!options.outFolder.empty()) {
    const std::string out = paths::WithTrailingSeparator(Absolute(options.outFolder));
    project.SetThumbsFolder(out + "Thumbs");
    project.SetHtmlFolder(out + "Html");
    project.SetIplFolder(out + "Ipl");
    project.SetIndexphotoFolder(out + "Index");
    project.SetThumbsEnabled(true);
    project.SetThumbsUseFolder(true);
    project.SetHtmlUseFolder(true);
    project.SetIplUseFolder(true);
    project.SetIndexphotoUseFolder(true);
  }
  CaptureSettings capture = project.Capture();
  if (options.startAfter) {
    capture.samplestart = CaptureSettings::afterDelay;
    capture.delaybeforefirst = *options.startAfter;
  }
  if (options.every) {
    capture.sampleperiod = CaptureSettings::everyDelay;
    capture.delaybetweensamples = *options.every;
  }
  if (options.least) capture.leastnofframes = *options.least;
  if (options.quality) capture.jpegquality = *options.quality;
  if (options.imageFormat) capture.imageformat = *options.imageFormat;
  project.SetCapture(capture);
  if (options.noHtml) project.SetHtmlEnabled(false);
  if (options.noPlaylist) project.SetIplEnabled(false);
  if (options.noIndexPhoto) project.SetIndexphotoEnabled(false);
}

const char* StatusWord(int32_t status) {
  switch (status) {
    case kMovieWaiting:
      return "waiting";
    case kMovieOpened:
      return "stopped";
    case kMovieDone:
      return "done";
    case kMovieFailed:
      return "failed";
  }
  return "unknown";
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// One line per movie: path, status, image count, outputs (and the error).
void PrintSummary(const CProject& project, std::FILE* out) {
  for (const Movie& movie : project.Movies()) {
    std::string line = movie.path() + ": " + StatusWord(movie.status) + ", " +
                       std::to_string(movie.images.size()) +
                       (movie.images.size() == 1 ? " image" : " images");
    if (!movie.images.empty()) line += ", thumbnails " + paths::FolderOf(movie.images.front().path);
    if (!movie.ipl.empty()) line += ", playlist " + movie.ipl;
    if (!movie.html.empty()) line += ", web page " + movie.html;
    if (!movie.indexphoto.empty()) line += ", index photo " + movie.indexphoto;
    if (!movie.error.empty()) line += ", error: " + OneLine(movie.error);
    std::fprintf(out, "%s\n", TerminalSafe(line).c_str());
  }
  std::fflush(out);
}

// Fills the project from the project file, the settings file, the options
// and the videos and folders named. kExitDone, or the exit code of a
// failure that has been reported.
int PrepareProject(const Options& options, CProject& project) {
  if (!options.projectFile.empty() && !project.Load(options.projectFile)) {
    std::fprintf(stderr, "ombrelo-index: cannot read the project file '%s'\n",
                 TerminalSafe(options.projectFile).c_str());
    return kExitUsage;
  }
  if (!options.settingsFile.empty()) {
    CProject settings("");
    if (!settings.Load(options.settingsFile)) {
      std::fprintf(stderr, "ombrelo-index: cannot read the settings of '%s'\n",
                   TerminalSafe(options.settingsFile).c_str());
      return kExitUsage;
    }
    project.CopySettingsFrom(settings);
  }
  ApplyOptions(options, project);

  for (const std::string& path : options.paths) {
    const std::string absolute = Absolute(path);
    std::error_code ec;
    if (std::filesystem::is_directory(absolute, ec)) {
      if (AddVideosInFolder(project, absolute) == 0) {
        std::fprintf(stderr, "ombrelo-index: no videos in '%s'\n", TerminalSafe(path).c_str());
      }
    } else {
      // A file is taken whatever its name; one that cannot be opened is
      // reported by the run like any other failure.
      project.AddMovie(absolute);
    }
  }
  if (project.Movies().empty()) {
    std::fprintf(stderr, "ombrelo-index: no videos to index\nTry 'ombrelo-index --help'.\n");
    return kExitUsage;
  }
  return kExitDone;
}

// Ctrl+C (or a termination request) ends the run through the controller;
// before the run has begun it ends the event loop at once.
class InterruptWatch {
 public:
  InterruptWatch(TerminalPort& port, WorkflowController& controller) {
    if (!InstallInterruptHandler()) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, &port, &controller] {
      char byte;
      while (::read(g_interruptPipe[0], &byte, 1) > 0) {
      }
      if (interrupted_) return;
      interrupted_ = true;
      port.Note("Interrupted: stopping the capture");
      controller.EndRun();
      if (!controller.RunActive()) QCoreApplication::quit();
    });
  }
  bool Interrupted() const { return interrupted_; }

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  bool interrupted_ = false;
};

// Runs the controller over the project's waiting movies on an event loop.
void RunController(TerminalPort& port, CProject& project, CaptureEngine& engine,
                   PageGeneration& pages) {
  WorkflowController controller(port, project, engine, pages);
  port.OnRunFinished([] { QCoreApplication::quit(); });
  InterruptWatch interrupts(port, controller);
  QTimer::singleShot(0, [&] {
    if (interrupts.Interrupted()) {
      QCoreApplication::quit();
      return;
    }
    controller.Start();
  });
  QCoreApplication::exec();
  port.EndProgressLine();
}

// Runs the indexing, in this process or in workers; then saves the project
// when asked and prints the summary. The exit code: kExitDone when every
// movie is done.
int IndexProject(const Options& options, CProject& project, CaptureEngine& engine,
                 PageGeneration& pages, const std::string& workFolder) {
  const bool interactive = ::isatty(STDOUT_FILENO) != 0;
  const int jobs =
      options.jobs.value_or(std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
  std::error_code ec;
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (jobs > 1 && WaitingMovies(project) > 1 && !workFolder.empty() && !ec) {
    BatchSettings batch;
    batch.jobs = jobs;
    // The workers share the cores: decoding and conversion threads beyond a
    // worker's share only make the workers wait for each other.
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    batch.threadsPerWorker = std::max(1, cores / std::min(jobs, WaitingMovies(project)));
    batch.program = program;
    batch.workFolder = paths::WithTrailingSeparator(workFolder);
    batch.interactive = interactive;
    if (InstallInterruptHandler()) batch.interruptFd = g_interruptPipe[0];
    if (options.workerTimeout) {
      batch.silenceLimit =
          std::chrono::milliseconds(static_cast<int64_t>(*options.workerTimeout * 1000.0));
    }
    RunBatch(batch, project, stdout, stderr);
  } else {
    TerminalPort port(stdout, stderr, interactive);
    RunController(port, project, engine, pages);
  }

  int exitCode = kExitDone;
  if (!options.saveFile.empty() && !project.Save(options.saveFile)) {
    std::fprintf(stderr, "ombrelo-index: cannot write the project file '%s'\n",
                 TerminalSafe(options.saveFile).c_str());
    exitCode = kExitFailed;
  }
  PrintSummary(project, stdout);
  for (const Movie& movie : project.Movies()) {
    if (movie.status != kMovieDone) exitCode = kExitFailed;
  }
  return exitCode;
}

// ---- A worker of a batch.

// The terminal port of a worker: on progress a carriage return, so that the
// batch hears the worker is alive (and gets its progress line). A few times
// a second is enough for that; one a frame would only keep both processes
// busy with each other.
class WorkerPort : public TerminalPort {
 public:
  using TerminalPort::TerminalPort;
  void ShowProgress(int32_t movieId, int perMille) override {
    TerminalPort::ShowProgress(movieId, perMille);
    Tick();
  }
  void ShowFrame(const FrameCopy& frame) override {
    TerminalPort::ShowFrame(frame);
    Tick();
  }
  // The batch sums up the run of all its workers.
  void RunCompleted(int, int) override {}

 private:
  void Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ < kTickInterval) return;
    lastTick_ = now;
    std::fputc('\r', stdout);
    std::fflush(stdout);
  }
  static constexpr std::chrono::milliseconds kTickInterval{100};
  std::chrono::steady_clock::time_point lastTick_{};
};

// Keeps only the worker's movie of the batch's project. A test may ask a
// worker to end by a signal as it starts its movie: the environment variable
// OMBRELO_TEST_WORKER_SIGNAL holds "<signal number>:<movie file name>".
int PrepareWorker(const Options& options, CProject& project) {
  // The worker ends with the batch, however the batch ends.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (!project.Load(options.workerProject) || !options.workerMovie ||
      *options.workerMovie >= static_cast<int>(project.Movies().size())) {
    std::fprintf(stderr, "ombrelo-index: cannot read the batch's project\n");
    return kExitUsage;
  }
  const Movie& mine = *std::next(project.Movies().begin(), *options.workerMovie);
  const std::string path = mine.path();
  const std::string title = mine.Title();
  std::vector<std::string> others;
  for (const Movie& movie : project.Movies()) {
    if (movie.path() != path) others.push_back(movie.path());
  }
  for (const std::string& other : others) project.RemoveMovie(other);

  if (const char* fault = std::getenv("OMBRELO_TEST_WORKER_SIGNAL")) {
    const std::string text = fault;
    const size_t colon = text.find(':');
    if (colon != std::string::npos && text.substr(colon + 1) == title) {
      // The signal's own action, not a handler's (a sanitizer's, say), so the
      // worker dies of it as a crashing one does.
      const int signal = std::atoi(text.substr(0, colon).c_str());
      if (signal != SIGSTOP) ::signal(signal, SIG_DFL);
      ::raise(signal);
    }
  }
  return kExitDone;
}

// Indexes the worker's movie and saves the project with it as the result.
int IndexAsWorker(const Options& options, CProject& project, CaptureEngine& engine,
                  PageGeneration& pages) {
  {
    WorkerPort port(stdout, stderr, options.workerInteractive);
    RunController(port, project, engine, pages);
  }
  if (!project.Save(options.workerResult)) return kExitFailed;
  return project.Movies().front().status == kMovieDone ? kExitDone : kExitFailed;
}

// The capture engine, its pipelines using as many threads as a worker of a
// batch was given (all it wants otherwise).
CaptureEnvironment EngineEnvironment(const Options& options) {
  CaptureEnvironment env;
  if (options.workerThreads) {
    FfmpegPipelineOptions pipeline;
    pipeline.threadCount = *options.workerThreads;
    pipeline.convertThreads = *options.workerThreads;
    env.pipelineFactory = FfmpegPipelineFactory(pipeline);
  }
  return env;
}

int Run(int argc, char** argv, CProject& project, PageGeneration& pages) {
  Options options;
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!ParseOptions(args, &options, &error)) {
    std::fprintf(stderr, "ombrelo-index: %s\nTry 'ombrelo-index --help'.\n",
                 TerminalSafe(error).c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitDone;
  }
  const bool worker = !options.workerProject.empty();
  CaptureEngine engine(EngineEnvironment(options));
  if (const int prepared =
          worker ? PrepareWorker(options, project) : PrepareProject(options, project);
      prepared != kExitDone) {
    return prepared;
  }

  const std::string privateTemp = MakePrivateTemporaryFolder();
  if (!privateTemp.empty())
    project.SetRunTemporaryFolder(paths::WithTrailingSeparator(privateTemp));
  // The index photo draws pages without a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QtMessageToDebugOutput);
  QGuiApplication app(argc, argv);
  const int exitCode = worker ? IndexAsWorker(options, project, engine, pages)
                              : IndexProject(options, project, engine, pages, privateTemp);

  project.ClearTemporaryFolder();
  if (!privateTemp.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(privateTemp, ec);
  }
  return exitCode;
}

}  // namespace
}  // namespace ombrelo::indexer

int main(int argc, char** argv) {
  // The process's one project and page service, handed down from here (the
  // engine is made once the command line is read).
  ombrelo::CProject project;
  ombrelo::XsltPageGeneration pages;
  return ombrelo::indexer::Run(argc, argv, project, pages);
}
