#pragma once
// Result codes of the media framework that the engine reports, kept with
// their well-known values so that texts and logs stay comparable.
#include <cstdint>
#include <string>

namespace ombrelo {

using HResult = int32_t;

constexpr HResult S_OK = 0;
constexpr HResult S_FALSE = 1;
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult E_ABORT = static_cast<HResult>(0x80004004u);
constexpr HResult E_POINTER = static_cast<HResult>(0x80004003u);
constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult E_ACCESSDENIED = static_cast<HResult>(0x80070005u);
constexpr HResult E_FILE_NOT_FOUND = static_cast<HResult>(0x80070002u);
constexpr HResult E_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult E_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult E_UNEXPECTED = static_cast<HResult>(0x8000FFFFu);
constexpr HResult VFW_E_CANNOT_CONNECT = static_cast<HResult>(0x80040217u);
constexpr HResult VFW_E_NOT_FOUND = static_cast<HResult>(0x80040216u);
constexpr HResult VFW_E_UNKNOWN_FILE_TYPE = static_cast<HResult>(0x80040240u);
constexpr HResult VFW_E_UNSUPPORTED_STREAM = static_cast<HResult>(0x80040265u);
constexpr HResult VFW_E_NOT_CONNECTED = static_cast<HResult>(0x80040209u);
constexpr HResult VFW_E_WRONG_STATE = static_cast<HResult>(0x80040227u);
constexpr HResult VFW_E_TIMEOUT = static_cast<HResult>(0x8004022Eu);
constexpr HResult VFW_E_INVALID_FILE_FORMAT = static_cast<HResult>(0x8004022Fu);

inline bool Succeeded(HResult hr) { return hr >= 0; }
inline bool Failed(HResult hr) { return hr < 0; }

// The text of a result code in the manner of the media framework's own
// error texts ("The media type of this file is not recognized." and so on),
// saying what the code means here: empty for success codes, "Unknown
// Error: 0x.." for failure codes without a text; at most 159 characters.
// Every code's text is in one table, in result_codes.cpp.
std::string ErrorText(HResult hr);

}  // namespace ombrelo
