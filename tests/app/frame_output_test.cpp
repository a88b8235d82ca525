// Frame output: thumbnail names from the settings, BMP bytes, JPEG and BMP
// files that hold the frame that was taken, the retry after creating the
// movie's folder, and the stop with its error when a thumbnail cannot be
// written.
#include "workflow/frame_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "platform/paths.h"
#include "project/movie.h"
#include "project/project.h"
#include "support/debug_capture.h"
#include "tools/testvideo/test_video.h"
#include "workflow/frame_writer.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

BitmapInfoHeader Format(int width, int height) {
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = 24;
  header.biSizeImage = BitmapRowBytes(24, width) * static_cast<uint32_t>(height);
  return header;
}

// A top-down BGR frame showing the frame-number code of `number`.
FrameCopy CodedFrame(int width, int height, int number, double time, int imageNumber,
                     const std::string& moviePath) {
  const int stride = static_cast<int>(BitmapRowBytes(24, width));
  auto pixels = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride) * height, 0);
  testvideo::DrawFrame(number, pixels->data(), width, height, stride, testvideo::PixelOrder::BGR24);
  FrameCopy frame;
  frame.size = static_cast<int32_t>(pixels->size());
  frame.pixels = std::move(pixels);
  frame.frame = number;
  frame.time = time;
  frame.moviePath = moviePath;
  frame.imageNumber = imageNumber;
  return frame;
}

TEST(FrameOutput, SuffixFollowsTheNamingSettings) {
  CaptureSettings settings;
  SCOPED_TRACE("time tag by default; the half millisecond is added before splitting");
  EXPECT_EQ(ThumbnailSuffix(settings, 1636, 65.4321, 0), "_0h01m05.432s");
  EXPECT_EQ(ThumbnailSuffix(settings, 0, 0.0, 0), "_0h00m00.000s");
  EXPECT_EQ(ThumbnailSuffix(settings, 0, 3725.9996, 0), "_1h02m06.000s");

  settings.namebyframe = true;
  EXPECT_EQ(ThumbnailSuffix(settings, 1500, 60.0, 3), "_001500");
  EXPECT_EQ(ThumbnailSuffix(settings, 12345678, 60.0, 3), "_12345678");

  // notimetag wins over namebyframe: the first image has no number at all.
  settings.notimetag = true;
  EXPECT_EQ(ThumbnailSuffix(settings, 1500, 60.0, 0), "");
  EXPECT_EQ(ThumbnailSuffix(settings, 1500, 60.0, 1), "1");
  EXPECT_EQ(ThumbnailSuffix(settings, 1500, 60.0, 12), "12");

  EXPECT_STREQ(ThumbnailExtension(settings), ".jpg");
  settings.imageformat = 1;
  EXPECT_STREQ(ThumbnailExtension(settings), ".bmp");
  settings.imageformat = 2;
  EXPECT_STREQ(ThumbnailExtension(settings), ".jpg");
}

TEST(FrameOutput, BmpBytesKeepTheHeaderAndPadEveryRowWithZeros) {
  // Width 322: rows of 966 bytes padded to 968.
  const BitmapInfoHeader header = Format(322, 3);
  FrameCopy frame;
  auto pixels = std::make_shared<std::vector<uint8_t>>(968 * 3);
  for (size_t i = 0; i < pixels->size(); ++i) (*pixels)[i] = static_cast<uint8_t>(i * 7 + 1);
  frame.pixels = pixels;
  frame.size = 968 * 3;

  const std::string bytes = BmpFileBytes(header, frame);
  ASSERT_EQ(bytes.size(), 54u + 968u * 3u);
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(ReadLe32(b + 2), 54u + 968u * 3u);
  EXPECT_EQ(ReadLe32(b + 6), 0u);  // both reserved words
  EXPECT_EQ(ReadLe32(b + 10), 54u);
  uint8_t stored[40];
  header.Write(stored);
  EXPECT_EQ(bytes.substr(14, 40), std::string(reinterpret_cast<char*>(stored), 40));
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    const size_t row = 54 + static_cast<size_t>(r) * 968;
    // The file is bottom-up: its first row is the frame's last.
    EXPECT_EQ(bytes.substr(row, 966),
              std::string(reinterpret_cast<const char*>(pixels->data()) + (2 - r) * 968, 966));
    EXPECT_EQ(bytes.substr(row + 966, 2), std::string(2, '\0'));
  }

  SCOPED_TRACE("a height of 0 or less gives the two headers only");
  EXPECT_EQ(BmpFileBytes(Format(322, 0), frame).size(), 54u);
  BitmapInfoHeader topDown = Format(322, 3);
  topDown.biHeight = -3;
  EXPECT_EQ(BmpFileBytes(topDown, frame).size(), 54u);

  SCOPED_TRACE("a frame smaller than its rows is refused, not read past its end");
  frame.size = 968 * 2;
  EXPECT_EQ(BmpFileBytes(header, frame), "");
}

// Saves a frame as the run does: named as the movie's naming says (taken
// when the movie is opened), written by the frame writer on its thread, and
// recorded on the owner's side; stop stands for the Stop command.
bool SaveAsTheRunDoes(CProject& project, int32_t id, const FrameCopy& frame,
                      const std::function<void()>& stop, std::string* path) {
  const ThumbnailNaming naming = NamingOf(project, *project.MovieById(id));
  *path = ThumbnailFileName(naming.prefix, naming.settings, frame);
  std::promise<FrameWriter::Result> written;
  std::future<FrameWriter::Result> done = written.get_future();
  FrameWriter writer([&](FrameWriter::Result result) { written.set_value(std::move(result)); });
  writer.Write(FrameWriter::Job{id, 0, frame, naming.videoFormat, naming.settings, *path});
  const FrameWriter::Result result = done.get();
  RecordThumbnail(project, id, frame, result.job.path, result.written, stop, result.reason);
  return result.written;
}

TEST(FrameOutput, SavedThumbnailsHoldTheFrameAndAreRecorded) {
  TempFolder folder("frame-output");
  CProject project(folder.Path());
  project.SetThumbsFolder(folder / "Thumbs");
  project.SetThumbsUseFolder(true);
  const std::string video = folder / "My clip.mp4";
  const int32_t id = project.AddMovie(video);
  project.UpdateMovie(id, [](Movie& movie) { movie.videoFormat = Format(162, 120); });
  int stops = 0;
  const auto stop = [&] { ++stops; };

  std::string path;
  ASSERT_TRUE(
      SaveAsTheRunDoes(project, id, CodedFrame(162, 120, 1500, 60.0, 0, video), stop, &path));
  // The movie's own folder did not exist: it was made and the write repeated.
  EXPECT_EQ(path, folder / "Thumbs/My_clip/My_clip_0h01m00.000s.jpg");
  EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(path), 1500);

  project.UpdateCapture([&](CaptureSettings& c) { c.imageformat = 1; });
  project.UpdateCapture([&](CaptureSettings& c) { c.namebyframe = true; });
  ASSERT_TRUE(
      SaveAsTheRunDoes(project, id, CodedFrame(162, 120, 4500, 180.0, 1, video), stop, &path));
  EXPECT_EQ(path, folder / "Thumbs/My_clip/My_clip_004500.bmp");
  EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(path), 4500);
  EXPECT_EQ(ReadFileBytes(path).size(), 54u + 488u * 120u);

  project.UpdateCapture([&](CaptureSettings& c) { c.notimetag = true; });
  project.UpdateCapture([&](CaptureSettings& c) { c.imageformat = 0; });
  ASSERT_TRUE(
      SaveAsTheRunDoes(project, id, CodedFrame(162, 120, 7500, 300.0, 2, video), stop, &path));
  EXPECT_EQ(path, folder / "Thumbs/My_clip/My_clip2.jpg");

  const Movie& saved = *project.FindMovie(id);
  ASSERT_EQ(saved.images.size(), 3u);
  EXPECT_EQ(saved.images[0],
            (ImageEntry{folder / "Thumbs/My_clip/My_clip_0h01m00.000s.jpg", 1500, 60.0}));
  EXPECT_EQ(saved.images[1].frame, 4500u);
  EXPECT_EQ(saved.images[2].time, 300.0);
  EXPECT_EQ(saved.status, kMovieWaiting);
  EXPECT_EQ(stops, 0);
}

TEST(FrameOutput, AThumbnailThatCannotBeWrittenStopsTheCaptureAndFailsTheMovie) {
  TempFolder folder("frame-output-fail");
  ASSERT_TRUE(testing::WriteFileBytes(folder / "a file", "x"));
  CProject project(folder.Path());
  // Below a regular file no folder can ever be made.
  project.SetThumbsFolder(folder / "a file/Thumbs");
  project.SetThumbsUseFolder(true);
  const std::string video = folder / "clip.avi";
  project.AddMovie(video);
  const int32_t id = project.Movies().front().id();
  project.UpdateMovie(id, [&](Movie& m) { m.videoFormat = Format(160, 120); });

  int stops = 0;
  int statusWhenStopped = -1;
  std::string path;
  const bool saved = SaveAsTheRunDoes(
      project, id, CodedFrame(160, 120, 25, 1.0, 0, video),
      [&] {
        ++stops;
        statusWhenStopped = project.FindMovie(id)->status;
      },
      &path);
  EXPECT_FALSE(saved);
  EXPECT_EQ(stops, 1);
  // The capture is stopped before the movie is marked.
  EXPECT_EQ(statusWhenStopped, kMovieWaiting);
  const Movie& movie = *project.FindMovie(id);
  EXPECT_EQ(movie.status, kMovieFailed);
  // The path and the system's reason.
  EXPECT_EQ(movie.error, "Failed to write JPEG image to:\n'" + path + "' - Not a directory");
  EXPECT_EQ(path, folder / "a file/Thumbs/clip/clip_0h00m01.000s.jpg");
  EXPECT_TRUE(movie.images.empty());

  SCOPED_TRACE("the text is the same for BMP files");
  project.UpdateCapture([&](CaptureSettings& c) { c.imageformat = 1; });
  EXPECT_FALSE(SaveAsTheRunDoes(project, id, CodedFrame(160, 120, 50, 2.0, 1, video), {}, &path));
  EXPECT_NE(project.FindMovie(id)->error.find("Failed to write JPEG image to:\n'" + path +
                                              "' - Not a directory"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FrameOutput, AFrameTooSmallForItsFormatIsAWriteFailure) {
  TempFolder folder("frame-output-short");
  CProject project(folder.Path());
  const std::string video = folder / "clip.mp4";
  project.AddMovie(video);
  const int32_t id = project.Movies().front().id();
  project.UpdateMovie(id, [&](Movie& m) { m.videoFormat = Format(160, 120); });
  FrameCopy frame = CodedFrame(160, 120, 25, 1.0, 0, video);
  frame.size = 480 * 60;  // half the rows
  int stops = 0;
  std::string path;
  EXPECT_FALSE(SaveAsTheRunDoes(
      project, id, frame, [&] { ++stops; }, &path));
  EXPECT_EQ(stops, 1);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace ombrelo
