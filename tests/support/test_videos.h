#pragma once
// Frame-numbered test videos made once per test program and shared by its
// tests. Header-only: only the test programs that link the test-video
// library include it.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <map>
#include <sstream>
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
  // A name asked for again with other options gets a video of its own, so
  // tests sharing one process never receive each other's videos.
  std::string Make(testvideo::VideoOptions options, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string signature = Signature(options);
    std::string fileName = name;
    for (int variant = 1;; ++variant) {
      const auto found = made_.find(fileName);
      if (found == made_.end()) break;
      if (found->second == signature) return folder_ / fileName;
      fileName = std::to_string(variant) + "-" + name;
    }
    const std::string path = folder_ / fileName;
    options.path = path;
    std::string error;
    if (!testvideo::Generate(options, &error)) {
      ADD_FAILURE() << "cannot make " << name << ": " << error;
      return "";
    }
    made_.emplace(fileName, signature);
    return path;
  }
  // The cache's folder, ending with "/".
  const std::string& Folder() const { return folder_.Path(); }

 private:
  static std::string Signature(const testvideo::VideoOptions& o) {
    std::ostringstream text;
    text << o.container << '|' << o.codec << '|' << o.fourcc << '|' << o.width << 'x' << o.height
         << '|' << o.fpsNum << '/' << o.fpsDen << '|' << o.frameCount << '|'
         << o.keyframeInterval << '|' << o.maxBFrames << '|' << o.audioSeconds << '|'
         << o.sampleAspectNum << ':' << o.sampleAspectDen << '|' << o.rotationDegrees << '|'
         << o.colorMatrix << '|' << o.fullRange << '|' << o.bitRate << '|' << o.audioCodec;
    return text.str();
  }

  TempFolder folder_;
  std::mutex mutex_;
  std::map<std::string, std::string> made_;  // file name -> options it was made with
};

}  // namespace ombrelo::testing
