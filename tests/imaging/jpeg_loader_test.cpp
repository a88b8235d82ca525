#include <gtest/gtest.h>

#include "image_test_util.h"
#include "imaging/picture_loader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::Bytes;
using testing::DebugCapture;
using testing::EncodeJpeg;
using testing::JpegLayout;
using testing::Near;
using testing::PixelAt;
using testing::Rgb;
using testing::TempFolder;

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};
constexpr int kTolerance = 24;

Rgb Quadrant(int x, int y, int width, int height) {
  const bool left = x < width / 2, top = y < height / 2;
  return top ? (left ? kRed : kGreen) : (left ? kBlue : kWhite);
}

JpegLayout Quadrants(int width, int height) {
  JpegLayout layout;
  layout.width = width;
  layout.height = height;
  layout.pixel = [width, height](int x, int y, uint8_t* s) {
    const Rgb c = Quadrant(x, y, width, height);
    s[0] = static_cast<uint8_t>(c.r);
    s[1] = static_cast<uint8_t>(c.g);
    s[2] = static_cast<uint8_t>(c.b);
  };
  return layout;
}

std::unique_ptr<LoadedBitmap> Decode(const std::string& file, PictureSize* size = nullptr,
                                     Picture* picture = nullptr) {
  return PictureLoader::DecodeIntoBitmap(Bytes(file), PictureFormat::kJpeg, picture, size);
}

// Checks points well inside each quadrant.
void ExpectQuadrants(const LoadedBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  for (int fy : {1, 3}) {
    for (int fx : {1, 3}) {
      const int x = w * fx / 4, y = h * fy / 4;
      EXPECT_TRUE(Near(PixelAt(bitmap, x, y), Quadrant(x, y, w, h), kTolerance))
          << "at " << x << "," << y << " of " << w << "x" << h << ": " << PixelAt(bitmap, x, y);
    }
  }
}

TEST(JpegLoaderTest, ColourFilesComeOutUprightInBitmapOrder) {
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    JpegLayout layout = Quadrants(64, 48);
    layout.progressive = progressive;
    DebugCapture capture;
    PictureSize size;
    Picture picture;
    const auto bitmap = Decode(EncodeJpeg(layout), &size, &picture);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(capture.Lines().empty()) << capture.Text();
    EXPECT_EQ(bitmap->header.biWidth, 64);
    EXPECT_EQ(bitmap->header.biHeight, -48);
    EXPECT_EQ(bitmap->header.biBitCount, 24);
    EXPECT_EQ(bitmap->header.biSizeImage, 64u * 3 * 48);
    EXPECT_TRUE(bitmap->palette.empty());
    ExpectQuadrants(*bitmap);
    // Blue, green, red in memory.
    EXPECT_GT(bitmap->Row(4)[2], 200);
    EXPECT_LT(bitmap->Row(4)[0], 50);
    EXPECT_EQ(size, (PictureSize{64, 48}));
    EXPECT_EQ(picture.bitsPerPixel, 24);
    EXPECT_EQ(picture.redShift, 16);
    EXPECT_EQ(picture.width, 64);
  }
}

TEST(JpegLoaderTest, DecodesReducedWhenTheDisplaySizeAllows) {
  const std::string file = EncodeJpeg(Quadrants(800, 600));
  struct Case {
    PictureSize requested;
    PictureSize decoded;
  };
  const Case cases[] = {
      {{80, 60}, {100, 75}},     // quotients 10 and 10: 1/8
      {{100, 75}, {100, 75}},    // 8 and 8: 1/8
      {{200, 150}, {200, 150}},  // 4: 1/4
      {{200, 200}, {400, 300}},  // 4 and 3, the smaller decides: 1/2
      {{300, 300}, {400, 300}},  // 2: 1/2
      {{500, 300}, {800, 600}},  // 1 and 2: full size
      {{0, 60}, {800, 600}},     // no requested size
      {{0, 0}, {800, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.requested.width) + "x" + std::to_string(c.requested.height));
    PictureSize size = c.requested;
    const auto bitmap = Decode(file, &size);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Width(), c.decoded.width);
    EXPECT_EQ(bitmap->Height(), c.decoded.height);
    EXPECT_EQ(size, (PictureSize{800, 600}));  // the size in the file
    ExpectQuadrants(*bitmap);
  }
}

TEST(JpegLoaderTest, GreyscaleFilesGiveEightBitsAndAGreyPalette) {
  JpegLayout layout;
  layout.width = 64;
  layout.height = 16;
  layout.components = 1;
  layout.inputSpace = JCS_GRAYSCALE;
  layout.pixel = [](int x, int, uint8_t* s) { s[0] = static_cast<uint8_t>(x * 4); };
  Picture picture;
  const auto bitmap = Decode(EncodeJpeg(layout), nullptr, &picture);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->header.biBitCount, 8);
  EXPECT_EQ(bitmap->RowBytes(), 64u);
  ASSERT_EQ(bitmap->palette.size(), 1024u);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(bitmap->palette[4 * i], i);
    EXPECT_EQ(bitmap->palette[4 * i + 1], i);
    EXPECT_EQ(bitmap->palette[4 * i + 2], i);
    EXPECT_EQ(bitmap->palette[4 * i + 3], 0);
  }
  for (int x = 2; x < 62; x += 10) {
    EXPECT_NEAR(bitmap->Row(8)[x], x * 4, 6) << x;
  }
  EXPECT_EQ(picture.bitsPerPixel, 8);
  EXPECT_EQ(picture.greenBits, 0);

  // An odd width pads the 8-bit rows to four bytes.
  layout.width = 13;
  const auto odd = Decode(EncodeJpeg(layout));
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->RowBytes(), 16u);
  EXPECT_EQ(odd->pixels.size(), 16u * 16);
}

// Ink values of the four quadrant colours.
void CmykOf(const Rgb& c, uint8_t* s, bool inverted) {
  const uint8_t k = 0;
  s[0] = static_cast<uint8_t>(255 - c.r);
  s[1] = static_cast<uint8_t>(255 - c.g);
  s[2] = static_cast<uint8_t>(255 - c.b);
  s[3] = k;
  if (inverted) {
    for (int i = 0; i < 4; ++i) s[i] = static_cast<uint8_t>(255 - s[i]);
  }
}

TEST(JpegLoaderTest, CmykAndYcckFilesAreConvertedToRgb) {
  struct Case {
    const char* name;
    J_COLOR_SPACE fileSpace;
    bool adobe;  // with an Adobe marker the inks are stored inverted
  };
  for (const Case& c : {Case{"CMYK, Adobe", JCS_CMYK, true}, Case{"YCCK, Adobe", JCS_YCCK, true},
                        Case{"CMYK, plain", JCS_CMYK, false}}) {
    SCOPED_TRACE(c.name);
    JpegLayout layout;
    layout.width = 32;
    layout.height = 32;
    layout.components = 4;
    layout.inputSpace = JCS_CMYK;
    layout.fileSpace = c.fileSpace;
    layout.writeAdobeMarker = c.adobe;
    const bool inverted = c.adobe;
    layout.pixel = [inverted](int x, int y, uint8_t* s) {
      CmykOf(Quadrant(x, y, 32, 32), s, inverted);
    };
    // A dark band: full black ink in the middle rows.
    const auto quadrants = layout.pixel;
    layout.pixel = [quadrants, inverted](int x, int y, uint8_t* s) {
      quadrants(x, y, s);
      if (y >= 14 && y < 18) s[3] = inverted ? 0 : 255;
    };
    DebugCapture capture;
    const auto bitmap = Decode(EncodeJpeg(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->header.biBitCount, 24);
    ExpectQuadrants(*bitmap);
    EXPECT_TRUE(Near(PixelAt(*bitmap, 8, 16), Rgb{0, 0, 0}, kTolerance)) << PixelAt(*bitmap, 8, 16);
  }
}

TEST(JpegLoaderTest, TruncatedFilesDecodeToTheirEnd) {
  JpegLayout layout = Quadrants(64, 64);
  layout.pixel = [](int, int, uint8_t* s) { s[0] = 200, s[1] = 100, s[2] = 50; };
  const std::string file = EncodeJpeg(layout);

  // Cut in the middle of the entropy-coded data after the scan header.
  const size_t scan = file.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);
  DebugCapture capture;
  const auto bitmap = Decode(file.substr(0, scan + (file.size() - scan) / 2));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Height(), 64);
  EXPECT_TRUE(Near(PixelAt(*bitmap, 10, 2), Rgb{200, 100, 50}, 8)) << PixelAt(*bitmap, 10, 2);
  EXPECT_TRUE(capture.Contains("Premature end of JPEG file\n")) << capture.Text();

  // Cut inside the headers: nothing to decode.
  capture.Clear();
  EXPECT_FALSE(Decode(file.substr(0, 100)));
  EXPECT_TRUE(capture.Contains("Error in JPG header\n"));
  capture.Clear();
  EXPECT_FALSE(Decode(""));
  EXPECT_TRUE(capture.Contains("Error in JPG header\n"));
}

TEST(JpegLoaderTest, BrokenFilesFailCleanly) {
  const std::string good = EncodeJpeg(Quadrants(48, 32));
  {
    SCOPED_TRACE("not a JPEG");
    DebugCapture capture;
    EXPECT_FALSE(Decode("this is not a picture at all"));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"Error in JPG header\n"});
  }
  {
    SCOPED_TRACE("a second frame header after the image");
    // Replace the end-of-image marker by a start-of-frame segment.
    std::string file = good.substr(0, good.size() - 2);
    file += testing::Raw({0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0});
    file += testing::Raw({0xFF, 0xD9});
    DebugCapture capture;
    EXPECT_FALSE(Decode(file));
    EXPECT_TRUE(capture.Contains("Error in JPG after image\n")) << capture.Text();
  }
  {
    SCOPED_TRACE("two components");
    JpegLayout layout;
    layout.components = 2;
    layout.inputSpace = JCS_UNKNOWN;
    layout.fileSpace = JCS_UNKNOWN;
    layout.pixel = [](int x, int y, uint8_t* s) { s[0] = uint8_t(x), s[1] = uint8_t(y); };
    DebugCapture capture;
    EXPECT_FALSE(Decode(EncodeJpeg(layout)));
    EXPECT_TRUE(capture.Contains("PictureLoader::ReadJPG()  Unsupported format of jpeg file.\n"));
  }
  {
    SCOPED_TRACE("too large");
    const auto refused = PictureLoader::DecodeIntoBitmap(Bytes(good), PictureFormat::kJpeg, nullptr,
                                                         nullptr, 48 * 32 - 1);
    EXPECT_FALSE(refused);
  }
  {
    SCOPED_TRACE("damaged bytes anywhere");
    // Each damaged copy must decode or fail, never crash or hang.
    DebugCapture capture;
    for (size_t i = 2; i < good.size(); i += 3) {
      std::string damaged = good;
      damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
      const auto bitmap = Decode(damaged);
      if (bitmap) {
        EXPECT_EQ(bitmap->pixels.size(), size_t{bitmap->header.biSizeImage});
      }
    }
  }
}

TEST(JpegLoaderTest, LoadsFilesByName) {
  TempFolder folder("jpeg_loader");
  const std::string file = EncodeJpeg(Quadrants(40, 40));
  for (const char* name : {"thumb.JPG", "no extension", "Bild & ünïcode.jpeg"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(testing::WriteFileBytes(folder / name, file));
    const auto bitmap = PictureLoader::LoadIntoBitmap(folder / name);
    ASSERT_TRUE(bitmap);
    ExpectQuadrants(*bitmap);
  }
}

}  // namespace
}  // namespace ombrelo
