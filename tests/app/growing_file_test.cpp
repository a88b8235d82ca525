// A video that another program is still writing while ombrelo-index reads
// it: it is not marked done, it says so, and a later run indexes it whole.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <regex>
#include <system_error>

#include "project/movie.h"
#include "project/project.h"
#include "support/indexer_child.h"
#include "workflow_test_support.h"

namespace ombrelo {
namespace {

using testing::Contains;
using testing::IndexerRun;
using testing::RunIndexer;
using testing::TempFolder;

uintmax_t FileSize(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

// Starts ffmpeg writing `seconds` of video to `path` as fast as it plays,
// and returns once the file holds at least `bytes`. ffmpeg reports its
// progress every tenth of a second; each report is a moment to look.
void StartWriting(QProcess& writer, const std::string& path, const QString& format, int seconds,
                  uintmax_t bytes) {
  writer.start("ffmpeg", {"-nostdin",
                          "-v",
                          "error",
                          "-re",
                          "-f",
                          "lavfi",
                          "-i",
                          "testsrc2=size=160x120:rate=25",
                          "-t",
                          QString::number(seconds),
                          "-c:v",
                          "mpeg4",
                          "-g",
                          "5",
                          "-cluster_time_limit",
                          "100",
                          "-flush_packets",
                          "1",
                          "-progress",
                          "pipe:1",
                          "-stats_period",
                          "0.1",
                          "-f",
                          format,
                          QString::fromStdString(path)});
  ASSERT_TRUE(writer.waitForStarted(10000));
  while (FileSize(path) < bytes) {
    ASSERT_TRUE(writer.waitForReadyRead(10000)) << "ffmpeg wrote nothing to " << path;
    writer.readAllStandardOutput();
  }
}

TEST(GrowingFile, AVideoStillBeingWrittenIsNotDoneAndIsIndexedAgainOnceComplete) {
  testing::EnsureGuiApplication();
  TempFolder folder("growing-file");
  const std::string mkv = folder / "recording.mkv", mp4 = folder / "recording.mp4";
  QProcess mkvWriter, mp4Writer;
  StartWriting(mkvWriter, mkv, "matroska", 12, 40000);
  StartWriting(mp4Writer, mp4, "mp4", 12, 40000);

  const IndexerRun early =
      RunIndexer(folder, {"--jobs", "1", "--out", "out1", "--no-html", "--no-index-photo",
                          "--start-after", "0", "--every", "0.5", "--save", "early.obx", mkv, mp4});
  // Both were read while they grew.
  ASSERT_EQ(mkvWriter.state(), QProcess::Running);
  ASSERT_EQ(mp4Writer.state(), QProcess::Running);
  EXPECT_EQ(early.exitCode, 1) << early.out << early.err;
  EXPECT_TRUE(Contains(early.out, "recording.mkv: failed")) << early.out;
  // Between two of ffmpeg's writes the file looks cut short, but it was
  // changed a moment ago.
  const std::regex mkvReason(
      "recording\\.mkv: failed, [0-9]+ images?, [^\n]*error: Error reading "
      "from '[^']*' - the file (is still being written: it grew from [0-9]+ "
      "to [0-9]+ bytes while it was read\\. Index it again when it is "
      "complete\\.|is cut short or still being written: it was changed a "
      "moment ago, and the video ends at [^\n]*, before its stated length "
      "of 0:00:12\\.000; [0-9]+ of 24 thumbnails were taken\\.)\n");
  EXPECT_TRUE(std::regex_search(early.out, mkvReason)) << early.out;
  // The MP4's index comes at its end: it cannot be opened yet.
  EXPECT_TRUE(Contains(early.err, "Error capturing from '" + mp4 + "' - The file ")) << early.err;
  EXPECT_TRUE(Contains(early.err, "still being written")) << early.err;

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder / "early.obx"));
  ASSERT_EQ(saved.Movies().size(), 2u);
  for (const Movie& movie : saved.Movies()) EXPECT_EQ(movie.status, kMovieFailed) << movie.path();

  mkvWriter.closeReadChannel(QProcess::StandardOutput);
  mp4Writer.closeReadChannel(QProcess::StandardOutput);
  ASSERT_TRUE(mkvWriter.waitForFinished(60000));
  ASSERT_TRUE(mp4Writer.waitForFinished(60000));
  ASSERT_EQ(mkvWriter.exitCode(), 0);
  ASSERT_EQ(mp4Writer.exitCode(), 0);

  const IndexerRun later =
      RunIndexer(folder, {"--jobs", "1", "--out", "out2", "--no-html", "--no-index-photo",
                          "--start-after", "0", "--every", "0.5", "--save", "later.obx", mkv, mp4});
  EXPECT_EQ(later.exitCode, 0) << later.out << later.err;
  EXPECT_TRUE(Contains(later.out, "recording.mkv: done, 24 images")) << later.out;
  EXPECT_TRUE(Contains(later.out, "recording.mp4: done, 24 images")) << later.out;
  ASSERT_TRUE(saved.Load(folder / "later.obx"));
  ASSERT_EQ(saved.Movies().size(), 2u);
  for (const Movie& movie : saved.Movies()) EXPECT_EQ(movie.status, kMovieDone) << movie.path();
}

}  // namespace
}  // namespace ombrelo
