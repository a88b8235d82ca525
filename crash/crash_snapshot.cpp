#include "crash/crash_snapshot.h"

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
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

// Replaces the snapshot with size bytes that fill writes straight into the
// slot (no text of the whole project is made elsewhere first).
void WriteCrashSnapshot(size_t size, const std::function<void(char*)>& fill) {
  if (g_frozen.load()) return;
  const int next = 1 - g_current.load();
  Slot& slot = g_slots[next];
  if (slot.capacity < size) {
    // Room to grow, so that a project that gains thumbnails one by one is
    // not reallocated at every change.
    const size_t capacity = size + size / 2 + 4096;
    slot.data = std::make_unique<char[]>(capacity);
    slot.capacity = capacity;
  }
  fill(slot.data.get());
  slot.size = size;
  g_current.store(next);
}

}  // namespace

std::string CrashSnapshotText() {
  const Slot& slot = g_slots[g_current.load()];
  return slot.data ? std::string(slot.data.get(), slot.size) : std::string();
}

CrashSnapshotBytes FreezeCrashSnapshot() {
  g_frozen.store(true);
  const Slot& slot = g_slots[g_current.load()];
  return {slot.data.get(), slot.size};
}

namespace {

double MillisecondsSince(CrashSnapshotKeeper::Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(CrashSnapshotKeeper::Clock::now() - start)
      .count();
}

}  // namespace

CrashSnapshotKeeper::CrashSnapshotKeeper(CProject& project, Scheduler scheduler, Now now,
                                         std::chrono::milliseconds interval)
    : project_(project),
      scheduler_(std::move(scheduler)),
      now_(std::move(now)),
      interval_(interval) {
  if (!now_) now_ = [] { return Clock::now(); };
  if (!scheduler_) {
    context_ = std::make_unique<QObject>();
    scheduler_ = [context = context_.get()](std::chrono::milliseconds delay,
                                            std::function<void()> task) {
      QTimer::singleShot(delay, context, std::move(task));
    };
  }
  writer_ = std::make_unique<Worker>("crash snapshot");
  listener_ = project_.AddChangeListener([this](const ProjectChange& change) { Changed(change); });
  HandOver();
}

CrashSnapshotKeeper::~CrashSnapshotKeeper() {
  *alive_ = false;
  project_.RemoveChangeListener(listener_);
  HandOverAll();
  writer_.reset();  // writes what it was handed first
}

void CrashSnapshotKeeper::HandOverAll() {
  while (changedSince_ || !toCopy_.empty()) HandOver();
}

void CrashSnapshotKeeper::Changed(const ProjectChange& change) {
  const auto start = Clock::now();
  switch (change.kind) {
    case ProjectChange::replaced:
      everything_ = true;
      break;
    case ProjectChange::settings:
      settingsChanged_ = true;
      break;
    case ProjectChange::movieRemoved:
    case ProjectChange::moviesCleared:
      orderChanged_ = true;
      break;
    case ProjectChange::movieAdded:
      orderChanged_ = true;
      dirty_.insert(change.movieId);
      break;
    default:
      if (change.movieId >= 0) dirty_.insert(change.movieId);
      break;
  }
  changedSince_ = true;
  Schedule();
  ++costs_.notices;
  costs_.longestNoticeMs = std::max(costs_.longestNoticeMs, MillisecondsSince(start));
}

void CrashSnapshotKeeper::Schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  const auto due = lastHandOver_ + interval_;
  const auto now = now_();
  const auto delay = due > now ? std::chrono::ceil<std::chrono::milliseconds>(due - now)
                               : std::chrono::milliseconds(0);
  scheduler_(delay, [this, alive = alive_] {
    if (*alive && scheduled_) HandOver();
  });
}

void CrashSnapshotKeeper::HandOver() {
  const auto start = Clock::now();
  scheduled_ = false;
  changedSince_ = false;
  lastHandOver_ = now_();
  // Only what changed: the list's order and the settings when they changed,
  // copies of the movies that changed, and the next step of a whole copy.
  Job job;
  if (everything_) {
    toCopy_.clear();
    toCopy_.reserve(project_.Movies().size());
    for (const Movie& movie : project_.Movies()) toCopy_.push_back(movie.id());
    std::reverse(toCopy_.begin(), toCopy_.end());  // taken from the back
  }
  if (everything_ || settingsChanged_) {
    job.head = project_.FileHead();
    job.tail = project_.FileTail();
  }
  if (everything_ || orderChanged_) {
    job.order.emplace();
    job.order->reserve(project_.Movies().size());
    for (const Movie& movie : project_.Movies()) job.order->push_back(movie.id());
  }
  job.changed.reserve(dirty_.size() + std::min(toCopy_.size(), kMoviesPerStep));
  for (const int32_t id : dirty_) {
    if (const Movie* movie = project_.MovieById(id)) job.changed.push_back(*movie);
  }
  size_t thumbnails = 0;
  for (size_t n = 0; n < kMoviesPerStep && thumbnails < kThumbnailsPerStep && !toCopy_.empty();
       ++n) {
    // A movie removed meanwhile is skipped; one changed meanwhile is taken
    // as it is now (and again when it was noted as changed).
    if (const Movie* movie = project_.MovieById(toCopy_.back())) {
      job.changed.push_back(*movie);
      thumbnails += movie->images.size();
    }
    toCopy_.pop_back();
  }
  everything_ = settingsChanged_ = orderChanged_ = false;
  dirty_.clear();
  job.partial = !toCopy_.empty();
  job.number = ++jobsHanded_;
  lastHanded_.store(job.number);
  writer_->Post([this, job = std::move(job)]() mutable { Take(job); });
  // The rest of a whole copy follows at the scheduler's next turn.
  if (!toCopy_.empty()) {
    scheduled_ = true;
    scheduler_(std::chrono::milliseconds(0), [this, alive = alive_] {
      if (*alive && scheduled_) HandOver();
    });
  }
  const double ms = MillisecondsSince(start);
  ++costs_.handovers;
  costs_.longestHandoverMs = std::max(costs_.longestHandoverMs, ms);
  costs_.totalHandoverMs += ms;
}

void CrashSnapshotKeeper::Flush() {
  HandOverAll();
  std::promise<void> written;
  std::future<void> done = written.get_future();
  writer_->Post([&written] { written.set_value(); });
  done.wait();
}

void CrashSnapshotKeeper::Take(Job& job) {
  if (job.head) head_ = std::move(*job.head);
  if (job.tail) tail_ = std::move(*job.tail);
  if (job.order) order_ = std::move(*job.order);
  for (const Movie& movie : job.changed) pieces_[movie.id()] = CProject::MovieFileEntry(movie);
  // Jobs that wait behind this one are taken together: the snapshot is put
  // together once, by the last; a half-done whole copy is not written.
  if (!job.partial && job.number == lastHanded_.load()) Write();
}

void CrashSnapshotKeeper::Write() {
  if (pieces_.size() > order_.size()) {
    // Movies were removed: their pieces go.
    std::unordered_map<int32_t, std::string> kept;
    for (const int32_t id : order_) {
      const auto found = pieces_.find(id);
      if (found != pieces_.end()) kept.emplace(id, std::move(found->second));
    }
    pieces_.swap(kept);
  }
  std::vector<std::string_view> parts;
  parts.reserve(order_.size() + 2);
  parts.push_back(head_);
  for (const int32_t id : order_) parts.push_back(pieces_[id]);
  parts.push_back(tail_);
  size_t size = 0;
  for (const std::string_view part : parts) size += part.size();
  WriteCrashSnapshot(size, [&parts](char* out) {
    for (const std::string_view part : parts) {
      std::memcpy(out, part.data(), part.size());
      out += part.size();
    }
  });
}

}  // namespace ombrelo
