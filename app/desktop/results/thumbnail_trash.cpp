#include "app/desktop/results/thumbnail_trash.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/paths.h"
#include "platform/translate.h"
#include "project/project.h"

namespace ombrelo::desktop {

namespace {

// Renames without replacing a file that has the new name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

ThumbnailTrash::~ThumbnailTrash() { Commit(); }

std::string ThumbnailTrash::AsideName(const std::string& path, int number) {
  return paths::FolderOf(path) + "." + paths::FileName(path) + ".deleted-" +
         std::to_string(::getpid()) + "-" + std::to_string(number);
}

ThumbnailDeletionResult ThumbnailTrash::Delete(int32_t movieId, const std::string& path) {
  const Movie* movie = project_.MovieById(movieId);
  // Refusals and unknown movies are told as the core tells them.
  if (!movie || !IsOwnThumbnail(project_, *movie, path))
    return DeleteMovieThumbnail(project_, movieId, path);
  const auto found = std::find_if(movie->images.begin(), movie->images.end(),
                                  [&](const ImageEntry& image) { return image.path == path; });
  const size_t position = static_cast<size_t>(found - movie->images.begin());
  const ImageEntry image = found != movie->images.end() ? *found : ImageEntry{path, 0, 0.0};
  const std::string aside = AsideName(path, next_++);
  if (!RenameNoReplace(path, aside)) {
    if (errno != ENOENT) {
      // The picture stays where it is, in the movie and in its outputs.
      ThumbnailDeletionResult result;
      result.outcome = ThumbnailDeletion::failed;
      result.message =
          FillIn(Translate("ombrelo::desktop::ThumbnailTrash", "Failed to delete image %1 : %2"),
                 {path, std::strerror(errno)});
      return result;
    }
    // Gone already: nothing to bring back but the entry.
    ThumbnailDeletionResult result = DeleteMovieThumbnail(project_, movieId, path);
    if (result.Removed()) kept_.push_back({movieId, image, position, std::string()});
    return result;
  }
  ThumbnailDeletionResult result = DeleteMovieThumbnail(project_, movieId, path);
  if (result.Removed()) {
    result.outcome = ThumbnailDeletion::deleted;
    kept_.push_back({movieId, image, position, aside});
  } else {
    RenameNoReplace(aside, path);  // nothing changed
  }
  return result;
}

int32_t ThumbnailTrash::Undo(std::string* message, size_t* position) {
  if (kept_.empty()) return -1;
  const Kept kept = kept_.back();
  kept_.pop_back();
  if (!project_.HasMovie(kept.movieId)) {
    if (message && !kept.aside.empty())
      *message = FillIn(Translate("ombrelo::desktop::ThumbnailTrash",
                                  "The video of the image %1 is no longer in the project. "
                                  "The picture was kept as %2."),
                        {kept.image.path, kept.aside});
    return -1;
  }
  if (!kept.aside.empty() && !RenameNoReplace(kept.aside, kept.image.path)) {
    if (message)
      *message = FillIn(Translate("ombrelo::desktop::ThumbnailTrash",
                                  "The image %1 could not be brought back (%2). "
                                  "The picture was kept as %3."),
                        {kept.image.path, std::strerror(errno), kept.aside});
    return -1;
  }
  project_.UpdateMovie(kept.movieId, [&](Movie& movie) {
    const size_t at = std::min(kept.position, movie.images.size());
    movie.images.insert(movie.images.begin() + static_cast<std::ptrdiff_t>(at), kept.image);
    if (position) *position = at;
  });
  return kept.movieId;
}

void ThumbnailTrash::Commit() {
  for (const Kept& kept : kept_) {
    if (!kept.aside.empty()) ::unlink(kept.aside.c_str());
  }
  kept_.clear();
}

}  // namespace ombrelo::desktop
