#include "engine/thumbnail_grab.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/band_converter.h"
#include "engine/deinterlace.h"
#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "engine/frame_metrics.h"
#include "engine/media_input.h"
#include "engine/packet_source.h"
#include "engine/tone_map.h"
#include "platform/debug_output.h"
#include "platform/translate.h"

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;

// Key frames looked at from one point: the one at or after it, and the one
// after that when the first is flat.
constexpr int kKeyFramesPerPoint = 2;
// Packets read from a point without finding its key frame before the point
// is given up.
constexpr int kMaxPacketsToKeyFrame = 6000;

constexpr const char* kTimedOut =
    QT_TRANSLATE_NOOP("ThumbnailGrab", "no frame within the time limit");

// The display shape fitted into size x size pixels, never enlarged.
PictureShape Fitted(const PictureShape& full, int size) {
  if (size <= 0 || (full.outWidth <= size && full.outHeight <= size)) return full;
  const bool wide = full.outWidth >= full.outHeight;
  const double longer = wide ? full.outWidth : full.outHeight;
  const int shorter = std::max(
      1, static_cast<int>(std::lround((wide ? full.outHeight : full.outWidth) * size / longer)));
  const int outWidth = wide ? size : shorter, outHeight = wide ? shorter : size;
  const bool turned = full.rotation == 90 || full.rotation == 270;
  return PictureShape::Of(turned ? outHeight : outWidth, turned ? outWidth : outHeight, 1, 1,
                          full.rotation);
}

// The decoder's reduced resolution (a power of two) that still gives at least
// the pixels the picture needs, where the codec offers one. Never below a
// quarter: at an eighth the decoders keep only the mean of each block, which
// blurs the picture visibly and mixes the two fields of interlaced video.
constexpr int kMaxLowres = 2;

int Lowres(const AVCodec* codec, const PictureShape& full, const PictureShape& fitted) {
  int lowres = 0;
  while (lowres < std::min<int>(codec->max_lowres, kMaxLowres) &&
         fitted.scaledWidth << (lowres + 1) <= full.scaledWidth &&
         fitted.scaledHeight << (lowres + 1) <= full.scaledHeight)
    ++lowres;
  return lowres;
}

// A frame that shows what the file holds: decoded with every picture it
// refers to and without errors.
bool IsClean(const AVFrame* frame) {
  return !(frame->flags & AV_FRAME_FLAG_CORRUPT) && frame->decode_error_flags == 0;
}

// The grab: a demuxer from the shared opening, a decoder set up for one
// picture, and the converter straight to the size asked for.
class Grabber {
 public:
  Grabber(const GrabOptions& options, Clock::time_point deadline)
      : options_(options),
        deadline_(deadline),
        counters_(options.counters ? options.counters : std::make_shared<PipelineCounters>()),
        source_(*counters_),
        converter_(1, *counters_, options.toneMapHdr),
        packet_(av_packet_alloc()),
        frame_(av_frame_alloc()) {}

  // "" when ready to look, else why not.
  std::string Open(const std::string& path);
  // Looks for the frame until one is not flat, every place was tried or the
  // time is up.
  void Look();
  bool TimedOut() const { return timedOut_; }
  // The first frame that is not flat, else the first flat one.
  bool Take(GrabbedFrame* out) {
    if (!haveBest_ && !haveFlat_) return false;
    *out = std::move(haveBest_ ? best_ : flat_);
    return true;
  }

 private:
  enum class Read { packet, end, stop };
  enum class Found { picture, flat, noKeyFrame, stop };

  bool OpenDecoder(AVStream* stream, const PictureShape& full, const PictureShape& fitted);
  Read NextPacket();
  bool SeekTo(int64_t minTs, int64_t ts, int64_t maxTs);
  bool SeekToFirstByte();
  // Both seeks: positions the demuxer and forgets what the decoder holds.
  bool Seek(int stream, int64_t minTs, int64_t ts, int64_t maxTs, int flags);
  Found KeyFramesFrom(int64_t at);
  Found KeyFrameBefore(int64_t at);
  void DecodeAlone();
  void DecodeOn(int frames);
  void Offer(AVFrame* frame);
  AVFrame* Shrunk(AVFrame* frame);
  bool Seen(int64_t ts) const { return std::find(seen_.begin(), seen_.end(), ts) != seen_.end(); }
  int64_t ToTicks(int64_t units) const {
    const StreamTiming& t = source_.Timing();
    return av::UnitsToTicks(units, {t.timeBaseNum, t.timeBaseDen}, t.startTs);
  }
  int64_t ToUnits(int64_t ticks) const {
    const StreamTiming& t = source_.Timing();
    return av::TicksToUnits(ticks, {t.timeBaseNum, t.timeBaseDen}, t.startTs);
  }

  const GrabOptions& options_;
  const Clock::time_point deadline_;
  std::shared_ptr<PipelineCounters> counters_;
  PacketSource source_;
  BandConverter converter_;
  Deinterlacer deinterlacer_;
  av::CodecPtr decoder_;
  av::PacketPtr packet_;
  av::FramePtr frame_;
  av::FramePtr small_;  // an HDR frame made small before its tone mapping
  av::SwsPtr shrink_;
  int streamIndex_ = -1;
  int codedWidth_ = 0, codedHeight_ = 0;  // the stream's picture size
  int rotation_ = 0;
  bool aspectFromFrame_ = false;  // the file does not give the pixels' shape
  bool timedOut_ = false;
  std::vector<int64_t> seen_;  // packet times of the key frames decoded
  GrabbedFrame best_, flat_;
  bool haveBest_ = false, haveFlat_ = false;
};

std::string Grabber::Open(const std::string& path) {
  if (!packet_ || !frame_) return Translate("ThumbnailGrab", "out of memory");
  std::string reason;
  // The first frames are not decoded to learn what the header says already:
  // the frame taken gives its format, and its shape when the file does not.
  source_.ReadHeaderOnly();
  // Whatever FFmpeg waits for, in the opening or a read, it gives up at the
  // deadline: it asks the source between its steps.
  source_.SetWaitCheck([deadline = deadline_] { return Clock::now() < deadline; });
  if (source_.Open(path, false, &reason) != MediaError::none)
    return reason.empty() ? Translate("ThumbnailGrab", "not a media file that can be read")
                          : reason;
  AVStream* stream = source_.ChooseVideoStream();
  if (!stream) return NoVideoStreamReason(source_.Format());
  // No decoder, no size, or pictures larger than the limit: refused before
  // anything is decoded.
  MediaError refusal = MediaError::none;
  reason = UndecodableReason(source_.Format(), stream, &refusal);
  if (Failed(refusal)) return reason;
  streamIndex_ = stream->index;
  deinterlacer_.SetStream(stream->codecpar->field_order, stream->codecpar->codec_id);
  const PictureShape full = source_.Shape();
  if (full.outWidth <= 0 || full.outHeight <= 0)
    return Translate("ThumbnailGrab", "no picture size");
  rotation_ = full.rotation;
  aspectFromFrame_ = av_guess_sample_aspect_ratio(source_.Format(), stream, nullptr).num <= 0;
  const PictureShape fitted = Fitted(full, options_.maxSize);
  if (!OpenDecoder(stream, full, fitted))
    return Translate("ThumbnailGrab", "no video stream that can be decoded");
  converter_.SetShape(fitted);
  return "";
}

bool Grabber::OpenDecoder(AVStream* stream, const PictureShape& full, const PictureShape& fitted) {
  const AVCodecParameters* par = stream->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    DebugOutputF("ffmpeg: no decoder for video codec '%s'\n", avcodec_get_name(par->codec_id));
    return false;
  }
  av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), par) < 0) return false;
  decoder->pkt_timebase = stream->time_base;
  codedWidth_ = par->width;
  codedHeight_ = par->height;
  // One picture: frame threads would only wait for each other, and slice
  // threads cost more to start and to fill their own tables than they give
  // (measured on 720p to 1080p H.264 and HEVC).
  decoder->thread_type = FF_THREAD_SLICE;
  decoder->thread_count = 1;
  // Made at least twice smaller, a picture shows nothing of the deblocking
  // filter; decoders that can give a smaller picture themselves do.
  if (fitted.scaledWidth * 2 <= full.scaledWidth && fitted.scaledHeight * 2 <= full.scaledHeight)
    decoder->skip_loop_filter = AVDISCARD_ALL;
  decoder->flags2 |= AV_CODEC_FLAG2_FAST;
  decoder->lowres = Lowres(codec, full, fitted);
  decoder->max_pixels = kMaxPicturePixels;
  if (const int error = avcodec_open2(decoder.get(), codec, nullptr); error < 0) {
    DebugOutputF("ffmpeg: cannot open the %s decoder: %s\n", codec->name,
                 av::ErrorText(error).c_str());
    return false;
  }
  decoder_ = std::move(decoder);
  return true;
}

Grabber::Read Grabber::NextPacket() {
  for (;;) {
    if (Clock::now() >= deadline_) {
      timedOut_ = true;
      return Read::stop;
    }
    switch (source_.Next(packet_.get())) {
      case PacketSource::Read::packet:
        return Read::packet;
      case PacketSource::Read::notYet:
        continue;
      case PacketSource::Read::interrupted:
        timedOut_ = true;
        return Read::stop;
      case PacketSource::Read::endOfFile:
        return Read::end;
    }
  }
}

// Positions the demuxer (times in ticks) and forgets what was read.
bool Grabber::SeekTo(int64_t minTs, int64_t ts, int64_t maxTs) {
  return Seek(streamIndex_, minTs, ts, maxTs, 0);
}

// Positions the demuxer at the file's first byte, where time seeking fails.
bool Grabber::SeekToFirstByte() { return Seek(-1, 0, 0, 0, AVSEEK_FLAG_BYTE); }

bool Grabber::Seek(int stream, int64_t minTs, int64_t ts, int64_t maxTs, int flags) {
  counters_->seeks++;
  const int error = avformat_seek_file(source_.Format(), stream, minTs, ts, maxTs, flags);
  source_.Clear();
  avcodec_flush_buffers(decoder_.get());
  if (error < 0) {
    counters_->seekFailures++;
    return false;
  }
  return true;
}

// The key frame at or after `at` (100-ns units), and the one after it when
// that is flat.
Grabber::Found Grabber::KeyFramesFrom(int64_t at) {
  const int64_t target = ToTicks(at);
  if (!SeekTo(target, target, INT64_MAX)) return Found::noKeyFrame;
  int keyFrames = 0;
  for (int packets = 0; packets < kMaxPacketsToKeyFrame; ++packets) {
    const Read read = NextPacket();
    if (read == Read::stop) return Found::stop;
    if (read == Read::end) break;
    const int64_t ts = av::PacketTime(packet_.get());
    // Demuxers that find a position by its time may land a little early.
    if (!(packet_->flags & AV_PKT_FLAG_KEY) || (ts != AV_NOPTS_VALUE && ts < target)) {
      av_packet_unref(packet_.get());
      continue;
    }
    ++keyFrames;
    DecodeAlone();
    if (haveBest_) return Found::picture;
    if (keyFrames >= kKeyFramesPerPoint) break;
    packets = 0;
  }
  return keyFrames > 0 ? Found::flat : Found::noKeyFrame;
}

// The last key frame at or before `at` (100-ns units).
Grabber::Found Grabber::KeyFrameBefore(int64_t at) {
  const int64_t target = ToTicks(at);
  if (!SeekTo(INT64_MIN, target, target)) return Found::noKeyFrame;
  for (int packets = 0; packets < kMaxPacketsToKeyFrame; ++packets) {
    const Read read = NextPacket();
    if (read == Read::stop) return Found::stop;
    if (read == Read::end) break;
    if (!(packet_->flags & AV_PKT_FLAG_KEY)) {
      av_packet_unref(packet_.get());
      continue;
    }
    DecodeAlone();
    return haveBest_ ? Found::picture : Found::flat;
  }
  return Found::noKeyFrame;
}

// Decodes the key frame in packet_ by itself: nothing before it, nothing
// after it. A key frame decoded before is not decoded again.
void Grabber::DecodeAlone() {
  AVCodecContext* decoder = decoder_.get();
  const int64_t ts = av::PacketTime(packet_.get());
  if (ts != AV_NOPTS_VALUE && Seen(ts)) {
    av_packet_unref(packet_.get());
    return;
  }
  seen_.push_back(ts);
  avcodec_flush_buffers(decoder);
  const int sent = avcodec_send_packet(decoder, packet_.get());
  av_packet_unref(packet_.get());
  if (sent < 0) return;
  avcodec_send_packet(decoder, nullptr);  // what it holds comes out now
  AVFrame* frame = frame_.get();
  while (avcodec_receive_frame(decoder, frame) == 0) {
    counters_->framesDecoded++;
    // A packet marked key that needs earlier pictures after all (some
    // streams mark points where decoding only recovers later) is no picture.
    if (IsClean(frame) && (frame->key_frame || frame->pict_type == AV_PICTURE_TYPE_I)) Offer(frame);
    av_frame_unref(frame);
  }
  avcodec_flush_buffers(decoder);
}

// Decodes on from where the demuxer is, every frame, up to `frames` clean
// ones, until one is not flat.
void Grabber::DecodeOn(int frames) {
  AVCodecContext* decoder = decoder_.get();
  AVFrame* frame = frame_.get();
  bool draining = false;
  while (frames > 0 && !haveBest_) {
    const int received = avcodec_receive_frame(decoder, frame);
    if (received == 0) {
      counters_->framesDecoded++;
      if (IsClean(frame)) {
        Offer(frame);
        --frames;
      }
      av_frame_unref(frame);
      continue;
    }
    if (received != AVERROR(EAGAIN) || draining) return;
    const Read read = NextPacket();
    if (read == Read::stop) return;
    if (read == Read::end) {
      avcodec_send_packet(decoder, nullptr);
      draining = true;
      continue;
    }
    avcodec_send_packet(decoder, packet_.get());
    av_packet_unref(packet_.get());
  }
}

// An HDR frame made as small as the picture, in its own format and with its
// own colour tags, so that tone mapping works on those pixels only; any other
// frame as it is (the converter scales it once, straight to BGR).
AVFrame* Grabber::Shrunk(AVFrame* frame) {
  const PictureShape& shape = converter_.Shape();
  if (!options_.toneMapHdr || !ToneMapper::Needed(frame) ||
      (frame->width <= shape.scaledWidth && frame->height <= shape.scaledHeight))
    return frame;
  if (!small_) small_.reset(av_frame_alloc());
  if (!small_) return frame;
  AVFrame* small = small_.get();
  av_frame_unref(small);
  small->width = shape.scaledWidth;
  small->height = shape.scaledHeight;
  small->format = frame->format;
  const auto format = static_cast<AVPixelFormat>(frame->format);
  shrink_.reset(sws_getCachedContext(shrink_.release(), frame->width, frame->height, format,
                                     small->width, small->height, format, SWS_BICUBIC, nullptr,
                                     nullptr, nullptr));
  if (!shrink_ || av_frame_get_buffer(small, 0) < 0 || av_frame_copy_props(small, frame) < 0 ||
      sws_scale(shrink_.get(), frame->data, frame->linesize, 0, frame->height, small->data,
                small->linesize) <= 0)
    return frame;
  return small;
}

void Grabber::Offer(AVFrame* frame) {
  // A frame that does not name its matrix is converted with the one its
  // size implies; decoded at reduced resolution it would pass for a smaller
  // picture than the video's.
  if (frame->colorspace == AVCOL_SPC_UNSPECIFIED && decoder_->lowres > 0)
    frame->colorspace =
        UnmarkedIsBt709(codedWidth_, codedHeight_) ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
  // Pixels that are not square, told only by the frame: the picture takes
  // their shape.
  if (aspectFromFrame_) {
    const AVRational sar = frame->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
      converter_.SetShape(
          Fitted(PictureShape::Of(codedWidth_, codedHeight_, sar.num, sar.den, rotation_),
                 options_.maxSize));
    aspectFromFrame_ = false;
  }
  AVFrame* whole = options_.deinterlace ? deinterlacer_.Apply(frame) : frame;
  const uint8_t* pixels = converter_.Convert(Shrunk(whole));
  if (!pixels) return;  // not convertible: the next one
  const PictureShape& shape = converter_.Shape();
  GrabbedFrame grabbed;
  grabbed.width = shape.outWidth;
  grabbed.height = shape.outHeight;
  grabbed.time = ToUnits(av::FrameTime(frame));
  if (grabbed.time == AV_NOPTS_VALUE) grabbed.time = 0;
  const size_t row = static_cast<size_t>(grabbed.width) * 3;
  grabbed.bgr.resize(row * grabbed.height);
  for (int y = 0; y < grabbed.height; ++y)  // without the rows' padding
    std::memcpy(grabbed.bgr.data() + row * y, pixels + shape.outStride * static_cast<size_t>(y),
                row);
  grabbed.flat =
      IsNearlyFlat(grabbed.bgr.data(), grabbed.width, grabbed.height, static_cast<ptrdiff_t>(row));
  if (!grabbed.flat) {
    best_ = std::move(grabbed);
    haveBest_ = true;
  } else if (!haveFlat_) {
    flat_ = std::move(grabbed);
    haveFlat_ = true;
  }
}

void Grabber::Look() {
  const StreamTiming& timing = source_.Timing();
  if (timing.seekable && timing.duration > 0 && !options_.positions.empty()) {
    for (double share : options_.positions) {
      const int64_t at = std::clamp(
          static_cast<int64_t>(static_cast<double>(timing.duration) * std::clamp(share, 0.0, 1.0)),
          int64_t{0}, timing.duration - 1);
      Found found = KeyFramesFrom(at);
      // No key frame after the point (a video with few of them, or one
      // only at its start): the one before it.
      if (found == Found::noKeyFrame) found = KeyFrameBefore(at);
      if (found == Found::picture || found == Found::stop) return;
    }
    // Every key frame looked at is flat (or none decodes by itself): the
    // frames from the start: from the file's first byte where the format
    // allows it (demuxers that find times only roughly, as in MPEG program
    // streams, may land after the first key frame), else from the first time.
    if (!SeekToFirstByte() && !SeekTo(INT64_MIN, timing.startTs, timing.startTs)) return;
  }
  DecodeOn(std::max(1, options_.framesWithoutSeeking));
}

}  // namespace

GrabResult GrabRepresentativeFrame(const std::string& path, const GrabOptions& options) {
  RouteFfmpegLogToDebugOutput();
  const Clock::time_point deadline = Clock::now() + options.timeLimit;
  auto grabber = std::make_unique<Grabber>(options, deadline);
  auto expired = [deadline] { return Clock::now() >= deadline; };
  GrabResult result;
  if (std::string error = grabber->Open(path); !error.empty()) {
    result.error = expired() ? TranslateKept("ThumbnailGrab", kTimedOut) : std::move(error);
    return result;
  }
  grabber->Look();
  if (!grabber->Take(&result.frame)) {
    result.error = expired() || grabber->TimedOut()
                       ? TranslateKept("ThumbnailGrab", kTimedOut)
                       : Translate("ThumbnailGrab", "no frame could be decoded");
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace ombrelo
