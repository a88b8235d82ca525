#pragma once
// A file that takes the place of a name only once it is complete. The bytes
// go to a hidden temporary file made beside the name, which is renamed over
// the name at the end; until then whatever was there stays as it was.
//
// Nothing at the name is ever written through: a symbolic link there is
// replaced by the new file (the link's target is not touched), and a device,
// pipe, socket or folder there is refused. Output folders may be shared with
// other users, who can plant a link under a name the program is about to
// write.
#include <string>

namespace ombrelo {

class ReplacingFile {
 public:
  enum class Links {
    replace,  // a link at the name is replaced by the file
    follow,   // the file the link points to is replaced; the link stays
  };
  struct Options {
    Links links = Links::replace;
    // When the folder does not allow a new file but the regular file at the
    // name may be written, it is written in place (no longer atomic).
    bool inPlaceWhenFolderLocked = false;
    // The folder's new entry is flushed to the disk at Commit.
    bool syncFolder = false;
  };

  ReplacingFile() = default;
  ~ReplacingFile();  // an uncommitted temporary file is removed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file (0666 less the umask, or the permissions of
  // the regular file it replaces) and returns its descriptor, which the
  // caller writes and closes before Commit; -1 with *error set (errno) when
  // it cannot be made or the name is taken by something that is no file.
  // An existing file that is not writable is refused (EACCES).
  int Open(const std::string& path, const Options& options, int* error);
  // Puts the written file in place of the name; false with *error set.
  // The temporary file is removed after a failure.
  bool Commit(int* error);
  // Removes the temporary file (or the file written in place).
  void Abandon();

  // Whether fileName is that of a temporary file made here by a process
  // that has ended without finishing it (it was killed): nothing will ever
  // complete or remove it.
  static bool IsLeftOver(const std::string& fileName);
  // Whether the process numbered by digits (a file name's part) is another
  // one that no longer runs.
  static bool IsEndedProcess(const std::string& digits);

  // The path the bytes end up under: the name, or a link's target.
  const std::string& Path() const { return path_; }

 private:
  void CloseFolder();

  std::string path_;
  std::string name_;       // within the folder
  std::string temporary_;  // within the folder; "" when written in place
  int folder_ = -1;
  bool open_ = false;
  bool syncFolder_ = false;
};

}  // namespace ombrelo
