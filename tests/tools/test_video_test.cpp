#include "tools/testvideo/test_video.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/debug_capture.h"
#include "support/test_videos.h"
#include "tools/decoded_video.h"

namespace ombrelo {
namespace {

using testing::DecodeVideo;
using testing::Probe;
using testing::RgbPicture;
using testing::TempFolder;
using testing::ToRgb;
using testing::WriteJpeg;
using testvideo::PixelOrder;
using testvideo::ReadFrameNumber;
using testvideo::VideoOptions;

class QuietFFmpeg : public ::testing::Environment {
 public:
  void SetUp() override { av_log_set_level(AV_LOG_FATAL); }
};
const auto* const kQuiet = ::testing::AddGlobalTestEnvironment(new QuietFFmpeg);

int Read(const RgbPicture& p) {
  return ReadFrameNumber(p.data(), p.width, p.height, p.stride, PixelOrder::RGB24);
}

RgbPicture Drawn(int64_t number, int width, int height) {
  RgbPicture p;
  p.width = width;
  p.height = height;
  p.stride = width * 3;
  p.pixels.resize(static_cast<size_t>(p.stride) * height);
  testvideo::DrawFrame(number, p.pixels.data(), width, height, p.stride, PixelOrder::RGB24);
  return p;
}

// Turns a picture clockwise by 90 degrees.
RgbPicture TurnClockwise(const RgbPicture& in) {
  RgbPicture out;
  out.width = in.height;
  out.height = in.width;
  out.stride = out.width * 3;
  out.pixels.resize(static_cast<size_t>(out.stride) * out.height);
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      const uint8_t* s = in.data() + y * in.stride + x * 3;
      uint8_t* d = out.pixels.data() + x * out.stride + (in.height - 1 - y) * 3;
      std::copy(s, s + 3, d);
    }
  }
  return out;
}

void FillRect(RgbPicture* p, const testvideo::PixelRect& r, uint8_t value) {
  for (int y = r.y; y < r.y + r.height; ++y) {
    std::fill_n(p->pixels.data() + y * p->stride + r.x * 3, r.width * 3, value);
  }
}

// Makes a black cell white and a white one black.
void FlipCell(RgbPicture* p, const testvideo::PixelRect& r) {
  const uint8_t* centre = p->data() + (r.y + r.height / 2) * p->stride + (r.x + r.width / 2) * 3;
  FillRect(p, r, centre[1] < 128 ? 255 : 0);
}

struct Case {
  const char* name;
  const char* container;
  const char* codec;
  int bFrames;
  const char* probedCodec;
  const char* probedTag;  // "" = not checked
  int lateFrames;         // how much later than its number a decoded frame is stamped
};

constexpr Case kCases[] = {
    {"mp4.mp4", "", "", 2, "h264", "avc1", 0},
    // AVI keeps no time stamps; with B-frames every frame comes out stamped one frame late,
    // as with such files from elsewhere.
    {"xvid.avi", "", "mpeg4", 2, "mpeg4", "XVID", 1},
    {"xvid without b-frames.avi", "", "mpeg4", 0, "mpeg4", "XVID", 0},
    {"h264.mkv", "", "h264", 2, "h264", "", 0},
    {"vp9.webm", "", "", 0, "vp9", "", 0},
    {"mpeg2.mpg", "", "", 2, "mpeg2video", "", 0},
    {"h264.ts", "", "", 2, "h264", "", 0},
    {"mjpeg.avi", "", "mjpeg", 0, "mjpeg", "MJPG", 0},
    {"named by option.bin", "mov", "h264", 0, "h264", "avc1", 0},
};

TEST(TestVideo, EveryContainerAndCodecReadsBackFrameByFrame) {
  TempFolder folder("testvideo");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    VideoOptions options;
    options.path = folder / c.name;
    options.container = c.container;
    options.codec = c.codec;
    options.frameCount = 60;
    options.keyframeInterval = 12;
    options.maxBFrames = c.bFrames;
    std::string error;
    ASSERT_TRUE(testvideo::Generate(options, &error)) << error;

    std::vector<int> numbers;
    std::vector<double> times;
    const int64_t decoded = DecodeVideo(options.path, [&](const testing::DecodedFrame& f) {
      const RgbPicture rgb = ToRgb(f.frame, f.frame->width, f.frame->height);
      numbers.push_back(Read(rgb));
      times.push_back(f.seconds);
      if (f.index == 37) {
        // Half size, as an index photo shows it, and a quality-85 JPEG of that and of the frame.
        const RgbPicture half = ToRgb(f.frame, f.frame->width / 2, f.frame->height / 2);
        EXPECT_EQ(Read(half), 37);
        ASSERT_TRUE(WriteJpeg(folder / "full.jpg", rgb, 85));
        EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(folder / "full.jpg"), 37);
        ASSERT_TRUE(WriteJpeg(folder / "half.jpg", half, 85));
        EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(folder / "half.jpg"), 37);
      }
    });
    ASSERT_EQ(decoded, 60);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(numbers[i], i) << "decoded frame " << i;
    // Times count from the video stream's start, one frame (40 ms) apart.
    for (int i = 0; i < 60; ++i) {
      // With B-frames in AVI and MPEG program streams the last frame drained from the
      // decoder comes without a time.
      if (i == 59 && times[i] == -1 && c.bFrames > 0) continue;
      EXPECT_NEAR(times[i], (i + c.lateFrames) * 0.04, 0.021) << "decoded frame " << i;
    }

    const std::string probe = Probe(
        "-select_streams v:0 -count_frames -show_entries "
        "stream=codec_name,codec_tag_string,nb_read_frames,width,height -of default=nw=1",
        options.path);
    EXPECT_NE(probe.find(std::string("codec_name=") + c.probedCodec + "\n"), std::string::npos)
        << probe;
    EXPECT_NE(probe.find("nb_read_frames=60\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=320\nheight=240\n"), std::string::npos) << probe;
    if (*c.probedTag) {
      EXPECT_NE(probe.find(std::string("codec_tag_string=") + c.probedTag + "\n"),
                std::string::npos)
          << probe;
    }
  }
}

TEST(TestVideo, CodeSurvivesLowBitRates) {
  TempFolder folder("testvideo");
  for (const char* name : {"low.mp4", "low.webm", "low.avi"}) {
    SCOPED_TRACE(name);
    VideoOptions options;
    options.path = folder / name;
    options.frameCount = 50;
    options.keyframeInterval = 25;
    options.bitRate = 60'000;
    std::string error;
    ASSERT_TRUE(testvideo::Generate(options, &error)) << error;
    int64_t wrong = 0;
    const int64_t decoded = DecodeVideo(options.path, [&](const testing::DecodedFrame& f) {
      if (Read(ToRgb(f.frame, f.frame->width, f.frame->height)) != f.index) ++wrong;
    });
    EXPECT_EQ(decoded, 50);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(TestVideo, StreamPropertiesReachTheFile) {
  TempFolder folder("testvideo");
  std::string error;
  {
    SCOPED_TRACE("rotation, colour and 30000/1001 fps in mp4");
    VideoOptions o;
    o.path = folder / "rotated.mp4";
    o.frameCount = 30;
    o.fpsNum = 30000;
    o.fpsDen = 1001;
    o.rotationDegrees = 90;
    o.colorMatrix = "bt709";
    o.fullRange = true;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string probe = Probe(
        "-select_streams v:0 -show_entries stream=avg_frame_rate,color_space,color_range:"
        "stream_side_data=rotation -of default=nw=1",
        o.path);
    EXPECT_NE(probe.find("avg_frame_rate=30000/1001\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("color_space=bt709\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("color_range=pc\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("rotation=-90\n"), std::string::npos) << probe;  // turn clockwise
    // The decoder hands out the coded orientation; a player turns it clockwise.
    int checked = 0;
    DecodeVideo(o.path, [&](const testing::DecodedFrame& f) {
      const RgbPicture coded = ToRgb(f.frame, f.frame->width, f.frame->height);
      EXPECT_EQ(Read(coded), f.index);
      const RgbPicture shown = TurnClockwise(coded);
      int rotation = -1;
      EXPECT_EQ(testvideo::ReadFrameNumberAnyRotation(shown.data(), shown.width, shown.height,
                                                      shown.stride, PixelOrder::RGB24, &rotation),
                f.index);
      EXPECT_EQ(rotation, 90);
      ++checked;
    });
    EXPECT_EQ(checked, 30);
  }
  {
    SCOPED_TRACE("anamorphic mkv, bt601");
    VideoOptions o;
    o.path = folder / "anamorphic.mkv";
    o.width = 352;
    o.height = 288;
    o.frameCount = 10;
    o.sampleAspectNum = 12;
    o.sampleAspectDen = 11;
    o.colorMatrix = "bt601";
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string probe = Probe(
        "-select_streams v:0 -show_entries stream=sample_aspect_ratio,color_space -of default=nw=1",
        o.path);
    EXPECT_NE(probe.find("sample_aspect_ratio=12:11\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("color_space=smpte170m\n"), std::string::npos) << probe;
    // Corrected to square pixels (384x288) and as a thumbnail of that.
    const int64_t decoded = DecodeVideo(o.path, [&](const testing::DecodedFrame& f) {
      EXPECT_EQ(Read(ToRgb(f.frame, 384, 288)), f.index);
      EXPECT_EQ(Read(ToRgb(f.frame, 192, 144)), f.index);
    });
    EXPECT_EQ(decoded, 10);
  }
  {
    SCOPED_TRACE("audio longer than the video in avi");
    VideoOptions o;
    o.path = folder / "audio.avi";
    o.frameCount = 50;
    o.audioSeconds = 7.5;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string probe = Probe(
        "-count_frames -show_entries stream=codec_type,codec_name,duration,nb_read_frames "
        "-of compact=nk=1",
        o.path);
    // No empty frame for the audio's encoder delay: 50 frames in 2 s.
    EXPECT_NE(probe.find("stream|mpeg4|video|2.000000|50\n"), std::string::npos) << probe;
    const size_t audio = probe.find("stream|mp3|audio|");
    ASSERT_NE(audio, std::string::npos) << probe;
    EXPECT_NEAR(std::stod(probe.substr(audio + 17)), 7.5, 0.1) << probe;
  }
}

TEST(TestVideo, KeyFrameLayoutsAndALateVideoStartReachTheFile) {
  TempFolder folder("testvideo-keys");
  std::string error;
  struct Layout {
    const char* keyFrames;
    const char* file;
    int flagged;        // key frames the demuxer flags (MPEG-TS: its parser finds)
    int indexed;        // key frames the MP4 index lists; -1: not MP4
    int intraPictures;  // pictures decoded without any earlier one
  };
  // 300 frames, a key frame (or refresh) every 50.
  const Layout layouts[] = {
      {"first", "first.ts", 1, -1, 1},
      {"intra-refresh", "refresh.ts", 6, -1, 1},  // each recovery point is flagged
      {"unflagged", "unflagged.mp4", 6, 1, 6},    // the parser still finds them
      {"", "regular.mp4", 6, 6, 6},
  };
  // The entry count of an MP4's list of key frames ("stss").
  auto indexedKeyFrames = [](const std::string& path) {
    const std::string bytes = testing::ReadFileBytes(path);
    const size_t at = bytes.find("stss");
    if (at == std::string::npos || at + 12 > bytes.size()) return -1;
    int count = 0;
    for (size_t i = at + 8; i < at + 12; ++i) count = count << 8 | static_cast<uint8_t>(bytes[i]);
    return count;
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.file);
    VideoOptions o;
    o.path = folder / layout.file;
    o.frameCount = 300;
    o.keyframeInterval = 50;
    o.keyFrames = layout.keyFrames;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string flags =
        Probe("-select_streams v:0 -show_entries packet=flags -of csv=p=0", o.path);
    EXPECT_EQ(std::count(flags.begin(), flags.end(), 'K'), layout.flagged);
    if (layout.indexed >= 0) {
      EXPECT_EQ(indexedKeyFrames(o.path), layout.indexed);
    }
    int intra = 0;
    const int64_t decoded = DecodeVideo(o.path, [&](const testing::DecodedFrame& f) {
      EXPECT_EQ(Read(ToRgb(f.frame, f.frame->width, f.frame->height)), f.index);
      if (f.frame->pict_type == AV_PICTURE_TYPE_I) ++intra;
    });
    EXPECT_EQ(decoded, 300);
    EXPECT_EQ(intra, layout.intraPictures);
  }
  {
    SCOPED_TRACE("video half a second after the file's start, audio from 0");
    VideoOptions o;
    o.path = folder / "late.mp4";
    o.frameCount = 50;
    o.videoStart = 0.5;
    o.audioSeconds = 3;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string probe = Probe(
        "-show_entries stream=codec_type,start_time:format=start_time -of compact=nk=1", o.path);
    // Half a second after the audio (whose encoder priming the muxer may
    // count from a little earlier).
    const size_t video = probe.find("stream|video|");
    ASSERT_NE(video, std::string::npos) << probe;
    EXPECT_NEAR(std::stod(probe.substr(video + 13)), 0.5, 0.03) << probe;
    EXPECT_NE(probe.find("format|0.000000\n"), std::string::npos) << probe;
  }
  VideoOptions bad;
  bad.path = folder / "bad.mp4";
  bad.keyFrames = "sometimes";
  EXPECT_FALSE(testvideo::Generate(bad, &error));
  EXPECT_NE(error.find("sometimes"), std::string::npos) << error;
  bad.keyFrames = "first";
  bad.codec = "mpeg4";
  EXPECT_FALSE(testvideo::Generate(bad, &error));
  EXPECT_NE(error.find("H.264"), std::string::npos) << error;
}

TEST(TestVideo, CorruptedCodesReadAsNoNumber) {
  const RgbPicture good = Drawn(0x5A5A5A, 320, 240);
  ASSERT_EQ(Read(good), 0x5A5A5A);
  const std::vector<testvideo::PixelRect> cells = testvideo::CodeDataCells(320, 240);
  ASSERT_EQ(cells.size(), 40u);
  {
    SCOPED_TRACE("one, two and three flipped cells, in the number and in the checksum");
    for (const std::vector<int>& flips : std::vector<std::vector<int>>{
             {0}, {23}, {24}, {39}, {3, 30}, {0, 1}, {5, 17, 33}, {22, 23, 24}}) {
      RgbPicture bad = good;
      for (int i : flips) FlipCell(&bad, cells[i]);
      EXPECT_EQ(Read(bad), -1) << "first flipped cell " << flips[0];
    }
  }
  {
    SCOPED_TRACE("every data cell flipped");
    RgbPicture bad = good;
    for (const auto& cell : cells) FlipCell(&bad, cell);
    EXPECT_EQ(Read(bad), -1);
  }
  {
    SCOPED_TRACE("a grey cell is neither black nor white");
    RgbPicture bad = good;
    FillRect(&bad, cells[10], 128);
    EXPECT_EQ(Read(bad), -1);
  }
  {
    SCOPED_TRACE("no ring");
    RgbPicture bad = good;
    const auto& first = cells.front();
    FillRect(&bad, {first.x - first.width, first.y - first.height, first.width, first.height}, 255);
    EXPECT_EQ(Read(bad), -1);
  }
  {
    SCOPED_TRACE("pictures without a code");
    RgbPicture blank = good;
    std::fill(blank.pixels.begin(), blank.pixels.end(), 200);
    EXPECT_EQ(Read(blank), -1);
    std::mt19937 random(7);
    for (auto& byte : blank.pixels) byte = static_cast<uint8_t>(random());
    EXPECT_EQ(Read(blank), -1);
    EXPECT_EQ(ReadFrameNumber(nullptr, 320, 240, 960, PixelOrder::RGB24), -1);
    EXPECT_EQ(ReadFrameNumber(good.data(), 4, 4, 12, PixelOrder::RGB24), -1);
  }
}

TEST(TestVideo, DrawnFramesReadInEveryLayout) {
  for (int64_t number :
       {int64_t{0}, int64_t{1}, int64_t{4499}, int64_t{15000}, int64_t{16777215}}) {
    SCOPED_TRACE(number);
    const RgbPicture p = Drawn(number, 640, 360);
    EXPECT_EQ(Read(p), number);
    // BGR order, bottom-up rows given by a pointer to the last row.
    std::vector<uint8_t> bgr(p.pixels.size());
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* s = p.data() + y * p.stride + 3 * x;
        uint8_t* d = bgr.data() + (p.height - 1 - y) * p.stride + 3 * x;
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
      }
    }
    EXPECT_EQ(ReadFrameNumber(bgr.data() + (p.height - 1) * p.stride, p.width, p.height, -p.stride,
                              PixelOrder::BGR24),
              number);
  }
  {
    SCOPED_TRACE("turned pictures");
    RgbPicture p = Drawn(1234, 320, 240);
    for (int rotation : {90, 180, 270}) {
      p = TurnClockwise(p);
      int found = -1;
      EXPECT_EQ(testvideo::ReadFrameNumberAnyRotation(p.data(), p.width, p.height, p.stride,
                                                      PixelOrder::RGB24, &found),
                1234);
      EXPECT_EQ(found, rotation);
      EXPECT_EQ(Read(p), -1) << "turned by " << rotation;
    }
  }
  {
    SCOPED_TRACE("small and odd sizes");
    for (auto [w, h] : {std::pair{160, 120}, std::pair{161, 121}, std::pair{96, 54}}) {
      const RgbPicture p = Drawn(777, w, h);
      EXPECT_EQ(Read(p), 777) << w << "x" << h;
    }
  }
}

TEST(TestVideo, ImageFiles) {
  TempFolder folder("testvideo");
  const RgbPicture odd = Drawn(4242, 322, 240);  // rows need padding in a BMP
  {
    SCOPED_TRACE("BMP bottom-up and top-down");
    const std::string path = folder / "frame.bmp";
    ASSERT_TRUE(testing::WriteFileBytes(path, testing::BmpBytes(odd, false)));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), 4242);
    ASSERT_TRUE(testing::WriteFileBytes(path, testing::BmpBytes(odd, true)));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), 4242);
  }
  {
    SCOPED_TRACE("broken BMP files");
    const std::string good = testing::BmpBytes(odd, false);
    const std::string path = folder / "broken.bmp";
    ASSERT_TRUE(testing::WriteFileBytes(path, good.substr(0, good.size() - 10)));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), -1);
    std::string bits32 = good;
    bits32[28] = 32;
    ASSERT_TRUE(testing::WriteFileBytes(path, bits32));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), -1);
    std::string huge = good;
    huge[21] = 0x7F;  // width far beyond the data
    ASSERT_TRUE(testing::WriteFileBytes(path, huge));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), -1);
    ASSERT_TRUE(testing::WriteFileBytes(path, "BM"));
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), -1);
    EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(folder / "missing.bmp"), -1);
  }
  {
    SCOPED_TRACE("JPEG, also under a name with blanks, & and non-ASCII letters");
    const std::string path = folder / "Bild Nr. 1 & ünö.jpg";
    ASSERT_TRUE(WriteJpeg(path, odd, 85));
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(path), 4242);
    const std::string bytes = testing::ReadFileBytes(path);
    ASSERT_TRUE(testing::WriteFileBytes(folder / "cut.jpg", bytes.substr(0, 200)));
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(folder / "cut.jpg"), -1);
    ASSERT_TRUE(testing::WriteFileBytes(folder / "text.jpg", "not a picture"));
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(folder / "text.jpg"), -1);
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(folder / "missing.jpg"), -1);
  }
}

TEST(TestVideo, BadOptionsFailWithATextAndLeaveNoFile) {
  TempFolder folder("testvideo");
  struct Bad {
    const char* what;
    void (*change)(VideoOptions*);
    const char* expected;  // part of the error text
  };
  const Bad cases[] = {
      {"odd size", [](VideoOptions* o) { o->width = 321; }, "odd"},
      {"no frames", [](VideoOptions* o) { o->frameCount = 0; }, "frame count"},
      {"unknown extension", [](VideoOptions* o) { o->path += ".xyz"; }, "container"},
      {"unknown container", [](VideoOptions* o) { o->container = "flv2"; }, "flv2"},
      {"unknown codec", [](VideoOptions* o) { o->codec = "nonesuch"; }, "nonesuch"},
      {"h264 in webm", [](VideoOptions* o) { o->path += ".webm", o->codec = "h264"; }, "webm"},
      {"rotation in avi", [](VideoOptions* o) { o->path += ".avi", o->rotationDegrees = 90; },
       "rotation"},
      {"rotation by 45", [](VideoOptions* o) { o->rotationDegrees = 45; }, "rotation"},
      {"too many B-frames", [](VideoOptions* o) { o->maxBFrames = 17; }, "B-frames"},
      {"mjpeg in webm", [](VideoOptions* o) { o->path += ".webm", o->codec = "mjpeg"; }, "mjpeg"},
      {"bad fourcc", [](VideoOptions* o) { o->fourcc = "XVIDX"; }, "fourcc"},
      {"fourcc the muxer refuses",
       [](VideoOptions* o) { o->path += ".avi", o->codec = "h264", o->fourcc = "DIVX"; }, "avi"},
      {"folder missing", [](VideoOptions* o) { o->path = o->path + "/missing/x.mp4"; },
       "cannot create"},
  };
  for (const Bad& bad : cases) {
    SCOPED_TRACE(bad.what);
    VideoOptions o;
    o.path = folder / "bad";
    o.frameCount = 5;
    bad.change(&o);
    if (o.path == folder / "bad") o.path += ".mp4";
    std::string error;
    EXPECT_FALSE(testvideo::Generate(o, &error));
    EXPECT_NE(error.find(bad.expected), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(o.path));
  }
  {
    SCOPED_TRACE("a file that was there before bad options stays");
    ASSERT_TRUE(testing::WriteFileBytes(folder / "keep.mp4", "old"));
    VideoOptions o;
    o.path = folder / "keep.mp4";
    o.width = 7;
    EXPECT_FALSE(testvideo::Generate(o));
    EXPECT_EQ(testing::ReadFileBytes(folder / "keep.mp4"), "old");
  }
}

TEST(TestVideo, TheCacheSharesAFileOnlyBetweenEqualOptions) {
  testing::VideoCache cache("video-cache");
  VideoOptions small = testing::SmallVideo(8);
  const std::string first = cache.Make(small, "clip.mp4");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(cache.Make(small, "clip.mp4"), first);
  // Any option that differs gives a file of its own, the last ones added too.
  VideoOptions full = small;
  full.fullRange = true;
  VideoOptions quiet = small;
  quiet.bitRate = 200000;
  const std::string second = cache.Make(full, "clip.mp4");
  const std::string third = cache.Make(quiet, "clip.mp4");
  EXPECT_NE(second, first);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  EXPECT_EQ(cache.Make(full, "clip.mp4"), second);
}

}  // namespace
}  // namespace ombrelo
