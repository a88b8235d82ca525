#pragma once
// HtmlRenderer: draws a whole HTML page into one picture and saves it as a
// JPEG, the last step of an index photo. It owns an HtmlView of a fixed
// size (the "window" the page is shown in) and listens to its events.
//
// Use: Navigate() to the page; then, from the owner's event loop, ask
// IsReady() until it answers true, and StopLoading() and Draw(). ErrorText()
// holds what went wrong in the last drawing ("" when the JPEG was written).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/sync.h"

namespace ombrelo {

class HtmlView;
class JpegStreamWriter;

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
  // starts loading the page (a local file path or "file:" URL). The page
  // loads only what the scope the XSLT service remembered for it allows
  // (PageScope), or, for a page it did not make, files of its own folder.
  void Navigate(const std::string& url, const std::string& outputPath, int quality);

  // True when the page last navigated to is shown and its downloads have
  // finished (or have been waited for kDownloadWaitMs). A document still at
  // "about:blank", or one whose file name differs from the url's, is never
  // ready.
  bool IsReady();

  // Drawing, in two steps so that it runs on another thread. StopLoading
  // (on the view's thread, once IsReady) ends the downloads still running,
  // so that nothing posted to that thread touches the page any more. Draw
  // then draws the page at its full scroll size (the window's size when the
  // page fits in it) and saves it to the output path, without asking
  // IsReady and without showing anything; it may run on any thread while no
  // other call reaches the renderer or its view. The page is drawn band by
  // band from the top, each band handed to the JPEG encoder as soon as it is
  // drawn, so that neither the picture nor the page's pictures are ever
  // whole in memory. A page larger than kMaxPhotoSide either way, or of more
  // than kMaxPhotoPixels, is drawn reduced to fit, keeping its layout (each
  // band is drawn reduced; the page is never drawn at full size first), down
  // to kMinimumScale; a page that would need more is refused as too large
  // for memory. Failures go to ErrorText(); the out-of-memory case also to
  // MemoryMessage(), for a message box of its own.
  void StopLoading();
  void Draw();

  // The largest side of a photo, and the most pixels it may have. A JPEG
  // file could hold 65500 pixels a side, but common image programs refuse
  // pictures beyond 16000 pixels a side or about 128 million pixels (the
  // default resource policy of widespread image tools); within these,
  // browsers and image viewers open them.
  static constexpr int kMaxPhotoSide = 16000;
  static constexpr int64_t kMaxPhotoPixels = 120'000'000;
  // The most a page is reduced to fit.
  static constexpr double kMinimumScale = 1.0 / 64;
  // The memory one band of the picture may take.
  static constexpr int64_t kBandBytes = int64_t{16} << 20;

  const std::string& ErrorText() const { return errorText_; }
  // The text of the "Out of memory" box for a page too large for memory in
  // the last drawing, "" when there is none.
  const std::string& MemoryMessage() const { return memoryMessage_; }
  const std::string& Url() const { return url_; }
  const std::string& OutputPath() const { return outputPath_; }
  int Quality() const { return quality_; }
  uint64_t NavigationStart() const { return navigationStart_; }
  // True when the page last navigated to could not be loaded at all (the
  // view shows its error page instead; the page will never be ready).
  bool NavigationFailed() const;
  // Called (on the view's thread) when the page last navigated to has
  // finished loading or failed to load: the moment to ask IsReady again.
  // The call comes from inside the view's event handling: post, don't draw.
  void SetLoadedNotice(std::function<void()> notice);
  int Width() const { return width_; }
  int Height() const { return height_; }

  HtmlView& View() { return *view_; }

 private:
  class EventSink;

  void DrawPage(int pageWidth, int pageHeight);
  void SaveFailed(const JpegStreamWriter& writer, int width, int height);
  void OutOfMemory(int width, int height);

  TickSource ticks_;
  std::unique_ptr<HtmlView> view_;
  std::unique_ptr<EventSink> sink_;
  std::string outputPath_;
  int quality_ = 0;
  std::string url_;
  std::string errorText_;
  std::string memoryMessage_;  // the out-of-memory text of the last Draw
  uint64_t navigationStart_ = 0;
  int width_;
  int height_;
};

}  // namespace ombrelo
