#pragma once
// The media pipeline the capture engine pulls from: it opens a file, connects
// a decoder to its video stream, and hands out one decoded frame per call on
// the thread that asks (the engine's capture thread). The conversion to
// 24-bit BGR happens only when the caller asks for a frame's pixels.
//
// Nothing in a pipeline runs by itself: the caller decides when to read on,
// where to seek and when to stop. Only Interrupt may be called from another
// thread.
//
// FfmpegPipeline is the real implementation; tests drive the engine with a
// scripted one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/bitmap_header.h"
#include "platform/result_codes.h"

namespace ombrelo {

// What the engine learns of the connected video stream.
struct StreamFacts {
  // 24-bit BGR rows padded to 4 bytes. The frames' rows are top-down; the
  // height is positive, as in the bottom-up BMP files made of them.
  BitmapInfoHeader header;
  int64_t avgTimePerFrame = 0;  // 100-ns units, 0 when unknown
  int64_t duration = 0;         // 100-ns units, 0 when unknown
  bool canSeek = false;         // absolute positioning works
};

// One decoded frame as the pipeline hands it out. Valid until the next call
// of NextFrame or Seek.
class MediaSample {
 public:
  // True for frames decoded only to reach a seek position.
  virtual bool IsPreroll() const = 0;
  // The frame as top-down BGR rows described by the connected header. The
  // conversion happens on the first call; null when it failed.
  virtual const uint8_t* GetPointer() = 0;
  // Size of the buffer GetPointer returns, in bytes.
  virtual int32_t GetSize() const = 0;

 protected:
  ~MediaSample() = default;
};

// A frame handed out by NextFrame. start and end are 100-ns units counted
// from the file's start, as players show them; hasEnd is false when the
// frame's duration is unknown.
struct PulledFrame {
  MediaSample* sample = nullptr;
  int64_t start = 0;
  int64_t end = 0;
  bool hasEnd = false;
};

// What one pull gave.
enum class Pull {
  frame,  // a decoded frame
  again,  // work was done (packets read or decoded) but no frame is ready yet
  end,    // the stream has ended (or the position lies past its end)
};

class MediaPipeline {
 public:
  virtual ~MediaPipeline() = default;

  // Opens the file.
  virtual MediaError Open(const std::string& path) = 0;
  // Finds the video stream and its decoder. MediaError::noDecoder when the
  // file has no video stream that can be decoded.
  virtual MediaError Connect() = 0;
  // The connected stream's format, frame duration, length and seeking.
  virtual MediaError GetStreamFacts(StreamFacts* facts) = 0;
  // Why the last Open or Connect failed, in words a user knows ("The file
  // has no video stream: it holds only audio (AC-3)."); "" when it did not
  // fail or the pipeline cannot tell more than the error does.
  virtual std::string FailureReason() const { return ""; }

  // Absolute positioning to `current` (100-ns units). Frames before it
  // that must be decoded to reach it are marked preroll. `wanted` (at or
  // after `current`) is the first frame the caller really needs: the
  // frames between are only looked at, so the pipeline may begin at the
  // key frame before `wanted` when that lies at or after `current`, and may
  // leave out what those frames alone would need. Frames from `wanted` on
  // are exact. Ends an interruption.
  virtual MediaError Seek(int64_t current, int64_t wanted) = 0;
  // The next frame the caller needs lies at `wanted` (100-ns units), and it
  // takes no frame before it: decoding on toward it, the pipeline may leave
  // out the frames before it that nothing refers to. The next Seek replaces
  // it.
  virtual void ExpectNext(int64_t wanted) = 0;
  // One step of reading and decoding.
  virtual Pull NextFrame(PulledFrame* frame) = 0;

  // Any thread: a read that blocks now gives up, and so does every read
  // until the next Seek (NextFrame then answers `again`). Never blocks: the
  // engine calls it under its own lock.
  virtual void Interrupt() = 0;
  // Any thread: every read from now on gives up (the capture is ending).
  virtual void Cancel() = 0;
  // While a read waits for data, the pipeline calls `check` now and then on
  // the reading thread; when it answers false, the read and every later one
  // give up as after Cancel.
  virtual void SetWaitCheck(std::function<bool()> check) = 0;
  // Whether the pictures of interlaced frames are made of their first field
  // (on) or of both fields as they are (off), from the next conversion on.
  // A pipeline that never sees interlaced frames ignores it.
  virtual void SetDeinterlace(bool on) { (void)on; }
};

using MediaPipelineFactory = std::function<std::unique_ptr<MediaPipeline>()>;

}  // namespace ombrelo
