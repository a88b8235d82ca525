#pragma once
// When frames are taken from a video, how many at least, how thumbnails are
// named and stored, and the limits of the index photo; plus the sampling
// schedule the engine computes from them for one opened movie.
#include <cstdint>
#include <string>
#include <vector>

namespace ombrelo {

struct CaptureSettings {
  enum SampleStart : int32_t { fromBeginning = 0, afterOneMinute = 1, afterDelay = 3 };
  enum SamplePeriod : int32_t { everyFrame = 0, everyMinute = 1, everyDelay = 3 };
  enum ImageFormat : int32_t { jpg = 0, bmp = 1 };

  int32_t samplestart = afterDelay;    // any value other than 0 and 1 means afterDelay
  double delaybeforefirst = 60.0;      // seconds
  int32_t sampleperiod = everyDelay;   // any value other than 0 and 1 means everyDelay
  double sampleduration = 0.0;         // seconds after the first sample; <= 0: whole file
  int32_t imageformat = jpg;           // 1 = bmp, anything else = jpg
  double delaybetweensamples = 180.0;  // seconds; negative asks for a single sample
  int32_t leastnofframes = 1;
  int32_t jpegquality = 85;
  int32_t contactsheetminwidth = 320;
  int32_t contactsheetminheight = 256;
  bool namebyframe = false;
  bool notimetag = false;  // wins over namebyframe
  // Interlaced video (camcorders, broadcast recordings) is taken as one
  // picture of its first field instead of two combed fields.
  bool deinterlace = true;

  bool WritesBmp() const { return imageformat == bmp; }
  bool operator==(const CaptureSettings&) const = default;
};

// One row of the advanced settings dialog. The name is the setting's key;
// the user reads name and description through
// TranslateKept("CaptureSettings", ...).
struct AdvancedSetting {
  enum class Kind { integer, real, flag };  // flag: integer, any non-zero stores true
  const char* name;
  const char* description;
  Kind kind;
  // Which field the row edits. imagescale lives in the output settings.
  enum class Field {
    leastnofframes,
    jpegquality,
    imagescale,
    contactsheetminwidth,
    contactsheetminheight,
    namebyframe,
    notimetag,
    imageformat,
    sampleduration,
    deinterlace
  } field;
};

// The dialog's rows, in the order it shows them.
const std::vector<AdvancedSetting>& AdvancedSettingsTable();

// The numeric settings that the user or a file can set to any number, and
// the values each can be honoured with. The one place that knows them: the
// project file readers clamp into these ranges (a file with odd values
// still loads), while the command line and the settings editors refuse a
// value outside them with the text of RangeMessage.
enum class NumericSetting {
  delaybeforefirst,
  delaybetweensamples,
  sampleduration,
  leastnofframes,
  jpegquality,
  contactsheetminwidth,
  contactsheetminheight,
  imagescale,
  imageformat,
};

struct SettingRange {
  // As the settings page or the advanced settings dialog names the value.
  const char* label;
  double min;
  double max;
  // What a value that is not a number (NaN) becomes.
  double fallback;
  // Whole numbers only.
  bool integer;
  // The value must lie above min, not at it.
  bool minExclusive;

  // False for NaN.
  bool Contains(double value) const {
    return (minExclusive ? value > min : value >= min) && value <= max;
  }
};

const SettingRange& RangeOf(NumericSetting setting);

// "a whole number from 1 to 100", "a number larger than 0 and at most 2.1".
std::string DescribeRange(NumericSetting setting);

// "Jpeg quality must be a whole number from 1 to 100."
std::string RangeMessage(NumericSetting setting);

// value brought into the setting's range: NaN becomes the fallback, values
// below or above the range its nearest end. (An exclusive lower end is kept
// by the caller: see ClampToRanges and OutputSettings.)
double ClampToRange(NumericSetting setting, double value);

// The record with every numeric field that could not be honoured brought
// into its range: least number of frames 0 or less becomes 0, quality
// 1..100, delays and duration within 0..kMaxSeconds, contact sheet sizes at
// least 1 pixel. Two readings of the record stay as they are because they
// mean something: a negative delay between samples (a single sample) and an
// image format other than 0 or 1 (JPEG).
CaptureSettings ClampToRanges(CaptureSettings settings);

// Checks a value typed for one of the advanced settings dialog's rows (by
// its name, e.g. "Jpeg quality") or for "Start after" / "Save every". True
// with the number in *value when the text is a number of the row's kind
// within its range; else false with a message for the user in *message.
// Flags ("Name by frame") take any whole number.
bool ValidateAdvancedValue(const std::string& name, const std::string& text, double* value,
                           std::string* message);

// The longest delay, period or duration in seconds a schedule is computed
// with (more than eleven days).
constexpr double kMaxSeconds = 1'000'000.0;

// A frame's number in its movie: its time from the file's start in frames.
using FrameNumber = int64_t;

constexpr int64_t kUnitsPerSecond = 10'000'000;    // 100-ns units
constexpr int64_t kDefaultFrameDuration = 434782;  // 23 frames per second

struct SamplingSchedule {
  int64_t frameDuration = 0;  // 100-ns units
  int64_t duration = 0;       // 100-ns units
  double durationSeconds = 0;
  FrameNumber frameCount = 0;
  FrameNumber firstFrame = 0;  // becomes the next frame to take during the capture
  int64_t period = 0;          // 0 for a single-sample schedule
  // Time between samples in 100-ns units (at least one frame; 0 for a
  // single-sample schedule): samples fall on the frames nearest to it, so a
  // delay that is no whole number of frames does not drift.
  int64_t interval = 0;
  FrameNumber origin = 0;  // the first sample's frame, where the intervals count from
  FrameNumber stopFrame = 0;
  uint32_t leastFrames = 0;
  bool seekAllowed = false;
  bool seekAllowedAtOpen = false;
};

struct ScheduleResult {
  SamplingSchedule schedule;
  int64_t startPosition = 0;  // frame the graph is positioned to before it runs
  int64_t count = 0;          // samples counted in step 6 (before the least-frames rule)
};

// Computes the schedule of one opened movie from the engine's settings copy,
// the movie's duration and frame duration (100-ns units) and whether the
// graph can seek.
ScheduleResult ComputeSchedule(const CaptureSettings& settings, int64_t duration,
                               int64_t frameDuration, bool canSeek);

// The frame of the k-th sample (from 0): the frame nearest to origin +
// k x interval, which is origin + k x period whenever the interval is a whole
// number of frames.
FrameNumber SampleFrame(const SamplingSchedule& schedule, int64_t k);

// The first sample frame after `next` (the next one to take once the sample
// meant for `next` was taken); `next` itself for a single-sample schedule,
// the origin while `next` lies before it.
FrameNumber SampleAfter(const SamplingSchedule& schedule, FrameNumber next);

// How many intervals fit between the first sample and the last frame
// (frameCount - firstFrame frames): step 6's count, exact to the interval.
// Negative when the first sample lies past the end.
int64_t IntervalsUntilEnd(const SamplingSchedule& schedule);

// How many samples the schedule promises: its sample frames that lie before
// frameCount (a last one on it is taken only when the source delivers it)
// and not past stopFrame. 0 for a schedule without a length, which takes
// every frame there is.
int64_t PromisedSamples(const SamplingSchedule& schedule);

// More thumbnails of one video than this are asked for only knowingly: the
// settings page asks first, the indexer wants an option that allows them.
constexpr int64_t kManyThumbnails = 10'000;

// How many thumbnails the settings take from a video of that many seconds
// (at 25 frames per second when the frame rate is not known).
int64_t PredictedThumbnails(const CaptureSettings& settings, double seconds,
                            int64_t frameDuration = 400'000);

// The nominal frames the schedule samples (the sample frames from the
// first on, while not past stopFrame nor frameCount). For previews and
// tests; the run itself follows the engine.
std::vector<int64_t> NominalSampleFrames(const SamplingSchedule& schedule);

}  // namespace ombrelo
