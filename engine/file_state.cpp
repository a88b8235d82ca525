#include "engine/file_state.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

namespace ombrelo {

FileState LookAtFile(const std::string& path) {
  FileState state;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    state.error = errno;
    return state;
  }
  state.bytes = static_cast<uintmax_t>(info.st_size);
  state.modifiedNs =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  return state;
}

bool ChangedMomentsAgo(const FileState& file) {
  if (file.error != 0) return false;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int64_t age = static_cast<int64_t>(now.tv_sec) - file.modifiedNs / 1'000'000'000;
  return age >= -1 && age <= kRecentlyChangedSeconds;
}

}  // namespace ombrelo
