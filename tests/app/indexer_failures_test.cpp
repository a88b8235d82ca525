// ombrelo-index when things go wrong: videos that fail, are cut short or
// would give too many thumbnails, outputs that cannot be written, workers
// that crash or hang, and Ctrl+C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QJsonObject>
#include <QProcess>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "indexer_fixture.h"
#include "project/project.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using Result = testing::IndexerResult;
using testing::Contains;
using testing::FileExists;
using testing::IndexerTest;
using testing::JsonLines;
using testing::ReadFileBytes;
using testing::TestVideos;

TEST_F(IndexerTest, AMovieThatFailsGivesExitOneAndItsError) {
  const std::string junk = folder_ / "junk.mp4";
  ASSERT_TRUE(testing::WriteFileBytes(junk, std::string(4096, 'j')));
  const std::string good = TestVideos::Get().Make("a.mp4");
  const Result result = Run({"--out", "out", "--no-index-photo", junk, good});
  EXPECT_EQ(result.exitCode, 1);
  const std::string error =
      "Error capturing from '" + junk + "' - The media type of this file is not recognized.";
  EXPECT_TRUE(Contains(result.err, error + "\n")) << result.err;
  EXPECT_TRUE(Contains(result.out, junk + ": failed, 0 images, error: " + error + "\n"))
      << result.out;
  EXPECT_TRUE(Contains(result.out, good + ": done, "));
  EXPECT_TRUE(FileExists(folder_ / "out/Html/a.html"));

  // In one process the run ends by saying how many failed.
  const Result single = Run({"--jobs", "1", "--out", "out1", "--no-index-photo", junk, good});
  EXPECT_EQ(single.exitCode, 1);
  EXPECT_TRUE(Contains(single.err, error + "\n")) << single.err;
  EXPECT_TRUE(Contains(single.err,
                       "Indexing finished: 1 video was indexed and 1 could not be indexed.\n"
                       "Each video that failed is listed with its error.\n"))
      << single.err;
}

// Runs ffmpeg with the arguments (quoted by the caller); true when it succeeded.
bool Ffmpeg(const std::string& arguments) {
  return std::system(("ffmpeg -nostdin -v error " + arguments).c_str()) == 0;
}

TEST_F(IndexerTest, VideosWhoseLengthIsUnknownOrWrongAreMeasuredOrReportedCutShort) {
  // 745 frames at 21.3 per second: 34.98 s.
  testvideo::VideoOptions o = testing::SmallVideo(745);
  o.fpsNum = 213;
  o.fpsDen = 10;
  o.keyframeInterval = 25;
  o.path = folder_ / "source.mp4";
  std::string error;
  ASSERT_TRUE(testvideo::Generate(o, &error)) << error;
  // Matroska written to a pipe has no length in its header.
  const std::string piped = folder_ / "piped.mkv";
  ASSERT_TRUE(Ffmpeg("-i '" + o.path + "' -c copy -f matroska - > '" + piped + "'"));
  // An MP4 with its index first, cut after its first half second: the
  // header still says 35 s.
  const std::string whole = folder_ / "whole.mp4";
  ASSERT_TRUE(Ffmpeg("-i '" + o.path + "' -c copy -movflags +faststart '" + whole + "'"));
  std::string bytes = ReadFileBytes(whole);
  const size_t mdat = bytes.find("mdat");
  ASSERT_NE(mdat, std::string::npos);
  const std::string cut = folder_ / "cut.mp4";
  ASSERT_TRUE(testing::WriteFileBytes(cut, bytes.substr(0, mdat + 4 + (bytes.size() - mdat) / 70)));
  // Left so an hour ago: a file changed a moment ago may still be written.
  const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, cut.c_str(), anHourAgo, 0), 0);
  // The same, left half a minute ago: an encoder writing a slow stream may
  // not have flushed its buffer since.
  const std::string recent = folder_ / "recent.mp4";
  ASSERT_TRUE(testing::WriteFileBytes(recent, ReadFileBytes(cut)));
  const timespec halfAMinuteAgo[2] = {{::time(nullptr) - 30, 0}, {::time(nullptr) - 30, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, recent.c_str(), halfAMinuteAgo, 0), 0);

  const Result result =
      Run({"--jobs", "1", "--out", "out", "--no-html", "--no-index-photo", "--start-after", "0",
           "--every", "0.5", "--save", "run.obx", piped, cut, recent});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  // The headerless file is measured by its last frame and sampled through.
  EXPECT_TRUE(Contains(result.out, piped + ": done, 70 images")) << result.out;
  // The cut file is indexed as far as it goes and said to be cut short.
  const std::regex cutShort(
      "cut\\.mp4: failed, ([0-9]+) images?, thumbnails [^\n]*error: Error reading from '[^']*' - "
      "the video ends at 0:00:0[0-2]\\.[0-9]{3}, before its stated length of 0:00:34\\.9[0-9]{2}; "
      "([0-9]+) of 70 thumbnails were taken\\.\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(result.out, match, cutShort)) << result.out;
  EXPECT_EQ(match[1], match[2]);
  EXPECT_GE(std::stoi(match[1]), 1);
  EXPECT_LT(std::stoi(match[1]), 10);
  EXPECT_TRUE(Contains(result.out,
                       "' - the file is cut short or still being written: it was changed a moment "
                       "ago, and the video ends at 0:00:0"))
      << result.out;

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 3u);
  const Movie& measured = saved.Movies().front();
  EXPECT_NEAR(measured.length, 745 / 21.3, 0.05);
  EXPECT_EQ(measured.status, kMovieDone);
  ASSERT_EQ(measured.images.size(), 70u);
  // Every half second, not every ten frames' 0.47 s: the last near 34.5 s.
  EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(measured.images.back().path), 735);
  EXPECT_EQ(std::next(saved.Movies().begin())->status, kMovieFailed);
  EXPECT_EQ(saved.Movies().back().status, kMovieFailed);
}

TEST_F(IndexerTest, MoreThanTenThousandThumbnailsOfAVideoAreTakenOnlyWhenAllowed) {
  // Seven minutes of 25 frames a second, cut after its first second: every
  // frame would be 10500 thumbnails, the file holds about 25.
  const std::string whole = folder_ / "whole.mp4";
  ASSERT_TRUE(
      Ffmpeg("-f lavfi -i color=gray:s=64x48:r=25 -t 420 -c:v libx264 -preset ultrafast "
             "-movflags +faststart '" +
             whole + "'"));
  const std::string bytes = ReadFileBytes(whole);
  const size_t mdat = bytes.find("mdat");
  ASSERT_NE(mdat, std::string::npos);
  const std::string cut = folder_ / "long.mp4";
  const std::string other = folder_ / "long2.mp4";  // two videos, so that workers run them
  for (const std::string& path : {cut, other}) {
    ASSERT_TRUE(
        testing::WriteFileBytes(path, bytes.substr(0, mdat + 4 + (bytes.size() - mdat) / 420)));
  }
  for (const std::string jobs : {"1", "2"}) {
    SCOPED_TRACE("jobs " + jobs);
    const std::vector<std::string> common = {
        "--jobs",        jobs, "--out", "out" + jobs, "--no-index-photo", "--every", "0",
        "--start-after", "0",  cut,     other};
    const Result refused = Run(common);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(Contains(refused.out, cut + ": failed, 0 images, error: Error capturing from '" +
                                          cut +
                                          "' - The settings take 10500 thumbnails of this video, "
                                          "more than 10000; --allow-many-thumbnails takes them "
                                          "all the same.\n"))
        << refused.out;
    std::vector<std::string> allowed = common;
    allowed.insert(allowed.begin(), "--allow-many-thumbnails");
    const Result taken = Run(allowed);
    EXPECT_TRUE(Contains(taken.out, "of 10500 thumbnails were taken.\n")) << taken.out;
  }
}

TEST_F(IndexerTest, AnOutputThatCannotBeWrittenFailsItsMovieAndTheRun) {
  const std::string video = TestVideos::Get().Make("a.mp4");
  // The Html folder cannot be made: a file holds its place.
  std::filesystem::create_directories(folder_ / "out");
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "out/Html", "x"));
  const Result result = Run({"--out", "out", "--no-index-photo", video});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  const std::string error =
      "Failed to write the web page '" + folder_ / "out/Html/a.html" + "' - Not a directory";
  EXPECT_TRUE(Contains(result.out, video + ": failed, ")) << result.out;
  EXPECT_TRUE(Contains(result.out, "error: " + error + "\n")) << result.out;
}

TEST_F(IndexerTest, CtrlCStopsTheCaptureAndSavesTheProject) {
  const std::string video = TestVideos::Get().Make("long.mp4", 3000);
  QProcess process;
  // Every frame: long enough to be interrupted.
  Start(process,
        {"--out", "out", "--start-after", "0", "--every", "0.04", "--save", "run.obx", video});
  const std::string out = Interrupt(process, {"Grabbing from : "});
  EXPECT_TRUE(Contains(out, video + ": stopped, ")) << out;
  EXPECT_FALSE(FileExists(folder_ / "out/Ipl"));

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 1u);
  EXPECT_EQ(saved.Movies().front().status, kMovieOpened);
  EXPECT_LT(saved.Movies().front().images.size(), 3000u);
}

TEST_F(IndexerTest, AWorkerThatCrashesOrHangsFailsOnlyItsMovie) {
  const std::vector<std::string> videos = {TestVideos::Get().Make("a.mp4"),
                                           TestVideos::Get().Make("b.mp4"),
                                           TestVideos::Get().Make("c.mp4")};
  const struct {
    int signal;
    std::string reason;
  } cases[] = {{SIGSEGV, "Segmentation fault"}, {SIGSTOP, "Killed"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    // The worker of b.mp4 crashes, or stops (hangs) and is killed after a
    // second without progress.
    const std::string crashing = std::filesystem::path(videos[1]).filename();
    extraEnvironment_ = {{"OMBRELO_TEST_WORKER_SIGNAL",
                          QString::number(c.signal) + ":" + QString::fromStdString(crashing)}};
    std::vector<std::string> args = {
        "--jobs", "2",   "--worker-timeout", "1",      "--no-index-photo",
        "--out",  "out", "--save",           "run.obx"};
    args.insert(args.end(), videos.begin(), videos.end());
    const Result result = Run(args);
    EXPECT_EQ(result.exitCode, 1);
    const std::string error = "Error capturing from '" + videos[1] + "' - " + c.reason;
    EXPECT_TRUE(Contains(result.err, error + "\n")) << result.err;
    EXPECT_TRUE(Contains(result.out, videos[1] + ": failed, 0 images, error: " + error + "\n"))
        << result.out;
    for (const std::string& done : {videos[0], videos[2]}) {
      EXPECT_TRUE(Contains(result.out, done + ": done, ")) << result.out;
    }
    CProject saved("");
    ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
    ASSERT_EQ(saved.Movies().size(), 3u);
    EXPECT_EQ(std::next(saved.Movies().begin())->status, kMovieFailed);
    EXPECT_EQ(saved.Movies().back().status, kMovieDone);
  }
}

TEST_F(IndexerTest, AFewWorkersIndexTheWholeBatchAndOnlyACrashOrHangStartsAnother) {
  // Files that are no videos (they fail at once), two videos among them,
  // and one file whose worker crashes or hangs as it takes it.
  const std::filesystem::path junk = folder_ / "junk & ü";
  std::filesystem::create_directories(junk);
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) {
    files.push_back(junk / ("file " + std::to_string(i) + (i == 25 ? " bad.mp4" : ".mp4")));
    std::ofstream(files.back()) << "not a video " << i;
  }
  const std::string bad = junk / "file 25 bad.mp4";
  // The other worker indexes b.mkv while the lost one is replaced, so that
  // movies still wait then.
  files.insert(files.begin() + 26, TestVideos::Get().Make("b.mkv"));
  files.insert(files.begin() + 10, TestVideos::Get().Make("a.mp4"));

  // The summary, from the first movie's line on, and how many workers started.
  const auto run = [&](const std::string& jobs) {
    extraEnvironment_.push_back({"OMBRELO_DEBUG", "1"});
    std::vector<std::string> args = {"--jobs", jobs,  "--worker-timeout", "1",
                                     "--out",  "out", "--every",          "20"};
    args.insert(args.end(), files.begin(), files.end());
    const Result result = Run(args);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const size_t summary = result.out.find(files.front() + ": failed");
    EXPECT_NE(summary, std::string::npos) << result.out;
    size_t started = 0;
    for (size_t at = 0; (at = result.err.find("Batch worker ", at)) != std::string::npos; ++at) {
      ++started;
    }
    return std::make_pair(result.out.substr(std::min(summary, result.out.size())), started);
  };
  const auto [alone, none] = run("1");
  EXPECT_EQ(none, 0u);
  const std::string notVideo = "' - The media type of this file is not recognized.\n";
  const std::string badLine = bad + ": failed, 0 images, error: Error capturing from '" + bad;
  const size_t badAt = alone.find(badLine + notVideo);
  ASSERT_NE(badAt, std::string::npos) << alone;
  EXPECT_TRUE(Contains(alone, files[10] + ": done, ")) << alone;
  EXPECT_TRUE(Contains(alone, files[27] + ": done, ")) << alone;

  const struct {
    int signal;
    std::string reason;
  } cases[] = {{SIGSEGV, "Segmentation fault"}, {SIGSTOP, "Killed"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    extraEnvironment_ = {
        {"OMBRELO_TEST_WORKER_SIGNAL", QString::number(c.signal) + ":file 25 bad.mp4"}};
    const auto [summary, started] = run("2");
    // Two workers for the 42 movies, and one in place of the crashed one (a
    // hanging one is killed only after a second, when none may wait).
    if (c.signal == SIGSEGV) {
      EXPECT_EQ(started, 3u);
    }
    EXPECT_LE(started, 3u);
    // The same summary, in list order, but for the lost movie's reason.
    std::string expected = alone;
    expected.replace(badAt + badLine.size(), notVideo.size(), "' - " + c.reason + "\n");
    EXPECT_EQ(summary, expected);
  }
}

TEST_F(IndexerTest, CtrlCStopsEveryWorkerAndSavesTheProject) {
  const std::string first = TestVideos::Get().Make("long.mp4", 3000);
  const std::string second = TestVideos::Get().Make("long2.mp4", 3000);
  const std::string third = TestVideos::Get().Make("a.mp4");
  QProcess process;
  Start(process, {"--jobs", "2", "--out", "out", "--start-after", "0", "--every", "0.04", "--save",
                  "run.obx", first, second, third});
  const std::string out =
      Interrupt(process, {"Grabbing from : " + first, "Grabbing from : " + second});
  EXPECT_TRUE(Contains(out, first + ": stopped, ")) << out;
  EXPECT_TRUE(Contains(out, second + ": stopped, ")) << out;
  EXPECT_TRUE(Contains(out, third + ": waiting, 0 images")) << out;

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 3u);
  EXPECT_EQ(saved.Movies().front().status, kMovieOpened);
  EXPECT_LT(saved.Movies().front().images.size(), 3000u);
}

TEST_F(IndexerTest, CtrlCArrivingTwiceAtOnceStillEndsTheRunInOrder) {
  // As `timeout` does: the signal to the indexer and to its process group.
  const std::string video = TestVideos::Get().Make("long.mp4", 3000);
  QProcess process;
  Start(process, {"--json", "--out", "out", "--start-after", "0", "--every", "0.04", "--save",
                  "run.obx", video});
  process.setReadChannel(QProcess::StandardError);  // the progress, with --json
  std::string err;
  while (!Contains(err, "Grabbing from : ")) {
    ASSERT_TRUE(process.waitForReadyRead(60000)) << err;
    err += process.readAllStandardError().toStdString();
  }
  const pid_t pid = static_cast<pid_t>(process.processId());
  // The second signal once the first was taken (two sent together would be
  // one), well within a second.
  EXPECT_EQ(::kill(pid, SIGINT), 0);
  const auto pending = [pid] {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("ShdPnd:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & 2) != 0;
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (pending() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(::kill(pid, SIGINT), 0);
  ASSERT_TRUE(process.waitForFinished(60000));
  err += process.readAllStandardError().toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  EXPECT_TRUE(Contains(err, "Interrupted: stopping the capture\n")) << err;

  const std::vector<QJsonObject> lines = JsonLines(process.readAllStandardOutput().toStdString());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].value("path").toString().toStdString(), video);
  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 1u);
  EXPECT_EQ(saved.Movies().front().status, kMovieOpened);
  // The run's temporary folder went with it.
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
    EXPECT_NE(entry.path().filename().string().rfind("ombrelo-index-", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace ombrelo
