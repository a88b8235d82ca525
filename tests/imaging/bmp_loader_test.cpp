#include <gtest/gtest.h>

#include <filesystem>

#include "image_test_util.h"
#include "imaging/picture_loader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::BmpLayout;
using testing::BuildBmp;
using testing::Bytes;
using testing::DebugCapture;
using testing::PaletteOf;
using testing::PixelAt;
using testing::Raw;
using testing::Rgb;
using testing::TempFolder;

const Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kWhite{255, 255, 255}, kGrey{128, 128, 128};

std::unique_ptr<LoadedBitmap> Decode(const std::string& file, Picture* picture = nullptr,
                                     PictureSize* size = nullptr) {
  return PictureLoader::DecodeIntoBitmap(Bytes(file), PictureFormat::kBmp, picture, size);
}

// Every pixel of the bitmap, row by row from the top.
std::vector<std::vector<Rgb>> Pixels(const LoadedBitmap& bitmap) {
  std::vector<std::vector<Rgb>> rows(static_cast<size_t>(bitmap.Height()));
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) rows[y].push_back(PixelAt(bitmap, x, y));
  }
  return rows;
}

using Image = std::vector<std::vector<Rgb>>;

TEST(BmpLoaderTest, TwentyFourBitRowsComeOutUprightInBitmapOrder) {
  // 3 x 2, stored bottom-up: file row 0 is the bottom image row; rows are
  // padded to 12 bytes.
  BmpLayout layout;
  layout.width = 3;
  layout.height = 2;
  layout.pixels = Raw({0,   0,   255, 0, 255, 0, 255, 0,   0,   9, 9, 9,    // bottom: R G B
                     255, 255, 255, 0, 0,   0, 128, 128, 128, 9, 9, 9});  // top: W K grey
  DebugCapture capture;
  Picture picture;
  PictureSize size;
  const auto bitmap = Decode(BuildBmp(layout), &picture, &size);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{"JTRC_BMP\n"});
  EXPECT_EQ(Pixels(*bitmap), (Image{{kWhite, kBlack, kGrey}, {kRed, kGreen, kBlue}}));

  // The header of an upright 24-bit bitmap.
  EXPECT_EQ(bitmap->header.biSize, 40u);
  EXPECT_EQ(bitmap->header.biWidth, 3);
  EXPECT_EQ(bitmap->header.biHeight, -2);
  EXPECT_EQ(bitmap->header.biBitCount, 24);
  EXPECT_EQ(bitmap->header.biCompression, kBiRgb);
  EXPECT_EQ(bitmap->header.biSizeImage, 24u);
  EXPECT_EQ(bitmap->pixels.size(), 24u);
  EXPECT_TRUE(bitmap->palette.empty());
  // Stored blue, green, red.
  EXPECT_EQ(bitmap->Row(1)[0], 0);
  EXPECT_EQ(bitmap->Row(1)[2], 255);

  EXPECT_EQ(size, (PictureSize{3, 2}));
  EXPECT_EQ(picture.bitsPerPixel, 24);
  EXPECT_EQ(picture.redShift, 16);
  EXPECT_EQ(picture.greenShift, 8);
  EXPECT_EQ(picture.blueShift, 0);
  EXPECT_EQ(picture.pixels, nullptr);
  EXPECT_EQ(picture.palette, nullptr);

  // The same picture stored top-down (negative height).
  layout.height = -2;
  layout.pixels = layout.pixels.substr(12) + layout.pixels.substr(0, 12);
  const auto topDown = Decode(BuildBmp(layout));
  ASSERT_TRUE(topDown);
  EXPECT_EQ(Pixels(*topDown), (Image{{kWhite, kBlack, kGrey}, {kRed, kGreen, kBlue}}));
}

TEST(BmpLoaderTest, IndexedRowsUseThePalette) {
  const auto palette = PaletteOf({kBlack, kRed, kGreen, kBlue});
  {
    SCOPED_TRACE("1 bit, most significant bit first, 10 pixels in 4-byte rows");
    BmpLayout layout;
    layout.width = 10;
    layout.height = 2;
    layout.bitsPerPixel = 1;
    layout.colours = 2;
    layout.palette = PaletteOf({kBlue, kWhite});
    layout.pixels = Raw({0xA0, 0x40, 0, 0,  // bottom: 1010 0000 01
                       0xFF, 0xC0, 0, 0});
    DebugCapture capture;
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"JTRC_BMP_MAPPED\n"});
    const Image expected{std::vector<Rgb>(10, kWhite),
                         {kWhite, kBlue, kWhite, kBlue, kBlue, kBlue, kBlue, kBlue, kBlue, kWhite}};
    EXPECT_EQ(Pixels(*bitmap), expected);

    // The row length comes from the image size when there is one.
    layout.imageSize = 2 * 8;
    layout.pixels = Raw({0xA0, 0x40, 0, 0, 7, 7, 7, 7, 0xFF, 0xC0, 0, 0, 7, 7, 7, 7});
    const auto sized = Decode(BuildBmp(layout));
    ASSERT_TRUE(sized);
    EXPECT_EQ(Pixels(*sized), expected);
  }
  {
    SCOPED_TRACE("4 bits, high nibble first");
    BmpLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.bitsPerPixel = 4;
    layout.colours = 4;
    layout.palette = palette;
    layout.pixels = Raw({0x12, 0x30, 0, 0});
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Pixels(*bitmap), (Image{{kRed, kGreen, kBlue}}));
  }
  {
    SCOPED_TRACE("8 bits; a colour count of 0 means 256 entries");
    BmpLayout layout;
    layout.width = 5;
    layout.height = 2;
    layout.bitsPerPixel = 8;
    layout.palette.assign(256 * 4, 0);
    layout.palette[255 * 4 + 1] = 255;                // entry 255 green
    layout.palette[1 * 4 + 2] = 255;                  // entry 1 red
    layout.pixels = Raw({1, 255, 0, 1, 255, 0, 0, 0,  // rows of 8 bytes
                       255, 255, 1, 1, 0, 0, 0, 0});
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Pixels(*bitmap),
              (Image{{kGreen, kGreen, kRed, kRed, kBlack}, {kRed, kGreen, kBlack, kRed, kGreen}}));

    DebugCapture capture;
    layout.colours = 300;
    EXPECT_FALSE(Decode(BuildBmp(layout)));
  }
}

TEST(BmpLoaderTest, SixteenBitRowsWithAndWithoutBitFields) {
  BmpLayout layout;
  layout.width = 3;
  layout.height = 1;
  layout.bitsPerPixel = 16;
  {
    SCOPED_TRACE("5-5-5");
    layout.pixels = Raw({0xFF, 0x7F, 0x00, 0x7C, 0x1F, 0x00, 0, 0});
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Pixels(*bitmap), (Image{{{248, 248, 248}, {248, 0, 0}, {0, 0, 248}}}));
  }
  {
    SCOPED_TRACE("5-6-5 bit fields");
    layout.compression = 3;
    layout.masks = {0xF800, 0x07E0, 0x001F};
    layout.pixels = Raw({0xFF, 0xFF, 0xE0, 0x07, 0x00, 0xF8, 0, 0});
    DebugCapture capture;
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"JTRC_BMP\n", "16 bit Bitmap with bitfield format\n"}));
    EXPECT_EQ(Pixels(*bitmap), (Image{{{248, 252, 248}, {0, 252, 0}, {248, 0, 0}}}));
  }
  {
    SCOPED_TRACE("unusual masks: blue high, red low, an empty mask");
    layout.masks = {0x001F, 0x0000, 0x7C00};
    layout.pixels = Raw({0x1F, 0x7C, 0x00, 0x00, 0x00, 0x40, 0, 0});
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Pixels(*bitmap), (Image{{{248, 0, 248}, {0, 0, 0}, {0, 0, 128}}}));
  }
}

TEST(BmpLoaderTest, Os2CoreHeaders) {
  BmpLayout layout;
  layout.headerSize = 12;
  layout.width = 2;
  layout.height = 2;
  {
    SCOPED_TRACE("8 bits with three-byte palette entries");
    layout.bitsPerPixel = 8;
    layout.palette.assign(256 * 3, 0);
    layout.palette[3 * 2 + 0] = 255;  // entry 2 blue
    layout.palette[3 * 3 + 2] = 255;  // entry 3 red
    layout.pixels = Raw({2, 3, 0, 0, 3, 2, 0, 0});
    DebugCapture capture;
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"JTRC_BMP_OS2_MAPPED\n"});
    EXPECT_EQ(Pixels(*bitmap), (Image{{kRed, kBlue}, {kBlue, kRed}}));
  }
  {
    SCOPED_TRACE("24 bits");
    layout.bitsPerPixel = 24;
    layout.palette.clear();
    layout.pixels = Raw({0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0});
    DebugCapture capture;
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"JTRC_BMP_OS2"});
    EXPECT_EQ(Pixels(*bitmap), (Image{{kBlue, kWhite}, {kRed, kGreen}}));
  }
  {
    SCOPED_TRACE("16 bits are not an OS/2 depth");
    layout.bitsPerPixel = 16;
    DebugCapture capture;
    EXPECT_FALSE(Decode(BuildBmp(layout)));
    EXPECT_TRUE(capture.Lines().empty());
  }
}

TEST(BmpLoaderTest, RunLengthEncodedRows) {
  const auto palette = PaletteOf({kBlack, kRed, kGreen, kBlue, kWhite});
  {
    SCOPED_TRACE("8 bits: runs, absolute runs, delta, end of line, end of bitmap");
    BmpLayout layout;
    layout.width = 6;
    layout.height = 4;
    layout.bitsPerPixel = 8;
    layout.compression = 1;
    layout.colours = 5;
    layout.palette = palette;
    // clang-format off
    layout.pixels = Raw({
        3, 1, 0, 3, 2, 3, 4, 0, 0, 0,  // row 0: RRR + absolute G B W (padded), end of line
        0, 2, 2, 0, 2, 3, 0, 0,        // row 1: delta 2 right, BB, end of line
        1, 4, 0, 2, 1, 1, 1, 2,        // row 2: W, delta (1 right, 1 down): rest of row 2 black
        //                                row 3 starts at column 2: G
        0, 1,  // end of bitmap
    });
    // clang-format on
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    const Rgb K = kBlack, R = kRed, G = kGreen, B = kBlue, W = kWhite;
    EXPECT_EQ(Pixels(*bitmap), (Image{{K, K, G, K, K, K},  // image top = file row 3
                                      {W, K, K, K, K, K},
                                      {K, K, B, B, K, K},
                                      {R, R, R, G, B, W}}));
  }
  {
    SCOPED_TRACE("4 bits: alternating nibbles; runs past the row are clipped");
    BmpLayout layout;
    layout.width = 5;
    layout.height = 3;
    layout.bitsPerPixel = 4;
    layout.compression = 2;
    layout.colours = 5;
    layout.palette = palette;
    // clang-format off
    layout.pixels = Raw({
        5, 0x12, 0, 0,           // row 0: R G R G R (full), its end of line
        0, 3, 0x34, 0x10, 0, 0,  // row 1: absolute B W R (two bytes, even), end of line
        200, 0x44, 0, 0,         // row 2: a run of 200 white, clipped at the width
        0, 1,                    // end of bitmap
    });
    // clang-format on
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    const Rgb K = kBlack, R = kRed, G = kGreen, B = kBlue, W = kWhite;
    EXPECT_EQ(Pixels(*bitmap), (Image{{W, W, W, W, W}, {B, W, R, K, K}, {R, G, R, G, R}}));
  }
  {
    SCOPED_TRACE("data used up: the remaining rows stay blank");
    BmpLayout layout;
    layout.width = 2;
    layout.height = 3;
    layout.bitsPerPixel = 8;
    layout.compression = 1;
    layout.colours = 2;
    layout.palette = PaletteOf({kWhite, kRed});
    layout.pixels = Raw({2, 1});
    const auto bitmap = Decode(BuildBmp(layout));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Pixels(*bitmap), (Image{{kBlack, kBlack}, {kBlack, kBlack}, {kRed, kRed}}));
  }
}

TEST(BmpLoaderTest, RefusesWhatItCannotDecode) {
  BmpLayout good;
  good.width = 2;
  good.height = 2;
  good.pixels = std::string(16, '\0');
  ASSERT_TRUE(Decode(BuildBmp(good)));

  const auto refused = [](BmpLayout layout) {
    DebugCapture capture;
    return !Decode(BuildBmp(layout));
  };
  {
    SCOPED_TRACE("32 bits");
    BmpLayout layout = good;
    layout.bitsPerPixel = 32;
    DebugCapture capture;
    EXPECT_FALSE(Decode(BuildBmp(layout)));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"JTRC_BMP_MAPPED\n"});
  }
  BmpLayout layout = good;
  layout.planes = 2;
  EXPECT_TRUE(refused(layout)) << "planes";
  layout = good;
  layout.headerSize = 108;
  EXPECT_TRUE(refused(layout)) << "header size";
  layout = good;
  layout.headerSize = 52;
  EXPECT_TRUE(refused(layout)) << "header size between";
  layout = good;
  layout.offsetAdjust = -2;
  EXPECT_TRUE(refused(layout)) << "pixel data inside the header";
  layout = good;
  layout.width = -2;
  EXPECT_TRUE(refused(layout)) << "negative width";

  std::string file = BuildBmp(good);
  file[1] = 'A';
  EXPECT_FALSE(Decode(file)) << "signature";

  DebugCapture capture;
  layout = good;
  layout.width = 0;
  EXPECT_FALSE(Decode(BuildBmp(layout)));
  EXPECT_TRUE(capture.Contains("Failed to get valid size from the source image\n"));
}

TEST(BmpLoaderTest, TruncatedAndLyingFilesAreRefusedOrClipped) {
  BmpLayout layout;
  layout.width = 4;
  layout.height = 4;
  layout.pixels.clear();
  for (int row = 0; row < 4; ++row) {
    for (int x = 0; x < 4; ++x) layout.pixels += Raw({255, 255, 255});
  }
  const std::string whole = BuildBmp(layout);
  {
    SCOPED_TRACE("pixel data cut after one and a half rows");
    const auto bitmap = Decode(whole.substr(0, whole.size() - 2 * 12 - 6));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(PixelAt(*bitmap, 0, 3), kWhite);  // bottom row, complete
    EXPECT_EQ(PixelAt(*bitmap, 1, 2), kWhite);  // second row, first half
    EXPECT_EQ(PixelAt(*bitmap, 3, 2), kBlack);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), kBlack);
  }
  {
    SCOPED_TRACE("cut inside the headers");
    for (size_t length : {size_t{0}, size_t{1}, size_t{13}, size_t{20}, size_t{53}}) {
      EXPECT_FALSE(Decode(whole.substr(0, length))) << length;
    }
  }
  {
    SCOPED_TRACE("pixel data offset beyond the end");
    BmpLayout lying = layout;
    lying.pixels.clear();
    lying.offsetAdjust = 0;
    std::string file = BuildBmp(lying);
    file[10] = static_cast<char>(0xFF);
    EXPECT_FALSE(Decode(file));
  }
  {
    SCOPED_TRACE("huge dimensions");
    BmpLayout huge = layout;
    huge.width = 2000000000;
    huge.height = 2000000000;
    DebugCapture capture;
    EXPECT_FALSE(Decode(BuildBmp(huge)));
    EXPECT_FALSE(capture.Lines().empty());
    huge.width = 1;
    huge.height = INT32_MIN;
    EXPECT_FALSE(Decode(BuildBmp(huge)));
  }
  {
    SCOPED_TRACE("a 1-bit image size too small for the rows");
    BmpLayout small;
    small.width = 40;
    small.height = 3;
    small.bitsPerPixel = 1;
    small.imageSize = 3;  // one byte per row where five are needed
    small.palette = PaletteOf({kBlack, kWhite});
    small.pixels = Raw({0xFF, 0x00, 0xFF});
    const auto bitmap = Decode(BuildBmp(small));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(PixelAt(*bitmap, 7, 0), kWhite);
    EXPECT_EQ(PixelAt(*bitmap, 8, 0), kBlack);
    EXPECT_EQ(PixelAt(*bitmap, 7, 1), kBlack);
  }
}

// Every prefix of a valid file must decode or fail cleanly, never read
// beyond the data.
TEST(BmpLoaderTest, EveryTruncationOfRunLengthDataIsSafe) {
  BmpLayout layout;
  layout.width = 7;
  layout.height = 5;
  layout.bitsPerPixel = 4;
  layout.compression = 2;
  layout.colours = 3;
  layout.palette = PaletteOf({kBlack, kRed, kGreen});
  layout.pixels = Raw({7, 0x12, 0, 0, 0, 5, 0x12, 0x12, 0x10, 0,    0,    0, 2, 3, 1,
                     3, 0x21, 0, 0, 0, 9, 0x11, 0x22, 0x11, 0x22, 0x10, 0, 0, 1});
  const std::string file = BuildBmp(layout);
  DebugCapture capture;
  for (size_t length = 0; length <= file.size(); ++length) {
    // Copied so that reading past the prefix would leave the allocation.
    const std::string prefix = file.substr(0, length);
    const auto bitmap = Decode(prefix);
    if (bitmap) {
      EXPECT_EQ(bitmap->pixels.size(), bitmap->RowBytes() * 5u);
    }
  }
}

TEST(PictureLoaderTest, ChoosesTheReaderByExtension) {
  EXPECT_EQ(ChoosePictureFormat("a/b/picture.bmp"), PictureFormat::kBmp);
  EXPECT_EQ(ChoosePictureFormat("PICTURE.BMP"), PictureFormat::kBmp);
  EXPECT_EQ(ChoosePictureFormat("x.JPG"), PictureFormat::kJpeg);
  EXPECT_EQ(ChoosePictureFormat("thumbnail"), PictureFormat::kJpeg);
  EXPECT_EQ(ChoosePictureFormat("a.b"), PictureFormat::kJpeg);
  EXPECT_EQ(ChoosePictureFormat("folder.bmp/file"), PictureFormat::kJpeg);
  for (const char* name : {"x.png", "x.LWF", "x.tga", "x.Targa", "x.tif", "x.TIFF", "x.jp2"}) {
    EXPECT_EQ(ChoosePictureFormat(name), PictureFormat::kNone) << name;
  }
}

TEST(PictureLoaderTest, LoadsFilesThroughAMapping) {
  TempFolder folder("picture_loader");
  BmpLayout layout;
  layout.width = 1;
  layout.height = 1;
  layout.pixels = Raw({0, 0, 255, 0});
  const std::string bmp = BuildBmp(layout);

  const std::string path = folder / "Rot & Blau ünïcode.BMP";
  ASSERT_TRUE(testing::WriteFileBytes(path, bmp));
  PictureSize size{100, 100};
  const auto bitmap = PictureLoader::LoadIntoBitmap(path, nullptr, &size);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(PixelAt(*bitmap, 0, 0), kRed);
  EXPECT_EQ(size, (PictureSize{1, 1}));

  {
    SCOPED_TRACE("a missing file fails silently");
    DebugCapture capture;
    EXPECT_FALSE(PictureLoader::LoadIntoBitmap(folder / "missing.bmp"));
    EXPECT_TRUE(capture.Lines().empty());
  }
  {
    SCOPED_TRACE("unsupported extension");
    ASSERT_TRUE(testing::WriteFileBytes(folder / "picture.TIFF", bmp));
    DebugCapture capture;
    EXPECT_FALSE(PictureLoader::LoadIntoBitmap(folder / "picture.TIFF"));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"Unsupported image format\n"});
  }
  {
    SCOPED_TRACE("empty file and folder cannot be mapped");
    ASSERT_TRUE(testing::WriteFileBytes(folder / "empty.bmp", ""));
    DebugCapture capture;
    EXPECT_FALSE(PictureLoader::LoadIntoBitmap(folder / "empty.bmp"));
    EXPECT_FALSE(PictureLoader::LoadIntoBitmap(folder.Path()));
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"Failed to create file mapping\n",
                                                         "Failed to create file mapping\n"}));
  }
  {
    SCOPED_TRACE("a BMP named like a JPEG goes to the JPEG reader");
    ASSERT_TRUE(testing::WriteFileBytes(folder / "picture.jpg", bmp));
    DebugCapture capture;
    EXPECT_FALSE(PictureLoader::LoadIntoBitmap(folder / "picture.jpg"));
    EXPECT_TRUE(capture.Contains("Error in JPG header\n"));
  }
}

}  // namespace
}  // namespace ombrelo
