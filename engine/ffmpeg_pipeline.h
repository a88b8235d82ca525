#pragma once
// The media pipeline on FFmpeg, put together from three rooms: the packet
// source (libavformat, with the key-frame index and an interruptible read),
// the frame decoder (libavcodec on its own threads) and the band converter
// (libswscale, top-down BGR24, only when a frame's pixels are asked for,
// after interlaced frames were made one picture of their first field).
// It is pulled by the capture thread and runs nothing by itself.
//
// What comes out is the picture as a person sees it: converted with the
// stream's colour matrix and range, turned upright by the stream's display
// rotation and stretched to the display aspect ratio of anamorphic video;
// the connected format gives the size that results. Times count from the
// file's start, as players show them (a video stream may start later).
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/media_pipeline.h"

namespace ombrelo {

// What a pipeline did, for benchmarks and tests. Shared between the
// pipelines that were given it.
struct PipelineCounters {
  std::atomic<int64_t> packetsRead{0};     // video packets read from the file
  std::atomic<int64_t> packetsSkipped{0};  // read but never decoded (seeking)
  std::atomic<int64_t> framesDecoded{0};   // frames handed out
  std::atomic<int64_t> prerollFrames{0};   // of these, marked preroll
  std::atomic<int64_t> framesConverted{0};
  std::atomic<int64_t> decodeErrors{0};  // packets or frames the decoder refused
  std::atomic<int64_t> seekFailures{0};  // repositionings the demuxer refused
  std::atomic<int64_t> seeks{0};         // repositionings of the demuxer
  std::atomic<int64_t> seeksSpared{0};   // positions reached by decoding on instead
};

struct FfmpegPipelineOptions {
  std::shared_ptr<PipelineCounters> counters;
  // Frames decoded only to reach a seek position skip what nothing refers
  // to (non-reference frames); the frames from the position on are exact.
  bool skipNonReferenceInPreroll = true;
  // Decoder threads; 0: FFmpeg's choice for pictures larger than 640 x 480,
  // one for smaller ones, whose frame threads cost more than they give.
  int threadCount = 0;
  // Threads converting a taken frame to BGR, each a band of its rows (the
  // result is the same as with one); 0: one per core.
  int convertThreads = 0;
  // HDR (PQ, HLG) and BT.2020 frames are tone-mapped to SDR BT.709 before
  // the conversion; off: their samples are converted as they are.
  bool toneMapHdr = true;
  // Names with "://" are read as network addresses (http, https, tcp);
  // off: every name is a local file's path.
  bool networkAddresses = false;
  // Interlaced frames are deinterlaced before the conversion (see
  // engine/deinterlace.h); off: both fields are converted as they are.
  // MediaPipeline::SetDeinterlace changes it later.
  bool deinterlace = true;
};

std::unique_ptr<MediaPipeline> MakeFfmpegPipeline(FfmpegPipelineOptions options = {});
// A factory for the capture engine whose pipelines all take these options
// (and so share their counters).
MediaPipelineFactory FfmpegPipelineFactory(FfmpegPipelineOptions options = {});

// Routes FFmpeg's own log (warnings and errors) into the debug output.
// Called by MakeFfmpegPipeline; safe to call more than once.
void RouteFfmpegLogToDebugOutput();

}  // namespace ombrelo
