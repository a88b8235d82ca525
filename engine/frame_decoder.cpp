#include "engine/frame_decoder.h"

#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "engine/media_input.h"
#include "platform/debug_output.h"

namespace ombrelo {
namespace {

// Pictures up to this size are decoded on one thread by default.
constexpr int64_t kOneThreadPixels = 640 * 480;
// Decode errors written to the debug output per decoder; the counters count
// them all.
constexpr int kMaxLoggedErrors = 20;

}  // namespace

struct FrameDecoder::Context {
  av::CodecPtr codec;
  av::PacketPtr refused;  // refused by the decoder (EAGAIN) until its frames are taken
};

FrameDecoder::FrameDecoder(PipelineCounters& counters)
    : counters_(counters), context_(std::make_unique<Context>()) {}

FrameDecoder::~FrameDecoder() = default;

bool FrameDecoder::IsOpen() const { return context_->codec != nullptr; }

MediaError FrameDecoder::Open(AVStream* stream, int threadCount) {
  const AVCodecParameters* par = stream->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    DebugOutputF("ffmpeg: no decoder for video codec '%s'\n", avcodec_get_name(par->codec_id));
    return MediaError::noDecoder;
  }
  if (par->width <= 0 || par->height <= 0) {
    DebugOutput("ffmpeg: the video stream has no picture size\n");
    return MediaError::noDecoder;
  }
  av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) return MediaError::outOfMemory;
  if (avcodec_parameters_to_context(decoder.get(), par) < 0) return MediaError::noDecoder;
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = threadCount;
  if (threadCount == 0 && int64_t{par->width} * par->height <= kOneThreadPixels)
    decoder->thread_count = 1;
  decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  // A picture whose size grows past the limit in the middle of the stream is
  // refused by the decoder (a decode error) instead of being allocated.
  decoder->max_pixels = kMaxPicturePixels;
  // Pictures decoded before the stream has recovered (after a position
  // without a key frame, or with only a recovery point) come out marked
  // corrupt rather than not at all, so that the pipeline sees them go by
  // and never takes them. Their number stays the decoder's to decide: no
  // +showall.
  decoder->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT;
  decoder->flags2 &= ~AV_CODEC_FLAG2_SHOW_ALL;
  if (int error = avcodec_open2(decoder.get(), codec, nullptr); error < 0) {
    DebugOutputF("ffmpeg: cannot open the %s decoder: %s\n", codec->name,
                 av::ErrorText(error).c_str());
    return MediaError::noDecoder;
  }
  context_->codec = std::move(decoder);
  return MediaError::none;
}

FrameDecoder::Receive FrameDecoder::Take(AVFrame* frame) {
  const int error = avcodec_receive_frame(context_->codec.get(), frame);
  if (error == 0) return Receive::frame;
  if (error == AVERROR_EOF) return Receive::ended;
  if (error != AVERROR(EAGAIN)) {
    Error("frame", error);
    return draining_ ? Receive::ended : Receive::failed;
  }
  return draining_ ? Receive::ended : Receive::needsPacket;
}

void FrameDecoder::Give(AVPacket* packet, bool skipNonRef) {
  AVCodecContext* dec = context_->codec.get();
  // The setting goes with the packet (frame threads take it when the packet
  // is handed to them), so their delay does not matter.
  dec->skip_frame = skipNonRef ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  const int error = avcodec_send_packet(dec, packet);
  if (error == AVERROR(EAGAIN)) {
    if (packet == context_->refused.get()) return;  // still refused: kept
    if (!context_->refused) context_->refused.reset(av_packet_alloc());
    if (context_->refused) {
      av_packet_move_ref(context_->refused.get(), packet);
      return;
    }
  } else if (error < 0) {
    Error("packet", error);
  }
  av_packet_unref(packet);
}

AVPacket* FrameDecoder::Refused() {
  AVPacket* refused = context_->refused.get();
  return refused && (refused->data != nullptr || refused->side_data_elems > 0) ? refused : nullptr;
}

void FrameDecoder::Drain() {
  // A flush the decoder refuses is offered again at the next step.
  draining_ = avcodec_send_packet(context_->codec.get(), nullptr) != AVERROR(EAGAIN);
}

void FrameDecoder::Flush() {
  avcodec_flush_buffers(context_->codec.get());
  if (context_->refused) av_packet_unref(context_->refused.get());
  draining_ = false;
}

int FrameDecoder::ReorderDelay() const { return context_->codec->has_b_frames; }

void FrameDecoder::Error(const char* step, int error) {
  counters_.decodeErrors++;
  if (++errorsLogged_ <= kMaxLoggedErrors)
    DebugOutputF("ffmpeg: decode error (%s): %s\n", step, av::ErrorText(error).c_str());
}

}  // namespace ombrelo
