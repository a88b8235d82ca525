// ombrelo-index's command line: its options and their errors, help, version
// and manual page, the settings it starts from, and what it prints for
// people, terminals and scripts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonObject>
#include <QProcess>
#include <atomic>
#include <filesystem>
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

}  // namespace
}  // namespace ombrelo
