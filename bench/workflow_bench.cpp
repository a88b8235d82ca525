// ombrelo-workflow-bench: the indexing workflow on large projects and under
// load.
//
//   queue     time per movie of a run over 1,000 and over 100,000 waiting
//             movies that all fail to open (files that do not exist); the
//             goal is that the larger project costs at most 1.5 times as
//             much per movie.
//
// usage: ombrelo-workflow-bench [queue]
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/page_generation.h"
#include "app/workflow_controller.h"
#include "app/workflow_port.h"
#include "engine/capture_engine.h"
#include "project/project.h"

namespace {

using namespace ombrelo;
using Clock = std::chrono::steady_clock;

// Shows nothing; counts the movies that could not be opened.
class QuietPort : public WorkflowPort {
 public:
  void SetStatusText(const std::string&) override {}
  void EnableCommands(const CommandStates&) override {}
  void MovieStarted(const Movie&) override {}
  void MovieNotOpened(const Movie&, const std::string&) override { ++notOpened; }
  void ShowProgress(int32_t, int) override {}
  void ShowFrame(const FrameCopy&) override {}
  void MovieFinished(const Movie&) override {}
  void IndexPhotoFinished(const Movie&, bool) override {}
  void RunFinished() override {}

  int64_t notOpened = 0;
};

// Seconds per movie of one run over `count` movies that cannot be opened.
double SecondsPerFailingMovie(int count) {
  CProject project("/nonexistent-ombrelo-bench/");
  for (int i = 0; i < count; ++i) {
    project.AddMovie("/nonexistent-ombrelo-bench/movie" + std::to_string(i) + ".mp4");
  }
  QuietPort port;
  CaptureEngine engine;
  WorkflowController controller(port, project, engine, XsltPageGeneration());
  const auto start = Clock::now();
  controller.Start();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (port.notOpened != count) {
    std::fprintf(stderr, "expected %d failed movies, saw %lld\n", count,
                 static_cast<long long>(port.notOpened));
    std::exit(1);
  }
  return seconds / count;
}

int QueueBench() {
  const double small = SecondsPerFailingMovie(1000);
  const double large = SecondsPerFailingMovie(100000);
  const double ratio = large / small;
  std::printf("failing movies   1,000: %8.2f us per movie\n", small * 1e6);
  std::printf("failing movies 100,000: %8.2f us per movie\n", large * 1e6);
  std::printf("ratio %.2f (goal: at most 1.5) %s\n", ratio, ratio <= 1.5 ? "ok" : "MISSED");
  return ratio <= 1.5 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  double load[1] = {0};
  if (getloadavg(load, 1) == 1) std::printf("machine load %.2f\n", load[0]);
  const std::string what = argc > 1 ? argv[1] : "queue";
  if (what == "queue") return QueueBench();
  std::fprintf(stderr, "usage: ombrelo-workflow-bench [queue]\n");
  return 2;
}
