#include "render/html_renderer.h"

#include <QImage>
#include <QPainter>
#include <QTransform>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "render/html_view.h"
#include "render/read_scope.h"

namespace ombrelo {

namespace {

// The part after the last folder separator; npos-safe.
bool NameAfterSeparator(const std::string& text, std::string* name) {
  const size_t at = paths::LastSeparator(text);
  if (at == std::string::npos) return false;
  *name = text.substr(at + 1);
  return true;
}

}  // namespace

// The renderer's ears on the view: counts downloads and writes a debug line
// for every event it handles.
class HtmlRenderer::EventSink : public HtmlViewListener {
 public:
  // Idle: a download has been seen (ever) and none is in progress.
  bool Idle() const { return downloadSeen_ && downloads_ == 0; }
  bool NavigationFailed() const { return navigationFailed_; }
  void NewNavigation() { navigationFailed_ = false; }

  void DownloadBegin() override {
    downloadSeen_ = true;
    ++downloads_;
    DebugOutput("Browser Busy\n");
  }
  void DownloadComplete() override {
    --downloads_;
    DebugOutput("Browser Idle\n");
  }
  void BeforeNavigate(const std::string&) override { DebugOutput("DISPID_BEFORENAVIGATE2\n"); }
  void NavigateComplete(const std::string&) override { DebugOutput("DISPID_NAVIGATECOMPLETE2\n"); }
  void NavigateError(const std::string&) override {
    navigationFailed_ = true;
    DebugOutput("DISPID_NAVIGATEERROR\n");
    if (loaded) loaded();
  }
  void DocumentComplete(const std::string&) override {
    DebugOutput("DISPID_DOCUMENTCOMPLETE\n");
    if (loaded) loaded();
  }
  void ProgressChange(int, int) override { DebugOutput("DISPID_PROGRESSCHANGE\n"); }
  void TitleChange(const std::string&) override { DebugOutput("DISPID_TITLECHANGE\n"); }

  std::function<void()> loaded;  // the renderer owner's notice

 private:
  bool downloadSeen_ = false;  // set by the first download, never cleared
  int downloads_ = 0;          // downloads begun and not yet complete
  bool navigationFailed_ = false;
};

HtmlRenderer::HtmlRenderer(int width, int height, TickSource ticks)
    : ticks_(std::move(ticks)),
      view_(std::make_unique<HtmlView>(width, height)),
      sink_(std::make_unique<EventSink>()),
      width_(width),
      height_(height) {
  if (!ticks_) ticks_ = SteadyTickCount;
  view_->SetListener(sink_.get());
  // A page of thousands of thumbnails takes a while to parse: not on the
  // owner's event loop.
  view_->SetParseInBackground(true);
}

HtmlRenderer::~HtmlRenderer() {
  if (view_) view_->SetListener(nullptr);
}

void HtmlRenderer::SetLoadedNotice(std::function<void()> notice) {
  sink_->loaded = std::move(notice);
}

bool HtmlRenderer::NavigationFailed() const { return sink_ && sink_->NavigationFailed(); }

void HtmlRenderer::Navigate(const std::string& url, const std::string& outputPath, int quality) {
  errorText_.clear();
  memoryMessage_.clear();
  outputPath_ = outputPath;
  quality_ = quality;
  url_ = url;
  DebugOutput("Navigate\n");
  sink_->NewNavigation();
  // A page the XSLT service made loads what its scope allows; any other
  // page only files of its own folder.
  std::optional<ReadScope> scope = PageScope(url);
  if (!scope) {
    scope.emplace();
    const bool fileUrl = url.rfind("file:", 0) == 0;
    scope->AddFolder(paths::FolderOf(
        fileUrl ? QUrl(QString::fromStdString(url)).toLocalFile().toStdString() : url));
  }
  view_->SetReadScope(std::move(scope));
  view_->Navigate(url);
  navigationStart_ = ticks_();
}

bool HtmlRenderer::IsReady() {
  if (!view_ || !sink_) {
    DebugOutput("IsReady failed\n");
    return true;
  }
  if (!sink_->Idle()) {
    if (ticks_() - navigationStart_ <= kDownloadWaitMs) return false;
    DebugOutput("Navigate timed out\n");
  }
  if (!view_->HasDocument()) return true;
  std::string documentUrl = view_->LocationUrl();
  if (documentUrl.empty()) documentUrl = "Web page";
  if (documentUrl == HtmlView::kBlankUrl) return false;
  std::string documentName, pageName;
  if (NameAfterSeparator(documentUrl, &documentName) && NameAfterSeparator(url_, &pageName) &&
      documentName != pageName) {
    return false;
  }
  return true;
}

void HtmlRenderer::StopLoading() { view_->Stop(); }

void HtmlRenderer::Draw() {
  memoryMessage_.clear();
  HtmlView& view = *view_;

  const std::string scroll = view.BodyAttribute("scroll");
  view.SetBodyAttribute("scroll", "no");  // no scroll bars in the picture

  int width = width_, height = height_;
  if (view.HasBody()) {
    width = view.OffsetWidth();
    height = view.OffsetHeight();
  }
  const int scrollWidth = view.ScrollWidth();
  const int scrollHeight = view.ScrollHeight();
  const int scrollLeft = view.ScrollLeft();
  const int scrollTop = view.ScrollTop();
  view.SetScrollLeft(0);
  view.SetScrollTop(0);

  // A page larger than the window is drawn at its full scroll size.
  if (height < scrollHeight || width < scrollWidth) {
    DrawPage(scrollWidth, scrollHeight);
  } else {
    DrawPage(width, height);
  }

  view.SetBodyAttribute("scroll", scroll);
  view.SetScrollTop(scrollTop);
  view.SetScrollLeft(scrollLeft);
}

void HtmlRenderer::DrawPage(int pageWidth, int pageHeight) {
  const double pixels = static_cast<double>(pageWidth) * pageHeight;
  const double scale =
      std::min({1.0, double{kMaxPhotoSide} / pageWidth, double{kMaxPhotoSide} / pageHeight,
                std::sqrt(static_cast<double>(kMaxPhotoPixels) / pixels)});
  if (scale < kMinimumScale) {
    OutOfMemory(pageWidth, pageHeight);
    return;
  }
  // The picture's size; every part of the page stays in it.
  const int width = std::max(1, static_cast<int>(pageWidth * scale));
  const int height = std::max(1, static_cast<int>(pageHeight * scale));
  const int bandRows =
      static_cast<int>(std::clamp<int64_t>(kBandBytes / (int64_t{width} * 4), 1, height));
  QImage band(width, bandRows, QImage::Format_RGB32);
  if (band.isNull()) {
    OutOfMemory(width, bandRows);
    return;
  }

  JpegStreamWriter writer;
  if (!writer.Open(outputPath_, width, height, quality_)) {
    SaveFailed(writer, width, height);
    return;
  }
  for (int top = 0; top < height; top += bandRows) {
    const int rows = std::min(bandRows, height - top);
    {
      QPainter painter(&band);
      painter.setTransform(QTransform(scale, 0, 0, scale, 0, -top));
      // The page rows that reach the band, with a row to spare on each side
      // of a reduced page.
      const int pageTop = scale < 1 ? static_cast<int>(std::floor(top / scale)) - 1 : top;
      const int pageBottom =
          scale < 1 ? static_cast<int>(std::ceil((top + rows) / scale)) + 1 : top + rows;
      view_->DrawArea(painter, QRect(0, pageTop, pageWidth, pageBottom - pageTop));
    }
    view_->ReleaseDrawnImages();
    // The band's rows as they lie in memory: 32 bits per pixel in bitmap
    // byte order (blue, green, red, unused), top row first, at the image's
    // own stride.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "Format_RGB32 is B, G, R, X in memory");
    Picture rows32;
    rows32.pixels = band.bits();
    rows32.width = width;
    rows32.height = rows;
    rows32.stride = static_cast<int32_t>(band.bytesPerLine());
    rows32.bitsPerPixel = 32;
    if (!writer.WriteRows(rows32)) {
      SaveFailed(writer, width, height);
      return;
    }
  }
  if (!writer.Finish()) SaveFailed(writer, width, height);
}

void HtmlRenderer::OutOfMemory(int width, int height) {
  const std::string text = FillIn(Translate("HtmlRenderer",
                                            "Fatal error. We are out of memory. Failed to create "
                                            "a %1x%2 image"),
                                  {std::to_string(width), std::to_string(height)});
  memoryMessage_ = text;
  // The movie learns of it too: no index photo was written.
  errorText_ += text + "\n";
}

void HtmlRenderer::SaveFailed(const JpegStreamWriter& writer, int width, int height) {
  errorText_ += FillIn(Translate("HtmlRenderer",
                                 "Failed to save jpeg image '%1' of size %2x%3 - "
                                 "Code: %4"),
                       {outputPath_, std::to_string(width), std::to_string(height),
                        std::to_string(writer.ErrorCode())}) +
                "\n";
}

}  // namespace ombrelo
