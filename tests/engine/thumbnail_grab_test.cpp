// The representative frame: pictures that are nearly one flat colour are
// told from real ones; the grab seeks once to a point inside the video and
// goes on to the next point only past a flat frame; it ends within its time
// limit whatever the pipeline does.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "engine/ffmpeg_pipeline.h"
#include "engine/frame_metrics.h"
#include "engine/thumbnail_grab.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 64, kHeight = 48;

std::vector<uint8_t> Picture(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < p.size(); i += 3) {
    p[i] = b;
    p[i + 1] = g;
    p[i + 2] = r;
  }
  return p;
}

void Fill(std::vector<uint8_t>* p, int width, int x0, int y0, int x1, int y1, uint8_t v) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 3; ++c) (*p)[(static_cast<size_t>(y) * width + x) * 3 + c] = v;
}

TEST(FrameMetrics, NearlyFlatPicturesAreToldFromRealOnes) {
  const int w = 320, h = 240;
  std::mt19937 random(7);
  auto noisy = [&](std::vector<uint8_t> p, int amplitude) {
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    for (uint8_t& v : p) v = static_cast<uint8_t>(std::clamp(v + d(random), 0, 255));
    return p;
  };
  std::vector<uint8_t> titleCard = Picture(w, h, 0, 0, 0);
  Fill(&titleCard, w, 100, 110, 220, 118, 255);  // a line of text
  std::vector<uint8_t> halves = Picture(w, h, 0, 0, 0);
  Fill(&halves, w, 0, 0, w, h / 2, 255);
  std::vector<uint8_t> videoFrame(static_cast<size_t>(w) * h * 3);
  testvideo::DrawFrame(40, videoFrame.data(), w, h, w * 3, testvideo::PixelOrder::BGR24);
  std::vector<uint8_t> darkScene = Picture(w, h, 0, 0, 0);
  for (int x = 0; x < w; ++x) Fill(&darkScene, w, x, 0, x + 1, h, static_cast<uint8_t>(x * 80 / w));

  struct Case {
    const char* name;
    const std::vector<uint8_t>& pixels;
    bool flat;
  };
  const std::vector<uint8_t> black = Picture(w, h, 0, 0, 0);
  const std::vector<uint8_t> fade = noisy(Picture(w, h, 12, 10, 14), 6);
  const std::vector<uint8_t> blue = noisy(Picture(w, h, 200, 40, 20), 4);
  const Case cases[] = {
      {"black", black, true},
      {"end of a fade, with noise", fade, true},
      {"one colour with noise", blue, true},
      {"title card", titleCard, true},
      {"half black, half white", halves, false},
      {"a frame of a test video", videoFrame, false},
      {"a dark scene with a gradient", darkScene, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsNearlyFlat(c.pixels.data(), w, h, w * 3), c.flat)
        << DominantColourShare(c.pixels.data(), w, h, w * 3);
    // The same picture stored bottom-up.
    std::vector<uint8_t> flipped(c.pixels.size());
    for (int y = 0; y < h; ++y)
      std::copy_n(c.pixels.data() + static_cast<size_t>(y) * w * 3, w * 3,
                  flipped.data() + static_cast<size_t>(h - 1 - y) * w * 3);
    EXPECT_EQ(IsNearlyFlat(flipped.data() + static_cast<size_t>(h - 1) * w * 3, w, h, -w * 3),
              c.flat);
  }
  EXPECT_TRUE(IsNearlyFlat(nullptr, 0, 0, 0));
  EXPECT_TRUE(IsNearlyFlat(black.data(), 1, 1, 3));
}

// A pipeline whose frames are flat or not by their time; it delivers the
// frame at a position on the caller's thread when it is run or sought there.
class ScriptedPipeline final : public MediaPipeline {
 public:
  struct Script {
    std::mutex mutex;
    std::vector<int64_t> seeks;
    std::function<bool(int64_t)> flatAt = [](int64_t) { return false; };
    bool canSeek = true;
    bool blockOpen = false;   // Open waits until the waits are cancelled
    bool deliver = true;      // false: no frame ever comes
    int64_t duration = 100 * 400'000;
  };
  explicit ScriptedPipeline(std::shared_ptr<Script> script) : script_(std::move(script)) {}

  HResult Open(const std::string&) override {
    if (script_->blockOpen) {
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait(lock, [this] { return cancelled_; });
      return E_ABORT;
    }
    return S_OK;
  }
  HResult Connect() override { return S_OK; }
  HResult GetStreamFacts(StreamFacts* facts) override {
    facts->header.biWidth = kWidth;
    facts->header.biHeight = kHeight;
    facts->header.biBitCount = 24;
    facts->header.biSizeImage = kWidth * 3 * kHeight;
    facts->avgTimePerFrame = 400'000;
    facts->duration = script_->duration;
    facts->canSeek = script_->canSeek;
    return S_OK;
  }
  void SetSampleCallback(SampleCallback callback) override { callback_ = std::move(callback); }
  HResult Seek(int64_t current, int64_t) override {
    {
      std::lock_guard<std::mutex> lock(script_->mutex);
      script_->seeks.push_back(current);
    }
    position_ = current;
    if (running_) DeliverFrom(position_);
    return S_OK;
  }
  void ExpectNext(int64_t) override {}
  HResult Run() override {
    running_ = true;
    DeliverFrom(position_);
    return S_OK;
  }
  HResult Pause() override { return S_OK; }
  HResult Stop() override { return S_OK; }
  HResult WaitForCompletion(int64_t, int32_t* code) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return VFW_E_WRONG_STATE;
    if (ended_) {
      *code = EC_COMPLETE;
      return S_OK;
    }
    return E_ABORT;
  }
  void CancelWaits() override {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    cv_.notify_all();
  }
  void Notify(int32_t) override {}

 private:
  class Sample final : public MediaSample {
   public:
    explicit Sample(const std::vector<uint8_t>& p) : p_(p) {}
    bool IsPreroll() const override { return false; }
    const uint8_t* GetPointer() override { return p_.data(); }
    int32_t GetSize() const override { return static_cast<int32_t>(p_.size()); }

   private:
    const std::vector<uint8_t>& p_;
  };

  // Frames from `at` on until the callback asks to stop or the stream ends.
  void DeliverFrom(int64_t at) {
    if (!script_->deliver) return;
    for (int64_t t = at; t < script_->duration; t += 400'000) {
      std::vector<uint8_t> pixels = Picture(kWidth, kHeight, 0, 0, 0);
      if (!script_->flatAt(t)) Fill(&pixels, kWidth, 0, 0, kWidth / 2, kHeight, 200);
      Sample sample(pixels);
      if (callback_(&sample, &t, nullptr) == S_FALSE) return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }

  std::shared_ptr<Script> script_;
  SampleCallback callback_;
  int64_t position_ = 0;
  bool running_ = false;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool cancelled_ = false;  // under mutex_
  bool ended_ = false;      // under mutex_
};

GrabOptions Scripted(const std::shared_ptr<ScriptedPipeline::Script>& script) {
  GrabOptions options;
  options.pipelineFactory = [script] { return std::make_unique<ScriptedPipeline>(script); };
  return options;
}

TEST(ThumbnailGrab, SeeksOnceAndGoesOnToTheNextPointOnlyPastAFlatFrame) {
  const int64_t length = 100 * 400'000;
  {
    SCOPED_TRACE("a real picture at a quarter: one seek");
    auto script = std::make_shared<ScriptedPipeline::Script>();
    const GrabResult r = GrabRepresentativeFrame("x", Scripted(script));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script->seeks, std::vector<int64_t>{length / 4});
    EXPECT_EQ(r.frame.time, length / 4);
    EXPECT_FALSE(r.frame.flat);
    EXPECT_EQ(r.frame.width, kWidth);
    EXPECT_EQ(r.frame.bgr.size(), static_cast<size_t>(kWidth) * kHeight * 3);
  }
  {
    SCOPED_TRACE("black in the first half: the point in the middle is tried, then three quarters");
    auto script = std::make_shared<ScriptedPipeline::Script>();
    script->flatAt = [length](int64_t t) { return t <= length / 2; };
    const GrabResult r = GrabRepresentativeFrame("x", Scripted(script));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script->seeks, (std::vector<int64_t>{length / 4, length / 2, length * 3 / 4}));
    EXPECT_EQ(r.frame.time, length * 3 / 4);
    EXPECT_FALSE(r.frame.flat);
  }
  {
    SCOPED_TRACE("all black: the first frame looked at, marked flat");
    auto script = std::make_shared<ScriptedPipeline::Script>();
    script->flatAt = [](int64_t) { return true; };
    const GrabResult r = GrabRepresentativeFrame("x", Scripted(script));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script->seeks.size(), 4u);
    EXPECT_EQ(r.frame.time, length / 4);
    EXPECT_TRUE(r.frame.flat);
  }
  {
    SCOPED_TRACE("no seeking: decoded from the start to the first real picture");
    auto script = std::make_shared<ScriptedPipeline::Script>();
    script->canSeek = false;
    script->flatAt = [](int64_t t) { return t < 10 * 400'000; };
    const GrabResult r = GrabRepresentativeFrame("x", Scripted(script));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(script->seeks.empty());
    EXPECT_EQ(r.frame.time, 10 * 400'000);
  }
}

TEST(ThumbnailGrab, EndsWithinItsTimeLimitWhenNothingComes) {
  for (bool blockOpen : {true, false}) {
    SCOPED_TRACE(blockOpen ? "opening blocks" : "no frame is ever decoded");
    auto script = std::make_shared<ScriptedPipeline::Script>();
    script->blockOpen = blockOpen;
    script->deliver = false;
    GrabOptions options = Scripted(script);
    options.timeLimit = std::chrono::milliseconds(200);
    const auto start = Clock::now();
    const GrabResult r = GrabRepresentativeFrame("x", options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "no frame within the time limit");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  }
}

TEST(ThumbnailGrab, ARealVideoGivesTheFrameAtAQuarterWithoutDecodingItAll) {
  static testing::VideoCache videos{"grab-videos"};
  testvideo::VideoOptions o = testing::SmallVideo(400);
  o.keyframeInterval = 25;
  const std::string path = videos.Make(o, "clip.mp4");
  ASSERT_FALSE(path.empty());
  FfmpegPipelineOptions pipelineOptions;
  pipelineOptions.counters = std::make_shared<PipelineCounters>();
  GrabOptions options;
  options.pipelineFactory = FfmpegPipelineFactory(pipelineOptions);
  const GrabResult r = GrabRepresentativeFrame(path, options);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.frame.width, 160);
  EXPECT_EQ(r.frame.height, 120);
  EXPECT_EQ(testvideo::ReadFrameNumber(r.frame.bgr.data(), r.frame.width, r.frame.height,
                                       r.frame.width * 3, testvideo::PixelOrder::BGR24),
            100);
  EXPECT_EQ(pipelineOptions.counters->seeks.load(), 1);
  EXPECT_LE(pipelineOptions.counters->framesDecoded.load(), 40);
  EXPECT_EQ(pipelineOptions.counters->framesConverted.load(), 1);
}

}  // namespace
}  // namespace ombrelo
