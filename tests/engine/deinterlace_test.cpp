// Interlaced video (576i MPEG-2 and DV, 1080i H.264) comes out of the
// pipeline as clean pictures of the frame's first field, and with both fields
// combed when deinterlacing is off; progressive video comes out byte for byte
// the same either way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ffmpeg_pipeline.h"
#include "engine/thumbnail_grab.h"
#include "support/combing.h"
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
  const std::string path = folder / video.name;
  const std::string command = std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=") +
                              video.size + ":r=50:d=1 -vf scroll=h=0.01,tinterlace=" + video.weave +
                              " " + video.encode + " '" + path + "'";
  if (std::system(command.c_str()) == 0) return path;
  ADD_FAILURE() << "cannot make " << video.name << ": " << command;
  return "";
}

// The key frame at or after the middle of the video (the one before it when
// none follows), as the thumbnail grab takes it.
GrabbedFrame Middle(const std::string& path, bool deinterlace) {
  GrabOptions options;
  options.deinterlace = deinterlace;
  options.positions = {0.5};
  GrabResult r = GrabRepresentativeFrame(path, options);
  EXPECT_TRUE(r.ok) << r.error;
  return r.frame;
}

// The luma of a pixel. (Colours are left out: the chroma of interlaced 4:2:0
// video is stored by field, and the conversion spreads it over rows of both
// fields whatever is done to the luma.)
int Luma(const GrabbedFrame& f, int x, int y) {
  const uint8_t* p = f.bgr.data() + (static_cast<size_t>(y) * f.width + x) * 3;
  return (29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8;
}

double Combing(const GrabbedFrame& f) {
  std::vector<uint8_t> luma;
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) luma.push_back(static_cast<uint8_t>(Luma(f, x, y)));
  }
  return testing::Combing(luma.data(), f.width, f.height, f.width);
}

// The mean luma difference of two pictures over the rows of one parity.
double RowDifference(const GrabbedFrame& a, const GrabbedFrame& b, int parity) {
  double sum = 0;
  int64_t count = 0;
  for (int y = parity; y < a.height; y += 2) {
    for (int x = 0; x < a.width; ++x) {
      sum += std::abs(Luma(a, x, y) - Luma(b, x, y));
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
    const GrabbedFrame clean = Middle(path, true), combed = Middle(path, false);
    ASSERT_FALSE(clean.bgr.empty());
    ASSERT_EQ(clean.bgr.size(), combed.bgr.size());
    EXPECT_EQ(clean.time, combed.time);  // the same frame either way
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

TEST(Deinterlace, ProgressiveVideoKeepsEveryByteOfItsConversion) {
  static testing::VideoCache videos{"progressive-videos"};
  for (const char* container : {"mp4", "mpg"}) {
    SCOPED_TRACE(container);
    testvideo::VideoOptions o = testing::SmallVideo(50);
    o.container = container;
    const std::string path = videos.Make(o, std::string("clip.") + container);
    // The clip's one key frame is its first: the grab takes it.
    const GrabbedFrame on = Middle(path, true);
    EXPECT_EQ(testvideo::ReadFrameNumber(on.bgr.data(), on.width, on.height, on.width * 3,
                                         testvideo::PixelOrder::BGR24),
              0);
    EXPECT_TRUE(on.bgr == Middle(path, false).bgr);
  }
}

}  // namespace
}  // namespace ombrelo
