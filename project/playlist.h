#pragma once
// The image playlist of a movie (".ipl"): its thumbnails in order with the
// frame number and time of each, for an image viewer. Values are written as
// they stand; lines end with a single line feed.
#include <cstdint>
#include <functional>
#include <string>

namespace ombrelo {

class CProject;
class Movie;

// The whole playlist text of a movie; playlistPath is written into its
// "<root>" line.
std::string PlaylistText(const std::string& playlistPath, const Movie& movie);

// Writes the playlist, replacing an existing file once the new one is
// complete. False when the file cannot be written (nothing is replaced then).
bool WritePlaylist(const std::string& playlistPath, const Movie& movie);

// The workflow's playlist step for the movie with the given id: creates the
// folders along the path, writes the playlist and on success sets the movie's
// ipl. On failure calls stopRun (when given; the workflow stops a running
// indexing there), then shows the message "Failed to open playlist file for
// writing" (caption "Error", error icon, owned by the main window); ipl stays.
// An unknown id writes nothing and gives false (the lookup shows its message).
bool SavePlaylist(CProject& project, int32_t movieId, const std::string& playlistPath,
                  const std::function<void()>& stopRun = {});

}  // namespace ombrelo
