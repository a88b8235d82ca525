#pragma once
// Why opening or reading a video failed: the engine's own error type, with
// the sentence the user is shown for each.
#include <string>

namespace ombrelo {

enum class MediaError {
  none = 0,
  failed,       // no more is known
  aborted,      // given up: the capture was stopped or closed
  badArgument,  // a null or unusable argument
  outOfMemory,
  invalidArgument,  // the settings ask for what this video cannot give
  fileNotFound,
  accessDenied,
  noDecoder,          // no video stream that can be decoded
  unknownFileType,    // not a video at all
  unsupportedStream,  // a format that is not read (playlists and the like)
  notConnected,       // no video stream has been connected yet
  wrongState,         // already open
  invalidFileFormat,  // damaged or cut short
};

inline bool Failed(MediaError error) { return error != MediaError::none; }

// The sentence for an error ("The media type of this file is not
// recognized." and so on); empty for none.
std::string ErrorText(MediaError error);

}  // namespace ombrelo
