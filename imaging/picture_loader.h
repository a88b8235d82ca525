#pragma once
// Reads BMP and JPEG files into an upright bitmap for display (the review
// window's thumbnails, the templates' preview pictures). The file is mapped,
// not read; JPEG files are decoded at 1/2, 1/4 or 1/8 of their size when the
// requested display size allows.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap_header.h"
#include "imaging/picture.h"

namespace ombrelo {

// A decoded picture with the header that describes it. Rows are top-down
// (biHeight is negative), each header.biSizeImage / height bytes long:
// 24 bits per pixel in blue, green, red order, or 8-bit indices into
// `palette` (greyscale JPEGs).
struct LoadedBitmap {
  BitmapInfoHeader header;
  std::vector<uint8_t> palette;  // 256 entries blue, green, red, 0 for 8 bits; else empty
  std::vector<uint8_t> pixels;   // header.biSizeImage bytes

  int Width() const { return header.biWidth; }
  int Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
  int BitsPerPixel() const { return header.biBitCount; }
  uint32_t RowBytes() const { return BitmapRowBytes(header.biBitCount, header.biWidth); }
  const uint8_t* Row(int y) const { return pixels.data() + static_cast<size_t>(RowBytes()) * y; }
};

enum class PictureFormat { kNone, kBmp, kJpeg };

// The reader for a file name, by its extension (case-insensitive): ".bmp" is
// BMP; ".png", ".lwf", ".tga", ".targa", ".tif", ".tiff" and ".jp2" are not
// supported; anything else, a name without extension included, is JPEG.
PictureFormat ChoosePictureFormat(std::string_view path);

// Pictures larger than this (width x height, in the file) are refused.
constexpr uint64_t kDefaultMaxPicturePixels = uint64_t{1} << 28;

class PictureLoader {
 public:
  // Loads the file at path. `size`, when given, holds on entry the display
  // size the picture will be shown at (0, 0 for full size; a JPEG may then be
  // decoded reduced) and receives the picture's full size in the file.
  // `picture`, when given, receives the description of the rows the reader
  // delivered (its pixels and palette fields are cleared).
  // Returns null on any failure; the reason goes to the debug output.
  static std::unique_ptr<LoadedBitmap> LoadIntoBitmap(const std::string& path,
                                                      Picture* picture = nullptr,
                                                      PictureSize* size = nullptr);

  // The same over bytes already in memory, with the reader given.
  static std::unique_ptr<LoadedBitmap> DecodeIntoBitmap(
      std::span<const uint8_t> bytes, PictureFormat format, Picture* picture = nullptr,
      PictureSize* size = nullptr, uint64_t maxPixels = kDefaultMaxPicturePixels);
};

}  // namespace ombrelo
