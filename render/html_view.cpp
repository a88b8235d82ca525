#include "render/html_view.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "html_container.h"
#include "platform/debug_output.h"
#include "platform/qt/thread_calls.h"
#include "platform/translate.h"
#include "platform/worker.h"
#include "project/file_read.h"
#include "render/master_stylesheet.h"

namespace ombrelo {

namespace {

constexpr char kBlankPage[] = "<html><head></head><body></body></html>";

QString HtmlEscaped(const std::string& text) {
  return QString::fromStdString(text).toHtmlEscaped();
}

std::string ErrorPage(const std::string& url) {
  return QStringLiteral(
             "<html><head><title>%1</title></head>"
             "<body style=\"font-family: sans-serif; margin: 16px\">"
             "<h3>%2</h3><p>%3</p></body></html>")
      .arg(HtmlEscaped(Translate("HtmlView", "Page not found")),
           HtmlEscaped(Translate("HtmlView", "This page could not be shown")), HtmlEscaped(url))
      .toStdString();
}

// Page and style sheet text as UTF-8. Pages are taken as UTF-8 unless they
// declare another character set in their first kilobyte, or are not valid
// UTF-8 at all (then they are read as Latin-1).
std::string ToUtf8(const QByteArray& bytes) {
  static const QRegularExpression kCharset(
      QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = kCharset.match(QString::fromLatin1(bytes.left(1024)));
  if (match.hasMatch()) {
    const QString name = match.captured(1);
    if (name.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) != 0 &&
        name.compare(QLatin1String("utf8"), Qt::CaseInsensitive) != 0) {
      QStringDecoder decoder(name.toLatin1().constData());
      if (decoder.isValid()) {
        const QString text = decoder.decode(bytes);
        if (!decoder.hasError()) return text.toStdString();
      }
    }
  }
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return bytes.toStdString();
  return QString::fromLatin1(bytes).toStdString();
}

// A navigation target: "about:blank", a URL with a scheme, or a file path.
QUrl TargetUrl(const std::string& target) {
  const QString text = QString::fromStdString(target).trimmed();
  if (text == QLatin1String(HtmlView::kBlankUrl)) return QUrl(text);
  static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
  if (kScheme.match(text).hasMatch()) return QUrl(text, QUrl::TolerantMode);
  return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

}  // namespace

class HtmlView::Impl : public QtHtmlContainer {
 public:
  // The empty page is made when it is first needed: parsing it loads the
  // fonts, which a view whose first page is parsed off this thread never
  // needs to do here.
  Impl(int width, int height) : location_(kBlankUrl) {
    SetViewportSize(width, height);
    context_.load_master_stylesheet(MasterStylesheet());
  }

  ~Impl() override {
    Settle();
    worker_.reset();
    // A parsed page still on its way is dropped while the container lives.
    QCoreApplication::removePostedEvents(&poster_);
    document_.reset();
  }

  HtmlViewListener* listener = nullptr;

  void Navigate(const std::string& target) {
    Settle();
    StopDownloads();
    const uint64_t gen = ++generation_;
    pagePending_ = true;
    const QUrl url = TargetUrl(target);
    if (!Emit(gen, [&](HtmlViewListener& l) { l.BeforeNavigate(target); })) return;
    QMetaObject::invokeMethod(
        &poster_, [this, gen, url, target] { LoadPage(gen, url, target); }, Qt::QueuedConnection);
  }

  bool Busy() const { return pagePending_ || openDownloads_ > 0; }
  void SetReadScope(std::optional<ReadScope> scope) {
    Settle();  // the picture loader reads the scope
    scope_ = std::move(scope);
  }

  void SetParseInBackground(bool on) { parseInBackground_ = on; }

  void SetUserStyleSheet(const std::string& css) {
    Settle();  // the parse off this thread reads the sheet
    userStyles_.clear();
    hasUserStyles_ = !css.empty();
    if (!hasUserStyles_) return;
    userStyles_.parse_stylesheet(css.c_str(), nullptr, nullptr, nullptr);
    userStyles_.sort_selectors();
  }

  void Stop() {
    Settle();
    StopDownloads();
    ++generation_;
  }
  const std::string& Location() const { return location_; }
  bool HasDocument() {
    EnsureDocument();
    return document_ != nullptr;
  }

  litehtml::element::ptr Body() {
    EnsureDocument();
    if (!document_ || !document_->root()) return nullptr;
    return document_->root()->select_one(std::string("body"));
  }

  void Resize(int width, int height) {
    Settle();
    SetViewportSize(width, height);
    if (document_) document_->media_changed();
    layoutDirty_ = true;
  }

  void Layout() {
    Settle();
    EnsureDocument();
    if (!document_ || !layoutDirty_) return;
    document_->render(std::max(1, ViewportWidth()));
    layoutDirty_ = false;
    ClampScroll();
  }

  int ScrollWidth() {
    Layout();
    return std::max(ViewportWidth(), document_ ? document_->width() : 0);
  }
  int ScrollHeight() {
    Layout();
    return std::max(ViewportHeight(), document_ ? document_->height() : 0);
  }

  int scrollX = 0;
  int scrollY = 0;

  void SetScroll(int x, int y) {
    scrollX = std::clamp(x, 0, std::max(0, ScrollWidth() - ViewportWidth()));
    scrollY = std::clamp(y, 0, std::max(0, ScrollHeight() - ViewportHeight()));
  }

  void Draw(QPainter& painter) {
    Layout();
    const QRect visible(0, 0, ViewportWidth(), ViewportHeight());
    painter.fillRect(visible, Qt::white);
    if (document_) QtHtmlContainer::Draw(*document_, painter, -scrollX, -scrollY, visible);
  }

  void DrawArea(QPainter& painter, const QRect& area) {
    Layout();
    painter.fillRect(area, Qt::white);
    if (document_) QtHtmlContainer::Draw(*document_, painter, 0, 0, area);
  }

  // Runs one of the engine's mouse handlers and what it leads to: images
  // that hover styles ask for, a clicked link.
  template <typename Handler>
  bool Mouse(Handler handler) {
    Settle();
    EnsureDocument();
    if (!document_) return false;
    Layout();
    litehtml::position::vector boxes;
    const bool redraw = handler(*document_, boxes);
    const uint64_t gen = generation_;
    StartRequestedDownloads(gen);
    if (!clickedAnchor_.empty()) {
      const std::string url = std::move(clickedAnchor_);
      clickedAnchor_.clear();
      Emit(gen, [&](HtmlViewListener& l) { l.AnchorClicked(url); });
    }
    return redraw;
  }

 protected:
  void ImageRequested(const QUrl& url) override { requestedImages_.push_back(url); }

  std::string StylesheetRequested(const QUrl& url) override {
    ++stylesheetsRead_;
    std::string bytes;
    if (!Read(url, kMaxStylesheetBytes, &bytes)) return std::string();
    return ToUtf8(QByteArray::fromStdString(bytes));
  }

  void AnchorClicked(const std::string& url) override { clickedAnchor_ = url; }

 private:
  // Calls the listener unless the navigation gen has been replaced; false
  // when it has (the caller then stops: a newer page is on its way).
  template <typename Call>
  bool Emit(uint64_t gen, Call call) {
    if (gen != generation_) return false;
    if (listener) call(*listener);
    return gen == generation_;
  }

  // Reads a local file the page loads into bytes, or (bytes null) only
  // checks that it may be read. False for a file outside the scope (unless
  // it is the page itself), one that is no regular file or is larger than
  // limit (each with a debug line), and one that cannot be read.
  bool Read(const QUrl& url, uint64_t limit, std::string* bytes, bool page = false) const {
    if (!url.isLocalFile()) return false;
    const std::string path = url.toLocalFile().toStdString();
    std::string why;
    FileRead outcome = FileRead::refused;
    if (!page && scope_ && !scope_->Allows(path)) {
      why = "outside the readable folders";
    } else {
      outcome =
          bytes ? ReadRegularFile(path, limit, bytes, &why) : CheckRegularFile(path, limit, &why);
    }
    if (outcome == FileRead::refused) DebugOutput("Page read refused: " + path + ": " + why + "\n");
    return outcome == FileRead::ok;
  }

  // The style sheet applied after the page's own, if any.
  litehtml::css* UserStyles() { return hasUserStyles_ ? &userStyles_ : nullptr; }

  // Ends every download of the page being replaced.
  void StopDownloads() {
    imageQueue_.clear();
    while (openDownloads_ > 0) {
      --openDownloads_;
      if (listener) listener->DownloadComplete();
    }
    pagePending_ = false;
  }

  // The empty page, until the first page is shown or while it is parsed.
  void EnsureDocument() {
    if (!document_ && parsesInFlight_ == 0)
      ShowDocument(QUrl(QString::fromLatin1(kBlankUrl)), kBlankPage);
  }

  void ShowDocument(const QUrl& url, const std::string& html) {
    document_.reset();
    PrepareDocument(url);
    AdoptDocument(url,
                  litehtml::document::createFromUTF8(html.c_str(), this, &context_, UserStyles()));
  }

  // The container's state for parsing a new page of that url: the parse
  // asks for its pictures and style sheets and names its title.
  void PrepareDocument(const QUrl& url) {
    ClearImages();
    SetDocumentUrl(url);
    requestedImages_.clear();
    stylesheetsRead_ = 0;
  }

  void AdoptDocument(const QUrl& url, litehtml::document::ptr document) {
    document_ = std::move(document);
    location_ = url.toString(QUrl::FullyEncoded).toStdString();
    layoutDirty_ = true;
    scrollX = 0;
    scrollY = 0;
    downloadsDone_ = 0;
    downloadsTotal_ = 0;
  }

  // Parsing, the part of loading that grows with the page, runs off this
  // thread, and the rest of the load follows back on this one. Until then
  // the view keeps the page it had (so it is not ready), and only the
  // worker touches the container: every call here that would (a new
  // navigation, Stop, layout, drawing) waits for it first.
  void ParseInBackground(uint64_t gen, const QUrl& url, const std::string& target,
                         std::string html) {
    PrepareDocument(url);
    ++parsesInFlight_;
    RunOff([this, gen, url, target, html = std::move(html)] {
      litehtml::document::ptr document =
          litehtml::document::createFromUTF8(html.c_str(), this, &context_, UserStyles());
      OffDone();
      // The page goes over whole: the worker keeps no share of it.
      poster_.Post([this, gen, url, target, document = std::move(document)]() mutable {
        --parsesInFlight_;
        if (gen != generation_) return;
        document_.reset();
        AdoptDocument(url, std::move(document));
        Loaded(gen, true, target);
      });
    });
  }

  // Work off this thread: one job at a time on a worker of the view's own
  // (made when first needed), each job calling OffDone once it no longer
  // touches the container, before it posts its result. So this thread
  // never waits for a job that is only finishing.
  void RunOff(std::function<void()> job) {
    if (!worker_) worker_ = std::make_unique<Worker>("page loader");
    offJobs_.fetch_add(1);
    worker_->Post(std::move(job));
  }
  // No lock: this thread must never wait for one the worker, at a lower
  // priority, may hold while it waits for a core.
  void OffDone() {
    if (offJobs_.fetch_sub(1) == 1) offJobs_.notify_all();
  }

  // Waits for the page being parsed off this thread, if any; a page whose
  // navigation has been replaced meanwhile is dropped when it arrives. Stops
  // the picture loader after the picture in hand; the pictures it had not
  // come to go back to the queue, and a later step goes on with them.
  void Settle() {
    stopLoader_ = true;
    for (int jobs = offJobs_.load(); jobs != 0; jobs = offJobs_.load()) offJobs_.wait(jobs);
    stopLoader_ = false;
    if (!loaderActive_) return;
    loaderActive_ = false;
    imageQueue_.insert(imageQueue_.begin(), loaderBatch_.begin(), loaderBatch_.end());
    loaderBatch_.clear();
    imageStepPosted_ = false;
    PostImageStep();
  }

  void StartRequestedDownloads(uint64_t gen) {
    std::vector<QUrl> urls;
    urls.swap(requestedImages_);
    for (const QUrl& url : urls) {
      ++openDownloads_;
      ++downloadsTotal_;
      if (!Emit(gen, [](HtmlViewListener& l) { l.DownloadBegin(); })) return;
      imageQueue_.push_back({gen, url});
    }
    PostImageStep();
  }

  void PostImageStep() {
    if (imageStepPosted_ || imageQueue_.empty()) return;
    imageStepPosted_ = true;
    QMetaObject::invokeMethod(
        &poster_, [this] { LoadImages(); }, Qt::QueuedConnection);
  }

  // Pictures are loaded a few milliseconds' worth at a time, so that a page
  // of thousands of them never holds the event loop for long; a view whose
  // pages are parsed off this thread loads them off it too (reading a
  // picture's size may wait for a slow disk), each picture's download
  // completing on this thread.
  void LoadImages() {
    imageStepPosted_ = false;
    if (parseInBackground_) {
      LoadImagesInBackground();
      return;
    }
    QElapsedTimer spent;
    spent.start();
    while (!imageQueue_.empty() && spent.elapsed() < kImageStepMs) {
      const ImageLoad next = imageQueue_.front();
      imageQueue_.pop_front();
      LoadImage(next.gen, next.url);
    }
    PostImageStep();
  }

  // Only the worker touches the container until it is settled.
  void LoadImagesInBackground() {
    if (loaderActive_ || imageQueue_.empty()) return;
    loaderBatch_.swap(imageQueue_);
    loaderActive_ = true;
    imageStepPosted_ = true;  // the batch's end posts the next step
    const uint64_t run = ++loaderRuns_;
    RunOff([this, run] {
      // The last picture is reported after OffDone: hearing of it, this
      // thread may settle the view (to draw it) without waiting.
      std::optional<uint64_t> stored;
      while (!loaderBatch_.empty() && !stopLoader_) {
        if (stored) poster_.Post([this, gen = *stored] { ImageLoaded(gen); });
        const ImageLoad next = loaderBatch_.front();
        loaderBatch_.pop_front();
        StoreImage(next.url,
                   Read(next.url, kMaxPictureBytes, nullptr) ? next.url.toLocalFile() : QString());
        stored = next.gen;
      }
      OffDone();
      if (stored) poster_.Post([this, gen = *stored] { ImageLoaded(gen); });
      poster_.Post([this, run] {
        if (run != loaderRuns_ || !loaderActive_) return;
        // The whole batch is in; pictures asked for meanwhile follow.
        loaderActive_ = false;
        imageStepPosted_ = false;
        PostImageStep();
      });
    });
  }

  void LoadPage(uint64_t gen, const QUrl& url, const std::string& target) {
    Settle();
    if (gen != generation_) return;
    pagePending_ = false;
    ++openDownloads_;
    if (!Emit(gen, [](HtmlViewListener& l) { l.DownloadBegin(); })) return;

    std::string html;
    bool ok = false;
    if (url.toString() == QLatin1String(kBlankUrl)) {
      html = kBlankPage;
      ok = true;
    } else {
      std::string bytes;
      ok = Read(url, kMaxDocumentBytes, &bytes, true);
      if (ok) html = ToUtf8(QByteArray::fromStdString(bytes));
    }
    if (ok && parseInBackground_) {
      ParseInBackground(gen, url, target, std::move(html));
      return;
    }
    if (ok) {
      ShowDocument(url, html);
    } else {
      ShowDocument(QUrl(QString::fromLatin1(kErrorPageUrl)), ErrorPage(target));
    }
    Loaded(gen, ok, target);
  }

  // The rest of loading a page that is shown now (ok) or failed.
  void Loaded(uint64_t gen, bool ok, const std::string& target) {
    const int stylesheets = stylesheetsRead_;

    if (!ok && !Emit(gen, [&](HtmlViewListener& l) { l.NavigateError(target); })) return;
    for (int i = 0; i < stylesheets; ++i) {
      if (!Emit(gen, [](HtmlViewListener& l) {
            l.DownloadBegin();
            l.DownloadComplete();
          }))
        return;
    }
    StartRequestedDownloads(gen);
    if (gen != generation_) return;
    if (!Caption().empty() && !Emit(gen, [&](HtmlViewListener& l) { l.TitleChange(Caption()); }))
      return;
    if (ok && !Emit(gen, [&](HtmlViewListener& l) { l.NavigateComplete(location_); })) return;
    --openDownloads_;
    if (!Emit(gen, [](HtmlViewListener& l) {
          l.DownloadComplete();
          l.Changed();
        }))
      return;
    if (openDownloads_ == 0) Emit(gen, [&](HtmlViewListener& l) { l.DocumentComplete(location_); });
  }

  void LoadImage(uint64_t gen, const QUrl& url) {
    if (gen != generation_) return;
    StoreImage(url, Read(url, kMaxPictureBytes, nullptr) ? url.toLocalFile() : QString());
    ImageLoaded(gen);
  }

  // The download of a picture whose size has been stored has completed.
  void ImageLoaded(uint64_t gen) {
    if (gen != generation_) return;
    layoutDirty_ = true;
    --openDownloads_;
    ++downloadsDone_;
    if (!Emit(gen, [&](HtmlViewListener& l) {
          l.DownloadComplete();
          l.ProgressChange(downloadsDone_, downloadsTotal_);
          l.Changed();
        }))
      return;
    if (openDownloads_ == 0) Emit(gen, [&](HtmlViewListener& l) { l.DocumentComplete(location_); });
  }

  void ClampScroll() {
    const int maxX = std::max(0, std::max(ViewportWidth(), document_->width()) - ViewportWidth());
    const int maxY =
        std::max(0, std::max(ViewportHeight(), document_->height()) - ViewportHeight());
    scrollX = std::clamp(scrollX, 0, maxX);
    scrollY = std::clamp(scrollY, 0, maxY);
  }

  std::optional<ReadScope> scope_;  // what pages may load; nullopt: any local file
  litehtml::context context_;
  litehtml::css userStyles_;
  bool hasUserStyles_ = false;
  litehtml::document::ptr document_;
  ThreadCalls poster_;  // posted load steps die with the view
  struct ImageLoad {
    uint64_t gen;
    QUrl url;
  };
  static constexpr qint64 kImageStepMs = 4;
  std::deque<ImageLoad> imageQueue_;  // pictures whose download has begun
  bool imageStepPosted_ = false;
  bool parseInBackground_ = false;
  int parsesInFlight_ = 0;             // pages parsed off this thread, not yet adopted
  bool loaderActive_ = false;          // a batch of pictures is given to the worker
  std::deque<ImageLoad> loaderBatch_;  // only the worker touches it while it is active
  std::atomic<bool> stopLoader_{false};
  uint64_t loaderRuns_ = 0;
  std::atomic<int> offJobs_{0};  // jobs given, not done
  std::unique_ptr<Worker> worker_;
  std::string location_;
  uint64_t generation_ = 0;
  bool pagePending_ = false;
  bool layoutDirty_ = true;
  int openDownloads_ = 0;
  int downloadsDone_ = 0;
  int downloadsTotal_ = 0;
  int stylesheetsRead_ = 0;
  std::vector<QUrl> requestedImages_;
  std::string clickedAnchor_;
};

HtmlView::HtmlView(int width, int height) : impl_(std::make_unique<Impl>(width, height)) {}
HtmlView::~HtmlView() = default;

void HtmlView::SetListener(HtmlViewListener* listener) { impl_->listener = listener; }
void HtmlView::SetReadScope(std::optional<ReadScope> scope) {
  impl_->SetReadScope(std::move(scope));
}
void HtmlView::Navigate(const std::string& url) { impl_->Navigate(url); }
bool HtmlView::Busy() const { return impl_->Busy(); }
void HtmlView::Stop() { impl_->Stop(); }
void HtmlView::SetParseInBackground(bool on) { impl_->SetParseInBackground(on); }
void HtmlView::SetUserStyleSheet(const std::string& css) { impl_->SetUserStyleSheet(css); }
std::string HtmlView::LocationUrl() const { return impl_->Location(); }
std::string HtmlView::Title() const { return impl_->Caption(); }
bool HtmlView::HasDocument() const { return impl_->HasDocument(); }
bool HtmlView::HasBody() const { return impl_->Body() != nullptr; }

int HtmlView::Width() const { return impl_->ViewportWidth(); }
int HtmlView::Height() const { return impl_->ViewportHeight(); }
void HtmlView::Resize(int width, int height) { impl_->Resize(width, height); }

std::string HtmlView::BodyAttribute(const std::string& name) const {
  const litehtml::element::ptr body = impl_->Body();
  const char* value = body ? body->get_attr(name.c_str()) : nullptr;
  return value ? value : "";
}

void HtmlView::SetBodyAttribute(const std::string& name, const std::string& value) {
  if (const litehtml::element::ptr body = impl_->Body())
    body->set_attr(name.c_str(), value.c_str());
}

int HtmlView::OffsetWidth() const { return impl_->ViewportWidth(); }
int HtmlView::OffsetHeight() const { return impl_->ViewportHeight(); }
int HtmlView::ScrollWidth() const { return impl_->ScrollWidth(); }
int HtmlView::ScrollHeight() const { return impl_->ScrollHeight(); }
int HtmlView::ScrollLeft() const { return impl_->scrollX; }
int HtmlView::ScrollTop() const { return impl_->scrollY; }
void HtmlView::SetScrollLeft(int x) { impl_->SetScroll(x, impl_->scrollY); }
void HtmlView::SetScrollTop(int y) { impl_->SetScroll(impl_->scrollX, y); }

void HtmlView::DrawVisible(QPainter& painter) { impl_->Draw(painter); }
void HtmlView::DrawArea(QPainter& painter, const QRect& area) { impl_->DrawArea(painter, area); }
void HtmlView::ReleaseDrawnImages() { impl_->ReleaseDrawnImages(); }

QImage HtmlView::RenderVisible() {
  QImage image(std::max(1, Width()), std::max(1, Height()), QImage::Format_RGB32);
  if (image.isNull()) return image;
  QPainter painter(&image);
  DrawVisible(painter);
  return image;
}

bool HtmlView::MouseMove(int x, int y) {
  return impl_->Mouse([&](litehtml::document& doc, litehtml::position::vector& boxes) {
    return doc.on_mouse_over(x + impl_->scrollX, y + impl_->scrollY, x, y, boxes);
  });
}

bool HtmlView::MouseDown(int x, int y) {
  return impl_->Mouse([&](litehtml::document& doc, litehtml::position::vector& boxes) {
    return doc.on_lbutton_down(x + impl_->scrollX, y + impl_->scrollY, x, y, boxes);
  });
}

bool HtmlView::MouseUp(int x, int y) {
  return impl_->Mouse([&](litehtml::document& doc, litehtml::position::vector& boxes) {
    return doc.on_lbutton_up(x + impl_->scrollX, y + impl_->scrollY, x, y, boxes);
  });
}

bool HtmlView::MouseLeave() {
  return impl_->Mouse([&](litehtml::document& doc, litehtml::position::vector& boxes) {
    return doc.on_mouse_leave(boxes);
  });
}

}  // namespace ombrelo
