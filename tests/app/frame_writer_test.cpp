// The frame writer: thumbnails written on its own thread in the order they
// were given, with other work kept in that order; a write that fails is
// reported and ends its capture's thumbnails while other captures go on;
// the capture waits only while the writer is behind.
#include "workflow/frame_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "support/debug_capture.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using testing::TempFolder;

constexpr int kWidth = 160;
constexpr int kHeight = 120;

FrameWriter::Job CodedJob(int number, const std::string& path, int64_t capture = 1) {
  FrameWriter::Job job;
  job.movieId = 7;
  job.capture = capture;
  job.path = path;
  job.videoFormat.biWidth = kWidth;
  job.videoFormat.biHeight = kHeight;
  job.videoFormat.biBitCount = 24;
  job.settings.imageformat = number % 2;  // JPEG and BMP by turns
  const int stride = static_cast<int>(BitmapRowBytes(24, kWidth));
  auto pixels = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride) * kHeight);
  testvideo::DrawFrame(number, pixels->data(), kWidth, kHeight, stride,
                       testvideo::PixelOrder::BGR24);
  job.frame.size = static_cast<int32_t>(pixels->size());
  job.frame.pixels = std::move(pixels);
  job.frame.frame = number;
  return job;
}

std::string Name(int number) {
  return "sub/" + std::to_string(number) + (number % 2 ? ".bmp" : ".jpg");
}

TEST(FrameWriter, WritesInOrderAndAFailureEndsOnlyItsCapturesThumbnails) {
  TempFolder folder("frame-writer");
  ASSERT_TRUE(testing::WriteFileBytes(folder / "a file", "x"));
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> log;  // "frame N ok|failed" and "work", in order
  const std::thread::id owner = std::this_thread::get_id();
  bool offThread = true;

  {
    FrameWriter writer([&](FrameWriter::Result result) {
      std::lock_guard<std::mutex> lock(mutex);
      offThread = offThread && std::this_thread::get_id() != owner;
      log.push_back("frame " + std::to_string(result.job.frame.frame) +
                    (result.written ? " ok" : " failed"));
      changed.notify_all();
    });
    for (int n = 0; n < 12; ++n) {
      // Frame 5 goes below a regular file: no folder can be made there. The
      // frames of its capture after it are dropped; from frame 9 on the
      // frames are another capture's.
      const std::string path = n == 5 ? folder / "a file/sub/5.bmp" : folder / Name(n);
      writer.Write(CodedJob(n, path, n < 9 ? 1 : 2));
      if (n == 8) {
        writer.Run([&] {
          std::lock_guard<std::mutex> lock(mutex);
          log.push_back("work");
        });
      }
    }
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return log.size() == 10; }));
  }

  std::vector<std::string> expected;
  for (int n = 0; n < 12; ++n) {
    if (n == 6 || n == 7 || n == 8) continue;
    expected.push_back("frame " + std::to_string(n) + (n == 5 ? " failed" : " ok"));
  }
  expected.insert(expected.begin() + 6, "work");
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(offThread);
  // Each file holds its own frame (the folder was made at the first).
  for (int n : {0, 1, 9, 11}) {
    const std::string path = folder / Name(n);
    EXPECT_EQ(
        n % 2 ? testvideo::ReadFrameNumberFromBmp(path) : testvideo::ReadFrameNumberFromJpeg(path),
        n);
  }
}

TEST(FrameWriter, TheCaptureWaitsOnlyWhileTheWriterIsBehind) {
  TempFolder folder("frame-writer-behind");
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  int done = 0;
  FrameWriter writer([&](FrameWriter::Result) {
    std::lock_guard<std::mutex> lock(mutex);
    ++done;
    changed.notify_all();
  });
  // Work that holds the writer, as a slow disk does.
  writer.Run([&] {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return open; });
  });
  std::atomic<int> given{0};
  std::thread capture([&] {
    for (int n = 0; n < 4; ++n) {
      writer.Write(CodedJob(n, folder / Name(n)));
      ++given;
    }
  });
  // Two frames may wait; the third waits in Write until the writer moves.
  std::unique_lock<std::mutex> lock(mutex);
  changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return given.load() > 2; });
  EXPECT_EQ(given.load(), FrameWriter::kMaxFramesWaiting);
  open = true;
  changed.notify_all();
  ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return done == 4; }));
  lock.unlock();
  capture.join();
  EXPECT_EQ(given.load(), 4);
}

}  // namespace
}  // namespace ombrelo
