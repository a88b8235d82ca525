#include "app/indexer/batch_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <vector>

#include "app/indexer/terminal_port.h"
#include "project/movie.h"
#include "project/project.h"

extern char** environ;

namespace ombrelo::indexer {

namespace {

using Clock = std::chrono::steady_clock;

// One running worker and what it has written so far.
struct Worker {
  int32_t movieId = -1;
  std::string moviePath;
  std::string resultFile;
  pid_t pid = -1;
  int fd = -1;          // the worker's standard output, -1 once it ended
  std::string pending;  // output not yet ended by a line feed or return
  std::string live;     // the worker's latest progress line
  Clock::time_point lastActivity;
  bool killed = false;
};

// The terminal of a batch: the workers' lines, and on a terminal one line
// per running movie kept below them.
class BatchTerminal {
 public:
  BatchTerminal(std::FILE* out, std::FILE* err, bool interactive)
      : out_(out), err_(err), interactive_(interactive) {}

  std::FILE* Out() const { return out_; }
  void Line(const std::string& text) {
    Clear();
    std::fprintf(out_, "%s\n", TerminalSafe(text).c_str());
    std::fflush(out_);
  }
  void Error(const std::string& text) {
    Clear();
    std::fflush(out_);
    std::fprintf(err_, "%s\n", TerminalSafe(text).c_str());
    std::fflush(err_);
  }
  // Draws the running movies' lines (interactive only).
  void Draw(const std::list<Worker>& workers) {
    if (!interactive_) return;
    const int columns = std::max(TerminalColumns(out_) - 1, 10);
    std::string block;
    for (const Worker& worker : workers) {
      if (!block.empty()) block += '\n';
      block +=
          FitColumns(TerminalSafe(worker.live.empty() ? worker.moviePath : worker.live), columns);
    }
    if (drawn_ > 0 && block == block_) return;
    Clear();
    block_ = block;
    drawn_ = static_cast<int>(workers.size());
    std::fputs(block.c_str(), out_);
    std::fflush(out_);
  }
  void Clear() {
    if (drawn_ == 0) return;
    std::fputs("\r", out_);
    for (int i = 1; i < drawn_; ++i) std::fputs("\033[1A", out_);
    std::fputs("\033[J", out_);
    drawn_ = 0;
  }

 private:
  std::FILE* out_;
  std::FILE* err_;
  bool interactive_;
  int drawn_ = 0;      // lines of the block on the terminal
  std::string block_;  // the block drawn
};

// A worker's output drops the erase sequences of its progress line.
std::string WithoutErase(std::string text) {
  for (size_t at; (at = text.find("\033[K")) != std::string::npos;) text.erase(at, 3);
  return text;
}

// Takes a worker's bytes: lines go to the terminal, a text ended by a
// carriage return is the worker's progress line.
void Feed(Worker& worker, const char* bytes, size_t size, BatchTerminal& terminal,
          const std::list<Worker>& workers) {
  for (size_t i = 0; i < size; ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      worker.pending += c;
      continue;
    }
    std::string text = WithoutErase(std::move(worker.pending));
    worker.pending.clear();
    if (c == '\n') {
      terminal.Line(text);
    } else if (!text.empty()) {
      worker.live = std::move(text);
    }
  }
  terminal.Draw(workers);
}

// The saved results of a worker replace those of the project's record; the
// record keeps its identity.
void TakeResults(Movie& into, const Movie& from) {
  into.length = from.length;
  into.size = from.size;
  into.error = from.error;
  into.status = from.status;
  into.videoFormat = from.videoFormat;
  into.captureSettings = from.captureSettings;
  into.html = from.html;
  into.ipl = from.ipl;
  into.indexphoto = from.indexphoto;
  into.images = from.images;
}

class Batch {
 public:
  Batch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err)
      : settings_(settings), project_(project), terminal_(out, err, settings.interactive) {}

  bool Run() {
    if (!project_.Save(settings_.workFolder + "batch.obx")) {
      terminal_.Error("ombrelo-index: cannot write the batch's project file");
      return false;
    }
    int index = 0;
    for (const Movie& movie : project_.Movies()) {
      if (movie.status == kMovieWaiting || movie.status == kMovieOpened) {
        queue_.push_back({movie.id(), index});
      }
      ++index;
    }
    while (!workers_.empty() || (!queue_.empty() && !interrupted_)) {
      while (!interrupted_ && !queue_.empty() &&
             static_cast<int>(workers_.size()) < settings_.jobs) {
        const Queued next = queue_.front();
        queue_.pop_front();
        Start(next);
      }
      Wait();
    }
    terminal_.Clear();
    return interrupted_;
  }

 private:
  // A waiting movie: its id and its place in the list.
  struct Queued {
    int32_t id;
    int index;
  };

  void Start(const Queued& queued) {
    const Movie* movie = project_.MovieById(queued.id);
    const int index = queued.index;
    Worker worker;
    worker.movieId = queued.id;
    worker.moviePath = movie->path();
    worker.resultFile = settings_.workFolder + "result-" + std::to_string(index) + ".obx";
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
      Fail(*movie, std::strerror(errno));
      return;
    }
    std::vector<std::string> args = {
        settings_.program,  kWorkerProjectOption,  settings_.workFolder + "batch.obx",
        kWorkerMovieOption, std::to_string(index), kWorkerResultOption,
        worker.resultFile};
    if (settings_.threadsPerWorker > 0) {
      args.emplace_back(kWorkerThreadsOption);
      args.push_back(std::to_string(settings_.threadsPerWorker));
    }
    if (settings_.interactive) {
      args.emplace_back(kWorkerInteractiveOption);
      // The worker draws its progress line as wide as this terminal is.
      ::setenv("COLUMNS", std::to_string(TerminalColumns(terminal_.Out())).c_str(), 1);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: Ctrl+C reaches the workers only through this
    // process, which stops each of them once.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int spawned = ::posix_spawn(&worker.pid, settings_.program.c_str(), &actions, &attributes,
                                      argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
      ::close(pipeFds[0]);
      Fail(*movie, std::strerror(spawned));
      return;
    }
    worker.fd = pipeFds[0];
    worker.lastActivity = Clock::now();
    workers_.push_back(std::move(worker));
    terminal_.Draw(workers_);
  }

  // Waits a while for output, Ctrl+C and workers that ended.
  void Wait() {
    std::vector<pollfd> fds;
    if (settings_.interruptFd >= 0) fds.push_back({settings_.interruptFd, POLLIN, 0});
    for (const Worker& worker : workers_) {
      if (worker.fd >= 0) fds.push_back({worker.fd, POLLIN, 0});
    }
    // A worker whose output has ended is about to exit: look again soon.
    const bool ending = std::any_of(workers_.begin(), workers_.end(),
                                    [](const Worker& worker) { return worker.fd < 0; });
    ::poll(fds.data(), fds.size(), ending ? 2 : 100);
    for (const pollfd& fd : fds) {
      if (fd.revents == 0) continue;
      if (fd.fd == settings_.interruptFd) {
        Interrupt();
        continue;
      }
      for (Worker& worker : workers_) {
        if (worker.fd == fd.fd) Read(worker);
      }
    }
    const Clock::time_point now = Clock::now();
    for (auto it = workers_.begin(); it != workers_.end();) {
      int status = 0;
      if (it->fd < 0 && ::waitpid(it->pid, &status, WNOHANG) == it->pid) {
        Finish(*it, status);
        it = workers_.erase(it);
        terminal_.Draw(workers_);
        continue;
      }
      if (!it->killed && now - it->lastActivity > settings_.silenceLimit) {
        // No progress for too long: the worker hangs.
        ::kill(it->pid, SIGKILL);
        it->killed = true;
      }
      ++it;
    }
  }

  void Interrupt() {
    char bytes[16];
    while (::read(settings_.interruptFd, bytes, sizeof bytes) > 0) {
    }
    if (interrupted_) return;
    interrupted_ = true;
    terminal_.Line("Interrupted: stopping the capture");
    for (const Worker& worker : workers_) {
      ::kill(worker.pid, SIGTERM);
      ::kill(worker.pid, SIGCONT);  // one stopped from outside ends too
    }
  }

  void Read(Worker& worker) {
    char bytes[4096];
    const ssize_t got = ::read(worker.fd, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR) return;
    if (got <= 0) {
      ::close(worker.fd);
      worker.fd = -1;
      return;
    }
    worker.lastActivity = Clock::now();
    Feed(worker, bytes, static_cast<size_t>(got), terminal_, workers_);
  }

  void Finish(const Worker& worker, int status) {
    const Movie* movie = project_.MovieById(worker.movieId);
    if (!movie) return;
    CProject result("");
    if (WIFSIGNALED(status) && interrupted_ && WTERMSIG(status) == SIGTERM) {
      // Stopped before it could take the request: the movie stays waiting.
    } else if (WIFSIGNALED(status)) {
      Fail(*movie, strsignal(WTERMSIG(status)));
    } else if (!result.Load(worker.resultFile) || result.Movies().size() != 1) {
      Fail(*movie, "no result (exit status " + std::to_string(WEXITSTATUS(status)) + ")");
    } else {
      project_.UpdateMovie(movie->id(),
                           [&](Movie& into) { TakeResults(into, result.Movies().front()); });
    }
    ::unlink(worker.resultFile.c_str());
  }

  void Fail(const Movie& movie, const std::string& reason) {
    const std::string text = "Error capturing from '" + movie.path() + "' - " + reason;
    project_.AddMovieError(movie.id(), text);
    terminal_.Error(text);
  }

  const BatchSettings& settings_;
  CProject& project_;
  BatchTerminal terminal_;
  std::deque<Queued> queue_;
  std::list<Worker> workers_;
  bool interrupted_ = false;
};

}  // namespace

int WaitingMovies(const CProject& project) {
  return static_cast<int>(
      std::count_if(project.Movies().begin(), project.Movies().end(), [](const Movie& movie) {
        return movie.status == kMovieWaiting || movie.status == kMovieOpened;
      }));
}

bool RunBatch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err) {
  return Batch(settings, project, out, err).Run();
}

}  // namespace ombrelo::indexer
