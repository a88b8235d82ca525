#include "app/indexer/shards.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unordered_map>

#include "app/indexer/batch_channel.h"
#include "app/indexer/terminal_port.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo::indexer {

namespace {

// 64-bit FNV-1a, then a final mix so that keys differing only at the end
// spread over every part count alike.
uint64_t KeyHash(const std::string& key) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  return hash;
}

// A part's results replace those of the joined project's record; the record
// keeps its identity.
void CopyResults(Movie& into, const Movie& from) {
  TakeResults(into, from);
  into.captureSettings = from.captureSettings;
}

// How much a record of a video tells: done, then failed (with its error),
// then stopped part-way, then waiting.
int Weight(int32_t status) {
  switch (status) {
    case kMovieDone:
      return 3;
    case kMovieFailed:
      return 2;
    case kMovieOpened:
      return 1;
  }
  return 0;
}

void Report(std::FILE* err, const std::string& text) {
  std::fprintf(err, "ombrelo-index: %s\n", TerminalSafe(text).c_str());
  std::fflush(err);
}

// The message with ": why" after it, without the line feed some reasons end
// with (it would show as "\n"); the message alone for no reason.
std::string Reason(const std::string& message, std::string why) {
  while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
    why.pop_back();
  return why.empty()
             ? message
             : FillIn(Translate("Indexer", "%1: %2", "a message and its reason"), {message, why});
}

// What tells two spellings of a video's path apart from two videos: the
// path with links, "." and ".." resolved and its separators single. A file
// that is not there (any more) compares by the absolute path so tidied.
std::string SameFileKey(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
  return (ec ? absolute.lexically_normal() : resolved).string();
}

// Claims the name out for a new file, so that nothing there is ever
// replaced: kOutExists when a file (or anything else) is there already.
MergeResult ClaimNewFile(const std::string& out, std::FILE* err) {
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return MergeResult::kMerged;
  }
  if (errno == EEXIST) {
    Report(err, FillIn(Translate("Indexer",
                                 "'%1' exists already; it is left as it is (choose another name)"),
                       {out}));
    return MergeResult::kOutExists;
  }
  Report(err, FillIn(Translate("Indexer", "cannot write the project file '%1': %2"),
                     {out, std::strerror(errno)}));
  return MergeResult::kCannotWrite;
}

}  // namespace

int ShardOfKey(const std::string& key, int count) {
  if (count <= 1) return 1;
  return static_cast<int>(KeyHash(key) % static_cast<uint64_t>(count)) + 1;
}

MergeResult MergeProjects(const std::vector<std::string>& parts, const std::string& out,
                          CProject& merged, std::FILE* err) {
  // Every part is read before anything is written.
  std::vector<std::unique_ptr<CProject>> projects;
  for (const std::string& part : parts) {
    auto project = std::make_unique<CProject>("");
    std::string why;
    if (!project->Load(part, &why)) {
      Report(err, Reason(FillIn(Translate("Indexer", "cannot read the project file '%1'"), {part}),
                         why));
      return MergeResult::kCannotRead;
    }
    projects.push_back(std::move(project));
  }
  merged.ClearMovies();
  if (!projects.empty()) merged.CopySettingsFrom(*projects.front());
  // The joined record of each video and the part it came from. A video
  // keeps the path it has in the first part that names it.
  std::unordered_map<std::string, std::pair<int32_t, size_t>> taken;
  for (size_t p = 0; p < projects.size(); ++p) {
    for (const Movie& movie : projects[p]->Movies()) {
      const std::string key = SameFileKey(movie.path());
      const auto found = taken.find(key);
      if (found == taken.end()) {
        const int32_t id = merged.AddMovie(movie.path());
        merged.UpdateMovie(id, [&](Movie& record) { CopyResults(record, movie); });
        taken.emplace(key, std::make_pair(id, p));
        continue;
      }
      const Movie& record = *merged.MovieById(found->second.first);
      if (Weight(movie.status) > Weight(record.status)) {
        merged.UpdateMovie(record.id(), [&](Movie& into) { CopyResults(into, movie); });
        found->second.second = p;
      }
      Report(err,
             FillIn(Translate("Indexer", "'%1' is in more than one part; kept once, from '%2'"),
                    {movie.path(), parts[found->second.second]}));
    }
  }
  if (const MergeResult claimed = ClaimNewFile(out, err); claimed != MergeResult::kMerged)
    return claimed;
  std::string why;
  if (!merged.Save(out, &why)) {
    ::unlink(out.c_str());
    Report(err,
           Reason(FillIn(Translate("Indexer", "cannot write the project file '%1'"), {out}), why));
    return MergeResult::kCannotWrite;
  }
  return MergeResult::kMerged;
}

}  // namespace ombrelo::indexer
