#include "app/indexer/batch_channel.h"

#include <charconv>
#include <sstream>

#include "platform/debug_output.h"
#include "project/movie.h"

namespace ombrelo::indexer {

std::string ChannelMessage(std::string_view bytes) {
  std::string message = std::to_string(bytes.size());
  message += '\n';
  message += bytes;
  return message;
}

ChannelRead TakeChannelMessage(std::string& buffer, std::string* message) {
  const size_t end = buffer.find('\n');
  // A record is far shorter than a length of 18 digits would allow.
  constexpr size_t kMostDigits = 18;
  if (end == std::string::npos) {
    return buffer.size() > kMostDigits ? ChannelRead::malformed : ChannelRead::incomplete;
  }
  size_t length = 0;
  const auto [ptr, ec] = std::from_chars(buffer.data(), buffer.data() + end, length);
  if (end == 0 || end > kMostDigits || ec != std::errc() || ptr != buffer.data() + end) {
    return ChannelRead::malformed;
  }
  if (buffer.size() - end - 1 < length) return ChannelRead::incomplete;
  message->assign(buffer, end + 1, length);
  buffer.erase(0, end + 1 + length);
  return ChannelRead::message;
}

std::string MovieRecord(const Movie& movie) { return movie.ToXml(); }

bool ReadMovieRecord(const std::string& text, Movie* movie) {
  std::istringstream in(text);
  try {
    movie->ReadXml(in);
  } catch (const std::exception& e) {
    DebugOutput(std::string("Unreadable movie record: ") + e.what() + "\n");
    return false;
  }
  return true;
}

void TakeResults(Movie& into, const Movie& from) {
  into.length = from.length;
  into.size = from.size;
  into.error = from.error;
  into.status = from.status;
  into.videoFormat = from.videoFormat;
  into.html = from.html;
  into.ipl = from.ipl;
  into.indexphoto = from.indexphoto;
  into.indexphotoParts = from.indexphotoParts;
  into.images = from.images;
}

}  // namespace ombrelo::indexer
