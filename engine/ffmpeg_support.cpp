#include "engine/ffmpeg_support.h"

#include <charconv>
#include <string_view>

namespace ombrelo::av {
namespace {

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
  const int64_t total = ((hours * 60 + minutes) * 60 + seconds) * kUnits.den + fraction;
  return total > 0 ? total : 0;
}

}  // namespace

int64_t VideoDuration(const AVFormatContext* format, const AVStream* stream, bool* fromStream) {
  if (fromStream) *fromStream = true;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
    return av_rescale_q(stream->duration, stream->time_base, kUnits);
  if (const int64_t tagged = TaggedDuration(stream); tagged > 0) return tagged;
  if (fromStream) *fromStream = false;
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    return av_rescale_q(format->duration, AV_TIME_BASE_Q, kUnits);
  return 0;
}

AVRational VideoFrameRate(AVFormatContext* format, AVStream* stream) {
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = av_guess_frame_rate(format, stream, nullptr);
  if (rate.num <= 0 || rate.den <= 0) return AVRational{0, 1};
  return rate;
}

int64_t AverageFrameDuration(AVFormatContext* format, AVStream* stream) {
  const AVRational rate = VideoFrameRate(format, stream);
  return rate.num > 0 ? av_rescale(kUnits.den, rate.den, rate.num) : 0;
}

}  // namespace ombrelo::av
