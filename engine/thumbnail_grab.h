#pragma once
// One representative frame of a video, for a thumbnail a file manager shows:
// one seek toward a point inside the video (not its first frame, which is so
// often black or a logo), the key frame before the point when it lies past
// halfway to it (so that one frame is decoded, not the group of pictures up
// to the point), else the frame halfway; unless it is nearly one flat
// colour, then the next point. The frame comes out as the capture delivers
// frames: upright, in its display shape, HDR brought to SDR colours.
//
// Files from anywhere are read: everything, opening included, ends within a
// time limit, and a file that gives no frame is a failure with a reason.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/media_pipeline.h"

namespace ombrelo {

struct GrabOptions {
  // Where frames are looked for, as shares of the video's length, in order.
  std::vector<double> positions = {0.25, 0.5, 0.75, 0.1};
  // Videos that cannot seek (or do not know their length) are decoded from
  // the start, up to this many frames, for one that is not nearly flat.
  int framesWithoutSeeking = 100;
  // The whole grab ends within this time; no frame by then is a failure.
  std::chrono::milliseconds timeLimit{10'000};
  // The FFmpeg pipeline when empty.
  MediaPipelineFactory pipelineFactory;
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
