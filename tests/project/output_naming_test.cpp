#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::FileExists;
using testing::TempFolder;
using testing::WriteFileBytes;

// Sets (or, with nullopt, removes) an environment variable while it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Points the system temporary folder (TMPDIR) somewhere else while it
// lives, with no runtime folder to take its place.
struct ScopedTmpdir {
  explicit ScopedTmpdir(const std::string& folder) : tmpdir("TMPDIR", folder) {}
  ScopedEnv tmpdir;
  ScopedEnv runtime{"XDG_RUNTIME_DIR", std::nullopt};
};

// The user's own temporary folder below a system temporary folder.
std::string UserTemporaryFolder(const std::string& tmp) {
  return tmp + "ombrelo-" + std::to_string(::geteuid()) + "/";
}

const Movie& Added(CProject& project, const std::string& path) {
  return *project.MovieById(project.AddMovie(path));
}

const char kRenameMessage[] = "Invalid characters in filename. Name changed to : ";

TEST(ThumbnailPrefix, NextToTheVideoBlanksBecomeUnderscores) {
  CProject project("/base");
  const Movie& movie = Added(project, "/v/My clip.avi");
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", true), "/v/My_clip/My_clip");
  EXPECT_EQ(movie.error, "");
  // Without a prefix word the name is taken as it is.
  const Movie& other = Added(project, "/v/odd [name].mp4");
  EXPECT_EQ(project.ThumbnailPrefix(other, other.path(), "", true), "/v/odd [name]/odd [name]");
}

// The folder name of a movie's thumbnails, as ThumbnailPrefix claims it in
// a thumbnail folder of its own.
std::string ClaimedName(CProject& project, const std::string& video) {
  const Movie& movie = Added(project, video);
  const std::string prefix = project.ThumbnailPrefix(movie, movie.path(), "capture", true);
  return paths::FileName(prefix);
}

TEST(ThumbnailPrefix, KeepsTheVideosOwnNameAndReplacesOnlyWhatNoFileSystemTakes) {
  TempFolder root("thumbs");
  const std::string thumbs = root / "T/";
  struct Case {
    const char* video;
    const char* name;
    const char* error;
  };
  const Case cases[] = {
      {"/v/Café – night walk.avi", "Café_–_night_walk", ""},
      {"/v/Ελλάδα beach.webm", "Ελλάδα_beach", ""},
      {"/v/Holiday in Zürich.mp4", "Holiday_in_Zürich", ""},
      {"/v/東京 夜景.mkv", "東京_夜景", ""},
      {"/v/clip[1] #2 'q' \"x\".avi", "clip[1]_#2_'q'_\"x\"", ""},
      {"/v/back\\slash%20.mp4", "back\\slash%20", ""},
      {"/v/tab\there\x01.mp4", "tab_here_", ""},
      // Names that are no name of their own take the prefix word.
      {"/v/.mp4", "capture", "Invalid characters in filename. Name changed to : capture"},
      {"/v/..mp4", "capture-2", "Invalid characters in filename. Name changed to : capture-2"},
  };
  CProject project("/base");
  project.SetThumbsUseFolder(true);
  project.SetThumbsFolder(thumbs);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.video);
    const Movie& movie = Added(project, c.video);
    project.SetMovieStatus(movie.id(), kMovieOpened);
    const std::string prefix = project.ThumbnailPrefix(movie, movie.path(), "capture", true);
    EXPECT_EQ(prefix, thumbs + c.name + "/" + c.name);
    EXPECT_EQ(movie.error, c.error);
    EXPECT_EQ(movie.status, kMovieOpened);
    EXPECT_TRUE(std::filesystem::is_directory(thumbs + c.name));
  }

  // A very long name is cut on a character boundary, short enough for the
  // longest thumbnail suffix.
  std::string longName;
  for (int i = 0; i < 120; ++i) longName += "é";
  const std::string cut = ClaimedName(project, "/v/" + longName + ".mp4");
  EXPECT_LE(cut.size() + std::string("_4294967295h00m00.000s.jpg").size(), 255u);
  EXPECT_EQ(cut, longName.substr(0, cut.size()));
  EXPECT_EQ(cut.size() % 2, 0u);
}

TEST(ThumbnailPrefix, NoTwoMoviesShareAFolderInOneRunOrAcrossRuns) {
  TempFolder root("thumbs");
  const std::string thumbs = root / "T/";
  const auto newRun = [&] {
    auto project = std::make_unique<CProject>("/base");
    project->SetThumbsUseFolder(true);
    project->SetThumbsFolder(thumbs);
    return project;
  };
  {
    auto run = newRun();
    EXPECT_EQ(ClaimedName(*run, "/a/x.mp4"), "x");
    EXPECT_EQ(ClaimedName(*run, "/b/x.mp4"), "x-2");
    EXPECT_EQ(ClaimedName(*run, "/a/Café.mp4"), "Café");
  }
  ASSERT_TRUE(WriteFileBytes(thumbs + "x/x_0h00m09.000s.jpg", "old"));
  ASSERT_TRUE(WriteFileBytes(thumbs + "x/notes.txt", "mine"));
  ASSERT_TRUE(WriteFileBytes(thumbs + "x-2/x_0h00m01.000s.jpg", "b's"));
  std::filesystem::create_directories(thumbs + "capture1");
  // A folder that no movie of ours made is somebody else's: the numbered
  // folders of older runs stay as they are, for the projects that name them.
  ASSERT_TRUE(WriteFileBytes(thumbs + "capture1/capture1_0h00m01.000s.jpg", "older run"));
  std::filesystem::create_directories(thumbs + "y");
  ASSERT_TRUE(WriteFileBytes(thumbs + "y/photo.jpg", "user's"));
  ASSERT_TRUE(WriteFileBytes(thumbs + "z", "a file"));
  {
    auto run = newRun();
    EXPECT_EQ(ClaimedName(*run, "/c/x.mp4"), "x-3");
    EXPECT_EQ(ClaimedName(*run, "/b/Café.mp4"), "Café-2");
    EXPECT_EQ(ClaimedName(*run, "/v/y.mp4"), "y-2");
    EXPECT_EQ(ClaimedName(*run, "/v/z.mp4"), "z-2");
    EXPECT_EQ(ClaimedName(*run, "/v/capture1.mp4"), "capture1-2");
    EXPECT_EQ(testing::ReadFileBytes(thumbs + "capture1/capture1_0h00m01.000s.jpg"), "older run");
    // A movie indexed again takes its own folder back; the thumbnails of
    // its earlier run stay until its new outputs are in place.
    EXPECT_EQ(ClaimedName(*run, "/a/x.mp4"), "x");
    EXPECT_TRUE(FileExists(thumbs + "x/x_0h00m09.000s.jpg"));
    EXPECT_TRUE(FileExists(thumbs + "x/notes.txt"));
    EXPECT_TRUE(FileExists(thumbs + "x-2/x_0h00m01.000s.jpg"));
    EXPECT_TRUE(FileExists(thumbs + "y/photo.jpg"));
  }

  // Processes side by side claim on disk: each movie of the same name gets
  // a folder of its own.
  constexpr int kRuns = 8;
  std::vector<std::string> names(kRuns);
  std::vector<std::thread> runs;
  for (int i = 0; i < kRuns; ++i) {
    runs.emplace_back([&, i] {
      CProject project("/base");
      project.SetThumbsUseFolder(true);
      project.SetThumbsFolder(thumbs);
      names[i] = ClaimedName(project, "/run" + std::to_string(i) + "/w.mp4");
    });
  }
  for (std::thread& run : runs) run.join();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
}

// Once a movie's new outputs are in place, the thumbnails of its earlier
// run go; its present ones, what is no thumbnail of it, links, and the
// temporary file of a writer still at work stay; a folder marked for
// another video is left alone.
TEST(ThumbnailPrefix, RemovingTheEarlierRunsThumbnailsKeepsThePresentOnesAndPassesLinksBy) {
  TempFolder root("thumbs");
  CProject project("/base");
  project.SetThumbsUseFolder(true);
  project.SetThumbsFolder(root / "T/");
  const Movie& movie = Added(project, "/a/x.mp4");
  const std::string prefix = project.ThumbnailPrefix(movie, movie.path(), "capture", true);
  const std::string folder = paths::FolderOf(prefix);
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string leftOver = ".x_3.jpg." + std::to_string(gone) + "-7.part";
  const std::string atWork = ".x_4.jpg." + std::to_string(::getpid()) + "-8.part";
  for (const std::string& name :
       {std::string("x_1.jpg"), std::string("x_2.bmp"), std::string("notes.txt"), leftOver, atWork})
    ASSERT_TRUE(WriteFileBytes(folder + name, name));
  std::filesystem::create_symlink(root / "T/x/notes.txt", folder + "x_9.jpg");
  project.RecordImage(movie.id(), ImageEntry{prefix + "_1.jpg", 25, 1.0});

  Movie stranger = Added(project, "/b/x.mp4");
  stranger.thumbPrefix = prefix;
  RemoveThumbnailsNotNamed(stranger);
  EXPECT_TRUE(FileExists(folder + "x_2.bmp"));
  RemoveThumbnailsNotNamed(*project.MovieById(movie.id()));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".ombrelo-video", atWork, "notes.txt", "x_1.jpg",
                                            "x_9.jpg"}));
}

TEST(ThumbnailPrefix, ThumbnailsNotKeptGoToTheTemporaryFolderWithoutMessage) {
  TempFolder tmp("tmpdir");
  ScopedTmpdir scoped(tmp.Path());
  CProject project("/base");
  project.SetThumbsEnabled(false);
  const Movie& movie = Added(project, "/v/clip[1].avi");
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", project.Output().thumbsEnabled),
            UserTemporaryFolder(tmp.Path()) + "clip[1]/clip[1]");
  EXPECT_EQ(movie.error, "");
}

TEST(OutputNames, FolderOrNextToTheVideo) {
  CProject project("/base");
  project.AddMovie("/v/clip.avi");
  const int32_t id = project.Movies().back().id();
  project.SetHtmlFolder("/Html");
  project.SetHtmlUseFolder(true);
  EXPECT_EQ(project.HtmlFileName(id), "/Html/clip.html");
  project.SetHtmlUseFolder(false);
  EXPECT_EQ(project.HtmlFileName(id), "/v/clip.html");
  project.SetHtmlUseFolder(true);
  project.SetHtmlFolder("");
  EXPECT_EQ(project.HtmlFileName(id), "/v/clip.html");

  project.SetIplUseFolder(true);
  project.SetIplFolder("/Ipl/");
  EXPECT_EQ(project.PlaylistFileName(id), "/Ipl/clip.ipl");
  EXPECT_EQ(project.IndexPhotoFileName(id), "/v/clip.jpg");
  project.SetIndexphotoUseFolder(true);
  EXPECT_EQ(project.IndexPhotoFileName(id), "/base/Index/clip.jpg");

  // Names are used as they are; only the last "." of the file name counts.
  project.AddMovie("/v/my.videos/odd [1].tar.mkv");
  const int32_t odd = project.Movies().back().id();
  EXPECT_EQ(project.HtmlFileName(odd), "/v/my.videos/odd [1].tar.html");
  EXPECT_EQ(project.PlaylistFileName(odd), "/Ipl/odd [1].tar.ipl");
  project.AddMovie("/v/my.videos/noext");
  EXPECT_EQ(project.HtmlFileName(project.Movies().back().id()), "/v/my.videos/noext.html");

  // An unknown id: names made from an empty path.
  EXPECT_EQ(project.HtmlFileName(-7), ".html");
  EXPECT_EQ(project.PlaylistFileName(-7), "/Ipl/.ipl");
}

// Two processes name the outputs of two videos of one name at the same
// time, their claims interleaved: each video's photo, playlist and page keep
// one suffix, and a second run gets the same names back.
TEST(OutputNames, AVideosOutputsKeepOneSuffixWhileAnotherVideoClaimsBetweenThem) {
  TempFolder root("claims");
  const std::string photo = root / "x.jpg", playlist = root / "x.ipl", page = root / "x.html";
  for (int run = 0; run < 2; ++run) {
    int a = 1, b = 1;
    EXPECT_EQ(ClaimOutputFile(photo, "/a/x.mp4", "", &a), photo);
    EXPECT_EQ(ClaimOutputFile(photo, "/b/x.mp4", "", &b), root / "x-2.jpg");
    EXPECT_EQ(ClaimOutputFile(playlist, "/b/x.mp4", "", &b), root / "x-2.ipl");
    EXPECT_EQ(ClaimOutputFile(playlist, "/a/x.mp4", "", &a), playlist);
    EXPECT_EQ(ClaimOutputFile(page, "/b/x.mp4", "", &b), root / "x-2.html");
    EXPECT_EQ(ClaimOutputFile(page, "/a/x.mp4", "", &a), page);
  }
}

TEST(TemporaryFolder, CreatedOnRequestAndEmptiedWithoutFollowingLinks) {
  TempFolder tmp("tmpdir");
  TempFolder outside("outside");
  ASSERT_TRUE(WriteFileBytes(outside / "keep.txt", "keep"));
  ScopedTmpdir scoped(tmp.Path());
  CProject project("/base");

  const std::string folder = project.TemporaryFolder();
  EXPECT_EQ(folder, UserTemporaryFolder(tmp.Path()));
  EXPECT_TRUE(paths::IsPrivateFolder(folder));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  project.SetThumbsEnabled(false);
  EXPECT_EQ(project.ThumbnailFolder(), folder);
  project.SetThumbsEnabled(true);
  EXPECT_EQ(project.ThumbnailFolder(), "");
  project.SetThumbsUseFolder(true);
  EXPECT_EQ(project.ThumbnailFolder(), "/base/Thumbs/");

  std::filesystem::create_directories(folder + "a/b");
  ASSERT_TRUE(WriteFileBytes(folder + "top.jpg", "x"));
  ASSERT_TRUE(WriteFileBytes(folder + "a/b/deep.jpg", "x"));
  std::filesystem::create_directory_symlink(outside.Path(), folder + "a/link");
  project.ClearTemporaryFolder();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));

  // Forgotten after clearing: the next request makes the folder again.
  std::filesystem::remove(folder);
  EXPECT_EQ(project.TemporaryFolder(), folder);
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  // A link planted in the folder's place is never used nor emptied.
  project.ClearTemporaryFolder();
  std::filesystem::remove(folder);
  std::filesystem::create_directory_symlink(outside.Path(), folder.substr(0, folder.size() - 1));
  const std::string fresh = project.TemporaryFolder();
  EXPECT_NE(fresh, folder);
  EXPECT_EQ(fresh.rfind(folder.substr(0, folder.size() - 1) + "-", 0), 0u) << fresh;
  EXPECT_TRUE(paths::IsPrivateFolder(fresh));
  ASSERT_TRUE(WriteFileBytes(fresh + "page.htm", "x"));
  project.ClearTemporaryFolder();
  EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));
  EXPECT_FALSE(std::filesystem::exists(outside / "page.htm"));

  SCOPED_TRACE("behind the window: set aside at once, deleted later");
  const std::string again = project.TemporaryFolder();
  std::filesystem::create_directories(again + "thumbs/clip");
  ASSERT_TRUE(WriteFileBytes(again + "thumbs/clip/clip_1.jpg", "x"));
  std::filesystem::create_directory_symlink(outside.Path(), again + "link");
  // What a program that ended before its clearing did left there.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string left = again + ".cleared-" + std::to_string(gone) + "-0";
  std::filesystem::create_directories(left + "/old");
  std::future<void> cleared =
      project.ClearTemporaryFolder(CProject::TemporaryClearing::behindTheWindow);
  for (const auto& entry : std::filesystem::directory_iterator(again)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".cleared-", 0), 0u) << entry.path();
  }
  cleared.wait();
  EXPECT_TRUE(std::filesystem::is_empty(again));
  EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));
}

TEST(TemporaryFolder, AFolderOthersCanEnterOrOwnIsNeverUsed) {
  TempFolder tmp("tmpdir");
  ScopedTmpdir scoped(tmp.Path());
  const std::string folder = UserTemporaryFolder(tmp.Path());
  const auto expectFresh = [&] {
    CProject project("/base");
    const std::string used = project.TemporaryFolder();
    EXPECT_NE(used, folder);
    EXPECT_TRUE(paths::IsPrivateFolder(used)) << used;
  };

  // Made first by someone else, open to everyone.
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  expectFresh();
  if (::geteuid() == 0) {  // only root can give a folder away
    ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    expectFresh();
  }

  // The runtime folder of the session is used when it is private, and
  // passed over when it is not.
  TempFolder runtime("runtime");
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0700), 0);
  {
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path());
    CProject project("/base");
    EXPECT_EQ(project.TemporaryFolder(), runtime / "ombrelo/");
  }
  ASSERT_EQ(::chmod(runtime.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), ::geteuid(), ::getegid()), 0);
  {
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path());
    CProject project("/base");
    EXPECT_EQ(project.TemporaryFolder(), folder);
  }
}

}  // namespace
}  // namespace ombrelo
