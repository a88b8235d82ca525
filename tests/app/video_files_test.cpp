// The extension test of the movie selection page and the recursive add.
#include "workflow/video_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

TEST(VideoFiles, TheExtensionDecides) {
  for (const char* name : {"clip.AVI", "a.b.mkv", "x.webm", "/v/take 1.Mp4", "y.xvid", "z.3gp",
                           "00001.MTS", "broadcast.ts", "disc.m2ts", "camera.M4V"}) {
    EXPECT_TRUE(IsVideoFileName(name)) << name;
  }
  for (const char* name :
       {"clip.avi.txt", "mpeg", "x.rmvb", "/v/clips.avi/readme", ".avi.bak", "clip.", ""}) {
    EXPECT_FALSE(IsVideoFileName(name)) << name;
  }
}

TEST(VideoFiles, FoldersAreAddedRecursivelyInNameOrder) {
  testing::TempFolder folder("video-files");
  namespace fs = std::filesystem;
  fs::create_directories(folder / "b/inner");
  fs::create_directories(folder / "a.mp4.d");
  for (const char* name : {"z.mkv", "b/inner/c.MOV", "b/a.txt", "a.mp4.d/x.vob", "m.mpg"}) {
    ASSERT_TRUE(testing::WriteFileBytes(folder / name, "x"));
  }
  // A link back up the tree is not followed.
  fs::create_directory_symlink(folder.Path(), folder / "b/loop");

  CProject project(folder.Path());
  EXPECT_EQ(AddVideosInFolder(project, folder.Path()), 4);
  std::vector<std::string> paths;
  for (const Movie& movie : project.Movies()) paths.push_back(movie.path());
  EXPECT_EQ(paths, (std::vector<std::string>{folder / "a.mp4.d/x.vob", folder / "b/inner/c.MOV",
                                             folder / "m.mpg", folder / "z.mkv"}));
  EXPECT_EQ(AddVideosInFolder(project, folder / "missing"), 0);
}

}  // namespace
}  // namespace ombrelo
