#pragma once
// One representative frame of a video, for a thumbnail a file manager shows:
// the key frame at or after a point inside the video (not its first frame,
// which is so often black or a logo), decoded alone and at the least cost the
// decoder allows; when it is nearly one flat colour, the key frame after it,
// then the next point. A video with no key frame after a point gives the key
// frame before it. The frame comes out upright, in its display shape, HDR
// brought to SDR colours, converted once straight to the size asked for.
//
// Files from anywhere are read: everything, opening included, ends within a
// time limit, and a file that gives no frame is a failure with a reason. A
// frame decoded without the pictures it refers to is never taken.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ombrelo {

struct PipelineCounters;

struct GrabOptions {
  // Where frames are looked for, as shares of the video's length, in order.
  std::vector<double> positions = {0.25, 0.5, 0.75, 0.1};
  // Videos that cannot seek (or do not know their length), or whose key
  // frames are all flat, are decoded from the start, up to this many
  // frames, for one that is not nearly flat.
  int framesWithoutSeeking = 100;
  // The whole grab ends within this time; no frame by then is a failure.
  std::chrono::milliseconds timeLimit{10'000};
  // The longer side of the picture at most this many pixels (never
  // enlarged); 0: the display size.
  int maxSize = 0;
  // HDR (PQ, HLG) and BT.2020 frames are tone-mapped to SDR BT.709.
  bool toneMapHdr = true;
  // Interlaced frames become one picture of their first field.
  bool deinterlace = true;
  // What the grab read, decoded and converted, when given.
  std::shared_ptr<PipelineCounters> counters;
};

struct GrabbedFrame {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // rows top-down, width * 3 bytes each
  int64_t time = 0;          // 100-ns units from the video's start
  bool flat = false;         // nearly one colour: no better frame was found
};

struct GrabResult {
  bool ok = false;
  std::string error;  // why there is no frame
  GrabbedFrame frame;
};

GrabResult GrabRepresentativeFrame(const std::string& path, const GrabOptions& options = {});

}  // namespace ombrelo
