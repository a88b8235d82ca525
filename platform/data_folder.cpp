#include "platform/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/paths.h"

#ifndef OMBRELO_INSTALLED_DATA_DIR
#define OMBRELO_INSTALLED_DATA_DIR "/usr/local/share/ombrelo/Data"
#endif

namespace ombrelo {
namespace {

std::mutex& FolderMutex() {
  static std::mutex mutex;
  return mutex;
}

// Guarded by FolderMutex().
std::string& Override() {
  static std::string folder;
  return folder;
}

// The start-up answer, computed once from the directory current at that time.
const std::string& StartupFolder() {
  static const std::string folder = [] {
    if (const char* env = std::getenv("OMBRELO_DATA"); env && *env) {
      return paths::WithTrailingSeparator(env);
    }
    const std::string local = paths::CurrentDirectory() + "Data/";
    std::error_code ec;
    if (std::filesystem::is_directory(local, ec)) return local;
    return InstalledDataFolder();
  }();
  return folder;
}

// Fixes the answer while the process starts, before anything may change the
// current directory.
[[maybe_unused]] const bool kStartupFolderTaken = (StartupFolder(), true);

}  // namespace

std::string InstalledDataFolder() {
  return paths::WithTrailingSeparator(OMBRELO_INSTALLED_DATA_DIR);
}

std::string ApplicationDataFolder() {
  {
    std::lock_guard<std::mutex> lock(FolderMutex());
    if (!Override().empty()) return Override();
  }
  return StartupFolder();
}

void SetApplicationDataFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(FolderMutex());
  Override() = paths::WithTrailingSeparator(folder);
}

}  // namespace ombrelo
