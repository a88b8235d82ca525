#pragma once
// Regeneration for the review window: after thumbnails were deleted from an
// indexed movie, its outputs are brought up to date. The image playlist and
// the web page are written again (each when the movie has one), and the
// index photo is drawn again from a fresh page of the index template,
// through the index photo generator the workflow controller uses, so that
// one renderer draws every page of the program.
//
// It may run while an indexing run goes on: a page or playlist that cannot
// be written is reported to the review window and never stops the run, and
// a regenerated photo waits for a photo of the run that is being drawn.
// Used on the owner's thread, like the controller.
#include <cstdint>
#include <string>

#include "render/xslt_service.h"

namespace ombrelo {

class CProject;
class IndexPhotoGenerator;
class Movie;

// Whether path is one of the movie's own thumbnails by its place and name:
// a ".jpg" or ".bmp" file in a sub-folder of the thumbnail folder the
// settings give (the video's folder when thumbnails are kept beside it),
// where the sub-folder is named after the video (or renamed "capture<N>"
// when the video's name needed it) and the file name begins with the
// sub-folder's name. A project file may name any file as an image; only
// such files are ever deleted.
bool IsOwnThumbnail(CProject& project, const Movie& movie, const std::string& path);

enum class ThumbnailDeletion {
  deleted,       // the file is gone (or was gone already), and so are the entries
  refused,       // not one of the movie's own thumbnails: nothing changed
  failed,        // the file could not be deleted: nothing changed
  unknownMovie,  // no such movie
};

// Deletes one of the movie's thumbnails: its file and every entry of the
// movie that names it. A path that is not the movie's own thumbnail
// (IsOwnThumbnail) is refused, and a file that cannot be deleted is kept;
// both are told in a message box owned by the review window.
ThumbnailDeletion DeleteMovieThumbnail(CProject& project, int32_t movieId, const std::string& path);

// Whether path may be written as the movie's output of that kind: it is the
// name the current output settings give (expected, from the project's output
// file names), or a name beside it with the same extension that begins with
// the same stem (a name made unique). Anything else, such as a file a
// project file names outside the output folders, is not.
bool IsOwnOutput(const std::string& path, const std::string& expected);

class Regeneration {
 public:
  // The smallest renderer window a regeneration creates.
  static constexpr int kMinimumSize = 64;

  // The project and the controller's generator must outlive this object.
  Regeneration(CProject& project, IndexPhotoGenerator& photos);

  // DeleteMovieThumbnail; true when the thumbnail is gone (a file that is
  // already gone is no failure).
  bool DeleteThumbnail(int32_t movieId, const std::string& path);

  // Writes the movie's playlist and web page again and starts its index
  // photo (each only when the movie has one). width and height size the
  // renderer's window if none exists yet (each at least kMinimumSize). The
  // photo is finished later by the generator's polls; its failure goes to
  // this movie. False when the movie is unknown or an output failed.
  //
  // Only the files the current output settings give the movie are written
  // (IsOwnOutput): an output that its project file names elsewhere is not
  // written at all, and the refusal is told in one message box owned by the
  // review window.
  bool Regenerate(int32_t movieId, int width, int height);

  // The temporary page of the last regenerated index photo ("" before the
  // first): "tmphtmltoimagere" with a number counted per object from 1.
  const std::string& LastPage() const { return lastPage_; }

 private:
  bool RegeneratePhoto(int32_t movieId, int width, int height);

  CProject& project_;
  IndexPhotoGenerator& photos_;
  XsltService pages_;
  int pageCounter_ = 0;
  std::string lastPage_;
};

}  // namespace ombrelo
