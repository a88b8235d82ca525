#include "engine/capture_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ombrelo {
namespace {

constexpr int64_t k25fps = 400'000;
constexpr int64_t kTenMinutes = 6'000'000'000;
constexpr int64_t kTwoMinutes = 1'200'000'000;

TEST(CaptureSettings, DefaultsAreTheDocumentedOnes) {
  const CaptureSettings s;
  EXPECT_EQ(s.samplestart, 3);
  EXPECT_EQ(s.delaybeforefirst, 60.0);
  EXPECT_EQ(s.sampleperiod, 3);
  EXPECT_EQ(s.sampleduration, 0.0);
  EXPECT_EQ(s.imageformat, 0);
  EXPECT_EQ(s.delaybetweensamples, 180.0);
  EXPECT_EQ(s.leastnofframes, 1);
  EXPECT_EQ(s.jpegquality, 85);
  EXPECT_EQ(s.contactsheetminwidth, 320);
  EXPECT_EQ(s.contactsheetminheight, 256);
  EXPECT_FALSE(s.namebyframe);
  EXPECT_FALSE(s.notimetag);
}

TEST(SamplingSchedule, WorkedExamplesAt25fps) {
  CaptureSettings s;
  {
    const auto r = ComputeSchedule(s, kTenMinutes, k25fps, true);
    EXPECT_EQ(r.schedule.frameCount, 15000);
    EXPECT_EQ(r.schedule.firstFrame, 1500);
    EXPECT_EQ(r.schedule.period, 4500);
    EXPECT_EQ(r.schedule.stopFrame, 15000);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.startPosition, 1460);
    EXPECT_TRUE(r.schedule.seekAllowed);
    EXPECT_TRUE(r.schedule.seekAllowedAtOpen);
    EXPECT_EQ(NominalSampleFrames(r.schedule), (std::vector<int64_t>{1500, 6000, 10500, 15000}));
  }
  {
    const auto r = ComputeSchedule(s, kTwoMinutes, k25fps, true);
    EXPECT_EQ(r.schedule.firstFrame, 1501);
    EXPECT_EQ(r.schedule.period, 1501);
    EXPECT_EQ(r.schedule.stopFrame, 3000);
    EXPECT_EQ(NominalSampleFrames(r.schedule), (std::vector<int64_t>{1501}));
  }
  {
    s.leastnofframes = 4;
    const auto r = ComputeSchedule(s, kTwoMinutes, k25fps, true);
    EXPECT_EQ(NominalSampleFrames(r.schedule), (std::vector<int64_t>{601, 1202, 1803, 2404}));
    EXPECT_EQ(r.schedule.leastFrames, 4u);
  }
}

TEST(SamplingSchedule, ZeroFrameDurationMeans23fps) {
  const auto r = ComputeSchedule(CaptureSettings{}, kTenMinutes, 0, true);
  EXPECT_EQ(r.schedule.frameDuration, kDefaultFrameDuration);
  EXPECT_EQ(r.schedule.frameCount, kTenMinutes / kDefaultFrameDuration);
  EXPECT_EQ(r.schedule.firstFrame, static_cast<FrameNumber>(60.0 * 1e7 / kDefaultFrameDuration));
}

TEST(SamplingSchedule, StartBeyondTheEnd) {
  CaptureSettings s;
  s.delaybeforefirst = 1000;  // past the two-minute movie
  auto r = ComputeSchedule(s, kTwoMinutes, k25fps, true);
  EXPECT_LT(r.count, 0);
  EXPECT_EQ(r.schedule.firstFrame, 3000 / 2 + 1);

  s.leastnofframes = 0;
  r = ComputeSchedule(s, kTwoMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.firstFrame, 3001);
  EXPECT_TRUE(NominalSampleFrames(r.schedule).empty());
}

TEST(SamplingSchedule, NegativeDelayGivesOneSample) {
  CaptureSettings s;
  s.delaybetweensamples = -1;
  auto r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.period, 0);
  EXPECT_EQ(r.schedule.stopFrame, 1500);
  EXPECT_EQ(r.count, 1);
  EXPECT_FALSE(r.schedule.seekAllowed);
  EXPECT_EQ(NominalSampleFrames(r.schedule), (std::vector<int64_t>{1500}));

  s.leastnofframes = 3;  // the least-frames rule still moves first frame and period
  r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.firstFrame, 15000 / 4 + 1);
  EXPECT_EQ(r.schedule.period, 15000 / 4 + 1);
  EXPECT_EQ(r.schedule.stopFrame, 1500);
}

TEST(SamplingSchedule, DurationLimitAndPeriodKinds) {
  CaptureSettings s;
  s.sampleduration = 30;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).schedule.stopFrame, 1500 + 750);
  s.sampleduration = -5;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).schedule.stopFrame, 15000);

  s = CaptureSettings{};
  s.sampleperiod = CaptureSettings::everyFrame;
  auto r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.period, 1);
  EXPECT_FALSE(r.schedule.seekAllowed);

  s.sampleperiod = CaptureSettings::everyMinute;
  s.samplestart = CaptureSettings::afterOneMinute;
  s.delaybeforefirst = 5;  // ignored for afterOneMinute
  r = ComputeSchedule(s, kTenMinutes, k25fps, false);
  EXPECT_EQ(r.schedule.firstFrame, 1500);
  EXPECT_EQ(r.schedule.period, 1500);
  EXPECT_FALSE(r.schedule.seekAllowed);  // the graph cannot seek

  s.samplestart = CaptureSettings::fromBeginning;
  s.sampleperiod = 7;            // unknown values mean every delay
  s.delaybetweensamples = 0.01;  // rounds to period 0, which becomes 1
  r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.firstFrame, 0);
  EXPECT_EQ(r.schedule.period, 1);
}

TEST(SamplingSchedule, FramesThatLastNoWholeNumberOfUnitsAreCountedWhole) {
  // At 60 fps a frame lasts 166,667 units, a hair more than 1/60 s: 1 s is
  // still frame 60 and 20 s still 1,200 frames, as a player counts them.
  CaptureSettings s;
  s.delaybeforefirst = 1;
  s.delaybetweensamples = 4;
  const auto r = ComputeSchedule(s, 200'000'000, 166'667, true);
  EXPECT_EQ(r.schedule.frameCount, 1200);
  EXPECT_EQ(r.schedule.firstFrame, 60);
  EXPECT_EQ(NominalSampleFrames(r.schedule), (std::vector<int64_t>{60, 300, 540, 780, 1020}));
  // A start between two frames still takes the frame before it.
  s.delaybeforefirst = 1.01;
  EXPECT_EQ(ComputeSchedule(s, 200'000'000, 166'667, true).schedule.firstFrame, 60);
}

TEST(SamplingSchedule, DelaysOfNoWholeNumberOfFramesDoNotDrift) {
  {
    SCOPED_TRACE("every 0.5 s at 25 fps: 12.5 frames apart, not 12");
    CaptureSettings s;
    s.delaybeforefirst = 1.5;
    s.delaybetweensamples = 0.5;
    const auto r = ComputeSchedule(s, kTenMinutes, k25fps, true);
    EXPECT_EQ(r.schedule.firstFrame, 37);
    EXPECT_EQ(r.schedule.period, 12);
    EXPECT_EQ(r.count, 1197);  // the intervals that fit; 1246 at whole frames
    const std::vector<int64_t> frames = NominalSampleFrames(r.schedule);
    ASSERT_EQ(frames.size(), 1198u);
    EXPECT_EQ(std::vector<int64_t>(frames.begin(), frames.begin() + 5),
              (std::vector<int64_t>{37, 50, 62, 75, 87}));
    for (size_t k = 0; k < frames.size(); ++k) {
      // Each sample is the frame nearest to the time asked for.
      const double asked = 37 * 0.04 + 0.5 * static_cast<double>(k);
      ASSERT_LE(std::fabs(static_cast<double>(frames[k]) * 0.04 - asked), 0.02 + 1e-9) << k;
    }
    EXPECT_EQ(frames.back(), 15000);
    EXPECT_EQ(PromisedSamples(r.schedule), 1197);
  }
  {
    SCOPED_TRACE("every second at 29.97 fps for an hour");
    const int64_t ntsc = 333'667;
    CaptureSettings s;
    s.samplestart = CaptureSettings::fromBeginning;
    s.delaybetweensamples = 1;
    const auto r = ComputeSchedule(s, int64_t{3600} * kUnitsPerSecond, ntsc, true);
    const std::vector<int64_t> frames = NominalSampleFrames(r.schedule);
    // 0 s to 3600 s, the last on the final frame (taken only when the
    // source delivers it); 3721 at 29 frames apart.
    ASSERT_EQ(frames.size(), 3601u);
    EXPECT_EQ(PromisedSamples(r.schedule), 3600);
    EXPECT_NEAR(static_cast<double>(frames[3599] * ntsc) / kUnitsPerSecond, 3599.0, 0.02);
  }
  {
    SCOPED_TRACE("a fraction of a frame means every frame");
    CaptureSettings s;
    s.samplestart = CaptureSettings::fromBeginning;
    s.delaybetweensamples = 0.01;
    const auto r = ComputeSchedule(s, 4'000'000, k25fps, true);
    EXPECT_EQ(NominalSampleFrames(r.schedule),
              (std::vector<int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  }
}

TEST(SamplingSchedule, TheNextSampleFollowsTheGridFromAnyFrame) {
  SamplingSchedule s;
  s.frameDuration = k25fps;
  s.origin = 10;
  s.period = 12;
  s.interval = 5'000'000;  // 12.5 frames
  EXPECT_EQ(SampleAfter(s, 0), 10);
  EXPECT_EQ(SampleAfter(s, 10), 23);
  EXPECT_EQ(SampleAfter(s, 22), 23);
  EXPECT_EQ(SampleAfter(s, 23), 35);
  EXPECT_EQ(SampleAfter(s, 35), 48);
  EXPECT_EQ(SampleFrame(s, 1'000'000), 10 + 12'500'000);
  s.period = 0;  // one sample: nothing follows it
  s.interval = 0;
  EXPECT_EQ(SampleAfter(s, 10), 10);
}

TEST(SamplingSchedule, PositioningBefore300FramesIsDirect) {
  CaptureSettings s;
  s.delaybeforefirst = 299 * 0.04;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).startPosition, 299);
  s.delaybeforefirst = 300 * 0.04 + 1e-9;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).startPosition, 260);
}

TEST(AdvancedSettings, TableOrderAndKinds) {
  const auto& table = AdvancedSettingsTable();
  ASSERT_EQ(table.size(), 10u);
  EXPECT_STREQ(table[0].name, "LeastNofFrames");
  EXPECT_STREQ(table[2].name, "Scale factor");
  EXPECT_EQ(table[2].field, AdvancedSetting::Field::imagescale);
  EXPECT_EQ(table[5].kind, AdvancedSetting::Kind::flag);
  EXPECT_STREQ(table[8].name, "Sample Duration");
  EXPECT_EQ(table[8].kind, AdvancedSetting::Kind::real);
  EXPECT_STREQ(table[9].name, "Deinterlace");
  EXPECT_EQ(table[9].kind, AdvancedSetting::Kind::flag);
}

TEST(SamplingSchedule, ValuesThatCannotBeHonouredAreBroughtIntoRange) {
  // A negative least number of frames means none, not 4294967295 (which took
  // every frame of the movie).
  CaptureSettings s;
  s.delaybeforefirst = 1000;
  s.leastnofframes = -1;
  auto r = ComputeSchedule(s, kTwoMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.leastFrames, 0u);
  EXPECT_TRUE(NominalSampleFrames(r.schedule).empty());

  // Delays and durations far beyond any movie, or below zero, give a sound
  // schedule instead of undefined conversions.
  s = CaptureSettings{};
  s.delaybeforefirst = 1e300;
  s.sampleduration = std::numeric_limits<double>::infinity();
  s.delaybetweensamples = std::numeric_limits<double>::quiet_NaN();
  r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.firstFrame, 15000 / 2 + 1);  // past the end: one sample in the middle
  EXPECT_EQ(r.schedule.period, 15000 / 2 + 1);
  s.delaybeforefirst = -30;
  r = ComputeSchedule(s, kTenMinutes, k25fps, true);
  EXPECT_EQ(r.schedule.firstFrame, 0);
  EXPECT_EQ(r.schedule.period, 180 * 25);  // NaN: the default period

  const CaptureSettings odd = [] {
    CaptureSettings o;
    o.jpegquality = 0;
    o.contactsheetminwidth = -3;
    o.contactsheetminheight = 1 << 30;
    o.delaybetweensamples = -2;  // asks for a single sample: kept
    o.imageformat = 7;           // means JPEG: kept
    return o;
  }();
  const CaptureSettings clamped = ClampToRanges(odd);
  EXPECT_EQ(clamped.jpegquality, 1);
  EXPECT_EQ(clamped.contactsheetminwidth, 1);
  EXPECT_EQ(clamped.contactsheetminheight, 16384);
  EXPECT_EQ(clamped.delaybetweensamples, -2);
  EXPECT_EQ(clamped.imageformat, 7);
}

TEST(AdvancedSettings, TypedValuesAreCheckedAgainstTheirRanges) {
  struct Case {
    const char* name;
    const char* text;
    bool ok;
    double value;
    const char* message;
  };
  const Case cases[] = {
      {"LeastNofFrames", " 4 ", true, 4, ""},
      {"LeastNofFrames", "-1", false, 0,
       "LeastNofFrames must be a whole number from 0 to 1000000."},
      {"Jpeg quality", "x", false, 0, "Jpeg quality needs a whole number."},
      {"Jpeg quality", "85.5", false, 0, "Jpeg quality needs a whole number."},
      {"Jpeg quality", "101", false, 0, "Jpeg quality must be a whole number from 1 to 100."},
      {"Scale factor", "0", false, 0,
       "Scale factor must be a number larger than 0 and at most 2.1."},
      {"Scale factor", "2.1", true, 2.1, ""},
      {"CS Width Min", "0", false, 0, "CS Width Min must be a whole number from 1 to 16384."},
      {"Name by frame", "-7", true, -7, ""},  // any non-zero value means true
      {"Image format", "2", false, 0, "Image format must be a whole number from 0 to 1."},
      {"Sample Duration", "inf", false, 0, "Sample Duration needs a number."},
      {"Sample Duration", "1e7", false, 0, "Sample Duration must be a number from 0 to 1000000."},
      {"Start after", "12.5", true, 12.5, ""},
      {"Save every", "", false, 0, "Save every needs a number."},
      {"Colour", "1", false, 0, "Unknown setting Colour."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " = '" + c.text + "'");
    double value = -99;
    std::string message;
    EXPECT_EQ(ValidateAdvancedValue(c.name, c.text, &value, &message), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    } else {
      EXPECT_EQ(message, c.message);
    }
  }
  // Every row of the dialog is known.
  for (const AdvancedSetting& row : AdvancedSettingsTable()) {
    double value = 0;
    std::string message;
    EXPECT_TRUE(ValidateAdvancedValue(row.name, "1", &value, &message)) << row.name << message;
  }
}

}  // namespace
}  // namespace ombrelo
