#pragma once
// The packet source: the demuxer of a video file (libavformat) with its
// key-frame index and a read that can be interrupted. It hands out the video
// stream's packets in order and decides which of them need decoding at all:
//  - approaching a position, only the group of pictures that begins with the
//    last key frame at or before it (seeking further back when the demuxer
//    landed after it, and reading from the first byte as a last resort);
//  - decoding on toward a frame wanted ahead (SkipAheadTo), the packets
//    before the key frame the index lists at or before it are read but
//    never decoded.
// Everything runs on the thread that reads, except Interrupt and Cancel.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/band_converter.h"
#include "platform/result_codes.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace ombrelo {

struct PipelineCounters;

// The time facts of the video stream. Ticks are in the stream's time base.
struct StreamTiming {
  int timeBaseNum = 1, timeBaseDen = 1;
  int64_t startTs = 0;          // the stream's start in ticks
  int64_t originTs = 0;         // the file's start in ticks: times count from it
  int64_t frameTicks = 1;       // one frame in ticks
  bool lateByOne = false;       // timestamps one frame late (MPEG-4 in AVI with B-frames)
  bool seekable = false;        // the file can be positioned
  int64_t avgTimePerFrame = 0;  // 100-ns units, 0 when unknown
  int64_t duration = 0;         // 100-ns units from the file's start, 0 when unknown
};

class PacketSource {
 public:
  enum class Read { packet, notYet, endOfFile, interrupted };

  explicit PacketSource(PipelineCounters& counters);
  ~PacketSource();
  PacketSource(const PacketSource&) = delete;
  PacketSource& operator=(const PacketSource&) = delete;

  // Opens the file; on failure *reason says
  // why in words a user knows. networkAddresses: names with "://" are
  // read as network addresses (see InputRequest).
  MediaError Open(const std::string& path, bool networkAddresses, std::string* reason);
  // Before Open: the streams are taken from the header where it says enough
  // (see InputRequest::headerOnly).
  void ReadHeaderOnly() { headerOnly_ = true; }
  bool IsOpen() const { return format_ != nullptr; }
  // The demuxer; a reader that positions it in its own way (the thumbnail's
  // key frame) calls Clear() before reading on through Next.
  AVFormatContext* Format() const { return format_.get(); }
  // Chooses the video stream: the one FFmpeg finds best unless that is a
  // cover picture, else the first real video stream; null when none.
  AVStream* ChooseVideoStream();
  const StreamTiming& Timing() const { return timing_; }
  // The upright display shape of the stream's pictures.
  PictureShape Shape() const;
  // Makes sure the index lists the file's key frames (Matroska lists them at
  // its end and is read there only at the first seek). Positions the file:
  // call it on the reading thread, before the first read.
  void LoadKeyFrameIndex();

  // Any thread: the read in progress and every read until EndInterruption
  // give up (Interrupt), or every read from now on does (Cancel).
  void Interrupt() { interrupt_ = true; }
  void Cancel() { cancelled_ = true; }
  void EndInterruption() { interrupt_ = false; }
  // Called (on the reading thread) while a read waits; false cancels.
  void SetWaitCheck(std::function<bool()> check) { waitCheck_ = std::move(check); }

  // The next packet to decode, moved into `into`.
  Read Next(AVPacket* into);
  // Forgets every packet read and held (a new position).
  void Clear();

  // The position decoding must reach (ticks): the key frame decoding
  // starts from lies at or before it (and at or before the key limit).
  void SetTarget(int64_t target);
  void NarrowKeyLimit(int64_t limit);
  int64_t Target() const { return approachTarget_; }
  // Positions the demuxer before the target and keeps back what is read
  // until the last key frame at or before it has come. False when the
  // demuxer refused.
  bool BeginApproach();
  // Decoding on toward `wanted` (100-ns units; `limit` in ticks is the
  // latest packet time of that frame): when the index lists a key frame at
  // or before the limit beyond everything read, the packets before it are
  // read on and never decoded.
  void SkipAheadTo(int64_t limit, int64_t wanted);
  // True once after decoding was made to start again at a key frame ahead
  // (the decoder must forget what it holds), with the frame wanted there.
  bool TakeRestart(int64_t* wanted);

  // The packet time of the key frame decoding began with at the position;
  // AV_NOPTS_VALUE when unknown.
  int64_t StartKeyTs() const { return startKeyTs_; }
  // Whether the last approach had to look for its key frame further back
  // than where the seek landed (key frames are rare in the stream).
  bool LookedFurtherBack() const { return approachRetries_ > 0; }
  // Whether the index lists key frames on both sides of ts and the one at
  // or before it lies at or before `decodedTs`.
  bool IndexedKeyFrameReached(int64_t ts, int64_t decodedTs) const;
  // Reading is not simply in order (approaching, skipping ahead, cut).
  bool Busy() const { return approaching_ || skippingAhead_ || readCut_; }
  int64_t VideoDelay() const;
  // Whether a packet flagged as a key frame holds a picture that needs no
  // earlier one (for H.264: an IDR picture or intra slices). True when the
  // packet does not tell.
  bool DecodingCanBeginAt(const AVPacket* packet) const;

 private:
  struct FormatRelease {
    void operator()(AVFormatContext* context) const;
  };
  // av::PacketFreer, for a header that keeps FFmpeg out.
  struct PacketRelease {
    void operator()(AVPacket* packet) const;
  };
  using OwnedPacket = std::unique_ptr<AVPacket, PacketRelease>;
  enum class Handled { out, kept };
  static int InterruptCallback(void* opaque);
  void ReadTiming(AVStream* stream);
  Read TakePending(AVPacket* into);
  Read OnReadError(int error, AVPacket* into, bool* retry);
  Handled HoldAhead(AVPacket* packet, AVPacket* into);
  Handled Approach(AVPacket* packet, AVPacket* into);
  Read ReleaseHeld(AVPacket* into);
  Read ReleaseSkippedAhead(AVPacket* into);
  void Hold(AVPacket* packet);
  void DropHeld();
  int SeekBefore(int64_t ts);
  bool SeekToByteZero();
  void SeekError(int64_t ts, int error);
  // Whether another note may go to the debug output (counted with the
  // refused seeks).
  bool MayLog();
  // Ticks to seconds from the file's start, for the debug output.
  double Seconds(int64_t ts) const;
  // The latest key frame read so far at or before `limit` (ticks);
  // AV_NOPTS_VALUE when none.
  int64_t LastKeyFrameSeen(int64_t limit) const;
  void NoteKeyFrame(int64_t ts);
  bool GoBackFurther();

  PipelineCounters& counters_;
  std::unique_ptr<AVFormatContext, FormatRelease> format_;
  int streamIndex_ = -1;
  bool headerOnly_ = false;
  StreamTiming timing_;
  std::atomic<bool> interrupt_{false};
  std::atomic<bool> cancelled_{false};
  std::function<bool()> waitCheck_;  // reading thread only
  OwnedPacket reading_;              // the packet av_read_frame fills

  std::deque<OwnedPacket> pending_;  // to decode before reading on
  std::vector<OwnedPacket> held_;    // kept back while approaching or skipping ahead
  size_t heldBytes_ = 0;
  bool approaching_ = false;    // looking for the last key frame before the target
  int64_t approachTarget_ = 0;  // ticks
  int64_t keyLimit_ = 0;        // key frames after this are not started from
  int droppedBeforeKey_ = 0;
  int approachRetries_ = 0;     // seeks made further back after landing late
  int64_t approachSeekTs_ = 0;  // where the last of them went
  bool byteSeekTried_ = false;
  int64_t startKeyTs_;  // see StartKeyTs
  bool readErrorLogged_ = false;
  bool readCut_ = false;  // a read was cancelled: the demuxer must be repositioned
  int64_t lastReadTs_;    // latest packet time read since the last position
  bool skippingAhead_ = false;
  int64_t aheadLimit_ = 0;     // ticks: the key frame must be at or before it
  int64_t aheadWanted_ = 0;    // 100-ns units: the frame decoding goes on toward
  int64_t aheadKeyTs_;         // the key frame held packets begin with, if any
  bool aheadDropped_ = false;  // packets before that key frame were left out
  bool restarted_ = false;     // see TakeRestart
  int errorsLogged_ = 0;
  // Times (ticks) of the key frames read so far, in order: where decoding
  // can start again when a seek finds none before its position.
  std::vector<int64_t> keyFramesSeen_;
  bool readIsStart_ = false;  // the packet read last is a key frame decoding can begin at
};

}  // namespace ombrelo
