// The workflow controller end to end: the real engine on generated videos,
// real thumbnails, playlists, web pages and index photos, driven by the
// controller on a Qt event loop, with a recorder of what it publishes.
#include "workflow/workflow_controller.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "engine/ffmpeg_pipeline.h"
#include "platform/paths.h"
#include "workflow_fixture.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RunUntil;
using testing::TempFolder;
using testing::TestVideos;
using testing::WorkflowTest;

TEST_F(WorkflowTest, CapturesTheScheduledFramesInEveryContainerAndMakesTheOutputs) {
  struct Case {
    const char* name;
    const char* codec;
  };
  const Case cases[] = {{"clip_h264.mp4", "h264"},
                        {"clip_mpeg4.avi", "mpeg4"},
                        {"clip_mkv_h264.mkv", "h264"},
                        {"clip_vp9.webm", "vp9"},
                        {"clip_mpeg2.mpg", "mpeg2video"}};
  std::vector<std::string> videos;
  for (const Case& c : cases) {
    videos.push_back(TestVideos::Get().Make(c.name, 250, c.codec));
    ASSERT_FALSE(videos.back().empty());
    Add(videos.back());
  }

  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());

  const std::vector<uint32_t> scheduled = {25, 75, 125, 175, 225};
  const char* const suffixes[] = {"_0h00m01.000s", "_0h00m03.000s", "_0h00m05.000s",
                                  "_0h00m07.000s", "_0h00m09.000s"};
  for (size_t m = 0; m < videos.size(); ++m) {
    SCOPED_TRACE(videos[m]);
    const Movie& movie = MovieAt(m);
    const std::string name = PathBaseName(videos[m]);
    EXPECT_EQ(movie.status, kMovieDone) << movie.error;
    EXPECT_EQ(movie.error, "");
    EXPECT_GT(movie.length, 9.9);
    EXPECT_EQ(movie.videoFormat.biWidth, 160);
    EXPECT_EQ(movie.size, std::filesystem::file_size(videos[m]) / 1024);
    ASSERT_EQ(movie.images.size(), scheduled.size());
    for (size_t i = 0; i < scheduled.size(); ++i) {
      const ImageEntry& image = movie.images[i];
      EXPECT_EQ(image.frame, scheduled[i]);
      EXPECT_EQ(image.path, out_ + "Thumbs/" + name + "/" + name + suffixes[i] + ".jpg");
      // The picture in the file is the frame that was scheduled.
      EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(image.path), static_cast<int>(scheduled[i]));
    }

    // The playlist lists the thumbnails; the web page shows them and links
    // the playlist and the index photo; the index photo is a picture.
    EXPECT_EQ(movie.ipl, out_ + "Ipl/" + name + ".ipl");
    EXPECT_EQ(movie.html, out_ + "Html/" + name + ".html");
    EXPECT_EQ(movie.indexphoto, out_ + "Index/" + name + ".jpg");
    const std::string playlist = ReadFileBytes(movie.ipl);
    const std::string page = ReadFileBytes(movie.html);
    for (const ImageEntry& image : movie.images) {
      EXPECT_TRUE(Contains(playlist, "\t<file>" + image.path + "</file>\n"));
      EXPECT_TRUE(Contains(page, "../Thumbs/" + name + "/" + paths::FileName(image.path)));
    }
    EXPECT_TRUE(Contains(page, "../Ipl/" + name + ".ipl")) << page;
    EXPECT_TRUE(Contains(page, "../Index/" + name + ".jpg"));
    EXPECT_TRUE(FileExists(out_ + "Html/gallery_files/gallery.css"));
    QImage photo(QString::fromStdString(movie.indexphoto));
    EXPECT_FALSE(photo.isNull());
    EXPECT_GE(photo.width(), 320);

    // Each movie went through its steps in order, and the next one was
    // started only once its index photo was finished.
    ASSERT_GE(seen_.Find("started: " + videos[m]), 0);
    // The counts went from none to all the thumbnails promised, the video
    // counted among the run's five.
    const std::string video = std::to_string(m + 1) + "/5 ";
    EXPECT_GT(seen_.Find("counts: " + video + "0/5"), seen_.Find("started: " + videos[m]));
    EXPECT_LT(seen_.Find("counts: " + video + "5/5"), seen_.Find("finished: " + videos[m]));
    EXPECT_GE(seen_.Find("counts: " + video + "5/5"), 0);
    const int photoDone = seen_.Find("index photo: " + videos[m]);
    EXPECT_GT(photoDone, seen_.Find("finished: " + videos[m]));
    if (m + 1 < videos.size()) {
      EXPECT_LT(photoDone, seen_.Find("started: " + videos[m + 1]));
    }
  }
  EXPECT_EQ(seen_.statusTexts.front(), "Grabbing from : " + videos[0]);
  const std::vector<std::string> lastSteps(seen_.statusTexts.end() - 4, seen_.statusTexts.end());
  EXPECT_EQ(lastSteps, (std::vector<std::string>{"Saving playlist", "Saving webpage",
                                                 "Saving index photo", "Ready"}));
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{5, 0}}));
  EXPECT_TRUE(seen_.helpPages.empty());
  EXPECT_EQ(seen_.runsFinished, 1);
  EXPECT_TRUE(seen_.errors.empty());
  EXPECT_EQ(seen_.progress.back(), 1000);
  EXPECT_EQ(seen_.commands, CommandStates{});
  EXPECT_TRUE(seen_.messages.empty())
      << seen_.messages.front().caption << ": " << seen_.messages.front().text;
}

TEST_F(WorkflowTest, NamesFollowTheSettingsAndBmpFilesHoldTheFrames) {
  const std::string video = TestVideos::Get().Make("named.mp4");
  Add(video);
  project_->UpdateCapture([&](CaptureSettings& c) { c.namebyframe = true; });
  project_->UpdateCapture([&](CaptureSettings& c) { c.imageformat = 1; });
  project_->SetHtmlEnabled(false);
  project_->SetIndexphotoEnabled(false);

  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const Movie& movie = MovieAt(0);
  ASSERT_EQ(movie.images.size(), 5u);
  EXPECT_EQ(movie.images[2].path, out_ + "Thumbs/named/named_000125.bmp");
  EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(movie.images[2].path), 125);
  EXPECT_EQ(movie.html, "");
  EXPECT_EQ(movie.indexphoto, "");
  EXPECT_FALSE(FileExists(out_ + "Html"));
  EXPECT_FALSE(FileExists(out_ + "Index"));
  EXPECT_EQ(movie.status, kMovieDone);
  // Without an index photo to wait for, the run ends at once.
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{1, 0}}));
}

TEST_F(WorkflowTest, StopKeepsTheMovieWaitingAndTheNextStartCapturesItAgain) {
  const std::string video = TestVideos::Get().Make("long.mp4", 500);
  const int32_t id = Add(video);
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 0.0; });
  project_->UpdateCapture(
      [&](CaptureSettings& c) { c.delaybetweensamples = 0.2; });  // every fifth frame: 100 samples

  // Stop at the first frame.
  seen_.onFrame = [&](const FrameCopy&) {
    seen_.onFrame = nullptr;
    EXPECT_EQ(seen_.commands, (CommandStates{false, true, true}));
    Controller().Stop();
  };
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.status, kMovieOpened) << movie.error;
  EXPECT_EQ(movie.ipl, "");
  EXPECT_EQ(movie.html, "");
  EXPECT_EQ(movie.indexphoto, "");
  EXPECT_FALSE(FileExists(out_ + "Ipl"));
  EXPECT_LT(movie.images.size(), 100u);
  const size_t firstCapture = movie.images.size();
  auto stopping = std::find(seen_.statusTexts.begin(), seen_.statusTexts.end(), "Stopping");
  ASSERT_NE(stopping, seen_.statusTexts.end());
  EXPECT_EQ(seen_.statusTexts.back(), "Ready");
  EXPECT_TRUE(seen_.helpPages.empty());
  EXPECT_EQ(engine_.GetState(), CaptureState::idle);
  EXPECT_EQ(seen_.commands, (CommandStates{true, false, false}));

  SCOPED_TRACE("the next Start captures it again, pausing and resuming on the way");
  // Named otherwise this time: the first capture's files are of no use.
  project_->UpdateCapture([&](CaptureSettings& c) { c.namebyframe = true; });
  seen_.onFrame = [&](const FrameCopy&) {
    seen_.onFrame = nullptr;
    Controller().Pause();
  };
  Controller().Start();
  // The engine's own change from pausing to paused reaches the commands,
  // also when the pause came before the engine's worker began to wait (it
  // once stayed "Pausing" for ten seconds then).
  ASSERT_TRUE(RunUntil(
      [&] {
        return engine_.GetState() == CaptureState::paused &&
               seen_.commands == CommandStates{false, false, true, true} &&
               !seen_.statusTexts.empty() && seen_.statusTexts.back() == "Paused";
      },
      std::chrono::seconds(5)));
  Controller().Pause();
  EXPECT_EQ(seen_.statusTexts.back(), "Capturing");
  EXPECT_EQ(engine_.GetState(), CaptureState::running);
  ASSERT_TRUE(RunToTheEnd());
  EXPECT_EQ(movie.status, kMovieDone);
  // The capture began anew: each thumbnail once, in order, in the movie, on
  // disk and in the playlist; none of the stopped capture's is left.
  EXPECT_GT(firstCapture, 0u);
  ASSERT_EQ(movie.images.size(), 100u);
  for (size_t i = 0; i < movie.images.size(); ++i) {
    EXPECT_EQ(movie.images[i].frame, i * 5);
  }
  const auto files = std::filesystem::directory_iterator(paths::FolderOf(movie.images[0].path));
  EXPECT_EQ(std::distance(begin(files), end(files)), 101);  // and the folder's marker
  const std::string playlist = ReadFileBytes(movie.ipl);
  // Its frame: five tags around the entries, ten in each.
  EXPECT_EQ(std::count(playlist.begin(), playlist.end(), '<'), 5 + 100 * 10);
  EXPECT_TRUE(FileExists(movie.indexphoto));
}

TEST_F(WorkflowTest, EndRunStopsTheCaptureAndStartsNoFurtherMovie) {
  const std::string first = TestVideos::Get().Make("endrun.mp4", 500);
  const int32_t id = Add(first);
  const int32_t next = Add(TestVideos::Get().Make("second.mp4"));
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 0.0; });
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 0.2; });
  seen_.onFrame = [&](const FrameCopy&) {
    seen_.onFrame = nullptr;
    Controller().EndRun();
  };
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  EXPECT_FALSE(Controller().RunActive());
  EXPECT_EQ(project_->FindMovie(id)->status, kMovieOpened);
  EXPECT_EQ(project_->FindMovie(next)->status, kMovieWaiting);
  EXPECT_EQ(seen_.started.size(), 1u);
}

TEST_F(WorkflowTest, AMovieRemovedWhileItIsCapturedIsDroppedQuietlyAndTheRunGoesOn) {
  const std::string gone = TestVideos::Get().Make("removed.mp4");
  const std::string next = TestVideos::Get().Make("second.mp4");
  Add(gone);
  const int32_t nextId = Add(next);
  // The user removes the movie at its first frame, while the capture runs on.
  seen_.onFrame = [&](const FrameCopy&) {
    seen_.onFrame = nullptr;
    project_->RemoveMovie(gone);
  };
  testing::DebugCapture debug;
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  // No box about an internal error, no outputs for it, and the next movie
  // was indexed as usual.
  EXPECT_TRUE(seen_.messages.empty()) << seen_.messages.front().text;
  EXPECT_EQ(seen_.finished, std::vector<std::string>{next});
  EXPECT_EQ(project_->FindMovie(nextId)->status, kMovieDone);
  EXPECT_FALSE(FileExists(out_ + "Ipl/removed.ipl"));
  EXPECT_TRUE(Contains(debug.Text(), "it was removed"));
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{1, 0}}));
}

TEST_F(WorkflowTest, CommandsFollowTheEngineState) {
  EXPECT_EQ(Controller().GetCommandStates(), CommandStates{});
  const int32_t id = Add(folder_ / "waiting.mp4");
  EXPECT_EQ(Controller().GetCommandStates(), (CommandStates{true, false, false}));
  project_->UpdateMovie(id, [&](Movie& m) { m.status = kMovieOpened; });
  EXPECT_EQ(Controller().GetCommandStates(), (CommandStates{true, false, false}));
  project_->UpdateMovie(id, [&](Movie& m) { m.status = kMovieDone; });
  EXPECT_EQ(Controller().GetCommandStates(), CommandStates{});
  // Stop and Pause do nothing while no capture is open.
  Controller().Stop();
  Controller().Pause();
  EXPECT_TRUE(seen_.statusTexts.empty());
}

// The real pipeline behind a gate: its open waits, as on a share that
// answers slowly, until the test lets it go or the capture is stopped.
class SlowOpen {
 public:
  MediaPipelineFactory Factory() {
    return [this] { return std::make_unique<Pipeline>(*this, MakeFfmpegPipeline()); };
  }
  // Waits until an open is held; the thread that holds it.
  std::optional<std::thread::id> WaitForHeldOpen() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(20), [&] { return held_.has_value(); }))
      return std::nullopt;
    return held_;
  }
  void LetGo() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    held_.reset();
  }

 private:
  class Pipeline final : public MediaPipeline {
   public:
    Pipeline(SlowOpen& gate, std::unique_ptr<MediaPipeline> real)
        : gate_(gate), real_(std::move(real)) {}
    MediaError Open(const std::string& path) override {
      {
        std::unique_lock<std::mutex> lock(gate_.mutex_);
        gate_.held_ = std::this_thread::get_id();
        gate_.changed_.notify_all();
        gate_.changed_.wait(lock, [&] { return gate_.open_ || cancelled_; });
        if (cancelled_) return MediaError::aborted;
      }
      return real_->Open(path);
    }
    MediaError Connect() override { return real_->Connect(); }
    MediaError GetStreamFacts(StreamFacts* facts) override { return real_->GetStreamFacts(facts); }
    std::string FailureReason() const override { return real_->FailureReason(); }
    MediaError Seek(int64_t current, int64_t wanted) override {
      return real_->Seek(current, wanted);
    }
    void ExpectNext(int64_t wanted) override { real_->ExpectNext(wanted); }
    Pull NextFrame(PulledFrame* frame) override { return real_->NextFrame(frame); }
    void Interrupt() override { real_->Interrupt(); }
    void Cancel() override {
      {
        std::lock_guard<std::mutex> lock(gate_.mutex_);
        cancelled_ = true;
        gate_.changed_.notify_all();
      }
      real_->Cancel();
    }
    void SetWaitCheck(std::function<bool()> check) override {
      real_->SetWaitCheck(std::move(check));
    }
    void SetDeinterlace(bool on) override { real_->SetDeinterlace(on); }

   private:
    SlowOpen& gate_;
    std::unique_ptr<MediaPipeline> real_;
    bool cancelled_ = false;  // guarded by the gate's mutex
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  std::optional<std::thread::id> held_;
};

TEST_F(WorkflowTest, AVideoSlowToOpenIsOpenedOnTheCaptureThreadWhileTheWindowGoesOn) {
  SlowOpen gate;
  CaptureEnvironment env;
  env.pipelineFactory = gate.Factory();
  CaptureEngine engine(env);
  WorkflowController controller(*project_, engine, pages_);
  seen_.Listen(controller);
  const std::string video = TestVideos::Get().Make("slow to open.mp4", 50);
  const int32_t id = Add(video);
  {
    SCOPED_TRACE("let go: indexed as any other");
    controller.Start();
    const std::optional<std::thread::id> opener = gate.WaitForHeldOpen();
    ASSERT_TRUE(opener.has_value()) << "Start returned, and the open is under way";
    EXPECT_NE(*opener, std::this_thread::get_id());
    // The owner's events are handled while the open is held.
    bool turned = false;
    QTimer::singleShot(0, [&] { turned = true; });
    ASSERT_TRUE(RunUntil([&] { return turned; }));
    EXPECT_TRUE(seen_.started.empty());
    EXPECT_EQ(seen_.commands, (CommandStates{false, true, false})) << "a slow open can be stopped";
    gate.LetGo();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(seen_.started, std::vector<std::string>{video});
    EXPECT_EQ(project_->FindMovie(id)->status, kMovieDone);
    EXPECT_EQ(project_->FindMovie(id)->images.size(), 1u);
  }
  {
    SCOPED_TRACE("stopped while it is opened: the movie stays waiting and nothing failed");
    gate.Hold();
    const int32_t next = Add(TestVideos::Get().Make("second.mp4", 50));
    controller.Start();
    ASSERT_TRUE(gate.WaitForHeldOpen().has_value());
    controller.Stop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(project_->FindMovie(next)->status, kMovieWaiting);
    EXPECT_EQ(project_->FindMovie(next)->error, "");
    EXPECT_TRUE(seen_.errors.empty());
    EXPECT_EQ(seen_.started.size(), 1u);
    EXPECT_EQ(seen_.statusTexts.back(), "Ready");
    EXPECT_EQ(engine.GetState(), CaptureState::idle);
  }
}

}  // namespace
}  // namespace ombrelo
