#include "app/regeneration.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/index_photo.h"

namespace ombrelo {

namespace {

// The review window speaks for itself, and the run goes on.
const PageWriteFailure kReviewWindowFailure{MessageOwner::reviewWindow, false};

}  // namespace

Regeneration::Regeneration(CProject& project, IndexPhotoGenerator& photos)
    : project_(project), photos_(photos), pages_(project, {}) {}

bool Regeneration::DeleteThumbnail(int32_t movieId, const std::string& path) {
  Movie* movie = project_.FindMovieForWrite(movieId);
  if (!movie) return false;
  if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
    DebugOutputF("Failed to delete %s\n", path.c_str());
  }
  movie->RemoveImage(path);
  return true;
}

bool Regeneration::Regenerate(int32_t movieId, int width, int height) {
  const Movie* found = project_.FindMovie(movieId);
  if (!found) return false;
  const Movie& movie = *found;
  bool ok = true;
  if (!movie.ipl.empty() && !WritePlaylist(movie.ipl, movie)) {
    DebugOutput("Failed to regenerate image playlist\n");
    ok = false;
  }
  if (!movie.html.empty()) {
    const std::string stylesheet = "templates/web/" + project_.Output().htmlTransform;
    ok = pages_.GeneratePageForMovie(movie.html, stylesheet, movieId, kReviewWindowFailure) && ok;
  }
  if (!movie.indexphoto.empty()) ok = RegeneratePhoto(movieId, width, height) && ok;
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
