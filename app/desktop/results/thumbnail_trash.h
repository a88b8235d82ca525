#pragma once
// Thumbnails deleted in the review window, kept aside until the project is
// saved so that Edit > Undo (Ctrl+Z) can bring them back. A deleted
// thumbnail's file is renamed to a hidden name in its own folder and its
// entries leave the movie; Undo renames it back and puts the entry where it
// was. The files kept aside are removed for good when the deletions become
// final: the project is saved, closed, or replaced by another.
#include <cstdint>
#include <string>
#include <vector>

#include "project/movie.h"
#include "workflow/regeneration.h"

namespace ombrelo {
class CProject;
}  // namespace ombrelo

namespace ombrelo::desktop {

class ThumbnailTrash {
 public:
  explicit ThumbnailTrash(CProject& project) : project_(project) {}
  ~ThumbnailTrash();  // the deletions become final
  ThumbnailTrash(const ThumbnailTrash&) = delete;
  ThumbnailTrash& operator=(const ThumbnailTrash&) = delete;

  // Deletes one of the movie's own thumbnails as DeleteMovieThumbnail does,
  // keeping its file aside. A file that cannot be kept aside is not deleted.
  ThumbnailDeletionResult Delete(int32_t movieId, const std::string& path);

  // Whether a deletion can be undone.
  bool CanUndo() const { return !kept_.empty(); }
  // Brings the last deleted thumbnail back: its file and its entry. Gives
  // the movie's id (-1 when nothing was brought back: the movie has gone,
  // or a file now has the thumbnail's name, which is then left alone and
  // the picture kept aside under `message`).
  // position, when not null, receives where the entry was put back.
  int32_t Undo(std::string* message = nullptr, size_t* position = nullptr);

  // The deletions become final: the files kept aside are removed.
  void Commit();

  // The hidden name a thumbnail is kept under while it can come back.
  static std::string AsideName(const std::string& path, int number);

 private:
  struct Kept {
    int32_t movieId;
    ImageEntry image;
    size_t position;    // among the movie's images
    std::string aside;  // where the file waits
  };
  CProject& project_;
  std::vector<Kept> kept_;  // the last deleted last
  int next_ = 1;
};

}  // namespace ombrelo::desktop
