#include "project/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/translate.h"

namespace ombrelo {
namespace {

// Owns a file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens without waiting and looks at what was opened: the descriptor and
// the size, or -1 with the outcome and why.
int OpenRegular(const std::string& path, uint64_t maxBytes, uint64_t* size, FileRead* outcome,
                std::string* why) {
  // A device is not even opened (opening some has effects of its own); the
  // descriptor is looked at again, since the name may change in between.
  struct stat named {};
  if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode) && !S_ISDIR(named.st_mode)) {
    *outcome = FileRead::refused;
    *why = Translate("FileRead", "not a regular file");
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *outcome = FileRead::cannotOpen;
    *why = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  *outcome = FileRead::refused;
  if (statted && S_ISDIR(st.st_mode)) {
    // A folder opens here but cannot be read; elsewhere it cannot be opened.
    *outcome = FileRead::cannotOpen;
    *why = std::strerror(EISDIR);
  } else if (!statted || !S_ISREG(st.st_mode)) {
    *why = Translate("FileRead", "not a regular file");
  } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    *why = TooLargeText(maxBytes);
  } else {
    *outcome = FileRead::ok;
    *size = static_cast<uint64_t>(st.st_size);
    return fd;
  }
  ::close(fd);
  return -1;
}

}  // namespace

std::string TooLargeText(uint64_t maxBytes) {
  return FillIn(Translate("FileRead", "larger than %1 MB"), {std::to_string(maxBytes >> 20)});
}

FileRead CheckRegularFile(const std::string& path, uint64_t maxBytes, std::string* why) {
  uint64_t size = 0;
  FileRead outcome;
  std::string reason;
  const Descriptor fd(OpenRegular(path, maxBytes, &size, &outcome, &reason));
  if (why) *why = reason;
  return outcome;
}

FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* bytes,
                         std::string* why) {
  uint64_t size = 0;
  FileRead outcome;
  std::string reason;
  const Descriptor fd(OpenRegular(path, maxBytes, &size, &outcome, &reason));
  if (why) *why = reason;
  if (fd.get() < 0) return outcome;
  // The file may grow while it is read: never more than the limit.
  std::string data;
  data.reserve(static_cast<size_t>(size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      if (why) *why = std::strerror(errno);
      return FileRead::readFailed;
    }
    if (data.size() + static_cast<uint64_t>(n) > maxBytes) {
      if (why) *why = TooLargeText(maxBytes);
      return FileRead::refused;
    }
    data.append(buffer, static_cast<size_t>(n));
  }
  *bytes = std::move(data);
  return FileRead::ok;
}

}  // namespace ombrelo
