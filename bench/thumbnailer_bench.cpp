// ombrelo-thumbnailer-bench: time per file of the file managers' thumbnailer,
// run as a file manager runs it (one process per file, a 256-pixel PNG),
// against ffmpegthumbnailer asked for the same.
//
// For every file of a generated corpus and each thumbnailer: the median of N
// runs of wall time, CPU time (user and system of the process) and peak
// resident memory.
//
// usage: ombrelo-thumbnailer-bench [--corpus DIR] [--runs N] [--quick]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/command_run.h"
#include "tools/testvideo/test_video.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

using Measured = ombrelo::bench::CommandRun;
constexpr auto RunCommand = ombrelo::bench::RunTimed;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct CorpusFile {
  std::string name;
  ombrelo::testvideo::VideoOptions options;
};

std::vector<CorpusFile> Corpus(bool quick) {
  auto make = [](const char* name, const char* container, const char* codec, int width, int height,
                 double seconds, const char* hdr = "") {
    CorpusFile f;
    f.name = name;
    f.options.container = container;
    f.options.codec = codec;
    f.options.width = width;
    f.options.height = height;
    f.options.frameCount = static_cast<int64_t>(seconds * 25);
    f.options.keyframeInterval = 250;
    f.options.maxBFrames = 2;
    f.options.hdr = hdr;
    return f;
  };
  if (quick)
    return {make("quick_h264_360p_2min.mp4", "mp4", "h264", 640, 360, 120),
            make("quick_hdr10_360p_20s.mkv", "mkv", "hevc", 640, 360, 20, "pq")};
  // The capture benchmark's files (shared corpus) and an HDR10 clip.
  return {make("h264_720p_10min.mp4", "mp4", "h264", 1280, 720, 600),
          make("mpeg4_480p_10min.avi", "avi", "mpeg4", 640, 480, 600),
          make("h264_1080p_3min.mkv", "mkv", "h264", 1920, 1080, 180),
          make("hdr10_720p_20s.mkv", "mkv", "hevc", 1280, 720, 20, "pq")};
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = OMBRELO_BENCH_CORPUS;
  int runs = 5;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--corpus" && i + 1 < argc) {
      corpus = argv[++i];
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--quick") {
      quick = true;
    } else {
      std::fprintf(stderr, "usage: %s [--corpus DIR] [--runs N] [--quick]\n", argv[0]);
      return 2;
    }
  }
  if (corpus.empty() || corpus.back() != '/') corpus += '/';
  ::mkdir(corpus.c_str(), 0755);
  const std::string png = corpus + "thumbnail-bench.png";
  const bool haveOther = RunCommand({"ffmpegthumbnailer", "-v"}).ok;

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("corpus: %s (median of %d runs, one process per thumbnail, 256 pixels)\n",
              corpus.c_str(), runs);
  std::printf("machine: %ld cores, load average %.2f at the start\n",
              sysconf(_SC_NPROCESSORS_ONLN), load[0]);
  if (!haveOther) std::printf("ffmpegthumbnailer is not installed: its rows are left out\n");
  std::printf("%-26s %-18s %9s %9s %9s\n", "file", "thumbnailer", "wall s", "cpu s", "peak MB");

  bool failed = false;
  for (CorpusFile& file : Corpus(quick)) {
    const std::string path = corpus + file.name;
    if (!Exists(path)) {
      std::printf("making %s ...\n", file.name.c_str());
      std::fflush(stdout);
      file.options.path = path;
      // In a child of its own: a process started later counts the peak
      // memory of the one that started it, which must stay small.
      const pid_t maker = fork();
      if (maker == 0) {
        std::string error;
        const bool made = ombrelo::testvideo::Generate(file.options, &error);
        if (!made) std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), error.c_str());
        _exit(made ? 0 : 1);
      }
      int status = 0;
      if (maker < 0 || waitpid(maker, &status, 0) != maker || !WIFEXITED(status) ||
          WEXITSTATUS(status) != 0)
        return 1;
    }
    struct Method {
      const char* name;
      std::vector<std::string> args;
    };
    std::vector<Method> methods = {
        {"ombrelo-index", {OMBRELO_INDEX_BINARY, "--thumbnail", "-s", "256", path, png}}};
    if (haveOther)
      methods.push_back({"ffmpegthumbnailer", {"ffmpegthumbnailer", "-i", path, "-o", png, "-s", "256"}});
    RunCommand(methods[0].args);  // the file in the page cache for both
    for (const Method& method : methods) {
      std::vector<double> wall, cpu, peak;
      for (int i = 0; i < runs; ++i) {
        std::remove(png.c_str());
        const Measured m = RunCommand(method.args);
        if (!m.ok || !Exists(png)) {
          std::fprintf(stderr, "%s failed on %s\n", method.name, file.name.c_str());
          failed = true;
          break;
        }
        wall.push_back(m.wall);
        cpu.push_back(m.cpu);
        peak.push_back(m.peakMb);
      }
      std::printf("%-26s %-18s %9.3f %9.3f %9.1f\n", file.name.c_str(), method.name, Median(wall),
                  Median(cpu), Median(peak));
      std::fflush(stdout);
    }
  }
  std::remove(png.c_str());
  return failed ? 1 : 0;
}
