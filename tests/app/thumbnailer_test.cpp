// The thumbnailer, run as a file manager runs it: the command line of the
// installed entry with its %s, %i and %o filled in. A PNG of the asked size
// showing a frame from inside the video, upright and in SDR colours; for a
// file that gives no frame a failing exit status, no output and no wait.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <sstream>

#include "support/ffmpeg_reference.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string err;
  double seconds = 0;
};

// The entry's Exec line with %s, %i and %o filled in, run from its TryExec program.
Outcome Thumbnail(const std::string& input, const std::string& output, int size) {
  const std::string entry = testing::ReadFileBytes(OMBRELO_THUMBNAILER_ENTRY);
  EXPECT_TRUE(testing::Contains(entry, "[Thumbnailer Entry]\nTryExec=ombrelo-index\n"));
  EXPECT_TRUE(testing::Contains(entry, "video/mp4;") &&
              testing::Contains(entry, "video/x-matroska;"));
  std::istringstream exec(entry.substr(entry.find("\nExec=") + 6));
  std::string word;
  exec >> word;
  EXPECT_EQ(word, "ombrelo-index");
  QStringList args;
  while (exec >> word && word.find('=') == std::string::npos)
    args << QString::fromStdString(word == "%s"   ? std::to_string(size)
                                   : word == "%i" ? input
                                   : word == "%o" ? output
                                                  : word);
  QProcess process;
  const auto start = std::chrono::steady_clock::now();
  process.start(OMBRELO_INDEX_BINARY, args);
  Outcome run;
  if (!process.waitForFinished(60000)) {
    ADD_FAILURE() << "the thumbnailer did not finish";
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.err = process.readAllStandardError().toStdString();
  return run;
}

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"thumbnailer-videos"};
  return videos;
}

TEST(Thumbnailer, APngOfTheAskedSizeFromInsideTheVideoUprightInItsShapeAndColours) {
  testing::TempFolder folder("thumbnailer");
  struct Case {
    const char* name;  // as users name files
    int frames, width, height, sarNum, rotation;
    const char* hdr;
    int size, pngWidth, pngHeight, frame;
  };
  const Case cases[] = {
      {"holiday & family – Größe 2.mp4", 400, 320, 240, 1, 0, "", 256, 256, 192, 100},
      {"small.mp4", 400, 320, 240, 1, 0, "", 128, 128, 96, 100},
      // The key frame after a quarter (key frames every 50 frames).
      {"portrait.mp4", 100, 320, 240, 1, 90, "", 256, 192, 256, 50},
      {"anamorphic.mp4", 100, 240, 240, 4, 0, "", 256, 256, 192, 50},  // 4:3 pixels
      {"tiny.mp4", 100, 160, 120, 1, 0, "", 256, 160, 120, 50},        // never enlarged
      // No key frame after the first: that one.
      {"hdr10.mkv", 48, 320, 240, 1, 0, "pq", 320, 320, 240, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testvideo::VideoOptions o = testing::SmallVideo(c.frames);
    o.width = c.width;
    o.height = c.height;
    o.sampleAspectNum = c.sarNum;
    o.sampleAspectDen = c.sarNum == 1 ? 1 : 3;
    o.rotationDegrees = c.rotation;
    o.hdr = c.hdr;
    const std::string path = Videos().Make(o, c.name), out = folder / "thumb.png";
    const Outcome run = Thumbnail(path, out, c.size);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QImage png =
        QImage(QString::fromStdString(out), "PNG").convertToFormat(QImage::Format_BGR888);
    EXPECT_EQ(png.width(), c.pngWidth);
    EXPECT_EQ(png.height(), c.pngHeight);
    int turn = -1;
    EXPECT_EQ(testvideo::ReadFrameNumberAnyRotation(png.constBits(), png.width(), png.height(),
                                                    png.bytesPerLine(),
                                                    testvideo::PixelOrder::BGR24, &turn),
              c.frame);
    EXPECT_EQ(turn, c.rotation);
    if (*c.hdr) {  // as FFmpeg's tone-mapping chain shows it, not as its samples are
      auto error = [&](const std::string& filters) {
        const std::string reference = testing::FfmpegFrame(path, c.frame, filters);
        double sum = 0;
        for (int y = 0; y < png.height() && reference.size() == 320u * 240 * 3; ++y)
          for (int x = 0; x < 320 * 3; ++x)
            sum += std::abs(png.constScanLine(y)[x] - static_cast<uint8_t>(reference[y * 960 + x]));
        return reference.size() == 320u * 240 * 3 ? sum / reference.size() : 255;
      };
      EXPECT_LT(error(testing::kFfmpegToneMap), 1.5);
      EXPECT_GT(error(""), 5);
    }
    std::remove(out.c_str());
  }
}

TEST(Thumbnailer, FilesWithoutAFrameFailFastAndLeaveNoOutput) {
  testing::TempFolder folder("thumbnailer-hostile");
  const std::string video =
      testing::ReadFileBytes(Videos().Make(testing::SmallVideo(100), "a.mp4"));
  std::string noise(200'000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);
  const std::pair<std::string, std::string> files[] = {
      {"random.mp4", noise},
      {"empty.mkv", ""},
      {"cut.mp4", video.substr(0, 4096)},
      {"notes.avi", "[Desktop Entry]\nName=not a video\n"}};
  for (const auto& [name, bytes] : files)
    ASSERT_TRUE(testing::WriteFileBytes(folder / name, bytes));
  ASSERT_EQ(::mkfifo((folder / "pipe.mp4").c_str(), 0600), 0);  // nobody writes to it
  ASSERT_EQ(::mkdir((folder / "folder.mp4").c_str(), 0700), 0);
  for (const char* name : {"random.mp4", "empty.mkv", "cut.mp4", "notes.avi", "pipe.mp4",
                           "folder.mp4", "missing.mp4"}) {
    SCOPED_TRACE(name);
    const Outcome run = Thumbnail(folder / name, folder / "out.png", 256);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(testing::Contains(run.err, "ombrelo-index: no thumbnail for ")) << run.err;
    EXPECT_FALSE(testing::FileExists(folder / "out.png"));
    EXPECT_LT(run.seconds, 10);
  }
  EXPECT_EQ(Thumbnail(folder / "a.mp4", "", 256).exitCode, 2);  // no output named

  // A name with control characters (colours, a bell, a line break) is told
  // escaped: the message stays one line and changes nothing on the terminal.
  const std::string hostile = folder / "red\x1b[31m\x07\nline.mp4";
  ASSERT_TRUE(testing::WriteFileBytes(hostile, noise));
  const Outcome named = Thumbnail(hostile, folder / "out.png", 256);
  EXPECT_EQ(named.exitCode, 1);
  EXPECT_TRUE(testing::Contains(named.err, "red\\x1b[31m\\x07\\nline.mp4: ")) << named.err;
  const auto controls = std::count_if(named.err.begin(), named.err.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
  EXPECT_EQ(controls, 1) << "only the line feed that ends the message: " << named.err;
  EXPECT_TRUE(named.err.ends_with("\n"));
}

TEST(Thumbnailer, TheHelpNamesItAndItsOptions) {
  QProcess process;
  process.start(OMBRELO_INDEX_BINARY, {"--help"});
  ASSERT_TRUE(process.waitForFinished(60000));
  const std::string help = process.readAllStandardOutput().toStdString();
  for (const char* text :
       {"ombrelo-index --thumbnail [-s SIZE] [--time-limit SEC] INPUT OUTPUT.png\n",
        "\n  --thumbnail ", "\n  -s, --size SIZE ", "\n  --time-limit SEC "})
    EXPECT_TRUE(testing::Contains(help, text)) << text;
}

}  // namespace
}  // namespace ombrelo
