#include "app/regeneration.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "project/message_port.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/index_photo.h"

namespace ombrelo {

namespace {

// The review window speaks for itself, and the run goes on.
const PageWriteFailure kReviewWindowFailure{MessageOwner::reviewWindow, false};

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// "capture" followed by a number: the name a video's thumbnails get when
// the video's own name cannot be used.
bool IsRenamedThumbnailName(const std::string& name) {
  const std::string word = "capture";
  return name.size() > word.size() && StartsWith(name, word) &&
         std::all_of(name.begin() + static_cast<std::ptrdiff_t>(word.size()), name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

bool IsOwnThumbnail(CProject& project, const Movie& movie, const std::string& path) {
  const std::string_view extension = paths::Extension(path);
  if (extension != ".jpg" && extension != ".bmp") return false;
  // <thumbnail folder><name>/<name><suffix><extension>
  std::string subFolder = paths::FolderOf(path);
  if (subFolder.size() < 2) return false;
  subFolder.pop_back();
  const std::string name = paths::FileName(subFolder);
  if (name.empty() || name == "." || name == ".." || !StartsWith(paths::FileName(path), name)) {
    return false;
  }
  std::string folder = project.ThumbnailFolder();
  if (folder.empty()) folder = paths::FolderOf(movie.path());
  if (paths::FolderOf(subFolder) != paths::WithTrailingSeparator(folder)) return false;

  // The folder the video claimed, one named after it ("name", "name-2"),
  // or the "captureN" of older project files.
  if (IsThumbnailFolderOf(subFolder + paths::kSeparator, movie.path())) return true;
  const std::string videoName = ThumbnailName(movie.path());
  return IsRenamedThumbnailName(name) || (!videoName.empty() && StartsWith(name, videoName));
}

ThumbnailDeletion DeleteMovieThumbnail(CProject& project, int32_t movieId,
                                       const std::string& path) {
  const Movie* movie = project.FindMovie(movieId);
  if (!movie) return ThumbnailDeletion::unknownMovie;
  if (!IsOwnThumbnail(project, *movie, path)) {
    ShowMessage("Error",
                "The image " + path +
                    " was not deleted: it is not one of this video's thumbnails in its "
                    "thumbnail folder.",
                MessageIcon::warning, MessageOwner::reviewWindow);
    return ThumbnailDeletion::refused;
  }
  if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
    const int error = errno;
    // The picture stays where it is, in the movie and in its outputs.
    ShowMessage("Error", "Failed to delete image " + path + " : " + std::strerror(error),
                MessageIcon::error, MessageOwner::reviewWindow);
    return ThumbnailDeletion::failed;
  }
  // Every entry naming the file goes: none may point at a deleted file.
  project.RemoveImage(movieId, path);
  return ThumbnailDeletion::deleted;
}

bool IsOwnOutput(const std::string& path, const std::string& expected) {
  if (path == expected) return true;
  const std::string_view extension = paths::Extension(expected);
  const std::string stem = paths::FileName(paths::WithoutExtension(expected));
  if (stem.empty() || paths::FolderOf(path) != paths::FolderOf(expected) ||
      paths::Extension(path) != extension) {
    return false;
  }
  // The same name made unique against another video's: "<stem>-<n>".
  const std::string name = paths::FileName(paths::WithoutExtension(path));
  if (!StartsWith(name, stem + "-") || name.size() == stem.size() + 1) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size() + 1), name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

Regeneration::Regeneration(CProject& project, IndexPhotoGenerator& photos)
    : project_(project), photos_(photos), pages_(project, {}) {}

bool Regeneration::DeleteThumbnail(int32_t movieId, const std::string& path) {
  return DeleteMovieThumbnail(project_, movieId, path) == ThumbnailDeletion::deleted;
}

bool Regeneration::Regenerate(int32_t movieId, int width, int height) {
  const Movie* found = project_.FindMovie(movieId);
  if (!found) return false;
  const Movie& movie = *found;

  // Only where the output settings put this movie's outputs: a project file
  // cannot have a playlist or page written over a file of its choosing.
  std::string refused;
  const auto allowed = [&](const std::string& path, const std::string& expected) {
    if (path.empty()) return false;
    if (IsOwnOutput(path, expected)) return true;
    refused += "\n" + path + "\n    (the output settings name " + expected + ")";
    return false;
  };
  const bool ipl = allowed(movie.ipl, project_.PlaylistFileName(movieId));
  const bool html = allowed(movie.html, project_.HtmlFileName(movieId));
  const bool photo = allowed(movie.indexphoto, project_.IndexPhotoFileName(movieId));
  bool ok = refused.empty();
  if (!ok) {
    ShowMessage("Error",
                "These outputs of " + movie.Title() +
                    " were not written again, because they are not where the output settings "
                    "put them:\n" +
                    refused,
                MessageIcon::warning, MessageOwner::reviewWindow);
  }

  if (ipl && !WritePlaylist(movie.ipl, movie)) {
    DebugOutput("Failed to regenerate image playlist\n");
    ok = false;
  }
  if (html) {
    const std::string stylesheet = "templates/web/" + project_.Output().htmlTransform;
    ok = pages_.GeneratePageForMovie(movie.html, stylesheet, movieId, kReviewWindowFailure) && ok;
  }
  if (photo) ok = RegeneratePhoto(movieId, width, height) && ok;
  return ok;
}

bool Regeneration::RegeneratePhoto(int32_t movieId, int width, int height) {
  const Movie* movie = project_.FindMovie(movieId);
  if (!movie) return false;
  lastPage_ = paths::WithTrailingSeparator(project_.TemporaryFolder()) + "tmphtmltoimagere" +
              std::to_string(++pageCounter_) + ".html";
  const std::string stylesheet = "templates/index/" + project_.Output().indexphotoTransform;
  if (!pages_.GeneratePageForMovie(lastPage_, stylesheet, movieId, kReviewWindowFailure)) {
    return false;
  }
  photos_.RenderPage(movieId, lastPage_, movie->indexphoto, std::max(kMinimumSize, width),
                     std::max(kMinimumSize, height), project_.Capture().jpegquality);
  return true;
}

}  // namespace ombrelo
