#include "engine/capture_settings.h"

#include <gtest/gtest.h>

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

TEST(SamplingSchedule, PositioningBefore300FramesIsDirect) {
  CaptureSettings s;
  s.delaybeforefirst = 299 * 0.04;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).startPosition, 299);
  s.delaybeforefirst = 300 * 0.04 + 1e-9;
  EXPECT_EQ(ComputeSchedule(s, kTenMinutes, k25fps, true).startPosition, 260);
}

TEST(AdvancedSettings, TableOrderAndKinds) {
  const auto& table = AdvancedSettingsTable();
  ASSERT_EQ(table.size(), 9u);
  EXPECT_STREQ(table[0].name, "LeastNofFrames");
  EXPECT_STREQ(table[2].name, "Scale factor");
  EXPECT_EQ(table[2].field, AdvancedSetting::Field::imagescale);
  EXPECT_EQ(table[5].kind, AdvancedSetting::Kind::flag);
  EXPECT_STREQ(table[8].name, "Sample Duration");
  EXPECT_EQ(table[8].kind, AdvancedSetting::Kind::real);
}

}  // namespace
}  // namespace ombrelo
