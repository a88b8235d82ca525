// The frame code: layout, drawing and reading.
//
// Layout, in cells of a grid of 24 columns and 6 rows that spans the frame
// from 1/16 to 15/16 of its width and from 5/16 to 11/16 of its height:
//
//   row 0 and 5, column 0 and 23   white quiet zone
//   row 1 and 4, column 1 and 22   black ring
//   rows 2-3, columns 2-21         40 data cells, row by row; black is 1
//
// Bits 0-23 hold the frame number, bits 24-39 a CRC-16 (CCITT, initial value
// 0xFFFF) of its three bytes, both most significant bit first. The ring and
// the quiet zone give the reader its black and white levels; a reading is
// accepted only when they are clearly apart, every data cell is clearly
// black or white and the checksum matches.
#include "tools/testvideo/frame_code.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/testvideo/test_video.h"

namespace ombrelo::testvideo {
namespace {

constexpr int kGridColumns = 24;
constexpr int kGridRows = 6;
constexpr int kDataColumns = 20;
constexpr int kDataBits = 40;
constexpr int kNumberBits = 24;

// Grid lines in pixels. Column line c lies at (1/16 + c * 14/16 / 24) of the
// width = (24 + 14c) / 384; row line r at (5 + r) / 16 of the height.
int GridX(int width, int c) {
  return static_cast<int>((int64_t{width} * (24 + 14 * c) + 192) / 384);
}
int GridY(int height, int r) { return static_cast<int>((int64_t{height} * (5 + r) + 8) / 16); }

double GridU(double c) { return (24.0 + 14.0 * c) / 384.0; }
double GridV(double r) { return (5.0 + r) / 16.0; }

uint16_t Checksum(uint32_t number) {
  const uint8_t bytes[3] = {static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 8),
                            static_cast<uint8_t>(number)};
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= static_cast<uint16_t>(byte << 8);
    for (int i = 0; i < 8; ++i) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc;
}

// Bit i of the code (0 = first cell) at bit position 39 - i.
uint64_t CodeBits(uint32_t number) {
  return (uint64_t{number & 0xFFFFFF} << 16) | Checksum(number & 0xFFFFFF);
}

bool CodeBit(uint64_t bits, int i) { return (bits >> (kDataBits - 1 - i)) & 1; }

PixelRect CellRect(int width, int height, int row, int column) {
  const int x0 = GridX(width, column), x1 = GridX(width, column + 1);
  const int y0 = GridY(height, row), y1 = GridY(height, row + 1);
  return {x0, y0, x1 - x0, y1 - y0};
}

PixelRect SpanRect(int width, int height, int row0, int column0, int row1, int column1) {
  const int x0 = GridX(width, column0), x1 = GridX(width, column1);
  const int y0 = GridY(height, row0), y1 = GridY(height, row1);
  return {x0, y0, x1 - x0, y1 - y0};
}

// Segments a-g of a seven-segment digit.
constexpr uint8_t kDigitSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// Draws the code and the digits of `number` with fill(rect, black, neutral):
// black or white, and neutral when the colour under the rectangle must be
// reset to grey (the first, enclosing rectangles).
template <typename Fill>
void DrawCode(int width, int height, uint32_t number, Fill&& fill) {
  fill(SpanRect(width, height, 0, 0, kGridRows, kGridColumns), false, true);
  fill(SpanRect(width, height, 1, 1, kGridRows - 1, kGridColumns - 1), true, false);
  fill(SpanRect(width, height, 2, 2, kGridRows - 2, kGridColumns - 2), false, false);
  const uint64_t bits = CodeBits(number);
  for (int i = 0; i < kDataBits; ++i) {
    if (CodeBit(bits, i))
      fill(CellRect(width, height, 2 + i / kDataColumns, 2 + i % kDataColumns), true, false);
  }

  // The number in digits, in a white box from 12/16 to 15/16 of the height.
  const std::string text = std::to_string(number);
  const int boxTop = height * 12 / 16, boxBottom = height * 15 / 16;
  const int margin = std::max(1, (boxBottom - boxTop) / 10);
  int digitHeight = boxBottom - boxTop - 2 * margin;
  int digitWidth = digitHeight / 2;
  const int available = width * 14 / 16 - 2 * margin;
  const int count = static_cast<int>(text.size());
  if (digitWidth * count + digitWidth / 2 * (count - 1) > available) {
    digitWidth = available * 2 / (3 * count);
  }
  const int stroke = std::max(1, std::min(digitWidth, digitHeight) / 5);
  const int gap = digitWidth / 2;
  if (digitWidth < 3 * stroke || digitHeight < 5 * stroke) return;  // too small to be legible
  const int boxLeft = width / 16;
  const int boxWidth = 2 * margin + count * digitWidth + (count - 1) * gap;
  fill(PixelRect{boxLeft, boxTop, boxWidth, boxBottom - boxTop}, false, true);
  const int half = digitHeight / 2;
  for (int d = 0; d < count; ++d) {
    const uint8_t segments = kDigitSegments[text[d] - '0'];
    const int x = boxLeft + margin + d * (digitWidth + gap);
    const int y = boxTop + margin;
    const PixelRect rects[7] = {
        {x, y, digitWidth, stroke},                                       // a
        {x + digitWidth - stroke, y, stroke, half},                       // b
        {x + digitWidth - stroke, y + half, stroke, digitHeight - half},  // c
        {x, y + digitHeight - stroke, digitWidth, stroke},                // d
        {x, y + half, stroke, digitHeight - half},                        // e
        {x, y, stroke, half},                                             // f
        {x, y + half - stroke / 2, digitWidth, stroke},                   // g
    };
    for (int s = 0; s < 7; ++s) {
      if (segments & (1 << s)) fill(rects[s], true, false);
    }
  }
}

// Triangle wave between lo and hi with period 2 * (hi - lo).
uint8_t Triangle(int64_t t, int lo, int hi) {
  const int period = 2 * (hi - lo);
  int p = static_cast<int>(t % period);
  if (p < 0) p += period;
  return static_cast<uint8_t>(p < hi - lo ? lo + p : hi - (p - (hi - lo)));
}

// Clipped rectangle.
PixelRect Clip(const PixelRect& r, int width, int height) {
  const int x0 = std::clamp(r.x, 0, width), x1 = std::clamp(r.x + r.width, 0, width);
  const int y0 = std::clamp(r.y, 0, height), y1 = std::clamp(r.y + r.height, 0, height);
  return {x0, y0, x1 - x0, y1 - y0};
}

// ---- reading ----

struct PixelSource {
  const uint8_t* pixels;
  int width, height, stride;
  PixelOrder order;
  int rotation;  // clockwise turn of the picture against the coded frame

  // Mean luma over the middle half of grid cell (row, column).
  int CellLuma(int row, int column) const {
    double u0 = GridU(column + 0.25), u1 = GridU(column + 0.75);
    double v0 = GridV(row + 0.25), v1 = GridV(row + 0.75);
    double a0, a1, b0, b1;  // the same rectangle in the picture, normalised
    switch (rotation) {
      case 90:
        a0 = 1 - v1, a1 = 1 - v0, b0 = u0, b1 = u1;
        break;
      case 180:
        a0 = 1 - u1, a1 = 1 - u0, b0 = 1 - v1, b1 = 1 - v0;
        break;
      case 270:
        a0 = v0, a1 = v1, b0 = 1 - u1, b1 = 1 - u0;
        break;
      default:
        a0 = u0, a1 = u1, b0 = v0, b1 = v1;
        break;
    }
    int x0, x1, y0, y1;
    PixelSpan(a0, a1, width, &x0, &x1);
    PixelSpan(b0, b1, height, &y0, &y1);
    const int r = order == PixelOrder::RGB24 ? 0 : 2, b = 2 - r;
    int64_t sum = 0;
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = pixels + static_cast<std::ptrdiff_t>(y) * stride + x0 * 3;
      for (int x = x0; x < x1; ++x, p += 3) sum += 77 * p[r] + 150 * p[1] + 29 * p[b];
    }
    return static_cast<int>(sum / (int64_t{x1 - x0} * (y1 - y0)) >> 8);
  }

  // Pixels whose centres lie in [n0, n1] (normalised), at least the one under the middle.
  static void PixelSpan(double n0, double n1, int size, int* first, int* end) {
    int p0 = static_cast<int>(std::ceil(n0 * size - 0.5));
    int p1 = static_cast<int>(std::floor(n1 * size - 0.5)) + 1;
    if (p1 <= p0) {
      p0 = static_cast<int>((n0 + n1) / 2 * size);
      p1 = p0 + 1;
    }
    *first = std::clamp(p0, 0, size - 1);
    *end = std::clamp(p1, *first + 1, size);
  }
};

int ReadCode(const PixelSource& source) {
  // Levels of the quiet zone (white) and the ring (black).
  int whiteMin = 255, blackMax = 0;
  int64_t whiteSum = 0, blackSum = 0;
  int whiteCount = 0, blackCount = 0;
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      const bool quiet =
          row == 0 || row == kGridRows - 1 || column == 0 || column == kGridColumns - 1;
      const bool ring =
          !quiet && (row == 1 || row == kGridRows - 2 || column == 1 || column == kGridColumns - 2);
      if (!quiet && !ring) continue;
      const int luma = source.CellLuma(row, column);
      if (quiet) {
        whiteMin = std::min(whiteMin, luma);
        whiteSum += luma;
        ++whiteCount;
      } else {
        blackMax = std::max(blackMax, luma);
        blackSum += luma;
        ++blackCount;
      }
    }
  }
  const int white = static_cast<int>(whiteSum / whiteCount);
  const int black = static_cast<int>(blackSum / blackCount);
  if (blackMax >= whiteMin || white - black < 48) return -1;
  const int threshold = (white + black) / 2;
  const int margin = (white - black) * 15 / 100;

  uint64_t bits = 0;
  for (int i = 0; i < kDataBits; ++i) {
    const int luma = source.CellLuma(2 + i / kDataColumns, 2 + i % kDataColumns);
    if (luma < threshold - margin) {
      bits = (bits << 1) | 1;
    } else if (luma > threshold + margin) {
      bits <<= 1;
    } else {
      return -1;  // neither black nor white
    }
  }
  const uint32_t number = static_cast<uint32_t>(bits >> 16);
  if (Checksum(number) != static_cast<uint16_t>(bits & 0xFFFF)) return -1;
  static_assert(kNumberBits == 24);
  return static_cast<int>(number);
}

}  // namespace

int ReadFrameNumberAnyRotation(const uint8_t* pixels, int width, int height, int stride,
                               PixelOrder order, int* rotationDegrees) {
  if (rotationDegrees) *rotationDegrees = 0;
  if (!pixels || width < 8 || height < 8 || std::abs(stride) < width * 3) return -1;
  for (int rotation : {0, 90, 180, 270}) {
    const int number = ReadCode(PixelSource{pixels, width, height, stride, order, rotation});
    if (number >= 0) {
      if (rotationDegrees) *rotationDegrees = rotation;
      return number;
    }
  }
  return -1;
}

int ReadFrameNumber(const uint8_t* pixels, int width, int height, int stride, PixelOrder order) {
  if (!pixels || width < 8 || height < 8 || std::abs(stride) < width * 3) return -1;
  return ReadCode(PixelSource{pixels, width, height, stride, order, 0});
}

std::vector<PixelRect> CodeDataCells(int width, int height) {
  std::vector<PixelRect> cells;
  for (int i = 0; i < kDataBits; ++i) {
    cells.push_back(CellRect(width, height, 2 + i / kDataColumns, 2 + i % kDataColumns));
  }
  return cells;
}

void DrawFrame(int64_t frameNumber, uint8_t* pixels, int width, int height, int stride,
               PixelOrder order) {
  if (!pixels || width <= 0 || height <= 0) return;
  const int r = order == PixelOrder::RGB24 ? 0 : 2, b = 2 - r;
  for (int y = 0; y < height; ++y) {
    uint8_t* p = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      p[r] = Triangle(x + y + 3 * frameNumber, 40, 220);
      p[1] = Triangle(x + 2 * frameNumber, 60, 180);
      p[b] = Triangle(y + frameNumber, 50, 200);
    }
  }
  const uint32_t number =
      static_cast<uint32_t>(std::clamp<int64_t>(frameNumber, 0, detail::kMaxFrameNumber));
  DrawCode(width, height, number, [&](const PixelRect& rect, bool black, bool) {
    const PixelRect c = Clip(rect, width, height);
    for (int y = c.y; y < c.y + c.height; ++y) {
      std::memset(pixels + static_cast<std::ptrdiff_t>(y) * stride + c.x * 3, black ? 0 : 255,
                  static_cast<size_t>(c.width) * 3);
    }
  });
}

namespace detail {

YuvPainter::YuvPainter(int width, int height, bool fullRange)
    : width_(width),
      height_(height),
      black_(fullRange ? 0 : 16),
      white_(fullRange ? 255 : 235),
      lumaPeriod_(2 * (200 - 40)),
      chromaPeriod_(2 * (188 - 68)) {
  lumaRamp_.resize(static_cast<size_t>(lumaPeriod_ + width_));
  for (int i = 0; i < lumaPeriod_ + width_; ++i) lumaRamp_[i] = Triangle(i, 40, 200);
  const int chromaWidth = (width_ + 1) / 2;
  chromaRamp_.resize(static_cast<size_t>(chromaPeriod_ + chromaWidth));
  for (int i = 0; i < chromaPeriod_ + chromaWidth; ++i) chromaRamp_[i] = Triangle(i, 68, 188);
}

void YuvPainter::PaintBlack(uint8_t* const planes[3], const int strides[3]) const {
  const int chromaWidth = (width_ + 1) / 2, chromaHeight = (height_ + 1) / 2;
  for (int y = 0; y < height_; ++y)
    std::memset(planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0], black_,
                static_cast<size_t>(width_));
  for (int y = 0; y < chromaHeight; ++y) {
    std::memset(planes[1] + static_cast<std::ptrdiff_t>(y) * strides[1], 128,
                static_cast<size_t>(chromaWidth));
    std::memset(planes[2] + static_cast<std::ptrdiff_t>(y) * strides[2], 128,
                static_cast<size_t>(chromaWidth));
  }
}

void YuvPainter::Paint(int64_t frameNumber, uint8_t* const planes[3], const int strides[3]) const {
  // Background: luma a diagonal ramp moving 3 pixels a frame, Cb a horizontal
  // ramp moving 2 chroma pixels a frame, Cr a vertical one moving 1.
  const int64_t n = frameNumber;
  for (int y = 0; y < height_; ++y) {
    std::memcpy(planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0],
                lumaRamp_.data() + (y + 3 * n) % lumaPeriod_, static_cast<size_t>(width_));
  }
  const int chromaWidth = (width_ + 1) / 2, chromaHeight = (height_ + 1) / 2;
  for (int y = 0; y < chromaHeight; ++y) {
    std::memcpy(planes[1] + static_cast<std::ptrdiff_t>(y) * strides[1],
                chromaRamp_.data() + (2 * n) % chromaPeriod_, static_cast<size_t>(chromaWidth));
    std::memset(planes[2] + static_cast<std::ptrdiff_t>(y) * strides[2],
                chromaRamp_[(y + n) % chromaPeriod_], static_cast<size_t>(chromaWidth));
  }

  const uint32_t number = static_cast<uint32_t>(std::clamp<int64_t>(n, 0, kMaxFrameNumber));
  DrawCode(width_, height_, number, [&](const PixelRect& rect, bool black, bool neutral) {
    const PixelRect c = Clip(rect, width_, height_);
    if (c.width <= 0 || c.height <= 0) return;
    for (int y = c.y; y < c.y + c.height; ++y) {
      std::memset(planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0] + c.x,
                  black ? black_ : white_, static_cast<size_t>(c.width));
    }
    if (!neutral) return;
    const int cx0 = c.x / 2, cx1 = (c.x + c.width + 1) / 2;
    const int cy0 = c.y / 2, cy1 = (c.y + c.height + 1) / 2;
    for (int plane = 1; plane < 3; ++plane) {
      for (int y = cy0; y < cy1; ++y) {
        std::memset(planes[plane] + static_cast<std::ptrdiff_t>(y) * strides[plane] + cx0, 128,
                    static_cast<size_t>(cx1 - cx0));
      }
    }
  });
}

}  // namespace detail
}  // namespace ombrelo::testvideo
