#pragma once
// The band converter: turns a decoded frame into the picture a thumbnail is
// made of, top-down BGR24 rows padded to four bytes, converted with the
// stream's colour matrix and range, stretched to the display aspect ratio
// and turned upright. libswscale does the work in bands of rows on several
// threads when it can; the result is the same as on one.
//
// Convert is the capture's one conversion of pixels: every taken frame goes
// through it, and nothing else converts frames for thumbnails.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/tone_map.h"

struct AVFrame;

namespace ombrelo {

// Whether video of pictures this size (as coded, not as a decoder at reduced
// resolution gives them) is taken to use the BT.709 matrix when its frames
// do not say: high definition does, smaller pictures use BT.601.
bool UnmarkedIsBt709(int width, int height);

struct PipelineCounters;

// The shape of the pictures that come out.
struct PictureShape {
  int scaledWidth = 0, scaledHeight = 0;  // display size before rotation
  int rotation = 0;                       // clockwise degrees: 0, 90, 180, 270
  int outWidth = 0, outHeight = 0;        // after rotation
  size_t outStride = 0;                   // bytes per output row, a multiple of 4

  // The shape of a picture of width x height pixels of the given aspect
  // (num/den, 0 or equal when square) turned by `degrees` (any angle, taken
  // to the nearest quarter turn).
  static PictureShape Of(int width, int height, int aspectNum, int aspectDen, double degrees);
};

class BandConverter {
 public:
  // threads: bands converted at once; 0: one per core. toneMapHdr: HDR
  // (PQ, HLG) and BT.2020 frames are first brought to SDR BT.709 colours.
  BandConverter(int threads, PipelineCounters& counters, bool toneMapHdr = true);
  ~BandConverter();
  BandConverter(const BandConverter&) = delete;
  BandConverter& operator=(const BandConverter&) = delete;

  void SetShape(const PictureShape& shape) { shape_ = shape; }
  const PictureShape& Shape() const { return shape_; }
  // Bytes of one converted picture.
  int32_t OutputSize() const { return static_cast<int32_t>(shape_.outStride) * shape_.outHeight; }

  // The frame as the picture's rows; valid until the next call. Null when
  // it cannot be converted (the reason is on the debug output).
  const uint8_t* Convert(AVFrame* frame);

 private:
  struct Scaler;
  bool Scale(AVFrame* frame, uint8_t* top, int dstWidth, int dstHeight, ptrdiff_t stride);
  void TurnInto(int uprightStride);

  int threads_;
  PipelineCounters& counters_;
  bool toneMapHdr_;
  ToneMapper toneMapper_;
  PictureShape shape_;
  std::unique_ptr<Scaler> scaler_;  // made again when the frames' size, format or colours change
  std::vector<uint8_t> upright_;    // top-down BGR before rotation
  std::vector<uint8_t> output_;     // top-down BGR, rows padded to 4 bytes
};

}  // namespace ombrelo
