// ombrelo-index, run as a program: its options, its exit codes, its output
// and the project it saves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "project/report.h"
#include "render/xslt_service.h"
#include "support/combing.h"
#include "support/debug_capture.h"
#include "tools/testvideo/test_video.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::TestVideos;

struct Result {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class IndexerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureGuiApplication(); }

  // The environment of every run: the source tree's templates, temporary
  // files and the user's data folder inside this test's folder.
  QProcessEnvironment Environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMBRELO_DATA", OMBRELO_SOURCE_DATA_DIR);
    env.insert("TMPDIR", QString::fromStdString(folder_ / ""));
    env.insert("XDG_DATA_HOME", QString::fromStdString(folder_ / "userdata"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder_ / "config"));
    env.insert("HOME", QString::fromStdString(folder_ / "home"));
    env.remove("OMBRELO_DEBUG");
    for (const auto& [name, value] : extraEnvironment_) env.insert(name, value);
    return env;
  }

  void Start(QProcess& process, const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    process.setProcessEnvironment(Environment());
    process.setWorkingDirectory(QString::fromStdString(folder_.Path()));
    process.start(OMBRELO_INDEX_BINARY, list);
    ASSERT_TRUE(process.waitForStarted(10000));
  }

  Result Run(const std::vector<std::string>& args) {
    QProcess process;
    Start(process, args);
    Result result;
    if (!process.waitForFinished(120000)) {
      ADD_FAILURE() << "ombrelo-index did not finish";
      process.kill();
      process.waitForFinished();
      return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
  }

  // Presses Ctrl+C once every text awaited has been shown; the run then
  // ends by itself with exit code 1 and says so. What it showed.
  std::string Interrupt(QProcess& process, const std::vector<std::string>& awaited) {
    std::string out;
    const auto allShown = [&] {
      for (const std::string& text : awaited) {
        if (!Contains(out, text)) return false;
      }
      return true;
    };
    while (!allShown()) {
      if (!process.waitForReadyRead(60000)) {
        ADD_FAILURE() << out;
        return out;
      }
      out += process.readAllStandardOutput().toStdString();
    }
    EXPECT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    EXPECT_TRUE(process.waitForFinished(60000));
    out += process.readAllStandardOutput().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(Contains(out, "Interrupted: stopping the capture\n")) << out;
    return out;
  }

  TempFolder folder_{"indexer"};
  std::vector<std::pair<QString, QString>> extraEnvironment_;
};

TEST_F(IndexerTest, UsageErrorsExitWithTwo) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(Contains(help.out, "Usage: ombrelo-index [OPTIONS] [PATH...]"));
  EXPECT_TRUE(Contains(help.out, "--start-after SEC"));

  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--out"}, "option --out needs a value"},
      {{"--quality", "0", "x.mp4"}, "bad value for --quality: '0'"},
      {{"--quality=101", "x.mp4"}, "bad value for --quality: '101'"},
      {{"--format", "gif", "x.mp4"}, "bad value for --format: 'gif'"},
      {{"--every", "-1", "x.mp4"}, "bad value for --every: '-1'"},
      {{"--least", "many", "x.mp4"}, "bad value for --least: 'many'"},
      {{"--least=-1", "x.mp4"}, "bad value for --least: '-1' (a whole number from 0 to 1000000)"},
      {{"--start-after", "1e300", "x.mp4"},
       "bad value for --start-after: '1e300' (a number from 0 to 1000000)"},
      {{"--no-html=1", "x.mp4"}, "option --no-html takes no value"},
      {{}, "no videos to index"},
      {{"--project", "missing.obx"}, "cannot read the project file 'missing.obx'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const Result result = Run(c.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
    EXPECT_FALSE(FileExists(folder_ / "Thumbs"));
  }
}

TEST_F(IndexerTest, IndexesFilesAndFoldersWithTheOptionsAndSavesTheProject) {
  const std::string videos = folder_ / "videos/";
  std::filesystem::create_directories(videos + "sub");
  std::filesystem::copy_file(TestVideos::Get().Make("a.mp4"), videos + "a.mp4");
  std::filesystem::copy_file(TestVideos::Get().Make("b.mkv"), videos + "sub/b.MKV");
  ASSERT_TRUE(testing::WriteFileBytes(videos + "notes.txt", "not a video"));
  // A file named on the command line is taken whatever its name.
  const std::string odd = folder_ / "odd name.data";
  std::filesystem::copy_file(TestVideos::Get().Make("odd.mp4"), odd);

  const Result result =
      Run({"--out", "out", "--start-after", "1", "--every", "4", "--quality", "70", "--format",
           "bmp", "--no-html", "--save", "run.obx", "videos", odd});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::string out = folder_ / "out/";
  const std::vector<std::pair<std::string, std::string>> movies = {
      {videos + "a.mp4", "a"}, {videos + "sub/b.MKV", "b"}, {odd, "odd_name"}};
  for (const auto& [path, name] : movies) {
    SCOPED_TRACE(path);
    for (const int frame : {25, 125, 225}) {
      const std::string thumbnail = out + "Thumbs/" + name + "/" + name + "_0h00m0" +
                                    std::to_string(frame / 25) + ".000s.bmp";
      EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(thumbnail), frame) << thumbnail;
    }
    const std::string base = PathBaseName(path);
    EXPECT_TRUE(FileExists(out + "Ipl/" + base + ".ipl"));
    EXPECT_TRUE(FileExists(out + "Index/" + base + ".jpg"));
    EXPECT_TRUE(Contains(result.out, path + ": done, 3 images, thumbnails " + out + "Thumbs/" +
                                         name + "/, playlist " + out + "Ipl/" + base +
                                         ".ipl, index photo " + out + "Index/" + base + ".jpg\n"))
        << result.out;
  }
  EXPECT_FALSE(FileExists(out + "Html"));
  EXPECT_FALSE(Contains(result.out, "notes.txt"));
  EXPECT_TRUE(Contains(result.out, "Grabbing from : " + videos + "a.mp4\n"));
  EXPECT_TRUE(result.err.empty()) << result.err;

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 3u);
  for (const Movie& movie : saved.Movies()) {
    EXPECT_EQ(movie.status, kMovieDone);
    EXPECT_EQ(movie.images.size(), 3u);
  }
  EXPECT_EQ(saved.Movies().front().path(), videos + "a.mp4");
  EXPECT_EQ(saved.Capture().imageformat, 1);
  EXPECT_EQ(saved.Capture().jpegquality, 70);
  EXPECT_EQ(saved.Capture().delaybetweensamples, 4.0);
  EXPECT_FALSE(saved.Output().htmlEnabled);
  EXPECT_EQ(saved.Output().thumbsFolder, out + "Thumbs/");
  // The run's temporary folder is gone.
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("ombrelo-index-", 0), std::string::npos);
  }
}

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

TEST_F(IndexerTest, ControlCharactersInFileNamesArePrintedEscaped) {
  // Names that would recolour the terminal, split a line or set the window
  // title (a junk file, so that its error is printed too), and one with
  // accents and CJK letters, which stays as it is.
  const std::string videos = folder_ / "videos/";
  std::filesystem::create_directories(videos);
  const std::string plain = "caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC.mp4";
  for (const std::string name : {"red\033[31m clip.mp4", "two\nlines.mp4", plain.c_str()}) {
    std::filesystem::copy_file(TestVideos::Get().Make("a.mp4"), videos + name);
  }
  ASSERT_TRUE(testing::WriteFileBytes(videos + "bad\033]0;owned\007.mp4", std::string(4096, 'j')));
  for (const char* jobs : {"1", "2"}) {
    const Result result =
        Run({"--jobs", jobs, "--out", "out", "--every", "20", "--no-index-photo", videos});
    EXPECT_EQ((result.out + result.err).find_first_of("\033\007\r"), std::string::npos) << jobs;
    // One summary line per movie, each name with its escapes.
    for (const std::string& line :
         {std::string("red\\x1b[31m clip.mp4: done, "), std::string("two\\nlines.mp4: done, "),
          std::string("bad\\x1b]0;owned\\x07.mp4: failed, "), plain + ": done, "}) {
      EXPECT_TRUE(Contains(result.out, "\n" + videos + line)) << line << result.out;
    }
    EXPECT_TRUE(Contains(result.err, "from '" + videos + "bad\\x1b]0;owned\\x07.mp4' - "));
  }
}

TEST_F(IndexerTest, VideosOfOneNameNeverShareAnOutputInARunAcrossRunsOrJobs) {
  const std::string videos[] = {folder_ / "a/x.mp4", folder_ / "b/x.mp4"};
  for (const std::string& video : videos) {
    std::filesystem::create_directories(paths::FolderOf(video));
    std::filesystem::copy_file(TestVideos::Get().Make("a.mp4"), video);
  }
  // Each run twice into its own folder: the second keeps the names.
  for (const std::string jobs : {"1", "1", "2", "2"}) {
    const std::string out = folder_ / ("jobs" + jobs + "/");
    const Result result =
        Run({"--jobs", jobs, "--out", out, "--every", "20", videos[0], videos[1]});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    for (const std::string name : {"x", "x-2"}) {
      // The playlist and page of one name are one video's, and so are all
      // three outputs the run lists for that video (an overwritten one or
      // a new name in the second run shows here).
      const std::string ipl = ReadFileBytes(out + "Ipl/" + name + ".ipl");
      const std::string& video =
          Contains(ipl, "<source>" + videos[0] + "<") ? videos[0] : videos[1];
      EXPECT_TRUE(Contains(ReadFileBytes(out + "Html/" + name + ".html"), paths::FolderOf(video)));
      const size_t line = result.out.find(video + ": done, ");
      EXPECT_LT(
          result.out.find(", playlist " + out + "Ipl/" + name + ".ipl, web page " + out + "Html/" +
                              name + ".html, index photo " + out + "Index/" + name + ".jpg\n",
                          line),
          result.out.find('\n', line))
          << result.out;
    }
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

TEST_F(IndexerTest, SettingsComeFromTheDefaultsOrAProjectFile) {
  const std::string first = TestVideos::Get().Make("a.mp4");
  const std::string second = TestVideos::Get().Make("second.mp4");
  // Settings of a desktop run and a project file that both say BMP named by
  // frame, every second from the start.
  CProject written(folder_ / "");
  written.UpdateCapture([&](CaptureSettings& c) { c.imageformat = 1; });
  written.UpdateCapture([&](CaptureSettings& c) { c.namebyframe = true; });
  written.UpdateCapture(
      [&](CaptureSettings& c) { c.samplestart = CaptureSettings::fromBeginning; });
  written.UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 1.0; });
  written.SetIndexphotoEnabled(false);
  written.AddMovie(first);
  ASSERT_TRUE(written.Save(folder_ / "project.obx"));
  const std::string lastSettings = folder_ / "userdata/Tessaly/Ombrelo/last_settings.bin";
  std::filesystem::create_directories(folder_ / "userdata/Tessaly/Ombrelo");
  ASSERT_TRUE(written.SaveWithoutMovies(lastSettings));
  const std::string lastSettingsBytes = ReadFileBytes(lastSettings);

  {
    SCOPED_TRACE("no options: the defaults, never last_settings.bin");
    const Result result = Run({"--out", "defaults", second});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // A 10-second video under the defaults: one thumbnail, in the middle.
    EXPECT_TRUE(FileExists(folder_ / "defaults/Thumbs/second/second_0h00m05.040s.jpg"));
    EXPECT_TRUE(FileExists(folder_ / "defaults/Index/second.jpg"));
    EXPECT_EQ(ReadFileBytes(lastSettings), lastSettingsBytes);
  }
  {
    SCOPED_TRACE("--settings takes the settings, not the movies");
    const Result result = Run({"--settings", "project.obx", "--out", "settings", second});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(
        testvideo::ReadFrameNumberFromBmp(folder_ / "settings/Thumbs/second/second_000200.bmp"),
        200);
    EXPECT_FALSE(FileExists(folder_ / "settings/Index"));
    EXPECT_FALSE(Contains(result.out, first));
  }
  {
    SCOPED_TRACE("--project takes the movies too");
    const Result result = Run({"--project", "project.obx", "--out", "project"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, first + ": done, 10 images, "));
    EXPECT_TRUE(FileExists(folder_ / "project/Thumbs/a/a_000000.bmp"));
  }
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

// Every file below a folder with its bytes, by its path inside the folder;
// the folder's own path inside the texts is replaced by "<out>".
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string bytes = ReadFileBytes(entry.path().string());
    for (size_t at; (at = bytes.find(folder)) != std::string::npos;) {
      bytes.replace(at, folder.size(), "<out>");
    }
    files[entry.path().lexically_relative(folder).string()] = std::move(bytes);
  }
  return files;
}

TEST_F(IndexerTest, TwoJobsMakeTheSameOutputsAsOne) {
  // Names with blanks and letters outside ASCII keep them in their
  // thumbnails, whichever process takes them.
  const std::vector<std::string> videos = {
      TestVideos::Get().Make("a.mp4"), TestVideos::Get().Make("b.mkv"),
      TestVideos::Get().Make("c.avi", 250, "mpeg4"), TestVideos::Get().Make("d é.mp4", 100),
      TestVideos::Get().Make("e ü.mp4", 100)};
  std::map<std::string, std::string> outputs[2];
  std::string summaries[2];
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string name = "jobs" + std::to_string(jobs);
    std::vector<std::string> args = {"--jobs", std::to_string(jobs), "--out", name, "--every", "3",
                                     "--save", name + "/run.obx"};
    args.insert(args.end(), videos.begin(), videos.end());
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    for (const std::string& video : videos) {
      EXPECT_TRUE(Contains(result.out, "Indexed " + video + " (")) << result.out;
    }
    outputs[jobs - 1] = FilesBelow(folder_ / name);
    // The summary in list order, whichever movie finished first.
    summaries[jobs - 1] = result.out.substr(result.out.find(videos.front() + ": done"));
    for (size_t at; (at = summaries[jobs - 1].find(name)) != std::string::npos;) {
      summaries[jobs - 1].replace(at, name.size(), "<out>");
    }
  }
  EXPECT_EQ(summaries[0], summaries[1]);
  EXPECT_EQ(outputs[0].size(), outputs[1].size());
  EXPECT_GT(outputs[0].size(), 5u * 4u);
  // Thumbnails, pages, playlists and index photos.
  EXPECT_TRUE(outputs[1].count("Thumbs/e_ü/e_ü_0h00m02.040s.jpg"));
  for (const auto& [path, bytes] : outputs[0]) {
    const auto other = outputs[1].find(path);
    ASSERT_NE(other, outputs[1].end()) << path;
    EXPECT_TRUE(other->second == bytes) << path;
  }
}

TEST_F(IndexerTest, SkipBlankReplacesBlackThumbnailsByTheFirstFrameAfterThem) {
  // Black stretches (no frame number: -1) over the samples at frames 25, 75,
  // 125 and 225 of 25 a second; the one at 125 outlasts half of 50 frames.
  testvideo::VideoOptions o = testing::SmallVideo(300);
  o.blackFrames = {{20, 30}, {75, 79}, {120, 160}, {224, 226}};
  for (const char* name : {"dark.mp4", "dark copy.mp4"}) {
    o.path = folder_ / name;
    ASSERT_TRUE(testvideo::Generate(o));
  }
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> times;  // of the thumbnails, in their names
    std::vector<int> frames;         // drawn in them
  };
  const Case cases[] = {
      {{"--every", "2"},
       {"01.000", "03.000", "05.000", "07.000", "09.000", "11.000"},
       {-1, -1, -1, 175, -1, 275}},
      {{"--every", "2", "--skip-blank", "--jobs", "2"},
       {"01.240", "03.200", "05.000", "07.000", "09.080", "11.000"},
       {31, 80, -1, 175, 227, 275}},
      // Samples 100 frames apart, seeking between them: 50 frames are looked at.
      {{"--every", "4", "--skip-blank", "--jobs", "1"},
       {"01.240", "06.440", "09.080"},
       {31, 161, 227}},
  };
  for (const Case& c : cases) {
    const std::string out = "out" + std::to_string(&c - cases);
    std::vector<std::string> args = {
        "--out", out, "--start-after", "1", "--no-html", "--no-playlist", "--no-index-photo"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {folder_ / "dark.mp4", folder_ / "dark copy.mp4"});
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::vector<int> frames;
    for (const std::string& time : c.times) {
      const std::string thumbnail = folder_ / (out + "/Thumbs/dark/dark_0h00m" + time + "s.jpg");
      frames.push_back(FileExists(thumbnail) ? testvideo::ReadFrameNumberFromJpeg(thumbnail) : -2);
    }
    EXPECT_EQ(frames, c.frames) << out;
    // Those and the folder's marker file.
    EXPECT_EQ(FilesBelow(folder_ / (out + "/Thumbs/dark")).size(), c.times.size() + 1) << out;
  }
}

// The combing of a thumbnail's luma.
double Combing(const QImage& picture) {
  const QImage luma = picture.convertToFormat(QImage::Format_Grayscale8);
  return testing::Combing(luma.constBits(), luma.width(), luma.height(),
                          static_cast<int>(luma.bytesPerLine()));
}

TEST_F(IndexerTest, InterlacedVideoIsDeinterlacedUnlessNoDeinterlaceIsGivenAndSaved) {
  // A sideways scroll woven two pictures to a frame, as a camcorder records.
  const std::string video = folder_ / "camcorder.mpg";
  const std::string make =
      "ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=720x576:r=50:d=1 -vf "
      "scroll=h=0.01,tinterlace=interleave_top -c:v mpeg2video -flags +ildct+ilme -top 1 "
      "-q:v 2 '" +
      video + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  for (const bool off : {false, true}) {
    SCOPED_TRACE(off ? "--no-deinterlace" : "the default");
    const std::string out = off ? "combed" : "clean";
    std::vector<std::string> args = {"--out=" + out, "--save=" + out + ".obx", "--start-after=0.4",
                                     "--no-index-photo", video};
    if (off) args.insert(args.begin(), "--no-deinterlace");
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    QImage picture;  // the one thumbnail (beside the folder's marker file)
    for (const auto& [name, bytes] : FilesBelow(folder_ / (out + "/Thumbs/camcorder")))
      if (name.ends_with(".jpg")) picture = QImage::fromData(QByteArray::fromStdString(bytes));
    ASSERT_FALSE(picture.isNull());
    if (off)
      EXPECT_GT(Combing(picture), 2.0);
    else
      EXPECT_LT(Combing(picture), 1.1);
    EXPECT_EQ(Contains(ReadFileBytes(folder_ / (out + ".obx")), "<deinterlace>0</deinterlace>"),
              off);
  }
}

// The files an HTML page links to (src and href), as paths: entities and
// percent-escapes decoded, resolved against the page's folder.
std::set<std::string> LinkedFiles(const std::string& pagePath) {
  const std::string page = ReadFileBytes(pagePath);
  const std::string folder = paths::FolderOf(pagePath);
  std::set<std::string> files;
  static const std::regex link(R"re((?:src|href)\s*=\s*"([^"]*)")re");
  for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
    std::string value = (*it)[1];
    for (const auto& [entity, c] : {std::pair<std::string, std::string>{"&quot;", "\""},
                                    {"&#39;", "'"},
                                    {"&lt;", "<"},
                                    {"&gt;", ">"},
                                    {"&amp;", "&"}}) {
      for (size_t at; (at = value.find(entity)) != std::string::npos;) {
        value.replace(at, entity.size(), c);
      }
    }
    if (value.rfind("http:", 0) == 0 || value.rfind("https:", 0) == 0) continue;
    if (value.rfind("file://", 0) == 0) value.erase(0, 7);
    const std::string decoded =
        QUrl::fromPercentEncoding(QByteArray::fromStdString(value)).toStdString();
    const std::filesystem::path path(decoded);
    files.insert(
        (path.is_absolute() ? path : std::filesystem::path(folder) / path).lexically_normal());
  }
  return files;
}

TEST_F(IndexerTest, NamesOfEveryScriptRoundTripThroughEveryOutputAndTheProject) {
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  struct Case {
    const char* file;
    const char* codec;
    const char* folder;  // of the thumbnails
  };
  const Case cases[] = {
      {"plain.mp4", "", "plain"},
      {"Café – night walk.avi", "mpeg4", "Café_–_night_walk"},
      {"Ελλάδα beach.webm", "vp9", "Ελλάδα_beach"},
      {"東京 夜景.mp4", "", "東京_夜景"},
      {"say \"cheese\" 'now'.mkv", "", "say_\"cheese\"_'now'"},
      {"take #2 & 50%.mp4", "", "take_#2_&_50%"},
  };
  std::vector<std::string> args = {"--out",  "out",         "--jobs",  "2",
                                   "--save", "out/run.obx", "--least", "3"};
  for (const Case& c : cases) {
    args.push_back(TestVideos::Get().Make(c.file, 75, c.codec));
    ASSERT_FALSE(args.back().empty());
  }
  const Result result = Run(args);
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(result.err.empty()) << result.err;

  CProject project("");
  ASSERT_TRUE(project.Load(folder_ / "out/run.obx"));
  ASSERT_EQ(project.Movies().size(), std::size(cases));
  const std::string thumbs = folder_ / "out/Thumbs/";
  int plainPhotoHeight = 0;
  auto movie = project.Movies().begin();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(movie->status, kMovieDone) << movie->error;
    EXPECT_EQ(movie->error, "");  // no rename message
    EXPECT_GE(movie->images.size(), 3u);
    const std::set<std::string> linked = LinkedFiles(movie->html);
    std::vector<PlaylistEntry> listed;
    std::string error;
    ASSERT_TRUE(ReadPlaylistText(ReadFileBytes(movie->ipl), &listed, &error)) << error;
    ASSERT_EQ(listed.size(), movie->images.size());
    for (size_t i = 0; i < listed.size(); ++i) {
      const ImageEntry& image = movie->images[i];
      EXPECT_EQ(paths::FolderOf(image.path), thumbs + c.folder + "/");
      EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(image.path), static_cast<int>(image.frame));
      EXPECT_EQ(listed[i].file, image.path);
      EXPECT_EQ(listed[i].source, movie->path());
      EXPECT_TRUE(linked.count(image.path)) << image.path;
    }
    EXPECT_TRUE(linked.count(movie->ipl)) << movie->ipl;
    EXPECT_TRUE(linked.count(movie->indexphoto)) << movie->indexphoto;
    // The index photo shows the thumbnails: it is as tall as the plain
    // name's, which a sheet whose pictures did not load is not.
    const QImage photo(QString::fromStdString(movie->indexphoto));
    ASSERT_FALSE(photo.isNull());
    if (plainPhotoHeight == 0) plainPhotoHeight = photo.height();
    EXPECT_EQ(photo.height(), plainPhotoHeight);
    ++movie;
  }

  // The report links every movie's outputs.
  std::string reportFailure;
  const std::string report = folder_ / "out/report.html";
  ASSERT_EQ(WriteProjectReport(project, report, TransformForReport, &reportFailure),
            ReportResult::kWritten);
  const std::set<std::string> reported = LinkedFiles(report);
  for (const Movie& m : project.Movies()) {
    EXPECT_TRUE(reported.count(m.html)) << m.html;
  }

  // Saved and opened again, the project is the same.
  ASSERT_TRUE(project.Save(folder_ / "out/again.obx"));
  CProject reopened("");
  ASSERT_TRUE(reopened.Load(folder_ / "out/again.obx"));
  EXPECT_EQ(reopened.FileText(), project.FileText());
  EXPECT_EQ(reopened.Movies().back().images, project.Movies().back().images);
}

TEST_F(IndexerTest, ManyThumbnailsMakeAnIndexPhotoInPartsOfUsefulSize) {
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  // 320 x 240 frames at the default image scale of one half: thumbnails of
  // 160 x 120 on the page, one of every frame.
  testvideo::VideoOptions options = testing::SmallVideo(300);
  options.width = 320;
  options.height = 240;
  const std::string video = TestVideos::Get().Make(options, "dense.mp4");
  const std::string few = TestVideos::Get().Make("few.mp4", 50);
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("jobs ") + jobs);
    const std::string out = std::string("out") + jobs;
    const Result result = Run({"--jobs", jobs, "--out", out, "--start-after", "0", "--every",
                               "0.04", "--save", out + "/run.obx", video, few});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

    CProject project("");
    ASSERT_TRUE(project.Load(folder_ / (out + "/run.obx")));
    ASSERT_EQ(project.Movies().size(), 2u);
    const Movie& dense = project.Movies().front();
    EXPECT_EQ(dense.status, kMovieDone) << dense.error;
    ASSERT_EQ(dense.images.size(), 300u);
    const std::vector<std::string> parts = dense.IndexPhotoFiles();
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[1], IndexPhotoPartPath(dense.indexphoto, 2));
    // The contact sheet is three cells of the thumbnail, 8 px of padding and
    // a 1 px border on each side, with 10 px around them: a picture this
    // wide shows its thumbnails at full size, 160 px.
    const int sheetWidth = 3 * (160 + 18) + 4 * 10;
    for (const std::string& part : parts) {
      SCOPED_TRACE(part);
      const QImage photo(QString::fromStdString(part));
      ASSERT_FALSE(photo.isNull());
      EXPECT_GE(photo.width(), sheetWidth);
      EXPECT_LE(photo.width(), 16384);
      EXPECT_LE(photo.height(), 16384);
    }
    // The page and the report name every part.
    const std::set<std::string> linked = LinkedFiles(dense.html);
    std::string reportFailure;
    const std::string report = folder_ / (out + "/report.html");
    ASSERT_EQ(WriteProjectReport(project, report, TransformForReport, &reportFailure),
              ReportResult::kWritten);
    const std::set<std::string> reported = LinkedFiles(report);
    for (const std::string& part : parts) {
      EXPECT_TRUE(linked.count(part)) << part;
      EXPECT_TRUE(reported.count(part)) << part;
    }
    // A video of few thumbnails keeps one picture, and its record its form.
    const Movie& one = project.Movies().back();
    EXPECT_FALSE(one.indexphoto.empty());
    EXPECT_TRUE(one.indexphotoParts.empty());
    EXPECT_EQ(one.ToXml().find("indexphoto_parts"), std::string::npos);
  }
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

TEST_F(IndexerTest, OnATerminalEachRunningMovieHasALine) {
  // A pseudo terminal, 200 columns wide, that passes bytes unchanged.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string terminal = ::ptsname(master);
  const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios mode{};
  ::tcgetattr(slave, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(slave, TCSANOW, &mode);
  winsize size{};
  size.ws_col = 200;
  size.ws_row = 40;
  ::ioctl(slave, TIOCSWINSZ, &size);

  std::string shown;
  std::atomic<bool> finished{false};
  std::thread reader([&] {
    char bytes[4096];
    for (;;) {
      pollfd fd{master, POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0) {
        if (finished) return;
        continue;
      }
      const ssize_t got = ::read(master, bytes, sizeof bytes);
      if (got <= 0) return;
      shown.append(bytes, static_cast<size_t>(got));
    }
  });
  const std::vector<std::string> videos = {TestVideos::Get().Make("a.mp4", 500),
                                           TestVideos::Get().Make("b.mp4", 500),
                                           TestVideos::Get().Make("c.mp4", 500)};
  QProcess process;
  process.setStandardOutputFile(QString::fromStdString(terminal));
  std::vector<std::string> args = {"--jobs",  "2",   "--out",           "out", "--start-after", "0",
                                   "--every", "0.4", "--no-index-photo"};
  args.insert(args.end(), videos.begin(), videos.end());
  Start(process, args);
  ASSERT_TRUE(process.waitForFinished(120000));
  finished = true;
  reader.join();
  ::close(slave);
  ::close(master);
  EXPECT_EQ(process.exitCode(), 0);

  // Two movies ran at once: a block of two progress lines was redrawn in
  // place (up one line, clear below), each line a movie's progress bar.
  EXPECT_TRUE(Contains(shown, "\r\033[1A\033[J")) << shown;
  for (const std::string name : {"a.mp4", "b.mp4", "c.mp4"}) {
    EXPECT_TRUE(Contains(shown, name + " [########################] 100%  50 images"))
        << name << "\n"
        << shown;
    EXPECT_TRUE(Contains(shown, "images  Grabbing from : " + TestVideos::Get().Make(name, 500)));
  }
  for (const std::string& video : videos) {
    EXPECT_TRUE(Contains(shown, "Indexed " + video + " (50 images)\n")) << shown;
    EXPECT_TRUE(Contains(shown, video + ": done, 50 images, ")) << shown;
  }
  // The status texts are in the movies' lines, not lines of their own.
  EXPECT_FALSE(Contains(shown, "\nGrabbing from : "));
}

// ---- The command line for scripts and clusters.

// The JSON objects of a run's standard output, one a line; a failure for a
// line that is no JSON object.
std::vector<QJsonObject> JsonLines(const std::string& out) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_TRUE(document.isObject()) << line << ": " << error.errorString().toStdString();
    objects.push_back(document.object());
  }
  return objects;
}

TEST_F(IndexerTest, VersionTemplatesAndTheTemplateChosenOnTheCommandLine) {
  const Result version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(
      std::regex_match(version.out, std::regex("ombrelo-index [0-9]+\\.[0-9]+\\.[0-9]+\n"
                                               "Build: [A-Z][a-z]{2} [0-9]{1,2} [0-9]{4}\n")))
      << version.out;

  const Result list = Run({"--list-templates"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(std::regex_search(list.out, std::regex("^Web page templates \\(--html-template\\):\n"
                                                     "(  .*\n)*  filmstrip.xslt +Film strip\n"
                                                     "(  .*\n)*Index photo templates "
                                                     "\\(--index-template\\):\n"
                                                     "(  .*\n)*  index_grid.xslt +Grid sheet\n")))
      << list.out;

  // A name with or without its extension; the project records the file.
  const std::string video = TestVideos::Get().Make("a.mp4");
  const Result chosen = Run({"--html-template", "filmstrip", "--index-template=index_grid.xslt",
                             "--out", "out", "--every", "20", "--save", "run.obx", video});
  ASSERT_EQ(chosen.exitCode, 0) << chosen.err;
  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  EXPECT_EQ(saved.Output().htmlTransform, "filmstrip.xslt");
  EXPECT_EQ(saved.Output().indexphotoTransform, "index_grid.xslt");
  // The page is made with the film strip's markup, not the gallery's.
  const std::string page = ReadFileBytes(saved.Movies().front().html);
  EXPECT_TRUE(Contains(page, "class=\"code-frame\"")) << page.substr(0, 2000);
  EXPECT_FALSE(Contains(page, "class=\"caption-frame\""));

  struct Unknown {
    std::vector<std::string> args;
    const char* message;
  };
  const Unknown unknown[] = {
      {{"--html-template", "nope", video},
       "no web page template 'nope'; there are: filmstrip.xslt, gallery.xslt"},
      {{"--index-template", "gallery", video},
       "no index photo template 'gallery'; there are: index_cinema.xslt, index_grid.xslt, "
       "index_transform.xslt"},
  };
  for (const Unknown& u : unknown) {
    SCOPED_TRACE(u.message);
    const Result result = Run(u.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Contains(result.err, u.message)) << result.err;
    EXPECT_FALSE(FileExists(folder_ / "Thumbs"));
  }
}

TEST_F(IndexerTest, QuietPrintsOnlyErrorsAndJsonOnlyJsonInEveryJobCount) {
  const std::string good = TestVideos::Get().Make("a.mp4");
  // A name that is no UTF-8 comes from the folder (a command line of the
  // test cannot carry it).
  const std::string odd = folder_ / "odd/";
  std::filesystem::create_directories(odd);
  std::filesystem::copy_file(TestVideos::Get().Make("b.mp4"), odd + "say \"hi\" \\ \xe9.mp4");
  const std::string broken = folder_ / "broken.mp4";
  ASSERT_TRUE(testing::WriteFileBytes(broken, "no video at all"));
  for (const std::string jobs : {"1", "2"}) {
    SCOPED_TRACE("jobs " + jobs);
    const std::string out = folder_ / ("out" + jobs);
    const std::vector<std::string> common = {"--jobs",  jobs, "--out",           out,
                                             "--every", "20", "--no-index-photo"};
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--quiet", good});
    const Result quiet = Run(args);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
    args = common;
    args.insert(args.end(), {"-q", good, broken});
    const Result quietFailure = Run(args);
    EXPECT_EQ(quietFailure.exitCode, 1);
    EXPECT_EQ(quietFailure.out, "");
    EXPECT_TRUE(Contains(quietFailure.err, broken)) << quietFailure.err;

    args = common;
    args.insert(args.end(), {"--json", good, odd, broken});
    const Result json = Run(args);
    EXPECT_EQ(json.exitCode, 1);
    const std::vector<QJsonObject> movies = JsonLines(json.out);
    ASSERT_EQ(movies.size(), 3u) << json.out;
    EXPECT_EQ(movies[0]["path"].toString().toStdString(), good);
    EXPECT_EQ(movies[0]["status"].toString(), "done");
    EXPECT_EQ(movies[0]["images"].toInt(), 1);
    EXPECT_TRUE(movies[0]["error"].isNull());
    const QJsonObject outputs = movies[0]["outputs"].toObject();
    EXPECT_EQ(outputs["thumbnails"].toString().toStdString(), out + "/Thumbs/a/");
    EXPECT_EQ(outputs["playlist"].toString().toStdString(), out + "/Ipl/a.ipl");
    EXPECT_EQ(outputs["webpage"].toString().toStdString(), out + "/Html/a.html");
    EXPECT_FALSE(outputs.contains("indexphoto"));
    // Quotes and backslashes escaped; a byte that is no UTF-8 as the
    // escape Python's surrogateescape reads back as that byte.
    EXPECT_TRUE(Contains(json.out, "say \\\"hi\\\" \\\\ \\udce9.mp4\",\"status\":\"done\""))
        << json.out;
    EXPECT_EQ(movies[2]["status"].toString(), "failed");
    EXPECT_TRUE(movies[2]["error"].toString().contains("broken.mp4"));
    EXPECT_TRUE(Contains(json.err, "Grabbing from : " + good)) << json.err;
  }
}

TEST_F(IndexerTest, TheManualPageAndCompletionKnowEveryOptionOfTheHelp) {
  const Result help = Run({"--help"});
  ASSERT_EQ(help.exitCode, 0);
  const std::string source =
      std::filesystem::path(OMBRELO_SOURCE_DATA_DIR).parent_path().parent_path();
  const std::string manual = ReadFileBytes(source + "/docs/man/ombrelo-index.1");
  const std::string completion = ReadFileBytes(source + "/scripts/completion/ombrelo-index.bash");
  ASSERT_FALSE(manual.empty());
  ASSERT_FALSE(completion.empty());
  const std::regex option("--[a-z][a-z-]*");
  int options = 0;
  for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), option);
       it != std::sregex_iterator(); ++it) {
    const std::string name = it->str();
    // roff writes each "-" of an option as "\-".
    std::string roff;
    for (const char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_TRUE(Contains(manual, roff)) << name << " is not described in the manual page";
    EXPECT_TRUE(Contains(completion, name + " ") || Contains(completion, name + "\"") ||
                Contains(completion, name + "\n") || Contains(completion, name + ")"))
        << name << " is not completed";
    ++options;
  }
  EXPECT_GT(options, 20);
}

// Indexes one part of the collection; the paths of the videos it indexed.
std::set<std::string> IndexedPaths(const Result& result) {
  std::set<std::string> paths;
  for (const QJsonObject& movie : JsonLines(result.out))
    paths.insert(movie["path"].toString().toStdString());
  return paths;
}

TEST_F(IndexerTest, ShardsPartitionACollectionStablyAndMergeIntoOneProject) {
  const std::vector<std::string> names = {"a.mp4",          "b.mp4", "sub/c.mkv", "sub/d.mp4",
                                          "sub/deep/e.mp4", "f.mp4", "broken.mp4"};
  const auto fill = [&](const std::string& root, const std::vector<std::string>& files) {
    for (const std::string& name : files) {
      std::filesystem::create_directories(paths::FolderOf(root + name));
      if (name == "broken.mp4") {
        ASSERT_TRUE(testing::WriteFileBytes(root + name, "no video"));
      } else {
        std::filesystem::copy_file(TestVideos::Get().Make(PathBaseName(name) + ".mp4", 50),
                                   root + name);
      }
    }
  };
  const std::string first = folder_ / "collection/";
  fill(first, names);
  constexpr int kParts = 3;
  std::map<std::string, int> partOf;  // by path below the collection
  for (int k = 1; k <= kParts; ++k) {
    const std::string part = "part-" + std::to_string(k) + ".obx";
    const Result result = Run({"--shard", std::to_string(k) + "/" + std::to_string(kParts),
                               "--save", part, "--json", "--jobs", k == 2 ? "2" : "1", "--out",
                               "out", "--every", "20", "--no-index-photo", "collection"});
    EXPECT_LE(result.exitCode, 1) << result.err;
    for (const std::string& path : IndexedPaths(result)) {
      ASSERT_EQ(path.rfind(first, 0), 0u) << path;
      EXPECT_TRUE(partOf.emplace(path.substr(first.size()), k).second) << path << " twice";
    }
    CProject saved("");
    ASSERT_TRUE(saved.Load(folder_ / part)) << part;
  }
  ASSERT_EQ(partOf.size(), names.size());  // each video in exactly one part

  // The same collection elsewhere, with videos added: no video changes part.
  const std::string second = folder_ / "moved/collection/";
  fill(second, names);
  fill(second, {"g.mp4", "sub/h.mp4"});
  std::map<std::string, int> moved;
  for (int k = 1; k <= kParts; ++k) {
    const Result result = Run({"--shard", std::to_string(k) + "/" + std::to_string(kParts),
                               "--json", "--out", "out2", "--every", "20", "--no-index-photo",
                               "--no-html", "--no-playlist", "moved/collection"});
    for (const std::string& path : IndexedPaths(result)) moved[path.substr(second.size())] = k;
  }
  EXPECT_EQ(moved.size(), names.size() + 2);
  for (const auto& [name, part] : partOf) EXPECT_EQ(moved[name], part) << name;

  // The parts joined: every movie once, with its results.
  const Result merged =
      Run({"--merge", "all.obx", "part-1.obx", "part-2.obx", "part-3.obx", "--json"});
  EXPECT_EQ(merged.exitCode, 1) << merged.err;  // broken.mp4 failed
  EXPECT_EQ(JsonLines(merged.out).size(), names.size());
  CProject all("");
  ASSERT_TRUE(all.Load(folder_ / "all.obx"));
  ASSERT_EQ(all.Movies().size(), names.size());
  for (const Movie& movie : all.Movies()) {
    SCOPED_TRACE(movie.path());
    if (movie.Title() == "broken.mp4") {
      EXPECT_EQ(movie.status, kMovieFailed);
      EXPECT_FALSE(movie.error.empty());
      continue;
    }
    EXPECT_EQ(movie.status, kMovieDone) << movie.error;
    ASSERT_EQ(movie.images.size(), 1u);
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(movie.images[0].path),
              static_cast<int>(movie.images[0].frame));
    EXPECT_TRUE(FileExists(movie.html));
  }
  // The report of the joined project links every page and names the failure.
  struct SourceData {  // the report template, for this test only
    SourceData() { SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR); }
    ~SourceData() { SetApplicationDataFolder(""); }
  } sourceData;
  std::string reportFailure;
  const std::string report = folder_ / "report.html";
  ASSERT_EQ(WriteProjectReport(all, report, TransformForReport, &reportFailure),
            ReportResult::kWritten);
  const std::set<std::string> reported = LinkedFiles(report);
  for (const Movie& movie : all.Movies()) {
    if (movie.status == kMovieDone) {
      EXPECT_TRUE(reported.count(movie.html)) << movie.html;
    }
  }

  // A project file there already is never replaced.
  const std::string before = ReadFileBytes(folder_ / "all.obx");
  const Result again = Run({"--merge", "all.obx", "part-1.obx"});
  EXPECT_EQ(again.exitCode, 2);
  EXPECT_TRUE(Contains(again.err, "'all.obx' exists already")) << again.err;
  EXPECT_EQ(ReadFileBytes(folder_ / "all.obx"), before);
  // A part that cannot be read writes nothing.
  const Result unreadable = Run({"--merge", "none.obx", "part-1.obx", "missing.obx"});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_TRUE(Contains(unreadable.err, "cannot read the project file 'missing.obx'"));
  EXPECT_FALSE(FileExists(folder_ / "none.obx"));

  // A video in two parts is kept once: a record that is done or failed wins
  // over one that is waiting, whichever part comes first.
  CProject stale("");
  ASSERT_TRUE(stale.Load(folder_ / "all.obx"));
  for (const Movie& movie : stale.Movies()) {
    stale.UpdateMovie(movie.id(), [](Movie& m) {
      m.status = kMovieWaiting;
      m.images.clear();
    });
  }
  ASSERT_TRUE(stale.Save(folder_ / "stale.obx"));
  const Result twice =
      Run({"--merge", "twice.obx", "stale.obx", "part-1.obx", "part-2.obx", "part-3.obx"});
  EXPECT_TRUE(Contains(twice.err, "is in more than one part; kept once, from 'part-")) << twice.err;
  CProject joined("");
  ASSERT_TRUE(joined.Load(folder_ / "twice.obx"));
  ASSERT_EQ(joined.Movies().size(), names.size());
  auto expected = all.Movies().begin();
  for (const Movie& movie : joined.Movies()) {
    EXPECT_EQ(movie.path(), expected->path());  // the order of the first part
    EXPECT_EQ(movie.status, expected->status);
    EXPECT_EQ(movie.images, expected->images);
    ++expected;
  }
}

TEST_F(IndexerTest, APartWithoutVideosSavesAnEmptyProjectThatMergesCleanly) {
  std::filesystem::create_directories(folder_ / "one");
  std::filesystem::copy_file(TestVideos::Get().Make("a.mp4", 50), folder_ / "one/a.mp4");
  int indexed = 0;
  for (const std::string k : {"1", "2"}) {
    const Result result = Run({"--shard", k + "/2", "--save", "part-" + k + ".obx", "--out", "out",
                               "--every", "20", "--no-index-photo", "one"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    CProject part("");
    ASSERT_TRUE(part.Load(folder_ / ("part-" + k + ".obx")));
    indexed += static_cast<int>(part.Movies().size());
    if (part.Movies().empty()) {
      EXPECT_TRUE(Contains(result.err, "no videos in part " + k + "/2")) << result.err;
    }
  }
  EXPECT_EQ(indexed, 1);
  const Result merged = Run({"--merge", "all.obx", "part-1.obx", "part-2.obx"});
  EXPECT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_TRUE(Contains(merged.out, folder_ / "one/a.mp4: done, 1 image")) << merged.out;
}

TEST_F(IndexerTest, MergeKeepsAVideoOnceHoweverItsPathIsSpelled) {
  // One video named four ways (a "..", a doubled separator and a ".", a
  // linked folder), and a video no longer there named two ways.
  std::filesystem::create_directories(folder_ / "m/sub");
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "m/v1.mp4", "video"));
  std::filesystem::create_directory_symlink(folder_ / "m", folder_ / "link");
  const std::string base = folder_.Path();
  const std::vector<std::vector<std::string>> parts = {
      {base + "m/v1.mp4", base + "gone/../old.mp4"},
      {base + "m/sub/../v1.mp4", "/" + base + "m/./v1.mp4"},
      {base + "link/v1.mp4", base + "old.mp4", base + "m/v2.mp4"}};
  std::vector<std::string> args = {"--merge", "all.obx"};
  for (size_t i = 0; i < parts.size(); ++i) {
    CProject part("");
    for (const std::string& path : parts[i]) part.AddMovie(path);
    const std::string name = "part-" + std::to_string(i + 1) + ".obx";
    ASSERT_TRUE(part.Save(folder_ / name));
    args.push_back(name);
  }
  const Result merged = Run(args);
  EXPECT_EQ(merged.exitCode, 1) << merged.err;  // nothing was indexed
  CProject all("");
  ASSERT_TRUE(all.Load(folder_ / "all.obx"));
  std::vector<std::string> paths;
  for (const Movie& movie : all.Movies()) paths.push_back(movie.path());
  // Each as the first part to name it spells it.
  EXPECT_EQ(paths, (std::vector<std::string>{base + "m/v1.mp4", base + "gone/../old.mp4",
                                             base + "m/v2.mp4"}));

  // A part that is no project file: the reason ends the line, no "\n" is
  // printed.
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "notes.obx", "<notes/>\n"));
  const Result wrong = Run({"--merge", "none.obx", "notes.obx"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_TRUE(Contains(wrong.err, "cannot read the project file 'notes.obx': Not a project file\n"))
      << wrong.err;
  EXPECT_FALSE(Contains(wrong.err, "\\n")) << wrong.err;
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
