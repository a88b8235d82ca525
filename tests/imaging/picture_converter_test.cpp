#include "imaging/picture_converter.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "imaging/bitmap_header.h"
#include "imaging/picture.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;

using Bytes = std::vector<uint8_t>;

PictureConverter ConverterTo(int bitsPerPixel, int greenBits = 0) {
  Picture destination;
  destination.bitsPerPixel = bitsPerPixel;
  destination.greenBits = greenBits;
  return PictureConverter(destination);
}

// A palette whose entry i is (i, 0x10 + i, 0x20 + i, 0xEE).
std::array<uint8_t, kPaletteBytes> TestPalette() {
  std::array<uint8_t, kPaletteBytes> palette{};
  for (int i = 0; i < 256; ++i) {
    palette[4 * i + 0] = static_cast<uint8_t>(i);
    palette[4 * i + 1] = static_cast<uint8_t>(0x10 + i);
    palette[4 * i + 2] = static_cast<uint8_t>(0x20 + i);
    palette[4 * i + 3] = 0xEE;
  }
  return palette;
}

// Converts one row; the destination starts filled with 0xAA so that
// untouched bytes show.
Bytes ConvertRow(const PictureConverter& converter, const Bytes& source, int width,
                 int bitsPerPixel, size_t destinationBytes, const uint8_t* palette = nullptr,
                 int redShift = 0, int greenBits = 0) {
  Bytes destination(destinationBytes, 0xAA);
  converter.Convert(source.data(), destination.data(), palette, width, bitsPerPixel, redShift, 0, 0,
                    0, greenBits, 0);
  return destination;
}

TEST(PictureConverterTest, Write24BitExchangesOuterBytesAndExpandsEverySource) {
  const PictureConverter to24 = ConverterTo(24);
  const auto palette = TestPalette();

  // 24 and 32 bits: first and third bytes exchanged whatever the shifts say.
  EXPECT_EQ(ConvertRow(to24, {0x10, 0x20, 0x30}, 1, 24, 3, nullptr, 0), (Bytes{0x30, 0x20, 0x10}));
  EXPECT_EQ(ConvertRow(to24, {0x10, 0x20, 0x30}, 1, 24, 3, nullptr, 16), (Bytes{0x30, 0x20, 0x10}));
  EXPECT_EQ(ConvertRow(to24, {1, 2, 3, 4, 5, 6, 7, 8}, 2, 32, 6), (Bytes{3, 2, 1, 7, 6, 5}));

  // 16 bits, 5-5-5 and 5-6-5, out in red, green, blue order.
  EXPECT_EQ(ConvertRow(to24, {0xFF, 0x7F}, 1, 16, 3, nullptr, 0, 5), (Bytes{0xF8, 0xF8, 0xF8}));
  EXPECT_EQ(ConvertRow(to24, {0xFF, 0xFF}, 1, 16, 3, nullptr, 0, 6), (Bytes{0xF8, 0xFC, 0xF8}));
  EXPECT_EQ(ConvertRow(to24, {0x00, 0x7C}, 1, 16, 3, nullptr, 0, 5), (Bytes{0xF8, 0x00, 0x00}));
  EXPECT_EQ(ConvertRow(to24, {0x1F, 0x00}, 1, 16, 3, nullptr, 0, 6), (Bytes{0x00, 0x00, 0xF8}));

  // 8 bits: entries read red first, written reversed.
  EXPECT_EQ(ConvertRow(to24, {5}, 1, 8, 3, palette.data()), (Bytes{0x25, 0x15, 0x05}));

  // 4 bits: high nibble first; entries used as they stand.
  EXPECT_EQ(ConvertRow(to24, {0x1F}, 2, 4, 6, palette.data()),
            (Bytes{0x01, 0x11, 0x21, 0x0F, 0x1F, 0x2F}));

  // 1 bit: most significant bit first.
  EXPECT_EQ(ConvertRow(to24, {0x80}, 8, 1, 24, palette.data()),
            (Bytes{0x01, 0x11, 0x21, 0, 0x10, 0x20, 0, 0x10, 0x20, 0, 0x10, 0x20,
                   0,    0x10, 0x20, 0, 0x10, 0x20, 0, 0x10, 0x20, 0, 0x10, 0x20}));
  // ... and on to the next byte after the eighth pixel.
  EXPECT_EQ(ConvertRow(to24, {0x00, 0x80}, 9, 1, 27, palette.data())[24], 0x01);
}

TEST(PictureConverterTest, Write32BitFollowsSourceByteOrder) {
  const PictureConverter to32 = ConverterTo(32);
  const auto palette = TestPalette();
  EXPECT_EQ(ConvertRow(to32, {0x10, 0x20, 0x30}, 1, 24, 4, nullptr, 0),
            (Bytes{0x10, 0x20, 0x30, 0}));
  EXPECT_EQ(ConvertRow(to32, {0x10, 0x20, 0x30}, 1, 24, 4, nullptr, 16),
            (Bytes{0x30, 0x20, 0x10, 0}));
  EXPECT_EQ(ConvertRow(to32, {1, 2, 3, 4}, 1, 32, 4, nullptr, 0), (Bytes{1, 2, 3, 0}));
  EXPECT_EQ(ConvertRow(to32, {1, 2, 3, 4}, 1, 32, 4, nullptr, 8), (Bytes{3, 2, 1, 0}));
  EXPECT_EQ(ConvertRow(to32, {0xFF, 0x7F}, 1, 16, 4, nullptr, 0, 5), (Bytes{0xF8, 0xF8, 0xF8, 0}));
  EXPECT_EQ(ConvertRow(to32, {0xFF, 0xFF}, 1, 16, 4, nullptr, 0, 6), (Bytes{0xF8, 0xFC, 0xF8, 0}));
  EXPECT_EQ(ConvertRow(to32, {7}, 1, 8, 4, palette.data()), (Bytes{0x27, 0x17, 0x07, 0}));
  EXPECT_EQ(ConvertRow(to32, {0x40}, 2, 1, 8, palette.data()),
            (Bytes{0x00, 0x10, 0x20, 0, 0x01, 0x11, 0x21, 0}));
}

TEST(PictureConverterTest, Write16BitPacksByDestinationGreenBits) {
  const auto palette = TestPalette();
  const auto word = [](const Bytes& b) { return b[0] | (b[1] << 8); };

  // A 24-bit pixel (c0, c1, c2) = (0xFF, 0x80, 0x11): c0 lands in the top
  // bits, c2 in the bottom ones, low bits dropped.
  const Bytes pixel{0xFF, 0x80, 0x11};
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 4), pixel, 1, 24, 2)), 0x0F81);  // 4-4-4
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 5), pixel, 1, 24, 2)), 0x7E02);  // 5-5-5
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 6), pixel, 1, 24, 2)), 0xFC02);  // 5-6-5
  // A 32-bit source drops its fourth byte.
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 6), {0xFF, 0x80, 0x11, 0x99}, 1, 32, 2)), 0xFC02);

  // 8 bits through the palette: entry 0xE0 is (0xE0, 0xF0, 0x00).
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 5), {0xE0}, 1, 8, 2, palette.data())),
            (0x00 >> 3) | ((0xF0 & 0xF8) << 2) | ((0xE0 & 0xF8) << 7));
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 4), {0xE0}, 1, 8, 2, palette.data())),
            (0x00 >> 4) | (0xF0 & 0xF0) | ((0xE0 & 0xF0) << 4));

  // 16 bits: copied to 5-5-5, green widened for 5-6-5.
  EXPECT_EQ(ConvertRow(ConverterTo(16, 5), {0x34, 0x12, 0xFF, 0x7F}, 2, 16, 4),
            (Bytes{0x34, 0x12, 0xFF, 0x7F}));
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 6), {0xFF, 0x7F}, 1, 16, 2)), 0xFFDF);
  EXPECT_EQ(word(ConvertRow(ConverterTo(16, 6), {0xE0, 0x03}, 1, 16, 2)), 0x07C0);

  // 1 and 4 bits: palette entries already hold the words.
  EXPECT_EQ(ConvertRow(ConverterTo(16, 5), {0x21}, 2, 4, 4, palette.data()),
            (Bytes{0x02, 0x12, 0x01, 0x11}));
  EXPECT_EQ(ConvertRow(ConverterTo(16, 6), {0x80}, 2, 1, 4, palette.data()),
            (Bytes{0x01, 0x11, 0x00, 0x10}));
}

TEST(PictureConverterTest, UnsupportedCombinationsLeaveTheRowAndSayWhy) {
  const auto palette = TestPalette();
  struct Case {
    int destinationBits, destinationGreen, sourceBits;
    const char* message;
  };
  const Case cases[] = {
      {16, 4, 32, "Unsupported DestNumOfGreenBits from 32"},
      {16, 4, 16, "Unsupported DestNumOfGreenBits from 16"},
      {16, 7, 8, "Unsupported DestNumOfGreenBits from 8"},
      {16, 3, 24, "Unsupported DestNumOfGreenBits from 24"},
      {16, 0, 1, "Unsupported DestNumOfGreenBits from 1"},
      {16, 8, 4, "Unsupported DestNumOfGreenBits from 4"},
      {16, 5, 2, "PictureConverter::Write16Bit  Unsupported source format\n"},
      {24, 0, 15, "PictureConverter::Write24Bit  Unsupported source format\n"},
      {32, 0, 0, "PictureConverter::Write32Bit  Unsupported source format\n"},
      {8, 0, 24, "PictureConverter::Convert  Unsupported destination format\n"},
      {15, 5, 24, "PictureConverter::Convert  Unsupported destination format\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    DebugCapture capture;
    const Bytes out = ConvertRow(ConverterTo(c.destinationBits, c.destinationGreen),
                                 Bytes(16, 0x55), 2, c.sourceBits, 8, palette.data());
    EXPECT_EQ(out, Bytes(8, 0xAA));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{c.message});
  }

  // Indexed sources without a palette are refused rather than read through
  // a null pointer.
  DebugCapture capture;
  EXPECT_EQ(ConvertRow(ConverterTo(24), {1}, 1, 8, 3, nullptr), Bytes(3, 0xAA));
  EXPECT_TRUE(capture.Contains("PictureConverter::Write24Bit  Unsupported source format\n"));
}

TEST(PictureConverterTest, FormatFromMasksAndFromPicture) {
  EXPECT_EQ(LowestSetBit(0), -1);
  EXPECT_EQ(LowestSetBit(1), 0);
  EXPECT_EQ(LowestSetBit(0xFF00), 8);
  EXPECT_EQ(LowestSetBit(0x80000000u), 31);
  EXPECT_EQ(CountSetBits(0), 0);
  EXPECT_EQ(CountSetBits(0xF800), 5);
  EXPECT_EQ(CountSetBits(0xFFFFFFFFu), 32);

  PictureConverter fromMasks(MaskDescription{32, 0, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0});
  EXPECT_EQ(fromMasks.Format(), (PixelFormat{24, 16, 8, 0, -1, 8, 8, 8, 0}));

  // The blue shift is 0 whatever the blue mask.
  fromMasks.SetFormat(MaskDescription{32, 0, 0, 16, 0x001F, 0x07E0, 0xF800, 0x8000});
  EXPECT_EQ(fromMasks.Format(), (PixelFormat{16, 0, 5, 0, 15, 5, 6, 5, 1}));

  Picture picture;
  picture.bitsPerPixel = 32;
  picture.redShift = 1;
  picture.greenShift = 2;
  picture.blueShift = 3;
  picture.alphaShift = 4;
  picture.redBits = 5;
  picture.greenBits = 6;
  picture.blueBits = 7;
  picture.alphaBits = 8;
  EXPECT_EQ(PictureConverter(picture).Format(), (PixelFormat{32, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BitmapHeaderTest, ReadsAndWritesTheLittleEndianLayout) {
  BitmapInfoHeader header;
  header.biWidth = 640;
  header.biHeight = -480;
  header.biBitCount = 24;
  header.biCompression = kBiBitFields;
  header.biSizeImage = 0x01020304;
  header.biXPelsPerMeter = 2835;
  header.biClrUsed = 7;
  uint8_t bytes[40];
  header.Write(bytes);
  EXPECT_EQ(ReadLe32(bytes), 40u);
  EXPECT_EQ(ReadLe32(bytes + 4), 640u);
  EXPECT_EQ(ReadLe32(bytes + 8), 0xFFFFFE20u);
  EXPECT_EQ(ReadLe16(bytes + 12), 1);
  EXPECT_EQ(ReadLe16(bytes + 14), 24);
  EXPECT_EQ(bytes[20], 0x04);
  EXPECT_EQ(bytes[23], 0x01);
  EXPECT_EQ(ReadLe32(bytes + 32), 7u);
  EXPECT_EQ(BitmapInfoHeader::Read(bytes), header);
  EXPECT_FALSE(BitmapInfoHeader::Read(std::span<const uint8_t>(bytes, 39)));

  BitmapFileHeader file;
  file.bfSize = 1000;
  file.bfOffBits = 54;
  uint8_t fileBytes[14];
  file.Write(fileBytes);
  EXPECT_EQ(fileBytes[0], 'B');
  EXPECT_EQ(fileBytes[1], 'M');
  EXPECT_EQ(ReadLe32(fileBytes + 10), 54u);
  EXPECT_EQ(BitmapFileHeader::Read(fileBytes), file);

  EXPECT_EQ(BitmapRowBytes(24, 3), 12u);
  EXPECT_EQ(BitmapRowBytes(1, 33), 8u);
  EXPECT_EQ(BitmapRowBytes(8, 0), 0u);
}

// Header bytes followed by what the bitmap puts after them.
Bytes InfoBlock(const BitmapInfoHeader& header, const Bytes& following) {
  Bytes block(40);
  header.Write(block.data());
  block.insert(block.end(), following.begin(), following.end());
  return block;
}

TEST(PictureFromBitmapHeaderTest, DescribesEachDepth) {
  uint8_t pixels[4] = {};
  BitmapInfoHeader header;
  header.biWidth = 10;
  header.biHeight = 4;
  header.biSizeImage = 4 * 32;

  {
    SCOPED_TRACE("24 and 32 bits");
    for (int bits : {24, 32}) {
      header.biBitCount = static_cast<uint16_t>(bits);
      const HeaderPicture made = PictureFromBitmapInfo(InfoBlock(header, {}), pixels);
      const Picture& p = made.picture;
      EXPECT_EQ(p.pixels, pixels);
      EXPECT_EQ(p.palette, nullptr);
      EXPECT_EQ(p.width, 10);
      EXPECT_EQ(p.height, 4);
      // 32 bytes are padding enough for 24-bit rows; 32-bit rows need 40.
      EXPECT_EQ(p.stride, bits == 24 ? 32 : 40);
      EXPECT_EQ(p.bitsPerPixel, bits);
      EXPECT_EQ(p.redShift, 0);
      EXPECT_EQ(p.greenShift, 8);
      EXPECT_EQ(p.blueShift, 16);
      EXPECT_EQ(p.redBits + p.greenBits + p.blueBits, 24);
      EXPECT_EQ(p.alphaShift + p.alphaBits, 0);
    }
  }
  {
    SCOPED_TRACE("16 bits: 5-5-5 unless bit fields say otherwise");
    header.biBitCount = 16;
    header.biCompression = kBiRgb;
    Picture p = PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture;
    EXPECT_EQ((std::array{p.redShift, p.greenShift, p.blueShift}), (std::array{0, 5, 10}));
    EXPECT_EQ((std::array{p.redBits, p.greenBits, p.blueBits}), (std::array{5, 5, 5}));

    header.biCompression = kBiBitFields;
    p = PictureFromBitmapInfo(InfoBlock(header, Bytes(12, 0)), pixels).picture;
    EXPECT_EQ((std::array{p.redShift, p.greenShift, p.blueShift}), (std::array{0, 5, 10}));
    EXPECT_EQ(p.greenBits, 5);

    const Bytes masks{0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    p = PictureFromBitmapInfo(InfoBlock(header, masks), pixels).picture;
    EXPECT_EQ((std::array{p.redShift, p.greenShift, p.blueShift}), (std::array{11, 5, 0}));
    EXPECT_EQ((std::array{p.redBits, p.greenBits, p.blueBits}), (std::array{5, 6, 5}));

    // Masks cut short by the end of the block count as zero.
    p = PictureFromBitmapInfo(InfoBlock(header, Bytes{0x00, 0xF8}), pixels).picture;
    EXPECT_EQ(p.redShift, 11);
    EXPECT_EQ(p.greenShift, -1);
    header.biCompression = kBiRgb;
  }
  {
    SCOPED_TRACE("8 bits: an owned copy of the palette in bitmap order");
    header.biBitCount = 8;
    Bytes palette(kPaletteBytes);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>(i * 7);
    Bytes block = InfoBlock(header, palette);
    HeaderPicture made = PictureFromBitmapInfo(block, pixels);
    std::fill(block.begin(), block.end(), 0);  // the copy must not alias the block
    HeaderPicture moved = std::move(made);
    ASSERT_NE(moved.picture.palette, nullptr);
    EXPECT_EQ(moved.picture.palette, moved.paletteCopy->data());
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), moved.picture.palette));
    EXPECT_EQ(moved.picture.redShift + moved.picture.greenBits, 0);
  }
  {
    SCOPED_TRACE("other depths");
    DebugCapture capture;
    header.biBitCount = 4;
    const Picture p = PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture;
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"Unsupported bitdepth\n"});
    EXPECT_EQ(p.bitsPerPixel, 4);
    EXPECT_EQ(p.greenShift + p.greenBits + p.redBits, 0);
  }
  {
    SCOPED_TRACE("stride without an image size, and for top-down rows");
    header.biBitCount = 24;
    header.biSizeImage = 0;
    EXPECT_EQ(PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture.stride, 32);
    header.biSizeImage = 4 * 36;
    header.biHeight = -4;
    EXPECT_EQ(PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture.stride, 36);
    header.biHeight = 0;
    EXPECT_EQ(PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture.stride, 32);
  }
  {
    SCOPED_TRACE("an image size that wrapped at 4 GiB");
    header.biBitCount = 32;
    header.biWidth = 65500;
    header.biHeight = -65500;
    const uint64_t bytes = uint64_t{65500} * 4 * 65500;
    header.biSizeImage = static_cast<uint32_t>(bytes);
    ASSERT_NE(header.biSizeImage, bytes);
    EXPECT_EQ(PictureFromBitmapInfo(InfoBlock(header, {}), pixels).picture.stride, 65500 * 4);
  }
  EXPECT_EQ(PictureFromBitmapInfo(Bytes(39), pixels).picture.width, 0);
}

}  // namespace
}  // namespace ombrelo
