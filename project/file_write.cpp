#include "project/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ombrelo {
namespace {

// 0 when every byte was written, else the error number of the failed write.
int WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// The error number of a call that returned status; 0 when it succeeded.
int ErrorOf(int status) { return status == 0 ? 0 : errno; }

// The file a path names: a symbolic link is followed, so that the file it
// points to is replaced and the link stays a link.
std::string Target(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string target(real);
  std::free(real);
  return target;
}

// Makes the rename itself durable: the folder's entry is flushed too.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

WriteResult Replace(const std::string& named, const std::string& bytes, Durability durability,
                    int& error) {
  const std::string path = Target(named);
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    error = EISDIR;
    return WriteResult::cannotOpen;
  }
  if (exists && (error = ErrorOf(::access(path.c_str(), W_OK))) != 0) {
    return WriteResult::cannotOpen;
  }

  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = errno;
      if (error != EEXIST) return WriteResult::cannotOpen;
    }
  }
  if (fd < 0) return WriteResult::cannotOpen;
  // Keep the permissions of the file being replaced.
  if (exists) (void)::fchmod(fd, existing.st_mode & 07777);

  // The first failure is the one reported.
  error = WriteAll(fd, bytes);
  if (durability == Durability::flushed) {
    const int syncError = ErrorOf(::fsync(fd));
    if (error == 0) error = syncError;
  }
  const int closeError = ErrorOf(::close(fd));
  if (error == 0) error = closeError;
  if (error == 0) error = ErrorOf(std::rename(temporary.c_str(), path.c_str()));
  if (error != 0) {
    ::unlink(temporary.c_str());
    return WriteResult::writeFailed;
  }
  if (durability == Durability::flushed) SyncFolderOf(path);
  return WriteResult::ok;
}

}  // namespace

WriteResult WriteFileReplacing(const std::string& path, const std::string& bytes, int* systemError,
                               Durability durability) {
  int error = 0;
  const WriteResult result = Replace(path, bytes, durability, error);
  if (systemError) *systemError = result == WriteResult::ok ? 0 : error;
  return result;
}

}  // namespace ombrelo
