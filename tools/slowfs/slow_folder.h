#pragma once
// A folder whose files answer slowly, as files on a slow network share do:
// a read-only FUSE file system served by the ombrelo-slowfs helper process
// (see tools/slowfs/main.cpp). The files are regular files, so every
// program of ours opens them as it opens any local video; only their reads
// wait.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace ombrelo::slowfs {

class SlowFolder {
 public:
  // Mounts the folder at mountPoint (an existing empty folder) showing each
  // source file under its own name. Every opening of a shown file answers
  // its reads only once delay has passed since it was opened. Null with the
  // reason in *error when it cannot be mounted: a source that is no regular
  // file, a build without FUSE, or mounting refused (as in many
  // containers). The helper ends with the thread that called Mount.
  static std::unique_ptr<SlowFolder> Mount(const std::string& mountPoint,
                                           const std::vector<std::string>& sources,
                                           std::chrono::milliseconds delay, std::string* error);
  // Unmounts the folder; files still open in it can no longer be read.
  ~SlowFolder();
  SlowFolder(const SlowFolder&) = delete;
  SlowFolder& operator=(const SlowFolder&) = delete;

  // Where a source file is shown.
  std::string PathOf(const std::string& source) const;

 private:
  SlowFolder(std::string mountPoint, pid_t helper)
      : mountPoint_(std::move(mountPoint)), helper_(helper) {}

  std::string mountPoint_;
  pid_t helper_;
};

}  // namespace ombrelo::slowfs
