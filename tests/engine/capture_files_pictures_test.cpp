// Pictures of real files as the capture hands them over: turned upright,
// stretched to their display shape, converted on several threads and with
// their own colours; and the codec a file's header names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "capture_files_support.h"
#include "engine/codec_probe.h"

namespace ombrelo {
namespace {

using testing::AsInts;
using testing::Capture;
using testing::Kind;
using testing::NameOf;
using testing::Outcome;
using testing::Owner;
using testing::ReadNumber;
using testing::Samples;
using testing::Small;
using testing::Videos;
using testvideo::VideoOptions;

TEST(CaptureFiles, CodecProbeReadsTheAviHandler) {
  const std::string avi = Videos::Get().Make(Small("avi", "mpeg4", 0), NameOf({"avi", "mpeg4", 0}));
  const std::string mkv = Videos::Get().Make(Small("mkv", "h264", 2), NameOf({"mkv", "h264", 2}));
  EXPECT_EQ(ProbeFourCC(avi), 0x44495658u);  // "XVID", lowest byte first
  EXPECT_EQ(CodecHelpAddress("http://www.example.com/", avi, ProbeFourCC(avi)),
            "http://www.example.com/codec.php?format=avi&fourcc=xvid");
  EXPECT_EQ(ProbeFourCC(mkv), 0u);
  EXPECT_EQ(CodecHelpAddress("http://www.example.com/", mkv, ProbeFourCC(mkv)),
            "http://www.example.com/codec.php?format=mkv");
}

TEST(CaptureFiles, PicturesComeOutUprightAndInTheirDisplayShape) {
  for (int rotation : {90, 180, 270}) {
    SCOPED_TRACE(rotation);
    VideoOptions o = Small("mp4", "h264", 0, 100);
    o.rotationDegrees = rotation;
    const std::string path = Videos::Get().Make(o, "rot" + std::to_string(rotation) + ".mp4");
    const Outcome out = Capture(path, Samples(1, 1.6), /*keepPixels=*/true);  // 25, 65
    ASSERT_TRUE(out.opened) << out.errorText;
    const bool turned = rotation != 180;
    EXPECT_EQ(out.format.biWidth, turned ? 120 : 160);
    EXPECT_EQ(out.format.biHeight, turned ? 160 : 120);
    ASSERT_EQ(out.frames, (std::vector<int64_t>{25, 65}));
    int found = 0;
    EXPECT_EQ(ReadNumber(out.pixels[0], out.format, &found), 25);
    EXPECT_EQ(found, rotation) << "the picture is turned as a player turns it";
  }
  {
    SCOPED_TRACE("anamorphic 2:1 pixels are stretched to their width");
    VideoOptions o = Small("mkv", "h264", 0, 100);
    o.sampleAspectNum = 2;
    const std::string path = Videos::Get().Make(o, "wide.mkv");
    const Outcome out = Capture(path, Samples(1, 1.6));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.format.biWidth, 320);
    EXPECT_EQ(out.format.biHeight, 120);
    EXPECT_EQ(out.format.biSizeImage, 320u * 3 * 120);
    EXPECT_EQ(out.numbers, AsInts(out.frames));
  }
  {
    SCOPED_TRACE("a width that needs row padding");
    VideoOptions o = Small("mp4", "h264", 0, 100);
    o.width = 166;
    const std::string path = Videos::Get().Make(o, "odd.mp4");
    const Outcome out = Capture(path, Samples(1, 1.6));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.format.biSizeImage, 500u * 120);  // 498 bytes padded to 500
    EXPECT_EQ(out.numbers, AsInts(out.frames));
  }
}

// Conversion in bands of rows on several threads gives the very pixels one
// thread gives, whatever the picture's shape, turn and colours.
TEST(CaptureFiles, ConversionOnSeveralThreadsGivesTheSamePixels) {
  struct Case {
    const char* name;
    VideoOptions options;
  };
  std::vector<Case> cases;
  cases.push_back({"turned.mp4", Small("mp4", "h264", 2, 100)});
  cases.back().options.rotationDegrees = 90;
  cases.push_back({"wide709.mkv", Small("mkv", "h264", 0, 100)});
  cases.back().options.sampleAspectNum = 2;
  cases.back().options.colorMatrix = "bt709";
  cases.push_back({"oddfull.avi", Small("avi", "mpeg4", 2, 100)});
  cases.back().options.width = 166;
  cases.back().options.height = 94;
  cases.back().options.fullRange = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Videos::Get().Make(c.options, std::string("bands_") + c.name);
    FfmpegPipelineOptions options;
    options.convertThreads = 1;
    const Outcome one = Capture(path, Samples(1, 1.6), true, options);
    options.convertThreads = 3;
    const Outcome three = Capture(path, Samples(1, 1.6), true, options);
    ASSERT_TRUE(one.opened) << one.errorText;
    ASSERT_EQ(one.frames, (std::vector<int64_t>{25, 65}));
    EXPECT_EQ(three.frames, one.frames);
    ASSERT_EQ(three.pixels.size(), one.pixels.size());
    for (size_t i = 0; i < one.pixels.size(); ++i) {
      ASSERT_EQ(one.pixels[i].size(), one.format.biSizeImage);
      EXPECT_TRUE(three.pixels[i] == one.pixels[i]) << "frame " << one.frames[i];
    }
  }
}

// Luma of a BGR pixel with the given matrix weights.
double Luma(const uint8_t* bgr, double kr, double kb) {
  return kr * bgr[2] + (1 - kr - kb) * bgr[1] + kb * bgr[0];
}

TEST(CaptureFiles, ColoursFollowTheStreamsMatrixAndRange) {
  auto frameOf = [](const std::string& matrix, bool fullRange) {
    VideoOptions o = Small("mp4", "h264", 0, 50);
    o.colorMatrix = matrix;
    o.fullRange = fullRange;
    const std::string path =
        Videos::Get().Make(o, "colour_" + matrix + (fullRange ? "_full" : "_limited") + ".mp4");
    Outcome out = Capture(path, Samples(1, -1), /*keepPixels=*/true);  // frame 25 only
    EXPECT_EQ(out.numbers, std::vector<int>{25});
    return out.pixels.empty() ? std::vector<uint8_t>() : out.pixels[0];
  };
  const auto b601 = frameOf("bt601", false);
  const auto b709 = frameOf("bt709", false);
  const auto full = frameOf("bt601", true);
  ASSERT_EQ(b601.size(), 160u * 120 * 3);
  ASSERT_EQ(b709.size(), b601.size());
  ASSERT_EQ(full.size(), b601.size());

  // The same luma plane painted in both: decoded with each file's own matrix,
  // each picture gives back that plane through its matrix's luma weights.
  double sameError = 0, crossError = 0;
  int n = 0;
  for (size_t i = 0; i < b601.size(); i += 3) {
    auto inside = [](const uint8_t* p) {
      return p[0] > 8 && p[0] < 247 && p[1] > 8 && p[1] < 247 && p[2] > 8 && p[2] < 247;
    };
    if (!inside(&b601[i]) || !inside(&b709[i])) continue;
    const double l601 = Luma(&b601[i], 0.299, 0.114);
    sameError += std::abs(l601 - Luma(&b709[i], 0.2126, 0.0722));
    crossError += std::abs(l601 - Luma(&b709[i], 0.299, 0.114));
    ++n;
  }
  ASSERT_GT(n, 1000);
  EXPECT_LT(sameError / n, 1.5);
  EXPECT_GT(crossError / n, 2 * sameError / n + 1);

  // Limited range is stretched: black and white of the code become 0 and 255,
  // and the background spreads wider than the same samples read as full range.
  auto minMax = [](const std::vector<uint8_t>& p) {
    return std::make_pair(*std::min_element(p.begin(), p.end()),
                          *std::max_element(p.begin(), p.end()));
  };
  EXPECT_LE(minMax(b601).first, 6);
  EXPECT_GE(minMax(b601).second, 249);
  EXPECT_LE(minMax(full).first, 6);
  EXPECT_GE(minMax(full).second, 249);
  auto spread = [](const std::vector<uint8_t>& p) {
    double sum = 0, squares = 0;
    int count = 0;
    for (size_t i = 0; i < p.size(); i += 3) {
      const double l = Luma(&p[i], 0.299, 0.114);
      if (l < 10 || l > 245) continue;  // the code's black and white
      sum += l;
      squares += l * l;
      ++count;
    }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
  };
  const double ratio = spread(b601) / spread(full);
  EXPECT_GT(ratio, 1.08);
  EXPECT_LT(ratio, 1.25);
}

}  // namespace
}  // namespace ombrelo
