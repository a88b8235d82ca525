#include "tools/slowfs/slow_folder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace ombrelo::slowfs {
namespace {

void Reap(pid_t helper) {
  int status = 0;
  while (::waitpid(helper, &status, 0) < 0 && errno == EINTR) {
  }
}

#ifdef OMBRELO_SLOWFS_BINARY
// How long the helper may take to mount: far more than it needs.
constexpr int kMountTimeoutMs = 20000;

// The helper's first line ("ready" or "failed: ..."); "" when it ended or
// did not answer in time.
std::string FirstLine(int fd) {
  std::string line;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, kMountTimeoutMs);
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return "";
    char c;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return "";
    if (c == '\n') return line;
    line += c;
  }
}
#endif

}  // namespace

std::unique_ptr<SlowFolder> SlowFolder::Mount(const std::string& mountPoint,
                                              const std::vector<std::string>& sources,
                                              std::chrono::milliseconds delay, std::string* error) {
  for (const std::string& source : sources) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) {
      *error = "not a regular file: " + source;
      return nullptr;
    }
  }
#ifndef OMBRELO_SLOWFS_BINARY
  (void)mountPoint;
  (void)delay;
  *error = "this build has no slow folder: libfuse3-dev was missing when it was configured";
  return nullptr;
#else
  const std::string binary = OMBRELO_SLOWFS_BINARY;
  std::vector<std::string> words{binary, "--delay", std::to_string(delay.count()), mountPoint};
  words.insert(words.end(), sources.begin(), sources.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    *error = std::string("cannot start ombrelo-slowfs: ") + std::strerror(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  // The helper stops on SIGTERM whatever its starter blocks or ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, stops;
  sigemptyset(&none);
  sigemptyset(&stops);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&stops, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &stops);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t helper = -1;
  const int spawned =
      ::posix_spawn(&helper, binary.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    *error = "cannot start " + binary + ": " + std::strerror(spawned);
    return nullptr;
  }
  const std::string line = FirstLine(out[0]);
  ::close(out[0]);
  if (line == "ready") return std::unique_ptr<SlowFolder>(new SlowFolder(mountPoint, helper));
  ::kill(helper, SIGTERM);
  Reap(helper);
  const std::string prefix = "failed: ";
  *error = line.rfind(prefix, 0) == 0 ? line.substr(prefix.size())
                                      : "ombrelo-slowfs ended without mounting " + mountPoint;
  return nullptr;
#endif
}

SlowFolder::~SlowFolder() {
  // The helper unmounts the folder before it ends.
  ::kill(helper_, SIGTERM);
  Reap(helper_);
}

std::string SlowFolder::PathOf(const std::string& source) const {
  return mountPoint_ + "/" + std::filesystem::path(source).filename().string();
}

}  // namespace ombrelo::slowfs
