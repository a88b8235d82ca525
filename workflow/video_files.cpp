#include "workflow/video_files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo {

namespace {

// The names videos go by, one list for every place that picks videos by name:
// the older container names, and the transport streams of camcorders and
// recorders (".ts", ".m2ts", ".mts"), MPEG-4 variants and the open formats.
constexpr std::array<std::string_view, 32> kVideoExtensions = {
    ".avi",  ".mpeg", ".wmv", ".mpg", ".asf", ".rm",  ".ram", ".mov", ".qt",   ".vob",  ".divx",
    ".mp4",  ".mkv",  ".ogm", ".3gp", ".amv", ".flv", ".mod", ".moi", ".webm", ".xvid", ".ts",
    ".m2ts", ".mts",  ".m2t", ".m4v", ".3g2", ".f4v", ".ogv", ".dv",  ".mxf",  ".tod"};

}  // namespace

bool IsVideoFileName(std::string_view path) {
  std::string extension(paths::Extension(path));
  if (extension.empty()) return false;
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::find(kVideoExtensions.begin(), kVideoExtensions.end(), extension) !=
         kVideoExtensions.end();
}

int AddVideosInFolder(CProject& project, const std::string& folder) {
  namespace fs = std::filesystem;
  const std::string base = paths::WithTrailingSeparator(folder);
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());

  int added = 0;
  for (const std::string& name : names) {
    const std::string path = base + name;
    const fs::file_status link = fs::symlink_status(path, ec);
    if (fs::is_directory(link)) {
      added += AddVideosInFolder(project, path + paths::kSeparator);
    } else if (!fs::is_directory(fs::status(path, ec)) && IsVideoFileName(name)) {
      project.AddMovie(path);
      ++added;
    }
  }
  return added;
}

}  // namespace ombrelo
