#pragma once
// Inside of the frame code: its layout and the painter that draws whole
// frames straight into planar YUV 4:2:0 for the encoder.
#include <cstdint>
#include <vector>

namespace ombrelo::testvideo::detail {

constexpr int64_t kMaxFrameNumber = (int64_t{1} << 24) - 1;

// Draws frames into YUV 4:2:0 planes of a fixed size. Everything that does
// not depend on the frame number is prepared once, so painting a frame is a
// handful of row copies and rectangle fills.
class YuvPainter {
 public:
  YuvPainter(int width, int height, bool fullRange);
  void Paint(int64_t frameNumber, uint8_t* const planes[3], const int strides[3]) const;
  // A black frame, without a code.
  void PaintBlack(uint8_t* const planes[3], const int strides[3]) const;

 private:
  int width_, height_;
  uint8_t black_, white_;
  int lumaPeriod_, chromaPeriod_;
  std::vector<uint8_t> lumaRamp_;    // lumaPeriod_ + width_ values of a triangle wave
  std::vector<uint8_t> chromaRamp_;  // chromaPeriod_ + chroma width values
};

}  // namespace ombrelo::testvideo::detail
