#include "platform/result_codes.h"

#include "platform/translate.h"

namespace ombrelo {

std::string ErrorText(MediaError error) {
  switch (error) {
    case MediaError::none:
      return "";
    case MediaError::failed:
      return Translate("MediaError", "Unspecified error.");
    case MediaError::aborted:
      return Translate("MediaError", "Operation aborted.");
    case MediaError::badArgument:
      return Translate("MediaError", "Invalid pointer.");
    case MediaError::outOfMemory:
      return Translate("MediaError", "Not enough memory is available to complete this operation.");
    case MediaError::invalidArgument:
      return Translate("MediaError", "The parameter is incorrect.");
    case MediaError::fileNotFound:
      return Translate("MediaError", "The system cannot find the file specified.");
    case MediaError::accessDenied:
      return Translate("MediaError", "Access is denied.");
    case MediaError::noDecoder:
      return Translate("MediaError", "The file has no video stream that can be decoded.");
    case MediaError::unknownFileType:
      return Translate("MediaError", "The media type of this file is not recognized.");
    case MediaError::unsupportedStream:
      return Translate("MediaError", "Cannot play back the file. The format is not supported.");
    case MediaError::notConnected:
      return Translate(
          "MediaError",
          "The operation cannot be performed because no video stream has been connected.");
    case MediaError::wrongState:
      return Translate(
          "MediaError",
          "The operation could not be performed because the video is in the wrong state.");
    case MediaError::invalidFileFormat:
      return Translate("MediaError", "The file format is invalid.");
  }
  return Translate("MediaError", "Unspecified error.");
}

}  // namespace ombrelo
