// The thumbnailer, run as a file manager runs it: the command line of the
// installed entry with its %s, %i and %o filled in. A PNG of the asked size
// showing a frame from inside the video, upright and in SDR colours; for a
// file that gives no frame a failing exit status, no output and no wait.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frame_metrics.h"
#include "support/debug_capture.h"
#include "support/gui_application.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;
using testing::FileExists;
using testing::TempFolder;

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"thumbnailer-videos"};
  return videos;
}

// The Exec line of the entry, split into words.
std::vector<std::string> EntryCommand() {
  const std::string entry = testing::ReadFileBytes(OMBRELO_THUMBNAILER_ENTRY);
  std::istringstream lines(entry);
  std::vector<std::string> words;
  std::string tryExec;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("TryExec=", 0) == 0) tryExec = line.substr(8);
    if (line.rfind("Exec=", 0) != 0) continue;
    std::istringstream split(line.substr(5));
    for (std::string word; split >> word;) words.push_back(word);
  }
  EXPECT_EQ(tryExec, "ombrelo-index");
  EXPECT_TRUE(testing::Contains(entry, "\nMimeType=") && testing::Contains(entry, "video/mp4;") &&
              testing::Contains(entry, "video/x-matroska;"));
  return words;
}

struct Outcome {
  int exitCode = -1;
  std::string err;
  double seconds = 0;
};

// Runs the entry's command as a file manager does: %s the size, %i the
// file, %o where the PNG goes.
Outcome Thumbnail(const std::string& input, const std::string& output, int size) {
  std::vector<std::string> words = EntryCommand();
  Outcome run;
  if (words.empty() || words[0] != "ombrelo-index") {
    ADD_FAILURE() << "the entry does not run ombrelo-index";
    return run;
  }
  QStringList args;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    const std::string value = w == "%s" ? std::to_string(size) : w == "%i" ? input
                              : w == "%o"                   ? output
                                                            : w;
    args << QString::fromStdString(value);
  }
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("OMBRELO_DEBUG");
  process.setProcessEnvironment(env);
  const auto start = Clock::now();
  process.start(OMBRELO_INDEX_BINARY, args);
  if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
    ADD_FAILURE() << "the thumbnailer did not finish";
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.err = process.readAllStandardError().toStdString();
  return run;
}

// The PNG as BGR rows, checked for its size.
QImage ReadPng(const std::string& path, int width, int height) {
  QImage image(QString::fromStdString(path), "PNG");
  EXPECT_EQ(image.width(), width);
  EXPECT_EQ(image.height(), height);
  return image.convertToFormat(QImage::Format_BGR888);
}

int FrameNumber(const QImage& image, int* rotation = nullptr) {
  return testvideo::ReadFrameNumberAnyRotation(image.constBits(), image.width(), image.height(),
                                               static_cast<int>(image.bytesPerLine()),
                                               testvideo::PixelOrder::BGR24, rotation);
}

class Thumbnailer : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureGuiApplication(); }
  TempFolder folder_{"thumbnailer"};
};

TEST_F(Thumbnailer, MakesAPngOfTheAskedSizeFromInsideTheVideo) {
  testvideo::VideoOptions o = testing::SmallVideo(400);
  o.width = 320;
  o.height = 240;
  o.keyframeInterval = 50;
  o.container = "mp4";
  // A name as users give them.
  const std::string path = Videos().Make(o, "holiday & family – Größe 2.mp4");
  ASSERT_FALSE(path.empty());
  for (int size : {256, 128}) {
    SCOPED_TRACE(size);
    const std::string out = folder_ / ("thumb-" + std::to_string(size) + ".png");
    const Outcome run = Thumbnail(path, out, size);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QImage image = ReadPng(out, size, size * 3 / 4);
    EXPECT_FALSE(IsNearlyFlat(image.constBits(), image.width(), image.height(),
                              image.bytesPerLine()));
    if (size == 256) {
      EXPECT_EQ(FrameNumber(image), 100);  // a quarter into the video
    }
  }
}

TEST_F(Thumbnailer, RotatedAndAnamorphicVideoComesOutUprightInItsDisplayShape) {
  testvideo::VideoOptions rotated = testing::SmallVideo(100);
  rotated.width = 320;
  rotated.height = 240;
  rotated.container = "mp4";
  rotated.rotationDegrees = 90;
  const std::string out = folder_ / "rotated.png";
  const Outcome run = Thumbnail(Videos().Make(rotated, "rotated.mp4"), out, 256);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  int turn = -1;
  EXPECT_EQ(FrameNumber(ReadPng(out, 192, 256), &turn), 25);
  EXPECT_EQ(turn, 90);

  testvideo::VideoOptions wide = testing::SmallVideo(100);
  wide.width = 240;
  wide.height = 240;
  wide.container = "mp4";
  wide.sampleAspectNum = 4;  // shown 320 x 240
  wide.sampleAspectDen = 3;
  const std::string wideOut = folder_ / "wide.png";
  const Outcome wideRun = Thumbnail(Videos().Make(wide, "anamorphic.mp4"), wideOut, 256);
  ASSERT_EQ(wideRun.exitCode, 0) << wideRun.err;
  EXPECT_EQ(FrameNumber(ReadPng(wideOut, 256, 192)), 25);
}

TEST_F(Thumbnailer, HdrVideoIsToneMapped) {
  testvideo::VideoOptions o = testing::SmallVideo(50);
  o.width = 320;
  o.height = 240;
  o.keyframeInterval = 25;
  o.hdr = "pq";
  const std::string path = Videos().Make(o, "hdr10.mkv");
  ASSERT_FALSE(path.empty());
  const std::string out = folder_ / "hdr.png";
  const Outcome run = Thumbnail(path, out, 320);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const QImage image = ReadPng(out, 320, 240);
  const int frame = FrameNumber(image);
  ASSERT_EQ(frame, 12);

  // The same frame through FFmpeg's tone-mapping chain, and converted as it is.
  auto reference = [&](const std::string& filters) {
    const std::string raw = folder_ / "reference.bgr";
    const std::string command = "ffmpeg -nostdin -v error -i '" + path +
                                "' -vf 'select=eq(n\\," + std::to_string(frame) + ")," + filters +
                                "format=bgr24' -frames:v 1 -f rawvideo -y '" + raw + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testing::ReadFileBytes(raw);
  };
  auto meanError = [&](const std::string& bgr) {
    if (bgr.size() != 320u * 240 * 3) return 255.0;
    double sum = 0;
    for (int y = 0; y < 240; ++y) {
      const uint8_t* row = image.constScanLine(y);
      for (int x = 0; x < 320 * 3; ++x)
        sum += std::abs(row[x] - static_cast<uint8_t>(bgr[static_cast<size_t>(y) * 320 * 3 + x]));
    }
    return sum / (320.0 * 240 * 3);
  };
  const double mapped = meanError(reference(
      "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
      "zscale=t=bt709:m=bt709:r=pc,format=gbrp,"));
  const double plain = meanError(reference(""));
  EXPECT_LT(mapped, 1.5);
  EXPECT_GT(plain, 5.0);
}

TEST_F(Thumbnailer, FilesWithoutAFrameFailFastAndLeaveNoOutput) {
  testvideo::VideoOptions o = testing::SmallVideo(100);
  o.container = "mp4";
  const std::string good = Videos().Make(o, "whole.mp4");
  const std::string bytes = testing::ReadFileBytes(good);
  ASSERT_GT(bytes.size(), 8000u);

  std::string garbage(200'000, '\0');
  uint32_t state = 12345;
  for (char& c : garbage) c = static_cast<char>((state = state * 1664525 + 1013904223) >> 24);
  struct Case {
    const char* name;
    std::string path;
  };
  std::vector<Case> cases = {
      {"random bytes named .mp4", folder_ / "random.mp4"},
      {"an empty file", folder_ / "empty.mkv"},
      {"the first 4 KB of a video", folder_ / "cut.mp4"},
      {"a text file", folder_ / "notes.avi"},
      {"a named pipe nobody writes to", folder_ / "pipe.mp4"},
      {"a folder", folder_ / "folder.mp4"},
      {"a file that does not exist", folder_ / "missing.mp4"},
  };
  ASSERT_TRUE(testing::WriteFileBytes(cases[0].path, garbage));
  ASSERT_TRUE(testing::WriteFileBytes(cases[1].path, ""));
  ASSERT_TRUE(testing::WriteFileBytes(cases[2].path, bytes.substr(0, 4096)));
  ASSERT_TRUE(testing::WriteFileBytes(cases[3].path, "[Desktop Entry]\nName=not a video\n"));
  ASSERT_EQ(::mkfifo(cases[4].path.c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(cases[5].path.c_str(), 0700), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = folder_ / "out.png";
    const Outcome run = Thumbnail(c.path, out, 256);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(testing::Contains(run.err, "ombrelo-index: no thumbnail for ")) << run.err;
    EXPECT_FALSE(FileExists(out));
    EXPECT_LT(run.seconds, 10);
  }
  // A command line it cannot understand is no thumbnail either.
  const Outcome usage = Thumbnail(good, "", 256);
  EXPECT_EQ(usage.exitCode, 2);
}

}  // namespace
}  // namespace ombrelo
