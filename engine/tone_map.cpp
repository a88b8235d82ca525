#include "engine/tone_map.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ffmpeg_support.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

namespace ombrelo {
namespace {

enum class Transfer { sdr, pq, hlg };

// Nominal SDR white in cd/m2: linear light 1.0.
constexpr double kReferenceWhite = 100.0;
// Assumed peak of content that does not say: HLG's nominal display, and what
// most PQ masters are graded for.
constexpr double kDefaultPeak = 1000.0 / kReferenceWhite;

// Linear BT.2020 RGB to linear BT.709 RGB (both D65), from the primaries.
constexpr float kGamut[3][3] = {
    {1.660491f, -0.587641f, -0.072850f},
    {-0.124550f, 1.132900f, -0.008349f},
    {-0.018151f, -0.100579f, 1.118730f},
};

Transfer TransferOf(const AVFrame* frame) {
  switch (frame->color_trc) {
    case AVCOL_TRC_SMPTE2084:
      return Transfer::pq;
    case AVCOL_TRC_ARIB_STD_B67:
      return Transfer::hlg;
    default:
      return Transfer::sdr;
  }
}

int SwsColorSpaceOf(AVColorSpace space) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    default:
      return SWS_CS_BT2020;  // what HDR and wide-gamut video uses
  }
}

// SMPTE ST 2084 EOTF: signal [0, 1] to cd/m2.
double PqToNits(double e) {
  constexpr double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 4096.0 * 128.0;
  constexpr double c1 = 3424.0 / 4096.0, c2 = 2413.0 / 4096.0 * 32.0, c3 = 2392.0 / 4096.0 * 32.0;
  if (e <= 0) return 0;
  const double p = std::pow(e, 1.0 / m2);
  const double num = std::max(p - c1, 0.0);
  const double den = std::max(c2 - c3 * p, 1e-30);
  return 10000.0 * std::pow(num / den, 1.0 / m1);
}

// ARIB STD-B67 inverse OETF: signal [0, 1] to scene light [0, 1].
double HlgToScene(double e) {
  constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
  if (e <= 0) return 0;
  if (e <= 0.5) return e * e / 3.0;
  return (std::exp((e - c) / a) + b) / 12.0;
}

float Hable(float x) {
  constexpr float a = 0.15f, b = 0.50f, c = 0.10f, d = 0.20f, e = 0.02f, f = 0.30f;
  return (x * (x * a + b * c) + d * e) / (x * (x * a + b) + d * f) - e / f;
}

// A curve on (0, 1] looked up by the leading bits of a float: the exponent
// and the first mantissa bits, so that its relative resolution is the same
// for dark and bright values. Values below the smallest step read as 0.
template <typename T>
class FloatCurve {
 public:
  template <typename F>
  explicit FloatCurve(F curve) {
    table_.resize(((kOne - kLow) >> kShift) + 1);
    for (size_t i = 0; i < table_.size(); ++i) {
      // The middle of the interval of floats that share this entry.
      const uint32_t bits = kLow + (static_cast<uint32_t>(i) << kShift) + (1u << (kShift - 1));
      table_[i] = curve(std::min(1.0f, std::bit_cast<float>(bits)));
    }
    zero_ = curve(0.0f);
  }
  T operator()(float x) const {
    if (!(x > kLowValue)) return zero_;  // also NaN
    if (x >= 1.0f) return table_.back();
    return table_[(std::bit_cast<uint32_t>(x) - kLow) >> kShift];
  }

 private:
  static constexpr int kShift = 12;  // 11 mantissa bits kept
  static constexpr float kLowValue = 1.0f / (1 << 24);
  static constexpr uint32_t kLow = std::bit_cast<uint32_t>(kLowValue);
  static constexpr uint32_t kOne = std::bit_cast<uint32_t>(1.0f);
  std::vector<T> table_;
  T zero_{};
};

// Linear light to an 8-bit full-range code through the BT.1886 inverse EOTF
// (a pure 2.4 power), rounded to the nearest code. The codes are a
// staircase: a value's code is the number of steps (where the rounded code
// goes up by one) at or below it. Building the table from them takes 255
// powers instead of one for each of its entries, which a process that makes
// one thumbnail would spend longer on than on the picture.
class DisplaySteps {
 public:
  DisplaySteps() {
    for (int k = 0; k < 255; ++k) steps_[k] = std::pow((k + 0.5) / 255.0, 2.4);
  }
  uint8_t operator()(float linear) const {
    return static_cast<uint8_t>(
        std::upper_bound(steps_.begin(), steps_.end(), static_cast<double>(linear)) -
        steps_.begin());
  }

 private:
  std::array<double, 255> steps_;
};

const FloatCurve<uint8_t>& OutputCurve() {
  static const DisplaySteps steps;
  static const FloatCurve<uint8_t> curve(steps);
  return curve;
}

// Signal (16 bits) to linear light for one transfer. The curve is worked out
// at every 16th signal value and drawn straight in between: smooth as the
// curves are, that is within 0.02 % of every value.
std::vector<float> SignalTable(Transfer transfer) {
  constexpr int kStep = 16;
  std::vector<double> nodes(65536 / kStep + 1);
  for (size_t n = 0; n < nodes.size(); ++n) {
    const double e = std::min(static_cast<double>(n * kStep), 65535.0) / 65535.0;
    double v;
    switch (transfer) {
      case Transfer::pq:
        v = PqToNits(e) / kReferenceWhite;
        break;
      case Transfer::hlg:
        // Scene light shown on the nominal 1000 cd/m2 display with the
        // system gamma 1.2, applied to each component (as zscale does,
        // rather than to the luminance, which shifts saturated colours).
        v = kDefaultPeak * std::pow(HlgToScene(e), 1.2);
        break;
      default:
        v = std::pow(e, 2.4);  // BT.1886
        break;
    }
    nodes[n] = v;
  }
  std::vector<float> table(65536);
  for (size_t i = 0; i < table.size(); ++i) {
    const size_t n = i / kStep;
    const double from = static_cast<double>(n * kStep);
    const double to = std::min(from + kStep, 65535.0);
    const double t = to > from ? (static_cast<double>(i) - from) / (to - from) : 0.0;
    table[i] = static_cast<float>(nodes[n] + (nodes[n + 1] - nodes[n]) * t);
  }
  return table;
}

}  // namespace

struct ToneMapper::State {
  struct Key {
    int width = 0, height = 0, format = -1, space = -1, fullRange = -1;
    bool operator==(const Key&) const = default;
  };
  av::SwsPtr sws;
  Key key;
  std::vector<uint16_t> rgb;  // 16-bit R'G'B' of the frame, packed
  av::FramePtr out;
  Transfer tableTransfer = Transfer::sdr;
  std::vector<float> toLinear;
};

ToneMapper::ToneMapper() : state_(std::make_unique<State>()) {}
ToneMapper::~ToneMapper() = default;

bool ToneMapper::Needed(const AVFrame* frame) {
  return frame &&
         (TransferOf(frame) != Transfer::sdr || frame->color_primaries == AVCOL_PRI_BT2020);
}

double ToneMapper::SignalPeak(const AVFrame* frame) {
  double peak = 0;
  if (const AVFrameSideData* sd =
          av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL)) {
    peak = reinterpret_cast<const AVContentLightMetadata*>(sd->data)->MaxCLL / kReferenceWhite;
  }
  if (!(peak > 0)) {
    if (const AVFrameSideData* sd =
            av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA)) {
      const auto* m = reinterpret_cast<const AVMasteringDisplayMetadata*>(sd->data);
      if (m->has_luminance && m->max_luminance.den != 0)
        peak = av_q2d(m->max_luminance) / kReferenceWhite;
    }
  }
  if (!(peak > 0)) peak = kDefaultPeak;
  return std::clamp(peak, 1.0, 100.0);
}

AVFrame* ToneMapper::Apply(AVFrame* frame) {
  if (!Needed(frame)) return frame;
  State& s = *state_;
  const AVPixelFormat source = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(source);
  if (!desc || frame->width <= 0 || frame->height <= 0) return nullptr;
  const bool yuv = !(desc->flags & AV_PIX_FMT_FLAG_RGB);

  // Samples to 16-bit R'G'B' with the frame's own matrix and range.
  State::Key key;
  key.width = frame->width;
  key.height = frame->height;
  key.format = frame->format;
  if (yuv) {
    key.space = SwsColorSpaceOf(frame->colorspace);
    key.fullRange = frame->color_range == AVCOL_RANGE_JPEG;
  }
  if (!s.sws || !(key == s.key)) {
    s.sws.reset(sws_getContext(
        frame->width, frame->height, source, frame->width, frame->height, AV_PIX_FMT_RGB48,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!s.sws) {
      DebugOutputF("ffmpeg: cannot convert %s pictures for tone mapping\n",
                   av_get_pix_fmt_name(source));
      return nullptr;
    }
    if (yuv)
      sws_setColorspaceDetails(s.sws.get(), sws_getCoefficients(key.space), key.fullRange,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    s.key = key;
  }
  const size_t width = static_cast<size_t>(frame->width);
  const size_t height = static_cast<size_t>(frame->height);
  s.rgb.resize(width * height * 3);
  uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(s.rgb.data()), nullptr, nullptr, nullptr};
  int dstStride[4] = {static_cast<int>(width * 6), 0, 0, 0};
  if (sws_scale(s.sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride) <= 0)
    return nullptr;

  if (!s.out || s.out->width != frame->width || s.out->height != frame->height) {
    s.out.reset(av_frame_alloc());
    if (!s.out) return nullptr;
    s.out->format = AV_PIX_FMT_BGR24;
    s.out->width = frame->width;
    s.out->height = frame->height;
    if (av_frame_get_buffer(s.out.get(), 0) < 0) {
      s.out.reset();
      return nullptr;
    }
  }

  const Transfer transfer = TransferOf(frame);
  if (s.toLinear.empty() || s.tableTransfer != transfer) {
    s.toLinear = SignalTable(transfer);
    s.tableTransfer = transfer;
  }
  const bool wideGamut = frame->color_primaries == AVCOL_PRI_BT2020;
  const bool toneMap = transfer != Transfer::sdr;
  const float peak = static_cast<float>(SignalPeak(frame));
  const float curveScale = 1.0f / Hable(peak);
  const float* toLinear = s.toLinear.data();
  const FloatCurve<uint8_t>& output = OutputCurve();

  for (size_t y = 0; y < height; ++y) {
    const uint16_t* in = s.rgb.data() + y * width * 3;
    uint8_t* row = s.out->data[0] + y * static_cast<size_t>(s.out->linesize[0]);
    for (size_t x = 0; x < width; ++x, in += 3, row += 3) {
      float r = toLinear[in[0]], g = toLinear[in[1]], b = toLinear[in[2]];
      if (wideGamut) {
        const float r2 = kGamut[0][0] * r + kGamut[0][1] * g + kGamut[0][2] * b;
        const float g2 = kGamut[1][0] * r + kGamut[1][1] * g + kGamut[1][2] * b;
        const float b2 = kGamut[2][0] * r + kGamut[2][1] * g + kGamut[2][2] * b;
        r = r2;
        g = g2;
        b = b2;
      }
      if (toneMap) {
        // The brightest component sets the scale of all three, so that
        // colours keep their hue instead of clipping apart.
        const float signal = std::max({r, g, b, 1e-6f});
        const float k = Hable(signal) * curveScale / signal;
        r *= k;
        g *= k;
        b *= k;
      }
      row[0] = output(b);
      row[1] = output(g);
      row[2] = output(r);
    }
  }
  return s.out.get();
}

}  // namespace ombrelo
