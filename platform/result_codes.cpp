#include "platform/result_codes.h"

#include <cstdio>

namespace ombrelo {

std::string ResultText(HResult hr) {
  switch (hr) {
    case S_OK:
      return "No error.";
    case S_FALSE:
      return "The operation completed with a false result.";
    case E_FAIL:
      return "Unspecified error.";
    case E_ABORT:
      return "Operation aborted.";
    case E_POINTER:
      return "Invalid pointer.";
    case E_NOTIMPL:
      return "Not implemented.";
    case E_OUTOFMEMORY:
      return "Not enough memory is available to complete this operation.";
    case E_INVALIDARG:
      return "The parameter is incorrect.";
    case E_UNEXPECTED:
      return "Catastrophic failure.";
    case VFW_E_CANNOT_CONNECT:
      return "No combination of intermediate filters could be found to make the connection.";
    case VFW_E_NOT_FOUND:
      return "An object or name was not found.";
    case VFW_E_UNKNOWN_FILE_TYPE:
      return "The media type of this file is not recognized.";
    case VFW_E_UNSUPPORTED_STREAM:
      return "Cannot play back the file. The format is not supported.";
    case VFW_E_NOT_CONNECTED:
      return "The operation cannot be performed because the pins are not connected.";
    case VFW_E_WRONG_STATE:
      return "The operation could not be performed because the filter is in the wrong state.";
    case VFW_E_TIMEOUT:
      return "A time-out has expired.";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "Unknown error 0x%08X.", static_cast<unsigned>(hr));
      return text;
    }
  }
}

}  // namespace ombrelo
