#include "tools/schedule/schedule_report.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>

#include "engine/capture_settings.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace ombrelo::tools {
namespace {

struct InputDeleter {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

constexpr AVRational kUnits = {1, static_cast<int>(kUnitsPerSecond)};

std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

// Matroska keeps each track's length as a "DURATION" tag, "h:mm:ss.nnnnnnnnn",
// rather than in a header field; 0 when there is none.
int64_t TaggedDuration(const AVStream* stream) {
  const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
  if (!tag) return 0;
  const std::string_view text = tag->value;
  const char* p = text.data();
  const char* end = p + text.size();
  int64_t hours = 0, minutes = 0, seconds = 0;
  auto field = [&](int64_t* value, char separator) {
    const auto result = std::from_chars(p, end, *value);
    if (result.ec != std::errc() || result.ptr == end || *result.ptr != separator) return false;
    p = result.ptr + 1;
    return true;
  };
  if (!field(&hours, ':') || !field(&minutes, ':') || !field(&seconds, '.')) return 0;
  int64_t fraction = 0;
  int digits = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (digits < 7) fraction = fraction * 10 + (*p - '0');
  }
  if (p != end || digits == 0 || minutes > 59 || seconds > 59) return 0;
  for (; digits < 7; ++digits) fraction *= 10;
  return ((hours * 60 + minutes) * 60 + seconds) * kUnitsPerSecond + fraction;
}

}  // namespace

bool ReadMovieTiming(const std::string& path, MovieTiming* timing, std::string* error) {
  *timing = MovieTiming{};
  AVFormatContext* raw = nullptr;
  int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
  if (rc < 0) {
    if (error) *error = "cannot open \"" + path + "\": " + AvError(rc);
    return false;
  }
  std::unique_ptr<AVFormatContext, InputDeleter> input(raw);
  rc = avformat_find_stream_info(input.get(), nullptr);
  if (rc < 0) {
    if (error) *error = "cannot read \"" + path + "\": " + AvError(rc);
    return false;
  }
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    if (error) *error = "\"" + path + "\" has no video stream";
    return false;
  }
  AVStream* stream = input->streams[index];
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    timing->duration = av_rescale_q(stream->duration, stream->time_base, kUnits);
    timing->durationFromStream = true;
  } else if (const int64_t tagged = TaggedDuration(stream); tagged > 0) {
    timing->duration = tagged;
    timing->durationFromStream = true;
  } else if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
    timing->duration = av_rescale_q(input->duration, AV_TIME_BASE_Q, kUnits);
  }
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = av_guess_frame_rate(input.get(), stream, nullptr);
  if (rate.num > 0 && rate.den > 0)
    timing->frameDuration = av_rescale(kUnitsPerSecond, rate.den, rate.num);
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
          (timing.durationFromStream ? "video stream" : "container") + ")\n";
  text += "Frame rate: " +
          Number(static_cast<double>(kUnitsPerSecond) / static_cast<double>(s.frameDuration)) +
          " fps (frame duration " + std::to_string(s.frameDuration) + " units" +
          (timing.frameDuration == 0 ? ", not given by the file" : "") + ")\n";
  text += "Frame count: " + std::to_string(s.frameCount) + "\n";
  text += "First frame: " + std::to_string(s.firstFrame) + "\n";
  text += "Period: " + std::to_string(s.period) + "\n";
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
