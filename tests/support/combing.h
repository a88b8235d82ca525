#pragma once
// The combing of a picture: how much more its neighbouring rows differ than
// rows two apart. About 1 or below for a picture of one instant (nearer rows
// are more alike), well above it where the two fields of an interlaced frame
// show something that moved between them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace ombrelo::testing {

// Over 8-bit luma rows, `stride` bytes apart.
inline double Combing(const uint8_t* luma, int width, int height, int stride) {
  double next = 0, twoApart = 0;
  for (int y = 0; y + 2 < height; ++y) {
    const uint8_t* a = luma + static_cast<std::ptrdiff_t>(stride) * y;
    const uint8_t* b = a + stride;
    const uint8_t* c = b + stride;
    for (int x = 0; x < width; ++x) {
      next += std::abs(a[x] - b[x]);
      twoApart += std::abs(a[x] - c[x]);
    }
  }
  return twoApart > 0 ? next / twoApart : 0;
}

}  // namespace ombrelo::testing
