#include "project/playlist.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/translate.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/tag_reader.h"

namespace ombrelo {

std::string PlaylistText(const std::string& playlistPath, const Movie& movie) {
  std::string text = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n";
  text += "<imageplaylist>\n";
  const auto value = [](const std::string& raw) { return EncodeValue(raw, Charset::latin1); };
  text += "\t<root>" + value(playlistPath) + "<root>\n";
  for (const ImageEntry& image : movie.images) {
    const TimeParts t = SplitTime(image.time);
    char time[80];
    std::snprintf(time, sizeof time, "%d:%02d:%02d:%03d", static_cast<int>(t.hours),
                  static_cast<int>(t.minutes), static_cast<int>(t.seconds),
                  static_cast<int>(t.milliseconds));
    text += "<entry>\n";
    text += "\t<file>" + value(image.path) + "</file>\n";
    text += "\t<source>" + value(movie.path()) + "</source>\n";
    text += "\t<frame>" + std::to_string(static_cast<int32_t>(image.frame)) + "</frame>\n";
    text += std::string("\t<time>") + time + "</time>\n";
    text += "</entry>\n";
  }
  text += "</imageplaylist>\n";
  return text;
}

bool WritePlaylist(const std::string& playlistPath, const Movie& movie, int* error) {
  const std::string folder = paths::FolderOf(playlistPath);
  if (!folder.empty()) paths::CreateFolders(folder);
  int why = 0;
  if (WriteFileReplacing(playlistPath, PlaylistText(playlistPath, movie), &why) == WriteResult::ok)
    return true;
  if (error) *error = why != 0 ? why : EIO;
  return false;
}

namespace {

// The value of "<tag>value</tag>" when the line is that element, else false.
// The closing tag is the last one on the line, so a value may hold the tag's
// own text.
bool ElementValue(const std::string& line, const std::string& tag, std::string* value) {
  const std::string open = "<" + tag + ">";
  const std::string close = "</" + tag + ">";
  if (line.rfind(open, 0) != 0) return false;
  const size_t end = line.rfind(close);
  if (end == std::string::npos || end < open.size()) return false;
  *value = DecodeValue(line.substr(open.size(), end - open.size()), Charset::latin1);
  return true;
}

}  // namespace

bool ReadPlaylistText(const std::string& text, std::vector<PlaylistEntry>* entries,
                      std::string* error) {
  entries->clear();
  if (text.find("<imageplaylist>") == std::string::npos) {
    *error = Translate("Playlist", "This is no image playlist (no <imageplaylist> element).");
    return false;
  }
  PlaylistEntry entry;
  bool inEntry = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    std::string value;
    if (line == "<entry>") {
      entry = PlaylistEntry();
      inEntry = true;
    } else if (line == "</entry>") {
      if (inEntry && !entry.file.empty()) entries->push_back(entry);
      inEntry = false;
    } else if (!inEntry) {
      continue;
    } else if (ElementValue(line, "file", &value)) {
      entry.file = value;
    } else if (ElementValue(line, "source", &value)) {
      entry.source = value;
    } else if (ElementValue(line, "frame", &value)) {
      entry.frame = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10));
    } else if (ElementValue(line, "time", &value)) {
      entry.time = value;
    }
  }
  return true;
}

}  // namespace ombrelo
