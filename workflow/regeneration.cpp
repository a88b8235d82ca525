#include "workflow/regeneration.h"

#include <QMetaObject>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/qt/thread_calls.h"
#include "platform/translate.h"
#include "platform/worker.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/index_photo.h"
#include "render/xslt_service.h"
#include "workflow/page_generation.h"

namespace ombrelo {

namespace {

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

ThumbnailDeletionResult DeleteMovieThumbnail(CProject& project, int32_t movieId,
                                             const std::string& path) {
  ThumbnailDeletionResult result;
  const Movie* movie = project.MovieById(movieId);  // quietly: an unknown id is an outcome
  if (!movie) return result;
  if (!IsOwnThumbnail(project, *movie, path)) {
    result.outcome = ThumbnailDeletion::refused;
    result.message = FillIn(Translate("Regeneration",
                                      "The image %1 was not deleted: it is not one of this "
                                      "video's thumbnails in its thumbnail folder."),
                            {path});
    return result;
  }
  result.outcome = ThumbnailDeletion::deleted;
  if (std::remove(path.c_str()) != 0) {
    if (errno != ENOENT) {
      // The picture stays where it is, in the movie and in its outputs.
      result.outcome = ThumbnailDeletion::failed;
      result.message = FillIn(Translate("Regeneration", "Failed to delete image %1 : %2"),
                              {path, std::strerror(errno)});
      return result;
    }
    result.outcome = ThumbnailDeletion::fileMissing;
  }
  // Every entry naming the file goes: none may point at a deleted file.
  project.RemoveImage(movieId, path);
  return result;
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

// What one regeneration writes, taken from the project on the owner's
// thread: empty paths are not written.
struct Regeneration::Job {
  int32_t movieId = -1;
  std::string refused;  // what to tell of the outputs refused, "" when none
  std::string playlistPath;
  std::optional<Movie> playlist;  // the movie as its playlist is written
  std::string htmlPath, htmlStylesheet, htmlData;
  std::string photoStylesheet;
  // The index photo's pages, their template data and outputs: one of each
  // for every part.
  std::vector<std::string> photoPages, photoData, photoPaths;
  int width = 0, height = 0, quality = 0;
};

// What came of it, for the owner's thread.
struct Regeneration::Done {
  Job job;
  bool playlistFailed = false;
  bool htmlMade = false;
  PageFailure htmlFailure;
  bool photoPageMade = false;
  PageFailure photoFailure;
};

// Writes one regeneration on the worker; the pages of the index photo made
// so far go again when one of them fails.
Regeneration::Done Regeneration::Write(PageGeneration& pages, Job job) {
  Done done;
  if (!job.playlistPath.empty()) {
    done.playlistFailed = !job.playlist || !WritePlaylist(job.playlistPath, *job.playlist);
  }
  if (!job.htmlPath.empty()) {
    done.htmlMade =
        pages.MakePage(job.htmlPath, job.htmlStylesheet, job.htmlData, &done.htmlFailure);
  }
  for (size_t k = 0; k < job.photoPages.size(); ++k) {
    done.photoPageMade = pages.MakePage(job.photoPages[k], job.photoStylesheet, job.photoData[k],
                                        &done.photoFailure);
    if (!done.photoPageMade) {
      for (size_t made = 0; made < k; ++made) std::remove(job.photoPages[made].c_str());
      break;
    }
  }
  done.job = std::move(job);
  return done;
}

Regeneration::Regeneration(CProject& project, IndexPhotoGenerator& photos, PageGeneration& pages)
    : project_(project),
      photos_(photos),
      pages_(pages),
      results_(std::make_unique<ThreadCalls>()),
      worker_(std::make_unique<Worker>("regeneration")) {}

Regeneration::~Regeneration() = default;

bool Regeneration::Regenerate(int32_t movieId, int width, int height) {
  const Movie* found = std::as_const(project_).MovieById(movieId);
  if (!found) return false;
  // Thumbnails deleted meanwhile by another program (or another window on
  // the same folders) are no longer the movie's: the outputs never name a
  // file that is gone.
  std::vector<std::string> gone;
  for (const ImageEntry& image : found->images) {
    std::error_code ec;
    if (!std::filesystem::exists(image.path, ec) && !ec) gone.push_back(image.path);
  }
  for (const std::string& path : gone) project_.RemoveImage(movieId, path);
  found = std::as_const(project_).MovieById(movieId);
  if (!found) return false;
  const Movie& movie = *found;

  // Only where the output settings put this movie's outputs: a project file
  // cannot have a playlist or page written over a file of its choosing.
  std::string refused;
  const auto allowed = [&](const std::string& path, const std::string& expected) {
    if (path.empty()) return false;
    if (IsOwnOutput(path, expected)) return true;
    refused += "\n" + path + "\n    " +
               FillIn(Translate("Regeneration", "(the output settings name %1)"), {expected});
    return false;
  };
  const bool ipl = allowed(movie.ipl, project_.PlaylistFileName(movieId));
  const bool html = allowed(movie.html, project_.HtmlFileName(movieId));
  const bool photo = allowed(movie.indexphoto, project_.IndexPhotoFileName(movieId));
  Job job;
  job.movieId = movieId;
  if (!refused.empty()) {
    job.refused = FillIn(Translate("Regeneration",
                                   "These outputs of %1 were not written again, because they are "
                                   "not where the output settings put them:\n%2"),
                         {movie.Title(), refused});
  }
  if (ipl) {
    job.playlistPath = movie.ipl;
    job.playlist = movie;
  }
  if (photo) {
    // The parts as the thumbnails left need them, named before the web page
    // links to them. Recorded parts are kept only where the output settings
    // put them; parts no longer needed are removed.
    const float scale = project_.Output().EffectiveImageScale();
    const auto ranges = MovieIndexPhotoParts(movie, scale);
    Movie vetted(movie);
    vetted.indexphotoParts.clear();
    for (size_t k = 0; k < movie.indexphotoParts.size(); ++k) {
      const std::string& part = movie.indexphotoParts[k];
      if (!IsOwnOutput(part, IndexPhotoPartPath(movie.indexphoto, static_cast<int>(k) + 2))) break;
      vetted.indexphotoParts.push_back(part);
    }
    for (size_t k = ranges.size() - 1; k < vetted.indexphotoParts.size(); ++k)
      std::remove(vetted.indexphotoParts[k].c_str());
    std::vector<std::string> parts = ClaimIndexPhotoParts(vetted, movie.indexphoto, ranges.size());
    if (parts != movie.indexphotoParts)
      project_.SetMovieIndexphoto(movieId, movie.indexphoto, std::move(parts));
    job.photoStylesheet = "templates/index/" + project_.Output().indexphotoTransform;
    job.photoPaths = movie.IndexPhotoFiles();
    for (const auto& range : ranges) {
      lastPage_ = paths::WithTrailingSeparator(project_.TemporaryFolder()) + "tmphtmltoimagere" +
                  std::to_string(++pageCounter_) + ".html";
      job.photoPages.push_back(lastPage_);
      job.photoData.push_back(IndexPhotoPartDocument(movie, range, lastPage_, scale));
    }
    job.width = std::max(kMinimumSize, width);
    job.height = std::max(kMinimumSize, height);
    job.quality = project_.Capture().jpegquality;
  }
  if (html) {
    job.htmlPath = movie.html;
    job.htmlStylesheet = "templates/web/" + project_.Output().htmlTransform;
    job.htmlData = pages_.MovieData(project_, movieId, movie.html).value_or(std::string());
  }
  ++pending_;
  // Written on the worker, in the order asked; the result comes back to the
  // owner's thread (and is dropped with the regeneration).
  worker_->Post([this, job = std::move(job)]() mutable {
    results_->Post([this, done = std::make_shared<Done>(Write(pages_, std::move(job)))] {
      Finish(*done);
    });
  });
  return true;
}

void Regeneration::Finish(const Done& done) {
  --pending_;
  const Job& job = done.job;
  // The review window speaks for itself, and the run goes on.
  std::vector<Message> messages;
  const auto tell = [&messages](const PageFailure& failure) {
    if (std::optional<Message> message = FailureMessage(failure, MessageOwner::reviewWindow))
      messages.push_back(std::move(*message));
  };
  bool ok = job.refused.empty();
  if (!ok) {
    messages.push_back(Message{Translate("Message", "Error"), job.refused, MessageIcon::warning,
                               MessageOwner::reviewWindow});
  }
  if (done.playlistFailed) {
    DebugOutput("Failed to regenerate image playlist\n");
    ok = false;
  }
  if (!job.htmlPath.empty() && !done.htmlMade) {
    tell(done.htmlFailure);
    ok = false;
  }
  if (!job.photoPages.empty()) {
    if (!done.photoPageMade) {
      tell(done.photoFailure);
      ok = false;
    } else if (project_.HasMovie(job.movieId) && job.photoPaths.size() == job.photoPages.size()) {
      std::vector<IndexPhotoGenerator::Part> parts;
      for (size_t k = 0; k < job.photoPages.size(); ++k)
        parts.push_back({job.photoPages[k], job.photoPaths[k]});
      photos_.RenderParts(job.movieId, std::move(parts), job.width, job.height, job.quality);
    } else {
      // The movie went meanwhile.
      for (const std::string& page : job.photoPages) std::remove(page.c_str());
    }
  }
  if (finished_) finished_(job.movieId, ok, messages);
}

}  // namespace ombrelo
