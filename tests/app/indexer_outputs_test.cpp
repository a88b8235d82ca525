// ombrelo-index's outputs in folders others may write in, and outputs of a
// video indexed again.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <regex>
#include <set>

#include "platform/paths.h"
#include "support/debug_capture.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::TestVideos;
using testing::WriteFileBytes;

// The pictures a playlist names.
std::set<std::string> NamedFiles(const std::string& playlist) {
  const std::string text = ReadFileBytes(playlist);
  std::set<std::string> files;
  const std::regex file("<file>([^<]*)</file>");
  for (std::sregex_iterator it(text.begin(), text.end(), file), end; it != end; ++it)
    files.insert((*it)[1]);
  return files;
}

// The files in a folder, by path, without the hidden ones.
std::set<std::string> VisibleFiles(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string()[0] != '.') files.insert(entry.path().string());
  }
  return files;
}

// A regular file (no link) that holds a picture.
bool IsPicture(const std::string& path) {
  return fs::is_regular_file(fs::symlink_status(path)) &&
         !QImage(QString::fromStdString(path)).isNull();
}

class IndexerOutputsTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureGuiApplication(); }

  void Start(QProcess& process, const std::vector<std::string>& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR);
    env.insert("TMPDIR", QString::fromStdString(folder_ / ""));
    env.insert("XDG_DATA_HOME", QString::fromStdString(folder_ / "userdata"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder_ / "config"));
    env.insert("HOME", QString::fromStdString(folder_ / "home"));
    env.remove("OMBRELO_DEBUG");
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(folder_.Path()));
    process.start(OMBRELO_INDEX_BINARY, list);
    ASSERT_TRUE(process.waitForStarted(10000));
  }

  // Runs the indexer to its end; its exit code, and what it printed.
  int Run(const std::vector<std::string>& args, std::string* out) {
    QProcess process;
    Start(process, args);
    if (!process.waitForFinished(120000)) {
      process.kill();
      process.waitForFinished();
      return -1;
    }
    *out = process.readAllStandardOutput().toStdString() +
           process.readAllStandardError().toStdString();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  TempFolder folder_{"indexer_outputs"};
};

// Someone who may write in the output folder plants links under the names
// of a video's outputs and records naming the video. Nothing is written
// through a link; a record that is a link or another user's claims nothing,
// so that video's outputs take other names.
TEST_F(IndexerOutputsTest, PlantedLinksAndForgedRecordsNeverRedirectAnOutput) {
  const std::string out = folder_ / "out/", victim = folder_ / "victim";
  ASSERT_TRUE(WriteFileBytes(victim, "precious\n"));
  const std::string videos[] = {folder_ / "v1.mp4", folder_ / "v2.mp4"};
  for (const std::string& video : videos) fs::copy_file(TestVideos::Get().Make("a.mp4"), video);
  // Records of another user can be made only by root.
  const bool root = ::geteuid() == 0;
  for (const std::string name : {"v1", "v2"}) {
    const std::string video = folder_ / (name + ".mp4");
    for (const std::string& output :
         {"Ipl/" + name + ".ipl", "Index/" + name + ".jpg", "Html/" + name + ".html",
          "Thumbs/" + name + "/.ombrelo-video",
          "Thumbs/" + name + "/" + name + "_0h00m01.000s.jpg"}) {
      fs::create_directories(out + paths::FolderOf(output));
      const std::string file = paths::FileName(output);
      const std::string record =
          out + paths::FolderOf(output) + (file[0] == '.' ? file : "." + file + ".ombrelo-video");
      if (file[0] != '.') fs::create_symlink(victim, out + output);
      if (output.find("_0h") != std::string::npos) continue;
      if (name == "v1" || root) {
        ASSERT_TRUE(WriteFileBytes(record, video + "\n"));
        if (name == "v2") {
          ASSERT_EQ(::chown(record.c_str(), 12345, 12345), 0);
        }
      } else {
        fs::create_symlink(video + ".record", record);
        ASSERT_TRUE(WriteFileBytes(video + ".record", video + "\n"));
      }
    }
  }
  std::string printed;
  ASSERT_EQ(
      Run({"--out", "out", "--start-after", "1", "--every", "4", videos[0], videos[1]}, &printed),
      0)
      << printed;
  EXPECT_TRUE(ReadFileBytes(victim) == "precious\n") << "written through a link";

  // v1's outputs took the links' places; v2's went beside them.
  for (const std::string name : {"v1", "v2-2"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsPicture(out + "Index/" + name + ".jpg"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "Html/" + name + ".html")));
    const std::set<std::string> named = NamedFiles(out + "Ipl/" + name + ".ipl");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "Ipl/" + name + ".ipl")));
    EXPECT_EQ(named.size(), 3u);
    for (const std::string& thumbnail : named) {
      EXPECT_EQ(paths::FolderOf(thumbnail), out + "Thumbs/" + name + "/");
      EXPECT_TRUE(IsPicture(thumbnail)) << thumbnail;
    }
  }
  EXPECT_TRUE(fs::is_symlink(out + "Ipl/v2.ipl"));
}

// Waits for pictures to appear in folder (renamed into place, as the
// indexer writes them) whose paths are not in known; the first few.
std::set<std::string> AwaitNewPictures(const std::string& folder,
                                       const std::set<std::string>& known, size_t count) {
  std::set<std::string> seen;
  const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CREATE) < 0) {
    ADD_FAILURE() << "cannot watch " << folder;
    if (watch >= 0) ::close(watch);
    return seen;
  }
  // Those that came before the watch did.
  for (const std::string& path : VisibleFiles(folder))
    if (!known.count(path)) seen.insert(path);
  alignas(inotify_event) char buffer[16 * 1024];
  while (seen.size() < count) {
    pollfd ready{watch, POLLIN, 0};
    if (::poll(&ready, 1, 60000) <= 0) {
      ADD_FAILURE() << "no new pictures in " << folder;
      break;
    }
    const ssize_t n = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0 || event->name[0] == '.') continue;
      const std::string path = folder + event->name;
      if (!known.count(path)) seen.insert(path);
    }
  }
  ::close(watch);
  return seen;
}

// Indexing a video again keeps its earlier thumbnails until its new
// playlist, page and index photo are in place: a run killed part way
// leaves the earlier outputs whole, one that ends leaves only the new set.
TEST_F(IndexerOutputsTest, AReindexKilledPartWayKeepsTheEarlierOutputsWhole) {
  const std::string video = TestVideos::Get().Make("reindexed.mp4", 1500);
  const std::string out = folder_ / "out/";
  const std::string thumbs = out + "Thumbs/reindexed/";
  const std::string playlist = out + "Ipl/reindexed.ipl", page = out + "Html/reindexed.html";
  std::string printed;
  ASSERT_EQ(Run({"--out", "out", "--start-after", "0", "--every", "2", video}, &printed), 0)
      << printed;
  const std::set<std::string> earlier = NamedFiles(playlist);
  ASSERT_GE(earlier.size(), 20u);
  ASSERT_EQ(VisibleFiles(thumbs), earlier);
  const std::string earlierPlaylist = ReadFileBytes(playlist);
  const std::string earlierPage = ReadFileBytes(page);
  const std::string earlierPhoto = ReadFileBytes(out + "Index/reindexed.jpg");

  {
    // Every frame: a run long enough to be killed part way.
    QProcess process;
    Start(process, {"--out", "out", "--start-after", "0", "--every", "0.04", video});
    const std::set<std::string> fresh = AwaitNewPictures(thumbs, earlier, 3);
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGKILL), 0);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit) << "the run was over before the kill";
    EXPECT_GE(fresh.size(), 3u);
  }
  EXPECT_EQ(ReadFileBytes(playlist), earlierPlaylist);
  EXPECT_EQ(ReadFileBytes(page), earlierPage);
  EXPECT_EQ(ReadFileBytes(out + "Index/reindexed.jpg"), earlierPhoto);
  for (const std::string& thumbnail : earlier) EXPECT_TRUE(IsPicture(thumbnail)) << thumbnail;
  // The page shows the same pictures as the playlist.
  for (const std::string& thumbnail : earlier)
    EXPECT_NE(earlierPage.find(paths::FileName(thumbnail)), std::string::npos) << thumbnail;

  // Run to its end with another schedule: exactly the new set is left, and
  // nothing of the killed run.
  ASSERT_EQ(Run({"--out", "out", "--start-after", "0", "--every", "3", video}, &printed), 0)
      << printed;
  std::set<std::string> now = NamedFiles(playlist);
  EXPECT_EQ(now.size(), 20u);
  for (const std::string& thumbnail : now) EXPECT_TRUE(IsPicture(thumbnail)) << thumbnail;
  now.insert(thumbs + ".ombrelo-video");
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(thumbs)) left.insert(entry.path().string());
  EXPECT_EQ(left, now);
}

}  // namespace
}  // namespace ombrelo
