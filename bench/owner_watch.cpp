#include "bench/owner_watch.h"

#include <execinfo.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "bench/event_timer.h"

namespace ombrelo::bench {
namespace {

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The calls a thread of this program may be found blocked in.
std::string CallName(long number) {
  switch (number) {
    case 0: return "read";
    case 1: return "write";
    case 7: return "poll";
    case 9: return "mmap";
    case 10: return "mprotect";
    case 11: return "munmap";
    case 12: return "brk";
    case 28: return "madvise";
    case 202: return "futex";
    case 257: return "openat";
    case 270: return "pselect6";
    case 271: return "ppoll";
    default: return "call " + std::to_string(number);
  }
}

// Stacks of the watched thread, each taken by its own signal handler into
// the slot the watching thread named before sending the signal.
constexpr int kStacks = 64;
constexpr int kStackFrames = 48;
std::array<std::array<void*, kStackFrames>, kStacks> gStacks;
std::array<std::atomic<int>, kStacks> gStackDepths;
std::atomic<int> gStackSlot{-1};

void OnStackSignal(int) {
  const int slot = gStackSlot.load();
  if (slot < 0 || slot >= kStacks) return;
  gStackDepths[static_cast<size_t>(slot)].store(
      backtrace(gStacks[static_cast<size_t>(slot)].data(), kStackFrames));
}

int StackSignal() {
  static const int signal = [] {
    struct sigaction action {};
    action.sa_handler = OnStackSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    void* warm[2];
    backtrace(warm, 2);  // loads the unwinder before a signal needs it
    return sigaction(SIGRTMIN + 4, &action, nullptr) == 0 ? SIGRTMIN + 4 : 0;
  }();
  return signal;
}

}  // namespace

OwnerWatch::OwnerWatch() : tid_(gettid()) {
  stats_.reserve(64 * 1024);
  StackSignal();
  for (auto& depth : gStackDepths) depth.store(0);
}

void OwnerWatch::TakeStack(pid_t tid, const char* who) {
  const int signal = StackSignal();
  std::lock_guard<std::mutex> lock(stackMutex_);
  if (signal == 0 || stacksAsked_ >= kStacks) return;
  // One at a time: the last one asked has been taken (or is lost).
  if (stacksAsked_ > 0 && gStackDepths[static_cast<size_t>(stacksAsked_ - 1)].load() == 0) return;
  gStackSlot.store(stacksAsked_++);
  stackOwners_.push_back(who);
  syscall(SYS_tgkill, getpid(), tid, signal);
}

std::vector<std::pair<std::string, int>> OwnerWatch::LockedStacks() const {
  std::vector<uintptr_t> all;
  for (int s = 0; s < stacksAsked_; ++s)
    for (int f = 0; f < gStackDepths[static_cast<size_t>(s)].load(); ++f)
      all.push_back(reinterpret_cast<uintptr_t>(gStacks[static_cast<size_t>(s)][static_cast<size_t>(f)]));
  const std::map<uintptr_t, std::string> names = NameAddresses(all);
  std::map<std::string, int> counted;
  for (int s = 0; s < stacksAsked_; ++s) {
    std::string stack = std::string("    ") + stackOwners_[static_cast<size_t>(s)] + ":\n";
    // Frames 0 and 1 are the handler and the signal's return.
    for (int f = 2; f < gStackDepths[static_cast<size_t>(s)].load(); ++f)
      stack += "      " +
               names.at(reinterpret_cast<uintptr_t>(gStacks[static_cast<size_t>(s)][static_cast<size_t>(f)])) +
               "\n";
    if (gStackDepths[static_cast<size_t>(s)].load() > 2) ++counted[stack];
  }
  std::vector<std::pair<std::string, int>> found(counted.begin(), counted.end());
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  return found;
}

std::string OwnerWatch::Where() const {
  const std::string task = "/proc/self/task/" + std::to_string(tid_);
  // The state follows the name in parentheses, which may hold spaces.
  const std::string stat = ReadFirstLine(task + "/stat");
  const size_t close = stat.rfind(')');
  const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
  if (state == 'R') return "running or waiting for a core";
  std::string where = state == 'D' ? "blocked in " : "sleeping in ";
  where += ReadFirstLine(task + "/wchan");
  // "running" while the thread is on a core; otherwise the call's number.
  std::istringstream call(ReadFirstLine(task + "/syscall"));
  long number = -1;
  if (call >> number) where += " (" + CallName(number) + ")";
  return where;
}

void OwnerWatch::Sample(bool late) {
  Stat stat;
  stat.at = Clock::now();
  std::istringstream in(ReadFirstLine("/proc/self/task/" + std::to_string(tid_) + "/schedstat"));
  in >> stat.runNs >> stat.waitNs;
  stats_.push_back(stat);
  if (!late) return;
  const std::string where = Where();
  ++late_[where];
  if (where.find("futex") != std::string::npos) TakeStack(tid_, "the owner's thread");
}

OwnerWatch::Split OwnerWatch::Over(Clock::time_point from, Clock::time_point to) const {
  // The last sample at or before the start and the first at or after the end.
  const auto after = [](const Stat& s, Clock::time_point t) { return s.at < t; };
  auto end = std::lower_bound(stats_.begin(), stats_.end(), to, after);
  auto begin = std::lower_bound(stats_.begin(), stats_.end(), from, after);
  if (begin != stats_.begin() && (begin == stats_.end() || begin->at > from)) --begin;
  Split split;
  if (end == stats_.end() || begin == stats_.end() || begin >= end) return split;
  const double wall = std::chrono::duration<double, std::milli>(end->at - begin->at).count();
  split.spanMs = wall;
  split.onCoreMs = static_cast<double>(end->runNs - begin->runNs) / 1e6;
  split.waitingForCoreMs = static_cast<double>(end->waitNs - begin->waitNs) / 1e6;
  split.blockedMs = std::max(0.0, wall - split.onCoreMs - split.waitingForCoreMs);
  split.known = true;
  return split;
}

std::vector<std::pair<std::string, int>> OwnerWatch::WhileLate() const {
  std::vector<std::pair<std::string, int>> found(late_.begin(), late_.end());
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  return found;
}

}  // namespace ombrelo::bench
