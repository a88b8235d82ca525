// A program that crashes on purpose, for the crash handler's tests.
//
//   crash_child <way>   installs the crash handler with its usual settings,
//                       keeps a snapshot of a small project, writes that
//                       project's text to "expected.obx" and crashes in the
//                       named way (see Crash below).
//   crash_child --crash-reporter <dump> <recovery>
//                       the crash reporter without a window: it answers
//                       "Send" when OMBRELO_TEST_ANSWER is "send", else "Do
//                       not send", writes the log it received to
//                       "$OMBRELO_TEST_RECORD/received.xml" and every step of
//                       the report, one a line, to ".../events.txt".
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crash/crash_handler.h"
#include "crash/crash_report.h"
#include "crash/crash_snapshot.h"
#include "project/project.h"

using namespace ombrelo;

namespace {

std::string RecordFolder() {
  const char* folder = std::getenv("OMBRELO_TEST_RECORD");
  return folder ? std::string(folder) + "/" : std::string("./");
}

class HeadlessReportUi : public CrashReportUi {
 public:
  bool AskSend(const CrashReport& report) override {
    std::ofstream(RecordFolder() + "received.xml", std::ios::binary) << report.log;
    const char* answer = std::getenv("OMBRELO_TEST_ANSWER");
    const bool send = answer && std::strcmp(answer, "send") == 0;
    Event(send ? "send" : "do not send");
    return send;
  }
  void SetTitle(const std::string& title) override { Event("title " + title); }
  void ShowMessage(const std::string& title, const std::string& text) override {
    Event("message " + title + ": " + text);
  }
  void SetBusy(bool busy) override { Event(busy ? "busy" : "idle"); }

 private:
  void Event(const std::string& text) {
    std::ofstream(RecordFolder() + "events.txt", std::ios::app) << text << "\n";
  }
};

// An address no program maps: the fault shows it as the access address.
volatile int* BadAddress() {
  return reinterpret_cast<volatile int*>(std::strtoul("16", nullptr, 10));
}

__attribute__((noinline)) void WriteToBadAddress() { *BadAddress() = 1; }

volatile int g_depthLimit = -1;  // none

__attribute__((noinline)) int Recurse(int depth) {
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  if (depth == g_depthLimit) return 0;
  return Recurse(depth + 1) + pad[0];
}

ssize_t CrashingWrite(void*, const char*, size_t) {
  WriteToBadAddress();
  return 0;
}

// malloc_stats prints to stderr while it holds the main heap's lock: a
// stream that crashes on its first write crashes with the lock held.
void CrashHoldingHeapLock() {
  cookie_io_functions_t io{};
  io.write = CrashingWrite;
  FILE* stream = fopencookie(nullptr, "w", io);
  setvbuf(stream, nullptr, _IONBF, 0);
  stderr = stream;
  malloc_stats();
}

// A real integer division by zero, also in the sanitizer build (which would
// otherwise report it and end the program before the signal comes).
__attribute__((no_sanitize("undefined"), noinline)) int Divide(int a, int b) {
  return a / b;
}

int Crash(const std::string& way) {
  if (way == "null-write") {
    WriteToBadAddress();
  } else if (way == "divide") {
    volatile int zero = 0, one = 1;
    return Divide(one, zero);
  } else if (way == "abort") {
    std::abort();
  } else if (way == "thread") {
    volatile int after = 0;
    std::thread([&after] {
      WriteToBadAddress();
      after = 1;  // not a tail call: the thread's function keeps its frame
    }).join();
  } else if (way == "heap-lock") {
    CrashHoldingHeapLock();
  } else if (way == "stack-overflow") {
    return Recurse(0);
  } else if (way == "kill") {
    kill(getpid(), SIGSEGV);  // from outside, as a user or a debugger sends it
  } else if (way == "throw") {
    throw std::runtime_error("nobody catches this");
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto files = ReporterCommandLine(argc, argv)) {
    HeadlessReportUi ui;
    return RunCrashReport(ReadStandardInput(), *files, ConfiguredCrashServer(), ui);
  }
  if (argc < 2) return 2;

  // The snapshot is renewed from the "event loop" (the queue below), as the
  // desktop program does; the writer thread has written it before the crash.
  CProject project("/videos/");
  std::vector<std::function<void()>> loop;
  CrashSnapshotKeeper keeper(
      project, [&](std::chrono::milliseconds, std::function<void()> f) { loop.push_back(f); });
  project.AddMovie("/videos/first.avi");
  project.SetMovieStatus(project.AddMovie("/videos/second clip & co.mkv"), kMovieOpened);
  if (loop.size() != 1) return 4;  // one renewal for all the changes
  loop[0]();
  keeper.Flush();
  std::ofstream("expected.obx", std::ios::binary) << project.FileText();

  if (!InstallCrashHandler(DefaultCrashHandlerSettings())) return 3;
  return Crash(argv[1]);
}
