#include "project/playlist.h"

#include <cstdio>

#include "platform/paths.h"
#include "project/file_write.h"
#include "project/message_port.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo {

std::string PlaylistText(const std::string& playlistPath, const Movie& movie) {
  std::string text = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n";
  text += "<imageplaylist>\n";
  text += "\t<root>" + playlistPath + "<root>\n";
  for (const ImageEntry& image : movie.images) {
    const TimeParts t = SplitTime(image.time);
    char time[80];
    std::snprintf(time, sizeof time, "%d:%02d:%02d:%03d", static_cast<int>(t.hours),
                  static_cast<int>(t.minutes), static_cast<int>(t.seconds),
                  static_cast<int>(t.milliseconds));
    text += "<entry>\n";
    text += "\t<file>" + image.path + "</file>\n";
    text += "\t<source>" + movie.path() + "</source>\n";
    text += "\t<frame>" + std::to_string(static_cast<int32_t>(image.frame)) + "</frame>\n";
    text += std::string("\t<time>") + time + "</time>\n";
    text += "</entry>\n";
  }
  text += "</imageplaylist>\n";
  return text;
}

bool WritePlaylist(const std::string& playlistPath, const Movie& movie) {
  return WriteFileReplacing(playlistPath, PlaylistText(playlistPath, movie)) == WriteResult::ok;
}

bool SavePlaylist(CProject& project, int32_t movieId, const std::string& playlistPath,
                  const std::function<void()>& stopRun) {
  const std::string folder = paths::FolderOf(playlistPath);
  if (!folder.empty()) paths::CreateFolders(folder);
  Movie* movie = project.FindMovieForWrite(movieId);
  if (!movie) return false;
  if (WritePlaylist(playlistPath, *movie)) {
    movie->SetIpl(playlistPath);
    return true;
  }
  if (stopRun) stopRun();
  ShowMessage("Error", "Failed to open playlist file for writing", MessageIcon::error,
              MessageOwner::mainWindow);
  return false;
}

}  // namespace ombrelo
