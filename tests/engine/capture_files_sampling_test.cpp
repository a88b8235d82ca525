// Captures of real files made by the test-video generator, through the FFmpeg
// pipeline: the frames handed over are exactly the scheduled ones (read back
// from their pixels), seeking or decoding straight through as the schedule
// says, whole after a seek, and timed from the file's start.
#include <gtest/gtest.h>

#include <cmath>

#include "capture_files_support.h"
#include "engine/ffmpeg_support.h"
#include "support/debug_capture.h"
#include "support/ffmpeg_reference.h"

namespace ombrelo {
namespace {

using testing::AsInts;
using testing::Capture;
using testing::Kind;
using testing::kKinds;
using testing::NameOf;
using testing::Outcome;
using testing::Samples;
using testing::Small;
using testing::Videos;
using testvideo::VideoOptions;

TEST(CaptureFiles, TakesExactlyTheScheduledFramesInEveryContainerAndCodec) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(NameOf(kind));
    const std::string path =
        Videos::Get().Make(Small(kind.container, kind.codec, kind.bFrames), NameOf(kind));
    if (path.empty()) continue;
    {
      SCOPED_TRACE("samples 100 frames apart: seeks between them");
      const Outcome o = Capture(path, Samples(1, 4));
      ASSERT_TRUE(o.opened) << o.errorText;
      EXPECT_EQ(o.format.biWidth, 160);
      EXPECT_EQ(o.format.biHeight, 120);
      EXPECT_EQ(o.format.biBitCount, 24);
      EXPECT_EQ(o.format.biSizeImage, 160u * 3 * 120);
      EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 125, 225}));
      EXPECT_EQ(o.numbers, AsInts(o.frames));
      EXPECT_TRUE(o.completed);
      EXPECT_GE(o.seeks, 3) << "to the first sample and ahead to each of the others";
      // From the key frame before each sample (every 50 frames) to it.
      EXPECT_LE(o.decoded, 3 * 26 + 10) << "seeking skips most of the file";
      EXPECT_EQ(o.converted, 3);
      EXPECT_TRUE(o.statuses.empty());
    }
    {
      SCOPED_TRACE("samples 50 frames apart: decodes on without seeking");
      const Outcome o = Capture(path, Samples(1, 2));
      ASSERT_TRUE(o.opened) << o.errorText;
      EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 75, 125, 175, 225, 275}));
      EXPECT_EQ(o.numbers, AsInts(o.frames));
      EXPECT_TRUE(o.completed);
      EXPECT_LE(o.seeks, 1) << "at most to the first sample (a file without index may not seek)";
      // Where the file lists its key frames, the packets between a sample
      // and the key frame before the next one are read but not decoded;
      // elsewhere pictures no other refers to are left out on the way.
      const bool listsKeyFrames =
          kind.container != std::string("mpg") && kind.container != std::string("ts");
      if (listsKeyFrames)
        EXPECT_LE(o.decoded, 6 * 26 + 10);
      else
        EXPECT_LT(o.decoded, 250);
      EXPECT_EQ(o.preroll, 0);
      EXPECT_EQ(o.converted, 6);
    }
  }
}

TEST(CaptureFiles, SamplesFarIntoTheFileAreReachedFromFortyFramesEarlier) {
  // 420 frames; samples at 12 s (frame 300, positioned to 260) and 410.
  VideoOptions o = Small("mpg", "mpeg2video", 2, 420);
  o.keyframeInterval = 15;
  const std::string mpg = Videos::Get().Make(o, "long.mpg");
  const std::string mp4 = Videos::Get().Make(Small("mp4", "h264", 2, 420), "long.mp4");
  for (const std::string& path : {mpg, mp4}) {
    SCOPED_TRACE(path);
    const Outcome out = Capture(path, Samples(12, 4.4));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.frames, (std::vector<int64_t>{300, 410}));
    EXPECT_EQ(out.numbers, AsInts(out.frames));
    EXPECT_TRUE(out.completed);
    EXPECT_LT(out.decoded, 250);
  }
}

TEST(CaptureFiles, IntervalsOfNoWholeNumberOfFramesFallOnTheNearestFrames) {
  const std::string mp4 = Videos::Get().Make(Small("mp4", "h264", 2, 420), "long.mp4");
  // 12.5 frames apart, decoded through; 90.5 frames apart, with seeks.
  for (const double every : {0.5, 3.62}) {
    SCOPED_TRACE(every);
    const CaptureSettings settings = Samples(0.2, every);
    const Outcome out = Capture(mp4, settings);
    ASSERT_TRUE(out.opened) << out.errorText;
    const SamplingSchedule schedule =
        ComputeSchedule(settings, 420 * 400'000, 400'000, true).schedule;
    std::vector<int64_t> expected = NominalSampleFrames(schedule);
    std::erase_if(expected, [](int64_t frame) { return frame >= 420; });
    EXPECT_EQ(out.frames, expected);
    EXPECT_EQ(out.numbers, AsInts(out.frames));
    ASSERT_GE(out.frames.size(), 4u);
    for (size_t k = 0; k < out.frames.size(); ++k) {
      const double asked = 0.2 + every * static_cast<double>(k);
      EXPECT_LE(std::abs(static_cast<double>(out.frames[k]) * 0.04 - asked), 0.02 + 1e-9) << k;
    }
    EXPECT_TRUE(out.completed);
  }
}

TEST(CaptureFiles, SamplesWhoseKeyFrameWasDecodedAreReachedWithoutSeekingBack) {
  // Key frames every 250 frames; samples every 100 from frame 25. Frames 125
  // and 225 lie in the group of pictures decoding is already in, and so does
  // 425 once 325 has been taken from the key frame at 250.
  const Kind kinds[] = {{"mp4", "h264", 2}, {"avi", "mpeg4", 2}, {"mkv", "h264", 2}};
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(NameOf(kind));
    VideoOptions options = Small(kind.container, kind.codec, kind.bFrames, 600);
    options.keyframeInterval = 250;
    const std::string path = Videos::Get().Make(options, NameOf(kind, "_gop250"));
    auto counters = std::make_shared<PipelineCounters>();
    FfmpegPipelineOptions pipelineOptions;
    pipelineOptions.counters = counters;
    const Outcome o = Capture(path, Samples(1, 4), false, pipelineOptions);
    ASSERT_TRUE(o.opened) << o.errorText;
    EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 125, 225, 325, 425, 525}));
    EXPECT_EQ(o.numbers, AsInts(o.frames));
    EXPECT_TRUE(o.completed);
    // The opening position, then only forward to the key frames at 250 and 500.
    EXPECT_EQ(counters->seeks.load(), 3);
    EXPECT_EQ(counters->seeksSpared.load(), 3);
    EXPECT_LT(o.decoded, 525) << "no frame is decoded twice";
  }
}

// Frames left out on the way to a sample (pictures nothing refers to, and
// the packets before the key frame of the next sample) change no pixel of
// the frames taken.
TEST(CaptureFiles, LeavingOutFramesOnTheWayChangesNoPixel) {
  const Kind kinds[] = {{"mp4", "h264", 2},
                        {"mkv", "mpeg4", 2},
                        {"avi", "mpeg4", 2},
                        {"webm", "vp9", 0},
                        {"ts", "h264", 2}};
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(NameOf(kind));
    const std::string path =
        Videos::Get().Make(Small(kind.container, kind.codec, kind.bFrames), NameOf(kind));
    FfmpegPipelineOptions everything;
    everything.skipNonReferenceInPreroll = false;
    const Outcome all = Capture(path, Samples(1, 2), true, everything);
    const Outcome fewer = Capture(path, Samples(1, 2), true);
    ASSERT_EQ(all.frames, (std::vector<int64_t>{25, 75, 125, 175, 225, 275}));
    EXPECT_EQ(fewer.frames, all.frames);
    EXPECT_LT(fewer.decoded, all.decoded);
    ASSERT_EQ(fewer.pixels.size(), all.pixels.size());
    for (size_t i = 0; i < all.pixels.size(); ++i)
      EXPECT_TRUE(fewer.pixels[i] == all.pixels[i]) << "frame " << all.frames[i];
  }
}

// A picture shrunk to 160 pixels wide (by area), top-down BGR rows: the
// size at which two decodings of the same frame are compared.
std::vector<uint8_t> At160(const uint8_t* topRow, int width, int height, int stride) {
  const int outHeight = height * 160 / width;
  std::vector<uint8_t> out(static_cast<size_t>(160) * 3 * outHeight);
  const av::SwsPtr sws(sws_getContext(width, height, AV_PIX_FMT_BGR24, 160, outHeight,
                                      AV_PIX_FMT_BGR24, SWS_AREA, nullptr, nullptr, nullptr));
  if (!sws) return {};
  const uint8_t* src[4] = {topRow, nullptr, nullptr, nullptr};
  const int srcStride[4] = {stride, 0, 0, 0};
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dstStride[4] = {160 * 3, 0, 0, 0};
  sws_scale(sws.get(), src, srcStride, 0, height, dst, dstStride);
  return out;
}

// Mean absolute difference (0 to 255) between a taken frame and FFmpeg's
// own decoding of the whole file at that frame, both 160 pixels wide; 255
// when either is missing.
double DifferenceFromFfmpeg(const std::string& path, int64_t frame,
                            const std::vector<uint8_t>& taken, const BitmapInfoHeader& format) {
  const int width = format.biWidth, height = format.biHeight;
  const int stride = static_cast<int>(format.biSizeImage) / height;
  const std::string reference = testing::FfmpegFrame(path, frame, "");
  if (reference.size() != static_cast<size_t>(width) * 3 * height ||
      taken.size() < static_cast<size_t>(stride) * height)
    return 255;
  const std::vector<uint8_t> ours = At160(taken.data(), width, height, stride);
  const std::vector<uint8_t> theirs =
      At160(reinterpret_cast<const uint8_t*>(reference.data()), width, height, width * 3);
  if (ours.empty() || ours.size() != theirs.size()) return 255;
  double sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) sum += std::abs(int{ours[i]} - int{theirs[i]});
  return sum / static_cast<double>(ours.size());
}

TEST(CaptureFiles, FramesTakenAfterASeekAreWholeInStreamsWithRareKeyFrames) {
  // 50 frames per second, 25 s; samples at 3 s and then every 8 s, each
  // reached by a seek. None of these streams has a key frame the demuxer
  // can seek to near a sample: decoding must start from the last real key
  // frame or recovery point before it, never from the picture the seek
  // landed on.
  struct Shape {
    const char* name;
    const char* container;
    const char* keyFrames;
    int bFrames;
  };
  const Shape shapes[] = {
      {"one IDR picture, then P and B only", "ts", "first", 2},
      {"one IDR picture, P only", "ts", "first", 0},
      {"intra refresh with recovery points", "ts", "intra-refresh", 0},
      {"key frames the container does not flag", "mp4", "unflagged", 2},
      {"key frames the container does not flag", "mkv", "unflagged", 0},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(std::string(shape.name) + " in " + shape.container);
    VideoOptions o = testing::SmallVideo(1250);
    o.width = 320;
    o.height = 240;
    o.fpsNum = 50;
    o.container = shape.container;
    o.codec = "h264";
    o.keyFrames = shape.keyFrames;
    o.keyframeInterval = 120;
    o.maxBFrames = shape.bFrames;
    const std::string path =
        Videos::Get().Make(o, std::string("rare_keys_") + shape.keyFrames + "_b" +
                                  std::to_string(shape.bFrames) + "." + shape.container);
    if (path.empty()) continue;
    testing::DebugCapture debug;
    const Outcome out = Capture(path, Samples(3, 8), /*keepPixels=*/true);
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_TRUE(out.completed);
    EXPECT_EQ(out.frames, (std::vector<int64_t>{150, 550, 950}));
    EXPECT_EQ(out.numbers, AsInts(out.frames)) << debug.Text();
    EXPECT_GE(out.seeks, 1);
    for (size_t i = 0; i < out.pixels.size() && i < out.frames.size(); ++i) {
      SCOPED_TRACE("frame " + std::to_string(out.frames[i]));
      EXPECT_LE(DifferenceFromFfmpeg(path, out.frames[i], out.pixels[i], out.format), 6.0);
    }
    if (shape.keyFrames == std::string("first")) {
      EXPECT_TRUE(testing::Contains(debug.Text(), "ffmpeg: no key frame before "))
          << "the debug output says where decoding began instead: " << debug.Text();
    }
  }
}

TEST(CaptureFiles, FramesDecodedBeforeThePictureRecoversAreNeverTaken) {
  // An intra-refresh stream joined late (its IDR picture cut away, as a
  // recording of a broadcast begins): decoding can begin only at the
  // recovery point of frame 240, and the pictures of the sweep that follows
  // it are still incomplete. The decoder marks them; none is taken.
  VideoOptions o = testing::SmallVideo(500);
  o.fpsNum = 50;
  o.container = "ts";
  o.codec = "h264";
  o.keyFrames = "intra-refresh";
  o.keyframeInterval = 120;
  const std::string whole = Videos::Get().Make(o, "intra_refresh_50.ts");
  ASSERT_FALSE(whole.empty());
  const std::string bytes = testing::ReadFileBytes(whole);
  testing::TempFolder folder("engine-joined-late");
  const std::string path = folder / "joined late.ts";
  ASSERT_TRUE(testing::WriteFileBytes(path, bytes.substr(bytes.size() / 4 / 188 * 188)));
  testing::DebugCapture debug;
  const Outcome out = Capture(path, Samples(0, 0.02));  // every frame
  ASSERT_TRUE(out.opened) << out.errorText;
  EXPECT_TRUE(out.ended);
  ASSERT_FALSE(out.numbers.empty());
  EXPECT_GT(out.numbers.front(), 241) << "the sweep after the recovery point is left out";
  EXPECT_LT(out.numbers.front(), 270);
  EXPECT_EQ(out.numbers.back(), 499);
  EXPECT_TRUE(testing::Contains(debug.Text(),
                                "decoded before the picture recovered; it is not "
                                "taken"))
      << debug.Text();
}

TEST(CaptureFiles, TimesCountFromTheFilesStartWhereTheVideoStartsLate) {
  // 20 frames per second, the first picture half a second (10 frames) into
  // the file, audio from 0. A player shows picture k at 0.5 + k / 20 s: the
  // frame taken for a moment is the picture shown then, named by that time.
  for (const char* container : {"mp4", "ts", "mkv"}) {
    SCOPED_TRACE(container);
    VideoOptions o = testing::SmallVideo(240);
    o.fpsNum = 20;
    o.container = container;
    o.codec = "h264";
    o.videoStart = 0.5;
    o.audioSeconds = 13;
    o.keyframeInterval = 40;
    const std::string path = Videos::Get().Make(o, std::string("late_video.") + container);
    if (path.empty()) continue;
    {
      SCOPED_TRACE("every 0.5 s from 1 s, decoding on");
      CaptureSettings settings = Samples(1, 0.5);
      settings.sampleduration = 2;
      const Outcome out = Capture(path, settings);
      ASSERT_TRUE(out.opened) << out.errorText;
      EXPECT_NEAR(out.durationSeconds, 12.5, 0.05) << "the last picture ends 12.5 s in";
      EXPECT_EQ(out.frames, (std::vector<int64_t>{20, 30, 40, 50, 60}));
      EXPECT_EQ(out.numbers, (std::vector<int>{10, 20, 30, 40, 50}));
      ASSERT_EQ(out.times.size(), 5u);
      // Within the audio encoder's priming, which moves the file's start a
      // little ahead of the first sound.
      for (size_t i = 0; i < out.times.size(); ++i)
        EXPECT_NEAR(out.times[i], 1.0 + 0.5 * static_cast<double>(i), 0.025);
    }
    {
      SCOPED_TRACE("every 4 s from 2 s, seeking; the last picture is reached");
      const Outcome out = Capture(path, Samples(2, 4));
      ASSERT_TRUE(out.opened) << out.errorText;
      EXPECT_EQ(out.frames, (std::vector<int64_t>{40, 120, 200}));
      EXPECT_EQ(out.numbers, (std::vector<int>{30, 110, 190}));
      ASSERT_EQ(out.times.size(), 3u);
      EXPECT_NEAR(out.times[2], 10.0, 0.025);
      const Outcome last = Capture(path, Samples(12.46, -1));  // the last picture, 239
      EXPECT_EQ(last.numbers, std::vector<int>{239});
    }
  }
}

}  // namespace
}  // namespace ombrelo
