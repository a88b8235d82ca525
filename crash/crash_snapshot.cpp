#include "crash/crash_snapshot.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "project/project.h"

namespace ombrelo {
namespace {

// Two slots: an update fills the one the handler does not read and then
// makes it the current one. Once frozen, nothing is written any more.
struct Slot {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
  size_t size = 0;
};

Slot g_slots[2];
std::atomic<int> g_current{0};
std::atomic<bool> g_frozen{false};

}  // namespace

void UpdateCrashSnapshot(std::string_view projectText) {
  if (g_frozen.load()) return;
  const int next = 1 - g_current.load();
  Slot& slot = g_slots[next];
  if (slot.capacity < projectText.size()) {
    // Room to grow, so that a project that gains thumbnails one by one is
    // not reallocated at every change.
    const size_t capacity = projectText.size() + projectText.size() / 2 + 4096;
    slot.data = std::make_unique<char[]>(capacity);
    slot.capacity = capacity;
  }
  std::memcpy(slot.data.get(), projectText.data(), projectText.size());
  slot.size = projectText.size();
  g_current.store(next);
}

CrashSnapshotBytes FreezeCrashSnapshot() {
  g_frozen.store(true);
  const Slot& slot = g_slots[g_current.load()];
  return {slot.data.get(), slot.size};
}

CrashSnapshotKeeper::CrashSnapshotKeeper(CProject& project, Scheduler scheduler)
    : project_(project), scheduler_(std::move(scheduler)) {
  Refresh();
  project_.SetChangeObserver([this] { Changed(); });
}

CrashSnapshotKeeper::~CrashSnapshotKeeper() {
  *alive_ = false;
  project_.SetChangeObserver({});
}

void CrashSnapshotKeeper::Refresh() {
  scheduled_ = false;
  UpdateCrashSnapshot(project_.FileText());
}

void CrashSnapshotKeeper::Changed() {
  if (!scheduler_) {
    Refresh();
    return;
  }
  if (scheduled_) return;
  scheduled_ = true;
  scheduler_([this, alive = alive_] {
    if (*alive) Refresh();
  });
}

}  // namespace ombrelo
