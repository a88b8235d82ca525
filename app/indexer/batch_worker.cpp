#include "app/indexer/batch_worker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/indexer/batch_channel.h"
#include "app/indexer/terminal_port.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::indexer {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitUsage = 2;

// The terminal port of a worker: on progress a carriage return, so that the
// batch hears the worker is alive (and gets its progress line). A few times
// a second is enough for that; one a frame would only keep both processes
// busy with each other.
class WorkerPort : public TerminalPort {
 public:
  using TerminalPort::TerminalPort;
  void ShowProgress(int32_t movieId, int perMille) override {
    TerminalPort::ShowProgress(movieId, perMille);
    Tick();
  }
  void ShowFrame(const FrameCopy& frame) override {
    TerminalPort::ShowFrame(frame);
    Tick();
  }
  // The batch sums up the run of all its workers.
  void RunCompleted(int, int) override {}

 private:
  void Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ < kTickInterval) return;
    lastTick_ = now;
    std::fputc('\r', stdout);
    std::fflush(stdout);
  }
  static constexpr std::chrono::milliseconds kTickInterval{100};
  std::chrono::steady_clock::time_point lastTick_{};
};

// The batch's stop request (SIGTERM): the handler only writes a byte into a
// pipe, which the event loop and the wait for the next movie watch.
int g_stopPipe[2] = {-1, -1};

void OnStop(int) {
  const int saved = errno;
  const char byte = 1;
  const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
  (void)written;
  errno = saved;
}

bool InstallStopHandler() {
  if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

bool StopRequested() {
  pollfd fd{g_stopPipe[0], POLLIN, 0};
  return g_stopPipe[0] >= 0 && ::poll(&fd, 1, 0) > 0;
}

// Waits for the next movie's record. False when the batch closed the
// channel, asked to stop, or sent what is no message.
bool NextRequest(std::string& buffer, std::string* record) {
  for (;;) {
    switch (TakeChannelMessage(buffer, record)) {
      case ChannelRead::message:
        return true;
      case ChannelRead::malformed:
        std::fprintf(stderr, "ombrelo-index: %s\n",
                     Translate("Indexer", "the batch sent what is no request").c_str());
        return false;
      case ChannelRead::incomplete:
        break;
    }
    pollfd fds[2] = {{kWorkerChannelFd, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
    const int ready = ::poll(fds, g_stopPipe[0] >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN)) return false;
    char bytes[65536];
    const ssize_t got = ::recv(kWorkerChannelFd, bytes, sizeof bytes, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer.append(bytes, static_cast<size_t>(got));
  }
}

bool Answer(const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n =
        ::send(kWorkerChannelFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// A test may ask a worker to end by a signal as it starts a movie: the
// environment variable OMBRELO_TEST_WORKER_SIGNAL holds "<signal
// number>:<movie file name>".
void RaiseTestSignal(const std::string& title) {
  const char* fault = std::getenv("OMBRELO_TEST_WORKER_SIGNAL");
  if (!fault) return;
  const std::string text = fault;
  const size_t colon = text.find(':');
  if (colon == std::string::npos || text.substr(colon + 1) != title) return;
  // The signal's own action, not a handler's (a sanitizer's, say), so the
  // worker dies of it as a crashing one does.
  const int signal = std::atoi(text.substr(0, colon).c_str());
  if (signal != SIGSTOP) ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

int ServeBatch(const std::string& settingsFile, bool interactive, CProject& project,
               CaptureEngine& engine, PageGeneration& pages) {
  // The worker ends with the batch, however the batch ends.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (!project.Load(settingsFile)) {
    std::fprintf(stderr, "ombrelo-index: %s\n",
                 Translate("Indexer", "cannot read the batch's project").c_str());
    return kExitUsage;
  }
  project.ClearMovies();
  InstallStopHandler();

  WorkerPort port(stdout, stderr, interactive);
  WorkflowController controller(project, engine, pages);
  port.Follow(controller);
  QEventLoop loop;
  port.OnRunFinished([&loop] { loop.quit(); });
  bool stopping = false;
  QSocketNotifier stops(g_stopPipe[0], QSocketNotifier::Read);
  stops.setEnabled(g_stopPipe[0] >= 0);
  QObject::connect(&stops, &QSocketNotifier::activated, [&] {
    char bytes[16];
    while (::read(g_stopPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (stopping) return;
    stopping = true;
    port.Note(Translate("Indexer", "Interrupted: stopping the capture"));
    controller.EndRun();
    if (!controller.RunActive()) loop.quit();
  });

  std::string buffer;
  std::string request;
  while (!stopping && !StopRequested() && NextRequest(buffer, &request)) {
    Movie record;
    if (!ReadMovieRecord(request, &record)) {
      std::fprintf(stderr, "ombrelo-index: %s\n",
                   Translate("Indexer", "the batch sent no movie record").c_str());
      return kExitUsage;
    }
    // Each movie is a run of its own over a project that holds it alone, so
    // that the thousandth costs what the first did.
    project.ClearMovies();
    project.AddMovie(record.path());
    const Movie& movie = *project.MovieById(project.Movies().front().id());
    project.UpdateMovie(movie.id(), [&](Movie& into) { TakeResults(into, record); });
    RaiseTestSignal(movie.Title());

    controller.Start();
    if (controller.RunActive()) loop.exec();
    port.EndProgressLine();
    std::fflush(stdout);
    // What the movie's run left in the temporary folder goes with it, as it
    // would with a process of its own.
    project.ClearTemporaryFolder();
    if (!Answer(ChannelMessage(MovieRecord(project.Movies().front())))) break;
  }
  project.ClearMovies();
  return kExitDone;
}

}  // namespace ombrelo::indexer
