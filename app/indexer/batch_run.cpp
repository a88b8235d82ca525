#include "app/indexer/batch_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <vector>

#include "app/indexer/batch_channel.h"
#include "app/indexer/terminal_port.h"
#include "platform/debug_output.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"

extern char** environ;

namespace ombrelo::indexer {

namespace {

using Clock = std::chrono::steady_clock;

// One worker process and what the batch knows of it.
struct Worker {
  pid_t pid = -1;
  int outFd = -1;        // the worker's standard output, -1 once it ended
  int channelFd = -1;    // the batch's end of the worker's channel, -1 once it ended
  bool closing = false;  // told that no further movie comes (its channel shut for writing)
  int32_t movieId = -1;  // the movie it indexes, -1 while it waits for one
  std::string moviePath;
  std::string outgoing;  // request bytes not yet sent
  std::string incoming;  // answer bytes not yet a whole message
  std::string pending;   // output not yet ended by a line feed or return
  std::string live;      // the worker's latest progress line
  Clock::time_point lastActivity;
  bool killed = false;

  bool Busy() const { return movieId >= 0; }
  bool Ended() const { return outFd < 0 && channelFd < 0; }
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
    int lines = 0;
    for (const Worker& worker : workers) {
      if (!worker.Busy()) continue;
      if (lines++ > 0) block += '\n';
      block +=
          FitColumns(TerminalSafe(worker.live.empty() ? worker.moviePath : worker.live), columns);
    }
    if (drawn_ > 0 && block == block_) return;
    Clear();
    if (lines == 0) return;
    block_ = block;
    drawn_ = lines;
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

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

class Batch {
 public:
  Batch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err)
      : settings_(settings), project_(project), terminal_(out, err, settings.interactive) {}

  bool Run() {
    // The workers take the settings from a file; each movie comes with its
    // own record.
    if (!project_.SaveWithoutMovies(SettingsFile())) {
      terminal_.Error("ombrelo-index: " +
                      Translate("Indexer", "cannot write the batch's project file"));
      return false;
    }
    for (const Movie& movie : project_.Movies()) {
      if (movie.status == kMovieWaiting || movie.status == kMovieOpened) {
        queue_.push_back(movie.id());
      }
    }
    for (;;) {
      Dispatch();
      if (workers_.empty()) break;
      Wait();
    }
    terminal_.Clear();
    return interrupted_;
  }

 private:
  std::string SettingsFile() const { return settings_.workFolder + "batch.obx"; }
  bool MoviesToHandOut() const { return !interrupted_ && !queue_.empty(); }

  // Hands the waiting movies to the idle workers, starts workers while
  // movies wait and fewer than the jobs run, and tells idle workers to end
  // once none waits.
  void Dispatch() {
    for (Worker& worker : workers_) {
      if (!worker.Busy() && !worker.closing && worker.channelFd >= 0 && MoviesToHandOut()) {
        Assign(worker);
      }
    }
    while (MoviesToHandOut() && Running() < settings_.jobs) {
      if (Worker* worker = StartWorker()) Assign(*worker);
    }
    if (MoviesToHandOut()) return;
    for (Worker& worker : workers_) {
      if (!worker.Busy() && !worker.closing && worker.channelFd >= 0) {
        ::shutdown(worker.channelFd, SHUT_WR);
        worker.closing = true;
      }
    }
  }

  int Running() const {
    return static_cast<int>(std::count_if(workers_.begin(), workers_.end(), [](const Worker& w) {
      return w.channelFd >= 0 && !w.closing;
    }));
  }

  // The next waiting movie still in the project (null when none is).
  const Movie* NextMovie() {
    while (!queue_.empty()) {
      const int32_t id = queue_.front();
      queue_.pop_front();
      if (const Movie* movie = project_.MovieById(id)) return movie;
    }
    return nullptr;
  }

  void Assign(Worker& worker) {
    const Movie* movie = NextMovie();
    if (!movie) return;
    worker.movieId = movie->id();
    worker.moviePath = movie->path();
    worker.live.clear();
    worker.outgoing += ChannelMessage(MovieRecord(*movie));
    worker.lastActivity = Clock::now();
    Send(worker);
    terminal_.Draw(workers_);
  }

  // Starts a worker; null when it cannot be started (the next waiting movie
  // then fails with the reason, as its worker would have).
  Worker* StartWorker() {
    int outFds[2];
    int channelFds[2];
    if (::pipe2(outFds, O_CLOEXEC) != 0) {
      FailNext(std::strerror(errno));
      return nullptr;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channelFds) != 0) {
      FailNext(std::strerror(errno));
      ::close(outFds[0]);
      ::close(outFds[1]);
      return nullptr;
    }
    std::vector<std::string> args = {settings_.program, kWorkerProjectOption, SettingsFile()};
    if (settings_.threadsPerWorker > 0) {
      args.emplace_back(kWorkerThreadsOption);
      args.push_back(std::to_string(settings_.threadsPerWorker));
    }
    if (settings_.skipBlank) args.emplace_back(kSkipBlankOption);
    if (settings_.allowMany) args.emplace_back(kAllowManyOption);
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
    posix_spawn_file_actions_adddup2(&actions, outFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, channelFds[1], kWorkerChannelFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: Ctrl+C reaches the workers only through this
    // process, which stops each of them once.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, settings_.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFds[1]);
    ::close(channelFds[1]);
    if (spawned != 0) {
      ::close(outFds[0]);
      ::close(channelFds[0]);
      FailNext(std::strerror(spawned));
      return nullptr;
    }
    DebugOutputF("Batch worker %d started\n", static_cast<int>(pid));
    // Only this end: the worker reads its requests blocking.
    ::fcntl(channelFds[0], F_SETFL, ::fcntl(channelFds[0], F_GETFL) | O_NONBLOCK);
    Worker& worker = workers_.emplace_back();
    worker.pid = pid;
    worker.outFd = outFds[0];
    worker.channelFd = channelFds[0];
    worker.lastActivity = Clock::now();
    return &worker;
  }

  void FailNext(const std::string& reason) {
    if (const Movie* movie = NextMovie()) Fail(*movie, reason);
  }

  // Waits a while for output, answers, Ctrl+C and workers that ended.
  void Wait() {
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;  // of each descriptor, null for Ctrl+C's
    if (settings_.interruptFd >= 0) {
      fds.push_back({settings_.interruptFd, POLLIN, 0});
      owners.push_back(nullptr);
    }
    for (Worker& worker : workers_) {
      if (worker.outFd >= 0) {
        fds.push_back({worker.outFd, POLLIN, 0});
        owners.push_back(&worker);
      }
      if (worker.channelFd >= 0) {
        const short events = POLLIN | (worker.outgoing.empty() ? 0 : POLLOUT);
        fds.push_back({worker.channelFd, events, 0});
        owners.push_back(&worker);
      }
    }
    // A worker whose output has ended is about to exit: look again soon.
    const bool ending =
        std::any_of(workers_.begin(), workers_.end(), [](const Worker& w) { return w.Ended(); });
    ::poll(fds.data(), fds.size(), ending ? 2 : 100);
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      Worker* worker = owners[i];
      if (!worker) {
        Interrupt();
      } else if (fds[i].fd == worker->outFd) {
        ReadOutput(*worker);
      } else if (fds[i].fd == worker->channelFd) {
        if (fds[i].revents & POLLOUT) Send(*worker);
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadAnswers(*worker);
      }
    }
    const Clock::time_point now = Clock::now();
    for (auto it = workers_.begin(); it != workers_.end();) {
      int status = 0;
      if (it->Ended() && ::waitpid(it->pid, &status, WNOHANG) == it->pid) {
        Finish(*it, status);
        it = workers_.erase(it);
        terminal_.Draw(workers_);
        continue;
      }
      if (it->Busy() && !it->killed && now - it->lastActivity > settings_.silenceLimit) {
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
    terminal_.Line(Translate("Indexer", "Interrupted: stopping the capture"));
    for (const Worker& worker : workers_) {
      if (!worker.Busy()) continue;
      ::kill(worker.pid, SIGTERM);
      ::kill(worker.pid, SIGCONT);  // one stopped from outside ends too
    }
  }

  void ReadOutput(Worker& worker) {
    char bytes[4096];
    const ssize_t got = ::read(worker.outFd, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR) return;
    if (got <= 0) {
      CloseFd(worker.outFd);
      return;
    }
    worker.lastActivity = Clock::now();
    Feed(worker, bytes, static_cast<size_t>(got), terminal_, workers_);
  }

  void Send(Worker& worker) {
    while (!worker.outgoing.empty()) {
      const ssize_t sent =
          ::send(worker.channelFd, worker.outgoing.data(), worker.outgoing.size(), MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR) continue;
        // EAGAIN: the rest when the worker has read more. Otherwise the
        // worker has gone, which its end shows.
        if (errno != EAGAIN) worker.outgoing.clear();
        return;
      }
      worker.outgoing.erase(0, static_cast<size_t>(sent));
    }
  }

  void ReadAnswers(Worker& worker) {
    char bytes[65536];
    const ssize_t got = ::recv(worker.channelFd, bytes, sizeof bytes, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
      CloseFd(worker.channelFd);
      return;
    }
    worker.incoming.append(bytes, static_cast<size_t>(got));
    std::string message;
    for (;;) {
      const ChannelRead read = TakeChannelMessage(worker.incoming, &message);
      if (read == ChannelRead::incomplete) return;
      if (read == ChannelRead::malformed || !worker.Busy()) {
        // Not what a worker says: it is not trusted with a further movie.
        ::kill(worker.pid, SIGKILL);
        CloseFd(worker.channelFd);
        return;
      }
      TakeAnswer(worker, message);
    }
  }

  void TakeAnswer(Worker& worker, const std::string& record) {
    const Movie* movie = project_.MovieById(worker.movieId);
    worker.movieId = -1;
    worker.live.clear();
    if (!movie) return;
    Movie result;
    if (!ReadMovieRecord(record, &result) || result.path() != movie->path()) {
      Fail(*movie, Translate("Indexer", "no result (an unreadable answer)"));
      return;
    }
    project_.UpdateMovie(movie->id(), [&](Movie& into) { TakeResults(into, result); });
  }

  // A worker has ended: a movie it had not answered fails by how it ended.
  void Finish(Worker& worker, int status) {
    const Movie* movie = worker.Busy() ? project_.MovieById(worker.movieId) : nullptr;
    worker.movieId = -1;
    if (!movie) return;
    if (interrupted_ && (WIFSIGNALED(status) ? WTERMSIG(status) == SIGTERM : true)) {
      // Stopped before it could take the movie: the movie stays waiting.
    } else if (WIFSIGNALED(status)) {
      Fail(*movie, strsignal(WTERMSIG(status)));
    } else {
      Fail(*movie, FillIn(Translate("Indexer", "no result (exit status %1)"),
                          {std::to_string(WEXITSTATUS(status))}));
    }
  }

  void Fail(const Movie& movie, const std::string& reason) {
    const std::string text = FillIn(
        Translate("WorkflowController", "Error capturing from '%1' - %2"), {movie.path(), reason});
    project_.AddMovieError(movie.id(), text);
    terminal_.Error(text);
  }

  const BatchSettings& settings_;
  CProject& project_;
  BatchTerminal terminal_;
  std::deque<int32_t> queue_;  // ids of the movies not handed out yet, in list order
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
