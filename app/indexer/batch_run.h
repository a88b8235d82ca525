#pragma once
// Indexing many movies at once. Each waiting movie is indexed by a worker
// process of its own (this program re-run on that one movie), up to a given
// number at a time; each worker's result, the movie's record as a project
// file holds it, is merged into the project in list order. A worker that
// dies or stops making progress fails only its own movie.
#include <chrono>
#include <cstdio>
#include <string>

namespace ombrelo {
class CProject;
}

namespace ombrelo::indexer {

struct BatchSettings {
  int jobs = 2;              // workers at the same time
  std::string program;       // the executable the workers run
  std::string workFolder;    // the batch's project and the workers' results
  bool interactive = false;  // draw one line per running movie in place
  // Threads each worker's decoding and conversion may use (the cores shared
  // out among the workers); 0: the pipeline's own choice.
  int threadsPerWorker = 0;
  int interruptFd = -1;      // readable once Ctrl+C was pressed
  // A worker that writes nothing for this long is killed.
  std::chrono::milliseconds silenceLimit{std::chrono::minutes(10)};
};

// The hidden command line of a worker.
inline constexpr const char* kWorkerProjectOption = "--worker-project";
inline constexpr const char* kWorkerMovieOption = "--worker-movie";
inline constexpr const char* kWorkerResultOption = "--worker-result";
inline constexpr const char* kWorkerInteractiveOption = "--worker-interactive";
inline constexpr const char* kWorkerThreadsOption = "--worker-threads";

// The number of the project's movies a run would index (status 0 or 1).
int WaitingMovies(const CProject& project);

// Indexes the project's waiting movies in workers. Progress on out, errors
// on err. Returns true when the run was interrupted (no further worker was
// started, the running ones were stopped and their results merged).
bool RunBatch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err);

}  // namespace ombrelo::indexer
