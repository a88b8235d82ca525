// The capture engine driven by a scripted pipeline and a fake clock: open
// failures, the sample callback's rules, the worker's stall check and end
// handling, and the command states.
#include "engine/capture_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/debug_capture.h"
#include "tests/engine/fake_pipeline.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::FakeClock;
using testing::FakePipeline;
using testing::FakeSample;
using testing::FakeScript;
using testing::FilterState;
using testing::RecordingListener;

constexpr int64_t T = 400'000;  // 25 fps

int IndexOf(const std::vector<std::string>& log, const std::string& entry) {
  auto it = std::find(log.begin(), log.end(), entry);
  return it == log.end() ? -1 : static_cast<int>(it - log.begin());
}

// Waits (real time, bounded) for a condition that another thread makes true.
template <typename Condition>
bool WaitUntil(Condition condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// The worker writes its debug line right after its report.
bool WaitForDebug(const DebugCapture& debug, const std::string& text) {
  return WaitUntil([&] { return debug.Contains(text); });
}

bool WaitForState(CaptureEngine& engine, CaptureState state) {
  return WaitUntil([&] { return engine.GetState() == state; });
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script->clock = &clock;
    engine = MakeEngine(/*realGate=*/false);
  }
  void TearDown() override {
    if (engine) engine->Close();
  }

  std::unique_ptr<CaptureEngine> MakeEngine(bool realGate) {
    CaptureEnvironment env;
    env.pipelineFactory = [this]() -> std::unique_ptr<MediaPipeline> {
      if (factoryFails) return nullptr;
      return std::make_unique<FakePipeline>(script);
    };
    env.ticks = clock.Source();
    if (realGate) {
      // The real gate; the test learns when a sample has come to it.
      env.waitForEvent = [this](AutoResetEvent& event, int64_t ms) {
        gateArrivals++;
        return event.Wait(ms);
      };
    } else {
      // The gate never blocks in real time: a closed gate is a time-out
      // that the fake clock pays for.
      env.waitForEvent = [this](AutoResetEvent& event, int64_t ms) {
        gateWaits.push_back(ms);
        if (event.Wait(0)) return true;
        clock.Advance(static_cast<uint64_t>(ms));
        return false;
      };
    }
    auto e = std::make_unique<CaptureEngine>(env);
    e->SetListener(&listener);
    return e;
  }

  // Samples every `period` frames from `first` on, of a movie of `frames`
  // frames at 25 fps.
  void Schedule(double firstSeconds, double periodSeconds, int64_t frames) {
    CaptureSettings settings;
    settings.delaybeforefirst = firstSeconds;
    settings.delaybetweensamples = periodSeconds;
    engine->SetCaptureSettings(settings);
    script->facts.duration = frames * T;
  }

  HResult Deliver(int64_t frame, bool preroll = false, FakeSample* sample = nullptr) {
    FakeSample local(preroll);
    const int64_t start = frame * T, end = start + T;
    return script->Callback()(sample ? sample : &local, &start, &end);
  }

  std::shared_ptr<FakeScript> script = std::make_shared<FakeScript>();
  FakeClock clock;
  RecordingListener listener{&clock};
  std::vector<int64_t> gateWaits;
  std::atomic<int> gateArrivals{0};
  bool factoryFails = false;
  std::unique_ptr<CaptureEngine> engine;
};

// ---------------------------------------------------------------------------
// Open

TEST_F(EngineTest, OpenFailuresReportTheStepAndLeaveNothingOpen) {
  struct Case {
    const char* name;
    std::function<void(FakeScript&)> script;
    HResult code;
    std::string text;
    const char* lastCall;  // the failing step; nothing is called after it
  };
  const std::vector<Case> cases = {
      {"source fails", [](FakeScript& s) { s.results["Open"] = VFW_E_UNKNOWN_FILE_TYPE; },
       VFW_E_UNKNOWN_FILE_TYPE, "The media type of this file is not recognized.",
       "Open /videos/a.avi"},
      {"source answers a success code other than S_OK",
       [](FakeScript& s) { s.results["Open"] = S_FALSE; }, E_FAIL, "", "Open /videos/a.avi"},
      {"no decoder", [](FakeScript& s) { s.results["Connect"] = VFW_E_CANNOT_CONNECT; },
       VFW_E_CANNOT_CONNECT,
       "Error connecting source to grabber. Most likely a stream splitter problem. "
       "No combination of intermediate filters could be found to make the connection.",
       "Connect"},
      {"unusable connected format", [](FakeScript& s) { s.facts.header.biBitCount = 32; }, E_FAIL,
       "", "GetStreamFacts"},
      {"stream facts query fails",
       [](FakeScript& s) { s.results["GetStreamFacts"] = static_cast<HResult>(0x80041234u); },
       static_cast<HResult>(0x80041234u), "Unknown Error: 0x80041234", "GetStreamFacts"},
      {"run fails", [](FakeScript& s) { s.results["Run"] = E_UNEXPECTED; }, E_UNEXPECTED,
       "Catastrophic failure.", "Run"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script = std::make_shared<FakeScript>();
    c.script(*script);
    HResult hr = S_OK;
    EXPECT_FALSE(engine->Open("/videos/a.avi", &hr));
    EXPECT_EQ(hr, c.code);
    EXPECT_EQ(engine->GetErrorText(), c.text);
    const auto log = script->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], c.lastCall);
    EXPECT_EQ(log.back(), "destroyed") << "everything is released";
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
  }

  SCOPED_TRACE("no pipeline");
  factoryFails = true;
  HResult hr = S_OK;
  EXPECT_FALSE(engine->Open("/videos/a.avi", &hr));
  EXPECT_TRUE(Failed(hr));
  EXPECT_EQ(engine->GetErrorText(), "Failed creating DirectShow objects!");
  factoryFails = false;

  SCOPED_TRACE("a failed open leaves the engine able to open the next movie");
  script = std::make_shared<FakeScript>();
  EXPECT_TRUE(engine->Open("/videos/b.avi", &hr));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(engine->GetState(), CaptureState::running);
}

TEST_F(EngineTest, OpenBuildsInOrderPositionsRunsAndReportsTheMovie) {
  script->facts.avgTimePerFrame = 0;  // treated as 23 frames per second
  script->facts.duration = 60 * kUnitsPerSecond;
  CaptureSettings settings;
  settings.delaybeforefirst = 20;
  settings.delaybetweensamples = 10;
  engine->SetCaptureSettings(settings);

  HResult hr = E_FAIL;
  ASSERT_TRUE(engine->Open("/videos/a b.avi", &hr));
  EXPECT_EQ(hr, S_OK);
  const auto log = script->Log();
  const std::vector<std::string> expected = {"Open /videos/a b.avi", "Connect", "SetSampleCallback",
                                             "GetStreamFacts"};
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);

  const SamplingSchedule s = engine->GetSchedule();
  EXPECT_EQ(s.frameDuration, kDefaultFrameDuration);
  EXPECT_EQ(s.frameCount, 60 * kUnitsPerSecond / kDefaultFrameDuration);
  EXPECT_EQ(s.firstFrame, 460);  // 20 s at 23 fps
  EXPECT_EQ(s.period, 230);
  EXPECT_TRUE(s.seekAllowed);
  EXPECT_DOUBLE_EQ(engine->GetDurationSeconds(), 60.0);
  EXPECT_EQ(engine->GetVideoFormat().biWidth, 4);
  // Positioned 40 frames before the first sample, then run.
  EXPECT_EQ(script->positions, std::vector<int64_t>{420 * kDefaultFrameDuration});
  EXPECT_EQ(script->wanted, std::vector<int64_t>{460 * kDefaultFrameDuration})
      << "the frames before the first sample need not be decoded";
  EXPECT_LT(IndexOf(log, "Seek " + std::to_string(420 * kDefaultFrameDuration)),
            IndexOf(log, "Run"));
  EXPECT_EQ(engine->GetState(), CaptureState::running);
}

TEST(EngineErrorText, FollowsTheFrameworkWording) {
  EXPECT_EQ(CaptureEngine::ErrorTextOf(S_OK), "");
  EXPECT_EQ(CaptureEngine::ErrorTextOf(S_FALSE), "");
  EXPECT_EQ(CaptureEngine::ErrorTextOf(VFW_E_CANNOT_CONNECT),
            "No combination of intermediate filters could be found to make the connection.");
  EXPECT_EQ(CaptureEngine::ErrorTextOf(static_cast<HResult>(0x80070002u)),
            "The system cannot find the file specified.");
  EXPECT_EQ(CaptureEngine::ErrorTextOf(static_cast<HResult>(0x8004ABCDu)),
            "Unknown Error: 0x8004abcd");
}

// ---------------------------------------------------------------------------
// Sample callback

TEST_F(EngineTest, SampleCallbackTakesScheduledFramesOnceAndIgnoresTheRest) {
  Schedule(0.4, 0.8, 100);  // samples at 10, 30, 50, 70, 90; no seeking (period 20)
  ASSERT_TRUE(engine->Open("/v.avi"));
  EXPECT_FALSE(engine->GetSchedule().seekAllowed);
  DebugCapture debug;

  FakeSample preroll(true);
  EXPECT_EQ(Deliver(10, true, &preroll), S_OK);
  EXPECT_EQ(preroll.conversions, 0);
  EXPECT_TRUE(listener.Values("progress").empty()) << "a preroll sample is not even progress";

  EXPECT_EQ(Deliver(5), S_OK);
  FakeSample taken;
  EXPECT_EQ(Deliver(10, false, &taken), S_OK);
  EXPECT_EQ(taken.conversions, 1);
  EXPECT_EQ(Deliver(10), S_OK);  // same number again: nothing at all
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{10});
  EXPECT_EQ(listener.Values("progress"), (std::vector<int64_t>{5, 10}));
  EXPECT_EQ(listener.Of("frame")[0].text, "24");  // the sample's size
  EXPECT_EQ(engine->GetSchedule().firstFrame, 30);
  // Decoding on toward it, the pipeline is told the next frame taken.
  EXPECT_EQ(script->expected, (std::vector<int64_t>{10 * T, 30 * T}));

  SCOPED_TRACE("the owner has not consumed frame 10: frame 30 waits 5 s and is lost");
  Deliver(30);
  EXPECT_EQ(gateWaits.back(), 5000);
  EXPECT_TRUE(debug.Contains("Failed to wait for UpdateEvent in callback\n"));
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{10});
  EXPECT_EQ(engine->GetSchedule().firstFrame, 50) << "the next scheduled frame follows";

  engine->FrameConsumed();
  Deliver(49);
  Deliver(51);  // past the sample: taken in its place
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{10, 51}));
  EXPECT_EQ(engine->GetSchedule().firstFrame, 70);

  SCOPED_TRACE("a delivery that starts past the duration is ignored");
  const size_t before = listener.Events().size();
  engine->FrameConsumed();
  Deliver(101);
  EXPECT_EQ(listener.Events().size(), before);

  SCOPED_TRACE("a frame before the stream's start is never a sample");
  const int64_t start = -3 * T, end = -2 * T;
  FakeSample early;
  script->Callback()(&early, &start, &end);
  EXPECT_EQ(early.conversions, 0);
}

TEST_F(EngineTest, OneFrameInFlightHoldsTheStreamingThreadUntilConsumed) {
  engine = MakeEngine(/*realGate=*/true);
  Schedule(0, 0.04, 100);  // every frame
  ASSERT_TRUE(engine->Open("/v.avi"));
  Deliver(0);
  ASSERT_EQ(listener.Values("frame"), std::vector<int64_t>{0});
  FakeSample next;
  std::thread streaming([&] { Deliver(1, false, &next); });
  EXPECT_TRUE(WaitUntil([&] { return gateArrivals.load() == 2; }));
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{0}) << "frame 1 waits at the gate";
  EXPECT_EQ(next.conversions, 1) << "converted while frame 0 is still being written";
  engine->FrameConsumed();
  streaming.join();
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{0, 1}));
}

TEST_F(EngineTest, AFrameTakenAtTheStopFrameIsDeliveredBeforeTheEndIsReported) {
  // A "Sample Duration" limit: every frame of the first 0.2 s, so frame 5
  // is the stop frame. Frame 5 comes while the owner still saves frame 4.
  engine = MakeEngine(/*realGate=*/true);
  CaptureSettings settings;
  settings.delaybeforefirst = 0;
  settings.delaybetweensamples = 0.04;
  settings.sampleduration = 0.2;
  script->facts.duration = 100 * T;
  engine->SetCaptureSettings(settings);
  script->SetOnWait([](int64_t, int32_t*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return E_ABORT;  // no fake time passes: no stall
  });
  ASSERT_TRUE(engine->Open("/v.avi"));
  ASSERT_EQ(engine->GetSchedule().stopFrame, 5);
  for (int64_t f = 0; f < 5; ++f) {
    if (f > 0) engine->FrameConsumed();
    Deliver(f);
  }
  std::thread streaming([&] { Deliver(5); });
  EXPECT_TRUE(WaitUntil([&] { return gateArrivals.load() == 6; }));
  // The worker sees the stop frame again and again while frame 5 waits.
  const int waits = script->waits.load();
  EXPECT_TRUE(WaitUntil([&] { return script->waits.load() >= waits + 3; }))
      << "the worker ended the capture with a frame at the gate";
  EXPECT_TRUE(listener.Values("ended").empty());
  engine->FrameConsumed();
  streaming.join();
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  const auto events = listener.Events();
  const auto lastFrame =
      std::find_if(events.rbegin(), events.rend(), [](const auto& e) { return e.kind == "frame"; });
  const auto end =
      std::find_if(events.rbegin(), events.rend(), [](const auto& e) { return e.kind == "ended"; });
  EXPECT_LT(end - events.rbegin(), lastFrame - events.rbegin()) << "the frame came first";
}

TEST_F(EngineTest, SeeksAheadBetweenDistantSamplesAndEndsAfterTheLast) {
  Schedule(4, 8, 1000);  // samples at 100, 300, ..., 900; period 200 allows seeking
  ASSERT_TRUE(engine->Open("/v.mp4"));
  EXPECT_TRUE(engine->GetSchedule().seekAllowed);
  EXPECT_EQ(script->positions, std::vector<int64_t>{100 * T});  // below 300: no lead

  for (int64_t sample = 100; sample < 900; sample += 200) {
    SCOPED_TRACE(sample);
    EXPECT_EQ(Deliver(sample), S_FALSE) << "asks the stream to hold for the seek";
    EXPECT_EQ(listener.Values("seek").back(), sample + 200 - 40);
    engine->SeekToFrame(sample + 160);
    EXPECT_EQ(script->positions.back(), (sample + 160) * T);
    EXPECT_EQ(script->wanted.back(), (sample + 200) * T);
    EXPECT_EQ(engine->GetState(), CaptureState::running);
    engine->FrameConsumed();
    EXPECT_EQ(Deliver(sample + 160), S_OK);
  }
  const auto log = script->Log();
  const int seekAt = IndexOf(log, "Seek " + std::to_string(260 * T));
  ASSERT_GT(seekAt, 1);
  EXPECT_EQ(log[seekAt - 1], "Pause");
  EXPECT_EQ(log[seekAt + 1], "Run");

  SCOPED_TRACE("the last sample: the next would lie past the end, so the capture completes");
  EXPECT_EQ(Deliver(900), S_FALSE);
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{100, 300, 500, 700, 900}));
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  EXPECT_EQ(listener.Of("abort").size(), 1u);
  EXPECT_EQ(listener.Values("seek").size(), 4u) << "no seek towards the end of the movie";
}

TEST_F(EngineTest, ZeroLengthMovieTakesTheFirstFrameAndEnds) {
  Schedule(60, 180, 0);
  ASSERT_TRUE(engine->Open("/v.avi"));
  EXPECT_EQ(engine->GetSchedule().stopFrame, 0);
  Deliver(0);
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{0});
  EXPECT_TRUE(listener.Values("progress").empty()) << "no progress without a duration";
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
}

// ---------------------------------------------------------------------------
// Worker

TEST_F(EngineTest, StallMessagesComeAtOneThreeAndFiveSecondsAndTheCaptureIsGivenUpAfterThirty) {
  DebugCapture debug;
  script->waitMode = FakeScript::WaitMode::advanceClock;
  Schedule(0.4, 8, 1000);
  const uint64_t opened = clock.Now();
  ASSERT_TRUE(engine->Open("/v.avi"));
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
  EXPECT_TRUE(WaitForDebug(debug, "Paused"));
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);

  // The first wait lasts 10 s and counts as progress; timing starts at the
  // next time-out without progress (11 s).
  std::vector<std::pair<uint64_t, std::string>> statuses;
  for (const auto& e : listener.Of("status")) statuses.emplace_back(e.tick - opened, e.text);
  std::vector<std::pair<uint64_t, std::string>> expected = {{12000, kStallMessageStandBy},
                                                            {13000, kStallMessageStandBy},
                                                            {14000, kStallMessageSlowMode},
                                                            {15000, kStallMessageSlowMode}};
  for (uint64_t t = 16000; t <= 25000; t += 1000)
    expected.emplace_back(t, kStallMessageProbablyImpossible);
  expected.emplace_back(42000, kStallMessageAborting);
  EXPECT_EQ(statuses, expected);
  // Slow mode skips 150 frames ahead and forbids seeking.
  EXPECT_EQ(listener.Values("seek"), (std::vector<int64_t>{150, 150}));
  EXPECT_FALSE(engine->GetSchedule().seekAllowed);
  EXPECT_EQ(listener.Of("abort").size(), 1u);
  const auto log = script->Log();
  EXPECT_NE(IndexOf(log, "Stop"), -1);
}

TEST_F(EngineTest, ProgressEndsAStallAndRestoresSeeking) {
  Schedule(0.4, 8, 1000);
  int wait = 0;
  std::vector<bool> seekAllowed;
  script->onWait = [&](int64_t timeoutMs, int32_t*) -> HResult {
    clock.Advance(static_cast<uint64_t>(timeoutMs));
    ++wait;
    seekAllowed.push_back(engine->GetSchedule().seekAllowed);
    if (wait == 1) Deliver(1);
    if (wait == 5) Deliver(2);  // progress after a 3-second stall
    if (wait == 8) {
      engine->Stop();
      return VFW_E_WRONG_STATE;
    }
    return E_ABORT;
  };
  ASSERT_TRUE(engine->Open("/v.avi"));
  ASSERT_TRUE(listener.WaitFor("ended"));
  // Waits 2..4 found no progress: timing began at wait 2, messages at 3
  // and 4. Wait 5 found frame 2: seeking back, timing cleared. Wait 6 starts
  // a new stall, whose first message comes at wait 7.
  const auto statuses = listener.Of("status");
  ASSERT_EQ(statuses.size(), 3u);
  for (const auto& e : statuses) EXPECT_EQ(e.text, kStallMessageStandBy);
  EXPECT_EQ(seekAllowed, (std::vector<bool>{true, true, true, false, false, true, true, false}));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
}

TEST_F(EngineTest, StreamEndingBeforeTheScheduleCompletesTheCaptureAtOnce) {
  Schedule(0.4, 0.8, 1000);  // a cut-short file: promises 1000 frames
  ASSERT_TRUE(engine->Open("/cut.avi"));
  Deliver(10);
  engine->FrameConsumed();
  Deliver(30);
  const int waitsBefore = script->waits.load();
  script->Complete();
  ASSERT_TRUE(listener.WaitFor("ended", 1, std::chrono::seconds(2)));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{10, 30}));
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  EXPECT_LE(script->waits.load() - waitsBefore, 1) << "no spinning on the completed stream";
  EXPECT_TRUE(listener.Of("status").empty()) << "no stall timer";
}

TEST_F(EngineTest, PauseResumeAndStopFollowTheStateTable) {
  Schedule(0.4, 0.8, 1000);
  ASSERT_TRUE(engine->Open("/v.avi"));
  {
    SCOPED_TRACE("running -> pausing -> paused once the worker sees the graph paused");
    engine->TogglePause();
    EXPECT_EQ(script->State(), FilterState::paused);
    EXPECT_TRUE(WaitForState(*engine, CaptureState::paused));
    // Every change reaches the listener, the worker's own included.
    ASSERT_TRUE(listener.WaitFor("state", 3));
    EXPECT_EQ(listener.Values("state"),
              (std::vector<int64_t>{static_cast<int64_t>(CaptureState::running),
                                    static_cast<int64_t>(CaptureState::pausing),
                                    static_cast<int64_t>(CaptureState::paused)}));
  }
  {
    SCOPED_TRACE("paused -> running");
    engine->TogglePause();
    EXPECT_EQ(engine->GetState(), CaptureState::running);
    EXPECT_EQ(script->State(), FilterState::running);
  }
  {
    SCOPED_TRACE("a second toggle while still pausing runs the graph again");
    script->SetOnWait([](int64_t, int32_t*) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return E_ABORT;
    });
    engine->TogglePause();
    engine->TogglePause();
    EXPECT_EQ(engine->GetState(), CaptureState::running);
    script->SetOnWait(nullptr);
    // The worker is out of the hook before the stop below: a stop seen as a
    // timed-out wait returns ends the capture by the other way.
    const int waits = script->waits.load();
    ASSERT_TRUE(WaitUntil([&] { return script->waits.load() > waits; }));
  }
  {
    SCOPED_TRACE("stop while running: the worker reports the end, not completed");
    DebugCapture debug;
    engine->Stop();
    EXPECT_EQ(engine->GetState(), CaptureState::stopped);
    ASSERT_TRUE(listener.WaitFor("ended"));
    EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
    EXPECT_TRUE(WaitForDebug(debug, "Paused"));
  }
  engine->Close();
  EXPECT_EQ(engine->GetState(), CaptureState::idle);

  SCOPED_TRACE("stop while paused reports the end directly");
  script = std::make_shared<FakeScript>();
  ASSERT_TRUE(engine->Open("/v.avi"));
  engine->TogglePause();
  ASSERT_TRUE(WaitForState(*engine, CaptureState::paused));
  engine->Stop();
  EXPECT_EQ(listener.Values("ended"), (std::vector<int64_t>{0, 0}));
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
}

TEST_F(EngineTest, StopBeforeTheWorkerHasStartedStillEndsTheCapture) {
  // The owner may stop the capture before the worker thread first runs
  // (a loaded machine): the worker must still see the stop and report it.
  Schedule(0.4, 0.8, 1000);
  // The stop comes from another thread as soon as the graph runs; it waits
  // for Open to let go of the engine, and may come before the worker runs.
  std::thread stopper;
  script->onRun = [&] { stopper = std::thread([&] { engine->Stop(); }); };
  ASSERT_TRUE(engine->Open("/v.avi"));
  stopper.join();
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
}

TEST_F(EngineTest, CloseMakesTheWaitingWorkerLeaveBeforeReleasingAnything) {
  Schedule(0.4, 0.8, 1000);
  ASSERT_TRUE(engine->Open("/v.avi"));
  while (script->waits.load() == 0) std::this_thread::yield();
  engine->Close();
  EXPECT_EQ(engine->GetState(), CaptureState::idle);
  const auto log = script->Log();
  const int left = IndexOf(log, "wait cancelled");
  ASSERT_NE(left, -1);
  EXPECT_LT(left, IndexOf(log, "destroyed"));
  EXPECT_EQ(log.back(), "destroyed");
  EXPECT_TRUE(listener.Values("ended").empty());

  SCOPED_TRACE("a frame waiting at the gate is let go without being handed over");
  engine = MakeEngine(/*realGate=*/true);
  script = std::make_shared<FakeScript>();
  Schedule(0, 0.04, 100);
  ASSERT_TRUE(engine->Open("/v.avi"));
  Deliver(0);
  auto callback = script->Callback();
  std::thread streaming([&] {
    FakeSample sample;
    const int64_t start = T, end = 2 * T;
    callback(&sample, &start, &end);
  });
  EXPECT_TRUE(WaitUntil([&] { return gateArrivals.load() == 2; }));
  const auto began = std::chrono::steady_clock::now();
  engine->Close();
  streaming.join();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{0});
}

TEST_F(EngineTest, CloseFromTheEndReportOnTheWorkerLeavesNoWorkerBehind) {
  // An owner that closes the capture inside its end report, on the worker
  // thread: the worker is not detached, and the next Open and the engine's
  // end wait for it.
  struct ClosingListener final : CaptureListener {
    CaptureEngine* engine = nullptr;
    std::atomic<int> ends{0};
    void FrameCaptured(const CapturedFrame&) override {}
    void SeekRequested(FrameNumber) override {}
    void CaptureAbortNotice() override {}
    void StatusText(FrameNumber, const char*) override {}
    void CaptureEnded(bool) override {
      engine->Close();
      ++ends;
    }
    void Progress(FrameNumber, FrameNumber) override {}
    void StateChanged(CaptureState) override {}
  } closing;
  closing.engine = engine.get();
  engine->SetListener(&closing);
  Schedule(0.4, 0.8, 1000);
  for (int movie = 1; movie <= 2; ++movie) {
    SCOPED_TRACE(movie);
    script = std::make_shared<FakeScript>();
    ASSERT_TRUE(engine->Open("/v.avi"));
    engine->Stop();
    ASSERT_TRUE(WaitUntil([&] { return closing.ends.load() == movie; }));
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
    EXPECT_TRUE(script->destroyed);
  }
  engine.reset();  // joins the last worker
}

TEST_F(EngineTest, ClosingWhilePausingStillReleasesTheMovie) {
  Schedule(0.4, 0.8, 1000);
  script->SetOnWait([](int64_t, int32_t*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return E_ABORT;
  });
  ASSERT_TRUE(engine->Open("/v.avi"));
  script->SetOnWait(nullptr);
  engine->TogglePause();
  engine->Close();
  EXPECT_EQ(engine->GetState(), CaptureState::idle);
  EXPECT_TRUE(script->destroyed);
}

}  // namespace
}  // namespace ombrelo
