// The workflow controller end to end: the real engine on generated videos,
// real thumbnails, playlists, web pages and index photos, driven by the
// controller on a Qt event loop, with a recorder of what it publishes.
#include "workflow/workflow_controller.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QImage>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "engine/ffmpeg_pipeline.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/project.h"
#include "support/marked_texts.h"
#include "workflow/page_generation.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::EnsureGuiApplication;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RunRecorder;
using testing::RunUntil;
using testing::TempFolder;
using testing::TestVideos;

class WorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    // The shared video cache lives in the real temporary folder, outside this
    // test's folder, so it outlasts the test.
    TestVideos::Get();
    // Temporary pages of this test only.
    previousTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", (folder_ / "").c_str(), 1);
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    project_ = std::make_unique<CProject>(folder_.Path());
    out_ = folder_ / "out/";
    project_->SetThumbsFolder(out_ + "Thumbs");
    project_->SetIplFolder(out_ + "Ipl");
    project_->SetHtmlFolder(out_ + "Html");
    project_->SetIndexphotoFolder(out_ + "Index");
    project_->SetThumbsUseFolder(true);
    project_->SetIplUseFolder(true);
    project_->SetHtmlUseFolder(true);
    project_->SetIndexphotoUseFolder(true);
    // Frames 25, 75, 125, 175 and 225 of a 250-frame video.
    project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 1.0; });
    project_->UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 2.0; });
  }
  void TearDown() override {
    controller_.reset();
    if (previousTmp_.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    }
  }

  WorkflowController& Controller() {
    if (!controller_) {
      controller_ = std::make_unique<WorkflowController>(*project_, engine_, pages_,
                                                         WorkflowPreferences{firstRun_});
      seen_.Listen(*controller_);
    }
    return *controller_;
  }

  const Movie& MovieAt(size_t index) {
    auto it = project_->Movies().begin();
    std::advance(it, index);
    return *it;
  }
  int32_t Add(const std::string& path) {
    project_->AddMovie(path);
    return project_->Movies().back().id();
  }
  bool RunToTheEnd() {
    const int before = seen_.runsFinished;
    return RunUntil([&] { return seen_.runsFinished > before; });
  }

  bool firstRun_ = false;  // for the controller made next
  TempFolder folder_{"workflow"};
  std::string out_;
  RunRecorder seen_;
  XsltPageGeneration pages_;
  CaptureEngine engine_;
  std::unique_ptr<CProject> project_;
  std::unique_ptr<WorkflowController> controller_;

 private:
  std::string previousTmp_;
};

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

TEST_F(WorkflowTest, AnIndexPageThatCannotBeMadeIsReportedAfterTheMoviesFinish) {
  const std::string video = TestVideos::Get().Make("nopage.mp4");
  const int32_t id = Add(video);
  const int32_t next = Add(TestVideos::Get().Make("second.mp4"));
  project_->SetIndexphotoTransform("no such template.xslt");

  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const int finished = seen_.Find("finished: " + video);
  ASSERT_GE(finished, 0);
  EXPECT_GT(seen_.Find("index photo failed: " + video), finished);
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.status, kMovieFailed);
  EXPECT_EQ(movie.indexphoto, "");
  EXPECT_EQ(movie.images.size(), 5u);
  // The run goes on with the next movie.
  EXPECT_EQ(project_->FindMovie(next)->status, kMovieFailed);
  EXPECT_EQ(seen_.started.size(), 2u);
}

TEST_F(WorkflowTest, AMovieThatCannotBeOpenedIsFailedAndTheNextOneOpenedAtOnce) {
  const std::string missing = folder_ / "missing.mp4";
  const std::string second = TestVideos::Get().Make("second.mp4");
  const std::string third = TestVideos::Get().Make("third.mp4");
  const int32_t first = Add(missing);
  const int32_t secondId = Add(second);
  Add(third);

  Controller().Start();
  // The opens are answered on the owner's thread, each failed one before
  // the next open is asked for.
  ASSERT_TRUE(RunUntil([&] { return !seen_.started.empty(); }));
  const std::string error =
      "Error capturing from '" + missing + "' - The system cannot find the file specified.";
  EXPECT_EQ(seen_.errors, std::vector<std::string>{error});
  // The port hears of it as a movie, so that the results page can list it.
  EXPECT_EQ(seen_.notOpened, std::vector<int32_t>{first});
  EXPECT_EQ(project_->FindMovie(first)->status, kMovieFailed);
  EXPECT_EQ(project_->FindMovie(first)->error, error);
  EXPECT_EQ(seen_.started, std::vector<std::string>{second});
  EXPECT_EQ(Controller().CurrentMovieId(), secondId);
  EXPECT_EQ(project_->FindMovie(secondId)->status, kMovieOpened);
  EXPECT_EQ(MovieAt(2).status, kMovieWaiting);
  // The run began by saying so (the progress page empties its error box).
  EXPECT_EQ(seen_.log[0], "run started");
  // Outside the first run no help page is shown for it.
  EXPECT_TRUE(seen_.helpPages.empty());

  ASSERT_TRUE(RunToTheEnd());
  EXPECT_EQ(seen_.started, (std::vector<std::string>{second, third}));
  EXPECT_LT(seen_.Find("index photo: " + second), seen_.Find("started: " + third));
  EXPECT_EQ(MovieAt(1).status, kMovieDone);
  EXPECT_EQ(MovieAt(2).status, kMovieDone);
  // Not "All videos are indexed": how many were, and how many failed.
  EXPECT_TRUE(seen_.helpPages.empty());
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{2, 1}}));
  EXPECT_TRUE(seen_.messages.empty());

  SCOPED_TRACE("a Start with nothing waiting starts nothing and says nothing");
  const size_t before = seen_.log.size();
  EXPECT_EQ(Controller().StartNextMovie(), WorkflowController::kNoneWaiting);
  EXPECT_EQ(seen_.log.size(), before);
}

TEST_F(WorkflowTest, InTheFirstRunAnOpenFailureShowsItsHelpAndEndsTheRun) {
  firstRun_ = true;
  const int32_t id = Add(folder_ / "missing.avi");
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  EXPECT_EQ(project_->FindMovie(id)->status, kMovieFailed);
  // Every remaining movie failed: no "completed" page.
  EXPECT_EQ(seen_.helpPages, std::vector<std::string>{"error_capturing.htm"});
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{0, 1}}));
  EXPECT_TRUE(seen_.Find("help: error_capturing.htm (notice)") >= 0);
}

TEST_F(WorkflowTest, SeveralFailuresOfARunAreToldInOneBoxWhenItHasEnded) {
  firstRun_ = true;
  const std::string video = TestVideos::Get().Make("between.mp4", 50);
  ASSERT_FALSE(video.empty());
  const int32_t first = Add(folder_ / "missing one.avi");
  Add(video);
  const int32_t second = Add(folder_ / "missing two.avi");
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());

  EXPECT_EQ(MovieAt(1).status, kMovieDone);
  // Not a help page for each, but one box naming both, before the summary.
  EXPECT_TRUE(seen_.helpPages.empty());
  ASSERT_EQ(seen_.messages.size(), 1u);
  EXPECT_EQ(seen_.messages.front().caption, "Error");
  const std::string text = seen_.messages.front().text;
  EXPECT_TRUE(Contains(text, "2 things went wrong")) << text;
  EXPECT_TRUE(Contains(text, "\n" + project_->FindMovie(first)->error)) << text;
  EXPECT_TRUE(Contains(text, "\n" + project_->FindMovie(second)->error)) << text;
  EXPECT_TRUE(Contains(text, "missing two.avi")) << text;
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{1, 2}}));
}

TEST_F(WorkflowTest, EveryTextOfARunIsLookedUpWholeAndFilledInAfterwards) {
  testing::MarkedTexts marked;
  firstRun_ = true;
  const std::string missing = folder_ / "missing.avi";
  const std::string cut = folder_ / "cut 100%1.mp4";
  const std::string mp4 = testing::ReadFileBytes(TestVideos::Get().Make("a.mp4", 100));
  ASSERT_TRUE(testing::WriteFileBytes(cut, mp4.substr(0, mp4.size() / 2)));
  // Left an hour ago: not a file that may still be written.
  const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, cut.c_str(), anHourAgo, 0), 0);
  const std::string video = TestVideos::Get().Make("between.mp4", 50);
  const int32_t missingId = Add(missing);
  Add(video);
  const int32_t cutId = Add(cut);
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());

  // Each sentence is one text with its values put in after the lookup (a
  // value's own "%1" stays), whatever the texts put into it.
  const std::string notFound = "\u00abError capturing from '" + missing +
                               "' - \u00abThe system cannot find the file specified.\u00bb\u00bb";
  const std::string cutShort =
      "\u00abError capturing from '" + cut +
      "' - \u00abThe file is cut short: it is \u00aba QuickTime / MOV file\u00bb that ends "
      "before its header does.\u00bb\u00bb";
  EXPECT_EQ(project_->FindMovie(missingId)->error, notFound);
  EXPECT_EQ(project_->FindMovie(cutId)->error, cutShort);
  ASSERT_EQ(seen_.messages.size(), 1u);
  EXPECT_EQ(seen_.messages.front().caption, "\u00abError\u00bb");
  EXPECT_EQ(seen_.messages.front().text,
            "\u00ab2 things went wrong while indexing:\u00bb\n\n" + notFound + "\n" + cutShort);
  ASSERT_FALSE(seen_.statusTexts.empty());
  for (const std::string& status : seen_.statusTexts) {
    EXPECT_EQ(status.rfind("\u00ab", 0), 0u) << status;
    EXPECT_EQ(status.substr(status.size() - 2), "\u00bb") << status;
  }
  EXPECT_NE(std::find(seen_.statusTexts.begin(), seen_.statusTexts.end(),
                      "\u00abGrabbing from : " + video + "\u00bb"),
            seen_.statusTexts.end());
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
               seen_.commands == CommandStates{false, false, true, true};
      },
      std::chrono::seconds(5)));
  EXPECT_EQ(seen_.statusTexts.back(), "Paused");
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

TEST_F(WorkflowTest, AWebPageThatCannotBeWrittenIsToldOnTheOwnersThreadInItsPlace) {
  const std::string video = TestVideos::Get().Make("nohtml.mp4");
  const int32_t id = Add(video);
  const int32_t next = Add(TestVideos::Get().Make("second.mp4"));
  // The first movie's web page is a folder.
  const std::string page = project_->HtmlFileName(id);
  std::filesystem::create_directories(page);

  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  // The controller shows nothing itself: it tells its owner (the recorder
  // checks the thread), from the run's idle step, not from inside the page's.
  ASSERT_GE(seen_.messages.size(), 1u);
  EXPECT_EQ(seen_.messages[0],
            (Message{"Error", "Failed to open html file (" + page + ") for writing, error : 21",
                     MessageIcon::error, MessageOwner::mainWindow}));
  const int shown = seen_.Find("message: " + seen_.messages[0].text);
  EXPECT_GT(shown, seen_.Find("status: Saving webpage"));
  const int finished = seen_.Find("finished: " + video);
  EXPECT_GT(seen_.Find("index photo: " + video), finished);
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.html, "");
  EXPECT_TRUE(std::filesystem::exists(movie.indexphoto));
  // The movie is failed, with the page and the reason.
  EXPECT_EQ(movie.status, kMovieFailed);
  EXPECT_EQ(movie.error, "Failed to write the web page '" + page + "' - Is a directory");
  EXPECT_EQ(project_->FindMovie(next)->status, kMovieDone);
  // The end of the run tells how it went.
  EXPECT_EQ(seen_.messages.size(), 1u);
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_TRUE(seen_.helpPages.empty());
}

TEST_F(WorkflowTest, OutputsThatCannotBeMadeFailTheirMovieWithTheFileAndTheReason) {
  project_->SetIndexphotoEnabled(false);
  struct Case {
    const char* name;
    std::function<void(int32_t id)> spoil;
    std::function<std::string(int32_t id)> error;
  };
  const Case cases[] = {
      {"playlist",
       [&](int32_t id) { std::filesystem::create_directories(project_->PlaylistFileName(id)); },
       [&](int32_t id) {
         return "Failed to write the playlist '" + project_->PlaylistFileName(id) +
                "' - Is a directory";
       }},
      {"template", [&](int32_t) { project_->SetHtmlTransform("no such template.xslt"); },
       [&](int32_t id) {
         return "Failed to make the web page '" + project_->HtmlFileName(id) +
                "' from the template '" + ApplicationDataFolder() +
                "templates/web/no such template.xslt' - Failed to load xslt document for html "
                "generation";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    project_->ClearMovies();
    project_->SetHtmlTransform("gallery.xslt");
    const int32_t id = Add(TestVideos::Get().Make(std::string(c.name) + ".mp4", 50));
    c.spoil(id);
    seen_.completed.clear();
    Controller().Start();
    ASSERT_TRUE(RunToTheEnd());
    const Movie& movie = *project_->FindMovie(id);
    EXPECT_EQ(movie.status, kMovieFailed);
    EXPECT_EQ(movie.error, c.error(id));
    EXPECT_FALSE(movie.images.empty());
    EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{0, 1}}));
  }
}

TEST(PageGenerationTest, ACompanionFileThatCannotBeWrittenIsNamedAndNotLeftTruncated) {
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  TempFolder out("companion");
  XsltPageGeneration pages;
  std::string failure;
  ASSERT_TRUE(pages.CopyCompanionFolder("templates/web/gallery.xslt", out.Path(), &failure));
  EXPECT_EQ(failure, "");
  const std::string css = out / "gallery_files/gallery.css";
  const std::string copied = ReadFileBytes(css);
  ASSERT_GT(copied.size(), 100u);

  // A disk that takes no more than 10 bytes a file.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit full{10, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
  const bool copiedAgain =
      pages.CopyCompanionFolder("templates/web/gallery.xslt", out.Path(), &failure);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(copiedAgain);
  EXPECT_EQ(failure.rfind("'" + out / "gallery_files/", 0), 0u) << failure;
  EXPECT_TRUE(Contains(failure, "' - File too large")) << failure;
  // The earlier copy stays whole.
  EXPECT_EQ(ReadFileBytes(css), copied);
}

TEST_F(WorkflowTest, TheEndOfARunSaysHowManyFailedAndANoticeDoesNotHoldTheQueue) {
  firstRun_ = true;
  project_->SetIndexphotoEnabled(false);
  project_->SetHtmlEnabled(false);
  const int32_t missing = Add(folder_ / "missing.mp4");
  const int32_t first = Add(TestVideos::Get().Make("first.mp4", 50));
  const int32_t second = Add(TestVideos::Get().Make("second.mp4", 50));
  // The notice about the missing video is open (modal) until the rest of
  // the queue has been indexed.
  bool queueWentOn = false;
  seen_.onHelpPage = [&](const std::string& name) {
    if (name != "error_capturing.htm") return;
    queueWentOn = RunUntil(
        [&] {
          return project_->FindMovie(first)->status == kMovieDone &&
                 project_->FindMovie(second)->status == kMovieDone;
        },
        std::chrono::seconds(20));
  };
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  EXPECT_TRUE(queueWentOn);
  EXPECT_EQ(project_->FindMovie(missing)->status, kMovieFailed);
  // Not "All videos are indexed": how many were, and how many failed.
  EXPECT_EQ(seen_.helpPages, std::vector<std::string>{"error_capturing.htm"});
  EXPECT_EQ(seen_.completed, (std::vector<std::pair<int, int>>{{2, 1}}));
  EXPECT_GT(seen_.Find("run completed: 2 indexed, 1 failed"),
            seen_.Find("help: error_capturing.htm (notice)"));
}

TEST_F(WorkflowTest, AThumbnailFolderThatCannotBeWrittenStopsTheCapture) {
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "blocker", "x"));
  project_->SetThumbsFolder(folder_ / "blocker/Thumbs");
  const std::string first = TestVideos::Get().Make("unwritable.mp4");
  const int32_t id = Add(first);
  const int32_t next = Add(TestVideos::Get().Make("second.mp4"));

  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.status, kMovieFailed);
  const std::string error = "Failed to write JPEG image to:\n'" + folder_.Path() +
                            "blocker/Thumbs/unwritable/unwritable_0h00m01.000s.jpg' - " +
                            "Not a directory";
  EXPECT_EQ(movie.error, error);
  EXPECT_TRUE(movie.images.empty());
  EXPECT_EQ(movie.ipl, "");
  // The failed movie is listed with its error, as one that could not be
  // opened; Start can go on with the next one.
  EXPECT_EQ(seen_.errors, std::vector<std::string>{error});
  EXPECT_EQ(seen_.notOpened, std::vector<int32_t>{id});
  EXPECT_EQ(seen_.commands, (CommandStates{true, false, false}));
  // Saved and opened again, the movie keeps its error.
  ASSERT_TRUE(project_->Save(folder_ / "saved.obx"));
  CProject reopened("");
  ASSERT_TRUE(reopened.Load(folder_ / "saved.obx"));
  EXPECT_EQ(reopened.Movies().front().error, error);
  // The failure shows once, after the capture has ended; the run stops there.
  EXPECT_EQ(seen_.helpPages, std::vector<std::string>{"error_writing.htm"});
  EXPECT_GE(seen_.Find("status: Stopping"), 0);
  EXPECT_LT(seen_.Find("status: Stopping"), seen_.Find("help: error_writing.htm (notice)"));
  EXPECT_EQ(seen_.statusTexts.back(), "Ready");
  EXPECT_FALSE(Controller().WriteFailed());
  EXPECT_EQ(project_->FindMovie(next)->status, kMovieWaiting);
  EXPECT_EQ(seen_.started.size(), 1u);
}

TEST_F(WorkflowTest, AVideoCutShortWhileItIsIndexedFailsWithTheReason) {
  const std::string video = folder_ / "cut short.mp4";
  std::filesystem::copy_file(TestVideos::Get().Make("long.mp4", 500), video);
  const auto bytes = std::filesystem::file_size(video);
  const int32_t id = Add(video);
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 0.0; });
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 0.2; });
  seen_.onFrame = [&](const FrameCopy&) {
    if (seen_.frames == 1) std::filesystem::resize_file(video, 30000);
  };
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.status, kMovieFailed);
  EXPECT_EQ(movie.error, "Error reading from '" + video +
                             "' - the file was cut short while it was read (30000 of its " +
                             std::to_string(bytes) + " bytes are left)");
  // What could be read is indexed.
  EXPECT_FALSE(movie.images.empty());
  EXPECT_TRUE(FileExists(movie.ipl));
}

TEST_F(WorkflowTest, AVideoThatGrowsWhileItIsIndexedIsStillBeingWrittenNotDone) {
  const std::string video = folder_ / "recording.mp4";
  std::filesystem::copy_file(TestVideos::Get().Make("long.mp4", 500), video);
  const auto bytes = std::filesystem::file_size(video);
  const int32_t id = Add(video);
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 0.0; });
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 0.2; });
  seen_.onFrame = [&](const FrameCopy&) {
    if (seen_.frames == 1) std::ofstream(video, std::ios::app) << std::string(4096, '\0');
  };
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  const Movie& movie = *project_->FindMovie(id);
  EXPECT_EQ(movie.status, kMovieFailed);
  EXPECT_EQ(movie.error, "Error reading from '" + video +
                             "' - the file is still being written: it grew from " +
                             std::to_string(bytes) + " to " + std::to_string(bytes + 4096) +
                             " bytes while it was read. Index it again when it is complete.");
  EXPECT_FALSE(movie.images.empty());
}

TEST_F(WorkflowTest, AWriteThatFailsMidCaptureFailsTheMoviePromptlyAndWritesNoMore) {
  const std::string video = TestVideos::Get().Make("midway.mp4");
  const int32_t id = Add(video);
  const std::string thumbs = out_ + "Thumbs/midway";
  // The movie's own folder (its marker names the video), where a folder
  // stands in the way of the second thumbnail: that one cannot be written.
  std::filesystem::create_directories(thumbs + "/midway_0h00m03.000s.jpg/inside");
  ASSERT_TRUE(testing::WriteFileBytes(thumbs + "/.ombrelo-video", video + "\n"));
  const auto began = std::chrono::steady_clock::now();
  Controller().Start();
  ASSERT_TRUE(RunToTheEnd());
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4))
      << "the failure ends the capture at once";
  const Movie& movie = *project_->FindMovie(id);
  ASSERT_EQ(movie.images.size(), 1u);
  EXPECT_EQ(movie.images[0].frame, 25u);
  EXPECT_EQ(movie.status, kMovieFailed);
  EXPECT_EQ(movie.error, "Failed to write JPEG image to:\n'" + thumbs +
                             "/midway_0h00m03.000s.jpg' - " + "Is a directory");
  EXPECT_EQ(seen_.helpPages, std::vector<std::string>{"error_writing.htm"});
  // No thumbnail after the failed one is written.
  for (const char* later : {"05", "07", "09"}) {
    EXPECT_FALSE(FileExists(thumbs + "/midway_0h00m" + later + ".000s.jpg")) << later;
  }
}

TEST_F(WorkflowTest, UndecodableMoviesAreCollectedForCodecHelp) {
  const std::string bad1 = folder_ / "bad one.avi";
  const std::string bad2 = folder_ / "bad two.avi";
  ASSERT_TRUE(TestVideos::Get().MakeUndecodable(bad1));
  ASSERT_TRUE(TestVideos::Get().MakeUndecodable(bad2));
  const std::string good = TestVideos::Get().Make("decodable.mp4");
  project_->SetHtmlEnabled(false);
  project_->SetIndexphotoEnabled(false);

  {
    SCOPED_TRACE("two at the head of the queue: the dialog lists both");
    Add(bad1);
    Add(bad2);
    Add(good);
    Controller().Start();
    ASSERT_TRUE(RunUntil([&] { return !seen_.started.empty(); }));
    EXPECT_EQ(seen_.started, std::vector<std::string>{good});
    EXPECT_EQ(seen_.errors.size(), 2u);
    EXPECT_TRUE(
        Contains(seen_.errors[0], "Error capturing from '" + bad1 + "' - No installed decoder"));
    ASSERT_TRUE(RunToTheEnd());
    // The dialog came once the next movie was under way.
    ASSERT_EQ(seen_.decodingProblems.size(), 1u);
    EXPECT_EQ(seen_.decodingProblems[0], (std::vector<std::string>{bad1, bad2}));
    EXPECT_GT(seen_.Find("decoding problems"), seen_.Find("started: " + good));
    EXPECT_TRUE(seen_.codecHelp.empty());
    EXPECT_TRUE(Controller().DecodingProblems().empty());
  }
  {
    SCOPED_TRACE("one: codec help for it directly");
    project_->ClearMovies();
    Add(bad1);
    Controller().Start();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(seen_.codecHelp, std::vector<std::string>{bad1});
    EXPECT_GE(seen_.Find("codec help: " + bad1 + " " + CodecHelpAddress(bad1)), 0);
    EXPECT_EQ(seen_.decodingProblems.size(), 1u);
  }
  {
    SCOPED_TRACE("found by the idle step: kept for the next Start");
    project_->ClearMovies();
    seen_.codecHelp.clear();
    Add(good);
    Add(bad2);
    Controller().Start();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(seen_.codecHelp.empty());
    EXPECT_EQ(Controller().DecodingProblems(), std::vector<std::string>{bad2});
    Controller().Start();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(seen_.codecHelp, std::vector<std::string>{bad2});
  }
  {
    SCOPED_TRACE("during the first run each opens its help at once");
    project_->ClearMovies();
    controller_.reset();  // the next one is made in the first run
    firstRun_ = true;
    seen_.codecHelp.clear();
    seen_.log.clear();
    Add(bad1);
    Add(bad2);
    Add(good);
    Controller().Start();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(seen_.codecHelp, (std::vector<std::string>{bad1, bad2}));
    // The help waits for the user; the queue does not wait for the help.
    EXPECT_GT(seen_.Find("codec help: " + bad2 + " " + CodecHelpAddress(bad2)),
              seen_.Find("started: " + good));
    EXPECT_EQ(seen_.decodingProblems.size(), 1u);
  }
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
