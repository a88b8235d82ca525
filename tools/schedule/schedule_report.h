#pragma once
// What the indexing engine will do with a video under the default capture
// settings: its duration and frame duration as the engine sees them, and the
// sampling schedule computed from them.
#include <cstdint>
#include <string>

namespace ombrelo::tools {

struct MovieTiming {
  int64_t duration = 0;       // 100-ns units
  int64_t frameDuration = 0;  // 100-ns units; 0 when the file does not tell
  // The video stream's own duration (a header field, or Matroska's per-track
  // "DURATION" tag), not the container's, which also covers longer audio.
  bool durationFromStream = false;
  // The file does not state the length: it was measured by its last frame.
  bool durationScanned = false;
};

// Opens the file with libavformat and reads the video stream's timing.
// False with an error text when the file cannot be opened or has no video.
bool ReadMovieTiming(const std::string& path, MovieTiming* timing, std::string* error);

// The schedule of ComputeSchedule(CaptureSettings{}, duration, frameDuration, true) as text,
// one item a line, ending with the frames to take and their times.
std::string FormatSchedule(const MovieTiming& timing);

// h:mm:ss.mmm of a time in 100-ns units, rounded to the nearest millisecond.
std::string FormatTime(int64_t units);

}  // namespace ombrelo::tools
