#pragma once
// The headers of a device-independent bitmap as stored in .bmp files and
// passed between the engine, the imaging code and the frame writers: the
// 40-byte info header and the 14-byte file header, both little-endian.
//
// The structs hold plain values; Read/Write convert from and to the byte
// layout explicitly, so they never depend on the host's padding or byte order.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ombrelo {

// biCompression values.
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitFields = 3;

struct BitmapInfoHeader {
  static constexpr size_t kSize = 40;

  uint32_t biSize = kSize;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows bottom-up; negative: rows top-down
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = kBiRgb;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;

  // Parses the first 40 bytes; nullopt when fewer are given. No field is
  // validated: a header read from a file may say anything.
  static std::optional<BitmapInfoHeader> Read(std::span<const uint8_t> bytes);
  // Writes the 40-byte layout to out (which must hold kSize bytes).
  void Write(uint8_t* out) const;

  bool operator==(const BitmapInfoHeader&) const = default;
};

struct BitmapFileHeader {
  static constexpr size_t kSize = 14;

  uint16_t bfType = 0x4D42;  // "BM"
  uint32_t bfSize = 0;       // size of the whole file
  uint16_t bfReserved1 = 0;
  uint16_t bfReserved2 = 0;
  uint32_t bfOffBits = 0;  // offset of the pixel data from the start of the file

  static std::optional<BitmapFileHeader> Read(std::span<const uint8_t> bytes);
  void Write(uint8_t* out) const;

  bool operator==(const BitmapFileHeader&) const = default;
};

// Bytes per stored row: bitsPerPixel x width bits rounded up to a multiple of
// four bytes. 0 for non-positive sizes or when the result would not fit.
uint32_t BitmapRowBytes(int bitsPerPixel, int width);

// Little-endian helpers shared by the bitmap code.
inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace ombrelo
