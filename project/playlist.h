#pragma once
// The image playlist of a movie (".ipl"): its thumbnails in order with the
// frame number and time of each, for an image viewer. The file declares
// iso-8859-1 and holds it: values are written by EncodeValue (tag_reader.h)
// for Latin-1; lines end with a single line feed.
#include <cstdint>
#include <string>
#include <vector>

namespace ombrelo {

class Movie;

// The whole playlist text of a movie; playlistPath is written into its
// "<root>" line.
std::string PlaylistText(const std::string& playlistPath, const Movie& movie);

// Writes the playlist of the movie, creating the folders along the path and
// replacing an existing file once the new one is complete: the one playlist
// writer of the run and of the regeneration. Any thread. False when the file
// cannot be written (nothing is replaced then); error receives the errno.
bool WritePlaylist(const std::string& playlistPath, const Movie& movie, int* error = nullptr);

// One picture of a playlist as read back.
struct PlaylistEntry {
  std::string file;    // as written: the thumbnail's full path
  std::string source;  // the video
  int32_t frame = 0;
  std::string time;  // "h:mm:ss:mmm" as written, "" when absent
};

// Reads playlist text as WritePlaylist writes it. The file is not well-formed
// XML (unescaped values, the "<root>" line), so it is read line by line: each
// value is what stands between its tags on its own line. Text that is not
// DecodeValue reads each value: Latin-1 bytes and references of this version,
// the UTF-8 bytes older versions wrote. Values come back as the program holds
// them (UTF-8, file names as their bytes). An entry without a file is skipped. False, with a
// message, when the text is no image playlist.
bool ReadPlaylistText(const std::string& text, std::vector<PlaylistEntry>* entries,
                      std::string* error);

}  // namespace ombrelo
