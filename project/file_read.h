#pragma once
// Reading files whose names come from outside: project files, templates and
// the pages, style sheets, pictures and documents they name. Only a regular
// file is read, and only up to a size limit: a device such as /dev/zero
// would never end, and a FIFO without a writer would block for ever.
#include <cstdint>
#include <string>

namespace ombrelo {

enum class FileRead {
  ok,
  cannotOpen,  // missing, a folder, or not readable by this user
  refused,     // not a regular file, or larger than the limit
  readFailed,  // an error while reading
};

// Reads the whole file into bytes when it is a regular file of at most
// maxBytes. Otherwise why (when given) says what was wrong, in a few words:
// the system's text for the error, "not a regular file" or "larger than
// 16 MB". The file is opened without waiting, so a FIFO is refused at once.
FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* bytes,
                         std::string* why = nullptr);

// The same checks without reading, for a file that a library opens by its
// name afterwards.
FileRead CheckRegularFile(const std::string& path, uint64_t maxBytes, std::string* why = nullptr);

// "larger than N MB" (N rounded down), the text for a file above maxBytes.
std::string TooLargeText(uint64_t maxBytes);

}  // namespace ombrelo
