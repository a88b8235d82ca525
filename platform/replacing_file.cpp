#include "platform/replacing_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

namespace ombrelo {
namespace {

// The file a link at path points to; path itself when it is no link.
std::string LinkTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string target(real);
  std::free(real);
  return target;
}

int OpenFolder(const std::string& folder) {
  const char* name = folder.empty() ? "." : folder.c_str();
  const int fd = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  // A folder that may be entered and written but not listed.
  return ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

constexpr char kTemporaryEnd[] = ".part";

}  // namespace

ReplacingFile::~ReplacingFile() { Abandon(); }

void ReplacingFile::CloseFolder() {
  if (folder_ >= 0) ::close(folder_);
  folder_ = -1;
  open_ = false;
}

int ReplacingFile::Open(const std::string& path, const Options& options, int* error) {
  Abandon();
  path_ = options.links == Links::follow ? LinkTarget(path) : path;
  name_ = paths::FileName(path_);
  temporary_.clear();
  syncFolder_ = options.syncFolder;
  if (name_.empty() || name_ == "." || name_ == "..") {
    *error = EISDIR;
    return -1;
  }
  folder_ = OpenFolder(paths::FolderOf(path_));
  if (folder_ < 0) {
    *error = errno;
    return -1;
  }

  // What is at the name now; a link there is looked at, not followed.
  struct stat existing {};
  const bool exists = ::fstatat(folder_, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  const bool regular = exists && S_ISREG(existing.st_mode);
  if (exists && !regular && !S_ISLNK(existing.st_mode)) {
    // A folder, device, pipe or socket is never replaced nor written to.
    *error = S_ISDIR(existing.st_mode) ? EISDIR : EEXIST;
    CloseFolder();
    return -1;
  }
  if (regular && ::faccessat(folder_, name_.c_str(), W_OK, 0) != 0) {
    *error = errno;
    CloseFolder();
    return -1;
  }

  static std::atomic<unsigned> counter{0};
  bool shortName = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = "." + (shortName ? std::string("ombrelo") : name_) + "." +
                                  std::to_string(::getpid()) + "-" +
                                  std::to_string(counter.fetch_add(1)) + kTemporaryEnd;
    const int fd = ::openat(folder_, candidate.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // The file replaced keeps its permissions; a link's are no file's.
      if (regular) (void)::fchmod(fd, existing.st_mode & 07777);
      temporary_ = candidate;
      open_ = true;
      return fd;
    }
    const int why = errno;
    if (why == EEXIST) continue;
    if (why == ENAMETOOLONG && !shortName) {
      shortName = true;  // a name near the limit leaves no room for more
      continue;
    }
    if ((why == EACCES || why == EPERM) && regular && options.inPlaceWhenFolderLocked) {
      // Only the regular file itself, opened without following a link
      // that took its place meanwhile.
      const int in =
          ::openat(folder_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      struct stat opened {};
      if (in >= 0 && ::fstat(in, &opened) == 0 && S_ISREG(opened.st_mode) &&
          ::ftruncate(in, 0) == 0 && ::fcntl(in, F_SETFL, 0) == 0) {
        open_ = true;
        return in;
      }
      *error = in >= 0 ? EEXIST : errno;
      if (in >= 0) ::close(in);
      CloseFolder();
      return -1;
    }
    *error = why;
    CloseFolder();
    return -1;
  }
  *error = EEXIST;
  CloseFolder();
  return -1;
}

bool ReplacingFile::Commit(int* error) {
  if (!open_) {
    *error = EBADF;
    return false;
  }
  if (!temporary_.empty() && ::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
    *error = errno;
    Abandon();
    return false;
  }
  if (syncFolder_) (void)::fsync(folder_);
  temporary_.clear();
  CloseFolder();
  return true;
}

bool ReplacingFile::IsLeftOver(const std::string& fileName) {
  // ".<name>.<process>-<count>.part"
  const size_t endLength = sizeof kTemporaryEnd - 1;
  if (fileName.size() <= endLength + 1 || fileName[0] != '.' ||
      fileName.compare(fileName.size() - endLength, endLength, kTemporaryEnd) != 0)
    return false;
  const std::string stem = fileName.substr(0, fileName.size() - endLength);
  const size_t dot = stem.rfind('.');
  const size_t dash = stem.rfind('-');
  if (dot == 0 || dash == std::string::npos || dash < dot + 2 || dash + 1 == stem.size())
    return false;
  const std::string process = stem.substr(dot + 1, dash - dot - 1);
  const std::string count = stem.substr(dash + 1);
  if (count.size() > 9 || count.find_first_not_of("0123456789") != std::string::npos) return false;
  return IsEndedProcess(process);
}

bool ReplacingFile::IsEndedProcess(const std::string& digits) {
  if (digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const pid_t pid = static_cast<pid_t>(std::stol(digits));
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

void ReplacingFile::Abandon() {
  if (open_) {
    // A file written in place is gone as a whole rather than left half.
    ::unlinkat(folder_, temporary_.empty() ? name_.c_str() : temporary_.c_str(), 0);
  }
  temporary_.clear();
  CloseFolder();
}

}  // namespace ombrelo
