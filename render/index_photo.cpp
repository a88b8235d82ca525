#include "render/index_photo.h"

#include <pthread.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/thread_handoff.h"
#include "project/movie.h"
#include "project/project.h"
#include "render/html_renderer.h"
#include "render/read_scope.h"
#include "render/xslt_service.h"

namespace ombrelo {

namespace {

// Temporary pages are numbered through the whole run, so that a page can
// be told from the one loaded before it.
std::atomic<int> pageCounter{0};

// One of the error texts with the output path in place of its "%s".
std::string WithPath(const char* text, const std::string& path) {
  std::string result = text;
  const size_t at = result.find("%s");
  if (at != std::string::npos) result.replace(at, 2, path);
  return result;
}

// The drawing thread's report that the movie's photo has been drawn.
class DrawnEvent : public QEvent {
 public:
  explicit DrawnEvent(int32_t id) : QEvent(QEvent::User), movieId(id) {}
  const int32_t movieId;
};

}  // namespace

// Lives on the owner's thread and passes the drawing thread's report on.
class IndexPhotoGenerator::Receiver : public QObject {
 public:
  explicit Receiver(IndexPhotoGenerator& owner) : owner_(owner) {}

 protected:
  void customEvent(QEvent* event) override {
    Received(event);
    if (auto* drawn = dynamic_cast<DrawnEvent*>(event)) owner_.Drawn(drawn->movieId);
  }

 private:
  IndexPhotoGenerator& owner_;
};

ProjectIndexPhotoHost::ProjectIndexPhotoHost(CProject& project, const XsltService& pages)
    : project_(project), pages_(pages) {}

std::string ProjectIndexPhotoHost::TemporaryFolder() { return project_.TemporaryFolder(); }

bool ProjectIndexPhotoHost::GeneratePage(int32_t movieId, const std::string& pagePath,
                                         const std::string& stylesheet) {
  return pages_.GeneratePageForMovie(pagePath, stylesheet, movieId);
}

void ProjectIndexPhotoHost::CopyCompanionFolder(const std::string& stylesheet,
                                                const std::string& destinationFolder) {
  ombrelo::CopyCompanionFolder(stylesheet, destinationFolder);
}

void ProjectIndexPhotoHost::SetMovieError(int32_t movieId, const std::string& text) {
  if (!project_.AddMovieError(movieId, text)) {
    DebugOutput("Index photo of a removed movie: " + text);
  }
}

std::string NextTemporaryPageName(const std::string& folder) {
  const int number = ++pageCounter;
  return paths::WithTrailingSeparator(folder) + "tmphtmltoimage" + std::to_string(number) + ".html";
}

IndexPhotoGenerator::IndexPhotoGenerator(IndexPhotoHost& host, TickSource ticks, uint64_t giveUpMs)
    : host_(host),
      ticks_(ticks ? std::move(ticks) : TickSource(SteadyTickCount)),
      giveUpMs_(giveUpMs),
      deadline_(std::make_unique<QTimer>()),
      receiver_(std::make_unique<Receiver>(*this)) {
  deadline_->setSingleShot(true);
  QObject::connect(deadline_.get(), &QTimer::timeout, [this] { host_.PostPoll(); });
}

IndexPhotoGenerator::~IndexPhotoGenerator() {
  // The drawing in hand ends first; its report dies with the receiver.
  if (drawer_.joinable()) drawer_.join();
}

void IndexPhotoGenerator::Generate(int32_t movieId, const std::string& outputPath, int width,
                                   int height, int quality, const std::string& indexTemplate) {
  if (outputPath.empty()) return;
  const std::string page = NextPage();
  const std::string stylesheet = "templates/index/" + indexTemplate;
  const bool generated = host_.GeneratePage(movieId, page, stylesheet);
  // The companion files go next to the page that refers to them.
  if (generated) host_.CopyCompanionFolder(stylesheet, paths::FolderOf(page));
  PageGenerated(movieId, generated, page, outputPath, width, height, quality);
}

std::string IndexPhotoGenerator::NextPage() {
  return NextTemporaryPageName(host_.TemporaryFolder());
}

void IndexPhotoGenerator::PageGenerated(int32_t movieId, bool generated, const std::string& page,
                                        const std::string& outputPath, int width, int height,
                                        int quality) {
  if (outputPath.empty()) return;
  if (!generated) {
    DebugOutput("Failed to generate html\n");
    // No photo will come of it: the movie must not look as if it had one.
    host_.SetMovieError(movieId, WithPath(kPageFailedText, outputPath));
    host_.IndexPhotoFinished(movieId, false);
    return;
  }
  RenderPage(movieId, page, outputPath, width, height, quality);
}

void IndexPhotoGenerator::RenderPage(int32_t movieId, const std::string& page,
                                     const std::string& outputPath, int width, int height,
                                     int quality) {
  if (outputPath.empty()) return;
  const Request request{movieId, page, outputPath, quality, width, height};
  if (current_) {
    waiting_.push_back(request);
    return;
  }
  Start(request);
}

void IndexPhotoGenerator::Start(const Request& request) {
  if (!renderer_) {
    renderer_ = std::make_unique<HtmlRenderer>(request.width, request.height, ticks_);
    renderer_->SetLoadedNotice([this] {
      if (current_) host_.PostPoll();
    });
  }
  current_ = renderer_.get();
  pending_ = request;
  paths::CreateFolders(paths::FolderOf(request.outputPath));
  current_->Navigate(request.page, request.outputPath, request.quality);
  host_.PostPoll();
}

void IndexPhotoGenerator::Poll() {
  if (!current_ || drawing_) return;
  HtmlRenderer& renderer = *current_;

  if (renderer.NavigationFailed()) {
    host_.SetMovieError(pending_.movieId, WithPath(kNotLoadedText, pending_.outputPath));
    Finish(false);
    return;
  }
  if (renderer.IsReady()) {
    StartDrawing();
    return;
  }
  if (ticks_() - renderer.NavigationStart() > giveUpMs_) {
    DebugOutput("Index photo timed out\n");
    host_.SetMovieError(pending_.movieId, WithPath(kTimedOutText, pending_.outputPath));
    Finish(false);
    return;
  }
  WaitForDeadline(renderer);
}

void IndexPhotoGenerator::StartDrawing() {
  deadline_->stop();
  current_->StopLoading();
  drawing_ = true;
  if (drawer_.joinable()) drawer_.join();
  drawer_ =
      std::thread([renderer = current_, movieId = pending_.movieId, receiver = receiver_.get()] {
        pthread_setname_np(pthread_self(), "index photo");
        renderer->Draw();
        auto event = std::make_unique<DrawnEvent>(movieId);
        HandOff(event.get());
        QCoreApplication::postEvent(receiver, event.release());
      });
}

void IndexPhotoGenerator::Drawn(int32_t movieId) {
  drawer_.join();
  drawing_ = false;
  if (!current_ || movieId != pending_.movieId) return;
  HtmlRenderer& renderer = *current_;
  renderer.ShowMessages();
  const bool written = renderer.ErrorText().empty();
  if (!written) host_.SetMovieError(movieId, renderer.ErrorText());
  Finish(written);
}

void IndexPhotoGenerator::WaitForDeadline(const HtmlRenderer& renderer) {
  // The renderer stops waiting for downloads at one limit, the generator
  // for the page at the other; the loaded notice may come before either.
  const uint64_t elapsed = ticks_() - renderer.NavigationStart();
  uint64_t due = giveUpMs_ + 1;
  if (elapsed <= HtmlRenderer::kDownloadWaitMs)
    due = std::min(due, HtmlRenderer::kDownloadWaitMs + 1);
  const uint64_t wait = due > elapsed ? due - elapsed : 0;
  deadline_->start(static_cast<int>(std::min<uint64_t>(wait, INT_MAX)));
}

void IndexPhotoGenerator::Finish(bool written) {
  const Request done = pending_;
  current_ = nullptr;
  deadline_->stop();
  std::remove(done.page.c_str());
  ForgetPageScope(done.page);
  host_.IndexPhotoFinished(done.movieId, written);
  if (!current_ && !waiting_.empty()) {
    const Request next = waiting_.front();
    waiting_.pop_front();
    Start(next);
  }
}

}  // namespace ombrelo
