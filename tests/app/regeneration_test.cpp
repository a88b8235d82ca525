// Regeneration end to end: a run indexes real videos with every output on,
// then thumbnails are deleted and the outputs written and drawn again, once
// while the run goes on and once after it.
#include "workflow/regeneration.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "engine/capture_engine.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/project.h"
#include "support/scoped_environment.h"
#include "workflow/page_generation.h"
#include "workflow/workflow_controller.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RunUntil;

int PhotoHeight(const std::string& path) { return QImage(QString::fromStdString(path)).height(); }

// A project whose outputs all go to folders of their own below the
// folder; each video gives five thumbnails (frames 25, 75, 125, 175 and 225:
// two rows of the index template's sheet).
void SetUpOutputs(CProject& project, const std::string& folder) {
  project.SetIplFolder(folder + "out/Ipl");
  project.SetHtmlFolder(folder + "out/Html");
  project.SetIndexphotoFolder(folder + "out/Index");
  project.SetIplUseFolder(true);
  project.SetHtmlUseFolder(true);
  project.SetIndexphotoUseFolder(true);
  project.UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 1.0; });
  project.UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 2.0; });
}

// The movie's playlist and page name each of its thumbnails and none of
// those gone.
void ExpectOutputsNameOnly(const Movie& movie, const std::vector<std::string>& gone) {
  const std::string playlist = ReadFileBytes(movie.ipl);
  const std::string page = ReadFileBytes(movie.html);
  for (const std::string& path : gone) {
    EXPECT_FALSE(Contains(playlist, path));
    EXPECT_FALSE(Contains(page, paths::FileName(path)));
  }
  for (const ImageEntry& image : movie.images) {
    EXPECT_TRUE(Contains(playlist, image.path));
    EXPECT_TRUE(Contains(page, paths::FileName(image.path)));
  }
}

TEST(RegenerationTest, DeletedThumbnailsLeaveEveryOutputAlsoWhileARunGoesOn) {
  testing::EnsureGuiApplication();
  testing::TestVideos::Get();
  testing::TempFolder folder("regeneration");
  testing::ScopedEnvironment environment;
  environment.Set("TMPDIR", folder / "");
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  CProject project(folder.Path());
  SetUpOutputs(project, folder / "");
  const int32_t first = project.AddMovie(testing::TestVideos::Get().Make("first.mp4"));
  const int32_t second = project.AddMovie(testing::TestVideos::Get().Make("second.mp4"));
  testing::RunRecorder seen;
  std::vector<Message> messages;  // what the review window is to show
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(project, engine, pages);
  seen.Listen(controller);
  Regeneration regeneration(project, controller.IndexPhotos(), controller.Pages());
  // Each regeneration's outcome, and whether its photo's page (still there
  // when the files are written) lacks the deleted thumbnail.
  std::vector<bool> outcomes;
  std::vector<std::string> pagesWithout;
  std::string deletedFirst;
  regeneration.SetFinished([&](int32_t movieId, bool ok, const std::vector<Message>& told) {
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    EXPECT_EQ(movieId, first);
    outcomes.push_back(ok);
    messages.insert(messages.end(), told.begin(), told.end());
    if (!Contains(ReadFileBytes(regeneration.LastPage()), paths::FileName(deletedFirst)))
      pagesWithout.push_back(regeneration.LastPage());
  });
  ASSERT_NE(project.FindMovie(first), nullptr);
  const Movie& movie = *project.FindMovie(first);

  // While the second movie is captured, a thumbnail of the first is deleted;
  // its web page cannot be written (a folder stands in its place).
  int originalHeight = 0;
  std::string duringRun;
  seen.onFrame = [&](const FrameCopy& frame) {
    if (frame.movieId != second || !deletedFirst.empty()) return;
    originalHeight = PhotoHeight(movie.indexphoto);
    deletedFirst = movie.images[0].path;
    EXPECT_EQ(DeleteMovieThumbnail(project, first, deletedFirst).outcome,
              ThumbnailDeletion::deleted);
    std::filesystem::remove(movie.html);
    std::filesystem::create_directories(movie.html + "/occupied");
    EXPECT_TRUE(regeneration.Regenerate(first, 0, 0));  // starts, returns at once
    EXPECT_EQ(regeneration.Pending(), 1);
    EXPECT_TRUE(outcomes.empty());
    duringRun = regeneration.LastPage();
  };
  controller.Start();
  ASSERT_TRUE(RunUntil([&] { return seen.runsFinished == 1 && regeneration.Pending() == 0; }));
  ASSERT_TRUE(RunUntil([&] { return !controller.IndexPhotoPending(); }));
  EXPECT_EQ(outcomes, std::vector<bool>{false});
  EXPECT_EQ(pagesWithout, std::vector<std::string>{duringRun});

  // The run went on: the second movie is done, the failed page was told to
  // the review window, and the first movie's photo was drawn again.
  EXPECT_EQ(project.FindMovie(second)->status, kMovieDone) << project.FindMovie(second)->error;
  EXPECT_EQ(movie.status, kMovieDone) << movie.error;
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].owner, MessageOwner::reviewWindow);
  EXPECT_EQ(messages[0].text.rfind("Failed to open html file (" + movie.html + ")", 0), 0u);
  EXPECT_TRUE(seen.messages.empty()) << "the run's own box is not the review window's";
  ASSERT_FALSE(deletedFirst.empty());
  EXPECT_EQ(std::count(seen.log.begin(), seen.log.end(), "index photo: " + movie.path()), 2);
  EXPECT_FALSE(FileExists(duringRun)) << "the drawn page is deleted";
  EXPECT_FALSE(FileExists(deletedFirst));
  EXPECT_EQ(movie.images.size(), 4u);

  // After the run a second thumbnail goes; now every output is written.
  std::filesystem::remove_all(movie.html);
  const std::string deletedSecond = movie.images[0].path;
  EXPECT_EQ(DeleteMovieThumbnail(project, first, deletedSecond).outcome,
            ThumbnailDeletion::deleted);
  // Another window (or program) deletes one more: the outputs no longer
  // name it either.
  const std::string deletedElsewhere = movie.images[0].path;
  ASSERT_TRUE(std::filesystem::remove(deletedElsewhere));
  ASSERT_TRUE(regeneration.Regenerate(first, 0, 0));
  EXPECT_EQ(movie.images.size(), 2u);
  const std::string afterRun = regeneration.LastPage();
  ASSERT_TRUE(RunUntil([&] { return regeneration.Pending() == 0; }));
  EXPECT_EQ(outcomes, (std::vector<bool>{false, true}));
  ASSERT_EQ(paths::FileName(duringRun).rfind("tmphtmltoimagere", 0), 0u);
  const int number = std::stoi(paths::FileName(duringRun).substr(16));
  EXPECT_EQ(paths::FileName(afterRun), "tmphtmltoimagere" + std::to_string(number + 1) + ".html");
  EXPECT_TRUE(controller.IndexPhotoPending());
  ASSERT_TRUE(RunUntil([&] { return !controller.IndexPhotoPending(); }));

  ExpectOutputsNameOnly(movie, {deletedFirst, deletedSecond, deletedElsewhere});
  // Three thumbnails fill one row of the sheet: the photo lost a row.
  EXPECT_GT(originalHeight, 0);
  EXPECT_LT(PhotoHeight(movie.indexphoto), originalHeight);
  EXPECT_EQ(movie.error, "");
  EXPECT_EQ(messages.size(), 1u);

  SetApplicationDataFolder("");
}

TEST(RegenerationTest, OnlyTheMoviesOwnThumbnailsAndOutputsAreItsToChange) {
  CProject project("/home/ann/");  // thumbnails beside the videos
  project.AddMovie("/v/clip[1].avi");
  const Movie& clip = project.Movies().back();
  // Its own name, the same made unique, and an older project's capture<N>.
  for (const char* own : {"/v/clip[1]/clip[1]_1.jpg", "/v/clip[1]-2/clip[1]-2_000125.bmp",
                          "/v/capture7/capture7_000125.bmp"}) {
    EXPECT_TRUE(IsOwnThumbnail(project, clip, own)) << own;
  }
  for (const char* other : {"/v/capture7/notes.txt", "/v/other/other_1.jpg",
                            "/v/x/../capture7/capture7_1.jpg", "/home/ann/clip[1]/clip[1]_1.jpg"}) {
    EXPECT_FALSE(IsOwnThumbnail(project, clip, other)) << other;
  }
  EXPECT_TRUE(IsOwnOutput("/out/Html/clip-2.html", "/out/Html/clip.html"));  // made unique
  for (const char* other :
       {"/out/Html/../clip.html", "/out/Html/clipboard.html", "/out/Html/clip-.html"})
    EXPECT_FALSE(IsOwnOutput(other, "/out/Html/clip.html")) << other;
}

TEST(RegenerationTest, DeletingAThumbnailSaysWhatHappenedAndShowsNothing) {
  testing::TempFolder folder("deletion");
  CProject project(folder.Path());
  const std::string video = folder / "my clip.mp4";
  project.AddMovie(video);
  const int32_t id = project.Movies().back().id();
  const std::string own = folder / "my_clip/my_clip_";
  const std::string there = own + "1.jpg";
  const std::string gone = own + "2.jpg";
  const std::string stuck = own + "3.jpg";  // a folder with a file in it: cannot go
  const std::string foreign = folder / "letter.jpg";
  std::filesystem::create_directories(stuck);
  ASSERT_TRUE(testing::WriteFileBytes(there, "a picture"));
  ASSERT_TRUE(testing::WriteFileBytes(stuck + "/inside", "x"));
  ASSERT_TRUE(testing::WriteFileBytes(foreign, "a letter"));
  for (const std::string& path : {there, gone, stuck, foreign, there})
    project.RecordImage(id, {path, 25, 1.0});

  struct Case {
    int32_t movie;
    std::string path;
    ThumbnailDeletion outcome;
    const char* message;  // the start of what the user is to be told
    size_t imagesLeft;
  };
  const Case cases[] = {
      {id, there, ThumbnailDeletion::deleted, "", 3},  // both of its entries go
      {id, gone, ThumbnailDeletion::fileMissing, "", 2},
      {id, stuck, ThumbnailDeletion::failed, "Failed to delete image ", 2},
      {id, foreign, ThumbnailDeletion::refused, "The image ", 2},
      {id + 100, stuck, ThumbnailDeletion::unknownMovie, "", 2},
  };
  for (const Case& c : cases) {
    const ThumbnailDeletionResult result = DeleteMovieThumbnail(project, c.movie, c.path);
    EXPECT_EQ(result.outcome, c.outcome) << c.path;
    EXPECT_EQ(result.Removed(), c.outcome == ThumbnailDeletion::deleted ||
                                    c.outcome == ThumbnailDeletion::fileMissing);
    EXPECT_EQ(result.message.rfind(c.message, 0), 0u) << result.message;
    EXPECT_EQ(Contains(result.message, c.path), *c.message != 0) << result.message;
    EXPECT_EQ(project.FindMovie(id)->images.size(), c.imagesLeft) << c.path;
  }
  EXPECT_FALSE(FileExists(there));
  EXPECT_TRUE(FileExists(stuck + "/inside"));
  EXPECT_TRUE(FileExists(foreign));
}

}  // namespace
}  // namespace ombrelo
