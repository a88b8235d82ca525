#pragma once
// Frames of a video as the ffmpeg command converts them: the reference that
// colour tests compare the engine's pictures with.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/debug_capture.h"

namespace ombrelo::testing {

// FFmpeg's usual way from HDR to SDR BT.709: display light with white at
// 100 cd/m2, BT.709 primaries, the Hable curve up to the peak the frame's
// metadata gives, BT.709's transfer (each filter ends with a comma).
inline constexpr const char* kFfmpegToneMap =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=pc,format=gbrp,";

// Frame `frame` (counted from 0) after `filters`, as top-down BGR rows; ""
// when ffmpeg fails.
inline std::string FfmpegFrame(const std::string& path, int64_t frame, const std::string& filters) {
  const TempFolder folder("ffmpeg-reference");
  const std::string out = folder / "frame.bgr";
  const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -vf 'select=eq(n\\," +
                              std::to_string(frame) + ")," + filters +
                              "format=bgr24' -frames:v 1 -f rawvideo -y '" + out + "'";
  return std::system(command.c_str()) == 0 ? ReadFileBytes(out) : "";
}

}  // namespace ombrelo::testing
