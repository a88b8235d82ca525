#include "bench/event_timer.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QMetaEnum>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#include "workflow/capture_event_sink.h"

namespace ombrelo::bench {
namespace {

using Ms = std::chrono::duration<double, std::milli>;

// Events kept at most, and how long one runs before its stack is sampled.
constexpr size_t kKept = 48;
constexpr long kFirstSampleNs = 4'000'000;
constexpr long kSampleEveryNs = 3'000'000;
constexpr int kSamples = 8;
constexpr int kFrames = 40;

// Written by the signal handler on the owner's thread only.
std::array<std::array<void*, kFrames>, kSamples> gFrames;
std::array<int, kSamples> gDepths;
volatile sig_atomic_t gTaken = 0;

void TakeSample(int) {
  const int taken = gTaken;
  if (taken >= kSamples) return;
  gDepths[static_cast<size_t>(taken)] =
      backtrace(gFrames[static_cast<size_t>(taken)].data(), kFrames);
  gTaken = taken + 1;
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string EventName(const QEvent* event) {
  const int type = event->type();
  switch (static_cast<WorkflowEventType>(type)) {
    case WorkflowEventType::progress:
      return "progress";
    case WorkflowEventType::preview:
      return "preview";
    case WorkflowEventType::captureEnded:
      return "captureEnded";
    case WorkflowEventType::statusText:
      return "statusText";
    case WorkflowEventType::stateChanged:
      return "stateChanged";
    case WorkflowEventType::opened:
      return "opened";
    case WorkflowEventType::workDone:
      return "workDone";
    case WorkflowEventType::indexPhotoPoll:
      return "indexPhotoPoll";
    case WorkflowEventType::idle:
      return "idle";
  }
  if (const char* key = QMetaEnum::fromType<QEvent::Type>().valueToKey(type)) return key;
  return "event " + std::to_string(type);
}

}  // namespace

// "function (file:line)" for each address, through addr2line.
std::map<uintptr_t, std::string> NameAddresses(const std::vector<uintptr_t>& addresses) {
  std::map<std::string, std::vector<std::pair<uintptr_t, uintptr_t>>> byFile;
  std::map<uintptr_t, std::string> names;
  for (const uintptr_t address : addresses) {
    Dl_info info{};
    // The return address points after the call: look up the call itself.
    if (!dladdr(reinterpret_cast<void*>(address - 1), &info) || !info.dli_fname) {
      names[address] = "?";
      continue;
    }
    const uintptr_t offset = address - 1 - reinterpret_cast<uintptr_t>(info.dli_fbase);
    byFile[info.dli_fname].emplace_back(address, offset);
    names[address] = std::string(info.dli_sname ? info.dli_sname : "?") + " in " + info.dli_fname;
  }
  for (const auto& [file, list] : byFile) {
    std::string command = "addr2line -f -C -s -e '" + file + "'";
    for (const auto& entry : list) {
      char hex[32];
      std::snprintf(hex, sizeof hex, " 0x%zx", static_cast<size_t>(entry.second));
      command += hex;
    }
    command += " 2>/dev/null";  // files it cannot read (the vDSO) stay "?"
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) continue;
    char function[4096];
    char where[1024];
    for (const auto& entry : list) {
      if (!std::fgets(function, sizeof function, pipe.get()) ||
          !std::fgets(where, sizeof where, pipe.get()))
        break;
      std::string name(function);
      std::string line(where);
      while (!name.empty() && name.back() == '\n') name.pop_back();
      while (!line.empty() && line.back() == '\n') line.pop_back();
      if (name != "??") names[entry.first] = name.substr(0, 110) + " (" + line + ")";
    }
  }
  return names;
}

struct TimedApplication::Sampler {
  timer_t timer{};
  bool made = false;
};

TimedApplication::TimedApplication(int& argc, char** argv)
    : QGuiApplication(argc, argv), sampler_(new Sampler) {
  struct sigaction action {};
  action.sa_handler = TakeSample;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  const int signal = SIGRTMIN + 3;
  if (sigaction(signal, &action, nullptr) != 0) return;
  void* warm[2];
  backtrace(warm, 2);  // loads the unwinder before a signal needs it
  sigevent when{};
  when.sigev_notify = SIGEV_THREAD_ID;
  when.sigev_signo = signal;
  when._sigev_un._tid = gettid();
  sampler_->made = timer_create(CLOCK_MONOTONIC, &when, &sampler_->timer) == 0;
}

TimedApplication::~TimedApplication() {
  if (sampler_->made) timer_delete(sampler_->timer);
  delete sampler_;
}

void TimedApplication::Record(bool on) {
  recording_ = on;
  if (on) {
    slowest_.clear();
    busiest_.clear();
    delivered_.clear();
    delivered_.reserve(1 << 20);
  }
}

bool TimedApplication::notify(QObject* receiver, QEvent* event) {
  if (!recording_ || depth_ > 0 || QThread::currentThread() != thread())
    return QGuiApplication::notify(receiver, event);
  const std::string name = EventName(event);
  const std::string to =
      std::string(receiver->metaObject()->className()) +
      (receiver->objectName().isEmpty() ? "" : " \"" + receiver->objectName().toStdString() + "\"");
  gTaken = 0;
  itimerspec arm{};
  arm.it_value.tv_nsec = kFirstSampleNs;
  arm.it_interval.tv_nsec = kSampleEveryNs;
  if (sampler_->made) timer_settime(sampler_->timer, 0, &arm, nullptr);
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuMs();
  ++depth_;
  const bool result = QGuiApplication::notify(receiver, event);
  --depth_;
  const double wall = Ms(std::chrono::steady_clock::now() - start).count();
  const double cpu = ThreadCpuMs() - cpuStart;
  const itimerspec off{};
  if (sampler_->made) timer_settime(sampler_->timer, 0, &off, nullptr);
  const std::string what = name + " to " + to;
  auto known = std::find(names_.begin(), names_.end(), what);
  if (known == names_.end()) known = names_.insert(names_.end(), what);
  delivered_.push_back(Delivered{start, static_cast<float>(cpu),
                                 static_cast<uint32_t>(known - names_.begin())});

  const auto byWall = [](const SlowEvent& a, const SlowEvent& b) { return a.wallMs < b.wallMs; };
  const auto byCpu = [](const SlowEvent& a, const SlowEvent& b) { return a.cpuMs < b.cpuMs; };
  auto least = std::min_element(slowest_.begin(), slowest_.end(), byWall);
  auto idlest = std::min_element(busiest_.begin(), busiest_.end(), byCpu);
  const bool slow = slowest_.size() < kKept || least->wallMs < wall;
  const bool busy = busiest_.size() < kKept || idlest->cpuMs < cpu;
  if (!slow && !busy) return result;
  SlowEvent kept;
  kept.wallMs = wall;
  kept.cpuMs = cpu;
  kept.receiver = to;
  kept.event = name;
  // The addresses are named later, once: as "0x..." strings for now.
  for (int s = 0; s < gTaken && s < kSamples; ++s) {
    std::string stack;
    for (int f = 0; f < gDepths[static_cast<size_t>(s)]; ++f) {
      char hex[32];
      std::snprintf(
          hex, sizeof hex, "%zx ",
          reinterpret_cast<size_t>(gFrames[static_cast<size_t>(s)][static_cast<size_t>(f)]));
      stack += hex;
    }
    kept.stacks.push_back(stack);
  }
  if (busy) {
    if (busiest_.size() >= kKept)
      *idlest = kept;
    else
      busiest_.push_back(kept);
  }
  if (slow) {
    if (slowest_.size() >= kKept)
      *least = std::move(kept);
    else
      slowest_.push_back(std::move(kept));
  }
  return result;
}

std::vector<TimedApplication::Group> TimedApplication::DeliveredBetween(
    std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) const {
  std::vector<Group> groups(names_.size());
  for (size_t i = 0; i < names_.size(); ++i) groups[i].what = names_[i];
  const auto first = std::lower_bound(
      delivered_.begin(), delivered_.end(), from,
      [](const Delivered& d, std::chrono::steady_clock::time_point t) { return d.start < t; });
  for (auto d = first; d != delivered_.end() && d->start < to; ++d) {
    ++groups[d->what].count;
    groups[d->what].cpuMs += d->cpuMs;
  }
  groups.erase(std::remove_if(groups.begin(), groups.end(),
                              [](const Group& g) { return g.count == 0; }),
               groups.end());
  std::sort(groups.begin(), groups.end(),
            [](const Group& a, const Group& b) { return a.cpuMs > b.cpuMs; });
  return groups;
}

std::vector<SlowEvent> TimedApplication::Slowest(size_t count, bool byCpu) {
  std::vector<SlowEvent> events = byCpu ? busiest_ : slowest_;
  std::sort(events.begin(), events.end(), [byCpu](const SlowEvent& a, const SlowEvent& b) {
    return byCpu ? a.cpuMs > b.cpuMs : a.wallMs > b.wallMs;
  });
  events.resize(std::min(count, events.size()));
  // Each stack: its frames named, from the first one above the handler.
  std::vector<std::vector<uintptr_t>> raws;
  std::vector<uintptr_t> all;
  for (SlowEvent& event : events) {
    for (std::string& stack : event.stacks) {
      std::vector<uintptr_t> frames;
      size_t at = 0;
      while (at < stack.size()) {
        size_t used = 0;
        frames.push_back(static_cast<uintptr_t>(std::stoull(stack.substr(at), &used, 16)));
        at += used + 1;
      }
      all.insert(all.end(), frames.begin(), frames.end());
      raws.push_back(std::move(frames));
    }
  }
  const std::map<uintptr_t, std::string> names = NameAddresses(all);
  size_t next = 0;
  for (SlowEvent& event : events) {
    for (std::string& stack : event.stacks) {
      stack.clear();
      // Frames 0 and 1 are the handler and the signal's return.
      const std::vector<uintptr_t>& frames = raws[next++];
      for (size_t f = 2; f < frames.size(); ++f) {
        const std::string& name = names.at(frames[f]);
        // The event loop's frames below the delivery say nothing new.
        if (name.find("TimedApplication::notify") != std::string::npos) break;
        stack += "      " + name + "\n";
      }
    }
  }
  return events;
}

void PrintSlowest(const char* title, const std::vector<SlowEvent>& events) {
  std::printf("%s:\n", title);
  for (const SlowEvent& event : events) {
    std::printf("  %7.1f ms (%.1f ms on a core)  %s to %s\n", event.wallMs, event.cpuMs,
                event.event.c_str(), event.receiver.c_str());
    // The first and the last sample: where it began to be slow, where it ended.
    for (size_t s = 0; s < event.stacks.size(); ++s) {
      if (s != 0 && s + 1 != event.stacks.size()) continue;
      std::printf("    sample %zu of %zu:\n%s", s + 1, event.stacks.size(),
                  event.stacks[s].c_str());
    }
  }
}

}  // namespace ombrelo::bench
