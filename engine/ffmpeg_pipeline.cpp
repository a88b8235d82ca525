#include "engine/ffmpeg_pipeline.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/ffmpeg_support.h"
#include "engine/tone_map.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;

// The pipeline's run state, as Run, Pause and Stop set it.
enum class RunState { stopped, paused, running };

using av::ErrorText;
using av::kUnits;
using av::PacketPtr;

// After a seek: packets without a key frame before the first one are
// dropped, up to this many; after that they are decoded whatever comes.
constexpr int kMaxPacketsBeforeKeyFrame = 500;
// A group of pictures kept back while looking for the last key frame
// before the position is decoded once it grows beyond this.
constexpr size_t kMaxHeldBytes = 64u << 20;
// Packets read per step while looking for that key frame, so that a
// reposition need not wait for a long read.
constexpr int kPacketsPerStep = 64;
// How long a stop asked for by the callback holds the stream when no new
// position comes.
constexpr auto kHoldLimit = std::chrono::milliseconds(1000);
// Decode errors and refused seeks written to the debug output per pipeline;
// the counters count them all.
constexpr int kMaxLoggedErrors = 20;
// Pictures up to this size are decoded on one thread by default.
constexpr int64_t kOneThreadPixels = 640 * 480;
// Non-reference frames are skipped only this many frames before the position.
constexpr int64_t kSkipMarginFrames = 3;
// How often a seek that landed after the position is repeated further back
// (2 s, 8 s, 32 s, 128 s before it, then the start of the stream).
constexpr int kMaxApproachRetries = 5;
// How often decoding starts again from an earlier key frame when the first
// frame decoded at a position lies after it.
constexpr int kMaxPositionRetries = 3;

HResult MapOpenError(int error) {
  if (error == AVERROR(ENOENT) || error == AVERROR(ENOTDIR)) return E_FILE_NOT_FOUND;
  if (error == AVERROR(EACCES) || error == AVERROR(EPERM)) return E_ACCESSDENIED;
  if (error == AVERROR_INVALIDDATA) return VFW_E_UNKNOWN_FILE_TYPE;
  if (error == AVERROR_EXIT) return E_ABORT;
  if (error == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
  return E_FAIL;
}

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
      // Unmarked video: high-definition sizes are BT.709, smaller ones BT.601.
      return (width >= 1280 || height > 576) ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

bool IsFullRangeFormat(int format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

class FfmpegPipeline;

class FrameSample final : public MediaSample {
 public:
  FrameSample(FfmpegPipeline& pipeline, AVFrame* frame, bool preroll)
      : pipeline_(pipeline), frame_(frame), preroll_(preroll) {}
  bool IsPreroll() const override { return preroll_; }
  const uint8_t* GetPointer() override;
  int32_t GetSize() const override;

 private:
  FfmpegPipeline& pipeline_;
  AVFrame* frame_;
  bool preroll_;
  bool converted_ = false;
  const uint8_t* pixels_ = nullptr;
};

class FfmpegPipeline final : public MediaPipeline {
 public:
  explicit FfmpegPipeline(FfmpegPipelineOptions options) : options_(std::move(options)) {
    if (!options_.counters) options_.counters = std::make_shared<PipelineCounters>();
  }
  ~FfmpegPipeline() override {
    StopStreaming();
    ClearPackets();
  }

  HResult Open(const std::string& path) override;
  HResult Connect() override;
  HResult GetStreamFacts(StreamFacts* facts) override;
  void SetSampleCallback(SampleCallback callback) override {
    std::lock_guard<std::mutex> lock(stateMutex_);
    callback_ = std::move(callback);
  }
  HResult Seek(int64_t current, int64_t wanted) override;
  void ExpectNext(int64_t wanted) override {
    expectedNext_ = wanted;
    expectChanged_ = true;
  }
  HResult Run() override;
  HResult Pause() override;
  HResult Stop() override;
  HResult WaitForCompletion(int64_t timeoutMs, int32_t* eventCode) override;
  void CancelWaits() override {
    std::lock_guard<std::mutex> lock(stateMutex_);
    cancelWaits_ = true;
    interrupt_ = true;  // the capture is being closed: a read that blocks gives up
    stateCv_.notify_all();
  }
  void Notify(int32_t eventCode) override {
    std::lock_guard<std::mutex> lock(stateMutex_);
    complete_ = true;
    completeCode_ = eventCode;
    stateCv_.notify_all();
  }

  // Conversion, for FrameSample (streaming thread).
  const uint8_t* Convert(AVFrame* frame);
  SwsContext* ConverterFor(const AVFrame* frame, int dstWidth, int dstHeight);
  bool Scale(SwsContext* sws, AVFrame* frame, uint8_t* top, int dstWidth, int dstHeight,
             ptrdiff_t stride);
  int32_t OutputSize() const { return static_cast<int32_t>(outStride_) * outHeight_; }

 private:
  enum class Step { frame, again, endOfStream, interrupted };
  enum class Read { packet, notYet, endOfFile, interrupted };

  static int InterruptCallback(void* opaque) {
    return static_cast<FfmpegPipeline*>(opaque)->interrupt_.load() ? 1 : 0;
  }

  int FindVideoStream() const;
  HResult OpenDecoder(AVStream* stream);
  void ReadTiming(AVStream* stream);
  void ReadPictureShape(AVStream* stream);
  void LoadKeyFrameIndex(AVStream* stream);
  void StartStreaming();
  void StopStreaming();
  void StreamMain();
  Step DecodeStep(AVFrame* frame);
  Read NextPacket(PacketPtr* out);
  void Deliver(AVFrame* frame, int64_t start, int64_t length, bool preroll,
               uint64_t resumesAtStart);
  void ClearPackets();
  int SeekBefore(int64_t ts);
  bool SeekToByteZero();
  void DecodeError(const char* step, int error);
  void SeekError(int64_t ts, int error);
  int BeginApproach();
  bool GoBackFurther();
  bool MissedPosition(const AVFrame* frame);
  bool DecodingOnReachesPosition() const;
  void MaybeSkipAhead();
  Read ReleaseSkippedAhead(PacketPtr* out);
  bool SkipBeforePosition(const AVPacket* packet) const;
  void FrameTimes(const AVFrame* frame, int64_t* start, int64_t* length) const;
  int64_t FrameTicks(const AVFrame* frame) const;
  int64_t ToUnits(int64_t ts) const { return av::TicksToUnits(ts, timeBase_, startTs_); }
  int64_t FromUnits(int64_t units) const { return av::UnitsToTicks(units, timeBase_, startTs_); }

  FfmpegPipelineOptions options_;

  // Built on the owner's thread before streaming starts; afterwards used by
  // the streaming thread and by Seek, both under ioMutex_.
  std::mutex ioMutex_;
  av::FormatPtr format_;
  av::CodecPtr decoder_;
  int streamIndex_ = -1;
  AVRational timeBase_ = {1, 1};
  int64_t startTs_ = 0;     // stream start in time-base ticks
  int64_t frameTicks_ = 0;  // one frame in time-base ticks
  bool lateByOne_ = false;  // timestamps one frame late (MPEG-4 in AVI with B-frames)
  bool seekable_ = false;
  int64_t avgTimePerFrame_ = 0;             // 100-ns units
  int64_t duration_ = 0;                    // 100-ns units
  int scaledWidth_ = 0, scaledHeight_ = 0;  // display size before rotation
  int rotation_ = 0;                        // clockwise degrees: 0, 90, 180, 270
  int outWidth_ = 0, outHeight_ = 0;
  size_t outStride_ = 0;

  // Streaming thread's reading and decoding state (under ioMutex_).
  std::deque<AVPacket*> pending_;  // to decode before reading on
  std::vector<AVPacket*> held_;    // group of pictures kept back while approaching
  size_t heldBytes_ = 0;
  bool approaching_ = false;    // looking for the last key frame before target
  int64_t approachTarget_ = 0;  // time-base ticks
  int droppedBeforeKey_ = 0;
  int64_t keyLimit_ = 0;        // key frames after this are not started from
  int approachRetries_ = 0;     // seeks made further back after landing late
  int64_t approachSeekTs_ = 0;  // where the last of them went
  bool byteSeekTried_ = false;
  int64_t startKeyTs_ = AV_NOPTS_VALUE;  // packet time of the key frame decoding began with
  bool positionCheck_ = false;           // the first frame at the position is still to come
  int positionRetries_ = 0;
  int64_t prerollUntil_ = INT64_MIN;  // 100-ns units; frames ending before it are preroll
  int64_t wantedFrom_ = INT64_MIN;    // 100-ns units; frames from here on must be exact
  PacketPtr unsent_;                  // refused by the decoder (EAGAIN) until its frames are taken
  bool draining_ = false;
  int64_t lastTs_ = AV_NOPTS_VALUE;
  bool readErrorLogged_ = false;
  bool readCut_ = false;  // a read was cancelled: the demuxer must be repositioned
  int64_t lastReadTs_ = AV_NOPTS_VALUE;  // latest packet time read since the last position
  // Reading on to a key frame ahead instead of decoding to it (see MaybeSkipAhead).
  bool skippingAhead_ = false;
  int64_t aheadLimit_ = 0;           // time-base ticks: the key frame must be at or before it
  int64_t aheadWanted_ = 0;          // 100-ns units: the frame decoding goes on toward
  int64_t aheadKeyTs_ = AV_NOPTS_VALUE;  // the key frame held packets begin with, if any
  bool aheadDropped_ = false;        // packets before that key frame were left out
  int errorsLogged_ = 0;

  // Conversion (streaming thread only).
  struct ConverterKey {
    int srcWidth = 0, srcHeight = 0, format = -1, dstWidth = 0, dstHeight = 0;
    int colorspace = -1, fullRange = -1;
    bool operator==(const ConverterKey&) const = default;
  };
  av::SwsPtr sws_;
  ConverterKey swsKey_;
  bool swsThreaded_ = false;
  ToneMapper toneMapper_;
  std::vector<uint8_t> upright_;  // top-down BGR before rotation
  std::vector<uint8_t> output_;   // bottom-up BGR, rows padded to 4 bytes

  // Control, under stateMutex_.
  std::mutex stateMutex_;
  std::condition_variable stateCv_;
  RunState state_ = RunState::stopped;
  bool quit_ = false;
  bool complete_ = false;
  int32_t completeCode_ = 0;
  bool cancelWaits_ = false;
  uint64_t generation_ = 0;  // new position: frames decoded before it are dropped
  uint64_t resumes_ = 0;     // new position or run: a hold asked for earlier lapses
  bool hold_ = false;
  Clock::time_point holdSince_;
  SampleCallback callback_;
  std::thread thread_;
  std::atomic<bool> interrupt_{false};
  // From the sample callback: the next frame wanted (100-ns units).
  std::atomic<int64_t> expectedNext_{INT64_MIN};
  std::atomic<bool> expectChanged_{false};
};

const uint8_t* FrameSample::GetPointer() {
  if (preroll_) return nullptr;  // frames that only lead to a position are never converted
  if (!converted_) {
    converted_ = true;
    pixels_ = pipeline_.Convert(frame_);
  }
  return pixels_;
}

int32_t FrameSample::GetSize() const { return pipeline_.OutputSize(); }

HResult FfmpegPipeline::Open(const std::string& path) {
  if (format_) return VFW_E_WRONG_STATE;
  AVFormatContext* context = avformat_alloc_context();
  if (!context) return E_OUTOFMEMORY;
  context->interrupt_callback.callback = &FfmpegPipeline::InterruptCallback;
  context->interrupt_callback.opaque = this;
  int error = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (error < 0) {  // the context is freed by the failing call
    DebugOutputF("ffmpeg: cannot open '%s': %s\n", path.c_str(), ErrorText(error).c_str());
    return MapOpenError(error);
  }
  format_.reset(context);
  if (context->probe_score < AVPROBE_SCORE_RETRY) {
    // A guess from a few bytes that happen to look like some format: what a
    // person would call an unreadable file.
    DebugOutputF("ffmpeg: '%s' is not a recognised media file (probe score %d)\n", path.c_str(),
                 context->probe_score);
    format_.reset();
    return VFW_E_UNKNOWN_FILE_TYPE;
  }
  error = avformat_find_stream_info(context, nullptr);
  if (error < 0)
    DebugOutputF("ffmpeg: no stream information in '%s': %s\n", path.c_str(),
                 ErrorText(error).c_str());
  return S_OK;
}

// The video stream: the one FFmpeg finds best unless that is a cover
// picture, else the first real video stream; -1 when there is none.
int FfmpegPipeline::FindVideoStream() const {
  AVFormatContext* fc = format_.get();
  auto usable = [fc](int i) {
    const AVStream* st = fc->streams[i];
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
  };
  const int best = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (best >= 0 && usable(best)) return best;
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    if (usable(static_cast<int>(i))) return static_cast<int>(i);
  }
  return -1;
}

// Opens the stream's decoder on FFmpeg's own threads.
HResult FfmpegPipeline::OpenDecoder(AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    DebugOutputF("ffmpeg: no decoder for video codec '%s'\n", avcodec_get_name(par->codec_id));
    return VFW_E_CANNOT_CONNECT;
  }
  if (par->width <= 0 || par->height <= 0) {
    DebugOutput("ffmpeg: the video stream has no picture size\n");
    return VFW_E_CANNOT_CONNECT;
  }
  av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) return E_OUTOFMEMORY;
  if (avcodec_parameters_to_context(decoder.get(), par) < 0) return VFW_E_CANNOT_CONNECT;
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = options_.threadCount;
  if (options_.threadCount == 0 && int64_t{par->width} * par->height <= kOneThreadPixels)
    decoder->thread_count = 1;
  decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (int error = avcodec_open2(decoder.get(), codec, nullptr); error < 0) {
    DebugOutputF("ffmpeg: cannot open the %s decoder: %s\n", codec->name, ErrorText(error).c_str());
    return VFW_E_CANNOT_CONNECT;
  }
  decoder_ = std::move(decoder);
  return S_OK;
}

// Time base, start, frame duration, length and seeking of the stream.
void FfmpegPipeline::ReadTiming(AVStream* stream) {
  AVFormatContext* fc = format_.get();
  timeBase_ = stream->time_base;
  startTs_ = av::StreamStart(stream);
  const AVRational rate = av::VideoFrameRate(fc, stream);
  avgTimePerFrame_ = av::AverageFrameDuration(fc, stream);
  // One frame in ticks; 25 frames per second when the rate is unknown.
  frameTicks_ = std::max<int64_t>(1, rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), timeBase_)
                                                  : av_rescale_q(400'000, kUnits, timeBase_));
  // The video's own length; the container's only when the stream has none
  // (a longer audio track must not add samples past the last picture).
  duration_ = av::VideoDuration(fc, stream);
  // MPEG-4 Part 2 in AVI with B-frames: FFmpeg stamps every picture one
  // frame late.
  lateByOne_ = stream->codecpar->codec_id == AV_CODEC_ID_MPEG4 &&
               stream->codecpar->video_delay > 0 &&
               std::strstr(fc->iformat->name, "avi") != nullptr;
  seekable_ = fc->pb && (fc->pb->seekable & AVIO_SEEKABLE_NORMAL);
}

// The upright display size: anamorphic pixels stretched to their shape,
// then turned by the display rotation.
void FfmpegPipeline::ReadPictureShape(AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  const AVRational sar = av_guess_sample_aspect_ratio(format_.get(), stream, nullptr);
  scaledWidth_ = par->width;
  scaledHeight_ = par->height;
  if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
    scaledWidth_ = std::max<int>(
        1, static_cast<int>(std::llround(static_cast<double>(par->width) * sar.num / sar.den)));
  rotation_ = 0;
  if (const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
    const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (!std::isnan(angle)) {
      const int degrees = static_cast<int>(std::lround(angle / 90.0)) * 90;
      rotation_ = ((degrees % 360) + 360) % 360;
    }
  }
  const bool turned = rotation_ == 90 || rotation_ == 270;
  outWidth_ = turned ? scaledHeight_ : scaledWidth_;
  outHeight_ = turned ? scaledWidth_ : scaledHeight_;
  outStride_ = (static_cast<size_t>(outWidth_) * 3 + 3) & ~static_cast<size_t>(3);
}

// Matroska files list their key frames at the end, and the demuxer reads
// that list only at the first seek: one to the start before anything is
// read lets decoding on toward a sample skip to the key frame before it
// (MaybeSkipAhead) also in a capture that never seeks.
void FfmpegPipeline::LoadKeyFrameIndex(AVStream* stream) {
  if (!seekable_ || !std::strstr(format_->iformat->name, "matroska") ||
      avformat_index_get_entries_count(stream) > 1)
    return;
  const int64_t start = av::StreamStart(stream);
  if (avformat_seek_file(format_.get(), streamIndex_, INT64_MIN, start, start, 0) < 0)
    DebugOutput("ffmpeg: the key frame list of the file could not be read\n");
}

HResult FfmpegPipeline::Connect() {
  if (!format_) return VFW_E_NOT_CONNECTED;
  if (decoder_) return S_OK;
  const int index = FindVideoStream();
  if (index < 0) {
    DebugOutput("ffmpeg: the file has no video stream\n");
    return VFW_E_CANNOT_CONNECT;
  }
  AVStream* stream = format_->streams[index];
  if (const HResult hr = OpenDecoder(stream); Failed(hr)) return hr;
  streamIndex_ = index;
  ReadTiming(stream);
  ReadPictureShape(stream);
  LoadKeyFrameIndex(stream);
  StartStreaming();
  return S_OK;
}

HResult FfmpegPipeline::GetStreamFacts(StreamFacts* facts) {
  if (!facts) return E_POINTER;
  if (!decoder_) return VFW_E_NOT_CONNECTED;
  BitmapInfoHeader& h = facts->header;
  h = BitmapInfoHeader{};
  h.biSize = 40;
  h.biWidth = outWidth_;
  h.biHeight = outHeight_;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = 0;
  h.biSizeImage = static_cast<uint32_t>(outStride_ * static_cast<size_t>(outHeight_));
  facts->avgTimePerFrame = avgTimePerFrame_;
  facts->duration = duration_;
  facts->canSeek = seekable_;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Control

void FfmpegPipeline::StartStreaming() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (thread_.joinable()) return;
  quit_ = false;
  thread_ = std::thread([this] { StreamMain(); });
}

void FfmpegPipeline::StopStreaming() {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    quit_ = true;
    interrupt_ = true;
    stateCv_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

HResult FfmpegPipeline::Run() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (!decoder_) return VFW_E_NOT_CONNECTED;
  interrupt_ = false;
  state_ = RunState::running;
  ++resumes_;
  hold_ = false;
  stateCv_.notify_all();
  return S_OK;
}

HResult FfmpegPipeline::Pause() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (!decoder_) return VFW_E_NOT_CONNECTED;
  // A read cancelled by Stop stays cancelled: pausing reads nothing.
  state_ = RunState::paused;
  stateCv_.notify_all();
  return S_OK;
}

HResult FfmpegPipeline::Stop() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (!decoder_) return VFW_E_NOT_CONNECTED;
  state_ = RunState::stopped;
  interrupt_ = true;  // a read that blocks gives up
  stateCv_.notify_all();
  return S_OK;
}

HResult FfmpegPipeline::WaitForCompletion(int64_t timeoutMs, int32_t* eventCode) {
  if (eventCode) *eventCode = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(0, timeoutMs));
  std::unique_lock<std::mutex> lock(stateMutex_);
  const bool runningAtStart = state_ == RunState::running;
  for (;;) {
    if (cancelWaits_) return VFW_E_WRONG_STATE;
    if (state_ == RunState::running && complete_) {
      if (eventCode) *eventCode = completeCode_;
      return S_OK;
    }
    // Leaving the running state ends the wait at once; a wait begun while
    // not running lasts until the graph runs or the time is up, so that a
    // waiter does not spin.
    if (runningAtStart && state_ != RunState::running) return VFW_E_WRONG_STATE;
    if (stateCv_.wait_until(lock, deadline) == std::cv_status::timeout) {
      if (cancelWaits_ || state_ != RunState::running) return VFW_E_WRONG_STATE;
      if (complete_) {
        if (eventCode) *eventCode = completeCode_;
        return S_OK;
      }
      return E_ABORT;
    }
  }
}

HResult FfmpegPipeline::Seek(int64_t current, int64_t wanted) {
  // The streaming thread holds ioMutex_ across its reads, and a read may
  // block for long (a stalled network share or FUSE file): cancel it first,
  // so that the owner's thread waits for no read.
  interrupt_ = true;
  std::lock_guard<std::mutex> io(ioMutex_);
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    // Reading (and the seek below) may go on, unless the pipeline is going away.
    interrupt_ = quit_;
    if (!decoder_) return VFW_E_NOT_CONNECTED;
    ++generation_;
    ++resumes_;
    hold_ = false;
    complete_ = false;
    stateCv_.notify_all();
  }
  prerollUntil_ = current;
  expectedNext_ = INT64_MIN;
  expectChanged_ = false;
  if (duration_ > 0 && current >= duration_) {
    // Positioned at or past the end: the stream has nothing more to give.
    avcodec_flush_buffers(decoder_.get());
    ClearPackets();
    std::lock_guard<std::mutex> lock(stateMutex_);
    complete_ = true;
    completeCode_ = EC_COMPLETE;
    stateCv_.notify_all();
    return S_OK;
  }
  // Up to half a frame late still counts as the frame at the position.
  wantedFrom_ = std::max(current, wanted);
  if (duration_ > 0 && wantedFrom_ >= duration_) wantedFrom_ = current;
  approachTarget_ = FromUnits(std::max<int64_t>(0, wantedFrom_)) + frameTicks_ / 2;
  keyLimit_ = approachTarget_;
  positionRetries_ = 0;
  if (DecodingOnReachesPosition()) {
    // The frames come in order from where decoding is: none to check.
    positionCheck_ = false;
    options_.counters->seeksSpared++;
    return S_OK;
  }
  positionCheck_ = true;
  return BeginApproach() < 0 ? E_FAIL : S_OK;
}

// Whether decoding on from the frame decoded last reaches the position with
// no more work than a seek would take: the last key frame at or before it
// has been decoded already (close samples in a file with long groups of
// pictures). A seek would go back and decode the same frames again.
bool FfmpegPipeline::DecodingOnReachesPosition() const {
  if (lastTs_ == AV_NOPTS_VALUE || approaching_ || skippingAhead_ || draining_ || readCut_)
    return false;
  const int64_t last = ToUnits(lastTs_ - (lateByOne_ ? frameTicks_ : 0));
  if (last + avgTimePerFrame_ / 2 >= wantedFrom_) return false;  // the position lies behind
  // Only an index that reaches past the position tells where its key frame
  // is; one built while reading (streams without an index) may not know it.
  AVStream* stream = format_->streams[streamIndex_];
  const AVIndexEntry* before =
      avformat_index_get_entry_from_timestamp(stream, approachTarget_, AVSEEK_FLAG_BACKWARD);
  const AVIndexEntry* after = avformat_index_get_entry_from_timestamp(stream, approachTarget_, 0);
  return before && after && before->timestamp <= lastTs_;
}

// ---------------------------------------------------------------------------
// Streaming thread

void FfmpegPipeline::ClearPackets() {
  for (AVPacket* p : pending_) av_packet_free(&p);
  pending_.clear();
  for (AVPacket* p : held_) av_packet_free(&p);
  held_.clear();
  heldBytes_ = 0;
  unsent_.reset();
  approaching_ = false;
  draining_ = false;
  readCut_ = false;
  lastTs_ = AV_NOPTS_VALUE;
  lastReadTs_ = AV_NOPTS_VALUE;
  skippingAhead_ = false;
}

// Positions the demuxer at or before ts (time-base ticks). A refusal is
// written to the debug output and counted.
int FfmpegPipeline::SeekBefore(int64_t ts) {
  options_.counters->seeks++;
  int error = avformat_seek_file(format_.get(), streamIndex_, INT64_MIN, ts, ts, 0);
  if (error < 0) error = av_seek_frame(format_.get(), streamIndex_, ts, AVSEEK_FLAG_BACKWARD);
  if (error < 0) SeekError(ts, error);
  return error;
}

bool FfmpegPipeline::SeekToByteZero() {
  options_.counters->seeks++;
  const int error = avformat_seek_file(format_.get(), -1, 0, 0, 0, AVSEEK_FLAG_BYTE);
  if (error < 0) SeekError(0, error);
  return error >= 0;
}

void FfmpegPipeline::SeekError(int64_t ts, int error) {
  options_.counters->seekFailures++;
  if (++errorsLogged_ <= kMaxLoggedErrors)
    DebugOutputF("ffmpeg: seek to %lld failed: %s\n", static_cast<long long>(ts),
                 ErrorText(error).c_str());
}

void FfmpegPipeline::DecodeError(const char* step, int error) {
  options_.counters->decodeErrors++;
  if (++errorsLogged_ <= kMaxLoggedErrors)
    DebugOutputF("ffmpeg: decode error (%s): %s\n", step, ErrorText(error).c_str());
}

int FfmpegPipeline::BeginApproach() {
  avcodec_flush_buffers(decoder_.get());
  ClearPackets();
  approaching_ = true;
  approachSeekTs_ = approachTarget_;
  approachRetries_ = 0;
  byteSeekTried_ = false;
  droppedBeforeKey_ = 0;
  startKeyTs_ = AV_NOPTS_VALUE;
  return SeekBefore(approachTarget_);
}

bool FfmpegPipeline::GoBackFurther() {
  if (approachRetries_ < kMaxApproachRetries && approachSeekTs_ > startTs_) {
    const int64_t backoff =
        av_rescale_q(int64_t{2} * 10'000'000 << (2 * approachRetries_), kUnits, timeBase_);
    ++approachRetries_;
    approachSeekTs_ = approachRetries_ == kMaxApproachRetries
                          ? startTs_
                          : std::max(startTs_, approachSeekTs_ - backoff);
    // A refused seek ends the approach: decoding goes on from where it is.
    if (SeekBefore(approachSeekTs_) < 0) return false;
  } else if (!byteSeekTried_ && !(format_->iformat->flags & AVFMT_NO_BYTE_SEEK)) {
    // Even the stream's start was missed: read from the first byte.
    byteSeekTried_ = true;
    approachRetries_ = kMaxApproachRetries;
    if (!SeekToByteZero()) return false;
  } else {
    return false;
  }
  droppedBeforeKey_ = 0;
  return true;
}

FfmpegPipeline::Read FfmpegPipeline::NextPacket(PacketPtr* out) {
  if (!pending_.empty()) {
    out->reset(pending_.front());
    pending_.pop_front();
    return Read::packet;
  }
  PacketPtr packet(av_packet_alloc());
  if (!packet) return Read::endOfFile;
  auto releaseHeld = [this, out]() {
    const AVPacket* first = held_.front();
    startKeyTs_ = av::PacketTime(first);
    pending_.insert(pending_.end(), held_.begin(), held_.end());
    held_.clear();
    heldBytes_ = 0;
    approaching_ = false;
    out->reset(pending_.front());
    pending_.pop_front();
    return Read::packet;
  };
  for (int i = 0; i < kPacketsPerStep; ++i) {
    const int error = av_read_frame(format_.get(), packet.get());
    if (error == AVERROR(EAGAIN)) return Read::notYet;
    if (error < 0) {
      if (error == AVERROR_EXIT && interrupt_.load()) {
        readCut_ = true;
        return Read::interrupted;
      }
      if (error != AVERROR_EOF && !readErrorLogged_) {
        // A damaged or cut-short file: what could be read is all there is.
        readErrorLogged_ = true;
        DebugOutputF("ffmpeg: read error, treated as the end of the stream: %s\n",
                     ErrorText(error).c_str());
      }
      if (skippingAhead_ && !held_.empty()) return ReleaseSkippedAhead(out);
      skippingAhead_ = false;
      if (!held_.empty()) return releaseHeld();
      // The end came before any key frame at or before the position: the
      // seek landed too late to find one.
      if (approaching_ && error == AVERROR_EOF && GoBackFurther()) continue;
      approaching_ = false;
      return Read::endOfFile;
    }
    if (packet->stream_index != streamIndex_) {
      av_packet_unref(packet.get());
      continue;
    }
    options_.counters->packetsRead++;
    const int64_t readTs = av::PacketTime(packet.get());
    if (readTs != AV_NOPTS_VALUE && (lastReadTs_ == AV_NOPTS_VALUE || readTs > lastReadTs_))
      lastReadTs_ = readTs;
    if (skippingAhead_) {
      const bool key = packet->flags & AV_PKT_FLAG_KEY;
      if (key && readTs != AV_NOPTS_VALUE && readTs <= aheadLimit_) {
        // The key frame: what was held before it is never decoded.
        options_.counters->packetsSkipped += static_cast<int64_t>(held_.size());
        aheadDropped_ = aheadDropped_ || !held_.empty();
        for (AVPacket* p : held_) av_packet_free(&p);
        held_.clear();
        heldBytes_ = 0;
        aheadKeyTs_ = readTs;
      }
      heldBytes_ += static_cast<size_t>(packet->size);
      held_.push_back(packet.release());
      // Reached the wanted frame (with a key frame or without one), or held
      // enough: decoding goes on with what is held.
      if ((readTs != AV_NOPTS_VALUE && readTs >= aheadLimit_) || heldBytes_ > kMaxHeldBytes)
        return ReleaseSkippedAhead(out);
      packet.reset(av_packet_alloc());
      if (!packet) return Read::endOfFile;
      continue;
    }
    if (!approaching_) {
      *out = std::move(packet);
      return Read::packet;
    }
    // Approaching a position: keep only the group of pictures that begins
    // with the last key frame at or before it; earlier packets are never
    // decoded (cheap when the seek landed far too early, as in an AVI
    // without index or an MPEG stream).
    const bool key = packet->flags & AV_PKT_FLAG_KEY;
    const int64_t ts = av::PacketTime(packet.get());
    if (key && ts != AV_NOPTS_VALUE && ts > keyLimit_ && held_.empty() && GoBackFurther()) {
      // The seek landed after the position (demuxers without an index
      // search by timestamps and may overshoot): look again further back.
      av_packet_unref(packet.get());
      continue;
    }
    if (key && (ts == AV_NOPTS_VALUE || ts <= keyLimit_)) {
      options_.counters->packetsSkipped += static_cast<int64_t>(held_.size());
      for (AVPacket* p : held_) av_packet_free(&p);
      held_.clear();
      heldBytes_ = static_cast<size_t>(packet->size);
      held_.push_back(packet.release());
      packet.reset(av_packet_alloc());
      if (!packet) return Read::endOfFile;
      continue;
    }
    if (held_.empty()) {
      if (!key && ++droppedBeforeKey_ <= kMaxPacketsBeforeKeyFrame) {
        // Landed inside a group of pictures: wait for its next key frame.
        options_.counters->packetsSkipped++;
        av_packet_unref(packet.get());
        continue;
      }
      approaching_ = false;
      startKeyTs_ = key ? ts : AV_NOPTS_VALUE;
      *out = std::move(packet);
      return Read::packet;
    }
    heldBytes_ += static_cast<size_t>(packet->size);
    held_.push_back(packet.release());
    if (key || (ts != AV_NOPTS_VALUE && ts >= approachTarget_) || heldBytes_ > kMaxHeldBytes)
      return releaseHeld();
    packet.reset(av_packet_alloc());
    if (!packet) return Read::endOfFile;
  }
  return Read::notYet;
}

bool FfmpegPipeline::MissedPosition(const AVFrame* frame) {
  if (!positionCheck_) return false;
  int64_t start, length;
  FrameTimes(frame, &start, &length);
  if (start + length / 2 < wantedFrom_) return false;  // still before the wanted frame
  positionCheck_ = false;
  // The first frame at or after the position should be the one at it. A
  // later one means the key frame decoded from lay after the position,
  // although its packet said otherwise (MPEG streams after a seek): start
  // from an earlier key frame.
  if (start <= wantedFrom_ + avgTimePerFrame_ / 2 || positionRetries_ >= kMaxPositionRetries ||
      startKeyTs_ == AV_NOPTS_VALUE)
    return false;
  ++positionRetries_;
  keyLimit_ = std::min(keyLimit_, startKeyTs_ - 1);
  BeginApproach();
  positionCheck_ = true;
  return true;
}

// A frame's time in ticks; one without a time follows the frame before it.
int64_t FfmpegPipeline::FrameTicks(const AVFrame* frame) const {
  const int64_t ts = av::FrameTime(frame);
  if (ts != AV_NOPTS_VALUE) return ts;
  return lastTs_ != AV_NOPTS_VALUE ? lastTs_ + frameTicks_ : startTs_;
}

void FfmpegPipeline::FrameTimes(const AVFrame* frame, int64_t* start, int64_t* length) const {
  int64_t ts = FrameTicks(frame);
  if (lateByOne_) ts -= frameTicks_;
  *start = ToUnits(ts);
  *length = frame->pkt_duration > 0 ? av_rescale_q(frame->pkt_duration, timeBase_, kUnits)
                                    : avgTimePerFrame_;
  if (*length < 0) *length = 0;
}

// Decoding on toward the next frame wanted, when the index shows a key frame
// at or before it that lies after everything read so far: the packets up to
// that key frame need not be decoded. They are read on and held, and left
// out when the key frame comes; should it not come by the wanted frame, what
// was held is decoded after all, in order, as if nothing had been held.
void FfmpegPipeline::MaybeSkipAhead() {
  const int64_t wanted = expectedNext_.load();
  // Packets already read and waiting (pending_) are decoded first, as ever;
  // holding begins with the next one read.
  if (!options_.skipNonReferenceInPreroll || wanted == INT64_MIN || approaching_ ||
      skippingAhead_ || !held_.empty() || draining_ || readCut_ || lastReadTs_ == AV_NOPTS_VALUE)
    return;
  // A frame's display time is its packet's (one frame earlier when the
  // stream stamps pictures one frame late), up to half a frame late.
  const int64_t limit = FromUnits(wanted) + frameTicks_ / 2 + (lateByOne_ ? frameTicks_ : 0);
  const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(
      format_->streams[streamIndex_], limit, AVSEEK_FLAG_BACKWARD);
  if (!key || !(key->flags & AVINDEX_KEYFRAME) || key->timestamp <= lastReadTs_) return;
  skippingAhead_ = true;
  aheadLimit_ = limit;
  aheadWanted_ = wanted;
  aheadKeyTs_ = AV_NOPTS_VALUE;
  aheadDropped_ = false;
}

FfmpegPipeline::Read FfmpegPipeline::ReleaseSkippedAhead(PacketPtr* out) {
  skippingAhead_ = false;
  if (aheadDropped_) {
    // Decoding starts again at a key frame: what the decoder still holds
    // lies before it. The first frame at the wanted position is checked as
    // after a seek.
    avcodec_flush_buffers(decoder_.get());
    startKeyTs_ = aheadKeyTs_;
    wantedFrom_ = aheadWanted_;
    keyLimit_ = aheadLimit_;
    approachTarget_ = aheadLimit_;
    positionRetries_ = 0;
    positionCheck_ = true;
    options_.counters->seeksSpared++;
  }
  pending_.insert(pending_.end(), held_.begin(), held_.end());
  held_.clear();
  heldBytes_ = 0;
  out->reset(pending_.front());
  pending_.pop_front();
  return Read::packet;
}

// Whether the frame of the packet is shown well before the next frame
// wanted, so that it may be left out when nothing refers to it. Unsure (no
// time, or nothing wanted) means no.
bool FfmpegPipeline::SkipBeforePosition(const AVPacket* packet) const {
  if (!options_.skipNonReferenceInPreroll) return false;
  const int64_t wanted = std::max(wantedFrom_, expectedNext_.load());
  if (wanted == INT64_MIN) return false;
  int64_t margin = kSkipMarginFrames;
  int64_t ts = packet->pts;
  if (ts == AV_NOPTS_VALUE) {
    // Only the decoding time (AVI): a picture is shown up to the reordering
    // delay after it.
    ts = packet->dts;
    if (ts == AV_NOPTS_VALUE) return false;
    margin += std::max({int64_t{2}, int64_t{format_->streams[streamIndex_]->codecpar->video_delay},
                        int64_t{decoder_->has_b_frames}});
  }
  return ToUnits(ts) + margin * std::max<int64_t>(avgTimePerFrame_, 1) < wanted;
}

// One step of receive-first decoding: the decoder hands out a frame it holds
// before it is given the next packet. A packet it refuses with EAGAIN is kept
// and sent again after its frames have been taken; at the end of the file
// the decoder is drained once.
FfmpegPipeline::Step FfmpegPipeline::DecodeStep(AVFrame* frame) {
  AVCodecContext* dec = decoder_.get();
  int error = avcodec_receive_frame(dec, frame);
  if (error == 0) return Step::frame;
  if (error == AVERROR_EOF) return Step::endOfStream;
  if (error != AVERROR(EAGAIN)) {
    DecodeError("frame", error);
    return draining_ ? Step::endOfStream : Step::again;
  }
  if (draining_) return Step::endOfStream;
  PacketPtr packet = std::move(unsent_);
  if (!packet) {
    if (expectChanged_.exchange(false)) MaybeSkipAhead();
    switch (NextPacket(&packet)) {
      case Read::notYet:
        return Step::again;
      case Read::interrupted:
        return Step::interrupted;
      case Read::endOfFile:
        // A flush the decoder refuses is offered again at the next step.
        draining_ = avcodec_send_packet(dec, nullptr) != AVERROR(EAGAIN);
        return Step::again;
      case Read::packet:
        break;
    }
  }
  // Frames well before the position need only what later frames refer to.
  // The setting goes with the packet (frame threads take it when the packet
  // is handed to them), so their delay does not matter.
  dec->skip_frame = SkipBeforePosition(packet.get()) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  error = avcodec_send_packet(dec, packet.get());
  if (error == AVERROR(EAGAIN)) {
    unsent_ = std::move(packet);
  } else if (error < 0) {
    DecodeError("packet", error);
  }
  return Step::again;
}

void FfmpegPipeline::StreamMain() {
  pthread_setname_np(pthread_self(), "streaming");
  av::FramePtr frame(av_frame_alloc());
  if (!frame) return;
  for (;;) {
    uint64_t generation;
    {
      std::unique_lock<std::mutex> lock(stateMutex_);
      for (;;) {
        if (quit_) return;
        if (state_ == RunState::running && !complete_) {
          if (!hold_) break;
          if (Clock::now() - holdSince_ >= kHoldLimit) {
            hold_ = false;  // no new position came: go on decoding in order
            break;
          }
          stateCv_.wait_until(lock, holdSince_ + kHoldLimit);
          continue;
        }
        stateCv_.wait(lock);
      }
      generation = generation_;
    }

    Step step;
    int64_t start = 0, length = 0;
    bool preroll = false;
    {
      std::lock_guard<std::mutex> io(ioMutex_);
      {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (generation_ != generation || quit_) continue;
      }
      step = DecodeStep(frame.get());
      if (step == Step::frame) {
        if (MissedPosition(frame.get())) {
          av_frame_unref(frame.get());
          continue;
        }
        FrameTimes(frame.get(), &start, &length);
        preroll = prerollUntil_ != INT64_MIN && start + length / 2 < prerollUntil_;
        lastTs_ = FrameTicks(frame.get());
      }
    }
    if (step == Step::again || step == Step::interrupted) continue;
    if (step == Step::endOfStream) {
      std::lock_guard<std::mutex> lock(stateMutex_);
      if (generation_ == generation) {
        complete_ = true;
        completeCode_ = EC_COMPLETE;
        stateCv_.notify_all();
      }
      continue;
    }

    // A decoded frame: it waits while the graph is paused and is dropped
    // when the graph was repositioned meanwhile.
    uint64_t resumes;
    {
      std::unique_lock<std::mutex> lock(stateMutex_);
      stateCv_.wait(
          lock, [&] { return quit_ || generation_ != generation || state_ == RunState::running; });
      if (quit_) return;
      if (generation_ != generation) {
        av_frame_unref(frame.get());
        continue;
      }
      resumes = resumes_;
    }
    Deliver(frame.get(), start, length, preroll, resumes);
    av_frame_unref(frame.get());
  }
}

void FfmpegPipeline::Deliver(AVFrame* frame, int64_t start, int64_t length, bool preroll,
                             uint64_t resumesAtStart) {
  const int64_t end = start + length;
  options_.counters->framesDecoded++;
  if (preroll) options_.counters->prerollFrames++;

  SampleCallback callback;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    callback = callback_;
  }
  if (!callback) return;
  FrameSample sample(*this, frame, preroll);
  const HResult result = callback(&sample, &start, length > 0 ? &end : nullptr);
  if (result == S_FALSE) {
    // The engine wants no more frames from here: hold until it repositions
    // or runs the graph again.
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (resumes_ == resumesAtStart) {
      hold_ = true;
      holdSince_ = Clock::now();
    }
  }
}

// The converter for frames like this one, made again only when their size,
// format or colours change. It works in bands of rows on several threads
// when it can, else on this one.
SwsContext* FfmpegPipeline::ConverterFor(const AVFrame* frame, int dstWidth, int dstHeight) {
  const AVPixelFormat source = static_cast<AVPixelFormat>(frame->format);
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(source);
  const bool yuv = desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
  ConverterKey key;
  key.srcWidth = frame->width;
  key.srcHeight = frame->height;
  key.format = frame->format;
  key.dstWidth = dstWidth;
  key.dstHeight = dstHeight;
  if (yuv) {
    key.colorspace = SwsColorSpace(frame->colorspace, frame->width, frame->height);
    key.fullRange = frame->color_range == AVCOL_RANGE_JPEG || IsFullRangeFormat(source);
  }
  if (sws_ && key == swsKey_) return sws_.get();
  sws_.reset();
  swsKey_ = key;
  const int flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
  int threads = options_.convertThreads > 0 ? options_.convertThreads : av_cpu_count();
  threads = std::clamp(threads, 1, 16);
  if (threads > 1) {
    av::SwsPtr sws(sws_alloc_context());
    if (sws && av_opt_set_int(sws.get(), "srcw", frame->width, 0) >= 0 &&
        av_opt_set_int(sws.get(), "srch", frame->height, 0) >= 0 &&
        av_opt_set_int(sws.get(), "src_format", source, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dstw", dstWidth, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dsth", dstHeight, 0) >= 0 &&
        av_opt_set_int(sws.get(), "dst_format", AV_PIX_FMT_BGR24, 0) >= 0 &&
        av_opt_set_int(sws.get(), "sws_flags", flags, 0) >= 0 &&
        av_opt_set_int(sws.get(), "threads", threads, 0) >= 0 &&
        sws_init_context(sws.get(), nullptr, nullptr) >= 0) {
      sws_ = std::move(sws);
      swsThreaded_ = true;
    }
  }
  if (!sws_) {
    sws_.reset(sws_getContext(frame->width, frame->height, source, dstWidth, dstHeight,
                              AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr));
    swsThreaded_ = false;
  }
  if (!sws_) {
    DebugOutputF("ffmpeg: cannot convert %s pictures\n", av_get_pix_fmt_name(source));
    return nullptr;
  }
  if (yuv)
    sws_setColorspaceDetails(sws_.get(), sws_getCoefficients(key.colorspace), key.fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
  return sws_.get();
}

void KeepBuffer(void*, uint8_t*) {}  // the pipeline's own buffer: nothing to free

// Converts the frame into BGR rows starting at top, stride bytes apart (a
// negative stride writes bottom-up).
bool FfmpegPipeline::Scale(SwsContext* sws, AVFrame* frame, uint8_t* top, int dstWidth,
                           int dstHeight, ptrdiff_t stride) {
  if (!swsThreaded_) {
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
    DebugOutputF("ffmpeg: conversion failed: %s\n", ErrorText(error).c_str());
    return false;
  }
  return true;
}

const uint8_t* FfmpegPipeline::Convert(AVFrame* frame) {
  if (outWidth_ <= 0 || outHeight_ <= 0) return nullptr;
  // HDR and wide-gamut pictures are first brought to SDR BT.709 colours.
  if (options_.toneMapHdr && !(frame = toneMapper_.Apply(frame))) return nullptr;
  const int dstWidth = scaledWidth_;
  const int dstHeight = scaledHeight_;
  SwsContext* sws = ConverterFor(frame, dstWidth, dstHeight);
  if (!sws) return nullptr;

  output_.resize(outStride_ * static_cast<size_t>(outHeight_));
  if (rotation_ == 0) {
    uint8_t* bottom = output_.data() + outStride_ * static_cast<size_t>(outHeight_ - 1);
    if (!Scale(sws, frame, bottom, dstWidth, dstHeight, -static_cast<ptrdiff_t>(outStride_)))
      return nullptr;
  } else {
    const size_t uprightStride = static_cast<size_t>(dstWidth) * 3;
    upright_.resize(uprightStride * static_cast<size_t>(dstHeight));
    if (!Scale(sws, frame, upright_.data(), dstWidth, dstHeight,
               static_cast<ptrdiff_t>(uprightStride)))
      return nullptr;
    // Turn clockwise into the bottom-up output: output row y (from the top)
    // is stored at row outHeight - 1 - y.
    const int W = dstWidth, H = dstHeight;
    for (int y = 0; y < outHeight_; ++y) {
      uint8_t* row = output_.data() + outStride_ * static_cast<size_t>(outHeight_ - 1 - y);
      for (int x = 0; x < outWidth_; ++x) {
        int sx, sy;
        if (rotation_ == 90) {
          sx = y;
          sy = H - 1 - x;
        } else if (rotation_ == 180) {
          sx = W - 1 - x;
          sy = H - 1 - y;
        } else {  // 270
          sx = W - 1 - y;
          sy = x;
        }
        std::memcpy(
            row + static_cast<size_t>(x) * 3,
            upright_.data() + uprightStride * static_cast<size_t>(sy) + static_cast<size_t>(sx) * 3,
            3);
      }
    }
  }
  options_.counters->framesConverted++;
  return output_.data();
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
