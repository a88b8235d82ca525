#include "project/file_write.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

// Lowers the file size limit (a stand-in for a full disk) while it lives;
// the signal the limit raises is ignored, so the write fails with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous_);
    struct rlimit small = old_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    sigaction(SIGXFSZ, &previous_, nullptr);
  }

 private:
  struct rlimit old_ {};
  struct sigaction previous_ {};
};

TEST(FileWrite, EachFailureReportsTheErrorOfTheCallThatFailed) {
  TempFolder folder("write");
  int error = -1;
  EXPECT_EQ(WriteFileReplacing(folder / "ok.txt", "bytes", &error), WriteResult::ok);
  EXPECT_EQ(error, 0);

  EXPECT_EQ(WriteFileReplacing(folder / "missing/x.txt", "x", &error), WriteResult::cannotOpen);
  EXPECT_EQ(error, ENOENT);
  std::filesystem::create_directory(folder / "dir");
  EXPECT_EQ(WriteFileReplacing(folder / "dir", "x", &error), WriteResult::cannotOpen);
  EXPECT_EQ(error, EISDIR);
  {
    // The clean-up after the failed write (close, unlink) must not replace
    // the error that the write saw.
    const std::string big(4096, 'x');
    FileSizeLimit limit(100);
    errno = 0;
    EXPECT_EQ(WriteFileReplacing(folder / "ok.txt", big, &error), WriteResult::writeFailed);
  }
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(ReadFileBytes(folder / "ok.txt"), "bytes");  // the old file stays whole
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 2u);  // ok.txt and dir: no temporary file left behind
}

TEST(FileWrite, ALinkTheUserKeepsToHisProjectFileStaysALink) {
  TempFolder folder("write");
  const std::string file = folder / "projekt.obx", link = folder / "verkn\xC3\xBCpft.obx";
  ASSERT_EQ(WriteFileReplacing(file, "old"), WriteResult::ok);
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  EXPECT_EQ(WriteFileReplacing(link, "new", nullptr, ReplacingFile::Links::follow),
            WriteResult::ok);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(file), "new");
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Someone who may write in an output folder plants links and pipes under
// the names of outputs: nothing is ever written through them.
TEST(FileWrite, AnOutputReplacesALinkAtItsNameAndRefusesAPipe) {
  TempFolder folder("write");
  const std::string victim = folder / "victim.txt", output = folder / "v1.ipl";
  ASSERT_EQ(WriteFileReplacing(victim, "precious"), WriteResult::ok);
  ASSERT_EQ(symlink(victim.c_str(), output.c_str()), 0);
  EXPECT_EQ(WriteFileReplacing(output, "playlist"), WriteResult::ok);
  EXPECT_FALSE(std::filesystem::is_symlink(output));
  EXPECT_EQ(ReadFileBytes(output), "playlist");
  EXPECT_EQ(ReadFileBytes(victim), "precious");

  const std::string pipe = folder / "pipe.html";  // nobody reads it: a write would block
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  int error = 0;
  EXPECT_EQ(WriteFileReplacing(pipe, "page", &error), WriteResult::cannotOpen);
  EXPECT_EQ(error, EEXIST);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

}  // namespace
}  // namespace ombrelo
