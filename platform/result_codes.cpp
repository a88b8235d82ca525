#include "platform/result_codes.h"

#include <cstdio>

namespace ombrelo {
namespace {

struct CodeText {
  HResult code;
  const char* text;
};

// The failure codes the engine and its pipeline report, with their texts.
constexpr CodeText kTexts[] = {
    {E_FAIL, "Unspecified error."},
    {E_ABORT, "Operation aborted."},
    {E_POINTER, "Invalid pointer."},
    {E_NOINTERFACE, "No such interface supported."},
    {E_NOTIMPL, "Not implemented."},
    {E_OUTOFMEMORY, "Not enough memory is available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {E_UNEXPECTED, "Catastrophic failure."},
    {E_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {E_ACCESSDENIED, "Access is denied."},
    {VFW_E_CANNOT_CONNECT, "The file has no video stream that can be decoded."},
    {VFW_E_NOT_FOUND, "An object or name was not found."},
    {VFW_E_UNKNOWN_FILE_TYPE, "The media type of this file is not recognized."},
    {VFW_E_UNSUPPORTED_STREAM, "Cannot play back the file. The format is not supported."},
    {VFW_E_NOT_CONNECTED,
     "The operation cannot be performed because no video stream has been connected."},
    {VFW_E_WRONG_STATE,
     "The operation could not be performed because the video is in the wrong state."},
    {VFW_E_TIMEOUT, "A time-out has expired."},
    {VFW_E_INVALID_FILE_FORMAT, "The file format is invalid."},
};

}  // namespace

std::string ErrorText(HResult hr) {
  if (Succeeded(hr)) return "";
  std::string text;
  for (const CodeText& entry : kTexts) {
    if (entry.code == hr) text = entry.text;
  }
  if (text.empty()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Unknown Error: 0x%2x", static_cast<unsigned>(hr));
    text = buffer;
  }
  if (text.size() > 159) text.resize(159);
  return text;
}

}  // namespace ombrelo
