#include "engine/ffmpeg_pipeline.h"

#include <algorithm>
#include <cstdarg>
#include <mutex>
#include <string>

#include "engine/band_converter.h"
#include "engine/deinterlace.h"
#include "engine/ffmpeg_support.h"
#include "engine/frame_decoder.h"
#include "engine/media_input.h"
#include "engine/packet_source.h"
#include "platform/debug_output.h"
#include "platform/translate.h"

namespace ombrelo {
namespace {

// Non-reference frames are skipped only this many frames before the position.
constexpr int64_t kSkipMarginFrames = 3;
// How often decoding starts again from an earlier key frame when the first
// frame decoded at a position lies after it.
constexpr int kMaxPositionRetries = 3;
// Frames not taken for damage, and decoding begun again for it, written to
// the debug output per pipeline.
constexpr int kMaxNotes = 20;

void LogCallback(void* avcl, int level, const char* format, va_list args) {
  if (level > AV_LOG_WARNING) return;
  static thread_local int printPrefix = 1;
  char line[1024];
  va_list copy;
  va_copy(copy, args);
  av_log_format_line2(avcl, level, format, copy, line, sizeof line, &printPrefix);
  va_end(copy);
  std::string text = "ffmpeg: ";
  text += line;
  DebugOutput(text);
}

// A decoded frame as the pipeline hands it out; converted on request.
class FrameSample final : public MediaSample {
 public:
  FrameSample(BandConverter& converter, Deinterlacer& deinterlacer)
      : converter_(converter), deinterlacer_(deinterlacer) {}
  // Interlaced frames are made one picture of their first field before
  // they are converted.
  void SetDeinterlace(bool on) { deinterlace_ = on; }
  void Reset(AVFrame* frame, bool preroll) {
    frame_ = frame;
    preroll_ = preroll;
    converted_ = false;
    pixels_ = nullptr;
  }
  bool IsPreroll() const override { return preroll_; }
  const uint8_t* GetPointer() override {
    if (preroll_) return nullptr;  // frames that only lead to a position are never converted
    if (!converted_) {
      converted_ = true;
      pixels_ = converter_.Convert(deinterlace_ ? deinterlacer_.Apply(frame_) : frame_);
    }
    return pixels_;
  }
  int32_t GetSize() const override { return converter_.OutputSize(); }

 private:
  BandConverter& converter_;
  Deinterlacer& deinterlacer_;
  bool deinterlace_ = true;
  AVFrame* frame_ = nullptr;
  bool preroll_ = false;
  bool converted_ = false;
  const uint8_t* pixels_ = nullptr;
};

// The pipeline: the packet source, the decoder and the band converter, put
// together by the position logic (where decoding must start, which frames
// are preroll, whether the first frame at a position is the right one).
class FfmpegPipeline final : public MediaPipeline {
 public:
  explicit FfmpegPipeline(FfmpegPipelineOptions options)
      : options_(std::move(options)),
        counters_(options_.counters ? options_.counters : std::make_shared<PipelineCounters>()),
        source_(*counters_),
        decoder_(*counters_),
        converter_(options_.convertThreads, *counters_, options_.toneMapHdr),
        frame_(av_frame_alloc()),
        packet_(av_packet_alloc()),
        sample_(converter_, deinterlacer_) {
    sample_.SetDeinterlace(options_.deinterlace);
  }

  MediaError Open(const std::string& path) override {
    failureReason_.clear();
    if (!frame_ || !packet_) return MediaError::outOfMemory;
    return source_.Open(path, options_.networkAddresses, &failureReason_);
  }
  MediaError Connect() override;
  std::string FailureReason() const override { return failureReason_; }
  MediaError GetStreamFacts(StreamFacts* facts) override;
  MediaError Seek(int64_t current, int64_t wanted) override;
  void ExpectNext(int64_t wanted) override {
    expectedNext_ = wanted;
    expectChanged_ = true;
  }
  Pull NextFrame(PulledFrame* out) override;
  void Interrupt() override { source_.Interrupt(); }
  void Cancel() override { source_.Cancel(); }
  void SetWaitCheck(std::function<bool()> check) override {
    source_.SetWaitCheck(std::move(check));
  }
  void SetDeinterlace(bool on) override { sample_.SetDeinterlace(on); }

 private:
  enum class Step { frame, again, endOfStream };

  void Prepare();
  Step DecodeStep(AVFrame* frame);
  void ForgetPosition();
  bool BeginApproach();
  bool DecodingOnReachesPosition() const;
  bool MissedPosition(const AVFrame* frame);
  bool Recovered(const AVFrame* frame);
  void ForgetKey() {
    keyGiven_ = false;
    keyGivenPts_ = AV_NOPTS_VALUE;
  }
  double Seconds(int64_t units) const { return static_cast<double>(units) / av::kUnits.den; }
  void MaybeSkipAhead();
  bool SkipBeforePosition(const AVPacket* packet) const;
  void FrameTimes(const AVFrame* frame, int64_t* start, int64_t* length) const;
  int64_t FrameTicks(const AVFrame* frame) const;
  AVRational TimeBase() const {
    return {source_.Timing().timeBaseNum, source_.Timing().timeBaseDen};
  }
  int64_t ToUnits(int64_t ts) const {
    return av::TicksToUnits(ts, TimeBase(), source_.Timing().originTs);
  }
  int64_t FromUnits(int64_t units) const {
    return av::UnitsToTicks(units, TimeBase(), source_.Timing().originTs);
  }

  FfmpegPipelineOptions options_;
  std::shared_ptr<PipelineCounters> counters_;
  PacketSource source_;
  FrameDecoder decoder_;
  BandConverter converter_;
  Deinterlacer deinterlacer_;
  av::FramePtr frame_;    // the frame handed out last
  av::PacketPtr packet_;  // the packet on its way from the source to the decoder
  FrameSample sample_;
  std::string failureReason_;  // see FailureReason

  bool prepared_ = false;             // the key-frame index has been loaded
  bool atEnd_ = false;                // positioned at or past the end
  int64_t lastTs_ = AV_NOPTS_VALUE;   // ticks of the frame decoded last
  int64_t prerollUntil_ = INT64_MIN;  // 100-ns units; frames ending before it are preroll
  int64_t wantedFrom_ = INT64_MIN;    // 100-ns units; frames from here on must be exact
  bool positionCheck_ = false;        // the first frame at the position is still to come
  int positionRetries_ = 0;
  int64_t expectedNext_ = INT64_MIN;  // 100-ns units; the next frame wanted
  bool expectChanged_ = false;
  // Recovery: whether a key frame has been given to the decoder (or come
  // out of it) since decoding last began, and the time of that packet.
  bool keyGiven_ = false;
  int64_t keyGivenPts_ = AV_NOPTS_VALUE;
  bool recovered_ = false;    // the frame decoded last was whole
  int64_t positionSpan_ = 0;  // 100-ns units decoded to reach the last position, when
                              // key frames had to be looked for further back
  int notesLogged_ = 0;
};

MediaError FfmpegPipeline::Connect() {
  if (!source_.IsOpen()) return MediaError::notConnected;
  if (decoder_.IsOpen()) return MediaError::none;
  failureReason_.clear();
  AVStream* stream = source_.ChooseVideoStream();
  if (!stream) {
    DebugOutput("ffmpeg: the file has no video stream\n");
    failureReason_ = NoVideoStreamReason(source_.Format());
    // Not a codec problem: no decoder would help.
    return MediaError::unsupportedStream;
  }
  // Refused before anything is decoded: no decoder, no size, or pictures
  // larger than the limit.
  MediaError refusal = MediaError::none;
  failureReason_ = UndecodableReason(source_.Format(), stream, &refusal);
  if (Failed(refusal)) {
    DebugOutputF("ffmpeg: the video stream cannot be decoded: %s\n", failureReason_.c_str());
    return refusal;
  }
  if (const MediaError hr = decoder_.Open(stream, options_.threadCount); Failed(hr)) {
    failureReason_ = FillIn(Translate("FfmpegPipeline",
                                      "The %1 decoder of this system's FFmpeg refused the video "
                                      "stream."),
                            {avcodec_get_name(stream->codecpar->codec_id)});
    return hr;
  }
  converter_.SetShape(source_.Shape());
  deinterlacer_.SetStream(stream->codecpar->field_order, stream->codecpar->codec_id);
  return MediaError::none;
}

MediaError FfmpegPipeline::GetStreamFacts(StreamFacts* facts) {
  if (!facts) return MediaError::badArgument;
  if (!decoder_.IsOpen()) return MediaError::notConnected;
  const PictureShape& shape = converter_.Shape();
  BitmapInfoHeader& h = facts->header;
  h = BitmapInfoHeader{};
  h.biSize = 40;
  h.biWidth = shape.outWidth;
  h.biHeight = shape.outHeight;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = 0;
  h.biSizeImage = static_cast<uint32_t>(shape.outStride * static_cast<size_t>(shape.outHeight));
  facts->avgTimePerFrame = source_.Timing().avgTimePerFrame;
  facts->duration = source_.Timing().duration;
  facts->canSeek = source_.Timing().seekable;
  return MediaError::none;
}

// On the reading thread, before the first position or read.
void FfmpegPipeline::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  // Lets decoding on toward a sample skip to the key frame before it also in
  // a capture that never seeks.
  source_.LoadKeyFrameIndex();
}

void FfmpegPipeline::ForgetPosition() {
  decoder_.Flush();
  source_.Clear();
  lastTs_ = AV_NOPTS_VALUE;
  ForgetKey();
}

bool FfmpegPipeline::BeginApproach() {
  decoder_.Flush();
  lastTs_ = AV_NOPTS_VALUE;
  ForgetKey();
  return source_.BeginApproach();
}

MediaError FfmpegPipeline::Seek(int64_t current, int64_t wanted) {
  if (!decoder_.IsOpen()) return MediaError::notConnected;
  Prepare();
  source_.EndInterruption();
  atEnd_ = false;
  prerollUntil_ = current;
  expectedNext_ = INT64_MIN;
  expectChanged_ = false;
  const StreamTiming& t = source_.Timing();
  if (t.duration > 0 && current >= t.duration) {
    // Positioned at or past the end: the stream has nothing more to give.
    ForgetPosition();
    atEnd_ = true;
    return MediaError::none;
  }
  // Up to half a frame late still counts as the frame at the position.
  wantedFrom_ = std::max(current, wanted);
  if (t.duration > 0 && wantedFrom_ >= t.duration) wantedFrom_ = current;
  source_.SetTarget(FromUnits(std::max<int64_t>(0, wantedFrom_)) + t.frameTicks / 2);
  positionRetries_ = 0;
  if (DecodingOnReachesPosition()) {
    // The frames come in order from where decoding is: none to check.
    positionCheck_ = false;
    counters_->seeksSpared++;
    return MediaError::none;
  }
  positionCheck_ = true;
  return BeginApproach() ? MediaError::none : MediaError::failed;
}

// Whether decoding on from the frame decoded last reaches the position with
// no more work than a seek would take: the last key frame at or before it
// has been decoded already (close samples in a file with long groups of
// pictures). A seek would go back and decode the same frames again.
bool FfmpegPipeline::DecodingOnReachesPosition() const {
  if (lastTs_ == AV_NOPTS_VALUE || source_.Busy() || decoder_.Draining()) return false;
  const StreamTiming& t = source_.Timing();
  const int64_t last = ToUnits(lastTs_ - (t.lateByOne ? t.frameTicks : 0));
  if (last + t.avgTimePerFrame / 2 >= wantedFrom_) return false;  // the position lies behind
  if (source_.IndexedKeyFrameReached(source_.Target(), lastTs_)) return true;
  // Key frames are rare: reaching the last position took decoding at least
  // as far as decoding on to this one does.
  return recovered_ && positionSpan_ > 0 && wantedFrom_ - last <= positionSpan_;
}

Pull FfmpegPipeline::NextFrame(PulledFrame* out) {
  Prepare();
  if (atEnd_) return Pull::end;
  AVFrame* frame = frame_.get();
  av_frame_unref(frame);
  switch (DecodeStep(frame)) {
    case Step::again:
      return Pull::again;
    case Step::endOfStream:
      atEnd_ = true;
      return Pull::end;
    case Step::frame:
      break;
  }
  if (MissedPosition(frame)) {
    av_frame_unref(frame);
    return Pull::again;
  }
  int64_t start = 0, length = 0;
  FrameTimes(frame, &start, &length);
  bool preroll = prerollUntil_ != INT64_MIN && start + length / 2 < prerollUntil_;
  recovered_ = Recovered(frame);
  if (!recovered_ && !preroll) {
    // Never a thumbnail: the capture takes the first whole frame after it.
    preroll = true;
    if (++notesLogged_ <= kMaxNotes)
      DebugOutputF(
          "ffmpeg: the frame at %.3f s is damaged or decoded before the picture "
          "recovered; it is not taken\n",
          Seconds(start));
  }
  lastTs_ = FrameTicks(frame);
  counters_->framesDecoded++;
  if (preroll) counters_->prerollFrames++;
  sample_.Reset(frame, preroll);
  out->sample = &sample_;
  out->start = start;
  out->end = start + length;
  out->hasEnd = length > 0;
  return Pull::frame;
}

// One step of receive-first decoding: the decoder hands out a frame it holds
// before it is given the next packet.
FfmpegPipeline::Step FfmpegPipeline::DecodeStep(AVFrame* frame) {
  switch (decoder_.Take(frame)) {
    case FrameDecoder::Receive::frame:
      return Step::frame;
    case FrameDecoder::Receive::ended:
      return Step::endOfStream;
    case FrameDecoder::Receive::failed:
      return Step::again;
    case FrameDecoder::Receive::needsPacket:
      break;
  }
  // Frames well before the position need only what later frames refer to.
  if (AVPacket* refused = decoder_.Refused()) {
    decoder_.Give(refused, SkipBeforePosition(refused));
    return Step::again;
  }
  if (expectChanged_) {
    expectChanged_ = false;
    MaybeSkipAhead();
  }
  AVPacket* packet = packet_.get();
  switch (source_.Next(packet)) {
    case PacketSource::Read::notYet:
    case PacketSource::Read::interrupted:
      return Step::again;
    case PacketSource::Read::endOfFile:
      decoder_.Drain();
      return Step::again;
    case PacketSource::Read::packet:
      break;
  }
  if (int64_t wanted; source_.TakeRestart(&wanted)) {
    // Decoding starts again at a key frame ahead: what the decoder still
    // holds lies before it. The first frame at the wanted position is
    // checked as after a seek.
    decoder_.Flush();
    ForgetKey();
    wantedFrom_ = wanted;
    positionRetries_ = 0;
    positionCheck_ = true;
  }
  if ((packet->flags & AV_PKT_FLAG_KEY) && !keyGiven_) {
    keyGiven_ = true;
    keyGivenPts_ = packet->pts;
  }
  decoder_.Give(packet, SkipBeforePosition(packet));
  return Step::again;
}

bool FfmpegPipeline::MissedPosition(const AVFrame* frame) {
  if (!positionCheck_) return false;
  int64_t start, length;
  FrameTimes(frame, &start, &length);
  if (start + length / 2 < wantedFrom_) return false;  // still before the wanted frame
  positionCheck_ = false;
  // The first frame at or after the position should be the one at it, and
  // whole. A later one means the key frame decoded from lay after the
  // position, although its packet said otherwise (MPEG streams after a
  // seek); a damaged one, that the picture had not yet recovered from where
  // decoding began (a recovery point, or a key frame that is none): start
  // from an earlier key frame.
  const int64_t startKey = source_.StartKeyTs();
  const bool late = start > wantedFrom_ + source_.Timing().avgTimePerFrame / 2;
  const bool whole = Recovered(frame);
  if (!late && whole && startKey != AV_NOPTS_VALUE && source_.LookedFurtherBack())
    positionSpan_ = std::max<int64_t>(0, wantedFrom_ - ToUnits(startKey));
  if ((!late && whole) || positionRetries_ >= kMaxPositionRetries || startKey == AV_NOPTS_VALUE)
    return false;
  ++positionRetries_;
  if (!whole && ++notesLogged_ <= kMaxNotes)
    DebugOutputF(
        "ffmpeg: the frame at %.3f s was decoded before the picture recovered from the "
        "key frame at %.3f s; decoding again from an earlier key frame\n",
        Seconds(start), Seconds(ToUnits(startKey)));
  source_.NarrowKeyLimit(startKey - 1);
  BeginApproach();
  positionCheck_ = true;
  return true;
}

// Whether a decoded frame is whole: not marked corrupt or concealed by the
// decoder, and decoded from a key frame given since decoding began (a frame
// shown before that key frame needs pictures decoding never had).
bool FfmpegPipeline::Recovered(const AVFrame* frame) {
  if (frame->key_frame) keyGiven_ = true;
  if ((frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags != 0) return false;
  if (!keyGiven_) return false;
  return frame->key_frame || keyGivenPts_ == AV_NOPTS_VALUE || frame->pts == AV_NOPTS_VALUE ||
         frame->pts >= keyGivenPts_;
}

// A frame's time in ticks; one without a time follows the frame before it.
int64_t FfmpegPipeline::FrameTicks(const AVFrame* frame) const {
  const int64_t ts = av::FrameTime(frame);
  if (ts != AV_NOPTS_VALUE) return ts;
  const StreamTiming& t = source_.Timing();
  return lastTs_ != AV_NOPTS_VALUE ? lastTs_ + t.frameTicks : t.startTs;
}

void FfmpegPipeline::FrameTimes(const AVFrame* frame, int64_t* start, int64_t* length) const {
  const StreamTiming& t = source_.Timing();
  int64_t ts = FrameTicks(frame);
  if (t.lateByOne) ts -= t.frameTicks;
  *start = ToUnits(ts);
  *length = frame->pkt_duration > 0 ? av_rescale_q(frame->pkt_duration, TimeBase(), av::kUnits)
                                    : t.avgTimePerFrame;
  if (*length < 0) *length = 0;
}

// Decoding on toward the next frame wanted: the source may read on to the
// key frame at or before it instead of decoding up to it.
void FfmpegPipeline::MaybeSkipAhead() {
  const int64_t wanted = expectedNext_;
  if (!options_.skipNonReferenceInPreroll || wanted == INT64_MIN || decoder_.Draining()) return;
  // A frame's display time is its packet's (one frame earlier when the
  // stream stamps pictures one frame late), up to half a frame late.
  const StreamTiming& t = source_.Timing();
  source_.SkipAheadTo(FromUnits(wanted) + t.frameTicks / 2 + (t.lateByOne ? t.frameTicks : 0),
                      wanted);
}

// Whether the frame of the packet is shown well before the next frame
// wanted, so that it may be left out when nothing refers to it. Unsure (no
// time, or nothing wanted) means no.
bool FfmpegPipeline::SkipBeforePosition(const AVPacket* packet) const {
  if (!options_.skipNonReferenceInPreroll) return false;
  const int64_t wanted = std::max(wantedFrom_, expectedNext_);
  if (wanted == INT64_MIN) return false;
  int64_t margin = kSkipMarginFrames;
  int64_t ts = packet->pts;
  if (ts == AV_NOPTS_VALUE) {
    // Only the decoding time (AVI): a picture is shown up to the reordering
    // delay after it.
    ts = packet->dts;
    if (ts == AV_NOPTS_VALUE) return false;
    margin += std::max({int64_t{2}, source_.VideoDelay(), int64_t{decoder_.ReorderDelay()}});
  }
  return ToUnits(ts) + margin * std::max<int64_t>(source_.Timing().avgTimePerFrame, 1) < wanted;
}

}  // namespace

void RouteFfmpegLogToDebugOutput() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&LogCallback); });
}

std::unique_ptr<MediaPipeline> MakeFfmpegPipeline(FfmpegPipelineOptions options) {
  RouteFfmpegLogToDebugOutput();
  return std::make_unique<FfmpegPipeline>(std::move(options));
}

MediaPipelineFactory FfmpegPipelineFactory(FfmpegPipelineOptions options) {
  return [options] { return MakeFfmpegPipeline(options); };
}

}  // namespace ombrelo
