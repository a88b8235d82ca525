#include "platform/result_codes.h"

namespace ombrelo {

std::string ErrorText(MediaError error) {
  switch (error) {
    case MediaError::none:
      return "";
    case MediaError::failed:
      return "Unspecified error.";
    case MediaError::aborted:
      return "Operation aborted.";
    case MediaError::badArgument:
      return "Invalid pointer.";
    case MediaError::outOfMemory:
      return "Not enough memory is available to complete this operation.";
    case MediaError::invalidArgument:
      return "The parameter is incorrect.";
    case MediaError::fileNotFound:
      return "The system cannot find the file specified.";
    case MediaError::accessDenied:
      return "Access is denied.";
    case MediaError::noDecoder:
      return "The file has no video stream that can be decoded.";
    case MediaError::unknownFileType:
      return "The media type of this file is not recognized.";
    case MediaError::unsupportedStream:
      return "Cannot play back the file. The format is not supported.";
    case MediaError::notConnected:
      return "The operation cannot be performed because no video stream has been connected.";
    case MediaError::wrongState:
      return "The operation could not be performed because the video is in the wrong state.";
    case MediaError::invalidFileFormat:
      return "The file format is invalid.";
  }
  return "Unspecified error.";
}

}  // namespace ombrelo
