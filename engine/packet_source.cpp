#include "engine/packet_source.h"

#include <algorithm>
#include <cstring>

#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "engine/seek_plan.h"
#include "engine/stream_length.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavutil/display.h>
}

namespace ombrelo {
namespace {

// After a seek: packets without a key frame before the first one are
// dropped, up to this many; after that they are decoded whatever comes.
constexpr int kMaxPacketsBeforeKeyFrame = 500;
// A group of pictures kept back while looking for the last key frame
// before the position is decoded once it grows beyond this.
constexpr size_t kMaxHeldBytes = 64u << 20;
// Packets read per step, so that the reader's caller regains control often.
constexpr int kPacketsPerStep = 64;
// Refused seeks written to the debug output per source.
constexpr int kMaxLoggedErrors = 20;
// How often a seek that landed after the position is repeated further back
// (2 s, 8 s, 32 s, 128 s before it, then the start of the stream).
constexpr int kMaxApproachRetries = 5;

HResult MapOpenError(int error) {
  if (error == AVERROR(ENOENT) || error == AVERROR(ENOTDIR)) return E_FILE_NOT_FOUND;
  if (error == AVERROR(EACCES) || error == AVERROR(EPERM)) return E_ACCESSDENIED;
  if (error == AVERROR_INVALIDDATA) return VFW_E_UNKNOWN_FILE_TYPE;
  if (error == AVERROR_EXIT) return E_ABORT;
  if (error == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
  return E_FAIL;
}

void FreePackets(AVPacket* const* begin, AVPacket* const* end) {
  for (AVPacket* const* p = begin; p != end; ++p) {
    AVPacket* packet = *p;
    av_packet_free(&packet);
  }
}

}  // namespace

void PacketSource::FormatRelease::operator()(AVFormatContext* context) const {
  av::FormatCloser()(context);
}

PacketSource::PacketSource(PipelineCounters& counters)
    : counters_(counters),
      reading_(av_packet_alloc()),
      startKeyTs_(AV_NOPTS_VALUE),
      lastReadTs_(AV_NOPTS_VALUE),
      aheadKeyTs_(AV_NOPTS_VALUE) {}

PacketSource::~PacketSource() {
  Clear();
  av_packet_free(&reading_);
}

int PacketSource::InterruptCallback(void* opaque) {
  auto* source = static_cast<PacketSource*>(opaque);
  if (source->interrupt_.load() || source->cancelled_.load()) return 1;
  if (source->waitCheck_ && !source->waitCheck_()) {
    source->cancelled_ = true;
    return 1;
  }
  return 0;
}

HResult PacketSource::Open(const std::string& path) {
  if (format_) return VFW_E_WRONG_STATE;
  AVFormatContext* context = avformat_alloc_context();
  if (!context || !reading_) return E_OUTOFMEMORY;
  context->interrupt_callback.callback = &PacketSource::InterruptCallback;
  context->interrupt_callback.opaque = this;
  int error = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (error < 0) {  // the context is freed by the failing call
    DebugOutputF("ffmpeg: cannot open '%s': %s\n", path.c_str(), av::ErrorText(error).c_str());
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
                 av::ErrorText(error).c_str());
  return S_OK;
}

AVStream* PacketSource::ChooseVideoStream() {
  AVFormatContext* fc = format_.get();
  auto usable = [fc](int i) {
    const AVStream* st = fc->streams[i];
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
  };
  int index = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0 || !usable(index)) {
    index = -1;
    for (unsigned i = 0; i < fc->nb_streams && index < 0; ++i) {
      if (usable(static_cast<int>(i))) index = static_cast<int>(i);
    }
  }
  if (index < 0) return nullptr;
  streamIndex_ = index;
  ReadTiming(fc->streams[index]);
  return fc->streams[index];
}

// Time base, start, frame duration, length and seeking of the stream.
void PacketSource::ReadTiming(AVStream* stream) {
  AVFormatContext* fc = format_.get();
  StreamTiming& t = timing_;
  t.timeBaseNum = stream->time_base.num;
  t.timeBaseDen = stream->time_base.den;
  t.startTs = av::StreamStart(stream);
  const AVRational rate = av::VideoFrameRate(fc, stream);
  t.avgTimePerFrame = av::AverageFrameDuration(fc, stream);
  // One frame in ticks; 25 frames per second when the rate is unknown.
  t.frameTicks =
      std::max<int64_t>(1, rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), stream->time_base)
                                        : av_rescale_q(400'000, av::kUnits, stream->time_base));
  // The video's own length; the container's only when the stream has none
  // (a longer audio track must not add samples past the last picture).
  bool fromStream = false;
  t.duration = av::VideoDuration(fc, stream, &fromStream);
  // A file that does not state its length (or only guesses it from its bit
  // rate) is measured by its last packet.
  if (av::LengthNeedsScan(fc, t.duration, fromStream)) {
    if (const int64_t scanned = av::ScanVideoEnd(fc, stream); scanned > 0) t.duration = scanned;
  }
  // MPEG-4 Part 2 in AVI with B-frames: FFmpeg stamps every picture one
  // frame late.
  t.lateByOne = stream->codecpar->codec_id == AV_CODEC_ID_MPEG4 &&
                stream->codecpar->video_delay > 0 &&
                std::strstr(fc->iformat->name, "avi") != nullptr;
  t.seekable = fc->pb && (fc->pb->seekable & AVIO_SEEKABLE_NORMAL);
}

PictureShape PacketSource::Shape() const {
  AVStream* stream = format_->streams[streamIndex_];
  const AVCodecParameters* par = stream->codecpar;
  const AVRational sar = av_guess_sample_aspect_ratio(format_.get(), stream, nullptr);
  double degrees = 0;
  if (const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr))
    degrees = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  return PictureShape::Of(par->width, par->height, sar.num, sar.den, degrees);
}

int64_t PacketSource::VideoDelay() const {
  return format_->streams[streamIndex_]->codecpar->video_delay;
}

void PacketSource::LoadKeyFrameIndex() {
  AVStream* stream = format_->streams[streamIndex_];
  if (!timing_.seekable || !std::strstr(format_->iformat->name, "matroska") ||
      avformat_index_get_entries_count(stream) > 1)
    return;
  const int64_t start = av::StreamStart(stream);
  if (avformat_seek_file(format_.get(), streamIndex_, INT64_MIN, start, start, 0) < 0)
    DebugOutput("ffmpeg: the key frame list of the file could not be read\n");
}

bool PacketSource::IndexedKeyFrameReached(int64_t ts, int64_t decodedTs) const {
  // Only an index that reaches past the position tells where its key frame
  // is; one built while reading (streams without an index) may not know it.
  AVStream* stream = format_->streams[streamIndex_];
  const AVIndexEntry* before =
      avformat_index_get_entry_from_timestamp(stream, ts, AVSEEK_FLAG_BACKWARD);
  const AVIndexEntry* after = avformat_index_get_entry_from_timestamp(stream, ts, 0);
  return before && after && before->timestamp <= decodedTs;
}

// ---------------------------------------------------------------------------
// Positions

void PacketSource::DropHeld() {
  FreePackets(held_.data(), held_.data() + held_.size());
  held_.clear();
  heldBytes_ = 0;
}

void PacketSource::Clear() {
  for (AVPacket* p : pending_) av_packet_free(&p);
  pending_.clear();
  DropHeld();
  approaching_ = false;
  readCut_ = false;
  lastReadTs_ = AV_NOPTS_VALUE;
  skippingAhead_ = false;
  restarted_ = false;
}

void PacketSource::SetTarget(int64_t target) {
  approachTarget_ = target;
  keyLimit_ = target;
}

void PacketSource::NarrowKeyLimit(int64_t limit) { keyLimit_ = std::min(keyLimit_, limit); }

// Positions the demuxer at or before ts (ticks). A refusal is written to the
// debug output and counted.
int PacketSource::SeekBefore(int64_t ts) {
  counters_.seeks++;
  int error = avformat_seek_file(format_.get(), streamIndex_, INT64_MIN, ts, ts, 0);
  if (error < 0) error = av_seek_frame(format_.get(), streamIndex_, ts, AVSEEK_FLAG_BACKWARD);
  if (error < 0) SeekError(ts, error);
  return error;
}

bool PacketSource::SeekToByteZero() {
  counters_.seeks++;
  const int error = avformat_seek_file(format_.get(), -1, 0, 0, 0, AVSEEK_FLAG_BYTE);
  if (error < 0) SeekError(0, error);
  return error >= 0;
}

void PacketSource::SeekError(int64_t ts, int error) {
  counters_.seekFailures++;
  if (++errorsLogged_ <= kMaxLoggedErrors)
    DebugOutputF("ffmpeg: seek to %lld failed: %s\n", static_cast<long long>(ts),
                 av::ErrorText(error).c_str());
}

bool PacketSource::BeginApproach() {
  Clear();
  approaching_ = true;
  approachSeekTs_ = approachTarget_;
  approachRetries_ = 0;
  byteSeekTried_ = false;
  droppedBeforeKey_ = 0;
  startKeyTs_ = AV_NOPTS_VALUE;
  return SeekBefore(approachTarget_) >= 0;
}

bool PacketSource::GoBackFurther() {
  const int64_t start = timing_.startTs;
  if (approachRetries_ < kMaxApproachRetries && approachSeekTs_ > start) {
    const int64_t backoff = av_rescale_q(ApproachBackoff(approachRetries_), av::kUnits,
                                         {timing_.timeBaseNum, timing_.timeBaseDen});
    ++approachRetries_;
    approachSeekTs_ = approachRetries_ == kMaxApproachRetries
                          ? start
                          : std::max(start, approachSeekTs_ - backoff);
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

void PacketSource::SkipAheadTo(int64_t limit, int64_t wanted) {
  // Packets already read and waiting are decoded first, as ever; holding
  // begins with the next one read.
  if (approaching_ || skippingAhead_ || !held_.empty() || readCut_ || lastReadTs_ == AV_NOPTS_VALUE)
    return;
  const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(format_->streams[streamIndex_],
                                                                    limit, AVSEEK_FLAG_BACKWARD);
  if (!key || !(key->flags & AVINDEX_KEYFRAME) || key->timestamp <= lastReadTs_) return;
  skippingAhead_ = true;
  aheadLimit_ = limit;
  aheadWanted_ = wanted;
  aheadKeyTs_ = AV_NOPTS_VALUE;
  aheadDropped_ = false;
}

bool PacketSource::TakeRestart(int64_t* wanted) {
  if (!restarted_) return false;
  restarted_ = false;
  *wanted = aheadWanted_;
  return true;
}

// ---------------------------------------------------------------------------
// Reading

void PacketSource::Hold(AVPacket* packet) {
  AVPacket* kept = av_packet_alloc();
  if (!kept) return;  // out of memory: the packet is lost, as a damaged one is
  av_packet_move_ref(kept, packet);
  heldBytes_ += static_cast<size_t>(kept->size);
  held_.push_back(kept);
}

PacketSource::Read PacketSource::TakePending(AVPacket* into) {
  AVPacket* first = pending_.front();
  pending_.pop_front();
  av_packet_move_ref(into, first);
  av_packet_free(&first);
  return Read::packet;
}

// The approach has found its key frame (or given up looking): what was held
// is decoded, from that key frame on.
PacketSource::Read PacketSource::ReleaseHeld(AVPacket* into) {
  startKeyTs_ = av::PacketTime(held_.front());
  pending_.insert(pending_.end(), held_.begin(), held_.end());
  held_.clear();
  heldBytes_ = 0;
  approaching_ = false;
  return TakePending(into);
}

PacketSource::Read PacketSource::ReleaseSkippedAhead(AVPacket* into) {
  skippingAhead_ = false;
  if (aheadDropped_) {
    // Decoding starts again at a key frame: the first frame at the wanted
    // position is checked as after a seek.
    startKeyTs_ = aheadKeyTs_;
    keyLimit_ = aheadLimit_;
    approachTarget_ = aheadLimit_;
    restarted_ = true;
    counters_.seeksSpared++;
  }
  pending_.insert(pending_.end(), held_.begin(), held_.end());
  held_.clear();
  heldBytes_ = 0;
  return TakePending(into);
}

PacketSource::Read PacketSource::OnReadError(int error, AVPacket* into, bool* retry) {
  *retry = false;
  if (error == AVERROR_EXIT && (interrupt_.load() || cancelled_.load())) {
    readCut_ = true;
    return Read::interrupted;
  }
  if (error != AVERROR_EOF && !readErrorLogged_) {
    // A damaged or cut-short file: what could be read is all there is.
    readErrorLogged_ = true;
    DebugOutputF("ffmpeg: read error, treated as the end of the stream: %s\n",
                 av::ErrorText(error).c_str());
  }
  if (skippingAhead_ && !held_.empty()) return ReleaseSkippedAhead(into);
  skippingAhead_ = false;
  if (!held_.empty()) return ReleaseHeld(into);
  // The end came before any key frame at or before the position: the seek
  // landed too late to find one.
  if (approaching_ && error == AVERROR_EOF && GoBackFurther()) {
    *retry = true;
    return Read::notYet;
  }
  approaching_ = false;
  return Read::endOfFile;
}

// Skipping ahead: packets are held until the key frame at or before the
// wanted frame comes, and what came before that key frame is dropped.
PacketSource::Handled PacketSource::HoldAhead(AVPacket* packet, AVPacket* into) {
  const int64_t readTs = av::PacketTime(packet);
  const bool key = packet->flags & AV_PKT_FLAG_KEY;
  if (key && readTs != AV_NOPTS_VALUE && readTs <= aheadLimit_) {
    // The key frame: what was held before it is never decoded.
    counters_.packetsSkipped += static_cast<int64_t>(held_.size());
    aheadDropped_ = aheadDropped_ || !held_.empty();
    DropHeld();
    aheadKeyTs_ = readTs;
  }
  Hold(packet);
  // Reached the wanted frame (with a key frame or without one), or held
  // enough: decoding goes on with what is held.
  if ((readTs != AV_NOPTS_VALUE && readTs >= aheadLimit_) || heldBytes_ > kMaxHeldBytes) {
    ReleaseSkippedAhead(into);
    return Handled::out;
  }
  return Handled::kept;
}

// Approaching a position: keep only the group of pictures that begins with
// the last key frame at or before it; earlier packets are never decoded
// (cheap when the seek landed far too early, as in an AVI without index or
// an MPEG stream).
PacketSource::Handled PacketSource::Approach(AVPacket* packet, AVPacket* into) {
  const bool key = packet->flags & AV_PKT_FLAG_KEY;
  const int64_t ts = av::PacketTime(packet);
  if (key && ts != AV_NOPTS_VALUE && ts > keyLimit_ && held_.empty() && GoBackFurther()) {
    // The seek landed after the position (demuxers without an index search
    // by timestamps and may overshoot): look again further back.
    av_packet_unref(packet);
    return Handled::kept;
  }
  if (key && (ts == AV_NOPTS_VALUE || ts <= keyLimit_)) {
    counters_.packetsSkipped += static_cast<int64_t>(held_.size());
    DropHeld();
    Hold(packet);
    return Handled::kept;
  }
  if (held_.empty()) {
    if (!key && ++droppedBeforeKey_ <= kMaxPacketsBeforeKeyFrame) {
      // Landed inside a group of pictures: wait for its next key frame.
      counters_.packetsSkipped++;
      av_packet_unref(packet);
      return Handled::kept;
    }
    approaching_ = false;
    startKeyTs_ = key ? ts : AV_NOPTS_VALUE;
    av_packet_move_ref(into, packet);
    return Handled::out;
  }
  Hold(packet);
  if (key || (ts != AV_NOPTS_VALUE && ts >= approachTarget_) || heldBytes_ > kMaxHeldBytes) {
    ReleaseHeld(into);
    return Handled::out;
  }
  return Handled::kept;
}

PacketSource::Read PacketSource::Next(AVPacket* into) {
  if (!pending_.empty()) return TakePending(into);
  for (int i = 0; i < kPacketsPerStep; ++i) {
    AVPacket* packet = reading_;
    const int error = av_read_frame(format_.get(), packet);
    if (error == AVERROR(EAGAIN)) return Read::notYet;
    if (error < 0) {
      bool retry = false;
      const Read read = OnReadError(error, into, &retry);
      if (retry) continue;
      return read;
    }
    if (packet->stream_index != streamIndex_) {
      av_packet_unref(packet);
      continue;
    }
    counters_.packetsRead++;
    const int64_t readTs = av::PacketTime(packet);
    if (readTs != AV_NOPTS_VALUE && (lastReadTs_ == AV_NOPTS_VALUE || readTs > lastReadTs_))
      lastReadTs_ = readTs;
    Handled handled;
    if (skippingAhead_) {
      handled = HoldAhead(packet, into);
    } else if (approaching_) {
      handled = Approach(packet, into);
    } else {
      av_packet_move_ref(into, packet);
      handled = Handled::out;
    }
    if (handled == Handled::out) return Read::packet;
  }
  return Read::notYet;
}

}  // namespace ombrelo
