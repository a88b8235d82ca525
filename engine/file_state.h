#pragma once
// A video's file as it is on the disk at one moment. The capture looks at it
// on its own thread (before and after the open, and at the end of the
// capture), so that a share that does not answer holds up only the capture,
// never the window; the looks come back with the engine's answers.
#include <cstdint>
#include <string>

namespace ombrelo {

struct FileState {
  int error = 0;  // errno of the failed look, 0 when it was read
  uintmax_t bytes = 0;
  int64_t modifiedNs = 0;  // modification time, nanoseconds since 1970
  bool operator==(const FileState&) const = default;
};

// The file at path as it is now.
FileState LookAtFile(const std::string& path);

// Seconds since a change within which a file may still be being written: an
// encoder writing a low-rate stream flushes its buffer only every few
// seconds, so a file it is writing may look unchanged for a while.
inline constexpr int64_t kRecentlyChangedSeconds = 60;

// The file was looked at and had been changed within kRecentlyChangedSeconds
// of now (a clock a second behind the file's is forgiven).
bool ChangedMomentsAgo(const FileState& file);

}  // namespace ombrelo
