// The workflow controller when a movie or an output fails: videos that
// cannot be opened, decoded or read to their end, outputs and thumbnail
// folders that cannot be written, and how the failures of a run are told.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "engine/codec_probe.h"
#include "platform/paths.h"
#include "support/marked_texts.h"
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

}  // namespace
}  // namespace ombrelo
