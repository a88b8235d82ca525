#pragma once
// What the captures of real files share: the videos, made once per test
// program, a capture run to its end as the owner would, with what it gave,
// and the frame number read back from a taken frame's pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "support/capture_owner.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo::testing {

// Videos are made once per test program run and shared by the tests.
struct Videos {
  static testing::VideoCache& Get() {
    static testing::VideoCache videos{"engine-videos"};
    return videos;
  }
};

inline testvideo::VideoOptions Small(const std::string& container, const std::string& codec,
                                     int bFrames = 0, int64_t frames = 300) {
  testvideo::VideoOptions o = testing::SmallVideo(frames);
  o.container = container;
  o.codec = codec;
  o.maxBFrames = bFrames;
  return o;
}

// The owner's side of a capture, run on the test thread as the main window's
// thread would: frames are copied on the capture thread and read here.
using Owner = testing::CaptureOwner;

// The frame number drawn in a taken frame (top-down BGR rows).
inline int ReadNumber(const std::vector<uint8_t>& pixels, const BitmapInfoHeader& format,
                      int* rotation = nullptr) {
  const int width = format.biWidth, height = format.biHeight;
  const int stride = static_cast<int>(format.biSizeImage) / height;
  if (pixels.size() < static_cast<size_t>(stride) * height) return -2;
  if (rotation)
    return testvideo::ReadFrameNumberAnyRotation(pixels.data(), width, height, stride,
                                                 testvideo::PixelOrder::BGR24, rotation);
  return testvideo::ReadFrameNumber(pixels.data(), width, height, stride,
                                    testvideo::PixelOrder::BGR24);
}

struct Outcome {
  bool opened = false;
  MediaError result = MediaError::none;
  std::string errorText;
  BitmapInfoHeader format;
  std::vector<int64_t> frames;  // frame numbers the engine gave
  std::vector<int> numbers;     // frame numbers read from the pixels
  std::vector<double> times;    // seconds, as the frames' names give them
  double durationSeconds = 0;   // the movie's length as the engine took it
  std::vector<std::vector<uint8_t>> pixels;
  int64_t seeks = 0;  // repositionings of the demuxer
  bool ended = false;
  bool completed = false;
  std::vector<std::string> statuses;
  int64_t decoded = 0, converted = 0, preroll = 0, decodeErrors = 0;  // by the pipeline
};

inline CaptureSettings Samples(double first, double period) {
  CaptureSettings s;
  s.delaybeforefirst = first;
  s.delaybetweensamples = period;
  return s;
}

// Opens, captures to the end as the owner would, closes. The pipeline takes
// `options` and counts into their counters when given.
inline Outcome Capture(const std::string& path, const CaptureSettings& settings,
                       bool keepPixels = false, FfmpegPipelineOptions options = {}) {
  Outcome out;
  if (!options.counters) options.counters = std::make_shared<PipelineCounters>();
  const std::shared_ptr<PipelineCounters> counters = options.counters;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  Owner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(settings);
  const OpenOutcome answer = testing::OpenAndWait(engine, owner.answers, path);
  out.opened = answer.opened;
  out.result = answer.code;
  out.errorText = answer.text;
  if (!out.opened) return out;
  out.format = engine.GetVideoFormat();
  out.durationSeconds = engine.GetDurationSeconds();
  while (!out.ended) {
    auto m = owner.Next();
    if (!m) {
      ADD_FAILURE() << "the capture of " << path << " hangs";
      break;
    }
    switch (m->kind) {
      case Owner::Message::frame:
        out.frames.push_back(m->value);
        out.times.push_back(m->time);
        out.numbers.push_back(ReadNumber(m->pixels, out.format));
        if (keepPixels) out.pixels.push_back(std::move(m->pixels));
        break;
      case Owner::Message::status:
        out.statuses.push_back(m->text);
        break;
      case Owner::Message::ended:
        out.ended = true;
        out.completed = m->value != 0;
        break;
      case Owner::Message::state:
        break;
    }
  }
  engine.Close();
  out.decoded = counters->framesDecoded.load();
  out.converted = counters->framesConverted.load();
  out.preroll = counters->prerollFrames.load();
  out.decodeErrors = counters->decodeErrors.load();
  out.seeks = counters->seeks.load();
  return out;
}

inline std::vector<int> AsInts(const std::vector<int64_t>& v) {
  return std::vector<int>(v.begin(), v.end());
}

struct Kind {
  const char* container;
  const char* codec;
  int bFrames;
};

// Every container the generator writes, and every codec.
inline const Kind kKinds[] = {
    {"mp4", "h264", 2},       {"mov", "h264", 0},       {"mkv", "h264", 2},
    {"mkv", "mpeg4", 2},      {"avi", "mpeg4", 2},      {"avi", "mpeg4", 0},
    {"avi", "mjpeg", 0},      {"webm", "vp9", 0},       {"webm", "vp8", 0},
    {"mpg", "mpeg2video", 2}, {"mpg", "mpeg1video", 2}, {"ts", "h264", 2},
    {"ts", "mpeg2video", 2},  {"mp4", "mpeg4", 2},
};

inline std::string NameOf(const Kind& k, const std::string& extra = "") {
  return std::string(k.codec) + "_b" + std::to_string(k.bFrames) + extra + "." + k.container;
}

}  // namespace ombrelo::testing
