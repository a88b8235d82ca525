// The capture's decisions as tables: which frame a delivery is, which frames
// are taken, where the capture goes after a sample, what a stall calls for.
#include "engine/seek_plan.h"

#include <gtest/gtest.h>

#include "engine/capture_engine.h"

namespace ombrelo {
namespace {

constexpr int64_t T = 400'000;  // 25 fps

TEST(SeekPlan, ADeliveryIsTheFrameItsMiddleFallsIn) {
  struct Case {
    int64_t start, end;
    bool hasEnd;
    FrameNumber frame;
  } cases[] = {
      {0, T, true, 0},
      {10 * T, 11 * T, true, 10},
      {10 * T - 1, 11 * T - 1, true, 10},          // a tick early is still frame 10
      {10 * T - T / 2, 11 * T - T / 2, true, 10},  // middle on the border: the later frame
      {10 * T, 10 * T, true, 10},                  // no length: one frame assumed
      {10 * T - T / 2 - 1, 0, false, 9},           // no end: one frame assumed
      {10 * T, 10 * T + 3 * T, true, 11},          // a long frame stands for its middle
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    EXPECT_EQ(FrameAt(c.start, c.end, c.hasEnd, T), c.frame);
  }
  EXPECT_TRUE(StartsPastDuration(10 * kUnitsPerSecond + 1, 10.0));
  EXPECT_FALSE(StartsPastDuration(10 * kUnitsPerSecond, 10.0));
}

TEST(SeekPlan, FramesAreTakenFromTheNextSampleToTheLastFrame) {
  SamplingSchedule s;
  s.frameDuration = T;
  s.frameCount = 100;
  s.stopFrame = 100;
  struct Case {
    FrameNumber f, next;
    FrameNumber stopFrame;
    bool taken;
  } cases[] = {
      {10, 10, 100, true},   {9, 10, 100, false},  {11, 10, 100, true}, {100, 10, 100, true},
      {101, 10, 100, false}, {-1, -5, 100, false}, {5, 10, 0, true},  // a movie whose stop frame is
                                                                      // 0 takes whatever comes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.f);
    s.stopFrame = c.stopFrame;
    EXPECT_EQ(Takes(s, c.f, c.next), c.taken);
  }
}

TEST(SeekPlan, AfterASampleTheCaptureSeeksDecodesOnOrEnds) {
  SamplingSchedule s;
  s.frameDuration = T;
  s.duration = 1000 * T;
  s.frameCount = 1000;
  s.stopFrame = 1000;
  s.period = 200;
  struct Case {
    const char* name;
    FrameNumber taken, next;
    bool seekAllowed;
    int64_t period;
    FrameNumber stopFrame;
    NextMove move;
  } cases[] = {
      {"far ahead: 40 frames before the next", 100, 300, true, 200, 1000, {NextMove::seek, 260}},
      {"close ahead: not before the frame taken", 100, 120, true, 20, 1000, {NextMove::seek, 100}},
      {"near the start: no lead", 0, 30, true, 30, 1000, {NextMove::seek, 30}},
      {"seeking forbidden: decode on", 100, 300, false, 200, 1000, {NextMove::decodeOn, 300}},
      {"the next lies at the end", 800, 1000, true, 200, 1000, {NextMove::complete, 0}},
      {"the next lies past the end", 900, 1100, false, 200, 1000, {NextMove::complete, 0}},
      {"a single sample never ends by period", 500, 500, true, 0, 500, {NextMove::none, 0}},
      {"stop frame 0: nothing to decode on to", 0, 1, false, 1, 0, {NextMove::none, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.period = c.period;
    s.stopFrame = c.stopFrame;
    EXPECT_EQ(PlanAfterSample(s, c.taken, c.next, c.seekAllowed), c.move);
  }
}

TEST(SeekPlan, AStallCallsForMessagesSlowModeAndFinallyGivingUp) {
  struct Case {
    uint64_t elapsed;
    StallAction action;
    const char* message;
  } cases[] = {
      {0, StallAction::none, nullptr},
      {999, StallAction::none, nullptr},
      {1000, StallAction::standBy, kStallMessageStandBy},
      {2999, StallAction::standBy, kStallMessageStandBy},
      {3000, StallAction::slowMode, kStallMessageSlowMode},
      {4999, StallAction::slowMode, kStallMessageSlowMode},
      {5000, StallAction::probablyImpossible, kStallMessageProbablyImpossible},
      {14999, StallAction::probablyImpossible, kStallMessageProbablyImpossible},
      {15000, StallAction::none, nullptr},
      {30000, StallAction::none, nullptr},
      {30001, StallAction::giveUp, kStallMessageAborting},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.elapsed);
    EXPECT_EQ(StallActionAt(c.elapsed), c.action);
    EXPECT_EQ(StallMessage(c.action), c.message);
  }
}

TEST(SeekPlan, ASeekThatLandedLateLooksFurtherBackEachTime) {
  EXPECT_EQ(ApproachBackoff(0), 2 * kUnitsPerSecond);
  EXPECT_EQ(ApproachBackoff(1), 8 * kUnitsPerSecond);
  EXPECT_EQ(ApproachBackoff(2), 32 * kUnitsPerSecond);
  EXPECT_EQ(ApproachBackoff(3), 128 * kUnitsPerSecond);
}

}  // namespace
}  // namespace ombrelo
