// The representative frame: pictures that are nearly one flat colour are
// told from real ones; the grab seeks once to a point inside the video and
// goes on to the next point only past a flat frame; it ends within its time
// limit whatever the pipeline does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <vector>

#include "engine/ffmpeg_pipeline.h"
#include "engine/frame_metrics.h"
#include "engine/thumbnail_grab.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

// A w x h BGR picture of grey `level`, with `bright` rows [top, bottom) set to 255.
std::vector<uint8_t> Grey(int w, int h, uint8_t level, int top = 0, int bottom = 0) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h * 3, level);
  std::fill(p.begin() + top * w * 3, p.begin() + bottom * w * 3, 255);
  return p;
}

TEST(FrameMetrics, NearlyFlatPicturesAreToldFromRealOnes) {
  const int w = 320, h = 240;
  std::vector<uint8_t> fade = Grey(w, h, 12), frame(fade.size()), gradient(fade.size());
  std::mt19937 random(7);
  for (uint8_t& v : fade) v = static_cast<uint8_t>(v + random() % 12);
  testvideo::DrawFrame(40, frame.data(), w, h, w * 3, testvideo::PixelOrder::BGR24);
  for (size_t i = 0; i < gradient.size(); ++i) gradient[i] = static_cast<uint8_t>(i / 3 % w / 4);
  const std::pair<std::vector<uint8_t>, bool> cases[] = {
      {Grey(w, h, 0), true},              // black
      {fade, true},                       // the end of a fade, with noise
      {Grey(w, h, 0, 110, 116), true},    // a title card: one line of text
      {Grey(w, h, 0, 0, h / 2), false},   // half black, half white
      {frame, false},                     // a frame of a test video
      {gradient, false},                  // a dark scene
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const std::vector<uint8_t>& p = cases[i].first;
    EXPECT_EQ(IsNearlyFlat(p.data(), w, h, w * 3), cases[i].second);
    // Read bottom-up, from its last row.
    EXPECT_EQ(IsNearlyFlat(p.data() + (h - 1) * w * 3, w, h, -w * 3), cases[i].second);
  }
  EXPECT_TRUE(IsNearlyFlat(nullptr, 0, 0, 0));
}

// A pipeline of 100 frames whose pictures are flat or not by their time,
// pulled from a position. With `stall` 1 Open blocks until it is cancelled;
// with 2 no frame comes.
struct Scripted final : MediaPipeline, MediaSample {
  std::function<bool(int64_t)> flatAt;
  bool canSeek = true, cancelled = false;
  int stall = 0;
  std::vector<int64_t>* seeks;
  int64_t at = 0;
  std::vector<uint8_t> pixels;
  std::mutex mutex;
  std::condition_variable cv;

  HResult Open(const std::string&) override {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [&] { return stall != 1 || cancelled; });
    return stall == 1 ? E_ABORT : S_OK;
  }
  HResult Connect() override { return S_OK; }
  HResult GetStreamFacts(StreamFacts* f) override {
    f->header.biWidth = 64;
    f->header.biHeight = 48;
    f->header.biBitCount = 24;
    f->duration = 100 * 400'000;
    f->canSeek = canSeek;
    return S_OK;
  }
  HResult Seek(int64_t, int64_t wanted) override {  // a key frame on every frame
    seeks->push_back(at = wanted);
    return S_OK;
  }
  void ExpectNext(int64_t) override {}
  Pull NextFrame(PulledFrame* frame) override {
    if (stall) return Pull::again;
    if (at >= 100 * 400'000) return Pull::end;
    pixels = Grey(64, 48, 0, 0, flatAt(at) ? 0 : 24);
    frame->sample = this;
    frame->start = at;
    at += 400'000;
    return Pull::frame;
  }
  void Interrupt() override {}
  void Cancel() override {
    std::lock_guard<std::mutex> lock(mutex);
    cancelled = true;
    cv.notify_all();
  }
  void SetWaitCheck(std::function<bool()>) override {}
  bool IsPreroll() const override { return false; }
  const uint8_t* GetPointer() override { return pixels.data(); }
  int32_t GetSize() const override { return static_cast<int32_t>(pixels.size()); }
};

GrabResult Grab(std::vector<int64_t>* seeks, std::function<bool(int64_t)> flatAt,
                bool canSeek = true, int stall = 0) {
  GrabOptions options;
  options.timeLimit = std::chrono::milliseconds(300);
  options.pipelineFactory = [=] {
    auto p = std::make_unique<Scripted>();
    p->flatAt = flatAt;
    p->canSeek = canSeek;
    p->stall = stall;
    p->seeks = seeks;
    return p;
  };
  return GrabRepresentativeFrame("video", options);
}

TEST(ThumbnailGrab, SeeksOnceAndGoesOnToTheNextPointOnlyPastAFlatFrame) {
  constexpr int64_t kLength = 100 * 400'000;
  const struct {
    std::function<bool(int64_t)> flatAt;
    bool canSeek;
    std::vector<int64_t> seeks;
    int64_t time;
    bool flat;
  } cases[] = {
      {[](int64_t) { return false; }, true, {kLength / 4}, kLength / 4, false},
      {[](int64_t t) { return t <= kLength / 2; }, true,  // black first half
       {kLength / 4, kLength / 2, kLength * 3 / 4}, kLength * 3 / 4, false},
      {[](int64_t) { return true; }, true,  // all black: the first one looked at
       {kLength / 4, kLength / 2, kLength * 3 / 4, kLength / 10}, kLength / 4, true},
      {[](int64_t t) { return t < 4'000'000; }, false, {}, 4'000'000, false},  // cannot seek
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    std::vector<int64_t> seeks;
    const GrabResult r = Grab(&seeks, cases[i].flatAt, cases[i].canSeek);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(seeks, cases[i].seeks);
    EXPECT_EQ(r.frame.time, cases[i].time);
    EXPECT_EQ(r.frame.flat, cases[i].flat);
    EXPECT_EQ(r.frame.bgr.size(), 64u * 48 * 3);
  }
  // Opening that blocks, or a stream that never gives a frame: over in time.
  for (int stall : {1, 2}) {
    std::vector<int64_t> seeks;
    const auto start = std::chrono::steady_clock::now();
    const GrabResult r = Grab(&seeks, [](int64_t) { return false; }, true, stall);
    EXPECT_EQ(r.error, "no frame within the time limit");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

TEST(ThumbnailGrab, ARealVideoGivesTheKeyFrameBeforeAQuarterDecodingLittleElse) {
  static testing::VideoCache videos{"grab-videos"};
  testvideo::VideoOptions o = testing::SmallVideo(400);
  o.keyframeInterval = 30;  // the key frame before frame 100 is frame 90
  FfmpegPipelineOptions pipeline;
  pipeline.counters = std::make_shared<PipelineCounters>();
  GrabOptions options;
  options.pipelineFactory = FfmpegPipelineFactory(pipeline);
  const GrabResult r = GrabRepresentativeFrame(videos.Make(o, "clip.mp4"), options);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(testvideo::ReadFrameNumber(r.frame.bgr.data(), 160, 120, 160 * 3,
                                       testvideo::PixelOrder::BGR24),
            90);
  EXPECT_EQ(pipeline.counters->seeks.load(), 1);
  EXPECT_LE(pipeline.counters->framesDecoded.load(), 10);
  EXPECT_EQ(pipeline.counters->framesConverted.load(), 1);
}

}  // namespace
}  // namespace ombrelo
