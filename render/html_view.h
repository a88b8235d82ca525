#pragma once
// HtmlView: an HTML page laid out and drawn without a window. It is the
// web-browser control of the program: the index photo draws its pages
// offscreen with it, and the help window shows it on screen inside a widget.
//
// Navigation behaves like a browser's, not like a function call: Navigate()
// returns at once, and the page is loaded by steps posted to the event loop
// of the thread that owns the view (a QCoreApplication or QGuiApplication
// must exist; drawing text needs a QGuiApplication). What the owner sees:
//
//   Navigate(url)     BeforeNavigate(url)                      (at once)
//   event loop        DownloadBegin                            (the page)
//                     ... the page is read and parsed; from now on
//                     LocationUrl() is the new page; every image it refers
//                     to gets a DownloadBegin and is loaded by a later step
//                     (style sheets are read at once, with DownloadBegin and
//                     DownloadComplete right after each other)
//                     TitleChange (when the page has a title)
//                     NavigateComplete(url), DownloadComplete  (the page)
//   event loop        DownloadComplete, ProgressChange         (per image;
//                     a few milliseconds' worth of images per step)
//                     DocumentComplete(url)                    (all loaded)
//
// A page that cannot be read gives NavigateError(url) and shows a short
// error page whose URL is kErrorPageUrl. Navigating again while a page is
// still loading stops it: every download begun and not finished gets its
// DownloadComplete before the BeforeNavigate of the new page, so begin and
// complete events always pair up.
//
// Pictures come from local files; other URLs are not fetched. The page, its
// style sheets and its pictures must be regular files of bounded size (a
// link to /dev/zero or to a FIFO is refused at once), and, when the owner
// has set a read scope, lie inside it; what is refused is left out of the
// page with the debug line "Page read refused: <path>: <why>". Loading a
// picture reads only its size; its pixels are decoded when it is drawn, at
// the size it is drawn at (JPEG files through the picture loader, reduced by
// the decoder when they are drawn small; BMP, PNG and GIF through Qt's
// readers).
//
// Scrolling follows the page's body as browsers expose it: the offset size
// is the visible area, the scroll size is the laid-out page but at least the
// visible area, and a scroll position is clamped to the scroll size minus the
// visible size.
#include <memory>
#include <optional>
#include <string>

#include "render/read_scope.h"

class QImage;
class QPainter;
class QRect;

namespace ombrelo {

// Receives the view's events, on the thread that owns the view. Every
// operation has an empty default. A listener may navigate the view again
// from inside a call, but must not delete it there.
class HtmlViewListener {
 public:
  virtual ~HtmlViewListener() = default;
  virtual void BeforeNavigate(const std::string& url) { (void)url; }
  virtual void NavigateComplete(const std::string& url) { (void)url; }
  virtual void NavigateError(const std::string& url) { (void)url; }
  virtual void DocumentComplete(const std::string& url) { (void)url; }
  virtual void DownloadBegin() {}
  virtual void DownloadComplete() {}
  virtual void ProgressChange(int done, int total) {
    (void)done;
    (void)total;
  }
  virtual void TitleChange(const std::string& title) { (void)title; }
  // A link of the page was followed (on-screen use); the view does not
  // navigate by itself.
  virtual void AnchorClicked(const std::string& url) { (void)url; }
  // The look of the page changed (an image arrived, the page was replaced):
  // a window showing the view should repaint.
  virtual void Changed() {}
};

class HtmlView {
 public:
  // The URL of the empty page the view starts with.
  static constexpr const char* kBlankUrl = "about:blank";
  // The URL of the page shown when a navigation failed.
  static constexpr const char* kErrorPageUrl = "about:neterror";

  // A view of the given visible size, showing the empty page.
  HtmlView(int width, int height);
  ~HtmlView();
  HtmlView(const HtmlView&) = delete;
  HtmlView& operator=(const HtmlView&) = delete;

  // The listener must outlive the view or be replaced by nullptr first.
  void SetListener(HtmlViewListener* listener);

  // Limits the style sheets and pictures that pages may load to the scope
  // (from the next navigation on); nullopt allows every local file.
  void SetReadScope(std::optional<ReadScope> scope);

  // Starts loading a page: a local file path, a "file:" URL (percent-escapes
  // are decoded; a "#" in a file name must be written "%23") or "about:blank".
  // Relative file paths are taken from the current directory.
  void Navigate(const std::string& url);

  // Pages are parsed, and the sizes of their pictures read, on a worker of
  // the view's own (off by default), so that a large page or a slow disk
  // does not hold the owner's event loop; what the owner sees stays as
  // described above. Meant for a view that is not on screen: a
  // call that needs the page (layout, drawing, Stop, Navigate) waits while
  // a page is being parsed.
  void SetParseInBackground(bool on);

  // A style sheet applied to every page after the page's own, from the next
  // navigation on: what it sets wins over what the page's style sheets set
  // (a reader's colours over the page's). "" for none.
  void SetUserStyleSheet(const std::string& css);

  // True while a navigation or one of its downloads has not finished.
  bool Busy() const;
  // Stops the loading in progress, as a browser's stop button does: every
  // download begun and not finished gets its DownloadComplete, and the
  // steps still posted for it do nothing. The page keeps what it has.
  void Stop();

  // The URL of the page now shown ("about:blank" at first), fully escaped,
  // e.g. "file:///tmp/ombrelo/tmphtmltoimage1.html".
  std::string LocationUrl() const;
  // The title of the page now shown.
  std::string Title() const;
  // True when a document is shown (always, once the view exists).
  bool HasDocument() const;
  // True when the document has a body element.
  bool HasBody() const;

  // Visible area.
  int Width() const;
  int Height() const;
  void Resize(int width, int height);

  // The body's attributes, such as "scroll" ("" when absent).
  std::string BodyAttribute(const std::string& name) const;
  void SetBodyAttribute(const std::string& name, const std::string& value);

  // The body's offset size (the visible area) and scroll size.
  int OffsetWidth() const;
  int OffsetHeight() const;
  int ScrollWidth() const;
  int ScrollHeight() const;

  // Scroll position; setters clamp to 0 .. scroll size - visible size.
  int ScrollLeft() const;
  int ScrollTop() const;
  void SetScrollLeft(int x);
  void SetScrollTop(int y);

  // Draws the visible area at the scroll position with its top-left corner
  // at (0, 0) of the painter, on white where the page has no background.
  void DrawVisible(QPainter& painter);
  // Draws the area of the laid-out page (page coordinates, whatever the
  // scroll position) through the painter's transformation, on white.
  void DrawArea(QPainter& painter, const QRect& area);
  // Drops the pictures decoded for drawing; they are decoded again when
  // next drawn.
  void ReleaseDrawnImages();
  // Convenience: the visible area as a new image (Format_RGB32).
  QImage RenderVisible();

  // Mouse handling for on-screen use (coordinates of the visible area).
  // A click on a link reports AnchorClicked. True when the page must be
  // redrawn.
  bool MouseMove(int x, int y);
  bool MouseDown(int x, int y);
  bool MouseUp(int x, int y);
  bool MouseLeave();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ombrelo
