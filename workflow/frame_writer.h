#pragma once
// The frame writer: a worker of its own that writes the capture's thumbnails
// (and runs the other file work the workflow hands it, such as the page
// transforms) so that neither the capture thread nor the owner's thread
// waits for a disk.
//
// Jobs run one at a time, in the order they were given: thumbnails are saved
// in the order the frames came, and work given after a frame runs after it
// was written. Each frame's result goes to the `done` action, called on the
// writer's thread.
//
// Frames come from the capture thread, which waits in Write while
// kMaxFramesWaiting frames wait to be written (the writer is behind), and
// only then. Once a frame of a capture could not be written, the capture's
// later frames are dropped unwritten: a movie takes no thumbnail after one
// that failed.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/capture_settings.h"
#include "imaging/bitmap_header.h"
#include "platform/worker.h"
#include "workflow/frame_output.h"

namespace ombrelo {

class FrameWriter {
 public:
  static constexpr int kMaxFramesWaiting = 2;

  struct Job {
    int32_t movieId = -1;
    int64_t capture = 0;  // which capture of the movie the frame belongs to
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

  // Writes the frame to job.path (WriteThumbnail), then calls done. Waits
  // while kMaxFramesWaiting frames wait.
  void Write(Job job);
  // Runs any other work after the jobs given before it; never waits.
  void Run(std::function<void()> work);

 private:
  void WriteNow(Job& job);

  Done done_;
  // Writer's thread only: the capture whose frame failed last.
  int64_t failedCapture_ = -1;
  Worker worker_{"frame writer", Worker::AtEnd::dropQueued};  // last: it uses the rest
};

}  // namespace ombrelo
