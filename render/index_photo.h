#pragma once
// The index photo of a movie: its data transformed by an index template into
// a temporary HTML page, the page loaded into the HtmlRenderer, and, once it
// is ready, drawn and saved as a JPEG.
//
// The owner writes the pages (XsltService::MakePage, off its thread) and
// hands them to RenderParts; one page that could not be made fails the photo
// through PageFailed. Loading does not block, and the wait does not spin.
// RenderParts starts the page and asks the owner to post a poll to its own
// event loop; the owner
// calls Poll() when the poll comes back, and Poll() either finishes the
// photo or waits: the next poll is asked for when the page has loaded (the
// view's notice) or when a time limit falls due (a timer), and the event
// loop sleeps in between. Once the page is ready it is drawn and encoded
// on a thread of the generator's own, so that the owner's event loop stays
// free; the result is posted back to the owner's thread, which then
// finishes the photo. While a photo is pending (Pending(), drawing
// included), the workflow does not start the next movie.
//
// Only one page is rendered at a time. A photo asked for while another is
// pending is rendered when the pending one has finished, so no photo is
// lost.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sync.h"
#include "platform/translate.h"
#include "platform/worker.h"
#include "project/user_message.h"

class QTimer;

namespace ombrelo {

class CProject;
class HtmlRenderer;
class ThreadCalls;
class Movie;

// What the index photo needs from its owner (the main window and the
// workflow controller). Called on the owner's thread.
class IndexPhotoHost {
 public:
  virtual ~IndexPhotoHost() = default;
  // The temporary working folder, with a trailing separator.
  virtual std::string TemporaryFolder() = 0;
  // Posts a message to the owner's own event loop that calls Poll() when it
  // is handled.
  virtual void PostPoll() = 0;
  // Appends an error text to the movie (which marks it failed).
  virtual void SetMovieError(int32_t movieId, const std::string& text) = 0;
  // Something to tell the user besides the movie's error (a page too large
  // for memory: "Out of memory", no owner window). The owner shows it when
  // it can; the default writes it to the debug output.
  virtual void Notice(const Message& message);
  // The photo of the movie is finished: written, or failed (the failure has
  // been given to the movie). Optional.
  virtual void IndexPhotoFinished(int32_t movieId, bool written) {
    (void)movieId;
    (void)written;
  }
};

// The host operations that come from a project, which the owner hands in
// (and must keep alive). The owner adds PostPoll.
class ProjectIndexPhotoHost : public IndexPhotoHost {
 public:
  explicit ProjectIndexPhotoHost(CProject& project);
  // The project's temporary working folder.
  std::string TemporaryFolder() override;
  // Set error on the movie; a movie removed from the project in the
  // meantime is left alone (the text goes to the debug output).
  void SetMovieError(int32_t movieId, const std::string& text) override;

 private:
  CProject& project_;
};

// The least width of a thumbnail in an index photo: a photo with more
// thumbnails than one picture holds at this width is made in parts. A
// thumbnail narrower than this on its page keeps its own width.
inline constexpr int kLeastPhotoThumbnailWidth = 160;

// The thumbnails of each part of an index photo, as [first, end) ranges of
// the movie's images in order: one range for all of them when one picture
// holds them with every thumbnail at least kLeastPhotoThumbnailWidth wide
// (or its own width, when that is less) and within the renderer's limits
// (HtmlRenderer::kMaxPhotoSide a side, kMaxPhotoPixels). thumbWidth and
// thumbHeight are the thumbnails' size on the page (the frame size times the
// image scale); when they are unknown (0) nothing is split. The page is
// taken as the index templates lay it out: rows of three or more
// thumbnails, each row its thumbnails' height and a caption, under a head;
// each part but the last holds whole rows of three.
std::vector<std::pair<size_t, size_t>> IndexPhotoParts(size_t imageCount, int thumbWidth,
                                                       int thumbHeight);

// IndexPhotoParts for the movie's thumbnails at the image scale.
std::vector<std::pair<size_t, size_t>> MovieIndexPhotoParts(const Movie& movie, float scale);

// The template data of one part of the movie's photo: the movie with only
// that part's thumbnails, for a page at pagePath.
std::string IndexPhotoPartDocument(const Movie& movie, std::pair<size_t, size_t> part,
                                   const std::string& pagePath, float scale);

// The outputs of parts 2 to count of a photo at photoPath
// (IndexPhotoPartPath), each claimed for the movie's video as every output
// is (ClaimOutputFile): a name another video holds is not taken. A part the
// movie names already keeps its name.
std::vector<std::string> ClaimIndexPhotoParts(const Movie& movie, const std::string& photoPath,
                                              size_t count);

// The name of the next temporary page in folder: "tmphtmltoimage" followed
// by a process-wide counter (1 for the first page of the run) and ".html".
std::string NextTemporaryPageName(const std::string& folder);

class IndexPhotoGenerator {
 public:
  // Polling stops when a page has not become ready this long after its
  // navigation started (the renderer itself waits kDownloadWaitMs for
  // downloads; a page that still does not show after twice that time never
  // will). The movie then gets kTimedOutText.
  static constexpr uint64_t kGiveUpMs = 30000;

  // Error texts given to the movie (translated, with the output path for
  // "%1" and a line end after them).
  static constexpr const char* kPageFailedText =
      QT_TRANSLATE_NOOP("IndexPhoto", "Failed to generate the index photo page for '%1'");
  static constexpr const char* kNotLoadedText = QT_TRANSLATE_NOOP(
      "IndexPhoto", "Failed to render index photo '%1' - the page could not be loaded");
  static constexpr const char* kTimedOutText = QT_TRANSLATE_NOOP(
      "IndexPhoto", "Failed to render index photo '%1' - the page did not become ready");

  // giveUpMs replaces kGiveUpMs (for tests).
  explicit IndexPhotoGenerator(IndexPhotoHost& host, TickSource ticks = SteadyTickCount,
                               uint64_t giveUpMs = kGiveUpMs);
  ~IndexPhotoGenerator();
  IndexPhotoGenerator(const IndexPhotoGenerator&) = delete;
  IndexPhotoGenerator& operator=(const IndexPhotoGenerator&) = delete;

  // The name of the next temporary page for a photo, in the host's
  // temporary folder.
  std::string NextPage();
  // The page of the movie's photo into outputPath could not be made: the
  // movie gets kPageFailedText and hears that its photo failed. Nothing
  // happens for an empty output path.
  void PageFailed(int32_t movieId, const std::string& outputPath);

  // One picture of an index photo in parts: its page and its output.
  struct Part {
    std::string page;
    std::string outputPath;
  };
  // Renders the written pages of a photo (one, or one for each part) one
  // after the other into their outputs, as one photo:
  // the movie hears once that its photo is finished, written when every part
  // was. The first part that fails ends it (with its error text); the pages
  // are deleted when the photo is finished. Nothing happens for no parts.
  void RenderParts(int32_t movieId, std::vector<Part> parts, int width, int height, int quality);

  // The poll: starts drawing the pending photo when its page is ready (it
  // is finished when the drawing comes back), else asks for the next poll.
  // Does nothing when no photo is pending or it is being drawn.
  void Poll();

  // True while a photo is pending (the "current renderer" is set).
  bool Pending() const { return current_ != nullptr; }
  // True while the pending photo is being drawn on the generator's thread.
  bool Drawing() const { return drawing_; }
  // The renderer, once the first photo has created it.
  HtmlRenderer* Renderer() const { return renderer_.get(); }

 private:
  struct Request {
    int32_t movieId = 0;
    std::vector<Part> parts;
    size_t part = 0;  // the one being rendered
    int quality = 0;
    int width = 0;
    int height = 0;
    const std::string& OutputPath() const { return parts[part].outputPath; }
  };

  void Start(const Request& request);
  // Loads the page of the request's current part.
  void NavigatePart();
  // Hands the ready page to the drawing thread.
  void StartDrawing();
  // On the owner's thread: the drawing of the movie's photo has ended.
  void Drawn(int32_t movieId);
  void Finish(bool written);
  // Asks for a poll when the next time limit of the pending page falls due.
  void WaitForDeadline(const HtmlRenderer& renderer);

  IndexPhotoHost& host_;
  TickSource ticks_;
  uint64_t giveUpMs_;
  std::unique_ptr<QTimer> deadline_;    // single shot: the next time limit
  std::unique_ptr<ThreadCalls> calls_;  // the drawing thread's reports
  std::unique_ptr<HtmlRenderer> renderer_;
  HtmlRenderer* current_ = nullptr;  // set while a photo is pending
  Request pending_;                  // the photo being rendered
  std::deque<Request> waiting_;      // photos whose pages wait for the renderer
  // While the renderer draws on drawer_, only that thread touches it.
  bool drawing_ = false;
  std::unique_ptr<Worker> drawer_;
};

}  // namespace ombrelo
