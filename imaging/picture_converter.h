#pragma once
// Row conversion between pixel layouts. A PictureConverter holds the layout
// of its destination (a PixelFormat) and converts one row at a time from any
// supported source layout into it. It allocates nothing and keeps no state
// besides the format.
//
// Unsupported combinations write one debug line per call and leave the
// destination row untouched.
#include <cstdint>

#include "imaging/picture.h"

namespace ombrelo {

struct PixelFormat {
  int32_t bitsPerPixel = 0;
  int32_t redShift = 0;
  int32_t greenShift = 0;
  int32_t blueShift = 0;
  int32_t alphaShift = 0;
  int32_t redBits = 0;
  int32_t greenBits = 0;
  int32_t blueBits = 0;
  int32_t alphaBits = 0;

  bool operator==(const PixelFormat&) const = default;
};

class PictureConverter {
 public:
  PictureConverter() = default;
  explicit PictureConverter(const Picture& destination) { SetFormat(destination); }
  explicit PictureConverter(const MaskDescription& destination) { SetFormat(destination); }

  // Destination = the picture's depth, shifts and bit counts.
  void SetFormat(const Picture& destination);
  // Destination from masks: shifts are the lowest set bits of the red, green
  // and alpha masks (-1 for an empty mask), the blue shift is always 0, the
  // bit counts are the numbers of set bits.
  void SetFormat(const MaskDescription& destination);
  const PixelFormat& Format() const { return format_; }

  // Converts `width` pixels of one row. The source layout is given by its
  // depth, shifts and bit counts; `palette` (256 four-byte entries) is read
  // for 1-, 4- and 8-bit sources, which are refused as unsupported when it is
  // null. Dispatches on the destination depth (16, 24 or 32 bits).
  // Source and destination must not overlap.
  void Convert(const uint8_t* source, uint8_t* destination, const uint8_t* palette, int width,
               int bitsPerPixel, int redShift, int greenShift, int blueShift, int redBits,
               int greenBits, int blueBits) const;

  // The three writers behind Convert, by destination depth.
  void Write16Bit(const uint8_t* source, uint8_t* destination, const uint8_t* palette, int width,
                  int bitsPerPixel, int greenBits) const;
  void Write24Bit(const uint8_t* source, uint8_t* destination, const uint8_t* palette, int width,
                  int bitsPerPixel, int greenBits) const;
  void Write32Bit(const uint8_t* source, uint8_t* destination, const uint8_t* palette, int width,
                  int bitsPerPixel, int redShift, int greenBits) const;

 private:
  PixelFormat format_;
};

}  // namespace ombrelo
