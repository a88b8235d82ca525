#pragma once
// HtmlRenderer: draws a whole HTML page into one picture and saves it as a
// JPEG, the last step of an index photo. It owns an HtmlView of a fixed
// size (the "window" the page is shown in) and listens to its events.
//
// Use: Navigate() to the page; then, from the owner's event loop, ask
// IsReady() until it answers true and call Capture(). ErrorText() holds what
// went wrong in the last capture ("" when the JPEG was written).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sync.h"

class QImage;

namespace ombrelo {

class HtmlView;

// One step of drawing a page larger than the window: scroll the body to
// (left, top), draw the window into the tile, and copy the tile's rectangle
// at (sourceX, sourceY) of width x height to (left, top) of the whole
// picture. The source offsets are not 0 only in the last band and column,
// where the view clamps the scroll position so that the page's end lies at
// the bottom or right edge of the tile.
struct TileStep {
  int left = 0;
  int top = 0;
  int sourceX = 0;
  int sourceY = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TileStep&) const = default;
};

// The steps for a page of totalWidth x totalHeight drawn through a window
// of tileWidth x tileHeight, band by band from the top, each band from the
// left. Empty when a size is not positive.
std::vector<TileStep> PlanTiles(int tileWidth, int tileHeight, int totalWidth, int totalHeight);

class HtmlRenderer {
 public:
  // How long the downloads of a page are waited for before IsReady goes on
  // without them.
  static constexpr uint64_t kDownloadWaitMs = 15000;

  // A renderer whose window is width x height pixels. ticks gives the
  // milliseconds the download wait is measured with.
  HtmlRenderer(int width, int height, TickSource ticks = SteadyTickCount);
  ~HtmlRenderer();
  HtmlRenderer(const HtmlRenderer&) = delete;
  HtmlRenderer& operator=(const HtmlRenderer&) = delete;

  // Clears the error text, remembers the output path, quality and url, and
  // starts loading the page (a local file path or "file:" URL).
  void Navigate(const std::string& url, const std::string& outputPath, int quality);

  // True when the page last navigated to is shown and its downloads have
  // finished (or have been waited for kDownloadWaitMs). A document still at
  // "about:blank", or one whose file name differs from the url's, is never
  // ready.
  bool IsReady();

  // When IsReady: draws the page at its full scroll size (once, or by
  // window-sized tiles when it is larger than the window) and saves it to
  // the output path. Failures go to ErrorText() (and the out-of-memory case
  // also to a message box). Does nothing when the page is not ready.
  void Capture();

  const std::string& ErrorText() const { return errorText_; }
  const std::string& Url() const { return url_; }
  const std::string& OutputPath() const { return outputPath_; }
  int Quality() const { return quality_; }
  uint64_t NavigationStart() const { return navigationStart_; }
  // True when the page last navigated to could not be loaded at all (the
  // view shows its error page instead; the page will never be ready).
  bool NavigationFailed() const;
  int Width() const { return width_; }
  int Height() const { return height_; }

  HtmlView& View() { return *view_; }

 private:
  class EventSink;

  void DrawOnce(int width, int height);
  void DrawTiles(int tileWidth, int tileHeight, int totalWidth, int totalHeight);
  void Save(const QImage& image);
  void OutOfMemory(int width, int height, bool tell);

  TickSource ticks_;
  std::unique_ptr<HtmlView> view_;
  std::unique_ptr<EventSink> sink_;
  std::string outputPath_;
  int quality_ = 0;
  std::string url_;
  std::string errorText_;
  uint64_t navigationStart_ = 0;
  int width_;
  int height_;
};

}  // namespace ombrelo
