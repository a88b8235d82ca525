#include "tools/testvideo/hdr_painter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ombrelo::testvideo::detail {
namespace {

constexpr double kWhiteNits = 203.0;

// Linear BT.709 RGB to linear BT.2020 RGB.
constexpr double kToWide[3][3] = {
    {0.627404, 0.329283, 0.043313},
    {0.069097, 0.919540, 0.011362},
    {0.016391, 0.088013, 0.895595},
};

// SMPTE ST 2084 inverse EOTF: cd/m2 to signal.
double PqSignal(double nits) {
  constexpr double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 4096.0 * 128.0;
  constexpr double c1 = 3424.0 / 4096.0, c2 = 2413.0 / 4096.0 * 32.0, c3 = 2392.0 / 4096.0 * 32.0;
  const double y = std::pow(std::max(nits, 0.0) / 10000.0, m1);
  return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}

// ARIB STD-B67 OETF: scene light [0, 1] to signal.
double HlgSignal(double e) {
  constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
  e = std::max(e, 0.0);
  return e <= 1.0 / 12 ? std::sqrt(3 * e) : a * std::log(12 * e - b) + c;
}

uint16_t Code10(double value) { return static_cast<uint16_t>(std::clamp(std::lround(value), 0L, 1023L)); }

}  // namespace

HdrPainter::HdrPainter(int width, int height, HdrKind kind)
    : width_(width), height_(height), kind_(kind), sdr_(width, height, false) {
  y_.resize(static_cast<size_t>(width) * height);
  u_.resize(static_cast<size_t>(width / 2) * (height / 2));
  v_.resize(u_.size());
  cb_.resize(y_.size());
  cr_.resize(y_.size());
}

void HdrPainter::Paint(int64_t frameNumber, uint8_t* const planes[3], const int strides[3]) {
  uint8_t* sdrPlanes[3] = {y_.data(), u_.data(), v_.data()};
  const int sdrStrides[3] = {width_, width_ / 2, width_ / 2};
  sdr_.Paint(frameNumber, sdrPlanes, sdrStrides);

  for (int y = 0; y < height_; ++y) {
    auto* luma = reinterpret_cast<uint16_t*>(planes[0] + static_cast<ptrdiff_t>(y) * strides[0]);
    for (int x = 0; x < width_; ++x) {
      const size_t c = static_cast<size_t>(y / 2) * (width_ / 2) + x / 2;
      // The SDR pixel as a BT.709 display shows it (BT.1886: a 2.4 power).
      const double l = (y_[static_cast<size_t>(y) * width_ + x] - 16) / 219.0;
      const double pb = (u_[c] - 128) / 224.0, pr = (v_[c] - 128) / 224.0;
      const double sdr[3] = {l + 1.5748 * pr, l - 0.1873 * pb - 0.4681 * pr, l + 1.8556 * pb};
      double lin[3];
      for (int i = 0; i < 3; ++i) lin[i] = std::pow(std::clamp(sdr[i], 0.0, 1.0), 2.4);
      double wide[3];
      for (int i = 0; i < 3; ++i)
        wide[i] = kToWide[i][0] * lin[0] + kToWide[i][1] * lin[1] + kToWide[i][2] * lin[2];
      double e[3];
      if (kind_ == HdrKind::pq) {
        for (int i = 0; i < 3; ++i) e[i] = PqSignal(wide[i] * kWhiteNits);
      } else if (kind_ == HdrKind::hlg) {
        // Display light on the nominal 1000 cd/m2 display back to scene
        // light (inverse of the system gamma 1.2), then the OETF.
        double d[3];
        for (int i = 0; i < 3; ++i) d[i] = wide[i] * kWhiteNits / 1000.0;
        const double yd = std::max(0.2627 * d[0] + 0.6780 * d[1] + 0.0593 * d[2], 1e-12);
        const double k = std::pow(yd, -0.2 / 1.2);
        for (int i = 0; i < 3; ++i) e[i] = HlgSignal(d[i] * k);
      } else {
        for (int i = 0; i < 3; ++i) e[i] = std::pow(wide[i], 1 / 2.4);
      }
      const double yy = 0.2627 * e[0] + 0.6780 * e[1] + 0.0593 * e[2];
      luma[x] = Code10(64 + 876 * yy);
      cb_[static_cast<size_t>(y) * width_ + x] = static_cast<float>((e[2] - yy) / 1.8814);
      cr_[static_cast<size_t>(y) * width_ + x] = static_cast<float>((e[0] - yy) / 1.4746);
    }
  }
  for (int y = 0; y < height_ / 2; ++y) {
    auto* cb = reinterpret_cast<uint16_t*>(planes[1] + static_cast<ptrdiff_t>(y) * strides[1]);
    auto* cr = reinterpret_cast<uint16_t*>(planes[2] + static_cast<ptrdiff_t>(y) * strides[2]);
    for (int x = 0; x < width_ / 2; ++x) {
      const size_t a = static_cast<size_t>(2 * y) * width_ + 2 * x, b = a + width_;
      const double u = (cb_[a] + cb_[a + 1] + cb_[b] + cb_[b + 1]) / 4;
      const double v = (cr_[a] + cr_[a + 1] + cr_[b] + cr_[b + 1]) / 4;
      cb[x] = Code10(512 + 896 * u);
      cr[x] = Code10(512 + 896 * v);
    }
  }
}

}  // namespace ombrelo::testvideo::detail
