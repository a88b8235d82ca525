#include "imaging/jpeg_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "image_test_util.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::DecodeJpegBytes;
using testing::Near;
using testing::ReadFileBytes;
using testing::Rgb;
using testing::TempFolder;

constexpr int kSize = 32;
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// The colour of image pixel (x, y) in the test picture: four quadrants.
Rgb Quadrant(int x, int y) {
  const bool left = x < kSize / 2, top = y < kSize / 2;
  return top ? (left ? kRed : kGreen) : (left ? kBlue : kWhite);
}

// A picture of the quadrants in bitmap byte order (blue, green, red),
// `bytesPerPixel` 3 or 4, rows bottom-up or top-down.
struct TestPicture {
  std::vector<uint8_t> pixels;
  Picture picture;
};

TestPicture MakeQuadrants(int bytesPerPixel, bool bottomUp) {
  TestPicture t;
  const int stride = (kSize * bytesPerPixel + 3) / 4 * 4 + 4;  // padded rows
  t.pixels.assign(static_cast<size_t>(stride) * kSize, 0x5A);
  for (int y = 0; y < kSize; ++y) {
    const int line = bottomUp ? kSize - 1 - y : y;
    for (int x = 0; x < kSize; ++x) {
      uint8_t* p = t.pixels.data() + line * stride + x * bytesPerPixel;
      const Rgb c = Quadrant(x, y);
      p[0] = static_cast<uint8_t>(c.b);
      p[1] = static_cast<uint8_t>(c.g);
      p[2] = static_cast<uint8_t>(c.r);
      if (bytesPerPixel == 4) p[3] = 0x77;
    }
  }
  t.picture.pixels = t.pixels.data();
  t.picture.width = kSize;
  t.picture.height = kSize;
  t.picture.stride = stride;
  t.picture.bitsPerPixel = bytesPerPixel * 8;
  // As built from a bitmap header.
  t.picture.redShift = 0;
  t.picture.greenShift = 8;
  t.picture.blueShift = 16;
  t.picture.redBits = t.picture.greenBits = t.picture.blueBits = 8;
  return t;
}

void ExpectQuadrants(const std::string& path) {
  const auto decoded = DecodeJpegBytes(ReadFileBytes(path));
  ASSERT_EQ(decoded.width, kSize);
  ASSERT_EQ(decoded.height, kSize);
  for (int y : {2, kSize / 4, kSize - 3}) {
    for (int x : {2, kSize / 4, kSize - 3}) {
      EXPECT_TRUE(Near(decoded.At(x, y), Quadrant(x, y), 24))
          << "at " << x << "," << y << ": " << decoded.At(x, y) << " expected " << Quadrant(x, y);
    }
  }
}

TEST(SaveJpgTest, WritesUprightJpegsWithTheRightColours) {
  TempFolder folder("jpeg_writer");
  struct Case {
    const char* name;
    int bytesPerPixel;
    bool bottomUp;
  };
  for (const Case& c : {Case{"24 bottom-up", 3, true}, Case{"24 top-down", 3, false},
                        Case{"32 bottom-up", 4, true}, Case{"32 top-down", 4, false}}) {
    SCOPED_TRACE(c.name);
    TestPicture t = MakeQuadrants(c.bytesPerPixel, c.bottomUp);
    if (c.bytesPerPixel == 4) {
      // A 32-bit source is read as plain bytes whatever its channel fields.
      t.picture.redShift = 16;
      t.picture.redBits = t.picture.greenBits = t.picture.blueBits = 5;
    }
    const std::string path = folder / (std::string(c.name) + " & ünïcode.jpg");
    DebugCapture capture;
    ASSERT_TRUE(SaveJPG(t.picture, path, 90, c.bottomUp));
    EXPECT_TRUE(capture.Lines().empty()) << capture.Text();
    ExpectQuadrants(path);
  }
}

TEST(SaveJpgTest, QualityReachesTheEncoder) {
  TempFolder folder("jpeg_writer");
  // Noise compresses very differently at the two ends of the scale.
  TestPicture t = MakeQuadrants(3, true);
  uint32_t seed = 1;
  for (uint8_t& b : t.pixels) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  ASSERT_TRUE(SaveJPG(t.picture, folder / "low.jpg", 5, true));
  ASSERT_TRUE(SaveJPG(t.picture, folder / "high.jpg", 100, true));
  EXPECT_LT(ReadFileBytes(folder / "low.jpg").size() * 2,
            ReadFileBytes(folder / "high.jpg").size());
}

TEST(SaveJpgTest, SixteenBitPixelsFollowTheGreenWidth) {
  TempFolder folder("jpeg_writer");
  std::vector<uint8_t> pixels(16 * 16 * 2);
  for (size_t i = 0; i < pixels.size(); i += 2) {
    pixels[i] = 0xFF;
    pixels[i + 1] = 0x7F;
  }
  Picture picture;
  picture.pixels = pixels.data();
  picture.width = picture.height = 16;
  picture.stride = 32;
  picture.bitsPerPixel = 16;

  picture.greenBits = 5;  // 5-5-5: 0x7FFF is white
  ASSERT_TRUE(SaveJPG(picture, folder / "555.jpg", 95, true));
  EXPECT_TRUE(
      Near(DecodeJpegBytes(ReadFileBytes(folder / "555.jpg")).At(8, 8), Rgb{248, 248, 248}, 8));

  picture.greenBits = 6;  // 5-6-5: red 15, green 63, blue 31
  ASSERT_TRUE(SaveJPG(picture, folder / "565.jpg", 95, true));
  EXPECT_TRUE(
      Near(DecodeJpegBytes(ReadFileBytes(folder / "565.jpg")).At(8, 8), Rgb{120, 252, 248}, 8));
}

TEST(SaveJpgTest, FailuresReturnFalseAndLeaveNoFile) {
  TempFolder folder("jpeg_writer");
  TestPicture t = MakeQuadrants(3, true);

  {
    SCOPED_TRACE("unsupported depth");
    DebugCapture capture;
    t.picture.bitsPerPixel = 8;
    EXPECT_FALSE(SaveJPG(t.picture, folder / "eight.jpg", 85, true));
    EXPECT_TRUE(capture.Contains("Unsupported input format to SaveJPG()\n"));
    EXPECT_FALSE(std::filesystem::exists(folder / "eight.jpg"));
    t.picture.bitsPerPixel = 24;
  }
  {
    SCOPED_TRACE("folder that does not exist");
    DebugCapture capture;
    const std::string path = folder / "missing/thumb.jpg";
    EXPECT_FALSE(SaveJPG(t.picture, path, 85, true));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"can't open " + path + " error " +
                                                        std::to_string(ENOENT) + "\n"});
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  {
    SCOPED_TRACE("full disk (/dev/full)");
    DebugCapture capture;
    EXPECT_FALSE(SaveJPG(t.picture, "/dev/full", 85, true));
    EXPECT_FALSE(capture.Lines().empty());
    // The device itself is never removed.
    struct stat info;
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
  }
  {
    SCOPED_TRACE("empty picture");
    t.picture.height = 0;
    EXPECT_FALSE(SaveJPG(t.picture, folder / "empty.jpg", 85, true));
    EXPECT_FALSE(std::filesystem::exists(folder / "empty.jpg"));
    t.picture.height = kSize;
  }
}

// A file-size limit makes writes to a regular file fail part-way, as a full
// disk does: the encoder's error must end the call, not the process, the
// partial file must go, and the picture written there before must stay.
TEST(SaveJpgTest, WriteErrorPartWayRemovesThePartialFile) {
  TempFolder folder("jpeg_writer");
  std::vector<uint8_t> pixels(256 * 256 * 3);
  uint32_t seed = 7;
  for (uint8_t& b : pixels) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  Picture picture;
  picture.pixels = pixels.data();
  picture.width = picture.height = 256;
  picture.stride = 256 * 3;
  picture.bitsPerPixel = 24;

  const std::string earlier = folder / "earlier.jpg";
  ASSERT_TRUE(SaveJPG(picture, earlier, 20, true));
  const std::string earlierBytes = ReadFileBytes(earlier);

  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 6000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  DebugCapture capture;
  const std::string path = folder / "partial.jpg";
  const bool saved_ok = SaveJPG(picture, path, 100, true);
  const bool replaced = SaveJPG(picture, earlier, 100, true);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(saved_ok);
  EXPECT_FALSE(replaced);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ReadFileBytes(earlier), earlierBytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left";
  EXPECT_FALSE(capture.Lines().empty());

  // With the limit gone the same picture is written, also under a name
  // that leaves no room for a longer temporary one.
  EXPECT_TRUE(SaveJPG(picture, path, 100, true));
  EXPECT_GT(std::filesystem::file_size(path), 6000u);
  const std::string longName = folder / (std::string(251, 'n') + ".jpg");
  EXPECT_TRUE(SaveJPG(picture, longName, 50, true));
  EXPECT_TRUE(std::filesystem::is_regular_file(longName));
}

TEST(JpegStreamWriterTest, BandsMakeTheSameFileAsTheWholePictureAndMisuseLeavesNoFile) {
  TempFolder folder("jpeg_writer");
  TestPicture t = MakeQuadrants(4, false);
  const std::string whole = folder / "whole.jpg";
  ASSERT_TRUE(SaveJPG(t.picture, whole, 90, false));

  // Three bands of 10, 1 and 21 rows.
  const std::string banded = folder / "banded.jpg";
  JpegStreamWriter writer;
  ASSERT_TRUE(writer.Open(banded, kSize, kSize, 90));
  int top = 0;
  for (int rows : {10, 1, 21}) {
    Picture band = t.picture;
    band.pixels += static_cast<ptrdiff_t>(band.stride) * top;
    band.height = rows;
    ASSERT_TRUE(writer.WriteRows(band));
    top += rows;
  }
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(ReadFileBytes(banded), ReadFileBytes(whole));

  DebugCapture capture;
  {
    SCOPED_TRACE("more rows than the picture has");
    JpegStreamWriter over;
    ASSERT_TRUE(over.Open(folder / "over.jpg", kSize, kSize - 1, 90));
    EXPECT_FALSE(over.WriteRows(t.picture));
    EXPECT_EQ(over.ErrorCode(), EINVAL);
    EXPECT_FALSE(over.Finish()) << "nothing works after a failure";
    EXPECT_FALSE(std::filesystem::exists(folder / "over.jpg"));
  }
  {
    SCOPED_TRACE("rows missing, and a writer dropped unfinished");
    JpegStreamWriter early;
    ASSERT_TRUE(early.Open(folder / "early.jpg", kSize, kSize, 90));
    EXPECT_FALSE(early.Finish());
    EXPECT_FALSE(std::filesystem::exists(folder / "early.jpg"));
    {
      JpegStreamWriter dropped;
      ASSERT_TRUE(dropped.Open(folder / "dropped.jpg", kSize, kSize, 90));
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "dropped.jpg"));
  }
  {
    SCOPED_TRACE("larger than the format allows, and a folder that is not there");
    JpegStreamWriter large;
    EXPECT_FALSE(large.Open(folder / "large.jpg", 65501, 10, 90));
    EXPECT_NE(large.ErrorCode(), 0);
    EXPECT_FALSE(large.Open(folder / "missing/x.jpg", 10, 10, 90));
    EXPECT_EQ(large.ErrorCode(), ENOENT);
  }
}

}  // namespace
}  // namespace ombrelo
