// ombrelo-thumbnailer-bench: time per file of the file managers' thumbnailer,
// run as a file manager runs it (one process per file, a 256-pixel PNG),
// against ffmpegthumbnailer asked for the same.
//
// The two thumbnailers run in turn, run after run, so that whatever else the
// machine does weighs on both alike. For every file of a generated corpus
// (the capture benchmark's files and odd ones: rare key frames, no key frame
// after the first, variable frame rate, HDR, 10-bit, interlaced) and each
// thumbnailer: the median of N runs of wall time, CPU time (user and system
// of the process) and peak resident memory, and the ratio of the medians
// (goal: ombrelo at most 0.8 times the wall time on every file). Ombrelo's
// picture is also checked: the frame number drawn into it, whether it is
// nearly one flat colour, and its mean difference from FFmpeg's own decode
// of that frame at the same size, high definition with the BT.709 matrix (a
// frame decoded without the pictures it refers to differs by far more).
//
// usage: ombrelo-thumbnailer-bench [--corpus DIR] [--runs N] [--quick] [--file TEXT]
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/command_run.h"
#include "engine/frame_metrics.h"
#include "tools/testvideo/test_video.h"

extern char** environ;

namespace {

using Measured = ombrelo::bench::CommandRun;
constexpr auto RunCommand = ombrelo::bench::RunTimed;

// FFmpeg's usual way from HDR to SDR BT.709, which the thumbnailer's tone
// mapping follows.
constexpr const char* kToneMap =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=pc,format=gbrp,";
// Ombrelo at most this share of ffmpegthumbnailer's wall time.
constexpr double kGoal = 0.8;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct CorpusFile {
  std::string name;
  ombrelo::testvideo::VideoOptions options;
  // Made from another file of the corpus by the ffmpeg command with these
  // arguments between input and output, instead of by the generator.
  std::string from;
  std::vector<std::string> ffmpeg;
  bool hdr = false;
  // High definition: its pictures, which do not name their matrix, are
  // BT.709 (FFmpeg's scaler takes BT.601 for any unnamed matrix).
  bool hd = false;
};

std::vector<CorpusFile> Corpus(bool quick) {
  auto make = [](const char* name, const char* container, const char* codec, int width, int height,
                 double seconds, int keyframeInterval = 250, const char* hdr = "") {
    CorpusFile f;
    f.name = name;
    f.options.container = container;
    f.options.codec = codec;
    f.options.width = width;
    f.options.height = height;
    f.options.frameCount = static_cast<int64_t>(seconds * 25);
    f.options.keyframeInterval = keyframeInterval;
    f.options.maxBFrames = codec == std::string("h264") || codec == std::string("mpeg4") ? 2 : 0;
    f.options.hdr = hdr;
    f.hdr = *hdr != 0;
    f.hd = width >= 1280 || height > 576;
    return f;
  };
  // All derived files are made from high-definition ones.
  auto derive = [](const char* name, const char* from, std::vector<std::string> args) {
    CorpusFile f;
    f.name = name;
    f.from = from;
    f.ffmpeg = std::move(args);
    f.hd = true;
    return f;
  };
  const std::vector<std::string> x264 = {"-c:v", "libx264",       "-preset", "ultrafast", "-g",
                                         "250",  "-sc_threshold", "0",       "-an"};
  auto with = [&x264](std::vector<std::string> args) {
    args.insert(args.end(), x264.begin(), x264.end());
    return args;
  };
  if (quick)
    return {make("quick_h264_360p_2min.mp4", "mp4", "h264", 640, 360, 120),
            make("quick_hdr10_360p_20s.mkv", "mkv", "hevc", 640, 360, 20, 250, "pq")};
  return {
      // The capture benchmark's files (shared corpus).
      make("h264_720p_10min.mp4", "mp4", "h264", 1280, 720, 600),
      make("mpeg4_480p_10min.avi", "avi", "mpeg4", 640, 480, 600),
      make("h264_1080p_3min.mkv", "mkv", "h264", 1920, 1080, 180),
      // What file managers meet most.
      make("h264_1080p_2min.mp4", "mp4", "h264", 1920, 1080, 120),
      make("hevc_1080p_1min.ts", "ts", "hevc", 1920, 1080, 60),
      make("vp9_720p_1min.webm", "webm", "vp9", 1280, 720, 60),
      // Odd ones.
      make("hdr10_720p_20s.mkv", "mkv", "hevc", 1280, 720, 20, 250, "pq"),
      make("rarekeys_720p_2min.mp4", "mp4", "h264", 1280, 720, 120, 1500),  // one a minute
      make("onekey_720p_1min.mp4", "mp4", "h264", 1280, 720, 60, 100000),
      derive("vfr_720p_1min.mp4", "rarekeys_720p_2min.mp4",
             with({"-t", "60", "-vf", "setpts='(N*0.05-mod(N,2)*0.01)/TB'", "-fps_mode",
                   "passthrough"})),
      derive("10bit_720p_1min.mp4", "rarekeys_720p_2min.mp4",
             with({"-t", "60", "-pix_fmt", "yuv420p10le"})),
      derive("interlaced_1080i_1min.mkv", "h264_1080p_2min.mp4",
             with({"-t", "60", "-vf", "setfield=tff", "-flags", "+ildct+ilme", "-x264-params",
                   "interlaced=1:tff=1"})),
  };
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Make(const std::string& corpus, CorpusFile& file) {
  const std::string path = corpus + file.name;
  std::printf("making %s ...\n", file.name.c_str());
  std::fflush(stdout);
  if (!file.from.empty()) {
    std::vector<std::string> args = {"ffmpeg", "-nostdin",        "-v", "error", "-y",
                                     "-i",     corpus + file.from};
    args.insert(args.end(), file.ffmpeg.begin(), file.ffmpeg.end());
    args.push_back(path);
    return RunCommand(args).ok;
  }
  file.options.path = path;
  // In a child of its own: a process started later counts the peak memory
  // of the one that started it, which must stay small.
  const pid_t maker = fork();
  if (maker == 0) {
    std::string error;
    const bool made = ombrelo::testvideo::Generate(file.options, &error);
    if (!made) std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), error.c_str());
    _exit(made ? 0 : 1);
  }
  int status = 0;
  return maker > 0 && waitpid(maker, &status, 0) == maker && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

// What ombrelo's picture shows.
struct Check {
  int frame = -1;     // the number drawn into it; -1 when none is read
  bool flat = false;  // nearly one flat colour
  double error = -1;  // mean difference from FFmpeg's decode, in levels
};

// A PNG as top-down BGR rows, through the ffmpeg command.
bool ReadPng(const std::string& png, const std::string& raw, int* width, int* height,
             std::string* bgr) {
  const std::string head = ReadFile(png);
  if (head.size() < 24) return false;
  auto be32 = [&head](size_t at) {
    return static_cast<int>(
        static_cast<uint8_t>(head[at]) << 24 | static_cast<uint8_t>(head[at + 1]) << 16 |
        static_cast<uint8_t>(head[at + 2]) << 8 | static_cast<uint8_t>(head[at + 3]));
  };
  *width = be32(16);
  *height = be32(20);
  if (!RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", png, "-f", "rawvideo",
                   "-pix_fmt", "bgr24", raw})
           .ok)
    return false;
  *bgr = ReadFile(raw);
  return bgr->size() == static_cast<size_t>(*width) * *height * 3;
}

Check CheckPicture(const std::string& corpus, const CorpusFile& file, const std::string& png) {
  Check check;
  const std::string raw = corpus + "thumbnail-bench.bgr", video = corpus + file.name;
  int width = 0, height = 0;
  std::string bgr;
  if (!ReadPng(png, raw, &width, &height, &bgr)) return check;
  const auto* pixels = reinterpret_cast<const uint8_t*>(bgr.data());
  check.flat = ombrelo::IsNearlyFlat(pixels, width, height, width * 3);
  check.frame = ombrelo::testvideo::ReadFrameNumber(pixels, width, height, width * 3,
                                                    ombrelo::testvideo::PixelOrder::BGR24);
  if (check.frame < 0) return check;
  const std::string filters = "select=eq(n\\," + std::to_string(check.frame) +
                              "),scale=" + std::to_string(width) + ":" + std::to_string(height) +
                              (file.hdr  ? std::string(",") + kToneMap
                               : file.hd ? ":in_color_matrix=bt709,"
                                         : ",") +
                              "format=bgr24";
  if (!RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", video, "-vf", filters,
                   "-frames:v", "1", "-f", "rawvideo", raw})
           .ok)
    return check;
  const std::string reference = ReadFile(raw);
  std::remove(raw.c_str());
  if (reference.size() != bgr.size()) return check;
  double sum = 0;
  for (size_t i = 0; i < bgr.size(); ++i)
    sum += std::abs(static_cast<uint8_t>(bgr[i]) - static_cast<uint8_t>(reference[i]));
  check.error = sum / static_cast<double>(bgr.size());
  return check;
}

struct Method {
  const char* name;
  std::vector<std::string> args;
  std::vector<double> wall, cpu, peak;
  bool failed = false;
};

// Times both thumbnailers on one file of the corpus and prints their rows;
// false when ours took longer than the goal allows. A failure of either, or
// a picture of ours that is not the frame it should be, sets *failed.
bool BenchFile(const std::string& corpus, const CorpusFile& file, const std::string& png,
               int runs, bool haveOther, bool* failed) {
  bool goalMet = true;
  const std::string path = corpus + file.name;
  std::vector<Method> methods = {{"ombrelo-index",
                                  {OMBRELO_INDEX_BINARY, "--thumbnail", "-s", "256", path, png},
                                  {},
                                  {},
                                  {},
                                  false}};
  if (haveOther)
    methods.push_back({"ffmpegthumbnailer",
                       {"ffmpegthumbnailer", "-i", path, "-o", png, "-s", "256"},
                       {},
                       {},
                       {},
                       false});
  for (const Method& method : methods) RunCommand(method.args);  // the file in the page cache
  for (int i = 0; i < runs; ++i) {
    for (Method& method : methods) {
      if (method.failed) continue;
      std::remove(png.c_str());
      const Measured m = RunCommand(method.args);
      if (!m.ok || !Exists(png)) {
        std::fprintf(stderr, "%s failed on %s\n", method.name, file.name.c_str());
        method.failed = *failed = true;
        continue;
      }
      method.wall.push_back(m.wall);
      method.cpu.push_back(m.cpu);
      method.peak.push_back(m.peakMb);
    }
  }
  std::remove(png.c_str());
  Check check;
  if (RunCommand(methods[0].args).ok) check = CheckPicture(corpus, file, png);
  const bool clean = check.frame >= 0 && !check.flat && check.error >= 0 && check.error <= 6;
  if (!clean) *failed = true;
  for (const Method& method : methods) {
    const Method& ours = methods[0];
    const bool other = &method != &ours;
    const double wallRatio = other ? Median(ours.wall) / Median(method.wall) : 0;
    const double cpuRatio = other ? Median(ours.cpu) / Median(method.cpu) : 0;
    if (other && wallRatio > kGoal) goalMet = false;
    char picture[96] = "";
    if (!other)
      std::snprintf(picture, sizeof picture, "frame %d, %s, %.2f levels from FFmpeg's",
                    check.frame, check.flat ? "flat" : "not flat", check.error);
    std::printf("%-26s %-18s %8.3f %8.3f %8.1f ", file.name.c_str(), method.name,
                Median(method.wall), Median(method.cpu), Median(method.peak));
    if (other)
      std::printf("%7.2f %7.2f\n", wallRatio, cpuRatio);
    else
      std::printf("%7s %7s  %s\n", "", "", picture);
  }
  return goalMet;
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = OMBRELO_BENCH_CORPUS, only;
  int runs = 15;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--corpus" && i + 1 < argc) {
      corpus = argv[++i];
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--file" && i + 1 < argc) {
      only = argv[++i];
    } else if (a == "--quick") {
      quick = true;
    } else {
      std::fprintf(stderr, "usage: %s [--corpus DIR] [--runs N] [--quick] [--file TEXT]\n",
                   argv[0]);
      return 2;
    }
  }
  if (corpus.empty() || corpus.back() != '/') corpus += '/';
  ::mkdir(corpus.c_str(), 0755);
  const std::string png = corpus + "thumbnail-bench.png";
  const bool haveOther = RunCommand({"ffmpegthumbnailer", "-v"}).ok;

  std::vector<CorpusFile> files = Corpus(quick);
  for (CorpusFile& file : files) {
    if (!Exists(corpus + file.name) && !Make(corpus, file)) {
      std::fprintf(stderr, "cannot make %s\n", file.name.c_str());
      return 1;
    }
  }

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf(
      "corpus: %s (median of %d runs taken in turn, one process per thumbnail, 256 "
      "pixels)\n",
      corpus.c_str(), runs);
  std::printf("machine: %ld cores, load average %.2f at the start\n", sysconf(_SC_NPROCESSORS_ONLN),
              load[0]);
  if (!haveOther) std::printf("ffmpegthumbnailer is not installed: its rows are left out\n");
  std::printf("%-26s %-18s %8s %8s %8s %7s %7s  %s\n", "file", "thumbnailer", "wall s", "cpu s",
              "peak MB", "wall x", "cpu x", "picture");

  bool failed = false, goalMet = true;
  for (const CorpusFile& file : files) {
    if (!only.empty() && file.name.find(only) == std::string::npos) continue;
    if (!BenchFile(corpus, file, png, runs, haveOther, &failed)) goalMet = false;
    std::fflush(stdout);
  }
  std::remove(png.c_str());
  if (haveOther)
    std::printf("goal (wall at most %.1fx of ffmpegthumbnailer's on every file): %s\n", kGoal,
                goalMet ? "met" : "not met");
  return failed ? 1 : 0;
}
