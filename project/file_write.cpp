#include "project/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace ombrelo {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

WriteResult WriteFileReplacing(const std::string& path, const std::string& bytes) {
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && (S_ISDIR(existing.st_mode) || ::access(path.c_str(), W_OK) != 0)) {
    return WriteResult::cannotOpen;
  }

  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return WriteResult::cannotOpen;
  }
  if (fd < 0) return WriteResult::cannotOpen;
  // Keep the permissions of the file being replaced.
  if (exists) (void)::fchmod(fd, existing.st_mode & 07777);

  bool ok = WriteAll(fd, bytes);
  ok = (::fsync(fd) == 0) && ok;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return WriteResult::writeFailed;
  }
  return WriteResult::ok;
}

}  // namespace ombrelo
