#pragma once
// What a batch and its workers say to each other (see batch_run.h): the
// worker's command line, and the messages on its channel.
#include <string>
#include <string_view>

namespace ombrelo {
class Movie;
}  // namespace ombrelo

namespace ombrelo::indexer {

// The hidden command line of a worker: the batch's settings file, and how
// it should show its progress and how many threads it may use.
inline constexpr const char* kWorkerProjectOption = "--worker-project";
inline constexpr const char* kWorkerInteractiveOption = "--worker-interactive";
inline constexpr const char* kWorkerThreadsOption = "--worker-threads";
inline constexpr const char* kSkipBlankOption = "--skip-blank";
inline constexpr const char* kAllowManyOption = "--allow-many-thumbnails";
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
// outputs, images) replace those of another; the receiving record keeps its
// identity.
void TakeResults(Movie& into, const Movie& from);

}  // namespace ombrelo::indexer
