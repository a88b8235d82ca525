#include "crash/crash_snapshot.h"

#include <pthread.h>

#include <QObject>
#include <QTimer>
#include <algorithm>
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
  writer_ = std::thread([this] { WriterLoop(); });
  listener_ = project_.AddChangeListener([this](const ProjectChange& change) { Changed(change); });
  HandOver();
}

CrashSnapshotKeeper::~CrashSnapshotKeeper() {
  *alive_ = false;
  project_.RemoveChangeListener(listener_);
  if (changedSince_) HandOver();
  {
    std::lock_guard lock(mutex_);
    stop_ = true;  // the writer writes what it was handed first
  }
  wake_.notify_one();
  writer_.join();
}

void CrashSnapshotKeeper::Changed(const ProjectChange& change) {
  const auto start = Clock::now();
  switch (change.kind) {
    case ProjectChange::replaced:
      everything_ = true;
      break;
    case ProjectChange::movieRemoved:
    case ProjectChange::moviesCleared:
    case ProjectChange::settings:
      break;  // the order of the movies and the settings are taken at every hand-over
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
  Job job;
  job.head = project_.FileHead();
  job.tail = project_.FileTail();
  job.order.reserve(project_.Movies().size());
  for (const Movie& movie : project_.Movies()) {
    job.order.push_back(movie.id());
    if (everything_ || dirty_.count(movie.id())) job.changed.push_back(movie);
  }
  everything_ = false;
  dirty_.clear();
  job.number = ++jobsHanded_;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
  const double ms = MillisecondsSince(start);
  ++costs_.handovers;
  costs_.longestHandoverMs = std::max(costs_.longestHandoverMs, ms);
  costs_.totalHandoverMs += ms;
}

void CrashSnapshotKeeper::Flush() {
  if (changedSince_) HandOver();
  std::unique_lock lock(mutex_);
  written_.wait(lock, [this] { return jobsWritten_ >= jobsHanded_; });
}

void CrashSnapshotKeeper::WriterLoop() {
  pthread_setname_np(pthread_self(), "crash snapshot");
  for (;;) {
    std::vector<Job> jobs;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopped, and everything handed over is written
      jobs.swap(queue_);
    }
    // Jobs that waited are taken together: the last one has the project's
    // present order and settings.
    for (const Job& job : jobs) {
      for (const Movie& movie : job.changed) pieces_[movie.id()] = CProject::MovieFileEntry(movie);
    }
    UpdateCrashSnapshot(Assemble(jobs.back()));
    {
      std::lock_guard lock(mutex_);
      jobsWritten_ = jobs.back().number;
    }
    written_.notify_all();
  }
}

std::string CrashSnapshotKeeper::Assemble(const Job& job) {
  if (pieces_.size() > job.order.size()) {
    // Movies were removed: their pieces go.
    std::unordered_map<int32_t, std::string> kept;
    for (const int32_t id : job.order) {
      const auto found = pieces_.find(id);
      if (found != pieces_.end()) kept.emplace(id, std::move(found->second));
    }
    pieces_.swap(kept);
  }
  size_t size = job.head.size() + job.tail.size();
  for (const int32_t id : job.order) size += pieces_[id].size();
  std::string text;
  text.reserve(size);
  text += job.head;
  for (const int32_t id : job.order) text += pieces_[id];
  text += job.tail;
  return text;
}

}  // namespace ombrelo
