#include "app/indexer/movie_report.h"

#include <algorithm>
#include <cstdint>

#include "app/indexer/terminal_port.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo::indexer {

namespace {

// The status word of the summary, for people (the JSON keeps StatusWord).
std::string StatusText(int32_t status) {
  switch (status) {
    case kMovieWaiting:
      return Translate("Indexer", "waiting", "a video's status");
    case kMovieOpened:
      return Translate("Indexer", "stopped", "a video's status");
    case kMovieDone:
      return Translate("Indexer", "done", "a video's status");
    case kMovieFailed:
      return Translate("Indexer", "failed", "a video's status");
  }
  return Translate("Indexer", "unknown", "a video's status");
}

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
    const int images = static_cast<int>(std::min<size_t>(movie.images.size(), INT32_MAX));
    std::string line = FillIn(Translate("Indexer", "%1: %2, %3", "a video: its status, its images"),
                              {movie.path(), StatusText(movie.status), ImagesText(images)});
    // Each output that was made, then the error, as items of one list.
    const auto add = [&line](const std::string& item) { line += ", " + item; };
    if (!movie.images.empty())
      add(FillIn(Translate("Indexer", "thumbnails %1"),
                 {paths::FolderOf(movie.images.front().path)}));
    if (!movie.ipl.empty()) add(FillIn(Translate("Indexer", "playlist %1"), {movie.ipl}));
    if (!movie.html.empty()) add(FillIn(Translate("Indexer", "web page %1"), {movie.html}));
    if (!movie.indexphoto.empty())
      add(FillIn(Translate("Indexer", "index photo %1"), {movie.indexphoto}));
    if (!movie.error.empty())
      add(FillIn(Translate("Indexer", "error: %1"), {OneLine(movie.error)}));
    std::fprintf(out, "%s\n", TerminalSafe(line).c_str());
  }
  std::fflush(out);
}

void PrintJson(const CProject& project, std::FILE* out) {
  for (const Movie& movie : project.Movies()) std::fprintf(out, "%s\n", MovieJson(movie).c_str());
  std::fflush(out);
}

}  // namespace ombrelo::indexer
