#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace ombrelo::paths {

size_t LastSeparator(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}

std::string FileName(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return std::string(sep == std::string::npos ? path : path.substr(sep + 1));
}

std::string FolderOf(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string WithTrailingSeparator(std::string folder) {
  if (!folder.empty() && !IsSeparator(folder.back())) folder.push_back(kSeparator);
  return folder;
}

bool CreateFolders(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

std::string SystemTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  return WithTrailingSeparator(folder);
}

std::string CurrentDirectory() {
  std::error_code ec;
  const auto cwd = std::filesystem::current_path(ec);
  return ec ? std::string("./") : WithTrailingSeparator(cwd.string());
}

}  // namespace ombrelo::paths
