#pragma once
// One window at a time edits a project file. The window that opens or saves
// a project holds a lock file beside it (".<name>.lock"); a second window
// that opens the same file learns which process holds it and may open it
// read-only or bring that window to the front. A lock left by a process that
// ended without removing it (killed, crashed) is taken over.
//
// The guard also remembers the file as it was on disk when it was read or
// written, so that a save can tell when another program replaced it since.
#include <QString>
#include <memory>
#include <optional>
#include <string>

class QLocalServer;
class QLockFile;
class QObject;
class QWidget;

namespace ombrelo::desktop {

// The lock file of a project file: a hidden file beside it.
QString ProjectLockPath(const std::string& projectPath);

// What a project file was like on disk (size and modification time), or
// nothing when it does not exist.
struct DiskState {
  int64_t size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const DiskState&) const = default;
};
std::optional<DiskState> ReadDiskState(const std::string& path);

class ProjectLock {
 public:
  ProjectLock();
  ~ProjectLock();
  ProjectLock(const ProjectLock&) = delete;
  ProjectLock& operator=(const ProjectLock&) = delete;

  // Takes the lock of path, giving up the one held before when it is another
  // file's. False when another running program holds it; its process id is
  // in *holder then (0 when it cannot be told). A folder where no lock file
  // can be made (read-only media) gives the file without a lock.
  bool Acquire(const std::string& path, qint64* holder = nullptr);
  // Gives up the lock held (if any).
  void Release();
  const std::string& LockedPath() const { return path_; }

  // The file as it is on disk now counts as the one this window knows.
  void RememberDiskState(const std::string& path);
  void ForgetDiskState() { known_.reset(); }
  // True when path is not as it was when last remembered (replaced, changed
  // or removed by another program). False when nothing was remembered.
  bool ChangedOnDisk(const std::string& path) const;

 private:
  std::unique_ptr<QLockFile> lock_;
  std::string path_;
  std::string knownPath_;
  std::optional<DiskState> known_;
};

// Each window answers a request to come to the front, so that a second
// program that finds the project locked can show the window that has it.
// Listens under a name made of the user and the process id.
class WindowCaller {
 public:
  // Starts listening for window; lives as long as the window does.
  explicit WindowCaller(QWidget* window);
  ~WindowCaller();
  // Asks the program with that process id to bring its window to the front;
  // false when it does not answer.
  static bool CallWindowOf(qint64 processId);

 private:
  QLocalServer* server_ = nullptr;  // owned by the window
};

}  // namespace ombrelo::desktop
