// Files that cannot be indexed, run through the programs as a user runs
// them: ombrelo-index says why each one failed in plain words (in its
// messages and its JSON), a playlist disguised as a video opens nothing
// else, and the thumbnailer refuses pictures too large within an
// address-space limit instead of running out of memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/hostile_files.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::TempFolder;
using testing::TestVideos;

struct ChildRun {
  int exitCode = -1;
  std::string out, err;
  long peakKilobytes = 0;  // the child's largest resident size
};

// Runs ombrelo-index with the arguments in `folder`, its address space
// limited to `addressSpace` bytes when that is not 0.
ChildRun RunIndexer(const TempFolder& folder, const std::vector<std::string>& args,
                    rlim_t addressSpace = 0) {
  ChildRun run;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) {
    ADD_FAILURE() << "no pipes";
    return run;
  }
  std::vector<std::string> words = {OMBRELO_INDEX_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string data = std::string("OMBRELO_DATA=") + OMBRELO_SOURCE_DATA_DIR;
  const std::string tmp = "TMPDIR=" + folder.Path(), home = "HOME=" + folder / "home";
  const std::string xdgData = "XDG_DATA_HOME=" + folder / "userdata";
  const std::string xdgConfig = "XDG_CONFIG_HOME=" + folder / "config";
  const char* env[] = {data.c_str(),         tmp.c_str(),
                       home.c_str(),         xdgData.c_str(),
                       xdgConfig.c_str(),    "QT_QPA_PLATFORM=offscreen",
                       "PATH=/usr/bin:/bin", nullptr};
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (chdir(folder.Path().c_str()) != 0) _exit(127);
    if (addressSpace != 0) {
      const rlimit limit{addressSpace, addressSpace};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
    }
    execve(argv[0], argv.data(), const_cast<char* const*>(env));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  // Both pipes are read to their ends, one after the other: the messages
  // of these runs are far smaller than a pipe holds.
  const auto readAll = [](int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(fd);
    return text;
  };
  run.out = readAll(out[0]);
  run.err = readAll(err[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    ADD_FAILURE() << "the child was lost";
    return run;
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  run.peakKilobytes = usage.ru_maxrss;
  return run;
}

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
    const ChildRun run = RunIndexer(folder, args);
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
  TempFolder folder("open-reasons-huge");
  const std::string huge = folder / "huge.mkv";
  ASSERT_TRUE(testing::WritePngVideo(huge, {{16000, 16000}, {16000, 16000}}));
  // So far below the 1.5 GB two such pictures take once decoded and
  // converted that decoding one fails.
  const rlim_t limit = rlim_t{1} << 30;
  const ChildRun run =
      RunIndexer(folder, {"--thumbnail", "-s", "256", huge, folder / "out.png"}, limit);
  EXPECT_EQ(run.exitCode, 1) << "refused, no crash: " << run.err;
  EXPECT_EQ(run.err, "ombrelo-index: no thumbnail for " + huge +
                         ": The video's pictures are too large: 16000 x 16000 pixels, more than "
                         "the 64 megapixels a picture may have.\n");
  EXPECT_LT(run.peakKilobytes, 300 * 1024) << "nothing was decoded";
  EXPECT_FALSE(testing::FileExists(folder / "out.png"));

  SCOPED_TRACE("a playlist named like a video");
  const std::string privateFolder = folder / "private/";
  std::filesystem::create_directories(privateFolder);
  ASSERT_TRUE(testing::WriteFileBytes(
      privateFolder + "private.mp4", testing::ReadFileBytes(TestVideos::Get().Make("a.mp4", 100))));
  testing::OpenedFiles privateOpens(privateFolder);
  ASSERT_TRUE(testing::WriteFileBytes(folder / "holiday.mp4",
                                      testing::HlsPlaylist(privateFolder + "private.mp4")));
  const ChildRun playlist =
      RunIndexer(folder, {"--thumbnail", folder / "holiday.mp4", "out.png"}, limit);
  EXPECT_EQ(playlist.exitCode, 1);
  EXPECT_TRUE(Contains(playlist.err, "The file is an HLS playlist")) << playlist.err;
  EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
  EXPECT_FALSE(testing::FileExists(folder / "out.png"));
}

}  // namespace
}  // namespace ombrelo
