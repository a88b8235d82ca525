#pragma once
// The readers behind the picture loader: one for BMP, one for JPEG. A reader
// lives for one load: created over the file's bytes, header read, pixels read
// once, destroyed.
//
// Rows are delivered as 24 bits per pixel in red, green, blue byte order
// (redShift 16, greenShift 8, blueShift 0, 8 bits each); greyscale JPEGs come
// as 8 bits per pixel with a grey palette (entry i = i, i, i).
#include <cstdint>
#include <memory>
#include <span>

#include "imaging/byte_source.h"
#include "imaging/picture.h"
#include "imaging/picture_converter.h"

namespace ombrelo {

class PictureReader {
 public:
  virtual ~PictureReader() = default;
  PictureReader(const PictureReader&) = delete;
  PictureReader& operator=(const PictureReader&) = delete;

  // True when the image can be decoded; fills GetPicture() (all but pixels).
  virtual bool ReadHeader() = 0;
  // Decodes every row into destination (GetPicture().height rows of
  // destinationStride bytes, top-down), through the converter when one is
  // given, else copied as delivered. Call once, after a successful header.
  virtual bool ReadPixels(uint8_t* destination, int destinationStride,
                          const PictureConverter* converter) = 0;

  // The delivered rows; palette (red, green, blue, unused) when 8-bit.
  const Picture& GetPicture() const { return picture_; }
  // The image's size in the file (for JPEG before any scaling).
  PictureSize FullSize() const { return fullSize_; }

 protected:
  PictureReader(std::span<const uint8_t> bytes, PictureSize requested, uint64_t maxPixels)
      : source_(bytes), requested_(requested), maxPixels_(maxPixels) {}

  // True (and a debug line) when a picture of this size may not be loaded.
  bool TooLarge(uint64_t width, uint64_t height) const;

  ByteSource source_;
  PictureSize requested_;
  uint64_t maxPixels_;
  Picture picture_;
  PictureSize fullSize_;
};

// requested: the display size a JPEG may be reduced to (0, 0 for none).
// maxPixels: the largest width x height accepted.
std::unique_ptr<PictureReader> MakeBmpReader(std::span<const uint8_t> bytes, uint64_t maxPixels);
std::unique_ptr<PictureReader> MakeJpegReader(std::span<const uint8_t> bytes, PictureSize requested,
                                              uint64_t maxPixels);

}  // namespace ombrelo
