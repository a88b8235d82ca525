#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/paths.h"
#include "project/project.h"
#include "support/debug_capture.h"
#include "support/recording_message_port.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::RecordingMessagePort;
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

Movie& Added(CProject& project, const std::string& path) {
  project.AddMovie(path);
  return *project.FindMovieForWrite(project.Movies().back().id());
}

const char kRenameMessage[] = "Invalid characters in filename. Name changed to : ";

TEST(ThumbnailPrefix, NextToTheVideoBlanksBecomeUnderscores) {
  CProject project("/base");
  Movie& movie = Added(project, "/v/My clip.avi");
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", true), "/v/My_clip/My_clip");
  EXPECT_EQ(movie.error, "");
  // Without a prefix word the name is taken as it is.
  Movie& other = Added(project, "/v/odd [name].mp4");
  EXPECT_EQ(project.ThumbnailPrefix(other, other.path(), "", true), "/v/odd [name]/odd [name]");
}

TEST(ThumbnailPrefix, UnsafeNamesAreReplacedOncePerMovieAndFolder) {
  TempFolder root("thumbs");
  const std::string thumbs = root / "T/";
  CProject project("/base");
  project.SetThumbsUseFolder(true);
  project.SetThumbsFolder(thumbs);
  DebugCapture debug;

  Movie& movie = Added(project, "/v/clip[1].avi");
  movie.status = kMovieOpened;
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", true),
            thumbs + "capture1/capture1");
  EXPECT_EQ(movie.error, std::string(kRenameMessage) + "capture1");
  EXPECT_EQ(movie.status, kMovieOpened);  // a warning, not a failure
  EXPECT_TRUE(std::filesystem::is_directory(thumbs));
  EXPECT_EQ(debug.Text(), "");

  // Cached: the same folder gives the same prefix without a new name.
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", true),
            thumbs + "capture1/capture1");
  EXPECT_EQ(movie.error, std::string(kRenameMessage) + "capture1");

  // A second such movie: the next number, and the existing folder is reported.
  Movie& second = Added(project, "/v/Café.avi");
  second.error = "earlier";
  EXPECT_EQ(project.ThumbnailPrefix(second, second.path(), "capture", true),
            thumbs + "capture2/capture2");
  EXPECT_EQ(second.error, std::string("earlier; ") + kRenameMessage + "capture2");
  EXPECT_EQ(debug.Text(), "Failed to create folder: " + thumbs + " (17)\n");

  // Another thumbnail folder makes the first movie compute a fresh prefix.
  project.SetThumbsUseFolder(false);
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", true), "/v/capture3/capture3");
  EXPECT_EQ(movie.error, std::string(kRenameMessage) + "capture1; " + kRenameMessage + "capture3");
}

TEST(ThumbnailPrefix, ThumbnailsNotKeptGoToTheTemporaryFolderWithoutMessage) {
  TempFolder tmp("tmpdir");
  ScopedTmpdir scoped(tmp.Path());
  CProject project("/base");
  project.SetThumbsEnabled(false);
  Movie& movie = Added(project, "/v/clip[1].avi");
  EXPECT_EQ(project.ThumbnailPrefix(movie, movie.path(), "capture", project.Output().thumbsEnabled),
            UserTemporaryFolder(tmp.Path()) + "capture1/capture1");
  EXPECT_EQ(movie.error, "");
}

TEST(ThumbnailPrefix, CanonicaliserTestMatchesTheUnsafeSet) {
  for (const char* safe : {"clip", "My_clip", "a-b.c", "100%", "x(1)", "a&b", "a=b?c", "x,y;z",
                           "A+B", "@home", "$5", "*", "a.b", "...", ""}) {
    EXPECT_FALSE(NameChangedByUrlCanonicaliser(safe)) << safe;
  }
  for (const char* unsafe :
       {"a<b", "a>b", "a\"b", "a#b", "a{b",   "a}b",  "a|b",     "a\\b",        "a^b", "a~b",
        "a[b", "a]b", "a'b",  "a b", "tab\t", "\x01", "del\x7f", "Caf\xc3\xa9", ".",   ".."}) {
    EXPECT_TRUE(NameChangedByUrlCanonicaliser(unsafe)) << unsafe;
  }
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

  // An unknown id: the message, and names made from an empty path.
  RecordingMessagePort port;
  EXPECT_EQ(project.HtmlFileName(-7), ".html");
  EXPECT_EQ(project.PlaylistFileName(-7), "/Ipl/.ipl");
  ASSERT_EQ(port.shown.size(), 2u);
  EXPECT_EQ(port.shown[0].text, "Internal error\nInvalid movie id -7");
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
