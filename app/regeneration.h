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

class Regeneration {
 public:
  // The smallest renderer window a regeneration creates.
  static constexpr int kMinimumSize = 64;

  // The project and the controller's generator must outlive this object.
  Regeneration(CProject& project, IndexPhotoGenerator& photos);

  // Deletes the thumbnail's file and takes it off the movie. False when
  // the movie is unknown; a file that is already gone is no failure.
  bool DeleteThumbnail(int32_t movieId, const std::string& path);

  // Writes the movie's playlist and web page again and starts its index
  // photo (each only when the movie has one). width and height size the
  // renderer's window if none exists yet (each at least kMinimumSize). The
  // photo is finished later by the generator's polls; its failure goes to
  // this movie. False when the movie is unknown or an output failed.
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
