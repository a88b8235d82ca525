#pragma once
// Pictures in memory: a plain description of a block of pixels (address, row
// layout, depth, palette and channel layout). A Picture never owns memory;
// whoever fills `pixels` (and `palette`) keeps them alive and frees them.
//
// Row order is not part of the record: operations that walk rows take a flag
// saying whether row 0 in memory is the last image row (bottom-up, as in a
// bitmap of positive height) or the first one (top-down).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "imaging/bitmap_header.h"

namespace ombrelo {

// A palette is 256 entries of four bytes.
constexpr size_t kPaletteEntries = 256;
constexpr size_t kPaletteBytes = kPaletteEntries * 4;

struct Picture {
  uint8_t* pixels = nullptr;   // first byte of row 0 in memory
  uint8_t* palette = nullptr;  // 256 four-byte entries, or none
  int32_t width = 0;           // pixels per row
  int32_t height = 0;          // number of rows
  int32_t stride = 0;          // bytes from one row to the next
  int32_t bitsPerPixel = 0;    // 1, 4, 8, 16, 24 or 32
  int32_t alphaShift = 0;      // bit positions of the channels
  int32_t redShift = 0;
  int32_t greenShift = 0;
  int32_t blueShift = 0;
  int32_t alphaBits = 0;  // bits per channel
  int32_t redBits = 0;
  int32_t greenBits = 0;
  int32_t blueBits = 0;
};

// A size in pixels (0, 0 when none is given).
struct PictureSize {
  int width = 0;
  int height = 0;
  bool operator==(const PictureSize&) const = default;
};

// A layout described by channel masks (32 bytes of eight 32-bit fields).
struct MaskDescription {
  uint32_t size = 32;
  uint32_t flags = 0;
  uint32_t fourCC = 0;
  uint32_t rgbBitCount = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t alphaMask = 0;
};
static_assert(sizeof(MaskDescription) == 32);

// Index (0 to 31) of the least significant set bit; -1 for 0.
int LowestSetBit(uint32_t value);
// Number of set bits in all 32.
int CountSetBits(uint32_t value);

// A Picture built from a bitmap header, together with the palette copy it
// points to. The palette lives on the heap and belongs to this holder, so
// `picture.palette` stays valid when the holder is moved and is released with
// it; copying is not allowed. The pixels are the caller's, as always.
struct HeaderPicture {
  Picture picture;
  std::unique_ptr<std::array<uint8_t, kPaletteBytes>> paletteCopy;
};

// Describes `pixels` laid out as the bitmap header says. `following` is what
// comes after the 40-byte header in memory: 256 palette entries (bitmap order
// blue, green, red, reserved) for 8-bit headers, three channel masks for
// 16-bit headers with bit fields; missing bytes count as zero.
//
// stride is biSizeImage / |biHeight|; when biSizeImage is 0 (allowed for
// uncompressed bitmaps), the height is 0, or biSizeImage leaves less than a
// row per row (a 32-bit size that wrapped for a bitmap over 4 GiB), the
// standard row size (rounded up to four bytes) is used instead. Unsupported depths print
// "Unsupported bitdepth\n" and leave the channel fields 0.
HeaderPicture PictureFromBitmapHeader(const BitmapInfoHeader& header,
                                      std::span<const uint8_t> following, uint8_t* pixels);

// The same from a block that starts with the 40-byte header. A block shorter
// than the header gives an empty Picture (all fields 0).
HeaderPicture PictureFromBitmapInfo(std::span<const uint8_t> info, uint8_t* pixels);

}  // namespace ombrelo
