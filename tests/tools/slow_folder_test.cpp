#include "tools/slowfs/slow_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/ffmpeg_support.h"
#include "engine/media_input.h"
#include "support/debug_capture.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

using Clock = std::chrono::steady_clock;
using slowfs::SlowFolder;
using testing::ReadFileBytes;
using testing::TempFolder;

constexpr std::chrono::milliseconds kDelay{400};

dev_t DeviceOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
}

TEST(SlowFolder, ShowsAVideoThatOpensOnlyAfterTheDelayAndReadsWhole) {
  TempFolder folder("slowfs");
  testvideo::VideoOptions video = testing::SmallVideo(50);
  video.path = folder / "a clip é & more.mp4";
  std::string error;
  ASSERT_TRUE(testvideo::Generate(video, &error)) << error;
  const std::string mountPoint = folder / "mounted";
  std::filesystem::create_directory(mountPoint);
  {
    const std::unique_ptr<SlowFolder> slow =
        SlowFolder::Mount(mountPoint, {video.path}, kDelay, &error);
    if (!slow) GTEST_SKIP() << "no slow folder here: " << error;
    const std::string shown = slow->PathOf(video.path);
    EXPECT_EQ(shown, mountPoint + "/a clip é & more.mp4");
    EXPECT_NE(DeviceOf(shown), DeviceOf(video.path));
    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(mountPoint))
      listed.push_back(entry.path().filename().string());
    EXPECT_EQ(listed, std::vector<std::string>{"a clip é & more.mp4"});
    EXPECT_EQ(std::filesystem::file_size(shown), std::filesystem::file_size(video.path));
    EXPECT_LT(::open(shown.c_str(), O_WRONLY | O_CLOEXEC), 0);
    EXPECT_EQ(errno, EROFS);

    // The engine opens it as any local video, and its open waits.
    const auto start = Clock::now();
    InputFailure failure;
    const av::FormatPtr input(OpenInput(InputRequest{shown}, &failure));
    const auto took = Clock::now() - start;
    ASSERT_TRUE(input) << failure.reason;
    EXPECT_GE(took, kDelay);
    EXPECT_EQ(input->nb_streams, 1u);
    // Each opening waits anew, and reads every byte of the source.
    const auto again = Clock::now();
    EXPECT_EQ(ReadFileBytes(shown), ReadFileBytes(video.path));
    EXPECT_GE(Clock::now() - again, kDelay);
  }
  // Unmounted with the object: the mount point is a plain empty folder again.
  EXPECT_EQ(DeviceOf(mountPoint), DeviceOf(folder.Path()));
  EXPECT_TRUE(std::filesystem::is_empty(mountPoint));
}

// True while the thread sleeps in the kernel inside read(2): a read of a
// shown file then waits for the folder's answer.
bool SleepsInRead(pid_t thread) {
  const std::string task = "/proc/self/task/" + std::to_string(thread);
  long call = -1;
  std::ifstream(task + "/syscall") >> call;  // "running" reads as no number
  const std::string stat = ReadFileBytes(task + "/stat");
  const size_t name = stat.rfind(") ");
  const char state = name == std::string::npos ? '?' : stat[name + 2];
  return call == SYS_read && (state == 'S' || state == 'D');
}

TEST(SlowFolder, AHeldReadHoldsUpNothingElseAndIsAnsweredWhenTheFolderGoes) {
  TempFolder folder("slowfs");
  const std::string source = folder / "bytes.bin";
  ASSERT_TRUE(testing::WriteFileBytes(source, std::string(4096, 'x')));
  const std::string mountPoint = folder / "mounted";
  std::filesystem::create_directory(mountPoint);
  constexpr std::chrono::seconds kLong{60};
  std::string error;
  std::unique_ptr<SlowFolder> slow = SlowFolder::Mount(mountPoint, {source}, kLong, &error);
  if (!slow) GTEST_SKIP() << "no slow folder here: " << error;
  if (ReadFileBytes("/proc/self/syscall").empty())
    GTEST_SKIP() << "this kernel does not tell which system call a thread waits in";
  const std::string shown = slow->PathOf(source);
  const int fd = ::open(shown.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::atomic<pid_t> readerThread{0};
  std::atomic<ssize_t> got{-2};
  std::thread reader([&] {
    readerThread = ::gettid();
    char bytes[16];
    got = ::read(fd, bytes, sizeof bytes);
  });
  // Not a timed wait: the kernel tells when the read has gone to the folder.
  while (got == -2 && !(readerThread && SleepsInRead(readerThread))) std::this_thread::yield();
  const auto start = Clock::now();
  // The folder answers the requests behind the held read at once: a second
  // opening goes to it whatever the kernel has cached.
  const int second = ::open(shown.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(second, 0);
  if (second >= 0) ::close(second);
  EXPECT_EQ(got.load(), -2) << "the read was not held";
  slow.reset();
  reader.join();
  ::close(fd);
  EXPECT_EQ(got.load(), 16) << "the held read was not answered with the file's bytes";
  EXPECT_LT(Clock::now() - start, kLong);
  EXPECT_EQ(DeviceOf(mountPoint), DeviceOf(folder.Path()));
}

TEST(SlowFolder, RefusesASourceThatIsNoRegularFile) {
  TempFolder folder("slowfs");
  std::string error;
  for (const std::string& source : {folder / "missing.mp4", folder.Path()}) {
    EXPECT_FALSE(SlowFolder::Mount(folder.Path(), {source}, kDelay, &error));
    EXPECT_EQ(error, "not a regular file: " + source);
  }
}

}  // namespace
}  // namespace ombrelo
