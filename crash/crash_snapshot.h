#pragma once
// The project as the crash handler saves it: a serialized copy, kept current
// while the program runs, in memory that was allocated beforehand. A crashed
// process only writes these bytes out, so a crash inside the allocator or
// while some lock is held still leaves the project behind.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/worker.h"
#include "project/movie.h"

class QObject;

namespace ombrelo {

class CProject;
struct ProjectChange;

// The bytes of the current snapshot, for the crash handler: async-signal-safe.
// It freezes the snapshot, so that no later update replaces the memory the
// handler is reading.
struct CrashSnapshotBytes {
  const char* data = nullptr;
  size_t size = 0;
};
CrashSnapshotBytes FreezeCrashSnapshot();

// A copy of the current snapshot, for checks while no update runs.
std::string CrashSnapshotText();

// Keeps the snapshot equal to a project, a little behind it. The keeper
// listens to the project's changes and only notes which movies changed; at
// most once per interval (the first change after a quiet interval at once,
// through the scheduler) it copies those movies and hands them to a worker
// of its own, which serializes them, puts the project's text together from
// the pieces it keeps per movie and replaces the snapshot. So the project's
// thread pays for copying the movies that changed, never for serializing the
// project, whatever its size. A whole project (the first snapshot, a project
// opened) is copied kMoviesPerStep movies at a time, or fewer when they
// hold more than kThumbnailsPerStep thumbnails together, one step per turn of
// the scheduler, so that no turn of the project's thread waits long; the
// snapshot is replaced once the last step is in.
class CrashSnapshotKeeper {
 public:
  using Clock = std::chrono::steady_clock;
  // Runs a task on the project's thread after a delay.
  using Scheduler = std::function<void(std::chrono::milliseconds, std::function<void()>)>;
  using Now = std::function<Clock::time_point()>;
  static constexpr std::chrono::milliseconds kInterval{250};
  static constexpr size_t kMoviesPerStep = 100;
  // Copying a thumbnail's entry is most of a step's cost: about 1 ms for
  // these on a busy machine.
  static constexpr size_t kThumbnailsPerStep = 2000;

  // Without a scheduler the tasks run from the thread's Qt event loop;
  // without a clock the steady clock is read. The snapshot is taken at once.
  explicit CrashSnapshotKeeper(CProject& project, Scheduler scheduler = {}, Now now = {},
                               std::chrono::milliseconds interval = kInterval);
  // Takes the last changes into the snapshot (a crash while the program ends
  // still finds the project as it was), then stops listening.
  ~CrashSnapshotKeeper();
  CrashSnapshotKeeper(const CrashSnapshotKeeper&) = delete;
  CrashSnapshotKeeper& operator=(const CrashSnapshotKeeper&) = delete;

  // Hands the changes noted so far (and the rest of a whole copy) to the
  // writer now and waits until the snapshot holds them.
  void Flush();

  // What keeping the snapshot cost the project's thread (for benchmarks).
  struct Costs {
    int64_t notices = 0;
    int64_t handovers = 0;
    double longestNoticeMs = 0;
    double longestHandoverMs = 0;
    double totalHandoverMs = 0;
  };
  Costs costs() const { return costs_; }
  void ResetCosts() { costs_ = {}; }

 private:
  // What changed since the last renewal: the text before and after the
  // movies and the movies' ids in list order (when they changed), and copies
  // of the movies that changed.
  struct Job {
    std::optional<std::string> head;
    std::optional<std::string> tail;
    std::optional<std::vector<int32_t>> order;
    std::vector<Movie> changed;
    bool partial = false;  // more steps of a whole copy follow
    uint64_t number = 0;
  };

  void Changed(const ProjectChange& change);
  void Schedule();
  void HandOver();
  // Hands over until nothing is left (a whole copy included).
  void HandOverAll();
  // Takes the job into the pieces and, when it is the last one handed so
  // far and no copy is half done, replaces the snapshot (writer thread).
  void Take(Job& job);
  // Puts the snapshot together from the pieces (writer thread).
  void Write();

  // Project's thread only.
  CProject& project_;
  Scheduler scheduler_;
  Now now_;
  std::chrono::milliseconds interval_;
  std::unique_ptr<QObject> context_;  // ends the default scheduler's pending tasks
  int listener_ = -1;
  std::unordered_set<int32_t> dirty_;
  bool everything_ = true;  // the whole project is to be handed over
  bool settingsChanged_ = false;
  bool orderChanged_ = false;
  bool changedSince_ = false;
  bool scheduled_ = false;
  Clock::time_point lastHandOver_{};
  uint64_t jobsHanded_ = 0;
  Costs costs_;
  // Tells a task still waiting in the scheduler that the keeper is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  // The ids of a whole copy still to be taken, in list order.
  std::vector<int32_t> toCopy_;
  std::atomic<uint64_t> lastHanded_{0};  // the number of the last job handed

  // Writer thread ("crash snapshot") only: the project's text in pieces,
  // one per movie.
  std::string head_;
  std::string tail_;
  std::vector<int32_t> order_;
  std::unordered_map<int32_t, std::string> pieces_;
  std::unique_ptr<Worker> writer_;  // last: it runs what was handed before it goes
};

}  // namespace ombrelo
