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
  return std::string(paths::WithoutExtension(paths::FileName(path)));
}

std::string PathStem(const std::string& path) {
  // Only a "." in the file name starts an extension: a video without one in
  // a folder such as "my.videos/" keeps its outputs in that folder.
  return std::string(paths::WithoutExtension(path));
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
    // Thumbnails and pages are the user's own: never in a folder that
    // others can create first, read or redirect with a link.
    tempFolder_ = runTemporaryFolder_.empty() ? paths::PrivateTemporaryFolder("ombrelo")
                                              : runTemporaryFolder_;
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
  // Only a real folder of our own is emptied, never one that another user
  // put in its place or a link.
  if (paths::IsPrivateFolder(tempFolder_)) DeleteContents(tempFolder_);
  tempFolder_.clear();
}

namespace {

// The name of a video's thumbnails before any renaming.
std::string ThumbnailName(const std::string& videoPath) {
  std::string name = PathBaseName(videoPath);
  for (char& c : name) {
    if (c == ' ') c = '_';
  }
  return name;
}

}  // namespace

bool CProject::ThumbnailNameChanges(const std::string& videoPath) {
  return NameChangedByUrlCanonicaliser(ThumbnailName(videoPath));
}

std::string CProject::ThumbnailPrefix(Movie& movie, const std::string& videoPath,
                                      const std::string& prefixWord, bool report) {
  const std::string base = ThumbnailFolder();
  if (!movie.thumbPrefix.empty() && movie.thumbPrefixBase == base) return movie.thumbPrefix;

  const std::string dir = paths::FolderOf(videoPath);
  std::string name = PathBaseName(videoPath);
  if (!prefixWord.empty()) {
    name = ThumbnailName(videoPath);
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
