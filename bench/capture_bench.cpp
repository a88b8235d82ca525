// ombrelo-capture-bench: how fast a capture with the default settings takes
// its thumbnails, against other ways of getting the same frames.
//
// For every file of a generated corpus it measures, each in a child process
// of its own (so that CPU time and peak memory belong to that method alone):
//   ombrelo      the capture engine on the FFmpeg pipeline, every taken frame
//                written as a quality-85 JPEG by a writer thread (as in the
//                programs, the owner's thread stays free for seeks);
//   baseline     the least work for the same frames: seek to the key frame
//                before each sample, decode to it, convert it, write the JPEG;
//   ffmpeg-cli   one "ffmpeg -ss T -i FILE -frames:v 1" per thumbnail;
//   thumbnailer  one ffmpegthumbnailer call per thumbnail (when installed);
// and for a sample every 2 s, where one pass over the file is the fair way:
//   ffmpeg-fps   one "ffmpeg -i FILE -vf fps=1/2" call writing every JPEG.
// Every JPEG is read back for the frame number it shows ("frame err" is the
// largest distance from the scheduled frame).
//
// usage: ombrelo-capture-bench [--corpus DIR] [--runs N] [--quick] [--dense] [--file TEXT]
// (--dense: only the sample every 2 s; --file: only files whose name has TEXT)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/command_run.h"
#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "engine/media_input.h"
#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/paths.h"
#include "support/capture_owner.h"
#include "tools/testvideo/test_video.h"

extern char** environ;

namespace av = ombrelo::av;

namespace {

using namespace ombrelo;
using Clock = std::chrono::steady_clock;

#ifndef OMBRELO_BENCH_CORPUS
#define OMBRELO_BENCH_CORPUS "bench-corpus"
#endif

struct CorpusFile {
  std::string name;
  testvideo::VideoOptions options;
  double cliGoal = 0.35;  // default settings: at most this share of the ffmpeg-cli time
};

std::vector<CorpusFile> Corpus(bool quick) {
  auto make = [&](const char* name, const char* container, const char* codec, int width, int height,
                  double minutes) {
    CorpusFile f;
    f.name = name;
    f.options.container = container;
    f.options.codec = codec;
    f.options.width = width;
    f.options.height = height;
    f.options.frameCount = static_cast<int64_t>(minutes * 60 * 25);
    f.options.keyframeInterval = 250;
    f.options.maxBFrames = 2;
    return f;
  };
  if (quick)
    return {make("quick_h264_360p_2min.mp4", "mp4", "h264", 640, 360, 2),
            make("quick_mpeg4_480p_2min.avi", "avi", "mpeg4", 640, 480, 2)};
  std::vector<CorpusFile> files = {make("h264_720p_10min.mp4", "mp4", "h264", 1280, 720, 10),
                                   make("mpeg4_480p_10min.avi", "avi", "mpeg4", 640, 480, 10),
                                   make("h264_1080p_3min.mkv", "mkv", "h264", 1920, 1080, 3)};
  files.back().cliGoal = 0.7;
  return files;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

void WarmCache(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
  }
}

bool SaveBgr(const std::string& path, const BitmapInfoHeader& header, uint8_t* pixels) {
  HeaderPicture picture = PictureFromBitmapHeader(header, {}, pixels);
  return SaveJPG(picture.picture, path, 85, /*bottomUp=*/false);
}

// ---------------------------------------------------------------------------
// What a measured child reports back through a pipe.

// Samples whose frames are checked: a sample every 2 s over 10 minutes, and
// small enough for the report to pass through a pipe in one write.
constexpr int kMaxChecked = 320;

struct Report {
  bool ok = false;
  int64_t decoded = -1;
  int64_t converted = -1;
  int frames = 0;
  int64_t sampleFrames[kMaxChecked] = {};
  int64_t frameDuration = 0;
};
static_assert(sizeof(Report) <= PIPE_BUF, "the report is written in one piece");

struct Measured {
  double wall = 0, cpu = 0, peakMb = 0;
  Report report;
};

Measured RunInChild(const std::function<Report()>& work) {
  int fds[2];
  Measured m;
  if (pipe(fds) != 0) return m;
  const auto began = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Report r = work();
    ssize_t written = write(fds[1], &r, sizeof r);
    _exit(written == static_cast<ssize_t>(sizeof r) ? 0 : 1);
  }
  close(fds[1]);
  Report r;
  const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
  close(fds[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  m.wall = std::chrono::duration<double>(Clock::now() - began).count();
  m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  if (got) m.report = r;
  return m;
}

// Runs a command line (no shell); adds its time and memory to m.
bool RunCommand(const std::vector<std::string>& args, Measured* m) {
  const ombrelo::bench::CommandRun run = ombrelo::bench::RunTimed(args);
  m->wall += run.wall;
  m->cpu += run.cpu;
  m->peakMb = std::max(m->peakMb, run.peakMb);
  return run.ok;
}

bool HaveCommand(const char* name) {
  Measured ignored;
  return RunCommand({name, name == std::string("ffmpeg") ? "-version" : "-v"}, &ignored);
}

// ---------------------------------------------------------------------------
// ombrelo: the engine as the owner drives it.

// Longer than any capture of the corpus takes: no report for this long is a hang.
constexpr std::chrono::minutes kCaptureHangLimit{10};

Report CaptureWithEngine(const std::string& path, const CaptureSettings& settings,
                         const std::string& outPrefix) {
  Report r;
  auto counters = std::make_shared<PipelineCounters>();
  FfmpegPipelineOptions options;
  options.counters = counters;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(settings);
  if (const OpenOutcome answer = testing::OpenAndWait(engine, owner.answers, path);
      !answer.opened) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), answer.text.c_str());
    return r;
  }
  const BitmapInfoHeader format = engine.GetVideoFormat();
  r.frameDuration = engine.GetSchedule().frameDuration;

  // As in the programs, the capture thread hands each frame to a writer
  // thread, waiting only while two frames wait to be written; the owner's
  // thread only hears of the frames and of the end.
  std::mutex writerMutex;
  std::condition_variable writerCv;
  std::deque<std::pair<std::string, std::vector<uint8_t>>> jobs;
  bool noMoreJobs = false;
  owner.SetFrameHandler([&](const CapturedFrame& frame) {
    std::unique_lock<std::mutex> lock(writerMutex);
    writerCv.wait(lock, [&] { return jobs.size() < 2; });
    if (r.frames < kMaxChecked) r.sampleFrames[r.frames] = frame.frame;
    jobs.emplace_back(outPrefix + std::to_string(r.frames) + ".jpg",
                      std::vector<uint8_t>(frame.pixels, frame.pixels + frame.size));
    ++r.frames;
    writerCv.notify_all();
  });
  std::thread writer([&] {
    std::unique_lock<std::mutex> lock(writerMutex);
    for (;;) {
      writerCv.wait(lock, [&] { return noMoreJobs || !jobs.empty(); });
      if (jobs.empty()) return;
      auto job = std::move(jobs.front());
      jobs.pop_front();
      writerCv.notify_all();
      lock.unlock();
      SaveBgr(job.first, format, job.second.data());
      lock.lock();
    }
  });
  for (;;) {
    auto m = owner.Next(kCaptureHangLimit);
    if (!m) {
      std::fprintf(stderr, "the capture of %s hangs\n", path.c_str());
      break;
    }
    if (m->kind == testing::CaptureOwner::Message::ended) {
      r.ok = m->value != 0;
      break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(writerMutex);
    noMoreJobs = true;
    writerCv.notify_all();
  }
  writer.join();
  engine.Close();
  r.decoded = counters->framesDecoded.load();
  r.converted = counters->framesConverted.load();
  return r;
}

// ---------------------------------------------------------------------------
// baseline: seek to the preceding key frame, decode to the sample, convert,
// write. Nothing else.

Report Baseline(const std::string& path, const std::vector<int64_t>& frames, int64_t frameDuration,
                const std::string& outPrefix) {
  Report r;
  InputRequest request;
  request.path = path;
  InputFailure failure;
  const av::FormatPtr fc(OpenInput(request, &failure));
  if (!fc) return r;
  const int index = av_find_best_stream(fc.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec =
      index >= 0 ? avcodec_find_decoder(fc->streams[index]->codecpar->codec_id) : nullptr;
  // No video stream, or none this FFmpeg decodes: nothing to measure.
  if (!codec) return r;
  const av::CodecPtr dec(avcodec_alloc_context3(codec));
  if (!dec) return r;
  AVStream* st = fc->streams[index];
  avcodec_parameters_to_context(dec.get(), st->codecpar);
  dec->thread_count = 0;
  dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (avcodec_open2(dec.get(), codec, nullptr) < 0) return r;
  const av::PacketPtr pkt(av_packet_alloc());
  const av::FramePtr frame(av_frame_alloc());
  if (!pkt || !frame) return r;
  const int w = dec->width, h = dec->height;
  const int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> bgr(static_cast<size_t>(stride) * h);
  av::SwsPtr sws;
  const int64_t start = av::StreamStart(st);
  int64_t decoded = 0;
  for (int64_t f : frames) {
    const int64_t target = av::UnitsToTicks(f * frameDuration, st->time_base, start);
    av_seek_frame(fc.get(), index, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(dec.get());
    bool done = false;
    while (!done) {
      int e = avcodec_receive_frame(dec.get(), frame.get());
      if (e == 0) {
        ++decoded;
        if (frame->best_effort_timestamp >= target) {
          sws.reset(sws_getCachedContext(
              sws.release(), frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
              w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
              nullptr, nullptr));
          uint8_t* dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
          int dstStride[4] = {stride, 0, 0, 0};
          sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
          BitmapInfoHeader header;
          header.biWidth = w;
          header.biHeight = h;
          header.biBitCount = 24;
          header.biSizeImage = static_cast<uint32_t>(stride * h);
          SaveBgr(outPrefix + std::to_string(r.frames) + ".jpg", header, bgr.data());
          if (r.frames < kMaxChecked) r.sampleFrames[r.frames] = f;
          ++r.frames;
          done = true;
        }
        av_frame_unref(frame.get());
        continue;
      }
      if (e != AVERROR(EAGAIN)) break;
      if (av_read_frame(fc.get(), pkt.get()) < 0) {
        avcodec_send_packet(dec.get(), nullptr);
        continue;
      }
      if (pkt->stream_index == index) avcodec_send_packet(dec.get(), pkt.get());
      av_packet_unref(pkt.get());
    }
  }
  r.decoded = decoded;
  r.converted = r.frames;
  r.ok = true;
  return r;
}

// ---------------------------------------------------------------------------

std::string Seconds(int64_t frame, int64_t frameDuration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f",
                static_cast<double>(frame * frameDuration) / 10'000'000.0);
  return text;
}

std::string Clock3(int64_t frame, int64_t frameDuration) {
  const int64_t seconds = frame * frameDuration / 10'000'000;
  char text[32];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  return text;
}

// Largest distance between the frame shown in each JPEG and its sample.
int FrameError(const std::string& prefix, const std::vector<int64_t>& frames) {
  int worst = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const int shown = testvideo::ReadFrameNumberFromJpeg(prefix + std::to_string(i) + ".jpg");
    if (shown < 0) return -1;
    worst = std::max(worst, static_cast<int>(std::llabs(shown - frames[i])));
  }
  return worst;
}

void RemoveJpegs(const std::string& prefix) {
  for (int i = 0; i <= kMaxChecked; ++i) std::remove((prefix + std::to_string(i) + ".jpg").c_str());
}

Measured Median(std::vector<Measured> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Measured& a, const Measured& b) { return a.wall < b.wall; });
  return runs[runs.size() / 2];
}

void PrintRow(const char* method, const Measured& m, int64_t decoded, int64_t converted, int frames,
              int frameError) {
  auto number = [](int64_t v) { return v < 0 ? std::string("-") : std::to_string(v); };
  std::printf("  %-12s %8.3f %8.3f %8.1f %9s %9s %6d %9s\n", method, m.wall, m.cpu, m.peakMb,
              number(decoded).c_str(), number(converted).c_str(), frames,
              frameError < 0 ? "unread" : std::to_string(frameError).c_str());
}

void PrintHeading(const CorpusFile& file, const char* schedule,
                  const std::vector<int64_t>& frames) {
  std::printf("\n%s: %dx%d, %s, samples at frames", file.name.c_str(), file.options.width,
              file.options.height, schedule);
  for (size_t i = 0; i < frames.size() && i < 16; ++i) std::printf(" %" PRId64, frames[i]);
  if (frames.size() > 16) std::printf(" ... (%zu)", frames.size());
  std::printf("\n  %-12s %8s %8s %8s %9s %9s %6s %9s\n", "method", "wall s", "cpu s", "peak MB",
              "decoded", "converted", "jpegs", "frame err");
}

// A sample every 2 s: the engine against one ffmpeg pass through the fps
// filter writing the same JPEGs.
void PrintDenseRows(const CorpusFile& file, const char* schedule, const Measured& o,
                    const std::vector<int64_t>& frames, const std::string& path,
                    const std::string& out, int runs, bool haveFfmpeg, bool* goalsMet) {
  PrintHeading(file, schedule, frames);
  PrintRow("ombrelo", o, o.report.decoded, o.report.converted, o.report.frames,
           FrameError(out + "ombrelo_", frames));
  if (!haveFfmpeg) return;
  std::vector<Measured> all;
  for (int i = 0; i < runs; ++i) {
    Measured m;
    RunCommand({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", path, "-vf", "fps=1/2",
                "-q:v", "3", "-start_number", "0", out + "fps_%d.jpg"},
               &m);
    all.push_back(m);
  }
  const Measured fps = Median(all);
  PrintRow("ffmpeg-fps", fps, -1, -1, static_cast<int>(frames.size()),
           FrameError(out + "fps_", frames));
  const double ratio = o.wall / fps.wall;
  std::printf("  ombrelo / ffmpeg-fps %.2f (goal <= 0.90)\n", ratio);
  std::fflush(stdout);
  *goalsMet = *goalsMet && ratio <= 0.9;
}

struct BenchOptions {
  std::string corpus = OMBRELO_BENCH_CORPUS;
  int runs = 3;
  bool quick = false;
  bool denseOnly = false;
  std::string only;
};

bool ParseArgs(int argc, char** argv, BenchOptions* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--corpus" && i + 1 < argc) {
      o->corpus = argv[++i];
    } else if (a == "--runs" && i + 1 < argc) {
      o->runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--quick") {
      o->quick = true;
    } else if (a == "--dense") {
      o->denseOnly = true;
    } else if (a == "--file" && i + 1 < argc) {
      o->only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--corpus DIR] [--runs N] [--quick] [--dense] [--file TEXT]\n",
                   argv[0]);
      return false;
    }
  }
  return true;
}

struct Schedule {
  const char* name;
  CaptureSettings settings;
  bool dense = false;  // compared with one ffmpeg pass through the fps filter
};

std::vector<Schedule> Schedules() {
  std::vector<Schedule> schedules = {{"default capture settings", CaptureSettings{}}};
  // The defaults put every sample of these files on a key frame; this one
  // lands between key frames, so each sample needs decoding to reach.
  schedules.push_back({"first at 64.96 s, then every 50.4 s", CaptureSettings{}});
  schedules.back().settings.delaybeforefirst = 64.96;
  schedules.back().settings.delaybetweensamples = 50.4;
  // A sample every 2 s from the start: file k of the fps filter shows sample k.
  schedules.push_back({"every 2 s", CaptureSettings{}, true});
  schedules.back().settings.delaybeforefirst = 0;
  schedules.back().settings.delaybetweensamples = 2;
  return schedules;
}

// The peers' median over runs: one command per sample, named by `prefix`.
Measured PerSampleCommands(int runs, const std::vector<int64_t>& frames,
                           const std::function<std::vector<std::string>(size_t)>& command) {
  std::vector<Measured> all;
  for (int i = 0; i < runs; ++i) {
    Measured m;
    for (size_t k = 0; k < frames.size(); ++k) RunCommand(command(k), &m);
    all.push_back(m);
  }
  return Median(all);
}

// A sparse schedule: the engine against the least work for the same frames,
// one ffmpeg call and one thumbnailer call per sample.
void PrintSparseRows(const CorpusFile& file, const Schedule& schedule, const Measured& o,
                     const std::vector<int64_t>& frames, int64_t T, const std::string& path,
                     const std::string& out, int runs, bool haveFfmpeg, bool haveThumbnailer,
                     bool* goalsMet) {
  std::vector<Measured> base;
  for (int i = 0; i < runs; ++i)
    base.push_back(RunInChild([&] { return Baseline(path, frames, T, out + "baseline_"); }));
  const Measured b = Median(base);
  Measured cli, thumb;
  if (haveFfmpeg) {
    cli = PerSampleCommands(runs, frames, [&](size_t k) -> std::vector<std::string> {
      return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-ss", Seconds(frames[k], T),
              "-i", path, "-frames:v", "1", "-q:v", "3", out + "cli_" + std::to_string(k) + ".jpg"};
    });
  }
  if (haveThumbnailer) {
    thumb = PerSampleCommands(runs, frames, [&](size_t k) -> std::vector<std::string> {
      return {"ffmpegthumbnailer", "-i", path, "-o", out + "thumb_" + std::to_string(k) + ".jpg",
              "-s", "0", "-q", "8", "-t", Clock3(frames[k], T)};
    });
  }

  PrintHeading(file, schedule.name, frames);
  PrintRow("ombrelo", o, o.report.decoded, o.report.converted, o.report.frames,
           FrameError(out + "ombrelo_", frames));
  PrintRow("baseline", b, b.report.decoded, b.report.converted, b.report.frames,
           FrameError(out + "baseline_", frames));
  if (haveFfmpeg)
    PrintRow("ffmpeg-cli", cli, -1, -1, static_cast<int>(frames.size()),
             FrameError(out + "cli_", frames));
  if (haveThumbnailer)
    PrintRow("thumbnailer", thumb, -1, -1, static_cast<int>(frames.size()),
             FrameError(out + "thumb_", frames));
  const double vsBase = o.wall / b.wall;
  std::printf("  ombrelo / baseline %.2f (goal <= 1.30)", vsBase);
  *goalsMet = *goalsMet && vsBase <= 1.3;
  if (haveFfmpeg) {
    const double vsCli = o.wall / cli.wall;
    const double goal =
        schedule.settings.delaybetweensamples == CaptureSettings{}.delaybetweensamples
            ? file.cliGoal
            : 1.0;
    std::printf(", ombrelo / ffmpeg-cli %.2f (goal <= %.2f)", vsCli, goal);
    *goalsMet = *goalsMet && vsCli <= goal;
  }
  if (haveThumbnailer) std::printf(", ombrelo / thumbnailer %.2f", o.wall / thumb.wall);
  std::printf("\n");
  std::fflush(stdout);
}

bool MakeIfMissing(CorpusFile& file, const std::string& path) {
  if (Exists(path)) return true;
  std::printf("making %s ...\n", file.name.c_str());
  std::fflush(stdout);
  file.options.path = path;
  std::string error;
  if (testvideo::Generate(file.options, &error)) return true;
  std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  BenchOptions options;
  if (!ParseArgs(argc, argv, &options)) return 2;
  const int runs = options.runs;
  const std::string corpus = paths::WithTrailingSeparator(options.corpus);
  paths::CreateFolders(corpus);
  const std::string out = corpus + "out/";
  paths::CreateFolders(out);
  const bool haveFfmpeg = HaveCommand("ffmpeg");
  const bool haveThumbnailer = HaveCommand("ffmpegthumbnailer");

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("corpus: %s (median of %d runs; each method in a child process)\n", corpus.c_str(),
              runs);
  std::printf("machine: %ld cores, load average %.2f at the start\n", sysconf(_SC_NPROCESSORS_ONLN),
              load[0]);
  if (!haveThumbnailer) std::printf("ffmpegthumbnailer is not installed: its rows are left out\n");

  bool goalsMet = true;
  for (CorpusFile& file : Corpus(options.quick)) {
    if (file.name.find(options.only) == std::string::npos) continue;
    const std::string path = corpus + file.name;
    if (!MakeIfMissing(file, path)) return 1;
    WarmCache(path);
    for (const Schedule& schedule : Schedules()) {
      if (options.denseOnly && !schedule.dense) continue;
      const CaptureSettings& settings = schedule.settings;
      for (const char* method : {"ombrelo_", "baseline_", "cli_", "thumb_", "fps_"})
        RemoveJpegs(out + method);

      std::vector<Measured> ours;
      for (int i = 0; i < runs; ++i)
        ours.push_back(
            RunInChild([&] { return CaptureWithEngine(path, settings, out + "ombrelo_"); }));
      const Measured o = Median(ours);
      if (!o.report.ok || o.report.frames == 0) {
        std::fprintf(stderr, "the capture of %s failed\n", file.name.c_str());
        return 1;
      }
      std::vector<int64_t> frames(o.report.sampleFrames,
                                  o.report.sampleFrames + std::min(o.report.frames, kMaxChecked));
      if (schedule.dense)
        PrintDenseRows(file, schedule.name, o, frames, path, out, runs, haveFfmpeg, &goalsMet);
      else
        PrintSparseRows(file, schedule, o, frames, o.report.frameDuration, path, out, runs,
                        haveFfmpeg, haveThumbnailer, &goalsMet);
    }
  }
  std::printf("\n%s\n", goalsMet ? "all goals met" : "some goals missed");
  return 0;
}
