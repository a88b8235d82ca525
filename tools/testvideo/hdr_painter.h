#pragma once
// Frames of the test videos as HDR or wide-gamut video would carry the same
// scene: the SDR picture as a BT.709 display shows it, with its white at
// 203 cd/m2 (where HDR masters place reference white), in BT.2020 primaries,
// coded with the PQ or HLG transfer (or the SDR one for wide-gamut SDR), as
// 10-bit BT.2020 Y'CbCr 4:2:0 of limited range.
#include <cstdint>
#include <vector>

#include "tools/testvideo/frame_code.h"

namespace ombrelo::testvideo::detail {

enum class HdrKind { pq, hlg, wideGamut };

class HdrPainter {
 public:
  HdrPainter(int width, int height, HdrKind kind);
  // Draws the frame into 10-bit planes (16-bit samples in native order,
  // strides in bytes).
  void Paint(int64_t frameNumber, uint8_t* const planes[3], const int strides[3]);

 private:
  int width_, height_;
  HdrKind kind_;
  YuvPainter sdr_;
  std::vector<uint8_t> y_, u_, v_;  // the SDR frame, BT.709 limited range
  std::vector<float> cb_, cr_;      // HDR chroma of every pixel before subsampling
};

}  // namespace ombrelo::testvideo::detail
