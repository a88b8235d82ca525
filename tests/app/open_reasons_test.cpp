// Files that cannot be indexed, run through the programs as a user runs
// them: ombrelo-index says why each one failed in plain words (in its
// messages and its JSON), a playlist disguised as a video opens nothing
// else, and the thumbnailer refuses pictures too large under a tight
// address-space limit instead of running out of memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/hostile_files.h"
#include "support/indexer_child.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::IndexerRun;
using testing::RunIndexer;
using testing::TempFolder;
using testing::TestVideos;

// The error of each movie in --json output, by path.
std::map<std::string, std::string> JsonErrors(const std::string& out) {
  std::map<std::string, std::string> errors;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const QJsonObject movie = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    errors[movie["path"].toString().toStdString()] =
        movie["status"].toString().toStdString() + ": " + movie["error"].toString().toStdString();
  }
  return errors;
}

TEST(OpenReasons, TheIndexerSaysWhyEachFileCannotBeIndexed) {
  testing::EnsureGuiApplication();
  TempFolder folder("open-reasons");
  const std::string videos = folder / "videos/", privateFolder = folder / "private/";
  std::filesystem::create_directories(videos);
  std::filesystem::create_directories(privateFolder);
  const std::string good = TestVideos::Get().Make("a.mp4", 100);
  const std::string mp4 = testing::ReadFileBytes(good);
  ASSERT_TRUE(testing::WriteFileBytes(privateFolder + "private.mp4", mp4));
  ASSERT_TRUE(testing::WriteFileBytes(videos + "cut.mp4", mp4.substr(0, mp4.size() / 2)));
  // Left so an hour ago: a file changed a moment ago may still be written.
  const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (videos + "cut.mp4").c_str(), anHourAgo, 0), 0);
  ASSERT_TRUE(testing::WriteFileBytes(videos + "notes.mp4", "Shopping: milk, bread\n"));
  ASSERT_TRUE(testing::WriteFileBytes(videos + "holiday.mp4",
                                      testing::HlsPlaylist("../private/private.mp4")));
  ASSERT_TRUE(testing::WriteFileBytes(videos + "empty.mkv", ""));
  ASSERT_EQ(::symlink("loop.mp4", (videos + "loop.mp4").c_str()), 0);
  ASSERT_EQ(::mkfifo((videos + "pipe.mp4").c_str(), 0600), 0);  // nobody writes to it
  for (const auto& [name, codec] :
       {std::pair{"ac3.mkv", "ac3"}, {"aac.mp4", "aac"}, {"dts.mp4", "dca -strict -2"}}) {
    const std::string make = "ffmpeg -nostdin -v error -f lavfi -i sine=d=0.5 -c:a " +
                             std::string(codec) + " -y '" + videos + name + "'";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
  }
  const std::map<std::string, std::string> reasons = {
      {"ac3.mkv", "The file has no video stream: it holds only audio (AC-3)."},
      {"aac.mp4", "The file has no video stream: it holds only audio (AAC)."},
      {"dts.mp4", "The file has no video stream: it holds only audio (DTS)."},
      {"loop.mp4", "The file cannot be read: Too many levels of symbolic links."},
      {"pipe.mp4", "The file cannot be read: it is a named pipe, not a regular file."},
      {"missing.mp4", "The system cannot find the file specified."},
      {"notes.mp4", "The media type of this file is not recognized."},
      {"empty.mkv", "The file is empty."},
      {"cut.mp4",
       "The file is cut short: it is a QuickTime / MOV file that ends before its header does."},
      {"holiday.mp4",
       "The file is an HLS playlist (HTTP Live Streaming), which names other files to read: "
       "only the file itself is read."},
  };
  testing::OpenedFiles privateOpens(privateFolder);
  ASSERT_TRUE(privateOpens.Watching());

  for (const std::string jobs : {"1", "2"}) {
    SCOPED_TRACE("jobs " + jobs);
    std::vector<std::string> args = {"--jobs",           jobs, "--json", "--out", "out" + jobs,
                                     "--no-index-photo", good};
    for (const auto& [name, reason] : reasons) args.push_back(videos + name);
    const IndexerRun run = RunIndexer(folder, args);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const std::map<std::string, std::string> errors = JsonErrors(run.out);
    EXPECT_EQ(errors.at(good), "done: ") << run.out;
    for (const auto& [name, reason] : reasons) {
      const std::string path = videos + name;
      const std::string error = "Error capturing from '" + path + "' - " + reason;
      EXPECT_EQ(errors.at(path), "failed: " + error);
      EXPECT_TRUE(Contains(run.err, error + "\n")) << run.err;
    }
    // None of them is a missing decoder.
    EXPECT_FALSE(Contains(run.err, "codec")) << run.err;
    EXPECT_FALSE(testing::FileExists(folder / ("out" + jobs + "/Thumbs/holiday")));
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{}) << "the playlist's video is unread";
  }
}

TEST(OpenReasons, TheThumbnailerRefusesHugePicturesWithinAnAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory needs more address space than the limit";
#endif
  TempFolder folder("open-reasons-huge");
  const std::string huge = folder / "huge.mkv";
  ASSERT_TRUE(testing::WritePngVideo(huge, {{16000, 16000}, {16000, 16000}}));
  // Far below the 1.5 GB two such pictures take once decoded and converted,
  // room enough for a thumbnail of a real video.
  const rlim_t limit = rlim_t{512} << 20;
  const IndexerRun run =
      RunIndexer(folder, {"--thumbnail", "-s", "256", huge, folder / "out.png"}, limit);
  EXPECT_EQ(run.exitCode, 1) << "refused, no crash: " << run.err;
  EXPECT_EQ(run.err, "ombrelo-index: no thumbnail for " + huge +
                         ": The video's pictures are too large: 16000 x 16000 pixels, more than "
                         "the 64 megapixels a picture may have.\n");
  EXPECT_FALSE(testing::FileExists(folder / "out.png"));

  SCOPED_TRACE("a playlist named like a video");
  const std::string privateFolder = folder / "private/";
  std::filesystem::create_directories(privateFolder);
  ASSERT_TRUE(testing::WriteFileBytes(
      privateFolder + "private.mp4", testing::ReadFileBytes(TestVideos::Get().Make("a.mp4", 100))));
  testing::OpenedFiles privateOpens(privateFolder);
  ASSERT_TRUE(testing::WriteFileBytes(folder / "holiday.mp4",
                                      testing::HlsPlaylist(privateFolder + "private.mp4")));
  const IndexerRun playlist =
      RunIndexer(folder, {"--thumbnail", folder / "holiday.mp4", "out.png"}, limit);
  EXPECT_EQ(playlist.exitCode, 1);
  EXPECT_TRUE(Contains(playlist.err, "The file is an HLS playlist")) << playlist.err;
  EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
  EXPECT_FALSE(testing::FileExists(folder / "out.png"));
}

}  // namespace
}  // namespace ombrelo
