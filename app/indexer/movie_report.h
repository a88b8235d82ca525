#pragma once
// What ombrelo-index tells about each movie at the end: a line for people,
// or a JSON object on a line of its own for scripts.
#include <cstdio>
#include <string>
#include <string_view>

namespace ombrelo {
class CProject;
class Movie;
}  // namespace ombrelo

namespace ombrelo::indexer {

// "waiting", "stopped", "done" or "failed".
const char* StatusWord(int32_t status);

// A JSON string literal, quotes included. Bytes that are not UTF-8 become
// the escapes \udc80 to \udcff (one per byte), which Python's
// surrogateescape turns back into the very bytes of a file name.
std::string JsonString(std::string_view text);

// {"path":...,"status":...,"images":N,"outputs":{...},"error":...}: outputs
// holds "thumbnails" (the folder), "playlist", "webpage" and "indexphoto"
// where the movie has them; error is null when there is none.
std::string MovieJson(const Movie& movie);

// One line per movie: path, status, image count, outputs (and the error).
void PrintSummary(const CProject& project, std::FILE* out);
// One JSON object per movie, each on a line of its own.
void PrintJson(const CProject& project, std::FILE* out);

}  // namespace ombrelo::indexer
