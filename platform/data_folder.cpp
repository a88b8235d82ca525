#include "platform/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/paths.h"

#ifndef OMBRELO_DATA_INSTALL_SUBDIR
#define OMBRELO_DATA_INSTALL_SUBDIR "share/ombrelo/Data"
#endif

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
    std::error_code ec;
    const std::string local = paths::CurrentDirectory() + "Data/";
    if (std::filesystem::is_directory(local, ec)) return local;
    const std::string installed = InstalledDataFolder();
    if (std::filesystem::is_directory(installed, ec)) return installed;
    // Not installed: an installation moved elsewhere keeps Data beside its
    // bin/ folder, and a program run from its build tree uses the sources'.
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
      const auto relocated = exe.parent_path().parent_path() / OMBRELO_DATA_INSTALL_SUBDIR;
      if (std::filesystem::is_directory(relocated, ec))
        return paths::WithTrailingSeparator(relocated.string());
    }
#ifdef OMBRELO_SOURCE_DATA_DIR
    if (std::filesystem::is_directory(OMBRELO_SOURCE_DATA_DIR, ec))
      return paths::WithTrailingSeparator(OMBRELO_SOURCE_DATA_DIR);
#endif
    return installed;
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
