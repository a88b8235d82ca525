#pragma once
// The project as the crash handler saves it: a serialized copy, kept current
// while the program runs, in memory that was allocated beforehand. A crashed
// process only writes these bytes out, so a crash inside the allocator or
// while some lock is held still leaves the project behind.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace ombrelo {

class CProject;

// Replaces the snapshot with these bytes. One thread at a time (the thread
// that owns the project). Ignored once a crash is being reported.
void UpdateCrashSnapshot(std::string_view projectText);

// The bytes of the current snapshot, for the crash handler: async-signal-safe.
// It freezes the snapshot, so that no later update replaces the memory the
// handler is reading.
struct CrashSnapshotBytes {
  const char* data = nullptr;
  size_t size = 0;
};
CrashSnapshotBytes FreezeCrashSnapshot();

// Keeps the snapshot equal to a project: takes one at once and another after
// each change the project announces (CProject::SetChangeObserver). A write
// access is announced before the caller changes the movie, so a front end with
// an event loop passes a scheduler that runs the refresh from the loop; several
// changes before it runs give one refresh. Without a scheduler the refresh
// happens at once, and a change made through a write access is picked up by the
// next change or by Refresh.
class CrashSnapshotKeeper {
 public:
  using Scheduler = std::function<void(std::function<void()>)>;
  explicit CrashSnapshotKeeper(CProject& project, Scheduler scheduler = {});
  ~CrashSnapshotKeeper();  // the project's change observer is removed
  CrashSnapshotKeeper(const CrashSnapshotKeeper&) = delete;
  CrashSnapshotKeeper& operator=(const CrashSnapshotKeeper&) = delete;

  // Serializes the project again now.
  void Refresh();

 private:
  void Changed();

  CProject& project_;
  Scheduler scheduler_;
  bool scheduled_ = false;
  // Tells a refresh still waiting in the scheduler that the keeper is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ombrelo
