#include "tools/schedule/schedule_report.h"

#include <charconv>
#include <cstdio>

#include "engine/capture_settings.h"
#include "engine/ffmpeg_support.h"
#include "engine/media_input.h"
#include "engine/stream_length.h"

namespace ombrelo::tools {
namespace {

std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

}  // namespace

bool ReadMovieTiming(const std::string& path, MovieTiming* timing, std::string* error) {
  *timing = MovieTiming{};
  InputRequest request;
  request.path = path;
  InputFailure failure;
  const av::FormatPtr input(OpenInput(request, &failure));
  if (!input) {
    if (error) *error = "cannot open \"" + path + "\": " + failure.reason;
    return false;
  }
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    if (error) *error = "\"" + path + "\" has no video stream";
    return false;
  }
  AVStream* stream = input->streams[index];
  timing->duration = av::VideoDuration(input.get(), stream, &timing->durationFromStream);
  // As the capture does: a length the file does not state is measured.
  if (av::LengthNeedsScan(input.get(), timing->duration, timing->durationFromStream)) {
    if (const int64_t scanned = av::ScanVideoEnd(input.get(), stream); scanned > 0) {
      timing->duration = scanned;
      timing->durationScanned = true;
    }
  }
  timing->frameDuration = av::AverageFrameDuration(input.get(), stream);
  return true;
}

std::string FormatTime(int64_t units) {
  if (units < 0) return "-" + FormatTime(-units);
  const int64_t ms = (units + 5000) / 10000;
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

std::string FormatSchedule(const MovieTiming& timing) {
  const ScheduleResult result =
      ComputeSchedule(CaptureSettings{}, timing.duration, timing.frameDuration, true);
  const SamplingSchedule& s = result.schedule;
  std::string text;
  text += "Duration: " + FormatTime(s.duration) + " (" + std::to_string(s.duration) + " units, " +
          (timing.durationScanned      ? "its last frame"
           : timing.durationFromStream ? "video stream"
                                       : "container") +
          ")\n";
  text += "Frame rate: " +
          Number(static_cast<double>(kUnitsPerSecond) / static_cast<double>(s.frameDuration)) +
          " fps (frame duration " + std::to_string(s.frameDuration) + " units" +
          (timing.frameDuration == 0 ? ", not given by the file" : "") + ")\n";
  text += "Frame count: " + std::to_string(s.frameCount) + "\n";
  text += "First frame: " + std::to_string(s.firstFrame) + "\n";
  text += "Period: " + std::to_string(s.period) + "\n";
  text += "Interval: " + Number(static_cast<double>(s.interval) / kUnitsPerSecond) + " s\n";
  text += "Stop frame: " + std::to_string(s.stopFrame) + "\n";
  text += "Start position: " + std::to_string(result.startPosition) + "\n";
  text += std::string("Seeking: ") + (s.seekAllowed ? "yes" : "no") + "\n";
  std::string lines;
  int count = 0;
  for (int64_t frame : NominalSampleFrames(s)) {
    if (frame >= s.frameCount) continue;
    lines += "  " + std::to_string(frame) + "  " + FormatTime(frame * s.frameDuration) + "\n";
    ++count;
  }
  text += "Frames to take: " + std::to_string(count) + "\n" + lines;
  return text;
}

}  // namespace ombrelo::tools
