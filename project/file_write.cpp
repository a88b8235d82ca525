#include "project/file_write.h"

#include <unistd.h>

#include <cerrno>

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

WriteResult Replace(const std::string& path, const std::string& bytes, ReplacingFile::Links links,
                    Durability durability, int& error) {
  const bool flushed = durability == Durability::flushed;
  ReplacingFile file;
  ReplacingFile::Options options;
  options.links = links;
  options.syncFolder = flushed;
  const int fd = file.Open(path, options, &error);
  if (fd < 0) return WriteResult::cannotOpen;

  // The first failure is the one reported.
  error = WriteAll(fd, bytes);
  const int syncError = flushed ? ErrorOf(::fsync(fd)) : 0;
  if (error == 0) error = syncError;
  const int closeError = ErrorOf(::close(fd));
  if (error == 0) error = closeError;
  if (error != 0) return WriteResult::writeFailed;  // the temporary file goes with `file`
  return file.Commit(&error) ? WriteResult::ok : WriteResult::writeFailed;
}

}  // namespace

WriteResult WriteFileReplacing(const std::string& path, const std::string& bytes, int* systemError,
                               ReplacingFile::Links links, Durability durability) {
  int error = 0;
  const WriteResult result = Replace(path, bytes, links, durability, error);
  if (systemError) *systemError = result == WriteResult::ok ? 0 : error;
  return result;
}

}  // namespace ombrelo
