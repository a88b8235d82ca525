// The representative frame: pictures that are nearly one flat colour are
// told from real ones; the grab takes the key frame at or after a quarter of
// the video, decoded by itself, as FFmpeg decodes that frame; it goes on past
// flat frames and ends within its time limit.
#include "engine/thumbnail_grab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/ffmpeg_pipeline.h"
#include "engine/frame_metrics.h"
#include "support/ffmpeg_reference.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

// A w x h BGR picture of grey `level`, with `bright` rows [top, bottom) set to 255.
std::vector<uint8_t> Grey(int w, int h, uint8_t level, int top = 0, int bottom = 0) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h * 3, level);
  std::fill(p.begin() + top * w * 3, p.begin() + bottom * w * 3, 255);
  return p;
}

TEST(FrameMetrics, NearlyFlatPicturesAreToldFromRealOnes) {
  const int w = 320, h = 240;
  std::vector<uint8_t> fade = Grey(w, h, 12), frame(fade.size()), gradient(fade.size());
  std::mt19937 random(7);
  for (uint8_t& v : fade) v = static_cast<uint8_t>(v + random() % 12);
  testvideo::DrawFrame(40, frame.data(), w, h, w * 3, testvideo::PixelOrder::BGR24);
  for (size_t i = 0; i < gradient.size(); ++i) gradient[i] = static_cast<uint8_t>(i / 3 % w / 4);
  const std::pair<std::vector<uint8_t>, bool> cases[] = {
      {Grey(w, h, 0), true},             // black
      {fade, true},                      // the end of a fade, with noise
      {Grey(w, h, 0, 110, 116), true},   // a title card: one line of text
      {Grey(w, h, 0, 0, h / 2), false},  // half black, half white
      {frame, false},                    // a frame of a test video
      {gradient, false},                 // a dark scene
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const std::vector<uint8_t>& p = cases[i].first;
    EXPECT_EQ(IsNearlyFlat(p.data(), w, h, w * 3), cases[i].second);
    // Read bottom-up, from its last row.
    EXPECT_EQ(IsNearlyFlat(p.data() + (h - 1) * w * 3, w, h, -w * 3), cases[i].second);
  }
  EXPECT_TRUE(IsNearlyFlat(nullptr, 0, 0, 0));
}

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"grab-videos"};
  return videos;
}

struct Grabbed {
  GrabResult result;
  int number = -1;  // the frame number drawn into it
  std::shared_ptr<PipelineCounters> counters = std::make_shared<PipelineCounters>();
};

Grabbed Grab(const std::string& path, int size = 160) {
  Grabbed g;
  GrabOptions options;
  options.maxSize = size;
  options.counters = g.counters;
  g.result = GrabRepresentativeFrame(path, options);
  const GrabbedFrame& f = g.result.frame;
  if (g.result.ok)
    g.number = testvideo::ReadFrameNumber(f.bgr.data(), f.width, f.height, f.width * 3,
                                          testvideo::PixelOrder::BGR24);
  return g;
}

// Mean absolute difference, in levels, from FFmpeg's own decode of frame
// `number` scaled to the grabbed size (with `scaleOptions`), then put
// through `filters`.
double DifferenceFromFfmpeg(const std::string& path, int number, const GrabbedFrame& f,
                            const std::string& filters = "", const std::string& scaleOptions = "") {
  const std::string reference =
      testing::FfmpegFrame(path, number,
                           "scale=" + std::to_string(f.width) + ":" + std::to_string(f.height) +
                               scaleOptions + "," + filters);
  if (reference.size() != f.bgr.size()) return 255;
  double sum = 0;
  for (size_t i = 0; i < reference.size(); ++i)
    sum += std::abs(f.bgr[i] - static_cast<uint8_t>(reference[i]));
  return sum / static_cast<double>(reference.size());
}

// `source` encoded again as H.264 by the ffmpeg command with `args` (and a
// key frame every `keyFrames` frames) into `out`; "" when that fails.
std::string Reencoded(const std::string& source, const std::string& out, const std::string& args,
                      int keyFrames) {
  const std::string g = std::to_string(keyFrames);
  const std::string command = "ffmpeg -nostdin -v error -y -i '" + source + "' " + args +
                              " -c:v libx264 -preset ultrafast -g " + g + " -keyint_min " + g +
                              " -sc_threshold 0 -an '" + out + "'";
  return std::system(command.c_str()) == 0 ? out : "";
}

// The video with its frames re-timed: the first 200 at 50 per second, the
// rest at 25, a key frame every 40 frames (so a quarter of its 12 seconds
// is frame 150, and the key frame after it frame 160; counting frames it
// would be frame 120).
std::string VariableRate(const std::string& source, const std::string& out) {
  return Reencoded(source, out,
                   "-vf \"setpts='if(lt(N,200),N*0.02,4+(N-200)*0.04)/TB'\" -fps_mode passthrough",
                   40);
}

// The video squeezed to 240 x 240 pixels of 4:3 shape that only its H.264
// stream tells (the MP4 file says nothing of it).
std::string PixelShapeInStreamOnly(const std::string& source, const std::string& out) {
  return Reencoded(source, out,
                   "-vf scale=240:240,setsar=0 -bsf:v h264_metadata=sample_aspect_ratio=4/3", 60);
}

TEST(ThumbnailGrab, TheKeyFrameAtOrAfterAQuarterDecodedAloneAsFfmpegDecodesIt) {
  testing::TempFolder folder("grab-shapes");
  auto video = [](const char* container, const char* codec, int keyframes, int bFrames) {
    testvideo::VideoOptions o = testing::SmallVideo(400);
    o.width = 320;
    o.height = 240;
    o.container = container;
    o.codec = codec;
    o.keyframeInterval = keyframes;
    o.maxBFrames = bFrames;
    return o;
  };
  const std::string h264 = Videos().Make(video("mp4", "h264", 60, 2), "h264.mp4");
  const struct {
    const char* name;
    std::string path;
    int frame;
  } cases[] = {
      {"H.264 in MP4 with B-frames", h264, 120},
      {"HEVC in MPEG-TS", Videos().Make(video("ts", "hevc", 60, 0), "hevc.ts"), 120},
      {"rare key frames", Videos().Make(video("mkv", "h264", 150, 0), "rare.mkv"), 150},
      {"VP9 in WebM", Videos().Make(video("webm", "vp9", 60, 0), "vp9.webm"), 120},
      {"variable frame rate", VariableRate(h264, folder / "vfr.mp4"), 160},
      {"pixel shape in the stream only", PixelShapeInStreamOnly(h264, folder / "shape.mp4"), 120},
      // Nothing after the first key frame: that one, not a frame decoded
      // without it.
      {"one key frame", Videos().Make(video("mp4", "h264", 1000, 0), "one-key.mp4"), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.path.empty());
    const Grabbed g = Grab(c.path);
    ASSERT_TRUE(g.result.ok) << g.result.error;
    EXPECT_EQ(g.number, c.frame);
    EXPECT_FALSE(g.result.frame.flat);
    EXPECT_EQ(g.result.frame.width, 160);
    EXPECT_EQ(g.result.frame.height, 120);
    // That one frame decoded, converted once, after one seek.
    EXPECT_EQ(g.counters->framesDecoded.load(), 1);
    EXPECT_EQ(g.counters->framesConverted.load(), 1);
    EXPECT_LE(g.counters->seeks.load(), c.frame == 0 ? 2 : 1);
    EXPECT_LE(DifferenceFromFfmpeg(c.path, c.frame, g.result.frame), 6.0);
  }
}

// MPEG program streams find a time only roughly: a seek to before the one
// key frame lands after it, so the grab reads from the file's first byte.
TEST(ThumbnailGrab, AProgramStreamWhoseOnlyKeyFrameIsItsFirstGivesThatFrame) {
  testvideo::VideoOptions o = testing::SmallVideo(50);
  o.container = "mpg";
  const std::string path = Videos().Make(o, "one-key.mpg");
  ASSERT_FALSE(path.empty());
  const Grabbed g = Grab(path);
  ASSERT_TRUE(g.result.ok) << g.result.error;
  EXPECT_EQ(g.number, 0);
  EXPECT_FALSE(g.result.frame.flat);
}

TEST(ThumbnailGrab, FlatKeyFramesGiveWayToTheNextThenToTheNextPoint) {
  const struct {
    const char* name;
    std::vector<testvideo::VideoOptions::FrameRange> black;
    int frame;  // -1: no frame number (flat)
  } cases[] = {
      {"a black key frame at the quarter", {{95, 105}}, 150},
      {"black up to past the middle", {{0, 259}}, 300},  // 100 and 150, 200 and 250 are black
      {"black all through", {{0, 399}}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testvideo::VideoOptions o = testing::SmallVideo(400);
    o.blackFrames = c.black;
    const std::string path = Videos().Make(o, "black.mp4");
    const Grabbed g = Grab(path);
    ASSERT_TRUE(g.result.ok) << g.result.error;
    EXPECT_EQ(g.number, c.frame);
    EXPECT_EQ(g.result.frame.flat, c.frame < 0);
    // The first flat frame looked at, at the quarter, stands in for none.
    if (c.frame < 0) {
      EXPECT_EQ(g.result.frame.time, 4 * 10'000'000);
    }
  }
}

TEST(ThumbnailGrab, HdrMadeSmallLooksAsFfmpegsToneMappingShowsIt) {
  testvideo::VideoOptions o = testing::SmallVideo(50);
  o.width = 320;
  o.height = 240;
  o.hdr = "pq";
  const std::string path = Videos().Make(o, "hdr10.mkv");
  const Grabbed g = Grab(path);
  ASSERT_TRUE(g.result.ok) << g.result.error;
  EXPECT_EQ(g.number, 0);  // no key frame after the first
  const GrabbedFrame& f = g.result.frame;
  EXPECT_LT(DifferenceFromFfmpeg(path, 0, f, testing::kFfmpegToneMap), 2.0);
  // Its samples converted as they are look otherwise.
  EXPECT_GT(DifferenceFromFfmpeg(path, 0, f), 5.0);
}

// Broadcast 1080i whose stream does not name its matrix: high definition is
// BT.709, also when the decoder gives the picture at reduced resolution
// (MPEG-2), which once passed it for standard definition and BT.601.
// FFmpeg's scaler takes BT.601 for any unnamed matrix, so the reference is
// asked for BT.709.
TEST(ThumbnailGrab, UnmarkedHighDefinitionHasTheColoursOfBt709) {
  testing::TempFolder folder("grab-hd");
  for (const char* codec : {"libx264 -preset ultrafast", "mpeg2video -q:v 3"}) {
    SCOPED_TRACE(codec);
    const std::string path = folder / "1080i.ts";
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -t 2"
        " -vf setfield=tff -flags +ildct+ilme -pix_fmt yuv420p -g 25 -c:v " +
        std::string(codec) + " '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Grabbed g = Grab(path);
    ASSERT_TRUE(g.result.ok) << g.result.error;
    const GrabbedFrame& f = g.result.frame;
    ASSERT_EQ(f.width, 160);
    const int frame = static_cast<int>(f.time * 25 / 10'000'000);
    const double bt709 = DifferenceFromFfmpeg(path, frame, f, "", ":in_color_matrix=bt709");
    const double bt601 = DifferenceFromFfmpeg(path, frame, f, "", ":in_color_matrix=bt601");
    EXPECT_LE(bt709, 6.0);
    EXPECT_GT(bt601, bt709 + 3);
  }
}

TEST(ThumbnailGrab, FullSizeWithoutALimitAndNothingWhenTheTimeIsUp) {
  const std::string path = Videos().Make(testing::SmallVideo(400), "small.mp4");
  const Grabbed full = Grab(path, 0);
  ASSERT_TRUE(full.result.ok) << full.result.error;
  EXPECT_EQ(full.result.frame.width, 160);
  EXPECT_EQ(full.result.frame.height, 120);
  EXPECT_EQ(full.number, 100);

  GrabOptions options;
  options.timeLimit = std::chrono::milliseconds(0);
  const GrabResult late = GrabRepresentativeFrame(path, options);
  EXPECT_FALSE(late.ok);
  EXPECT_EQ(late.error, "no frame within the time limit");

  const GrabResult missing = GrabRepresentativeFrame(path + ".missing");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, "The system cannot find the file specified.");
}

}  // namespace
}  // namespace ombrelo
