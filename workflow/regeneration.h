#pragma once
// Deleting a thumbnail of an indexed movie and bringing the movie's outputs
// up to date afterwards. The deletion is one call that says what happened;
// the caller tells the user. The image playlist and the web page are then
// written again (each when the movie has one), and the index photo is drawn
// again from a fresh page of the index template, through the index photo
// generator the workflow controller uses, so that one renderer draws every
// page of the program.
//
// Writing runs on a thread of its own ("regeneration"), like the
// controller's own outputs, with the run's page generation and playlist
// writer: the owner's thread only takes the movie's data from the project,
// and hears back when the files are written, with what to tell the user. It
// may run while an indexing run goes on: a page or playlist that cannot be
// written is told to the review window and never stops the run, and a
// regenerated photo waits for a photo of the run that is being drawn.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/thread_calls.h"
#include "project/user_message.h"


namespace ombrelo {

class CProject;
class IndexPhotoGenerator;
class Movie;
class PageGeneration;
class Worker;

// Whether path is one of the movie's own thumbnails by its place and name:
// a ".jpg" or ".bmp" file in a sub-folder of the thumbnail folder the
// settings give (the video's folder when thumbnails are kept beside it),
// where the sub-folder is named after the video (or renamed "capture<N>"
// when the video's name needed it) and the file name begins with the
// sub-folder's name. A project file may name any file as an image; only
// such files are ever deleted.
bool IsOwnThumbnail(CProject& project, const Movie& movie, const std::string& path);

enum class ThumbnailDeletion {
  deleted,       // the file is gone, and so are the movie's entries naming it
  fileMissing,   // the file was gone already; the entries are gone now
  refused,       // not one of the movie's own thumbnails: nothing changed
  failed,        // the file could not be deleted: nothing changed
  unknownMovie,  // no such movie: nothing changed
};

struct ThumbnailDeletionResult {
  ThumbnailDeletion outcome = ThumbnailDeletion::unknownMovie;
  // For refused and failed: what to tell the user (the file and why).
  std::string message;
  // True when the movie lost the image (deleted, fileMissing).
  bool Removed() const {
    return outcome == ThumbnailDeletion::deleted || outcome == ThumbnailDeletion::fileMissing;
  }
};

// Deletes one of the movie's thumbnails: its file and every entry of the
// movie that names it. A path that is not the movie's own thumbnail
// (IsOwnThumbnail) is refused, and a file that cannot be deleted is kept.
// Shows nothing. On the project's thread.
ThumbnailDeletionResult DeleteMovieThumbnail(CProject& project, int32_t movieId,
                                             const std::string& path);

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

  // Told on the owner's thread when a regeneration's files are written (or
  // failed): ok is false when an output failed or was refused; messages
  // holds what to tell the user of it (owned by the review window), in the
  // order it happened. Nothing is shown here.
  using Finished =
      std::function<void(int32_t movieId, bool ok, const std::vector<Message>& messages)>;

  // The project, the controller's generator and the run's page generation
  // must outlive this object. Made on the owner's thread (the one that runs
  // the event loop).
  Regeneration(CProject& project, IndexPhotoGenerator& photos, PageGeneration& pages);
  // Waits for the writing that has been started; its results are dropped.
  ~Regeneration();
  Regeneration(const Regeneration&) = delete;
  Regeneration& operator=(const Regeneration&) = delete;

  void SetFinished(Finished finished) { finished_ = std::move(finished); }

  // Starts writing the movie's playlist and web page again and its index
  // photo's page (each only when the movie has one), from the movie as it is
  // now; returns at once. When the page is written the photo is drawn by the
  // generator (its failure goes to this movie). width and height size the
  // renderer's window if none exists yet (each at least kMinimumSize).
  // False when the movie is unknown (nothing starts).
  //
  // Only the files the current output settings give the movie are written
  // (IsOwnOutput): an output that its project file names elsewhere is not
  // written at all, and the refusal is the first of the finished
  // regeneration's messages (a warning). Regenerations are written in the
  // order asked.
  bool Regenerate(int32_t movieId, int width, int height);

  // How many regenerations have not finished yet.
  int Pending() const { return pending_; }

  // The temporary page of the last regenerated index photo ("" before the
  // first): "tmphtmltoimagere" with a number counted per object from 1.
  const std::string& LastPage() const { return lastPage_; }

 private:
  struct Job;
  struct Done;
  static Done Write(PageGeneration& pages, Job job);
  void Finish(const Done& done);

  CProject& project_;
  IndexPhotoGenerator& photos_;
  PageGeneration& pages_;
  Finished finished_;
  int pageCounter_ = 0;
  int pending_ = 0;
  std::string lastPage_;
  std::unique_ptr<ThreadCalls> results_;  // on the owner's thread: results arrive there
  // Last: jobs still queued when it goes are written, their results dropped.
  std::unique_ptr<Worker> worker_;
};

}  // namespace ombrelo
