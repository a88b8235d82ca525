#pragma once
// Helpers for the imaging tests: building BMP files byte by byte, and
// encoding and decoding JPEG data with libjpeg directly (independently of
// the code under test).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "imaging/picture_loader.h"

namespace ombrelo::testing {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// True when every channel is within tolerance.
inline bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// Pixel (x, y) of a loaded bitmap (rows top-down, blue-green-red or 8-bit
// indices into the blue-green-red palette).
inline Rgb PixelAt(const LoadedBitmap& bitmap, int x, int y) {
  const uint8_t* row = bitmap.Row(y);
  if (bitmap.BitsPerPixel() == 8) {
    const uint8_t* e = bitmap.palette.data() + 4 * row[x];
    return {e[2], e[1], e[0]};
  }
  const uint8_t* p = row + 3 * x;
  return {p[2], p[1], p[0]};
}

inline std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// ---- BMP files ------------------------------------------------------------

inline void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

struct BmpLayout {
  uint32_t headerSize = 40;  // 12 (OS/2), 40 or 64
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  uint32_t colours = 0;
  std::vector<uint8_t> palette;  // raw entries as stored (3 or 4 bytes each)
  std::vector<uint32_t> masks;   // bit fields, stored after the palette
  std::string pixels;            // raw pixel data as stored
  int64_t offsetAdjust = 0;      // added to the computed pixel data offset
};

inline std::string BuildBmp(const BmpLayout& layout) {
  std::string info;
  Put32(info, layout.headerSize);
  if (layout.headerSize == 12) {
    Put16(info, static_cast<uint32_t>(layout.width));
    Put16(info, static_cast<uint32_t>(layout.height));
    Put16(info, layout.planes);
    Put16(info, layout.bitsPerPixel);
  } else {
    Put32(info, static_cast<uint32_t>(layout.width));
    Put32(info, static_cast<uint32_t>(layout.height));
    Put16(info, layout.planes);
    Put16(info, layout.bitsPerPixel);
    Put32(info, layout.compression);
    Put32(info, layout.imageSize);
    Put32(info, 2835);
    Put32(info, 2835);
    Put32(info, layout.colours);
    Put32(info, 0);
    info.resize(layout.headerSize, '\0');
  }
  info.append(layout.palette.begin(), layout.palette.end());
  for (uint32_t m : layout.masks) Put32(info, m);
  const uint32_t offset = static_cast<uint32_t>(14 + info.size() + layout.offsetAdjust);
  std::string file = "BM";
  Put32(file, static_cast<uint32_t>(14 + info.size() + layout.pixels.size()));
  Put32(file, 0);
  Put32(file, offset);
  file += info;
  if (layout.offsetAdjust > 0) file.append(static_cast<size_t>(layout.offsetAdjust), '\0');
  file += layout.pixels;
  return file;
}

// Palette entries in file order blue, green, red (+ reserved when 4 bytes).
inline std::vector<uint8_t> PaletteOf(std::initializer_list<Rgb> colours, int entrySize = 4) {
  std::vector<uint8_t> out;
  for (const Rgb& c : colours) {
    out.push_back(static_cast<uint8_t>(c.b));
    out.push_back(static_cast<uint8_t>(c.g));
    out.push_back(static_cast<uint8_t>(c.r));
    if (entrySize == 4) out.push_back(0);
  }
  return out;
}

inline std::string Raw(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

// ---- JPEG data --------------------------------------------------------------

struct JpegLayout {
  int width = 16;
  int height = 16;
  int components = 3;
  J_COLOR_SPACE inputSpace = JCS_RGB;
  J_COLOR_SPACE fileSpace = JCS_UNKNOWN;  // JCS_UNKNOWN: the library's default
  bool writeAdobeMarker = true;           // for CMYK/YCCK files
  bool progressive = false;
  int quality = 95;
  // Fills the `components` samples of pixel (x, y).
  std::function<void(int x, int y, uint8_t* samples)> pixel;
};

inline std::string EncodeJpeg(const JpegLayout& layout) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(layout.width);
  cinfo.image_height = static_cast<JDIMENSION>(layout.height);
  cinfo.input_components = layout.components;
  cinfo.in_color_space = layout.inputSpace;
  jpeg_set_defaults(&cinfo);
  if (layout.fileSpace != JCS_UNKNOWN || layout.inputSpace == JCS_UNKNOWN) {
    jpeg_set_colorspace(&cinfo, layout.fileSpace);
  }
  if (!layout.writeAdobeMarker) cinfo.write_Adobe_marker = FALSE;
  jpeg_set_quality(&cinfo, layout.quality, TRUE);
  if (layout.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(layout.width) * layout.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < layout.width; ++x) layout.pixel(x, y, row.data() + x * layout.components);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return out;
}

// A JPEG decoded by libjpeg itself: red, green, blue rows top-down.
struct DecodedJpeg {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  Rgb At(int x, int y) const {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return {p[0], p[1], p[2]};
  }
};

inline DecodedJpeg DecodeJpegBytes(const std::string& bytes) {
  DecodedJpeg out;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {out.rgb.data() +
                        static_cast<size_t>(cinfo.output_scanline) * out.width * 3};
    jpeg_read_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

}  // namespace ombrelo::testing
