#pragma once
// Frame-numbered test videos made once per test program and shared by its
// tests. Header-only: only the test programs that link the test-video
// library include it.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <set>
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
  std::string Make(testvideo::VideoOptions options, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string path = folder_ / name;
    if (made_.count(path)) return path;
    options.path = path;
    std::string error;
    if (!testvideo::Generate(options, &error)) {
      ADD_FAILURE() << "cannot make " << name << ": " << error;
      return "";
    }
    made_.insert(path);
    return path;
  }
  // The cache's folder, ending with "/".
  const std::string& Folder() const { return folder_.Path(); }

 private:
  TempFolder folder_;
  std::mutex mutex_;
  std::set<std::string> made_;
};

}  // namespace ombrelo::testing
