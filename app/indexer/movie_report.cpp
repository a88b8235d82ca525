#include "app/indexer/movie_report.h"

#include <cstdint>

#include "app/indexer/terminal_port.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo::indexer {

namespace {


std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

const char* StatusWord(int32_t status) {
  switch (status) {
    case kMovieWaiting:
      return "waiting";
    case kMovieOpened:
      return "stopped";
    case kMovieDone:
      return "done";
    case kMovieFailed:
      return "failed";
  }
  return "unknown";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  char escape[8];
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, &code);
    const auto byte = static_cast<unsigned char>(text[i]);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\udc%02x", byte);
      out += escape;
      ++i;
      continue;
    }
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out + "\"";
}

std::string MovieJson(const Movie& movie) {
  std::string outputs;
  const auto output = [&outputs](const char* name, const std::string& path) {
    if (path.empty()) return;
    if (!outputs.empty()) outputs += ',';
    outputs += JsonString(name) + ":" + JsonString(path);
  };
  if (!movie.images.empty()) output("thumbnails", paths::FolderOf(movie.images.front().path));
  output("playlist", movie.ipl);
  output("webpage", movie.html);
  output("indexphoto", movie.indexphoto);
  return "{\"path\":" + JsonString(movie.path()) +
         ",\"status\":" + JsonString(StatusWord(movie.status)) +
         ",\"images\":" + std::to_string(movie.images.size()) + ",\"outputs\":{" + outputs +
         "},\"error\":" + (movie.error.empty() ? std::string("null") : JsonString(movie.error)) +
         "}";
}

void PrintSummary(const CProject& project, std::FILE* out) {
  for (const Movie& movie : project.Movies()) {
    std::string line = movie.path() + ": " + StatusWord(movie.status) + ", " +
                       std::to_string(movie.images.size()) +
                       (movie.images.size() == 1 ? " image" : " images");
    if (!movie.images.empty()) line += ", thumbnails " + paths::FolderOf(movie.images.front().path);
    if (!movie.ipl.empty()) line += ", playlist " + movie.ipl;
    if (!movie.html.empty()) line += ", web page " + movie.html;
    if (!movie.indexphoto.empty()) line += ", index photo " + movie.indexphoto;
    if (!movie.error.empty()) line += ", error: " + OneLine(movie.error);
    std::fprintf(out, "%s\n", TerminalSafe(line).c_str());
  }
  std::fflush(out);
}

void PrintJson(const CProject& project, std::FILE* out) {
  for (const Movie& movie : project.Movies()) std::fprintf(out, "%s\n", MovieJson(movie).c_str());
  std::fflush(out);
}

}  // namespace ombrelo::indexer
