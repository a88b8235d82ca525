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
#include <string_view>

namespace ombrelo {
class CProject;
class Movie;
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
  int interruptFd = -1;      // readable once Ctrl+C was pressed
  // A worker that writes nothing for this long while it indexes a movie is
  // killed.
  std::chrono::milliseconds silenceLimit{std::chrono::minutes(10)};
};

// The hidden command line of a worker: the batch's settings file, and how
// it should show its progress and how many threads it may use.
inline constexpr const char* kWorkerProjectOption = "--worker-project";
inline constexpr const char* kWorkerInteractiveOption = "--worker-interactive";
inline constexpr const char* kWorkerThreadsOption = "--worker-threads";
// A worker's descriptor of its channel to the batch, a stream socket: the
// movies to index come in, their records go back, one message for each. The
// progress a worker shows goes to its standard output, which the batch reads
// as the sign that it is alive.
inline constexpr int kWorkerChannelFd = 3;

// A message on the channel: its length in decimal digits, a line feed and
// its bytes (a movie record as a project file holds it).
std::string ChannelMessage(std::string_view bytes);
enum class ChannelRead { incomplete, message, malformed };
// Takes the first whole message off the front of buffer.
ChannelRead TakeChannelMessage(std::string& buffer, std::string* message);

// A movie record in a message, and back. ReadMovieRecord gives false for
// text that is not one record.
std::string MovieRecord(const Movie& movie);
bool ReadMovieRecord(const std::string& text, Movie* movie);
// The indexing state and results of a record (status, properties, error,
// outputs, images, capture settings) replace those of another; the
// receiving record keeps its identity.
void TakeResults(Movie& into, const Movie& from);

// The number of the project's movies a run would index (status 0 or 1).
int WaitingMovies(const CProject& project);

// Indexes the project's waiting movies in workers. Progress on out, errors
// on err. Returns true when the run was interrupted (no further movie was
// handed out, the running ones were stopped and their results merged; the
// movies not begun stay waiting).
bool RunBatch(const BatchSettings& settings, CProject& project, std::FILE* out, std::FILE* err);

}  // namespace ombrelo::indexer
