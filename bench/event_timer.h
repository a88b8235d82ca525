#pragma once
// Times every event the application delivers on its own thread, and keeps
// the slowest with what received them and where the thread was: while an
// event has run longer than a few milliseconds, a timer signal takes the
// thread's call stack every few milliseconds.
#include <QGuiApplication>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ombrelo::bench {

// An event that took long on the owner's thread.
struct SlowEvent {
  double wallMs = 0;  // from its delivery to its return
  double cpuMs = 0;   // of that, the thread's own time on a core
  std::string receiver;
  std::string event;                // its type, or the kind of a workflow event
  std::vector<std::string> stacks;  // sampled while it ran, innermost first
};

class TimedApplication : public QGuiApplication {
 public:
  TimedApplication(int& argc, char** argv);
  ~TimedApplication() override;

  // Starts or stops keeping the slowest events (the list starts empty).
  void Record(bool on);
  // The slowest events kept (by their wall time, or by their time on a
  // core: the work done, whatever other programs took), slowest first,
  // their stacks named.
  std::vector<SlowEvent> Slowest(size_t count, bool byCpu = false);

  // The events delivered between two moments, grouped by what they were
  // and to whom: how many, and their time on a core together.
  struct Group {
    std::string what;
    int count = 0;
    double cpuMs = 0;
  };
  std::vector<Group> DeliveredBetween(std::chrono::steady_clock::time_point from,
                                      std::chrono::steady_clock::time_point to) const;

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  struct Sampler;
  bool recording_ = false;
  int depth_ = 0;
  std::vector<SlowEvent> slowest_;  // at most a few dozen, unsorted
  std::vector<SlowEvent> busiest_;  // the same by time on a core
  struct Delivered {
    std::chrono::steady_clock::time_point start;
    float cpuMs;
    uint32_t what;  // index into names_
  };
  std::vector<Delivered> delivered_;  // every event while recording
  std::vector<std::string> names_;
  Sampler* sampler_;
};

// "function (file:line)" for each return address of this process.
std::map<uintptr_t, std::string> NameAddresses(const std::vector<uintptr_t>& addresses);

// Prints the slowest events with their stacks.
void PrintSlowest(const char* title, const std::vector<SlowEvent>& events);

}  // namespace ombrelo::bench
