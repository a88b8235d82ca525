// Interlaced video (576i MPEG-2 and DV, 1080i H.264) comes out of the capture
// and the thumbnail grab as clean pictures of the frame's first field, and
// with both fields combed when deinterlacing is off; progressive video comes
// out byte for byte the same either way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "engine/thumbnail_grab.h"
#include "support/capture_owner.h"
#include "support/debug_capture.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

// A test pattern scrolling sideways at 50 pictures a second, woven two
// pictures to a frame: every vertical edge lies elsewhere in the second field
// than in the first, as in camcorder and broadcast recordings of motion.
struct Interlaced {
  const char* name;
  const char* size;
  const char* weave;  // interleave_top: the top field is the first
  const char* encode;
  bool topFirst;
};

const Interlaced kMpeg2{"576i.mpg", "720x576", "interleave_top",
                        "-c:v mpeg2video -flags +ildct+ilme -top 1 -q:v 2", true};
const Interlaced kH264{"1080i.mp4", "1920x1080", "interleave_top",
                       "-c:v libx264 -preset ultrafast -flags +ildct+ilme -top 1 -pix_fmt yuv420p",
                       true};
const Interlaced kDv{"576i.dv", "720x576", "interleave_bottom", "-c:v dvvideo -pix_fmt yuv420p",
                     false};

std::string Make(const Interlaced& video) {
  static testing::TempFolder folder{"interlaced-videos"};
  static std::mutex mutex;
  static std::map<std::string, std::string> made;
  std::lock_guard<std::mutex> lock(mutex);
  const std::string path = folder / video.name;
  if (made.count(path) && testing::FileExists(path)) return path;
  const std::string command = std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=") +
                              video.size + ":r=50:d=1 -vf scroll=h=0.01," +
                              "tinterlace=" + video.weave + " " + video.encode + " '" + path + "'";
  if (std::system(command.c_str()) != 0) {
    ADD_FAILURE() << "cannot make " << video.name << ": " << command;
    return "";
  }
  made[path] = path;
  return path;
}

// A taken frame as top-down BGR rows.
struct Picture {
  std::vector<uint8_t> rows;
  int width = 0, height = 0;
  int64_t frame = -1;  // the frame number the capture gave
  // The pixel's luma. (Colours are left out: 4:2:0 chroma of interlaced
  // video is stored by field, and the conversion spreads it over rows of
  // both fields whatever is done to the luma.)
  int Luma(int x, int y) const {
    const uint8_t* p = rows.data() + (static_cast<size_t>(y) * width + x) * 3;
    return (29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8;
  }
};

// Captures the one frame `seconds` into the video.
Picture Take(const std::string& path, bool deinterlace, double seconds = 0.6) {
  CaptureSettings settings;
  settings.delaybeforefirst = seconds;
  settings.delaybetweensamples = -1;  // a single sample
  settings.deinterlace = deinterlace;
  CaptureEngine engine(CaptureEnvironment{});
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(settings);
  HResult result = S_OK;
  Picture picture;
  if (!engine.Open(path, &result)) {
    ADD_FAILURE() << path << " does not open: " << engine.GetErrorText();
    return picture;
  }
  const BitmapInfoHeader format = engine.GetVideoFormat();
  picture.width = format.biWidth;
  picture.height = format.biHeight;
  const size_t stride = format.biSizeImage / static_cast<size_t>(format.biHeight);
  for (;;) {
    auto m = owner.Next();
    if (!m) {
      ADD_FAILURE() << "the capture of " << path << " hangs";
      break;
    }
    if (m->kind == testing::CaptureOwner::Message::ended) break;
    if (m->kind != testing::CaptureOwner::Message::frame || picture.frame >= 0) continue;
    picture.frame = m->value;
    for (int y = picture.height - 1; y >= 0; --y) {
      const uint8_t* row = m->pixels.data() + stride * static_cast<size_t>(y);
      picture.rows.insert(picture.rows.end(), row, row + picture.width * 3);
    }
  }
  engine.Close();
  return picture;
}

Picture FromGrab(const GrabbedFrame& grabbed) {
  Picture picture;
  picture.rows = grabbed.bgr;
  picture.width = grabbed.width;
  picture.height = grabbed.height;
  return picture;
}

// How much more the picture's neighbouring rows differ than rows two apart:
// about 1 or below for a picture of one instant (nearer rows are more
// alike), well above it where two fields of different instants are woven.
double Combing(const Picture& p) {
  double next = 0, twoApart = 0;
  for (int y = 0; y + 2 < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      next += std::abs(p.Luma(x, y) - p.Luma(x, y + 1));
      twoApart += std::abs(p.Luma(x, y) - p.Luma(x, y + 2));
    }
  }
  return twoApart > 0 ? next / twoApart : 0;
}

// The mean luma difference of two pictures over the rows of one parity.
double RowDifference(const Picture& a, const Picture& b, int parity) {
  double sum = 0;
  int64_t count = 0;
  for (int y = parity; y < a.height; y += 2) {
    for (int x = 0; x < a.width; ++x) {
      sum += std::abs(a.Luma(x, y) - b.Luma(x, y));
      ++count;
    }
  }
  return count ? sum / static_cast<double>(count) : 0;
}

TEST(Deinterlace, InterlacedFramesComeOutAsTheirFirstFieldWithoutCombs) {
  for (const Interlaced& video : {kMpeg2, kDv, kH264}) {
    SCOPED_TRACE(video.name);
    const std::string path = Make(video);
    ASSERT_FALSE(path.empty());
    const Picture clean = Take(path, true), combed = Take(path, false);
    ASSERT_FALSE(clean.rows.empty());
    ASSERT_EQ(clean.rows.size(), combed.rows.size());
    // The same frame of the schedule either way.
    EXPECT_EQ(clean.frame, 15);
    EXPECT_EQ(combed.frame, clean.frame);
    EXPECT_LT(Combing(clean), 1.1);
    EXPECT_GT(Combing(combed), 2.0);
    // The first field's rows are the frame's own; the other field's rows
    // are the ones rebuilt.
    const int firstField = video.topFirst ? 0 : 1;
    const double kept = RowDifference(clean, combed, firstField);
    const double rebuilt = RowDifference(clean, combed, 1 - firstField);
    EXPECT_LT(kept * 4, rebuilt) << kept << " " << rebuilt;
  }
}

TEST(Deinterlace, TheThumbnailOfInterlacedVideoIsCleanUnlessTurnedOff) {
  const std::string path = Make(kMpeg2);
  ASSERT_FALSE(path.empty());
  const GrabResult clean = GrabRepresentativeFrame(path, GrabOptions{});
  ASSERT_TRUE(clean.ok) << clean.error;
  EXPECT_LT(Combing(FromGrab(clean.frame)), 1.1);

  FfmpegPipelineOptions plain;
  plain.deinterlace = false;
  GrabOptions options;
  options.pipelineFactory = FfmpegPipelineFactory(plain);
  const GrabResult combed = GrabRepresentativeFrame(path, options);
  ASSERT_TRUE(combed.ok) << combed.error;
  EXPECT_GT(Combing(FromGrab(combed.frame)), 2.0);
}

TEST(Deinterlace, ProgressiveVideoKeepsEveryByteOfItsConversion) {
  static testing::VideoCache videos{"progressive-videos"};
  for (const char* container : {"mp4", "mpg"}) {
    SCOPED_TRACE(container);
    testvideo::VideoOptions o = testing::SmallVideo(50);
    o.container = container;
    const std::string path = videos.Make(o, std::string("clip.") + container);
    const Picture on = Take(path, true, 0.4), off = Take(path, false, 0.4);
    ASSERT_FALSE(on.rows.empty());
    EXPECT_EQ(on.frame, 10);
    EXPECT_EQ(testvideo::ReadFrameNumber(on.rows.data(), on.width, on.height, on.width * 3,
                                         testvideo::PixelOrder::BGR24),
              10);
    EXPECT_TRUE(on.rows == off.rows);
  }
}

}  // namespace
}  // namespace ombrelo
