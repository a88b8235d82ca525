#include "engine/packet_source.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "engine/media_input.h"
#include "engine/seek_plan.h"
#include "engine/stream_length.h"
#include "platform/debug_output.h"

extern "C" {
#include <libavutil/display.h>
}

namespace ombrelo {
namespace {

// After a seek: packets before the first key frame are dropped, up to this
// many (or until they pass the position); then the key frame is looked for
// further back. Only when none can be found anywhere is a stream decoded
// from a picture that is not a key frame, and its frames are taken only once
// the picture has recovered (the pipeline checks them).
constexpr int kMaxPacketsBeforeKeyFrame = 500;
// A group of pictures kept back while looking for the last key frame
// before the position is decoded once it grows beyond this.
constexpr size_t kMaxHeldBytes = 64u << 20;
// Packets read per step, so that the reader's caller regains control often.
constexpr int kPacketsPerStep = 64;
// Refused seeks, and key frames looked for further back, written to the
// debug output per source.
constexpr int kMaxLoggedErrors = 20;
// How often a seek that landed after the position is repeated further back
// (2 s, 8 s, 32 s, 128 s before it, then the start of the stream).
constexpr int kMaxApproachRetries = 5;

// Reads an unsigned Exp-Golomb number (H.264 ue(v)) at *bit; -1 when the
// data ends first.
int64_t ReadGolomb(const uint8_t* data, size_t size, size_t* bit) {
  int zeros = 0;
  auto next = [&]() -> int {
    if (*bit >= size * 8) return -1;
    const int value = (data[*bit / 8] >> (7 - *bit % 8)) & 1;
    ++*bit;
    return value;
  };
  for (int b = next(); b == 0; b = next()) {
    if (++zeros > 31) return -1;
  }
  int64_t value = 1;
  for (int i = 0; i < zeros; ++i) {
    const int b = next();
    if (b < 0) return -1;
    value = value << 1 | b;
  }
  return value - 1;
}

// Whether an H.264 NAL unit begins a picture that needs no earlier one: an
// IDR picture, or a picture of intra slices (which a recovery point of an
// open group of pictures is). 0 when the unit is no picture at all.
int IntraPicture(const uint8_t* nal, size_t size) {
  if (size < 2) return 0;
  const int type = nal[0] & 0x1f;
  if (type == 5) return 1;
  if (type != 1) return 0;
  size_t bit = 8;
  if (ReadGolomb(nal, size, &bit) < 0) return 0;  // first_mb_in_slice
  const int64_t sliceType = ReadGolomb(nal, size, &bit);
  if (sliceType < 0) return 0;
  return sliceType % 5 == 2 || sliceType % 5 == 4 ? 1 : -1;  // I or SI; else P or B
}

}  // namespace

void PacketSource::FormatRelease::operator()(AVFormatContext* context) const {
  av::FormatCloser()(context);
}

void PacketSource::PacketRelease::operator()(AVPacket* packet) const { av::PacketFreer()(packet); }

PacketSource::PacketSource(PipelineCounters& counters)
    : counters_(counters),
      reading_(av_packet_alloc()),
      startKeyTs_(AV_NOPTS_VALUE),
      lastReadTs_(AV_NOPTS_VALUE),
      aheadKeyTs_(AV_NOPTS_VALUE) {}

PacketSource::~PacketSource() { Clear(); }

int PacketSource::InterruptCallback(void* opaque) {
  auto* source = static_cast<PacketSource*>(opaque);
  if (source->interrupt_.load() || source->cancelled_.load()) return 1;
  if (source->waitCheck_ && !source->waitCheck_()) {
    source->cancelled_ = true;
    return 1;
  }
  return 0;
}

MediaError PacketSource::Open(const std::string& path, bool networkAddresses, std::string* reason) {
  if (format_) return MediaError::wrongState;
  if (!reading_) return MediaError::outOfMemory;
  InputRequest request;
  request.path = path;
  request.interrupt = &PacketSource::InterruptCallback;
  request.interruptOpaque = this;
  request.networkAddresses = networkAddresses;
  request.headerOnly = headerOnly_;
  InputFailure failure;
  format_.reset(OpenInput(request, &failure));
  if (!format_) {
    if (reason) *reason = failure.reason;
    return Failed(failure.code) ? failure.code : MediaError::failed;
  }
  return MediaError::none;
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
  // Only the stream's own length, and one measured from its packets, count
  // from its first picture; the container's, and a Matroska track's tagged
  // length, already count from the file's start.
  bool fromStreamStart = stream->duration != AV_NOPTS_VALUE && stream->duration > 0;
  // A file that does not state its length (or only guesses it from its bit
  // rate) is measured by its last packet.
  if (av::LengthNeedsScan(fc, t.duration, fromStream)) {
    if (const int64_t scanned = av::ScanVideoEnd(fc, stream); scanned > 0) {
      t.duration = scanned;
      fromStreamStart = true;
    }
  }
  // Times count from the file's start, as players show them: a video that
  // starts after it ends that much later.
  t.originTs = av::FileStart(fc, stream);
  if (fromStreamStart && t.duration > 0)
    t.duration += av::TicksToUnits(t.startTs, stream->time_base, t.originTs);
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

bool PacketSource::DecodingCanBeginAt(const AVPacket* packet) const {
  const AVCodecParameters* par = format_->streams[streamIndex_]->codecpar;
  if (par->codec_id != AV_CODEC_ID_H264 || !packet->data) return true;
  const uint8_t* data = packet->data;
  const size_t size = static_cast<size_t>(packet->size);
  // Length-prefixed units (MP4, Matroska) or start codes (MPEG-TS, raw).
  const bool lengths = par->extradata_size > 4 && par->extradata[0] == 1;
  const size_t lengthSize = lengths ? (par->extradata[4] & 3) + 1 : 0;
  size_t at = 0;
  while (at < size) {
    size_t begin = 0, end = 0;
    if (lengths) {
      if (size - at < lengthSize) break;
      size_t length = 0;
      for (size_t i = 0; i < lengthSize; ++i) length = length << 8 | data[at + i];
      begin = at + lengthSize;
      if (length > size - begin) break;
      end = begin + length;
    } else {
      while (at + 3 <= size && !(data[at] == 0 && data[at + 1] == 0 && data[at + 2] == 1)) ++at;
      if (at + 3 > size) break;
      begin = at + 3;
      end = begin;
      while (end + 3 <= size && !(data[end] == 0 && data[end + 1] == 0 && data[end + 2] <= 1))
        ++end;
      if (end + 3 > size) end = size;
    }
    if (const int intra = IntraPicture(data + begin, end - begin); intra != 0) return intra > 0;
    at = end;
  }
  return true;  // nothing to tell: the flag is trusted
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
  held_.clear();
  heldBytes_ = 0;
}

void PacketSource::Clear() {
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

bool PacketSource::MayLog() { return ++errorsLogged_ <= kMaxLoggedErrors; }

double PacketSource::Seconds(int64_t ts) const {
  return static_cast<double>(ts - timing_.originTs) * timing_.timeBaseNum / timing_.timeBaseDen;
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
  approachRetries_ = 0;
  byteSeekTried_ = false;
  droppedBeforeKey_ = 0;
  startKeyTs_ = AV_NOPTS_VALUE;
  // Key frames after the limit are of no use: the search begins at it.
  approachSeekTs_ = std::min(approachTarget_, keyLimit_);
  return SeekBefore(approachSeekTs_) >= 0;
}

int64_t PacketSource::LastKeyFrameSeen(int64_t limit) const {
  auto after = std::upper_bound(keyFramesSeen_.begin(), keyFramesSeen_.end(), limit);
  return after == keyFramesSeen_.begin() ? AV_NOPTS_VALUE : *(after - 1);
}

void PacketSource::NoteKeyFrame(int64_t ts) {
  auto at = std::lower_bound(keyFramesSeen_.begin(), keyFramesSeen_.end(), ts);
  if (at == keyFramesSeen_.end() || *at != ts) keyFramesSeen_.insert(at, ts);
}

bool PacketSource::GoBackFurther() {
  const int64_t start = timing_.startTs;
  // A key frame read before, at or before the position and before where the
  // last seek went: decoding starts from it without searching.
  const int64_t known = LastKeyFrameSeen(std::min(keyLimit_, approachSeekTs_ - 1));
  if (known != AV_NOPTS_VALUE && approachRetries_ < kMaxApproachRetries) {
    ++approachRetries_;
    approachSeekTs_ = known;
    if (MayLog())
      DebugOutputF(
          "ffmpeg: no key frame before %.3f s where the seek landed; decoding from the "
          "key frame at %.3f s\n",
          Seconds(approachTarget_), Seconds(known));
    if (SeekBefore(known) < 0) return false;
    droppedBeforeKey_ = 0;
    return true;
  }
  if (approachRetries_ < kMaxApproachRetries && approachSeekTs_ > start) {
    const int64_t backoff = av_rescale_q(ApproachBackoff(approachRetries_), av::kUnits,
                                         {timing_.timeBaseNum, timing_.timeBaseDen});
    ++approachRetries_;
    approachSeekTs_ = approachRetries_ == kMaxApproachRetries
                          ? start
                          : std::max(start, approachSeekTs_ - backoff);
    if (MayLog())
      DebugOutputF(
          "ffmpeg: no key frame before %.3f s where the seek landed; looking from %.3f s\n",
          Seconds(approachTarget_), Seconds(approachSeekTs_));
    // A refused seek ends the approach: decoding goes on from where it is.
    if (SeekBefore(approachSeekTs_) < 0) return false;
  } else if (!byteSeekTried_ && !(format_->iformat->flags & AVFMT_NO_BYTE_SEEK)) {
    // Even the stream's start was missed: read from the first byte.
    byteSeekTried_ = true;
    approachRetries_ = kMaxApproachRetries;
    if (MayLog())
      DebugOutputF("ffmpeg: no key frame before %.3f s; reading from the file's first byte\n",
                   Seconds(approachTarget_));
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
  OwnedPacket kept(av_packet_alloc());
  if (!kept) return;  // out of memory: the packet is lost, as a damaged one is
  av_packet_move_ref(kept.get(), packet);
  heldBytes_ += static_cast<size_t>(kept->size);
  held_.push_back(std::move(kept));
}

PacketSource::Read PacketSource::TakePending(AVPacket* into) {
  const OwnedPacket first = std::move(pending_.front());
  pending_.pop_front();
  av_packet_move_ref(into, first.get());
  return Read::packet;
}

// The approach has found its key frame (or given up looking): what was held
// is decoded, from that key frame on.
PacketSource::Read PacketSource::ReleaseHeld(AVPacket* into) {
  startKeyTs_ = av::PacketTime(held_.front().get());
  pending_.insert(pending_.end(), std::make_move_iterator(held_.begin()),
                  std::make_move_iterator(held_.end()));
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
  pending_.insert(pending_.end(), std::make_move_iterator(held_.begin()),
                  std::make_move_iterator(held_.end()));
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
  const bool key = readIsStart_;
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
  const bool key = readIsStart_;
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
    if (!key) {
      // Landed inside a group of pictures: wait for its next key frame, as
      // long as that can still lie at or before the position. A packet
      // decoded after it is shown after it too, and so is every key frame
      // that follows.
      const int64_t decodeTs = packet->dts != AV_NOPTS_VALUE ? packet->dts : ts;
      const bool passed = decodeTs != AV_NOPTS_VALUE && decodeTs > keyLimit_;
      if (!passed && ++droppedBeforeKey_ <= kMaxPacketsBeforeKeyFrame) {
        counters_.packetsSkipped++;
        av_packet_unref(packet);
        return Handled::kept;
      }
      if (GoBackFurther()) {
        counters_.packetsSkipped++;
        av_packet_unref(packet);
        return Handled::kept;
      }
      if (MayLog())
        DebugOutputF(
            "ffmpeg: no key frame found before %.3f s; decoding from a picture that is "
            "not one, and taking frames only once the picture has recovered\n",
            Seconds(approachTarget_));
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
    AVPacket* packet = reading_.get();
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
    // A recovery point of intra refresh is flagged as a key frame, but the
    // pictures decoded from it may keep errors the refresh never clears:
    // decoding begins only at pictures that need no earlier one (the
    // decoder still learns from the flag where the picture recovers).
    readIsStart_ = (packet->flags & AV_PKT_FLAG_KEY) && DecodingCanBeginAt(packet);
    const int64_t readTs = av::PacketTime(packet);
    if (readIsStart_ && readTs != AV_NOPTS_VALUE) NoteKeyFrame(readTs);
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
