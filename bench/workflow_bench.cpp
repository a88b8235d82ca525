// ombrelo-workflow-bench: the indexing workflow on large projects and under
// load.
//
//   queue     time per movie of a run over 1,000 and over 100,000 waiting
//             movies that all fail to open (files that do not exist); the
//             goal is that the larger project costs at most 1.5 times as
//             much per movie.
//   latency   how long the owner's event loop keeps a posted event waiting
//             during an indexing run inside a project of 1,000 indexed
//             movies with 100 thumbnails each whose crash snapshot is kept:
//             a 1080p movie with every frame taken, then a video whose open
//             takes 2 s; the waits by phase (snapshot, open, capture,
//             outputs), where the longest were, the 99th percentile and the
//             load average. Goal: never more than 16 ms. --no-snapshot runs
//             it without keeping the crash snapshot, --no-slow-video
//             without the slow video, --busy N with N processes spinning
//             beside it (see latency_bench.cpp).
//   batch     throughput of ombrelo-index over 12 corpus-like files (one
//             minute each, 360p and 480p, H.264 in MP4 and Matroska, MPEG-4
//             in AVI; 30 thumbnails each), with --jobs 1 and with --jobs 2,
//             as a ratio; the two runs' outputs are compared byte for byte.
//             Goal: at least 1.5x on 2 cores.
//   many      time per movie of ombrelo-index over folders of 2,000 and of
//             40,000 files that are no videos (empty files, made on the spot),
//             with the default jobs and with --jobs 1; the summaries of both
//             are compared. Goals: the larger batch costs at most 1.5 times
//             as much per movie, and the default jobs at most 2 times what
//             --jobs 1 costs.
//
// usage: ombrelo-workflow-bench [queue|latency [--no-snapshot] [--no-slow-video] [--busy N]
//                                |batch|many]
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/event_timer.h"
#include "bench/latency_bench.h"
#include "bench/quiet_port.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "tools/testvideo/test_video.h"
#include "workflow/page_generation.h"
#include "workflow/workflow_controller.h"

#ifndef OMBRELO_BENCH_CORPUS
#define OMBRELO_BENCH_CORPUS "bench-corpus"
#endif
#ifndef OMBRELO_INDEX_BINARY
#define OMBRELO_INDEX_BINARY "ombrelo-index"
#endif
#ifndef OMBRELO_SOURCE_DATA_DIR
#define OMBRELO_SOURCE_DATA_DIR "Data/"
#endif

namespace {

using namespace ombrelo;
using bench::Clock;
using bench::QuietPort;

// Seconds per movie of one run over `count` movies that cannot be opened.
double SecondsPerFailingMovie(int count) {
  CProject project("/nonexistent-ombrelo-bench/");
  for (int i = 0; i < count; ++i) {
    project.AddMovie("/nonexistent-ombrelo-bench/movie" + std::to_string(i) + ".mp4");
  }
  QuietPort port;
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(project, engine, pages);
  port.Listen(controller);
  const auto start = Clock::now();
  controller.Start();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (port.notOpened != count) {
    std::fprintf(stderr, "expected %d failed movies, saw %lld\n", count,
                 static_cast<long long>(port.notOpened));
    std::exit(1);
  }
  return seconds / count;
}

int QueueBench() {
  const double small = SecondsPerFailingMovie(1000);
  const double large = SecondsPerFailingMovie(100000);
  const double ratio = large / small;
  std::printf("failing movies   1,000: %8.2f us per movie\n", small * 1e6);
  std::printf("failing movies 100,000: %8.2f us per movie\n", large * 1e6);
  std::printf("ratio %.2f (goal: at most 1.5) %s\n", ratio, ratio <= 1.5 ? "ok" : "MISSED");
  return ratio <= 1.5 ? 0 : 1;
}

// The batch's files, made once into the corpus folder.
std::vector<std::string> BatchFiles(const std::string& corpus) {
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) {
    testvideo::VideoOptions video;
    const int kind = i % 3;
    video.container = kind == 0 ? "mp4" : kind == 1 ? "avi" : "mkv";
    video.codec = kind == 1 ? "mpeg4" : "h264";
    video.width = 640;
    video.height = kind == 1 ? 480 : 360;
    video.frameCount = 60 * 25;
    video.keyframeInterval = 250;
    video.maxBFrames = 2;
    video.path = corpus + "/batch" + std::to_string(i) + "." + video.container;
    std::error_code ec;
    if (!std::filesystem::exists(video.path, ec)) {
      std::string error;
      if (!testvideo::Generate(video, &error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", video.path.c_str(), error.c_str());
        std::exit(2);
      }
    }
    files.push_back(video.path);
  }
  return files;
}

// Runs ombrelo-index with this many jobs over the files into out; its wall
// time in seconds (negative when it failed).
double IndexBatch(int jobs, const std::vector<std::string>& files, const std::string& out) {
  std::string command = std::string("'") + OMBRELO_INDEX_BINARY + "' --jobs " +
                        std::to_string(jobs) + " --start-after 1 --every 2 --out '" + out +
                        "' --save '" + out + "/run.obx'";
  for (const std::string& file : files) command += " '" + file + "'";
  command += " >/dev/null";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Every file below a folder by its path inside it, the folder's own path in
// the texts replaced.
std::map<std::string, std::string> OutputsBelow(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    for (size_t at; (at = text.find(folder)) != std::string::npos;)
      text.replace(at, folder.size(), "");
    files[entry.path().lexically_relative(folder).string()] = std::move(text);
  }
  return files;
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int BatchBench() {
  const std::string corpus = OMBRELO_BENCH_CORPUS;
  std::filesystem::create_directories(corpus);
  const std::vector<std::string> files = BatchFiles(corpus);
  std::string work = std::filesystem::temp_directory_path().string() + "/ombrelo-batch-XXXXXX";
  if (!mkdtemp(work.data())) return 2;
  setenv("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR, 0);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

  double wall[2] = {0, 0};
  double cpu[2] = {0, 0};
  for (const int jobs : {1, 2}) {
    const double cpuBefore = ChildCpuSeconds();
    wall[jobs - 1] = IndexBatch(jobs, files, work + "/jobs" + std::to_string(jobs));
    cpu[jobs - 1] = ChildCpuSeconds() - cpuBefore;
    if (wall[jobs - 1] < 0) {
      std::fprintf(stderr, "ombrelo-index --jobs %d failed\n", jobs);
      return 2;
    }
    std::printf("--jobs %d: %zu files in %6.1f s wall, %6.1f s CPU, %5.2f files/s\n", jobs,
                files.size(), wall[jobs - 1], cpu[jobs - 1],
                static_cast<double>(files.size()) / wall[jobs - 1]);
  }
  const bool same = OutputsBelow(work + "/jobs1") == OutputsBelow(work + "/jobs2");
  std::printf("outputs of --jobs 1 and --jobs 2: %s\n", same ? "identical" : "DIFFERENT");
  const double ratio = wall[0] / wall[1];
  std::printf("throughput --jobs 2 / --jobs 1: %.2fx (goal: at least 1.5x on 2 cores) %s\n", ratio,
              ratio >= 1.5 ? "ok" : "MISSED");
  std::printf(
      "scaling: each job is a worker process decoding one file after the other, so throughput "
      "grows with the jobs up to the number of cores (this machine: %u) as long as the disk keeps "
      "up; more jobs than cores add nothing. The default is one job per core.\n",
      cores);
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return same && ratio >= 1.5 ? 0 : 1;
}

// Runs ombrelo-index over a folder of files that cannot be opened, with
// --jobs jobs (0: the default), its summary into summary. Its wall time in
// seconds; negative when it did not end as such a run does (exit code 1).
double IndexFailing(const std::string& folder, int jobs, const std::string& summary) {
  std::string command = std::string("'") + OMBRELO_INDEX_BINARY + "'";
  if (jobs > 0) command += " --jobs " + std::to_string(jobs);
  command += " --out '" + folder + "-out' '" + folder + "' >'" + summary + "' 2>/dev/null";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 1 ? seconds : -1;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int ManyBench() {
  std::string work = std::filesystem::temp_directory_path().string() + "/ombrelo-many-XXXXXX";
  if (!mkdtemp(work.data())) return 2;
  setenv("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR, 0);
  const int counts[2] = {2000, 40000};
  double perMovie[2][2] = {};  // [count][default jobs, --jobs 1]
  bool same = true;
  for (int c = 0; c < 2; ++c) {
    const std::string folder = work + "/" + std::to_string(counts[c]);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < counts[c]; ++i) {
      std::ofstream(folder + "/movie" + std::to_string(i) + ".mp4");
    }
    for (const int jobs : {0, 1}) {
      const std::string summary = folder + "-jobs" + std::to_string(jobs) + ".txt";
      const double seconds = IndexFailing(folder, jobs, summary);
      if (seconds < 0) {
        std::fprintf(stderr, "ombrelo-index over %d files failed\n", counts[c]);
        return 2;
      }
      perMovie[c][jobs] = seconds / counts[c];
      std::printf("%6d failing movies, %-10s %7.2f s wall, %7.1f us per movie\n", counts[c],
                  jobs == 0 ? "default" : "--jobs 1", seconds, perMovie[c][jobs] * 1e6);
    }
    same = same && FileText(folder + "-jobs0.txt") == FileText(folder + "-jobs1.txt");
  }
  const double growth = perMovie[1][0] / perMovie[0][0];
  const double againstOne = perMovie[1][0] / perMovie[1][1];
  std::printf("summaries of the default jobs and --jobs 1: %s\n", same ? "identical" : "DIFFERENT");
  std::printf("per movie, 40,000 / 2,000: %.2f (goal: at most 1.5) %s\n", growth,
              growth <= 1.5 ? "ok" : "MISSED");
  std::printf("per movie at 40,000, default jobs / --jobs 1: %.2f (goal: at most 2) %s\n",
              againstOne, againstOne <= 2 ? "ok" : "MISSED");
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return same && growth <= 1.5 && againstOne <= 2 ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: ombrelo-workflow-bench [queue|latency [--no-snapshot] [--no-slow-video] "
               "[--busy N]|batch|many]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The index photo draws its page without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  bench::TimedApplication app(argc, argv);
  const std::string what = argc > 1 ? argv[1] : "queue";
  double load[1] = {0};
  // The latency run prints the load at its start and end itself.
  if (what != "latency" && getloadavg(load, 1) == 1) std::printf("machine load %.2f\n", load[0]);
  if (what == "queue") return QueueBench();
  if (what == "latency") {
    bench::LatencyOptions options;
    options.corpus = OMBRELO_BENCH_CORPUS;
    options.dataFolder = OMBRELO_SOURCE_DATA_DIR;
    for (int i = 2; i < argc; ++i) {
      const std::string option = argv[i];
      if (option == "--no-snapshot") {
        options.keepSnapshot = false;
      } else if (option == "--no-slow-video") {
        options.slowVideo = false;
      } else if (option == "--busy" && i + 1 < argc && std::atoi(argv[i + 1]) >= 0) {
        options.busyLoops = std::atoi(argv[++i]);
      } else {
        return Usage();
      }
    }
    return bench::LatencyBench(options);
  }
  if (what == "batch") return BatchBench();
  if (what == "many") return ManyBench();
  return Usage();
}
