// ombrelo-workflow-bench latency: how long the owner's event loop keeps a
// posted event waiting (a thread posts a stamped event every 5 ms) during an
// indexing run as the desktop program makes it: inside a project of 1,000
// indexed movies with 100 thumbnails each, whose crash snapshot is kept, a
// 1080p movie is indexed with every frame taken, and after it a small video
// whose every open waits 2 s for its first bytes, as a file on a slow network
// share does (a FUSE folder of ombrelo-slowfs; where FUSE cannot be mounted
// the run says so and goes on without it). The owner's thread waits in its
// event loop as the desktop program's does.
//
// Each wait is counted in the phase of the run it mostly fell in: taking the
// first crash snapshot, opening a movie, its capture, or making its outputs
// (playlist, page, index photo). The figures per phase, the longest wait of
// each phase of each movie, and the longest wait and 99th percentile of the
// whole run are printed, with the load average at the start and the end.
// Goal: no wait longer than 16 ms anywhere in the run. Before the run, the
// event loop alone is measured for 10 s on the machine as it is, the floor
// under these figures; the events that took longest on the owner's thread
// are named, with their stacks, by wall time and by time on a core; and for
// the longest waits the kernel's account of the thread tells whether it was
// on a core, waiting for one or blocked meanwhile, and what it handled.
//
// --busy N runs N processes beside it that spin at normal priority (another
// program decoding video on the same cores).
#include "bench/latency_bench.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/event_timer.h"
#include "bench/owner_watch.h"
#include "bench/quiet_port.h"
#include "crash/crash_snapshot.h"
#include "engine/capture_engine.h"
#include "platform/data_folder.h"
#include "platform/sync.h"
#include "project/movie.h"
#include "project/project.h"
#include "tools/slowfs/slow_folder.h"
#include "tools/testvideo/test_video.h"
#include "workflow/page_generation.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::bench {
namespace {

using Ms = std::chrono::duration<double, std::milli>;

// The project around the movies indexed: movies indexed before, with their
// thumbnails, which the crash snapshot must carry.
constexpr int kIndexedMovies = 1000;
constexpr int kThumbnailsEach = 100;
// How long each open of the slow video waits for its first bytes.
constexpr std::chrono::milliseconds kSlowOpen{2000};
constexpr double kGoalMs = 16;

// Processes that spin at normal priority until the object goes (or the
// benchmark ends in any way).
class BusyLoops {
 public:
  explicit BusyLoops(int count) {
    const pid_t parent = getpid();
    for (int i = 0; i < count; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        volatile uint64_t spin = 0;
        for (;;) {
          const uint64_t next = spin + 1;
          spin = next;
        }
      }
      if (child > 0) children_.push_back(child);
    }
  }
  ~BusyLoops() {
    for (const pid_t child : children_) kill(child, SIGKILL);
    for (const pid_t child : children_) waitpid(child, nullptr, 0);
  }
  BusyLoops(const BusyLoops&) = delete;
  BusyLoops& operator=(const BusyLoops&) = delete;
  size_t Count() const { return children_.size(); }

 private:
  std::vector<pid_t> children_;
};

void PrintLoad(const char* when) {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) == 3)
    std::printf("load average %s: %.2f %.2f %.2f (1, 5, 15 min)\n", when, load[0], load[1],
                load[2]);
}

enum class Phase { snapshot, open, capture, outputs };
constexpr int kPhases = 4;
const char* PhaseName(Phase phase) {
  static const char* const names[kPhases] = {"snapshot", "open", "capture", "outputs"};
  return names[static_cast<int>(phase)];
}

// The phases of the run as the owner's thread went through them, each with
// the movie it was for.
class RunTimeline {
 public:
  struct Span {
    Clock::time_point from;
    Phase phase;
    std::string movie;
  };

  // An empty movie keeps the movie of the phase before, except for an open,
  // whose movie is known only once it has been opened (NameOpen).
  void Enter(Phase phase, std::string movie = "") {
    if (!spans_.empty() && spans_.back().phase == phase) return;
    if (movie.empty() && phase != Phase::open && !spans_.empty()) movie = spans_.back().movie;
    spans_.push_back(Span{Clock::now(), phase, std::move(movie)});
  }
  void NameOpen(const std::string& movie) {
    if (!spans_.empty() && spans_.back().phase == Phase::open && spans_.back().movie.empty())
      spans_.back().movie = movie;
  }
  const std::vector<Span>& Spans() const { return spans_; }
  Clock::time_point Start() const { return spans_.front().from; }

  // The span the interval mostly fell in.
  size_t SpanOf(Clock::time_point from, Clock::time_point to) const {
    size_t best = 0;
    Clock::duration bestOverlap{-1};
    for (size_t i = 0; i < spans_.size(); ++i) {
      const Clock::time_point begin = i == 0 ? Clock::time_point::min() : spans_[i].from;
      const Clock::time_point end =
          i + 1 < spans_.size() ? spans_[i + 1].from : Clock::time_point::max();
      const Clock::duration overlap = std::min(to, end) - std::max(from, begin);
      if (overlap > bestOverlap) {
        best = i;
        bestOverlap = overlap;
      }
    }
    return best;
  }

 private:
  std::vector<Span> spans_;
};

// Follows the run on the owner's thread.
void Follow(WorkflowController& controller, RunTimeline& timeline) {
  using W = WorkflowController;
  QObject::connect(&controller, &W::movieStarted, &controller, [&timeline](const Movie& movie) {
    const std::string name = std::filesystem::path(movie.path()).filename().string();
    timeline.NameOpen(name);
    timeline.Enter(Phase::capture, name);
  });
  // The outputs begin with the progress at its end, before their files are
  // named and made.
  QObject::connect(&controller, &W::progress, &controller, [&timeline](int32_t, int perMille) {
    if (perMille >= 1000) timeline.Enter(Phase::outputs);
  });
  QObject::connect(&controller, &W::statusChanged, &controller,
                   [&timeline](const std::string& text) {
                     // "Ready" comes before the next movie is opened.
                     if (text == W::kReady) timeline.Enter(Phase::open);
                     if (text.rfind("Saving", 0) == 0) timeline.Enter(Phase::outputs);
                   });
}

// Receives the stamped events and keeps when each was posted and handled.
class LatencyProbe : public QObject {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 100);
  class Stamped : public QEvent {
   public:
    Stamped() : QEvent(kType), posted(Clock::now()) {}
    Clock::time_point posted;
  };
  struct Wait {
    Clock::time_point posted, handled;
  };

  void customEvent(QEvent* event) override {
    if (event->type() != kType) return;
    waits.push_back(Wait{static_cast<Stamped*>(event)->posted, Clock::now()});
    handled.fetch_add(1);
  }

  std::vector<Wait> waits;
  std::atomic<size_t> handled{0};
  OwnerWatch watch;  // of the thread that made the probe, by the poster
};

// Posts a stamped event to the probe every 5 ms while it exists, and
// watches the probe's thread: every 5 ms, and every millisecond while an
// event has waited longer than 8 ms.
class EventPoster {
 public:
  explicit EventPoster(LatencyProbe& probe)
      : thread_([this, &probe] {
          constexpr auto kEvery = std::chrono::milliseconds(5);
          constexpr auto kLate = std::chrono::milliseconds(8);
          std::vector<Clock::time_point> posted;
          posted.reserve(64 * 1024);
          auto next = Clock::now();
          tid_.store(gettid());
          std::unique_lock<std::mutex> lock(mutex_);
          while (!stop_) {
            const auto now = Clock::now();
            const size_t handled = probe.handled.load();
            const bool late = handled < posted.size() && now - posted[handled] > kLate;
            probe.watch.Sample(late);
            if (now >= next) {
              posting_.store(now.time_since_epoch().count());
              QCoreApplication::postEvent(&probe, new LatencyProbe::Stamped);
              posting_.store(0);
              posted.push_back(now);
              next = now + kEvery;
            }
            wake_.wait_until(lock, late ? std::min(next, now + std::chrono::milliseconds(1)) : next);
          }
        }),
        // Posting is a lock and an allocation: when one takes long, the
        // poster's own stack says which.
        watchdog_([this, &probe] {
          std::unique_lock<std::mutex> lock(watchMutex_);
          Clock::rep asked = 0;
          while (!watchStop_) {
            const Clock::rep since = posting_.load();
            if (since != 0 && since != asked &&
                Clock::now().time_since_epoch().count() - since > 5'000'000) {
              asked = since;
              probe.watch.TakeStack(tid_.load(), "the poster, posting");
            }
            watchWake_.wait_for(lock, std::chrono::milliseconds(1));
          }
        }) {}
  ~EventPoster() { Stop(); }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    {
      std::lock_guard<std::mutex> lock(watchMutex_);
      watchStop_ = true;
    }
    watchWake_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;  // guarded by mutex_
  std::atomic<Clock::rep> posting_{0};  // when the post in hand began; 0: none
  std::atomic<pid_t> tid_{0};
  std::mutex watchMutex_;  // the watchdog's own, free while the poster posts
  std::condition_variable watchWake_;
  bool watchStop_ = false;  // guarded by watchMutex_
  std::thread thread_;
  std::thread watchdog_;
};

// The video, made into the corpus on first use; "" when it cannot be made.
std::string CorpusVideo(testvideo::VideoOptions video) {
  std::error_code ec;
  if (std::filesystem::exists(video.path, ec)) return video.path;
  std::string error;
  if (testvideo::Generate(video, &error)) return video.path;
  std::fprintf(stderr, "cannot make %s: %s\n", video.path.c_str(), error.c_str());
  return "";
}

void AddIndexedMovies(CProject& project, const std::string& folder, int movies, int thumbnails) {
  for (int m = 0; m < movies; ++m) {
    const std::string name = "movie " + std::to_string(m);
    project.UpdateMovie(project.AddMovie(folder + name + ".mp4"), [&](Movie& movie) {
      movie.status = kMovieDone;
      movie.length = thumbnails * 2.0;
      movie.size = 123456;
      for (int i = 0; i < thumbnails; ++i) {
        movie.AddImage(
            ImageEntry{folder + "Thumbs/" + name + "/" + name + "_" + std::to_string(i) + ".jpg",
                       static_cast<uint32_t>(i * 50), i * 2.0});
      }
    });
  }
}

// Every output in a folder of its own below work, every frame taken.
void SetUpProject(CProject& project, const std::string& work) {
  project.SetThumbsFolder(work + "/Thumbs");
  project.SetThumbsUseFolder(true);
  project.SetIplFolder(work + "/Ipl");
  project.SetIplUseFolder(true);
  project.SetHtmlFolder(work + "/Html");
  project.SetHtmlUseFolder(true);
  project.SetIndexphotoFolder(work + "/Index");
  project.SetIndexphotoUseFolder(true);
  project.UpdateCapture([](CaptureSettings& capture) {
    capture.samplestart = CaptureSettings::fromBeginning;
    capture.sampleperiod = CaptureSettings::everyFrame;
  });
  AddIndexedMovies(project, work + "/indexed/", kIndexedMovies, kThumbnailsEach);
}

void PrintWaits(const char* label, std::vector<double> waits) {
  if (waits.empty()) {
    std::printf("  %-8s no events\n", label);
    return;
  }
  std::sort(waits.begin(), waits.end());
  std::printf("  %-8s %6zu events  median %6.2f ms  99%% %8.2f ms  max %8.2f ms\n", label,
              waits.size(), waits[waits.size() / 2], waits[waits.size() * 99 / 100], waits.back());
}

// The floor under the run's figures: how long the event loop alone, with
// nothing of the program running, keeps the stamped events waiting on the
// machine as it is now (the busy loops and whatever else runs). A wait the
// run shows beyond this came from the program.
void PrintBaseline(std::chrono::seconds length) {
  LatencyProbe probe;
  {
    EventPoster poster(probe);
    QEventLoop loop;
    QTimer::singleShot(length, &loop, &QEventLoop::quit);
    loop.exec();
  }
  QCoreApplication::processEvents();
  std::vector<double> waits;
  for (const LatencyProbe::Wait& wait : probe.waits)
    waits.push_back(Ms(wait.handled - wait.posted).count());
  std::printf("the event loop alone for %lld s, before the run:\n",
              static_cast<long long>(length.count()));
  PrintWaits("alone", waits);
}

// The waits by phase, where the longest happened, and the goal.
int Report(const LatencyProbe& probe, const RunTimeline& timeline, const TimedApplication* timed) {
  std::vector<double> byPhase[kPhases];
  std::vector<double> all;
  std::vector<double> longestOfSpan(timeline.Spans().size(), -1);
  for (const LatencyProbe::Wait& wait : probe.waits) {
    const double ms = Ms(wait.handled - wait.posted).count();
    const size_t span = timeline.SpanOf(wait.posted, wait.handled);
    byPhase[static_cast<int>(timeline.Spans()[span].phase)].push_back(ms);
    all.push_back(ms);
    longestOfSpan[span] = std::max(longestOfSpan[span], ms);
  }
  std::printf("waits of the event loop, each counted in the phase it mostly fell in:\n");
  for (int phase = 0; phase < kPhases; ++phase)
    PrintWaits(PhaseName(static_cast<Phase>(phase)), byPhase[phase]);
  PrintWaits("all", all);

  std::vector<size_t> spans;
  for (size_t i = 0; i < longestOfSpan.size(); ++i)
    if (longestOfSpan[i] >= 0) spans.push_back(i);
  std::sort(spans.begin(), spans.end(),
            [&](size_t a, size_t b) { return longestOfSpan[a] > longestOfSpan[b]; });
  spans.resize(std::min<size_t>(spans.size(), 6));
  std::printf("where the longest waits were (the longest of each phase of a movie):\n");
  for (const size_t i : spans) {
    const RunTimeline::Span& span = timeline.Spans()[i];
    std::printf("  %8.1f ms  %-8s %-28s (phase began %6.2f s into the run)\n", longestOfSpan[i],
                PhaseName(span.phase), span.movie.c_str(),
                std::chrono::duration<double>(span.from - timeline.Start()).count());
  }
  std::vector<const LatencyProbe::Wait*> longest;
  for (const LatencyProbe::Wait& wait : probe.waits) longest.push_back(&wait);
  std::sort(longest.begin(), longest.end(), [](const auto* a, const auto* b) {
    return a->handled - a->posted > b->handled - b->posted;
  });
  longest.resize(std::min<size_t>(longest.size(), 5));
  std::printf("the longest waits, and where the owner's thread was meanwhile:\n");
  for (const LatencyProbe::Wait* wait : longest) {
    const OwnerWatch::Split split = probe.watch.Over(wait->posted, wait->handled);
    std::printf("  %8.1f ms at %6.2f s; of the %.1f ms around it, on a core %.1f, waiting for a "
                "core %.1f, asleep or blocked %.1f\n",
                Ms(wait->handled - wait->posted).count(),
                std::chrono::duration<double>(wait->posted - timeline.Start()).count(),
                split.spanMs, split.onCoreMs, split.waitingForCoreMs, split.blockedMs);
    if (!timed) continue;
    // What the thread handled meanwhile, and just before.
    const auto groups =
        timed->DeliveredBetween(wait->posted - std::chrono::milliseconds(20), wait->handled);
    for (size_t g = 0; g < groups.size() && g < 4; ++g)
      std::printf("             %4d x %-50.50s %6.2f ms on a core\n", groups[g].count,
                  groups[g].what.c_str(), groups[g].cpuMs);
  }
  std::printf("what the owner's thread was doing while an event waited over 8 ms (samples):\n");
  const auto whileLate = probe.watch.WhileLate();
  for (size_t i = 0; i < whileLate.size() && i < 8; ++i)
    std::printf("  %6d  %s\n", whileLate[i].second, whileLate[i].first.c_str());
  const auto stacks = probe.watch.LockedStacks();
  for (size_t i = 0; i < stacks.size() && i < 3; ++i)
    std::printf("    in a lock, %d times:\n%s", stacks[i].second, stacks[i].first.c_str());
  std::sort(all.begin(), all.end());
  const double worst = all.empty() ? 0 : all.back();
  const double p99 = all.empty() ? 0 : all[all.size() * 99 / 100];
  const bool met = worst <= kGoalMs;
  std::printf("longest wait %.1f ms, 99th percentile %.2f ms (goal: longest at most %.0f ms) %s\n",
              worst, p99, kGoalMs, met ? "ok" : "MISSED");
  return met ? 0 : 1;
}

// Makes the run in the project and prints its steps; the waits go to the
// probe, the phases to the timeline.
void Run(CProject& project, bool keepSnapshot, LatencyProbe& probe, RunTimeline& timeline) {
  QuietPort port;
  port.timeline = true;
  CaptureEngine engine;
  XsltPageGeneration pages;
  EventPoster poster(probe);
  timeline.Enter(Phase::snapshot);
  std::optional<CrashSnapshotKeeper> keeper;
  if (keepSnapshot) {
    // As the desktop program keeps it: taken at once, written in the
    // background while the run begins.
    keeper.emplace(project);
    std::printf("crash snapshot: first taken in %.1f ms on this thread\n",
                keeper->costs().longestHandoverMs);
    keeper->ResetCosts();
  }
  QCoreApplication::processEvents();  // the events held up by the snapshot
  WorkflowController controller(project, engine, pages);
  port.Listen(controller);
  Follow(controller, timeline);
  timeline.Enter(Phase::open);
  const auto start = Clock::now();
  controller.Start();
  // Waits for events as the desktop program's loop does (the poster's
  // events come every 5 ms). processEvents with a time limit would not wait:
  // it returns at once when nothing is pending, and the thread would spin.
  while (!port.runFinished)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  poster.Stop();
  QCoreApplication::processEvents();
  std::printf("run of %d movies in %.1f s:\n", port.finished + static_cast<int>(port.notOpened),
              std::chrono::duration<double>(Clock::now() - start).count());
  for (const Movie& movie : project.Movies()) {
    if (movie.status == kMovieDone && movie.path().find("/indexed/") != std::string::npos) continue;
    std::printf("  %s: %zu thumbnails, status %d\n",
                std::filesystem::path(movie.path()).filename().c_str(), movie.images.size(),
                movie.status);
  }
  for (size_t i = 0; i + 1 < port.steps.size(); ++i) {
    std::printf("  %-60.60s %8.0f ms\n", port.steps[i].first.c_str(),
                Ms(port.steps[i + 1].second - port.steps[i].second).count());
  }
  if (keeper) {
    const CrashSnapshotKeeper::Costs costs = keeper->costs();
    std::printf(
        "crash snapshot on this thread: %lld changes, longest %.3f ms; %lld renewals handed "
        "over, mean %.3f ms, longest %.3f ms (goal: at most 1 ms)\n",
        static_cast<long long>(costs.notices), costs.longestNoticeMs,
        static_cast<long long>(costs.handovers),
        costs.handovers ? costs.totalHandoverMs / static_cast<double>(costs.handovers) : 0.0,
        costs.longestHandoverMs);
  }
}

}  // namespace

int LatencyBench(const LatencyOptions& options) {
  PrintLoad("at the start");
  std::filesystem::create_directories(options.corpus);
  testvideo::VideoOptions large;
  large.path = options.corpus + "/latency-1080p.mp4";
  large.width = 1920;
  large.height = 1080;
  large.frameCount = 150;
  large.keyframeInterval = 50;
  testvideo::VideoOptions small;
  small.path = options.corpus + "/latency-slow-360p.mp4";
  small.width = 640;
  small.height = 360;
  small.frameCount = 50;
  small.keyframeInterval = 50;
  const std::string largePath = CorpusVideo(large);
  const std::string smallPath = options.slowVideo ? CorpusVideo(small) : "";
  if (largePath.empty() || (options.slowVideo && smallPath.empty())) return 2;

  std::string work = std::filesystem::temp_directory_path().string() + "/ombrelo-latency-XXXXXX";
  if (!mkdtemp(work.data())) return 2;
  setenv("TMPDIR", work.c_str(), 1);
  SetApplicationDataFolder(options.dataFolder);
  int result = 2;
  auto* timed = dynamic_cast<TimedApplication*>(QCoreApplication::instance());
  {
    BusyLoops busy(options.busyLoops);
    if (busy.Count()) std::printf("%zu busy loops spin beside the run\n", busy.Count());
    PrintBaseline(std::chrono::seconds(10));
    std::unique_ptr<slowfs::SlowFolder> slow;
    if (options.slowVideo) {
      std::error_code ec;
      std::filesystem::create_directory(work + "/slow", ec);
      std::string error;
      slow = slowfs::SlowFolder::Mount(work + "/slow", {smallPath}, kSlowOpen, &error);
      if (slow)
        std::printf("slow video: %s, each open waits %.1f s for its first bytes (FUSE)\n",
                    slow->PathOf(smallPath).c_str(), kSlowOpen.count() / 1000.0);
      else
        std::printf("slow video left out: %s\n", error.c_str());
    }
    LatencyProbe probe;
    RunTimeline timeline;
    {
      CProject project(work + "/");
      SetUpProject(project, work);
      project.AddMovie(largePath);
      if (slow) project.AddMovie(slow->PathOf(smallPath));
      const auto serialiseStart = Clock::now();
      const size_t projectBytes = project.FileText().size();
      std::printf("project: %d movies of %d thumbnails, %.1f MB, serialised in %.1f ms\n",
                  kIndexedMovies, kThumbnailsEach, projectBytes / 1e6,
                  Ms(Clock::now() - serialiseStart).count());
      if (timed) timed->Record(true);
      Run(project, options.keepSnapshot, probe, timeline);
      if (timed) timed->Record(false);
    }
    result = Report(probe, timeline, timed);
    if (timed) {
      PrintSlowest("slowest events on the owner's thread", timed->Slowest(5));
      PrintSlowest("events with the most time on a core", timed->Slowest(5, true));
    }
    PrintLoad("at the end");
  }
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return result;
}

}  // namespace ombrelo::bench
