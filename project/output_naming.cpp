// Output file names, the thumbnail and temporary folders, and the thumbnail
// path prefix of a movie.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo {

std::string PathBaseName(const std::string& path) {
  const std::string name = paths::FileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string PathStem(const std::string& path) {
  // Only a "." in the file name starts an extension: a video without one in
  // a folder such as "my.videos/" keeps its outputs in that folder.
  const size_t dot = path.rfind('.');
  const size_t sep = paths::LastSeparator(path);
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path;
  return path.substr(0, dot);
}

bool NameChangedByUrlCanonicaliser(const std::string& name) {
  // A canonicaliser removes "." and ".." segments.
  if (name == "." || name == "..") return true;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7f) return true;  // blanks, controls, non-ASCII
    // The characters a URL canonicaliser escapes as unsafe.
    if (std::string_view("<>\"#{}|\\^~[]'").find(static_cast<char>(c)) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

std::string CProject::OutputFileName(int32_t id, bool useFolder, const std::string& folder,
                                     const char* extension) const {
  const Movie* movie = FindMovie(id);
  const std::string path = movie ? movie->path() : "";
  std::string name;
  if (useFolder && !folder.empty()) {
    name = paths::WithTrailingSeparator(folder) + PathBaseName(path);
  } else {
    name = PathStem(path);
  }
  return name + extension;
}

std::string CProject::HtmlFileName(int32_t id) const {
  return OutputFileName(id, output_.htmlUseFolder, output_.htmlFolder, ".html");
}

std::string CProject::PlaylistFileName(int32_t id) const {
  return OutputFileName(id, output_.iplUseFolder, output_.iplFolder, ".ipl");
}

std::string CProject::IndexPhotoFileName(int32_t id) const {
  return OutputFileName(id, output_.indexphotoUseFolder, output_.indexphotoFolder, ".jpg");
}

std::string CProject::ThumbnailFolder() {
  if (!output_.thumbsEnabled) return TemporaryFolder();
  return output_.thumbsUseFolder ? output_.thumbsFolder : std::string();
}

std::string CProject::TemporaryFolder() {
  if (tempFolder_.empty()) {
    tempFolder_ = paths::SystemTempFolder() + "ombrelo" + paths::kSeparator;
    ::mkdir(tempFolder_.c_str(), 0777);  // an existing folder or a failure is ignored
  }
  return tempFolder_;
}

namespace {

// Deletes what lies inside folder, depth first; entries that cannot be
// deleted stay. Symbolic links are removed, never followed.
void DeleteContents(const std::filesystem::path& folder) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code entryError;
    if (it->is_directory(entryError) && !it->is_symlink(entryError)) {
      DeleteContents(it->path());
    }
    std::filesystem::remove(it->path(), entryError);
  }
}

}  // namespace

void CProject::ClearTemporaryFolder() {
  if (tempFolder_.empty()) return;
  // The folder lies in a place every user can write to: only a real folder
  // of our own is emptied, never one that another user put there or a link.
  // lstat of the name without its trailing separator, which would follow a link.
  std::string folder = tempFolder_;
  while (folder.size() > 1 && paths::IsSeparator(folder.back())) folder.pop_back();
  struct stat info {};
  if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()) {
    DeleteContents(tempFolder_);
  }
  tempFolder_.clear();
}

std::string CProject::ThumbnailPrefix(Movie& movie, const std::string& videoPath,
                                      const std::string& prefixWord, bool report) {
  const std::string base = ThumbnailFolder();
  if (!movie.thumbPrefix.empty() && movie.thumbPrefixBase == base) return movie.thumbPrefix;

  const std::string dir = paths::FolderOf(videoPath);
  std::string name = PathBaseName(videoPath);
  if (!prefixWord.empty()) {
    for (char& c : name) {
      if (c == ' ') c = '_';
    }
    if (NameChangedByUrlCanonicaliser(name)) {
      name = prefixWord + std::to_string(++renameCounter_);
      if (report) {
        if (!movie.error.empty()) movie.error += "; ";
        movie.error += "Invalid characters in filename. Name changed to : " + name;
      }
    }
  }

  std::string result = dir + name;
  if (!base.empty()) {
    result = base + name;
    if (::mkdir(base.c_str(), 0777) != 0) {
      const int error = errno;
      DebugOutputF("Failed to create folder: %s (%d)\n", base.c_str(), error);
      // A typed folder whose parents are missing is still made.
      if (error == ENOENT) paths::CreateFolders(base);
    }
  }
  result += paths::kSeparator;
  result += name;
  movie.thumbPrefix = result;
  movie.thumbPrefixBase = base;
  return result;
}

}  // namespace ombrelo
