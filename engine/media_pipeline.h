#pragma once
// The media pipeline the capture engine drives: it opens a file, connects a
// decoder to its video stream, converts frames to 24-bit BGR on request and
// hands every decoded frame to the engine's sample callback on a streaming
// thread of its own. Destroying the pipeline stops that thread and releases
// everything it holds.
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

// Event codes reported by WaitForCompletion.
constexpr int32_t EC_COMPLETE = 0x01;
constexpr int32_t EC_ERRORABORT = 0x03;

// What the engine learns of the connected video stream.
struct StreamFacts {
  BitmapInfoHeader header;      // 24-bit BGR, bottom-up, rows padded to 4 bytes
  int64_t avgTimePerFrame = 0;  // 100-ns units, 0 when unknown
  int64_t duration = 0;         // 100-ns units, 0 when unknown
  bool canSeek = false;         // absolute positioning works
};

// One decoded frame as the streaming thread hands it to the callback. Valid
// only during the callback.
class MediaSample {
 public:
  // True for frames decoded only to reach a seek position.
  virtual bool IsPreroll() const = 0;
  // The frame as bottom-up BGR rows described by the connected header. The
  // conversion happens on the first call; null when it failed.
  virtual const uint8_t* GetPointer() = 0;
  // Size of the buffer GetPointer returns, in bytes.
  virtual int32_t GetSize() const = 0;

 protected:
  ~MediaSample() = default;
};

// Called on the streaming thread for every decoded frame, once. start and
// end are 100-ns units counted from the video stream's start; end may be
// null when the frame's duration is unknown. A result of S_FALSE (1) asks
// the pipeline to stop decoding until it is repositioned or paused and run
// again (the engine has asked its owner for a new position, or needs no
// more frames); other results are ignored.
using SampleCallback =
    std::function<HResult(MediaSample* sample, const int64_t* start, const int64_t* end)>;

class MediaPipeline {
 public:
  virtual ~MediaPipeline() = default;

  // Opens the file. Only S_OK counts as success.
  virtual HResult Open(const std::string& path) = 0;
  // Finds the video stream and its decoder. VFW_E_CANNOT_CONNECT when the
  // file has no video stream that can be decoded.
  virtual HResult Connect() = 0;
  // The connected stream's format, frame duration, length and seeking.
  virtual HResult GetStreamFacts(StreamFacts* facts) = 0;
  virtual void SetSampleCallback(SampleCallback callback) = 0;

  // Absolute positioning to `current` (100-ns units). Frames before it
  // that must be decoded to reach it are marked preroll. `wanted` (at or
  // after `current`) is the first frame the caller really needs: the
  // frames between are only looked at, so the pipeline may begin at the
  // key frame before `wanted` when that lies at or after `current`, and may
  // leave out what those frames alone would need. Frames from `wanted` on
  // are exact. A read in progress is cancelled first.
  virtual HResult Seek(int64_t current, int64_t wanted) = 0;
  // The next frame the caller needs lies at `wanted` (100-ns units), and it
  // takes no frame before it: decoding on toward it, the pipeline may leave
  // out the frames before it that nothing refers to. Called from the sample
  // callback or before the pipeline runs; the next Seek replaces it.
  virtual void ExpectNext(int64_t wanted) = 0;

  // Control. Stop cancels a read in progress.
  virtual HResult Run() = 0;
  virtual HResult Pause() = 0;
  virtual HResult Stop() = 0;

  // Waits until the stream has ended (S_OK, EC_COMPLETE) or an error ended
  // it (S_OK, EC_ERRORABORT); E_ABORT when the time ran out;
  // VFW_E_WRONG_STATE when the pipeline is not running.
  virtual HResult WaitForCompletion(int64_t timeoutMs, int32_t* eventCode) = 0;
  // Makes every current and later WaitForCompletion return at once with
  // VFW_E_WRONG_STATE, and cancels a read in progress; used when the
  // capture is being closed.
  virtual void CancelWaits() = 0;
  // Posts an event code: EC_COMPLETE ends the stream as if it had reached
  // its end (WaitForCompletion returns it).
  virtual void Notify(int32_t eventCode) = 0;
};

using MediaPipelineFactory = std::function<std::unique_ptr<MediaPipeline>()>;

}  // namespace ombrelo
