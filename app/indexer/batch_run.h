#pragma once
// Indexing many movies at once. A few worker processes (this program in a
// hidden mode) index the waiting movies, each one movie after the other: the
// batch hands a worker a movie's record, the worker indexes the movie and
// answers with the record as the run left it, and gets the next movie. The
// answers are merged into the project, whose list order the summary keeps.
// A worker that dies or stops making progress fails only the movie it had;
// a new worker takes its place while movies are waiting.
#include <chrono>
#include <cstdio>
#include <string>

namespace ombrelo {
class CProject;
}  // namespace ombrelo

namespace ombrelo::indexer {

struct BatchSettings {
  int jobs = 2;              // workers at the same time
  std::string program;       // the executable the workers run
  std::string workFolder;    // the batch's settings file
  bool interactive = false;  // draw one line per running movie in place
  // Threads each worker's decoding and conversion may use (the cores shared
  // out among the workers); 0: the pipeline's own choice.
  int threadsPerWorker = 0;
  bool skipBlank = false;  // the workers replace blank samples
  bool allowMany = false;  // the workers take any number of thumbnails of a video
  int interruptFd = -1;    // readable once Ctrl+C was pressed
  // A worker that writes nothing for this long while it indexes a movie is
  // killed.
  std::chrono::milliseconds silenceLimit{std::chrono::minutes(10)};
};

// The number of the project's movies a run would index (status 0 or 1).
int WaitingMovies(const CProject& project);

// Indexes the project's waiting movies in workers. Progress on out, errors
// on err. Returns true when the run was interrupted (no further movie was
// handed out, the running ones were stopped and their results merged; the
// movies not begun stay waiting).
bool RunBatch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err);

}  // namespace ombrelo::indexer
