#include "engine/capture_settings.h"

namespace ombrelo {

const std::vector<AdvancedSetting>& AdvancedSettingsTable() {
  using K = AdvancedSetting::Kind;
  using F = AdvancedSetting::Field;
  static const std::vector<AdvancedSetting> table = {
      {"LeastNofFrames", "Always create at least this number of frames from the video", K::integer,
       F::leastnofframes},
      {"Jpeg quality", "Jpeg image quality 1 (worst) - 100 (best), 85 recommended", K::integer,
       F::jpegquality},
      {"Scale factor",
       "Scale factor for screenshots on html pages and index photos. 1 = 100%, 0.5 = 50%. Should "
       "be "
       "larger than 0 and no more than 2",
       K::real, F::imagescale},
      {"CS Width Min",
       "Then smallest possible width in pixels of a generated contact sheet in pixels. If more "
       "space "
       "is needed the picture will be larger.",
       K::integer, F::contactsheetminwidth},
      {"CS Height Min",
       "Then smallest possible height in pixels of a generated contact sheet in pixels. If more "
       "space is needed the picture will be larger.",
       K::integer, F::contactsheetminheight},
      {"Name by frame",
       "Set to 1 to use frame number for thumbnail name instead of the frame time.", K::flag,
       F::namebyframe},
      {"Name by ImageNo",
       "Set to 1 to use integer sequence for the thumbnames. First saved image will have no "
       "extension at all.",
       K::flag, F::notimetag},
      {"Image format", "Capture to image format (0 - jpg, 1 - bmp).", K::integer, F::imageformat},
      {"Sample Duration",
       "Limit capture to a number of seconds after capture start (0 for the entire file)", K::real,
       F::sampleduration},
  };
  return table;
}

ScheduleResult ComputeSchedule(const CaptureSettings& settings, int64_t duration,
                               int64_t frameDuration, bool canSeek) {
  ScheduleResult result;
  SamplingSchedule& s = result.schedule;

  const int64_t T = frameDuration == 0 ? kDefaultFrameDuration : frameDuration;
  s.frameDuration = T;
  s.duration = duration;
  s.frameCount = duration / T;
  s.stopFrame = s.frameCount;
  s.durationSeconds = static_cast<double>(duration) / static_cast<double>(kUnitsPerSecond);

  int64_t first = 0;
  switch (settings.samplestart) {
    case CaptureSettings::fromBeginning:
      first = 0;
      break;
    case CaptureSettings::afterOneMinute:
      first = 600'000'000 / T;
      break;
    default:
      first = static_cast<int64_t>(settings.delaybeforefirst *
                                   static_cast<double>(kUnitsPerSecond) / static_cast<double>(T));
      break;
  }
  // Taken as the unsigned 32-bit number the schedule has always used, so that
  // a negative delay never makes every frame a sample.
  s.firstFrame = static_cast<uint32_t>(first);

  if (settings.sampleduration > 0) {
    s.stopFrame = s.firstFrame + static_cast<int64_t>(settings.sampleduration *
                                                      static_cast<double>(kUnitsPerSecond) /
                                                      static_cast<double>(T));
  }

  bool single = false;
  switch (settings.sampleperiod) {
    case CaptureSettings::everyFrame:
      s.period = 1;
      break;
    case CaptureSettings::everyMinute:
      s.period = 600'000'000 / T;
      break;
    default:
      if (settings.delaybetweensamples >= 0) {
        s.period =
            static_cast<int64_t>(settings.delaybetweensamples *
                                 static_cast<double>(kUnitsPerSecond) / static_cast<double>(T));
      } else {
        single = true;
      }
      break;
  }
  if (!single && s.period == 0) s.period = 1;

  int64_t count;
  if (single) {
    s.stopFrame = s.firstFrame;
    s.period = 0;
    count = 1;
  } else {
    count = (s.frameCount - s.firstFrame) / s.period;
  }
  result.count = count;

  s.leastFrames = static_cast<uint32_t>(settings.leastnofframes);
  // The comparison is signed, so a negative count is always below the least number.
  if (count < static_cast<int64_t>(s.leastFrames)) {
    const int64_t step = s.frameCount / (static_cast<int64_t>(s.leastFrames) + 1) + 1;
    s.firstFrame = step;
    s.period = step;
  }

  result.startPosition = s.firstFrame >= 300 ? s.firstFrame - 40 : s.firstFrame;

  s.seekAllowed = canSeek && s.period >= 90;
  s.seekAllowedAtOpen = s.seekAllowed;
  return result;
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
    frame += schedule.period;
  }
  return frames;
}

}  // namespace ombrelo
