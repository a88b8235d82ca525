#pragma once
// Frame-numbered test videos made once per test program and shared by its
// tests. Header-only: only the test programs that link the test-video
// library include it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "support/debug_capture.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo::testing {

// A small video: 160x120, 25 frames per second, a key frame every 50 frames.
inline testvideo::VideoOptions SmallVideo(int64_t frames = 250) {
  testvideo::VideoOptions o;
  o.width = 160;
  o.height = 120;
  o.frameCount = frames;
  o.keyframeInterval = 50;
  return o;
}

class VideoCache {
 public:
  explicit VideoCache(const std::string& hint) : folder_(hint) {}
  VideoCache(const VideoCache&) = delete;
  VideoCache& operator=(const VideoCache&) = delete;

  // The path of a video with these options (their path left out) in the
  // cache's folder, made on first use; "" and a test failure when it cannot
  // be made.
  // A name asked for again with other options (any of them: they are
  // compared whole) gets a video of its own, so tests sharing one process
  // never receive each other's videos. A video that a test's clean-up
  // removed (the folder may lie in that test's TMPDIR) is made again.
  std::string Make(testvideo::VideoOptions options, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    options.path.clear();
    std::string fileName = name;
    bool known = false;
    for (int variant = 1;; ++variant) {
      const auto found = made_.find(fileName);
      if (found == made_.end()) break;
      if (found->second == options) {
        if (FileExists(folder_ / fileName)) return folder_ / fileName;
        known = true;
        break;
      }
      fileName = std::to_string(variant) + "-" + name;
    }
    const testvideo::VideoOptions asked = options;
    const std::string path = folder_ / fileName;
    options.path = path;
    std::error_code ec;
    std::filesystem::create_directories(folder_.Path(), ec);
    std::string error;
    if (!testvideo::Generate(options, &error)) {
      ADD_FAILURE() << "cannot make " << name << ": " << error;
      return "";
    }
    if (!known) made_.emplace(fileName, asked);
    return path;
  }
  // The cache's folder, ending with "/".
  const std::string& Folder() const { return folder_.Path(); }

 private:
  TempFolder folder_;
  std::mutex mutex_;
  std::map<std::string, testvideo::VideoOptions> made_;  // file name -> its options, no path
};

}  // namespace ombrelo::testing
