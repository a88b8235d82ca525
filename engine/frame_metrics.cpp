#include "engine/frame_metrics.h"

#include <algorithm>
#include <vector>

namespace ombrelo {
namespace {

// Colours are compared in cells of 16 levels per channel; a colour's share
// counts its cell and the neighbouring cells, so that noise and compression
// around one flat colour still count as that colour.
constexpr int kLevels = 16;
constexpr int kGrid = 64;
// At least this share of one colour makes a picture nearly flat: a title
// card's text or a fade's last traces of a picture take less.
constexpr double kFlatShare = 0.96;

}  // namespace

double DominantColourShare(const uint8_t* pixels, int width, int height, ptrdiff_t stride) {
  if (!pixels || width <= 0 || height <= 0) return 1.0;
  std::vector<uint32_t> cells(kLevels * kLevels * kLevels, 0);
  const int stepX = std::max(1, width / kGrid), stepY = std::max(1, height / kGrid);
  uint32_t samples = 0;
  for (int y = stepY / 2; y < height; y += stepY) {
    const uint8_t* row = pixels + stride * y;
    for (int x = stepX / 2; x < width; x += stepX) {
      const uint8_t* p = row + 3 * x;
      ++cells[(p[0] / kLevels * kLevels + p[1] / kLevels) * kLevels + p[2] / kLevels];
      ++samples;
    }
  }
  // The cell with the most samples together with its neighbours.
  uint32_t best = 0;
  for (int a = 0; a < kLevels; ++a) {
    for (int b = 0; b < kLevels; ++b) {
      for (int c = 0; c < kLevels; ++c) {
        if (cells[(a * kLevels + b) * kLevels + c] == 0) continue;
        uint32_t near = 0;
        for (int da = std::max(0, a - 1); da <= std::min(kLevels - 1, a + 1); ++da)
          for (int db = std::max(0, b - 1); db <= std::min(kLevels - 1, b + 1); ++db)
            for (int dc = std::max(0, c - 1); dc <= std::min(kLevels - 1, c + 1); ++dc)
              near += cells[(da * kLevels + db) * kLevels + dc];
        best = std::max(best, near);
      }
    }
  }
  return samples ? static_cast<double>(best) / samples : 1.0;
}

bool IsNearlyFlat(const uint8_t* pixels, int width, int height, ptrdiff_t stride) {
  return DominantColourShare(pixels, width, height, stride) >= kFlatShare;
}

}  // namespace ombrelo
