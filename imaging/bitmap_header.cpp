#include "imaging/bitmap_header.h"

namespace ombrelo {

std::optional<BitmapInfoHeader> BitmapInfoHeader::Read(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  const uint8_t* p = bytes.data();
  BitmapInfoHeader h;
  h.biSize = ReadLe32(p + 0);
  h.biWidth = static_cast<int32_t>(ReadLe32(p + 4));
  h.biHeight = static_cast<int32_t>(ReadLe32(p + 8));
  h.biPlanes = ReadLe16(p + 12);
  h.biBitCount = ReadLe16(p + 14);
  h.biCompression = ReadLe32(p + 16);
  h.biSizeImage = ReadLe32(p + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(ReadLe32(p + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(ReadLe32(p + 28));
  h.biClrUsed = ReadLe32(p + 32);
  h.biClrImportant = ReadLe32(p + 36);
  return h;
}

void BitmapInfoHeader::Write(uint8_t* out) const {
  WriteLe32(out + 0, biSize);
  WriteLe32(out + 4, static_cast<uint32_t>(biWidth));
  WriteLe32(out + 8, static_cast<uint32_t>(biHeight));
  WriteLe16(out + 12, biPlanes);
  WriteLe16(out + 14, biBitCount);
  WriteLe32(out + 16, biCompression);
  WriteLe32(out + 20, biSizeImage);
  WriteLe32(out + 24, static_cast<uint32_t>(biXPelsPerMeter));
  WriteLe32(out + 28, static_cast<uint32_t>(biYPelsPerMeter));
  WriteLe32(out + 32, biClrUsed);
  WriteLe32(out + 36, biClrImportant);
}

std::optional<BitmapFileHeader> BitmapFileHeader::Read(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSize) return std::nullopt;
  const uint8_t* p = bytes.data();
  BitmapFileHeader h;
  h.bfType = ReadLe16(p + 0);
  h.bfSize = ReadLe32(p + 2);
  h.bfReserved1 = ReadLe16(p + 6);
  h.bfReserved2 = ReadLe16(p + 8);
  h.bfOffBits = ReadLe32(p + 10);
  return h;
}

void BitmapFileHeader::Write(uint8_t* out) const {
  WriteLe16(out + 0, bfType);
  WriteLe32(out + 2, bfSize);
  WriteLe16(out + 6, bfReserved1);
  WriteLe16(out + 8, bfReserved2);
  WriteLe32(out + 10, bfOffBits);
}

uint32_t BitmapRowBytes(int bitsPerPixel, int width) {
  if (bitsPerPixel <= 0 || width <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(bitsPerPixel) * static_cast<uint64_t>(width);
  const uint64_t bytes = (bits + 31) / 32 * 4;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

}  // namespace ombrelo
