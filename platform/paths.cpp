#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/debug_output.h"

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

namespace {

// Position of the "." that starts the file name's extension, or npos.
size_t ExtensionDot(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t sep = LastSeparator(path);
  if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) {
    return std::string_view::npos;
  }
  return dot;
}

}  // namespace

std::string_view Extension(std::string_view path) {
  const size_t dot = ExtensionDot(path);
  return dot == std::string_view::npos ? std::string_view() : path.substr(dot);
}

std::string_view WithoutExtension(std::string_view path) {
  return path.substr(0, ExtensionDot(path));
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

bool IsPrivateFolder(const std::string& path) {
  // lstat of the name without its trailing separators, which would follow a link.
  std::string name = path;
  while (name.size() > 1 && IsSeparator(name.back())) name.pop_back();
  struct stat info {};
  return !name.empty() && ::lstat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

std::string PrivateTemporaryFolder(const std::string& name) {
  std::string folder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && IsPrivateFolder(runtime)) {
    folder = WithTrailingSeparator(runtime) + name;
  } else {
    folder = SystemTempFolder() + name + "-" + std::to_string(::geteuid());
  }
  if ((::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && IsPrivateFolder(folder)) {
    return WithTrailingSeparator(folder);
  }
  // Someone else's folder, a link or a folder open to others stands in the
  // way (or the name cannot be made): take a fresh one of our own.
  std::string fresh = folder + "-XXXXXX";
  if (::mkdtemp(fresh.data())) {
    DebugOutputF("Temporary folder %s is not private, using %s\n", folder.c_str(), fresh.c_str());
    return WithTrailingSeparator(fresh);
  }
  DebugOutputF("Failed to create a private temporary folder: %s (%d)\n", fresh.c_str(), errno);
  return "";
}

std::string CurrentDirectory() {
  std::error_code ec;
  const auto cwd = std::filesystem::current_path(ec);
  return ec ? std::string("./") : WithTrailingSeparator(cwd.string());
}

}  // namespace ombrelo::paths
