#include "engine/deinterlace.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/ffmpeg_support.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avconfig.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace ombrelo {
namespace {

// How far, in 8-bit steps, a row must stand out from both of its neighbours
// in the same direction to count as the other field's comb. Smaller
// differences are fine detail or noise and are kept.
constexpr int kCombThreshold = 10;

bool FrameSaysInterlaced(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_INTERLACED
  return (frame->flags & AV_FRAME_FLAG_INTERLACED) != 0;
#else
  return frame->interlaced_frame != 0;
#endif
}

bool FrameSaysTopFirst(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_TOP_FIELD_FIRST
  return (frame->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST) != 0;
#else
  return frame->top_field_first != 0;
#endif
}

void MarkProgressive(AVFrame* frame) {
#ifdef AV_FRAME_FLAG_INTERLACED
  frame->flags &= ~(AV_FRAME_FLAG_INTERLACED | AV_FRAME_FLAG_TOP_FIELD_FIRST);
#else
  frame->interlaced_frame = 0;
  frame->top_field_first = 0;
#endif
}

// Decoders of these codecs mark every interlaced picture themselves: a
// picture they leave unmarked is progressive, whatever the stream says
// (film in a broadcast stream, a progressive frame of a mixed stream).
bool DecoderMarksPictures(int codecId) {
  switch (codecId) {
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_VC1:
    case AV_CODEC_ID_WMV3:
    case AV_CODEC_ID_DVVIDEO:
    case AV_CODEC_ID_PRORES:
    case AV_CODEC_ID_DNXHD:
    case AV_CODEC_ID_MJPEG:
      return true;
    default:
      return false;
  }
}

// How the samples of a format lie in its planes: each one a whole byte, or
// each one a whole native-endian 16-bit word. Zero for anything else
// (bit-packed, shifted, paletted, float, hardware frames).
int SampleBytes(const AVPixFmtDescriptor* desc) {
  if (!desc || desc->nb_components == 0) return 0;
  constexpr uint64_t kRefused = AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                                AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_FLOAT |
                                AV_PIX_FMT_FLAG_BAYER;
  if (desc->flags & kRefused) return 0;
  const bool bigEndian = (desc->flags & AV_PIX_FMT_FLAG_BE) != 0;
  int bytes = 0;
  for (int i = 0; i < desc->nb_components; ++i) {
    const AVComponentDescriptor& c = desc->comp[i];
    if (c.shift != 0) return 0;
    const int these = c.depth == 8 ? 1 : (c.depth > 8 && c.depth <= 16) ? 2 : 0;
    if (these == 0 || (bytes != 0 && these != bytes)) return 0;
    if (these == 2 &&
        (c.step % 2 != 0 || c.offset % 2 != 0 || bigEndian != (AV_HAVE_BIGENDIAN != 0)))
      return 0;
    bytes = these;
  }
  return bytes;
}

int PlaneRows(const AVPixFmtDescriptor* desc, int plane, int height) {
  const bool chroma = (plane == 1 || plane == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
  return chroma ? -((-height) >> desc->log2_chroma_h) : height;
}

// Rebuilds the rows of one plane whose parity is `rebuilt` (0: the even
// rows, 1: the odd ones) into `out`, and copies the others.
template <typename Sample>
void DeinterlacePlane(const uint8_t* in, int inStride, uint8_t* out, int outStride, int rowBytes,
                      int rows, int rebuilt, int threshold, int maxValue) {
  const int samples = rowBytes / static_cast<int>(sizeof(Sample));
  auto row = [&](int y) { return reinterpret_cast<const Sample*>(in + ptrdiff_t{inStride} * y); };
  for (int y = 0; y < rows; ++y) {
    uint8_t* target = out + ptrdiff_t{outStride} * y;
    const bool kept = (y & 1) != rebuilt;
    if (kept || rows < 2) {
      std::memcpy(target, row(y), static_cast<size_t>(rowBytes));
      continue;
    }
    // The kept field's rows around y, those beyond the picture replaced by
    // the nearest kept row inside it.
    const int above = y - 1 >= 0 ? y - 1 : y + 1;
    const int below = y + 1 < rows ? y + 1 : y - 1;
    const int farAbove = y - 3 >= 0 ? y - 3 : above;
    const int farBelow = y + 3 < rows ? y + 3 : below;
    const Sample* a = row(farAbove);
    const Sample* c = row(above);
    const Sample* d = row(y);
    const Sample* e = row(below);
    const Sample* g = row(farBelow);
    Sample* o = reinterpret_cast<Sample*>(target);
    for (int x = 0; x < samples; ++x) {
      const int own = d[x];
      const int up = own - c[x], down = own - e[x];
      const bool comb =
          (up > threshold && down > threshold) || (up < -threshold && down < -threshold);
      if (!comb) {
        o[x] = d[x];
        continue;
      }
      // A four-tap cubic through the kept field's rows.
      const int value = (5077 * (c[x] + e[x]) - 981 * (a[x] + g[x]) + 4096) >> 13;
      o[x] = static_cast<Sample>(std::clamp(value, 0, maxValue));
    }
  }
}

}  // namespace

struct Deinterlacer::State {
  int fieldOrder = AV_FIELD_UNKNOWN;
  int codecId = AV_CODEC_ID_NONE;
  av::FramePtr out{av_frame_alloc()};
};

Deinterlacer::Deinterlacer() : state_(std::make_unique<State>()) {}

Deinterlacer::~Deinterlacer() = default;

void Deinterlacer::SetStream(int fieldOrder, int codecId) {
  state_->fieldOrder = fieldOrder;
  state_->codecId = codecId;
}

bool Deinterlacer::Interlaced(const AVFrame* frame, bool* topFieldFirst) const {
  if (FrameSaysInterlaced(frame)) {
    *topFieldFirst = FrameSaysTopFirst(frame);
    return true;
  }
  if (DecoderMarksPictures(state_->codecId)) return false;
  switch (state_->fieldOrder) {
    case AV_FIELD_TT:  // top coded and shown first
    case AV_FIELD_BT:  // bottom coded first, top shown first
      *topFieldFirst = true;
      return true;
    case AV_FIELD_BB:
    case AV_FIELD_TB:
      *topFieldFirst = false;
      return true;
    default:
      return false;
  }
}

AVFrame* Deinterlacer::Apply(AVFrame* frame) {
  bool topFirst = true;
  if (!frame || !Interlaced(frame, &topFirst)) return frame;
  const AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  const int bytes = SampleBytes(desc);
  AVFrame* out = state_->out.get();
  if (bytes == 0 || !out) return frame;
  av_frame_unref(out);
  out->format = frame->format;
  out->width = frame->width;
  out->height = frame->height;
  if (av_frame_get_buffer(out, 0) < 0 || av_frame_copy_props(out, frame) < 0) {
    DebugOutput("ffmpeg: no memory to deinterlace a frame; it is converted as it is\n");
    av_frame_unref(out);
    return frame;
  }
  MarkProgressive(out);
  // The first field's rows are kept: even rows when the top field is shown
  // first, odd ones otherwise.
  const int rebuilt = topFirst ? 1 : 0;
  int maxDepth = 0;
  for (int i = 0; i < desc->nb_components; ++i) maxDepth = std::max(maxDepth, desc->comp[i].depth);
  const int threshold = kCombThreshold << (maxDepth - 8);
  const int maxValue = (1 << maxDepth) - 1;
  const int planes = av_pix_fmt_count_planes(format);
  for (int p = 0; p < planes; ++p) {
    const int rowBytes = av_image_get_linesize(format, frame->width, p);
    const int rows = PlaneRows(desc, p, frame->height);
    if (rowBytes <= 0 || rows <= 0) continue;
    if (bytes == 1)
      DeinterlacePlane<uint8_t>(frame->data[p], frame->linesize[p], out->data[p], out->linesize[p],
                                rowBytes, rows, rebuilt, threshold, maxValue);
    else
      DeinterlacePlane<uint16_t>(frame->data[p], frame->linesize[p], out->data[p], out->linesize[p],
                                 rowBytes, rows, rebuilt, threshold, maxValue);
  }
  return out;
}

}  // namespace ombrelo
