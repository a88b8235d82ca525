#include "tools/schedule/schedule_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/debug_capture.h"
#include "tools/testvideo/test_video.h"

extern "C" {
#include <libavutil/log.h>
}

namespace ombrelo::tools {
namespace {

using ombrelo::testing::TempFolder;

TEST(ScheduleReport, TimesAreRoundedToMilliseconds) {
  EXPECT_EQ(FormatTime(0), "0:00:00.000");
  EXPECT_EQ(FormatTime(4999), "0:00:00.000");
  EXPECT_EQ(FormatTime(5000), "0:00:00.001");
  EXPECT_EQ(FormatTime(100'400'000), "0:00:10.040");
  EXPECT_EQ(FormatTime(36'000'000'000), "1:00:00.000");
  EXPECT_EQ(FormatTime(35'999'999'999), "1:00:00.000");
  EXPECT_EQ(FormatTime(1'800'000'000 - 400'000), "0:02:59.960");
}

TEST(ScheduleReport, ReadsTheVideoStreamsTiming) {
  av_log_set_level(AV_LOG_FATAL);
  TempFolder folder("schedule");
  std::string error;
  {
    SCOPED_TRACE("20 s at 25 fps: fewer frames than the default delay, so the least-frames rule");
    testvideo::VideoOptions o;
    o.path = folder / "short.mp4";
    o.width = 160;
    o.height = 120;
    o.frameCount = 500;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    MovieTiming timing;
    ASSERT_TRUE(ReadMovieTiming(o.path, &timing, &error)) << error;
    EXPECT_EQ(timing.duration, 200'000'000);
    EXPECT_EQ(timing.frameDuration, 400'000);
    EXPECT_TRUE(timing.durationFromStream);
    EXPECT_EQ(FormatSchedule(timing),
              "Duration: 0:00:20.000 (200000000 units, video stream)\n"
              "Frame rate: 25 fps (frame duration 400000 units)\n"
              "Frame count: 500\n"
              "First frame: 251\n"
              "Period: 251\n"
              "Interval: 10.04 s\n"
              "Stop frame: 500\n"
              "Start position: 251\n"
              "Seeking: yes\n"
              "Frames to take: 1\n"
              "  251  0:00:10.040\n");
  }
  {
    SCOPED_TRACE("audio longer than the video does not lengthen an AVI");
    testvideo::VideoOptions o;
    o.path = folder / "audio.avi";
    o.width = 160;
    o.height = 120;
    o.frameCount = 250;
    o.audioSeconds = 30;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    MovieTiming timing;
    ASSERT_TRUE(ReadMovieTiming(o.path, &timing, &error)) << error;
    EXPECT_EQ(timing.duration, 100'000'000);
    EXPECT_TRUE(timing.durationFromStream);
  }
  {
    SCOPED_TRACE("Matroska keeps the track length in a tag; 30000/1001 fps");
    testvideo::VideoOptions o;
    o.path = folder / "audio.mkv";
    o.width = 160;
    o.height = 120;
    o.fpsNum = 30000;
    o.fpsDen = 1001;
    o.frameCount = 300;
    o.audioSeconds = 30;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    MovieTiming timing;
    ASSERT_TRUE(ReadMovieTiming(o.path, &timing, &error)) << error;
    EXPECT_TRUE(timing.durationFromStream);
    EXPECT_EQ(timing.frameDuration, 333'667);
    // 300 frames = 10.01 s, plus the shift of the video behind the audio priming.
    EXPECT_GE(timing.duration, 100'100'000);
    EXPECT_LT(timing.duration, 100'100'000 + 333'667);
  }
  {
    SCOPED_TRACE("Matroska written to a pipe states no length: its last frame gives it");
    testvideo::VideoOptions o;
    o.path = folder / "source.mp4";
    o.width = 160;
    o.height = 120;
    o.frameCount = 300;
    o.keyframeInterval = 25;
    ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
    const std::string piped = folder / "piped.mkv";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -i '" + o.path +
                           "' -c copy -f matroska - > '" + piped + "'")
                              .c_str()),
              0);
    MovieTiming timing;
    ASSERT_TRUE(ReadMovieTiming(piped, &timing, &error)) << error;
    EXPECT_TRUE(timing.durationScanned);
    EXPECT_EQ(timing.duration, 120'000'000);  // 300 frames of 40 ms
    EXPECT_NE(FormatSchedule(timing).find("(120000000 units, its last frame)"), std::string::npos)
        << FormatSchedule(timing);
  }
  {
    SCOPED_TRACE("files that are no video");
    MovieTiming timing;
    EXPECT_FALSE(ReadMovieTiming(folder / "missing.mp4", &timing, &error));
    EXPECT_NE(error.find("missing.mp4"), std::string::npos) << error;
    ASSERT_TRUE(ombrelo::testing::WriteFileBytes(folder / "text.mp4", "no video in here"));
    EXPECT_FALSE(ReadMovieTiming(folder / "text.mp4", &timing, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(ScheduleReport, UnknownFrameRateUsesTheEnginesDefault) {
  MovieTiming timing;
  timing.duration = 6'000'000'000;  // 10 minutes
  const std::string text = FormatSchedule(timing);
  EXPECT_NE(text.find("(frame duration 434782 units, not given by the file)\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Frame count: 13800\n"), std::string::npos) << text;
  // 60 s at 434782 units a frame is frame 1380; every 180 s after that, not frame 13800
  // itself.
  EXPECT_NE(text.find("Frames to take: 3\n  1380  0:01:00.000\n  5520  0:04:00.000\n"
                      "  9660  0:06:59.999\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace ombrelo::tools
