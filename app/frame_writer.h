#pragma once
// The frame writer: a thread of its own that writes the capture's thumbnails
// (and runs the other file work the workflow hands it, such as the page
// transforms) so that the owner's thread stays free for its event loop.
//
// Jobs run one at a time, in the order they were given: thumbnails are saved
// in the order the frames came, and outputs are made in the order they were
// asked for. Each frame's result goes to the `done` action, called on the
// writer's thread; the owner posts it to its own thread from there, records
// the thumbnail and only then lets the engine send the next frame, so one
// frame is in flight and a failed write stops the capture before the next
// frame.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/frame_output.h"
#include "engine/capture_settings.h"
#include "imaging/bitmap_header.h"

namespace ombrelo {

class FrameWriter {
 public:
  struct Job {
    int32_t movieId = -1;
    FrameCopy frame;
    BitmapInfoHeader videoFormat;  // the movie's, as the engine delivered it
    CaptureSettings settings;
    std::string path;
  };
  struct Result {
    Job job;  // the frame's pixels are released once written
    bool written = false;
    std::string reason;  // why it was not written (the system's reason)
  };
  using Done = std::function<void(Result)>;

  explicit FrameWriter(Done done);
  // Lets the job in hand finish; jobs not yet begun are dropped.
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Writes the frame to job.path (WriteThumbnail), then calls done.
  void Write(Job job);
  // Runs any other work after the jobs given before it.
  void Run(std::function<void()> work);

 private:
  void Loop();

  Done done_;
  std::mutex mutex_;  // guards the two fields below
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool quit_ = false;
  std::thread thread_;  // "frame writer"; last, so it starts when all is set
};

}  // namespace ombrelo
