#include "engine/band_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace ombrelo {
namespace {

int SwsColorSpace(AVColorSpace space, int width, int height) {
  switch (space) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return SWS_CS_ITU601;
    default:
      return UnmarkedIsBt709(width, height) ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

bool IsFullRangeFormat(int format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

void KeepBuffer(void*, uint8_t*) {}  // the converter's own buffer: nothing to free

}  // namespace

bool UnmarkedIsBt709(int width, int height) { return width >= 1280 || height > 576; }

PictureShape PictureShape::Of(int width, int height, int aspectNum, int aspectDen, double degrees) {
  PictureShape s;
  s.scaledWidth = width;
  s.scaledHeight = height;
  if (aspectNum > 0 && aspectDen > 0 && aspectNum != aspectDen)
    s.scaledWidth = std::max<int>(
        1, static_cast<int>(std::llround(static_cast<double>(width) * aspectNum / aspectDen)));
  if (!std::isnan(degrees)) {
    const int quarter = static_cast<int>(std::lround(degrees / 90.0)) * 90;
    s.rotation = ((quarter % 360) + 360) % 360;
  }
  const bool turned = s.rotation == 90 || s.rotation == 270;
  s.outWidth = turned ? s.scaledHeight : s.scaledWidth;
  s.outHeight = turned ? s.scaledWidth : s.scaledHeight;
  s.outStride = (static_cast<size_t>(s.outWidth) * 3 + 3) & ~static_cast<size_t>(3);
  return s;
}

// The scaler for frames like the one it was made for.
struct BandConverter::Scaler {
  struct Key {
    int srcWidth = 0, srcHeight = 0, format = -1, dstWidth = 0, dstHeight = 0;
    int colorspace = -1, fullRange = -1;
    bool operator==(const Key&) const = default;
  };
  static Key KeyOf(const AVFrame* frame, int dstWidth, int dstHeight, bool* yuv);
  static std::unique_ptr<Scaler> Make(const AVFrame* frame, const Key& key, bool yuv, int threads);

  Key key;
  av::SwsPtr sws;
  bool threaded = false;  // works in bands on several threads
};

BandConverter::Scaler::Key BandConverter::Scaler::KeyOf(const AVFrame* frame, int dstWidth,
                                                        int dstHeight, bool* yuv) {
  const AVPixelFormat source = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(source);
  *yuv = desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
  Key key;
  key.srcWidth = frame->width;
  key.srcHeight = frame->height;
  key.format = frame->format;
  key.dstWidth = dstWidth;
  key.dstHeight = dstHeight;
  if (*yuv) {
    key.colorspace = SwsColorSpace(frame->colorspace, frame->width, frame->height);
    key.fullRange = frame->color_range == AVCOL_RANGE_JPEG || IsFullRangeFormat(source);
  }
  return key;
}

std::unique_ptr<BandConverter::Scaler> BandConverter::Scaler::Make(const AVFrame* frame,
                                                                   const Key& key, bool yuv,
                                                                   int threads) {
  auto made = std::make_unique<Scaler>();
  made->key = key;
  const AVPixelFormat source = static_cast<AVPixelFormat>(frame->format);
  const int flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
  if (threads > 1) {
    av::SwsPtr sws(sws_alloc_context());
    if (sws && av_opt_set_int(sws.get(), "srcw", frame->width, 0) >= 0 &&
        av_opt_set_int(sws.get(), "srch", frame->height, 0) >= 0 &&
        av_opt_set_int(sws.get(), "src_format", source, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dstw", key.dstWidth, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dsth", key.dstHeight, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dst_format", AV_PIX_FMT_BGR24, 0) >= 0 &&
        av_opt_set_int(sws.get(), "sws_flags", flags, 0) >= 0 &&
        av_opt_set_int(sws.get(), "threads", threads, 0) >= 0 &&
        sws_init_context(sws.get(), nullptr, nullptr) >= 0) {
      made->sws = std::move(sws);
      made->threaded = true;
    }
  }
  if (!made->sws) {
    made->sws.reset(sws_getContext(frame->width, frame->height, source, key.dstWidth, key.dstHeight,
                                   AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr));
  }
  if (!made->sws) {
    DebugOutputF("ffmpeg: cannot convert %s pictures\n", av_get_pix_fmt_name(source));
    return nullptr;
  }
  if (yuv)
    sws_setColorspaceDetails(made->sws.get(), sws_getCoefficients(key.colorspace), key.fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
  return made;
}

BandConverter::BandConverter(int threads, PipelineCounters& counters, bool toneMapHdr)
    : threads_(std::clamp(threads > 0 ? threads : av_cpu_count(), 1, 16)),
      counters_(counters),
      toneMapHdr_(toneMapHdr) {}

BandConverter::~BandConverter() = default;

// Converts the frame into BGR rows starting at top, stride bytes apart.
bool BandConverter::Scale(AVFrame* frame, uint8_t* top, int dstWidth, int dstHeight,
                          ptrdiff_t stride) {
  SwsContext* sws = scaler_->sws.get();
  if (!scaler_->threaded) {
    uint8_t* dst[4] = {top, nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(stride), 0, 0, 0};
    return sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride) > 0;
  }
  // The banded conversion writes into a frame; this one lends it our rows.
  av::FramePtr out(av_frame_alloc());
  if (!out) return false;
  out->width = dstWidth;
  out->height = dstHeight;
  out->format = AV_PIX_FMT_BGR24;
  out->buf[0] = av_buffer_create(top, 1, &KeepBuffer, nullptr, 0);
  if (!out->buf[0]) return false;
  out->data[0] = top;
  out->linesize[0] = static_cast<int>(stride);
  const int error = sws_scale_frame(sws, out.get(), frame);
  if (error < 0) {
    DebugOutputF("ffmpeg: conversion failed: %s\n", av::ErrorText(error).c_str());
    return false;
  }
  return true;
}

// Turns the upright picture clockwise into the output.
void BandConverter::TurnInto(int uprightStride) {
  const PictureShape& s = shape_;
  const int W = s.scaledWidth, H = s.scaledHeight;
  for (int y = 0; y < s.outHeight; ++y) {
    uint8_t* row = output_.data() + s.outStride * static_cast<size_t>(y);
    for (int x = 0; x < s.outWidth; ++x) {
      int sx, sy;
      if (s.rotation == 90) {
        sx = y;
        sy = H - 1 - x;
      } else if (s.rotation == 180) {
        sx = W - 1 - x;
        sy = H - 1 - y;
      } else {  // 270
        sx = W - 1 - y;
        sy = x;
      }
      std::memcpy(row + static_cast<size_t>(x) * 3,
                  upright_.data() + static_cast<size_t>(uprightStride) * static_cast<size_t>(sy) +
                      static_cast<size_t>(sx) * 3,
                  3);
    }
  }
}

const uint8_t* BandConverter::Convert(AVFrame* frame) {
  const PictureShape& s = shape_;
  if (s.outWidth <= 0 || s.outHeight <= 0) return nullptr;
  // HDR and wide-gamut pictures are first brought to SDR BT.709 colours.
  if (toneMapHdr_ && !(frame = toneMapper_.Apply(frame))) return nullptr;
  bool yuv = false;
  const Scaler::Key key = Scaler::KeyOf(frame, s.scaledWidth, s.scaledHeight, &yuv);
  if (!scaler_ || !(scaler_->key == key)) {
    scaler_ = Scaler::Make(frame, key, yuv, threads_);
    if (!scaler_) return nullptr;
  }
  output_.resize(s.outStride * static_cast<size_t>(s.outHeight));
  if (s.rotation == 0) {
    if (!Scale(frame, output_.data(), s.scaledWidth, s.scaledHeight,
               static_cast<ptrdiff_t>(s.outStride)))
      return nullptr;
  } else {
    const int uprightStride = s.scaledWidth * 3;
    upright_.resize(static_cast<size_t>(uprightStride) * static_cast<size_t>(s.scaledHeight));
    if (!Scale(frame, upright_.data(), s.scaledWidth, s.scaledHeight, uprightStride))
      return nullptr;
    TurnInto(uprightStride);
  }
  counters_.framesConverted++;
  return output_.data();
}

}  // namespace ombrelo
