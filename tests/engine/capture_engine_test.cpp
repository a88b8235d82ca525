// The capture engine driven by a scripted pipeline and a fake clock: open
// failures, the capture loop's rules for delivered frames, its seeks ahead,
// the stall deadline, the end, pause, stop and close.
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
using testing::RecordingListener;

constexpr int64_t T = 400'000;  // 25 fps

int IndexOf(const std::vector<std::string>& log, const std::string& entry) {
  auto it = std::find(log.begin(), log.end(), entry);
  return it == log.end() ? -1 : static_cast<int>(it - log.begin());
}

// Waits (real time, bounded) for a condition that another thread makes true:
// the fakes and the listener tell of each change.
template <typename Condition>
bool WaitUntil(Condition condition) {
  return testing::Changes().WaitUntil(condition);
}

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
    engine = MakeEngine();
  }
  void TearDown() override {
    if (engine) engine->Close();
  }

  // Opens as the owner does and waits for the answer.
  OpenOutcome Open(const std::string& path, testing::OpenAnswers* answers = nullptr) {
    return testing::OpenAndWait(*engine, answers ? *answers : listener.answers, path);
  }

  std::unique_ptr<CaptureEngine> MakeEngine() {
    CaptureEnvironment env;
    env.pipelineFactory = [this]() -> std::unique_ptr<MediaPipeline> {
      if (factoryFails) return nullptr;
      return std::make_unique<FakePipeline>(script);
    };
    env.ticks = clock.Source();
    auto e = std::make_unique<CaptureEngine>(env);
    e->SetListener(&listener);
    return e;
  }

  // Samples every `period` seconds from `first` on, of a movie of `frames`
  // frames at 25 fps.
  void Schedule(double firstSeconds, double periodSeconds, int64_t frames) {
    CaptureSettings settings;
    settings.delaybeforefirst = firstSeconds;
    settings.delaybetweensamples = periodSeconds;
    engine->SetCaptureSettings(settings);
    script->facts.duration = frames * T;
  }

  // Hands the frame to the capture thread and waits until it has dealt with
  // it (it came back for the next one, or the capture has ended).
  void Deliver(int64_t frame, FakeSample* sample = nullptr) {
    script->Queue({frame * T, frame * T + T, true, sample});
    EXPECT_TRUE(WaitUntil([&] {
      const CaptureState state = engine->GetState();
      return script->Consumed() || state == CaptureState::stopped || state == CaptureState::idle;
    }));
  }

  std::shared_ptr<FakeScript> script = std::make_shared<FakeScript>();
  FakeClock clock;
  RecordingListener listener{&clock};
  bool factoryFails = false;
  std::unique_ptr<CaptureEngine> engine;
};

// ---------------------------------------------------------------------------
// Open

TEST_F(EngineTest, OpenFailuresReportTheStepAndLeaveNothingOpen) {
  struct Case {
    const char* name;
    std::function<void(FakeScript&)> script;
    MediaError code;
    std::string text;
    const char* lastCall;  // the failing step; nothing is called after it
  };
  const std::vector<Case> cases = {
      {"source fails", [](FakeScript& s) { s.results["Open"] = MediaError::unknownFileType; },
       MediaError::unknownFileType, "The media type of this file is not recognized.",
       "Open /videos/a.avi"},
      {"a file that is not there",
       [](FakeScript& s) { s.results["Open"] = MediaError::fileNotFound; },
       MediaError::fileNotFound, "The system cannot find the file specified.",
       "Open /videos/a.avi"},
      {"no decoder", [](FakeScript& s) { s.results["Connect"] = MediaError::noDecoder; },
       MediaError::noDecoder, "The file has no video stream that can be decoded.", "Connect"},
      {"unusable connected format", [](FakeScript& s) { s.facts.header.biBitCount = 32; },
       MediaError::failed, "", "GetStreamFacts"},
      {"stream facts query fails",
       [](FakeScript& s) { s.results["GetStreamFacts"] = MediaError::outOfMemory; },
       MediaError::outOfMemory, "Not enough memory is available to complete this operation.",
       "GetStreamFacts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script = std::make_shared<FakeScript>();
    c.script(*script);
    const OpenOutcome answer = Open("/videos/a.avi");
    EXPECT_FALSE(answer.opened);
    EXPECT_FALSE(answer.stopped);
    EXPECT_EQ(answer.code, c.code);
    EXPECT_EQ(answer.text, c.text);
    EXPECT_EQ(engine->GetErrorText(), c.text);
    const auto log = script->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], c.lastCall);
    EXPECT_EQ(log.back(), "destroyed") << "everything is released";
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
  }

  SCOPED_TRACE("no pipeline");
  factoryFails = true;
  OpenOutcome answer = Open("/videos/a.avi");
  EXPECT_FALSE(answer.opened);
  EXPECT_TRUE(Failed(answer.code));
  EXPECT_EQ(answer.text, "The video reader could not be set up.");
  factoryFails = false;

  SCOPED_TRACE("a failed open leaves the engine able to open the next movie");
  script = std::make_shared<FakeScript>();
  answer = Open("/videos/b.avi");
  EXPECT_TRUE(answer.opened);
  EXPECT_EQ(answer.code, MediaError::none);
  EXPECT_EQ(engine->GetState(), CaptureState::running);
}

TEST_F(EngineTest, OpenReadsTheMovieAndTheCaptureThreadPositionsIt) {
  script->facts.avgTimePerFrame = 0;  // treated as 23 frames per second
  script->facts.duration = 60 * kUnitsPerSecond;
  CaptureSettings settings;
  settings.delaybeforefirst = 20;
  settings.delaybetweensamples = 10;
  engine->SetCaptureSettings(settings);

  script->holdOpen = true;  // a file that takes its time
  engine->Open("/videos/a b.avi");
  EXPECT_EQ(engine->GetState(), CaptureState::opening) << "the owner does not wait for the file";
  script->ReleaseOpen();
  const OpenOutcome answer = listener.answers.Next().value_or(OpenOutcome{});
  ASSERT_TRUE(answer.opened) << answer.text;
  EXPECT_EQ(answer.code, MediaError::none);
  const auto log = script->Log();
  const std::vector<std::string> expected = {"Open /videos/a b.avi", "Connect", "GetStreamFacts"};
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
  EXPECT_EQ(engine->GetState(), CaptureState::running);
  // Positioned 40 frames before the first sample, on the capture thread.
  ASSERT_TRUE(WaitUntil([&] { return script->Log().size() > expected.size(); }));
  std::lock_guard<std::mutex> lock(script->mutex);
  EXPECT_EQ(script->positions, std::vector<int64_t>{420 * kDefaultFrameDuration});
  EXPECT_EQ(script->wanted, std::vector<int64_t>{460 * kDefaultFrameDuration})
      << "the frames before the first sample need not be decoded";
  ASSERT_EQ(script->seekThreads.size(), 1u);
  EXPECT_NE(script->seekThreads[0], std::this_thread::get_id()) << "no seek on the owner's thread";
  ASSERT_EQ(script->openThreads.size(), 1u);
  EXPECT_EQ(script->openThreads[0], script->seekThreads[0]) << "opened on the capture thread";
}

TEST_F(EngineTest, AnOpenThatHangsHoldsOnlyTheCaptureThreadAndCanBeStoppedOrClosed) {
  const auto waitForOpenCall = [&] {
    std::unique_lock<std::mutex> lock(script->mutex);
    return script->cv.wait_for(lock, std::chrono::seconds(10),
                               [&] { return !script->openThreads.empty(); });
  };
  {
    SCOPED_TRACE("stopped: answered as stopped, with nothing left open and no capture");
    script->holdOpen = true;
    engine->Open("/share/slow.avi");
    ASSERT_TRUE(waitForOpenCall());
    EXPECT_EQ(engine->GetState(), CaptureState::opening);
    EXPECT_NE(script->openThreads[0], std::this_thread::get_id());
    engine->Stop();
    const OpenOutcome answer = listener.answers.Next().value_or(OpenOutcome{});
    EXPECT_TRUE(answer.stopped);
    EXPECT_FALSE(answer.opened);
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
    EXPECT_TRUE(script->destroyed);
  }
  {
    SCOPED_TRACE("closed: the owner waits for the thread and hears nothing more");
    script = std::make_shared<FakeScript>();
    script->holdOpen = true;
    engine->Open("/share/slow.avi");
    ASSERT_TRUE(waitForOpenCall());
    engine->Close();
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
    EXPECT_TRUE(script->destroyed);
    EXPECT_FALSE(listener.answers.Next(std::chrono::milliseconds(0)));
  }
  EXPECT_TRUE(listener.Values("ended").empty()) << "no capture ran";
}

// ---------------------------------------------------------------------------
// Frames

TEST_F(EngineTest, TakesTheScheduledFramesOnceAndIgnoresTheRest) {
  Schedule(0.4, 0.8, 100);  // samples at 10, 30, 50, 70, 90; no seeking (period 20)
  ASSERT_TRUE(Open("/v.avi").opened);
  EXPECT_FALSE(engine->GetSchedule().seekAllowed);

  FakeSample preroll(true);
  Deliver(10, &preroll);
  EXPECT_EQ(preroll.conversions, 0);
  EXPECT_TRUE(listener.Values("progress").empty()) << "a preroll frame is not even progress";

  Deliver(5);
  FakeSample taken;
  Deliver(10, &taken);
  EXPECT_EQ(taken.conversions, 1);
  Deliver(10);  // same number again: nothing at all
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{10});
  EXPECT_EQ(listener.Values("progress"), (std::vector<int64_t>{5, 10}));
  EXPECT_EQ(listener.Of("frame")[0].text, "24");  // the sample's size
  EXPECT_EQ(engine->GetSchedule().firstFrame, 30);
  {
    // Decoding on toward it, the pipeline is told the next frame taken.
    std::lock_guard<std::mutex> lock(script->mutex);
    EXPECT_EQ(script->expected, (std::vector<int64_t>{10 * T, 30 * T}));
  }

  Deliver(29);
  Deliver(31);  // past the sample: taken in its place
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{10, 31}));
  EXPECT_EQ(engine->GetSchedule().firstFrame, 50);

  SCOPED_TRACE("a delivery that starts past the duration is ignored");
  const size_t before = listener.Events().size();
  Deliver(101);
  EXPECT_EQ(listener.Events().size(), before);

  SCOPED_TRACE("a frame before the stream's start is never a sample");
  FakeSample early;
  script->Queue({-3 * T, -2 * T, true, &early});
  ASSERT_TRUE(WaitUntil([&] { return script->Consumed(); }));
  EXPECT_EQ(early.conversions, 0);
}

TEST_F(EngineTest, AWriterThatIsBehindHoldsTheCaptureThreadAndNothingElse) {
  // The listener's hand-over waits, as a writer with a full queue makes it.
  struct SlowWriter final : RecordingListener {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    void FrameCaptured(const CapturedFrame& frame) override {
      std::unique_lock<std::mutex> lock(mutex);
      cv.wait(lock, [&] { return open; });
      lock.unlock();
      RecordingListener::FrameCaptured(frame);
    }
    void Open() {
      std::lock_guard<std::mutex> lock(mutex);
      open = true;
      cv.notify_all();
    }
  } writer;
  engine->SetListener(&writer);
  Schedule(0, 0.04, 100);  // every frame
  ASSERT_TRUE(Open("/v.avi", &writer.answers).opened);
  script->Queue({0, T, true, nullptr});
  script->Queue({T, 2 * T, true, nullptr});
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(script->mutex);
    return script->handedAtPull > 0 && script->queued.size() == 1;
  }));
  int pulls;
  {
    std::lock_guard<std::mutex> lock(script->mutex);
    pulls = script->pulls;
  }
  // The owner's commands do not wait for the writer.
  engine->TogglePause();
  EXPECT_EQ(engine->GetState(), CaptureState::pausing);
  {
    std::lock_guard<std::mutex> lock(script->mutex);
    EXPECT_EQ(script->pulls, pulls) << "nothing is read while frame 0 waits for the writer";
    EXPECT_EQ(script->queued.size(), 1u);
  }
  writer.Open();
  ASSERT_TRUE(WaitForState(*engine, CaptureState::paused));
  EXPECT_EQ(writer.Values("frame"), std::vector<int64_t>{0}) << "paused after the frame in hand";
  engine->TogglePause();
  ASSERT_TRUE(WaitUntil([&] { return script->Consumed(); }));
  EXPECT_EQ(writer.Values("frame"), (std::vector<int64_t>{0, 1}));
  engine.reset();  // before the writer goes
}

TEST_F(EngineTest, AFrameTakenAtTheStopFrameIsHandedOverBeforeTheEndIsReported) {
  // A "Sample Duration" limit: every frame of the first 0.2 s, so frame 5
  // is the stop frame.
  CaptureSettings settings;
  settings.delaybeforefirst = 0;
  settings.delaybetweensamples = 0.04;
  settings.sampleduration = 0.2;
  script->facts.duration = 100 * T;
  engine->SetCaptureSettings(settings);
  ASSERT_TRUE(Open("/v.avi").opened);
  ASSERT_EQ(engine->GetSchedule().stopFrame, 5);
  for (int64_t f = 0; f <= 5; ++f) Deliver(f);
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  const auto events = listener.Events();
  EXPECT_EQ(events.back().kind, "ended") << "nothing is reported after the end";
}

TEST_F(EngineTest, SeeksAheadBetweenDistantSamplesAndEndsAfterTheLast) {
  Schedule(4, 8, 1000);  // samples at 100, 300, ..., 900; period 200 allows seeking
  DebugCapture debug;
  ASSERT_TRUE(Open("/v.mp4").opened);
  EXPECT_TRUE(engine->GetSchedule().seekAllowed);

  for (int64_t sample = 100; sample < 900; sample += 200) {
    SCOPED_TRACE(sample);
    Deliver(sample);
    std::lock_guard<std::mutex> lock(script->mutex);
    EXPECT_EQ(script->positions.back(), (sample + 160) * T) << "40 frames before the next";
    EXPECT_EQ(script->wanted.back(), (sample + 200) * T);
  }
  {
    std::lock_guard<std::mutex> lock(script->mutex);
    EXPECT_EQ(script->positions.front(), 100 * T);  // the start: below 300, no lead
    EXPECT_EQ(script->positions.size(), 5u);
  }
  EXPECT_EQ(engine->GetState(), CaptureState::running);

  SCOPED_TRACE("the last sample: the next would lie past the end, so the capture completes");
  Deliver(900);
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{100, 300, 500, 700, 900}));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  EXPECT_TRUE(debug.Contains("Aborting..."));
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  std::lock_guard<std::mutex> lock(script->mutex);
  EXPECT_EQ(script->positions.size(), 5u) << "no seek towards the end of the movie";
}

TEST_F(EngineTest, ASeekAskedForByTheOwnerIsCarriedOutOnTheCaptureThread) {
  Schedule(4, 8, 1000);
  ASSERT_TRUE(Open("/v.mp4").opened);
  ASSERT_TRUE(WaitUntil([&] { return script->Log().size() > 3; }));  // the opening seek
  engine->SeekToFrame(500);
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(script->mutex);
    return script->positions.size() == 2;
  }));
  const auto log = script->Log();
  EXPECT_LT(IndexOf(log, "Interrupt"), IndexOf(log, "Seek " + std::to_string(500 * T)))
      << "a read that blocks is cut for it";
  std::lock_guard<std::mutex> lock(script->mutex);
  EXPECT_NE(script->seekThreads[1], std::this_thread::get_id());
}

TEST_F(EngineTest, ZeroLengthMovieTakesTheFirstFrameAndEnds) {
  Schedule(60, 180, 0);
  ASSERT_TRUE(Open("/v.avi").opened);
  EXPECT_EQ(engine->GetSchedule().stopFrame, 0);
  Deliver(0);
  EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{0});
  EXPECT_TRUE(listener.Values("progress").empty()) << "no progress without a duration";
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
}

// ---------------------------------------------------------------------------
// Stalls and the end

TEST_F(EngineTest, StallMessagesComeAtOneThreeAndFiveSecondsAndTheCaptureIsGivenUpAfterThirty) {
  // The decoder delivers nothing: the reads come back empty, or one read
  // waits for data that never comes. Either way the deadline is met.
  for (auto how : {FakeScript::EmptyPull::advanceClock, FakeScript::EmptyPull::blockedRead}) {
    const bool blocked = how == FakeScript::EmptyPull::blockedRead;
    SCOPED_TRACE(blocked ? "one read that waits" : "empty reads");
    DebugCapture debug;
    RecordingListener events{&clock};
    engine->SetListener(&events);
    script = std::make_shared<FakeScript>();
    script->clock = &clock;
    script->emptyPull = how;
    Schedule(0.4, 8, 1000);
    const uint64_t opened = clock.Now();
    ASSERT_TRUE(Open("/v.avi", &events.answers).opened);
    ASSERT_TRUE(events.WaitFor("ended"));
    EXPECT_EQ(events.Values("ended"), std::vector<int64_t>{0});
    EXPECT_TRUE(WaitForDebug(debug, "Paused"));
    EXPECT_EQ(engine->GetState(), CaptureState::stopped);

    // The first check comes after 10 s and counts as progress; timing
    // starts at the next check without progress (11 s).
    std::vector<std::pair<uint64_t, std::string>> statuses;
    for (const auto& e : events.Of("status")) statuses.emplace_back(e.tick - opened, e.text);
    std::vector<std::pair<uint64_t, std::string>> expected = {{12000, kStallMessageStandBy},
                                                              {13000, kStallMessageStandBy},
                                                              {14000, kStallMessageSlowMode},
                                                              {15000, kStallMessageSlowMode}};
    for (uint64_t t = 16000; t <= 25000; t += 1000)
      expected.emplace_back(t, kStallMessageProbablyImpossible);
    expected.emplace_back(42000, kStallMessageAborting);
    EXPECT_EQ(statuses, expected);
    // Slow mode forbids seeking: the stream is never repositioned again.
    EXPECT_FALSE(engine->GetSchedule().seekAllowed);
    EXPECT_TRUE(debug.Contains("Aborting..."));
    {
      std::lock_guard<std::mutex> lock(script->mutex);
      EXPECT_EQ(script->positions.size(), 1u);
      if (blocked) {
        EXPECT_EQ(script->pulls, 1) << "all of it while the one read waited";
      }
    }
    engine->Close();
    engine->SetListener(&listener);
  }
}

TEST_F(EngineTest, ProgressEndsAStallAndRestoresSeeking) {
  Schedule(0.4, 8, 1000);
  std::vector<bool> seekAllowed;  // at each pull that found nothing, from the first
  script->onEmptyPull = [&](int pull) {
    seekAllowed.push_back(engine->GetSchedule().seekAllowed);
    if (pull == 1) script->Queue({1 * T, 2 * T, true, nullptr});
    // Progress after a stall of 2 s: seen at the check at 14 s.
    if (pull == 13) script->Queue({2 * T, 3 * T, true, nullptr});
    if (pull == 17) engine->Stop();
    clock.Advance(1000);
  };
  ASSERT_TRUE(Open("/v.avi").opened);
  ASSERT_TRUE(listener.WaitFor("ended"));
  // Checks at 10 s (progress), 11 s (timing begins), 12 and 13 s (messages),
  // 14 s (frame 2: seeking back, timing cleared), 15 s (a new stall), 16 s
  // (its first message).
  const auto statuses = listener.Of("status");
  ASSERT_EQ(statuses.size(), 3u);
  for (const auto& e : statuses) EXPECT_EQ(e.text, kStallMessageStandBy);
  ASSERT_GE(seekAllowed.size(), 17u);
  EXPECT_EQ(std::vector<bool>(seekAllowed.begin() + 10, seekAllowed.begin() + 17),
            (std::vector<bool>{true, true, false, false, true, true, false}));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
}

TEST_F(EngineTest, StreamEndingBeforeTheScheduleCompletesTheCaptureAtOnce) {
  Schedule(0.4, 0.8, 1000);  // a cut-short file: promises 1000 frames
  ASSERT_TRUE(Open("/cut.avi").opened);
  Deliver(10);
  Deliver(30);
  script->End();
  ASSERT_TRUE(listener.WaitFor("ended", 1, std::chrono::seconds(2)));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{1});
  EXPECT_EQ(listener.Values("frame"), (std::vector<int64_t>{10, 30}));
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  EXPECT_TRUE(listener.Of("status").empty()) << "no stall timer";
}

// ---------------------------------------------------------------------------
// Commands

TEST_F(EngineTest, PauseResumeAndStopFollowTheStateTable) {
  Schedule(0.4, 0.8, 1000);
  ASSERT_TRUE(Open("/v.avi").opened);
  {
    SCOPED_TRACE("running -> pausing -> paused once the capture thread has stopped");
    engine->TogglePause();
    EXPECT_TRUE(WaitForState(*engine, CaptureState::paused));
    // Every change reaches the listener, the capture thread's own included.
    ASSERT_TRUE(listener.WaitFor("state", 4));
    EXPECT_EQ(listener.Values("state"),
              (std::vector<int64_t>{static_cast<int64_t>(CaptureState::opening),
                                    static_cast<int64_t>(CaptureState::running),
                                    static_cast<int64_t>(CaptureState::pausing),
                                    static_cast<int64_t>(CaptureState::paused)}));
    script->Queue({10 * T, 11 * T, true, nullptr});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(script->Consumed()) << "nothing is read while paused";
  }
  {
    SCOPED_TRACE("paused -> running");
    engine->TogglePause();
    EXPECT_EQ(engine->GetState(), CaptureState::running);
    ASSERT_TRUE(WaitUntil([&] { return script->Consumed(); }));
    EXPECT_EQ(listener.Values("frame"), std::vector<int64_t>{10});
  }
  {
    SCOPED_TRACE("a second toggle while still pausing runs again");
    engine->TogglePause();
    engine->TogglePause();
    EXPECT_EQ(engine->GetState(), CaptureState::running);
  }
  {
    SCOPED_TRACE("stop while running: the end is reported, not completed");
    DebugCapture debug;
    engine->Stop();
    EXPECT_EQ(engine->GetState(), CaptureState::stopped);
    ASSERT_TRUE(listener.WaitFor("ended"));
    EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
    EXPECT_TRUE(WaitForDebug(debug, "Paused"));
    EXPECT_NE(IndexOf(script->Log(), "Cancel"), -1) << "a read that blocks gives up";
  }
  engine->Close();
  EXPECT_EQ(engine->GetState(), CaptureState::idle);

  SCOPED_TRACE("stop while paused");
  script = std::make_shared<FakeScript>();
  ASSERT_TRUE(Open("/v.avi").opened);
  engine->TogglePause();
  ASSERT_TRUE(WaitForState(*engine, CaptureState::paused));
  engine->Stop();
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  ASSERT_TRUE(listener.WaitFor("ended", 2));
  EXPECT_EQ(listener.Values("ended"), (std::vector<int64_t>{0, 0}));
}

TEST_F(EngineTest, StopRightAfterOpenStillEndsTheCapture) {
  // The owner may stop the capture before its thread first runs (a loaded
  // machine): the thread must still see the stop and report it.
  Schedule(0.4, 0.8, 1000);
  ASSERT_TRUE(Open("/v.avi").opened);
  engine->Stop();
  EXPECT_EQ(engine->GetState(), CaptureState::stopped);
  ASSERT_TRUE(listener.WaitFor("ended"));
  EXPECT_EQ(listener.Values("ended"), std::vector<int64_t>{0});
}

TEST_F(EngineTest, CloseMakesTheCaptureThreadLeaveBeforeReleasingAnything) {
  Schedule(0.4, 0.8, 1000);
  for (bool paused : {false, true}) {
    SCOPED_TRACE(paused ? "paused" : "reading");
    script = std::make_shared<FakeScript>();
    ASSERT_TRUE(Open("/v.avi").opened);
    ASSERT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> lock(script->mutex);
      return script->pulls > 0;
    }));
    if (paused) {
      engine->TogglePause();
      ASSERT_TRUE(WaitForState(*engine, CaptureState::paused));
    }
    engine->Close();
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
    const auto log = script->Log();
    EXPECT_NE(IndexOf(log, "Cancel"), -1);
    EXPECT_EQ(log.back(), "destroyed");
    EXPECT_TRUE(listener.Values("ended").empty()) << "a closed capture reports no end";
  }
}

TEST_F(EngineTest, CloseFromTheEndReportLeavesNoThreadBehind) {
  // An owner that closes the capture inside its end report, on the capture
  // thread: the thread is not detached, and the next Open and the engine's
  // end wait for it.
  struct ClosingListener final : CaptureListener {
    CaptureEngine* engine = nullptr;
    std::atomic<int> ends{0};
    void FrameCaptured(const CapturedFrame&) override {}
    void StatusText(FrameNumber, const char*) override {}
    void CaptureEnded(const CaptureEnd&) override {
      engine->Close();
      ++ends;
      testing::Changes().Raise();
    }
    void Progress(FrameNumber, FrameNumber) override {}
    void StateChanged(CaptureState) override {}
    void Opened(const OpenOutcome& outcome) override { answers.Add(outcome); }
    testing::OpenAnswers answers;
  } closing;
  closing.engine = engine.get();
  engine->SetListener(&closing);
  Schedule(0.4, 0.8, 1000);
  for (int movie = 1; movie <= 2; ++movie) {
    SCOPED_TRACE(movie);
    script = std::make_shared<FakeScript>();
    ASSERT_TRUE(Open("/v.avi", &closing.answers).opened);
    engine->Stop();
    ASSERT_TRUE(WaitUntil([&] { return closing.ends.load() == movie; }));
    EXPECT_EQ(engine->GetState(), CaptureState::idle);
    EXPECT_TRUE(script->destroyed);
  }
  engine.reset();  // joins the last thread
}

}  // namespace
}  // namespace ombrelo
