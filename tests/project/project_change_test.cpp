#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

// Keeps every announcement with the project's file text at that moment, so
// that a test sees what the listener saw.
struct Recorder {
  explicit Recorder(CProject& p) : project(p) {
    handle = project.AddChangeListener([this](const ProjectChange& change) {
      changes.push_back(change);
      textWhenTold.push_back(project.FileText());
    });
  }
  ~Recorder() { project.RemoveChangeListener(handle); }
  CProject& project;
  int handle;
  std::vector<ProjectChange> changes;
  std::vector<std::string> textWhenTold;
};

TEST(ProjectChanges, EachOperationAnnouncesOnceAfterTheChangeWhatChanged) {
  CProject project("/base/");
  const int32_t a = project.AddMovie("/v/a.avi");
  const int32_t b = project.AddMovie("/v/b.avi");
  const struct {
    const char* name;
    std::function<void()> operation;
    ProjectChange::Kind kind;
    int32_t movie;
    std::function<bool()> done;  // the change is visible
  } cases[] = {
      {"add", [&] { project.AddMovie("/v/c.avi"); }, ProjectChange::movieAdded, -2,
       [&] { return project.Movies().back().path() == "/v/c.avi"; }},
      {"open",
       [&] {
         project.MarkOpened(a, MovieProperties{61.5, 2048, {}});
       },
       ProjectChange::movieOpened, a,
       [&] {
         return project.MovieById(a)->status == kMovieOpened &&
                project.MovieById(a)->length == 61.5 && project.MovieById(a)->size == 2048;
       }},
      {"record image",
       [&] {
         project.RecordImage(a, {"/t/a_1.jpg", 25, 1.0});
       },
       ProjectChange::imageRecorded, a, [&] { return project.MovieById(a)->images.size() == 1; }},
      {"remove image", [&] { project.RemoveImage(a, "/t/a_1.jpg"); }, ProjectChange::imageRemoved,
       a, [&] { return project.MovieById(a)->images.empty(); }},
      {"status", [&] { project.SetMovieStatus(a, kMovieDone); }, ProjectChange::movieStatus, a,
       [&] { return project.MovieById(a)->status == kMovieDone; }},
      {"error", [&] { project.AddMovieError(b, "broken"); }, ProjectChange::movieError, b,
       [&] {
         return project.MovieById(b)->status == kMovieFailed &&
                project.MovieById(b)->error == "broken";
       }},
      {"web page", [&] { project.SetMovieHtml(a, "/o/a.html"); }, ProjectChange::movieOutputs, a,
       [&] { return project.MovieById(a)->html == "/o/a.html"; }},
      {"playlist", [&] { project.SetMovieIpl(a, "/o/a.ipl"); }, ProjectChange::movieOutputs, a,
       [&] { return project.MovieById(a)->ipl == "/o/a.ipl"; }},
      {"index photo", [&] { project.SetMovieIndexphoto(a, "/o/a.jpg"); },
       ProjectChange::movieOutputs, a,
       [&] { return project.MovieById(a)->indexphoto == "/o/a.jpg"; }},
      {"any other", [&] { project.UpdateMovie(b, [](Movie& m) { m.size = 7; }); },
       ProjectChange::movieChanged, b, [&] { return project.MovieById(b)->size == 7; }},
      {"capture", [&] { project.UpdateCapture([](CaptureSettings& c) { c.jpegquality = 33; }); },
       ProjectChange::settings, -1, [&] { return project.Capture().jpegquality == 33; }},
      {"output", [&] { project.SetHtmlFolder("/out"); }, ProjectChange::settings, -1,
       [&] { return project.Output().htmlFolder == "/out/"; }},
      {"remove", [&] { project.RemoveMovie("/v/b.avi"); }, ProjectChange::movieRemoved, b,
       [&] { return !project.HasMovie(b); }},
      {"clear", [&] { project.ClearMovies(); }, ProjectChange::moviesCleared, -1,
       [&] { return project.Movies().empty(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder(project);
    const uint64_t revision = project.Revision();
    c.operation();
    ASSERT_EQ(recorder.changes.size(), 1u);
    const int32_t movie = c.movie == -2 ? project.Movies().back().id() : c.movie;
    EXPECT_EQ(recorder.changes[0], (ProjectChange{c.kind, movie}));
    EXPECT_TRUE(c.done());
    // The listener was told after the change: it saw the project as it is now.
    EXPECT_EQ(recorder.textWhenTold[0], project.FileText());
    EXPECT_EQ(project.Revision(), revision + 1);
  }
}

TEST(ProjectChanges, ReadingAndChangingNothingAnnounceNothing) {
  CProject project("/base/");
  const int32_t id = project.AddMovie("/v/a.avi");
  project.SetHtmlFolder("/out");
  project.SetHtmlUseFolder(true);
  TempFolder folder("project-reads");
  Recorder recorder(project);

  // Reads, including a lookup by an unknown id and the output names.
  const CProject& reader = project;
  EXPECT_NE(reader.FindMovie(id), nullptr);
  EXPECT_EQ(reader.FindMovie(id + 1000), nullptr);
  EXPECT_NE(reader.MovieById(id), nullptr);
  EXPECT_EQ(reader.Movies().size(), 1u);
  EXPECT_EQ(reader.Capture().jpegquality, CaptureSettings{}.jpegquality);
  EXPECT_EQ(reader.HtmlFileName(id), "/out/a.html");
  EXPECT_FALSE(reader.FileText().empty());
  EXPECT_TRUE(reader.Save(folder / "read.obx"));

  // Changes of a movie that is not there, and settings set to what they are.
  EXPECT_FALSE(project.RecordImage(id + 1000, {"/t/x.jpg", 1, 1.0}));
  EXPECT_FALSE(project.SetMovieStatus(id + 1000, kMovieDone));
  EXPECT_FALSE(project.UpdateMovie(id + 1000, [](Movie& m) { m.size = 1; }));
  project.RemoveMovie("/v/none.avi");
  project.SetHtmlFolder("/out/");
  project.SetCapture(project.Capture());
  project.UpdateCapture([](CaptureSettings&) {});
  // A file that cannot be opened leaves the project as it was.
  EXPECT_FALSE(project.Load(folder / "missing.obx"));

  EXPECT_TRUE(recorder.changes.empty());
}

TEST(ProjectChanges, LoadingAnnouncesOneReplacementEvenWhenTheFileIsFaulty) {
  TempFolder folder("project-load");
  CProject saved("/base/");
  saved.AddMovie("/v/a.avi");
  saved.AddMovie("/v/b.avi");
  ASSERT_TRUE(saved.Save(folder / "two.obx"));
  ASSERT_TRUE(WriteFileBytes(folder / "faulty.obx", "<obxproject><settings>nonsense"));

  CProject project("/base/");
  project.AddMovie("/v/old.avi");
  for (const char* file : {"two.obx", "faulty.obx"}) {
    SCOPED_TRACE(file);
    testing::DebugCapture debug;
    Recorder recorder(project);
    project.Load(folder / file);
    EXPECT_EQ(recorder.changes, (std::vector<ProjectChange>{{ProjectChange::replaced, -1}}));
    EXPECT_EQ(recorder.textWhenTold[0], project.FileText());
  }
}

TEST(ProjectChanges, AListenerMayLeaveAndAnotherMayChangeTheProjectWhenTold) {
  CProject project("/base/");
  std::vector<ProjectChange> seen;
  int once = -1;
  once = project.AddChangeListener([&](const ProjectChange& change) {
    seen.push_back(change);
    project.RemoveChangeListener(once);
  });
  // Marks every added movie opened: its own change is announced too.
  const int follower = project.AddChangeListener([&](const ProjectChange& change) {
    if (change.kind == ProjectChange::movieAdded)
      project.SetMovieStatus(change.movieId, kMovieOpened);
  });
  Recorder recorder(project);
  const int32_t id = project.AddMovie("/v/a.avi");
  project.AddMovie("/v/b.avi");
  project.RemoveChangeListener(follower);
  project.AddMovie("/v/c.avi");

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (ProjectChange{ProjectChange::movieAdded, id}));
  EXPECT_EQ(project.MovieById(id)->status, kMovieOpened);
  EXPECT_EQ(project.Movies().back().status, kMovieWaiting);
  EXPECT_EQ(recorder.changes.size(), 5u);  // three adds, two status changes
}

TEST(ProjectChanges, ARenamedThumbnailFolderIsAnnouncedAsTheMoviesError) {
  TempFolder folder("project-prefix");
  CProject project(folder.Path());
  const int32_t id = project.AddMovie(folder / ".mp4");
  Recorder recorder(project);
  project.ThumbnailPrefix(*project.MovieById(id), folder / ".mp4", "capture", true);
  EXPECT_EQ(recorder.changes, (std::vector<ProjectChange>{{ProjectChange::movieError, id}}));
  EXPECT_EQ(project.MovieById(id)->error,
            "Invalid characters in filename. Name changed to : capture");
  // Cached: asking again changes nothing.
  project.ThumbnailPrefix(*project.MovieById(id), folder / ".mp4", "capture", true);
  EXPECT_EQ(recorder.changes.size(), 1u);
}

TEST(ProjectChanges, RelinkingMovedVideosKeepsOneRecordPerVideoAndFindsThemByTheirNewPaths) {
  TempFolder folder("relink");
  const std::string old = folder / "old/";
  const std::string now = folder / "new/";
  std::filesystem::create_directories(now);
  ASSERT_TRUE(WriteFileBytes(now + "a.mp4", "a"));
  ASSERT_TRUE(WriteFileBytes(now + "b.mp4", "b"));
  ASSERT_TRUE(WriteFileBytes(folder / "here.mp4", "h"));
  CProject project(folder.Path());
  const int32_t a = project.AddMovie(old + "a.mp4");
  const int32_t b = project.AddMovie(old + "b.mp4");
  const int32_t listed = project.AddMovie(now + "b.mp4");  // added again after the move
  const int32_t here = project.AddMovie(folder / "here.mp4");
  EXPECT_EQ(project.MissingMovies(), (std::vector<int32_t>{a, b}));
  Recorder recorder(project);

  // The video the project lists already stays missing rather than becoming
  // a second record of one file; nothing else is touched.
  EXPECT_EQ(project.RelinkMovies(now.substr(0, now.size() - 1)), 1);
  EXPECT_EQ(recorder.changes, (std::vector<ProjectChange>{{ProjectChange::movieMoved, a}}));
  EXPECT_EQ(project.MovieById(a)->path(), now + "a.mp4");
  EXPECT_EQ(project.MovieById(b)->path(), old + "b.mp4");
  EXPECT_EQ(project.MovieById(here)->path(), folder / "here.mp4");
  EXPECT_EQ(project.MissingMovies(), std::vector<int32_t>{b});
  // Nothing more to find: nothing announced.
  EXPECT_EQ(project.RelinkMovies(now), 0);
  EXPECT_EQ(recorder.changes.size(), 1u);

  // Operations by path follow the new path, and forget the old one.
  project.RemoveMovie(old + "a.mp4");
  EXPECT_TRUE(project.HasMovie(a));
  EXPECT_NE(project.AddMovie(now + "a.mp4"), a);
  EXPECT_FALSE(project.HasMovie(a));
  EXPECT_TRUE(project.HasMovie(listed));
}

TEST(ProjectChanges, CommonFolderIsMadeOfWholeFolders) {
  EXPECT_EQ(CommonFolder({"/a/b/c.mp4", "/a/bc/d.mp4"}), "/a/");
  EXPECT_EQ(CommonFolder({"/a/b/c.mp4", "/a/b/sub/d.mp4"}), "/a/b/");
  EXPECT_EQ(CommonFolder({"/x/y.mp4"}), "/x/");
  EXPECT_EQ(CommonFolder({"/a/x.mp4", "/b/y.mp4"}), "/");
  EXPECT_EQ(CommonFolder({"a.mp4", "/b/y.mp4"}), "");
  EXPECT_EQ(CommonFolder({}), "");
}

}  // namespace
}  // namespace ombrelo
