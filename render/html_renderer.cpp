#include "render/html_renderer.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <span>

#include "imaging/bitmap_header.h"
#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "project/message_port.h"
#include "render/html_view.h"

namespace ombrelo {

namespace {

// printf-style formatting into a string of any length.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<size_t>(length));
  return text;
}

// The part after the last folder separator; npos-safe.
bool NameAfterSeparator(const std::string& text, std::string* name) {
  const size_t at = paths::LastSeparator(text);
  if (at == std::string::npos) return false;
  *name = text.substr(at + 1);
  return true;
}

// The message box for a page too large for memory, without owner window.
void ShowOutOfMemory(const std::string& text) {
  ShowMessage("Out of memory", text, MessageIcon::none, MessageOwner::none);
}

}  // namespace

std::vector<TileStep> PlanTiles(int tileWidth, int tileHeight, int totalWidth, int totalHeight) {
  std::vector<TileStep> steps;
  if (tileWidth <= 0 || tileHeight <= 0 || totalWidth <= 0 || totalHeight <= 0) return steps;
  // 64-bit counters: a page near the largest int must not overflow them.
  for (int64_t y = 0; y < totalHeight; y += tileHeight) {
    const int top = static_cast<int>(y);
    const int bandHeight = std::min(tileHeight, totalHeight - top);
    const int sourceY = top == 0 ? 0 : tileHeight - bandHeight;
    for (int64_t x = 0; x < totalWidth; x += tileWidth) {
      const int left = static_cast<int>(x);
      const int columnWidth = std::min(tileWidth, totalWidth - left);
      const int sourceX = left == 0 ? 0 : tileWidth - columnWidth;
      steps.push_back(TileStep{left, top, sourceX, sourceY, columnWidth, bandHeight});
    }
  }
  return steps;
}

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
  }
  void DocumentComplete(const std::string&) override { DebugOutput("DISPID_DOCUMENTCOMPLETE\n"); }
  void ProgressChange(int, int) override { DebugOutput("DISPID_PROGRESSCHANGE\n"); }
  void TitleChange(const std::string&) override { DebugOutput("DISPID_TITLECHANGE\n"); }

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
}

HtmlRenderer::~HtmlRenderer() {
  if (view_) view_->SetListener(nullptr);
}

bool HtmlRenderer::NavigationFailed() const { return sink_ && sink_->NavigationFailed(); }

void HtmlRenderer::Navigate(const std::string& url, const std::string& outputPath, int quality) {
  errorText_.clear();
  outputPath_ = outputPath;
  quality_ = quality;
  url_ = url;
  DebugOutput("Navigate\n");
  sink_->NewNavigation();
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

void HtmlRenderer::Capture() {
  if (!IsReady()) return;
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

  if (height < scrollHeight || width < scrollWidth) {
    DrawTiles(width, height, scrollWidth, scrollHeight);
  } else {
    DrawOnce(width, height);
  }

  view.SetBodyAttribute("scroll", scroll);
  view.SetScrollTop(scrollTop);
  view.SetScrollLeft(scrollLeft);
}

void HtmlRenderer::DrawOnce(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) {
    OutOfMemory(width, height, true);
    return;
  }
  {
    QPainter painter(&image);
    view_->DrawVisible(painter);
  }
  Save(image);
}

void HtmlRenderer::DrawTiles(int tileWidth, int tileHeight, int totalWidth, int totalHeight) {
  QImage whole(totalWidth, totalHeight, QImage::Format_RGB32);
  if (whole.isNull()) {
    OutOfMemory(totalWidth, totalHeight, true);
    return;
  }
  QImage tile(tileWidth, tileHeight, QImage::Format_RGB32);
  if (tile.isNull()) {
    OutOfMemory(tileWidth, tileHeight, false);
    return;
  }
  {
    QPainter painter(&whole);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const TileStep& step : PlanTiles(tileWidth, tileHeight, totalWidth, totalHeight)) {
      view_->SetScrollTop(step.top);
      view_->SetScrollLeft(step.left);
      {
        QPainter tilePainter(&tile);
        view_->DrawVisible(tilePainter);
      }
      painter.drawImage(QPoint(step.left, step.top), tile,
                        QRect(step.sourceX, step.sourceY, step.width, step.height));
    }
  }
  Save(whole);
}

void HtmlRenderer::OutOfMemory(int width, int height, bool tell) {
  const std::string text =
      Format("Fatal error. We are out of memory. Failed to create a %dx%d image", width, height);
  if (tell) ShowOutOfMemory(text);
  // The movie learns of it too: no index photo was written.
  errorText_ += text + "\n";
}

void HtmlRenderer::Save(const QImage& image) {
  // The picture is the image's rows as they lie in memory: 32 bits per
  // pixel in bitmap byte order (blue, green, red, unused), top row first.
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "Format_RGB32 is B, G, R, X in memory");
  BitmapInfoHeader header;
  header.biWidth = image.width();
  header.biHeight = image.height();
  header.biBitCount = 32;
  header.biSizeImage = static_cast<uint32_t>(image.bytesPerLine()) * image.height();
  const HeaderPicture picture =
      PictureFromBitmapHeader(header, {}, const_cast<uint8_t*>(image.constBits()));
  errno = 0;
  if (!SaveJPG(picture.picture, outputPath_, quality_, /*bottomUp=*/false)) {
    const int code = errno;
    errorText_ += Format("Failed to save jpeg image '%s' of size %dx%d - Code: %d\n",
                         outputPath_.c_str(), image.width(), image.height(), code);
  }
}

}  // namespace ombrelo
