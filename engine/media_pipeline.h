#pragma once
// The media pipeline the capture engine drives: it reads a file, decodes its
// video, converts frames to 24-bit BGR on request and hands every decoded
// frame to the engine's sample callback on a streaming thread of its own.
//
// The interface is shaped after the steps the engine takes to build and run
// a capture graph (grabber, source, connection, control parts, positioning,
// run/pause/stop, completion), so that the engine can report every step's
// result code and release what it holds in a fixed order. FfmpegPipeline is
// the real implementation; tests drive the engine with a scripted one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/bitmap_header.h"
#include "platform/result_codes.h"

namespace ombrelo {

// Event codes reported by WaitForCompletion.
constexpr int32_t EC_COMPLETE = 0x01;
constexpr int32_t EC_USERABORT = 0x02;
constexpr int32_t EC_ERRORABORT = 0x03;

// Seeking capabilities (GetCapabilities).
constexpr uint32_t AM_SEEKING_CanSeekAbsolute = 0x001;
constexpr uint32_t AM_SEEKING_CanSeekForwards = 0x002;
constexpr uint32_t AM_SEEKING_CanSeekBackwards = 0x004;
constexpr uint32_t AM_SEEKING_CanGetCurrentPos = 0x008;
constexpr uint32_t AM_SEEKING_CanGetStopPos = 0x010;
constexpr uint32_t AM_SEEKING_CanGetDuration = 0x100;

// Where the bitmap header of a connected type lies.
enum class FormatType { none, videoInfo, videoInfo2, mpeg2Video };

// The pipeline's run state.
enum class FilterState { stopped = 0, paused = 1, running = 2 };

// The parts of a built pipeline that the engine holds and releases one by one.
enum class GraphPart {
  graph,
  grabberFilter,
  grabber,
  sourceFilter,
  nullRenderer,
  mediaFilter,
  mediaControl,
  mediaEvent,
  mediaSeeking,
};

const char* GraphPartName(GraphPart part);

// The format the grabber's input is connected with.
struct ConnectedType {
  FormatType formatType = FormatType::none;
  BitmapInfoHeader header;      // 24-bit BGR, bottom-up, rows padded to 4 bytes
  int64_t avgTimePerFrame = 0;  // 100-ns units, 0 when unknown
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

  // Building, in the order the engine calls the steps.
  virtual HResult CreateGrabber() = 0;
  virtual HResult QueryGrabber() = 0;
  virtual HResult AddGrabber(const std::string& name) = 0;
  // Opens the file. Only S_OK counts as success.
  virtual HResult AddSourceFilter(const std::string& path, const std::string& name) = 0;
  // Asks for video in 24-bit RGB (BGR byte order).
  virtual HResult SetMediaTypeRgb24() = 0;
  // Finds the video stream and its decoder. VFW_E_CANNOT_CONNECT when the
  // file has no video stream that can be decoded.
  virtual HResult ConnectSourceToGrabber() = 0;
  // Terminates the grabber's output; nothing depends on the result.
  virtual HResult AddNullRenderer(const std::string& name) = 0;
  virtual void SetFrameCallback(SampleCallback callback) = 0;
  // mediaFilter, mediaControl, mediaEvent or mediaSeeking.
  virtual HResult QueryControl(GraphPart part) = 0;
  // Runs without a reference clock: frames come as fast as they decode.
  virtual HResult SetSyncSourceNone() = 0;
  virtual HResult QueryConnectedType(ConnectedType* type) = 0;

  // Seeking.
  virtual HResult GetDuration(int64_t* duration) = 0;  // 100-ns units
  virtual HResult GetCapabilities(uint32_t* capabilities) = 0;
  // S_OK when positions are frame numbers, S_FALSE when they are 100-ns units.
  virtual HResult IsUsingFrameTimeFormat() = 0;
  // Absolute positioning of the current position; no stop position. Frames
  // before the position that must be decoded to reach it are marked preroll.
  // `wanted` (at or after `current`) is the first frame the caller really
  // needs: the frames between are only looked at, so the pipeline may begin
  // at the key frame before `wanted` when that lies at or after `current`,
  // and may leave out what those frames alone would need. Frames from
  // `wanted` on are exact.
  virtual HResult SetPositions(int64_t current, int64_t wanted) = 0;

  // Control.
  virtual HResult Run() = 0;
  virtual HResult Pause() = 0;
  virtual HResult Stop() = 0;
  virtual HResult GetState(int64_t timeoutMs, FilterState* state) = 0;

  // Events. Waits until the stream has ended (S_OK, EC_COMPLETE) or an
  // error ended it (S_OK, EC_ERRORABORT); E_ABORT when the time ran out;
  // VFW_E_WRONG_STATE when the pipeline is not running.
  virtual HResult WaitForCompletion(int64_t timeoutMs, int32_t* eventCode) = 0;
  // Makes every current and later WaitForCompletion return at once with
  // VFW_E_WRONG_STATE; used when the capture is being closed.
  virtual void CancelWaits() = 0;
  // Posts an event code to the pipeline's event queue: EC_COMPLETE ends the
  // stream as if it had reached its end (WaitForCompletion returns it).
  virtual void Notify(int32_t eventCode) = 0;

  // Tearing down.
  // Ends pending operations: cancels blocking reads and stops streaming.
  virtual HResult Abort() = 0;
  virtual HResult RemoveGrabber() = 0;
  virtual void Release(GraphPart part) = 0;
};

using MediaPipelineFactory = std::function<std::unique_ptr<MediaPipeline>()>;

}  // namespace ombrelo
