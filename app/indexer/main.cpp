// ombrelo-index: the headless indexer. It runs the same workflow controller
// as the desktop program, on an event loop of its own, over the videos and
// folders named on its command line.
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/common/translations.h"
#include "app/indexer/batch_run.h"
#include "app/indexer/batch_worker.h"
#include "app/indexer/indexer_options.h"
#include "app/indexer/movie_report.h"
#include "app/indexer/shards.h"
#include "app/indexer/template_choice.h"
#include "app/indexer/terminal_port.h"
#include "app/indexer/thumbnail_mode.h"
#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "platform/build_stamp.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"
#include "workflow/page_generation.h"
#include "workflow/video_files.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::indexer {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// ---- Ctrl+C: the handler only writes a byte into a pipe; the event loop
// reads it and stops the run there. Ctrl+C pressed again ends the program
// at once; but one press can arrive twice (a program such as `timeout`
// signals both the indexer and its process group), so interrupts within a
// second of the first count as one.

int g_interruptPipe[2] = {-1, -1};
volatile sig_atomic_t g_interrupted = 0;
// When the first interrupt came, in milliseconds of the monotonic clock.
// Only the handler touches it, and the handler never interrupts itself.
int64_t g_firstInterruptMs = 0;
constexpr int64_t kSameInterruptMs = 1000;

void OnInterrupt(int signal) {
  const int saved = errno;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  const int64_t nowMs = int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
  if (!g_interrupted) {
    g_interrupted = 1;
    g_firstInterruptMs = nowMs;
  } else if (nowMs - g_firstInterruptMs >= kSameInterruptMs) {
    // Asked again: the program ends at once.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = saved;
    return;
  }
  const char byte = 1;
  const ssize_t written = ::write(g_interruptPipe[1], &byte, 1);
  (void)written;
  errno = saved;
}

bool InstallInterruptHandler() {
  if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // Either signal waits while the handler runs for the other.
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Qt's own diagnostics are debug lines like the program's, not terminal
// output.
void QtMessageToDebugOutput(QtMsgType, const QMessageLogContext&, const QString& text) {
  DebugOutput(text.toStdString() + "\n");
}

// An error on standard error, after the program's name.
void PrintError(const std::string& text) {
  std::fprintf(stderr, "ombrelo-index: %s\n", text.c_str());
}

// A usage error, and where to read how the program is used.
void PrintUsageError(const std::string& text) {
  PrintError(text);
  std::fprintf(stderr, "%s\n", Translate("Indexer", "Try 'ombrelo-index --help'.").c_str());
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
  if (options.noDeinterlace) capture.deinterlace = false;
  project.SetCapture(capture);
  if (options.noHtml) project.SetHtmlEnabled(false);
  if (options.noPlaylist) project.SetIplEnabled(false);
  if (options.noIndexPhoto) project.SetIndexphotoEnabled(false);
}

// The templates named on the command line, in place of the project's.
bool ChooseTemplates(const Options& options, CProject& project) {
  std::string name;
  std::string error;
  if (!options.htmlTemplate.empty()) {
    if (!FindTemplate(true, options.htmlTemplate, &name, &error)) {
      PrintError(TerminalSafe(error));
      return false;
    }
    project.SetHtmlTransform(name);
  }
  if (!options.indexTemplate.empty()) {
    if (!FindTemplate(false, options.indexTemplate, &name, &error)) {
      PrintError(TerminalSafe(error));
      return false;
    }
    project.SetIndexphotoTransform(name);
  }
  return true;
}

// Adds the videos and folders named. Returns the key that decides each
// added video's part of a shared collection: its path relative to the folder
// named that it was found in, or the name of a file named by itself; the
// same on every machine wherever the collection is mounted.
std::unordered_map<std::string, std::string> AddInputs(const Options& options, CProject& project) {
  std::unordered_map<std::string, std::string> keys;
  for (const std::string& path : options.paths) {
    const std::string absolute = Absolute(path);
    std::error_code ec;
    if (std::filesystem::is_directory(absolute, ec)) {
      const int added = AddVideosInFolder(project, absolute);
      if (added == 0) {
        PrintError(FillIn(Translate("Indexer", "no videos in '%1'"), {TerminalSafe(path)}));
      }
      // The folder's videos are the last ones of the list.
      const std::string folder = paths::WithTrailingSeparator(absolute);
      auto movie = project.Movies().end();
      for (int i = 0; i < added; ++i) {
        --movie;
        const std::string& video = movie->path();
        keys[video] = video.rfind(folder, 0) == 0 ? video.substr(folder.size()) : video;
      }
    } else {
      // A file is taken whatever its name; one that cannot be opened is
      // reported by the run like any other failure.
      project.AddMovie(absolute);
      keys[absolute] = paths::FileName(absolute);
    }
  }
  return keys;
}

// Keeps only the movies of one part. A movie of a project file that was not
// named again is keyed by its full path.
void KeepShard(const Shard& shard, const std::unordered_map<std::string, std::string>& keys,
               CProject& project) {
  std::vector<std::string> others;
  for (const Movie& movie : project.Movies()) {
    const auto key = keys.find(movie.path());
    if (ShardOfKey(key == keys.end() ? movie.path() : key->second, shard.count) != shard.index)
      others.push_back(movie.path());
  }
  for (const std::string& other : others) project.RemoveMovie(other);
  if (project.Movies().empty()) {
    PrintError(FillIn(Translate("Indexer", "no videos in part %1/%2"),
                      {std::to_string(shard.index), std::to_string(shard.count)}));
  }
}

// Fills the project from the project file, the settings file, the options
// and the videos and folders named. kExitDone, or the exit code of a
// failure that has been reported.
int PrepareProject(const Options& options, CProject& project) {
  if (!options.projectFile.empty() && !project.Load(options.projectFile)) {
    PrintError(FillIn(Translate("Indexer", "cannot read the project file '%1'"),
                      {TerminalSafe(options.projectFile)}));
    return kExitUsage;
  }
  if (!options.settingsFile.empty()) {
    CProject settings("");
    if (!settings.Load(options.settingsFile)) {
      PrintError(FillIn(Translate("Indexer", "cannot read the settings of '%1'"),
                        {TerminalSafe(options.settingsFile)}));
      return kExitUsage;
    }
    project.CopySettingsFrom(settings);
  }
  ApplyOptions(options, project);
  if (!ChooseTemplates(options, project)) return kExitUsage;

  const std::unordered_map<std::string, std::string> shardKeys = AddInputs(options, project);
  if (project.Movies().empty()) {
    PrintUsageError(Translate("Indexer", "no videos to index"));
    return kExitUsage;
  }
  if (options.shard) KeepShard(*options.shard, shardKeys, project);
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
      port.Note(Translate("Indexer", "Interrupted: stopping the capture"));
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
  WorkflowController controller(project, engine, pages);
  port.Follow(controller);
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

// Where progress and the summary go: standard output, standard error when
// standard output carries JSON, nowhere with --quiet.
std::FILE* ProgressStream(const Options& options) {
  if (options.quiet) {
    static std::FILE* const nowhere = std::fopen("/dev/null", "we");
    if (nowhere) return nowhere;
  }
  return options.json ? stderr : stdout;
}

// What the run tells at its end about every movie.
void PrintResults(const Options& options, const CProject& project) {
  if (options.json) {
    PrintJson(project, stdout);
  } else if (!options.quiet) {
    PrintSummary(project, stdout);
  }
}

// Runs the indexing, in this process or in workers; then saves the project
// when asked and prints the summary. The exit code: kExitDone when every
// movie is done.
int IndexProject(const Options& options, CProject& project, CaptureEngine& engine,
                 PageGeneration& pages, const std::string& workFolder) {
  std::FILE* const progress = ProgressStream(options);
  const bool interactive = ::isatty(::fileno(progress)) != 0;
  const int jobs =
      options.jobs.value_or(std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
  std::error_code ec;
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (project.Movies().empty()) {
    // A part of a shared collection that got no videos: nothing to run.
  } else if (jobs > 1 && WaitingMovies(project) > 1 && !workFolder.empty() && !ec) {
    BatchSettings batch;
    batch.jobs = jobs;
    // The workers share the cores: decoding and conversion threads beyond a
    // worker's share only make the workers wait for each other.
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    batch.threadsPerWorker = std::max(1, cores / std::min(jobs, WaitingMovies(project)));
    batch.program = program;
    batch.skipBlank = options.skipBlank;
    batch.allowMany = options.allowMany;
    batch.workFolder = paths::WithTrailingSeparator(workFolder);
    batch.interactive = interactive;
    if (InstallInterruptHandler()) batch.interruptFd = g_interruptPipe[0];
    if (options.workerTimeout) {
      batch.silenceLimit =
          std::chrono::milliseconds(static_cast<int64_t>(*options.workerTimeout * 1000.0));
    }
    RunBatch(batch, project, progress, stderr);
  } else {
    TerminalPort port(progress, stderr, interactive);
    RunController(port, project, engine, pages);
  }

  int exitCode = kExitDone;
  if (!options.saveFile.empty() && !project.Save(options.saveFile)) {
    PrintError(FillIn(Translate("Indexer", "cannot write the project file '%1'"),
                      {TerminalSafe(options.saveFile)}));
    exitCode = kExitFailed;
  }
  PrintResults(options, project);
  for (const Movie& movie : project.Movies()) {
    if (movie.status != kMovieDone) exitCode = kExitFailed;
  }
  return exitCode;
}

// --merge: joins the parts' projects into a new project file.
int Merge(const Options& options, CProject& project) {
  if (options.paths.empty() || !options.projectFile.empty() || !options.settingsFile.empty() ||
      !options.saveFile.empty() || options.shard) {
    PrintUsageError(Translate("Indexer",
                              "--merge OUT takes the project files of the parts and no "
                              "--project, --settings, --save or --shard"));
    return kExitUsage;
  }
  switch (MergeProjects(options.paths, options.mergeInto, project, stderr)) {
    case MergeResult::kMerged:
      break;
    case MergeResult::kCannotRead:
    case MergeResult::kOutExists:
      return kExitUsage;
    case MergeResult::kCannotWrite:
      return kExitFailed;
  }
  PrintResults(options, project);
  const bool allDone = std::all_of(project.Movies().begin(), project.Movies().end(),
                                   [](const Movie& movie) { return movie.status == kMovieDone; });
  return allDone ? kExitDone : kExitFailed;
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
  // The index photo draws pages without a display. The application comes
  // first, so that everything the indexer says, its usage errors included,
  // is in the user's language.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QtMessageToDebugOutput);
  QGuiApplication app(argc, argv);
  LoadTranslations(app);
  if (!ParseOptions(args, &options, &error)) {
    PrintUsageError(TerminalSafe(error));
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitDone;
  }
  if (options.version) {
    std::fputs(VersionText("ombrelo-index").c_str(), stdout);
    return kExitDone;
  }
  if (options.listTemplates) {
    std::fputs(TemplateListText().c_str(), stdout);
    return kExitDone;
  }
  if (!options.mergeInto.empty()) return Merge(options, project);
  const bool worker = !options.workerProject.empty();
  // No window to keep responsive: the capture runs at the process's priority.
  WorkerNice() = 0;
  CaptureEngine engine(EngineEnvironment(options));
  engine.SetSkipBlank(options.skipBlank);
  // More thumbnails of one video than anyone looks through only when asked for.
  if (!options.allowMany)
    engine.SetThumbnailLimit(
        kManyThumbnails, Translate("Indexer", "--allow-many-thumbnails takes them all the same"));
  if (const int prepared = worker ? kExitDone : PrepareProject(options, project);
      prepared != kExitDone) {
    return prepared;
  }

  const std::string privateTemp = MakePrivateTemporaryFolder();
  if (!privateTemp.empty())
    project.SetRunTemporaryFolder(paths::WithTrailingSeparator(privateTemp));
  const int exitCode =
      worker ? ServeBatch(options.workerProject, options.workerInteractive, project, engine, pages)
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
  // The file managers' thumbnailer needs nothing of the indexer.
  if (ombrelo::indexer::IsThumbnailCommand(argc, argv))
    return ombrelo::indexer::RunThumbnailCommand(argc, argv);
  // The process's one project and page service, handed down from here (the
  // engine is made once the command line is read).
  ombrelo::CProject project;
  ombrelo::XsltPageGeneration pages;
  return ombrelo::indexer::Run(argc, argv, project, pages);
}
