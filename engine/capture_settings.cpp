#include "engine/capture_settings.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/translate.h"

namespace ombrelo {

const std::vector<AdvancedSetting>& AdvancedSettingsTable() {
  using K = AdvancedSetting::Kind;
  using F = AdvancedSetting::Field;
  static const std::vector<AdvancedSetting> table = {
      {QT_TRANSLATE_NOOP("CaptureSettings", "LeastNofFrames"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Always create at least this number of frames from the video"),
       K::integer, F::leastnofframes},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Jpeg quality"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Jpeg image quality 1 (worst) - 100 (best), 85 recommended"),
       K::integer, F::jpegquality},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Scale factor"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Scale factor for screenshots on html pages and index photos. 1 = 100%, "
                         "0.5 = 50%. Should be larger than 0 and no more than 2"),
       K::real, F::imagescale},
      {QT_TRANSLATE_NOOP("CaptureSettings", "CS Width Min"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Then smallest possible width in pixels of a generated contact sheet in "
                         "pixels. If more space is needed the picture will be larger."),
       K::integer, F::contactsheetminwidth},
      {QT_TRANSLATE_NOOP("CaptureSettings", "CS Height Min"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Then smallest possible height in pixels of a generated contact sheet in "
                         "pixels. If more space is needed the picture will be larger."),
       K::integer, F::contactsheetminheight},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Name by frame"),
       QT_TRANSLATE_NOOP(
           "CaptureSettings",
           "Set to 1 to use frame number for thumbnail name instead of the frame time."),
       K::flag, F::namebyframe},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Name by ImageNo"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Set to 1 to use integer sequence for the thumbnames. First saved image "
                         "will have no extension at all."),
       K::flag, F::notimetag},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Image format"),
       QT_TRANSLATE_NOOP("CaptureSettings", "Capture to image format (0 - jpg, 1 - bmp)."),
       K::integer, F::imageformat},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Sample Duration"),
       QT_TRANSLATE_NOOP(
           "CaptureSettings",
           "Limit capture to a number of seconds after capture start (0 for the entire file)"),
       K::real, F::sampleduration},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Deinterlace"),
       QT_TRANSLATE_NOOP("CaptureSettings",
                         "Set to 0 to take frames of interlaced video (camcorders, TV recordings) "
                         "with both fields as they are, which shows combed edges wherever "
                         "something moves. 1 makes each such frame one clean picture."),
       K::flag, F::deinterlace},
  };
  return table;
}

const SettingRange& RangeOf(NumericSetting setting) {
  // Indexed by NumericSetting.
  static const SettingRange ranges[] = {
      {QT_TRANSLATE_NOOP("CaptureSettings", "Start after"), 0, kMaxSeconds, 60.0, false, false},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Save every"), 0, kMaxSeconds, 180.0, false, false},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Sample Duration"), 0, kMaxSeconds, 0.0, false, false},
      {QT_TRANSLATE_NOOP("CaptureSettings", "LeastNofFrames"), 0, 1'000'000, 1, true, false},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Jpeg quality"), 1, 100, 85, true, false},
      // Larger pages are possible (the sheet grows with its thumbnails); the
      // minimum only sets the first view.
      {QT_TRANSLATE_NOOP("CaptureSettings", "CS Width Min"), 1, 16384, 320, true, false},
      {QT_TRANSLATE_NOOP("CaptureSettings", "CS Height Min"), 1, 16384, 256, true, false},
      // The output settings use 1 in place of a factor outside this range.
      {QT_TRANSLATE_NOOP("CaptureSettings", "Scale factor"), 0, 2.1, 1.0, false, true},
      {QT_TRANSLATE_NOOP("CaptureSettings", "Image format"), 0, 1, 0, true, false},
  };
  return ranges[static_cast<int>(setting)];
}

namespace {

// Bounds as people write them: 100, 2.1, 1000000.
std::string FormatBound(double value) {
  char text[32];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%" PRId64, static_cast<int64_t>(value));
  } else {
    std::snprintf(text, sizeof text, "%g", value);
  }
  return text;
}

// The whole text as one number (blanks around it allowed), whatever the
// locale says.
bool ParseNumber(const std::string& text, bool integer, double* value) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const size_t last = text.find_last_not_of(" \t");
  const char* begin = text.data() + first;
  const char* end = text.data() + last + 1;
  if (*begin == '+') ++begin;
  if (integer) {
    int64_t number = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || ptr != end) return false;
    if (number < INT32_MIN || number > INT32_MAX) return false;
    *value = static_cast<double>(number);
    return true;
  }
  const auto [ptr, ec] = std::from_chars(begin, end, *value);
  return ec == std::errc() && ptr == end && std::isfinite(*value);
}

// The dialog rows and the page's two fields that a name stands for.
bool FindSetting(const std::string& name, NumericSetting* setting, bool* flag) {
  *flag = false;
  for (const AdvancedSetting& row : AdvancedSettingsTable()) {
    if (name != row.name) continue;
    if (row.kind == AdvancedSetting::Kind::flag) {
      *flag = true;
      return true;
    }
  }
  for (int i = 0; i <= static_cast<int>(NumericSetting::imageformat); ++i) {
    if (name == RangeOf(static_cast<NumericSetting>(i)).label) {
      *setting = static_cast<NumericSetting>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string DescribeRange(NumericSetting setting) {
  const SettingRange& range = RangeOf(setting);
  const std::string min = FormatBound(range.min);
  const std::string max = FormatBound(range.max);
  if (range.minExclusive) {
    return FillIn(range.integer
                      ? Translate("CaptureSettings", "a whole number larger than %1 and at most %2")
                      : Translate("CaptureSettings", "a number larger than %1 and at most %2"),
                  {min, max});
  }
  return FillIn(range.integer ? Translate("CaptureSettings", "a whole number from %1 to %2")
                              : Translate("CaptureSettings", "a number from %1 to %2"),
                {min, max});
}

std::string RangeMessage(NumericSetting setting) {
  return FillIn(Translate("CaptureSettings", "%1 must be %2.", "a setting and its range"),
                {TranslateKept("CaptureSettings", RangeOf(setting).label), DescribeRange(setting)});
}

double ClampToRange(NumericSetting setting, double value) {
  const SettingRange& range = RangeOf(setting);
  if (std::isnan(value)) return range.fallback;
  return std::clamp(value, range.min, range.max);
}

CaptureSettings ClampToRanges(CaptureSettings s) {
  const auto clampInt = [](NumericSetting setting, int32_t& field) {
    field = static_cast<int32_t>(ClampToRange(setting, field));
  };
  s.delaybeforefirst = ClampToRange(NumericSetting::delaybeforefirst, s.delaybeforefirst);
  // A negative delay between samples asks for a single sample.
  if (!(s.delaybetweensamples < 0)) {
    s.delaybetweensamples =
        ClampToRange(NumericSetting::delaybetweensamples, s.delaybetweensamples);
  }
  s.sampleduration = ClampToRange(NumericSetting::sampleduration, s.sampleduration);
  clampInt(NumericSetting::leastnofframes, s.leastnofframes);
  clampInt(NumericSetting::jpegquality, s.jpegquality);
  clampInt(NumericSetting::contactsheetminwidth, s.contactsheetminwidth);
  clampInt(NumericSetting::contactsheetminheight, s.contactsheetminheight);
  return s;
}

bool ValidateAdvancedValue(const std::string& name, const std::string& text, double* value,
                           std::string* message) {
  NumericSetting setting{};
  bool flag = false;
  if (!FindSetting(name, &setting, &flag)) {
    *message = FillIn(Translate("CaptureSettings", "Unknown setting %1."), {name});
    return false;
  }
  const bool integer = flag || RangeOf(setting).integer;
  double number = 0;
  if (!ParseNumber(text, integer, &number)) {
    const std::string shown = TranslateKept("CaptureSettings", name.c_str());
    *message = FillIn(integer ? Translate("CaptureSettings", "%1 needs a whole number.")
                              : Translate("CaptureSettings", "%1 needs a number."),
                      {shown});
    return false;
  }
  if (!flag && !RangeOf(setting).Contains(number)) {
    *message = RangeMessage(setting);
    return false;
  }
  *value = number;
  return true;
}

namespace {

// The whole frames in a span of `units` (100-ns units) at a frame duration of
// T. T is rounded to whole units (1/60 s is 166,667), so a span that is a
// whole number of frames can come out a hair short of it: 1 s at 60 fps is
// 59.9998 frames, and truncating it would put the first sample of "after
// 1 s" one frame early and count 1,199 frames in a 20 s video of 1,200. The
// rounding of T adds at most half a unit a frame, so a span within that of
// a frame's start reaches that frame.
int64_t FramesIn(int64_t units, int64_t T) {
  if (units <= 0) return units / T;
  return static_cast<int64_t>((static_cast<__int128>(units) + units / (2 * T) + 1) / T);
}

int64_t FramesIn(double seconds, int64_t T) {
  return FramesIn(
      static_cast<int64_t>(std::llround(seconds * static_cast<double>(kUnitsPerSecond))), T);
}

}  // namespace

ScheduleResult ComputeSchedule(const CaptureSettings& requested, int64_t duration,
                               int64_t frameDuration, bool canSeek) {
  // Whoever filled the record, a value that cannot be honoured (a negative
  // least number of frames, a delay of 1e300 s) never reaches the arithmetic.
  const CaptureSettings settings = ClampToRanges(requested);
  ScheduleResult result;
  SamplingSchedule& s = result.schedule;

  const int64_t T = frameDuration == 0 ? kDefaultFrameDuration : frameDuration;
  s.frameDuration = T;
  s.duration = duration;
  s.frameCount = FramesIn(duration, T);
  s.stopFrame = s.frameCount;
  s.durationSeconds = static_cast<double>(duration) / static_cast<double>(kUnitsPerSecond);

  int64_t first = 0;
  switch (settings.samplestart) {
    case CaptureSettings::fromBeginning:
      first = 0;
      break;
    case CaptureSettings::afterOneMinute:
      first = FramesIn(int64_t{600'000'000}, T);
      break;
    default:
      first = FramesIn(settings.delaybeforefirst, T);
      break;
  }
  // A first frame past what the field holds lies past the end of any movie.
  s.firstFrame = std::clamp<FrameNumber>(first, 0, UINT32_MAX);

  if (settings.sampleduration > 0) {
    s.stopFrame = s.firstFrame + FramesIn(settings.sampleduration, T);
  }

  bool single = false;
  int64_t interval = 0;
  switch (settings.sampleperiod) {
    case CaptureSettings::everyFrame:
      s.period = 1;
      interval = T;
      break;
    case CaptureSettings::everyMinute:
      s.period = FramesIn(int64_t{600'000'000}, T);
      interval = 600'000'000;
      break;
    default:
      if (settings.delaybetweensamples >= 0) {
        s.period = FramesIn(settings.delaybetweensamples, T);
        // Within kMaxSeconds: the product fits.
        interval =
            std::llround(settings.delaybetweensamples * static_cast<double>(kUnitsPerSecond));
      } else {
        single = true;
      }
      break;
  }
  if (!single && s.period == 0) s.period = 1;
  // Never two samples on one frame: less than a frame apart means every frame.
  s.interval = single ? 0 : std::max(interval, T);
  s.origin = s.firstFrame;

  int64_t count;
  if (single) {
    s.stopFrame = s.firstFrame;
    s.period = 0;
    count = 1;
  } else {
    count = IntervalsUntilEnd(s);
  }
  result.count = count;

  s.leastFrames = static_cast<uint32_t>(settings.leastnofframes);
  // The comparison is signed, so a negative count is always below the least number.
  if (count < static_cast<int64_t>(s.leastFrames)) {
    const int64_t step = s.frameCount / (static_cast<int64_t>(s.leastFrames) + 1) + 1;
    s.firstFrame = step;
    s.period = step;
    s.interval = step * T;
    s.origin = step;
  }

  result.startPosition = s.firstFrame >= 300 ? s.firstFrame - 40 : s.firstFrame;

  s.seekAllowed = canSeek && s.period >= 90;
  s.seekAllowedAtOpen = s.seekAllowed;
  return result;
}

FrameNumber SampleFrame(const SamplingSchedule& schedule, int64_t k) {
  if (schedule.interval <= 0 || schedule.frameDuration <= 0) return schedule.origin;
  // Rounded to the nearest frame, halves up; in 128 bits, as k x interval
  // may pass 64 for a k far past the end of any movie.
  const __int128 twice = static_cast<__int128>(2) * k * schedule.interval + schedule.frameDuration;
  return schedule.origin +
         static_cast<FrameNumber>(twice / (static_cast<__int128>(2) * schedule.frameDuration));
}

FrameNumber SampleAfter(const SamplingSchedule& schedule, FrameNumber next) {
  if (schedule.period == 0 || schedule.interval <= 0) return next;
  if (next < schedule.origin) return schedule.origin;
  // The interval is at least one frame, so the estimate is off by one sample at most.
  int64_t k = static_cast<int64_t>(static_cast<__int128>(next - schedule.origin) *
                                   schedule.frameDuration / schedule.interval);
  while (k > 0 && SampleFrame(schedule, k - 1) > next) --k;
  while (SampleFrame(schedule, k) <= next) ++k;
  return SampleFrame(schedule, k);
}

int64_t IntervalsUntilEnd(const SamplingSchedule& schedule) {
  if (schedule.interval <= 0) return 0;
  // Truncated toward zero, as (frameCount - firstFrame) / period is.
  return static_cast<int64_t>(static_cast<__int128>(schedule.frameCount - schedule.firstFrame) *
                              schedule.frameDuration / schedule.interval);
}

int64_t PromisedSamples(const SamplingSchedule& schedule) {
  if (schedule.stopFrame == 0) return 0;
  const FrameNumber last = std::min(schedule.frameCount - 1, schedule.stopFrame);
  if (schedule.period == 0 || schedule.interval <= 0)
    return schedule.origin <= last && schedule.origin >= 0 ? 1 : 0;
  if (schedule.origin > last) return 0;
  int64_t k = static_cast<int64_t>(static_cast<__int128>(last - schedule.origin) *
                                   schedule.frameDuration / schedule.interval);
  while (SampleFrame(schedule, k + 1) <= last) ++k;
  while (k >= 0 && SampleFrame(schedule, k) > last) --k;
  return k + 1;
}

int64_t PredictedThumbnails(const CaptureSettings& settings, double seconds,
                            int64_t frameDuration) {
  if (!(seconds > 0)) return 0;
  const double units = std::min(seconds, kMaxSeconds) * static_cast<double>(kUnitsPerSecond);
  const ScheduleResult result =
      ComputeSchedule(settings, static_cast<int64_t>(units), frameDuration, true);
  return PromisedSamples(result.schedule);
}

std::vector<int64_t> NominalSampleFrames(const SamplingSchedule& schedule) {
  std::vector<int64_t> frames;
  int64_t frame = schedule.firstFrame;
  if (schedule.period == 0) {
    if (frame <= schedule.frameCount) frames.push_back(frame);
    return frames;
  }
  while (frame <= schedule.frameCount && frame <= schedule.stopFrame) {
    frames.push_back(frame);
    frame = SampleAfter(schedule, frame);
  }
  return frames;
}

}  // namespace ombrelo
