// The extension test of the movie selection page and the recursive add.
#include "workflow/video_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

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

TEST(VideoFiles, AFileWithAnotherNameIsKnownByItsContent) {
  testing::TempFolder folder("video-content");
  const auto file = [&](const char* name, const std::string& bytes) {
    EXPECT_TRUE(testing::WriteFileBytes(folder / name, bytes));
    return folder / name;
  };
  std::string transport(188 * 4, '\xff');
  for (size_t at = 0; at < transport.size(); at += 188) transport[at] = 0x47;
  EXPECT_TRUE(IsVideoFile(file("camera.dat", std::string("\0\0\0\x18"
                                                         "ftypmp42",
                                                         12))));
  EXPECT_TRUE(IsVideoFile(file("episode", "\x1A\x45\xDF\xA3 matroska")));
  EXPECT_TRUE(IsVideoFile(file("capture.bin", std::string("RIFF\x10\0\0\0AVI LIST", 16))));
  EXPECT_TRUE(IsVideoFile(file("recording.tsv", transport)));
  // Pages, playlists, text and pictures are no videos, whatever holds them.
  EXPECT_FALSE(IsVideoFile(file("index.html", "<html><body>ftyp</body></html>")));
  EXPECT_FALSE(IsVideoFile(file("list.ipl", "[Pictures]\r\nfile1=a.jpg")));
  EXPECT_FALSE(IsVideoFile(file("photo.jpg", "\xFF\xD8\xFF\xE0\0\x10JFIF")));
  EXPECT_FALSE(IsVideoFile(file("short", "RIFF")));
  // A FIFO is never opened (a read would wait for a writer).
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(IsVideoFile(folder / "pipe"));
  EXPECT_FALSE(IsVideoFile(folder / "missing"));
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
