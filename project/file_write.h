#pragma once
// Replacing a file as a whole: the bytes go to a temporary file in the same
// folder, which then takes the file's place by a rename. A crash or a full
// disk therefore never leaves half a file behind; the old file stays until
// the new one is complete.
#include <string>

#include "platform/replacing_file.h"

namespace ombrelo {

enum class WriteResult {
  ok,
  cannotOpen,   // the folder is missing or not writable, the file is read-only,
                // or something that is no file (a folder, device, pipe) is there
  writeFailed,  // writing, flushing or renaming failed (e.g. a full disk)
};

// How far a write goes before it counts as done.
enum class Durability {
  flushed,  // on the disk, the folder's entry included: it survives a power cut
  cache,    // with the system: readers see the old file or the new one whole,
            // but a power cut may lose it (a file that can be made again)
};

// Writes the bytes to path, replacing an existing file. An existing file that
// is not writable is not replaced (cannotOpen). A replaced file keeps its
// permissions, a new one gets the usual ones (0666 less the umask). A path
// that is a symbolic link is replaced by the new file and the link's target
// is left alone -- what every generated output needs, as its folder may be
// one others can plant links in. Only a file the user named himself (a
// project file) passes ReplacingFile::Links::follow, which replaces the file
// the link points to and keeps the link. The data and the folder's new entry
// are flushed to the disk before success is reported, unless `durability`
// says cache. When systemError is
// given it receives the error number (errno) of the call that failed, taken
// at once, before the clean-up calls that follow may change errno; 0 on
// success.
WriteResult WriteFileReplacing(const std::string& path, const std::string& bytes,
                               int* systemError = nullptr,
                               ReplacingFile::Links links = ReplacingFile::Links::replace,
                               Durability durability = Durability::flushed);

}  // namespace ombrelo
