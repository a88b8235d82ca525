#include "render/index_photo.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdio>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/qt/thread_calls.h"
#include "platform/translate.h"
#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"
#include "render/html_renderer.h"
#include "render/read_scope.h"

namespace ombrelo {

namespace {

// Temporary pages are numbered through the whole run, so that a page can
// be told from the one loaded before it.
std::atomic<int> pageCounter{0};

// One of the error texts with the output path in place of its "%s".
std::string WithPath(const char* text, const std::string& path) {
  return FillIn(TranslateKept("IndexPhoto", text), {path}) + "\n";
}

}  // namespace

void IndexPhotoHost::Notice(const Message& message) {
  DebugOutput(message.caption + ": " + message.text + "\n");
}

ProjectIndexPhotoHost::ProjectIndexPhotoHost(CProject& project) : project_(project) {}

std::string ProjectIndexPhotoHost::TemporaryFolder() { return project_.TemporaryFolder(); }

void ProjectIndexPhotoHost::SetMovieError(int32_t movieId, const std::string& text) {
  if (!project_.AddMovieError(movieId, text)) {
    DebugOutput("Index photo of a removed movie: " + text);
  }
}

std::vector<std::pair<size_t, size_t>> IndexPhotoParts(size_t imageCount, int thumbWidth,
                                                       int thumbHeight) {
  if (imageCount == 0 || thumbWidth <= 0 || thumbHeight <= 0) return {{0, imageCount}};
  // The least the renderer may reduce the page by.
  const double least =
      thumbWidth > kLeastPhotoThumbnailWidth ? double{kLeastPhotoThumbnailWidth} / thumbWidth : 1.0;
  // The page with room to spare: each cell the thumbnail and 40 px of
  // border and spacing, each row the thumbnail and 64 px of caption, a head
  // of 400 px, and a tenth of the limits kept free.
  constexpr size_t kPerRow = 3;
  constexpr double kHead = 400;
  constexpr double kSpare = 0.9;
  const double pageWidth = kPerRow * (thumbWidth + 40.0) + 40.0;
  const double rowHeight = thumbHeight + 64.0;
  const double tallest = std::min(kSpare * HtmlRenderer::kMaxPhotoSide / least,
                                  kSpare * static_cast<double>(HtmlRenderer::kMaxPhotoPixels) /
                                      (least * least * pageWidth)) -
                         kHead;
  const size_t rows = tallest > rowHeight ? static_cast<size_t>(tallest / rowHeight) : 1;
  const size_t most = rows * kPerRow;
  if (imageCount <= most) return {{0, imageCount}};
  // As many parts as needed, filled evenly in whole rows.
  const size_t count = (imageCount + most - 1) / most;
  size_t each = (imageCount + count - 1) / count;
  each = (each + kPerRow - 1) / kPerRow * kPerRow;
  std::vector<std::pair<size_t, size_t>> parts;
  for (size_t first = 0; first < imageCount; first += each) {
    parts.emplace_back(first, std::min(imageCount, first + each));
  }
  return parts;
}

std::vector<std::pair<size_t, size_t>> MovieIndexPhotoParts(const Movie& movie, float scale) {
  const auto scaled = [scale](int32_t value) {
    return static_cast<int>(static_cast<float>(value < 0 ? -value : value) * scale);
  };
  return IndexPhotoParts(movie.images.size(), scaled(movie.videoFormat.biWidth),
                         scaled(movie.videoFormat.biHeight));
}

std::string IndexPhotoPartDocument(const Movie& movie, std::pair<size_t, size_t> part,
                                   const std::string& pagePath, float scale) {
  Movie shown(movie);
  const size_t end = std::min(part.second, shown.images.size());
  const size_t first = std::min(part.first, end);
  shown.images.erase(shown.images.begin() + static_cast<std::ptrdiff_t>(end), shown.images.end());
  shown.images.erase(shown.images.begin(),
                     shown.images.begin() + static_cast<std::ptrdiff_t>(first));
  return MovieDocument(shown, pagePath, scale);
}

std::vector<std::string> ClaimIndexPhotoParts(const Movie& movie, const std::string& photoPath,
                                              size_t count) {
  std::vector<std::string> parts;
  for (size_t n = 2; n <= count; ++n) {
    const std::string recorded =
        n - 2 < movie.indexphotoParts.size() ? movie.indexphotoParts[n - 2] : std::string();
    parts.push_back(ClaimOutputFile(IndexPhotoPartPath(photoPath, static_cast<int>(n)),
                                    movie.path(), recorded));
  }
  return parts;
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
      calls_(std::make_unique<ThreadCalls>()),
      drawer_(std::make_unique<Worker>("index photo")) {
  deadline_->setSingleShot(true);
  QObject::connect(deadline_.get(), &QTimer::timeout, [this] { host_.PostPoll(); });
}

IndexPhotoGenerator::~IndexPhotoGenerator() {
  // The drawing in hand ends first; its report is dropped with calls_.
  drawer_.reset();
}

std::string IndexPhotoGenerator::NextPage() {
  return NextTemporaryPageName(host_.TemporaryFolder());
}

void IndexPhotoGenerator::PageFailed(int32_t movieId, const std::string& outputPath) {
  if (outputPath.empty()) return;
  DebugOutput("Failed to generate html\n");
  // No photo will come of it: the movie must not look as if it had one.
  host_.SetMovieError(movieId, WithPath(kPageFailedText, outputPath));
  host_.IndexPhotoFinished(movieId, false);
}

void IndexPhotoGenerator::RenderParts(int32_t movieId, std::vector<Part> parts, int width,
                                      int height, int quality) {
  if (parts.empty()) return;
  const Request request{movieId, std::move(parts), 0, quality, width, height};
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
  NavigatePart();
}

void IndexPhotoGenerator::NavigatePart() {
  const Part& part = pending_.parts[pending_.part];
  paths::CreateFolders(paths::FolderOf(part.outputPath));
  current_->Navigate(part.page, part.outputPath, pending_.quality);
  host_.PostPoll();
}

void IndexPhotoGenerator::Poll() {
  if (!current_ || drawing_) return;
  HtmlRenderer& renderer = *current_;

  if (renderer.NavigationFailed()) {
    host_.SetMovieError(pending_.movieId, WithPath(kNotLoadedText, pending_.OutputPath()));
    Finish(false);
    return;
  }
  if (renderer.IsReady()) {
    StartDrawing();
    return;
  }
  if (ticks_() - renderer.NavigationStart() > giveUpMs_) {
    DebugOutput("Index photo timed out\n");
    host_.SetMovieError(pending_.movieId, WithPath(kTimedOutText, pending_.OutputPath()));
    Finish(false);
    return;
  }
  WaitForDeadline(renderer);
}

void IndexPhotoGenerator::StartDrawing() {
  deadline_->stop();
  current_->StopLoading();
  drawing_ = true;
  drawer_->Post([this, renderer = current_, movieId = pending_.movieId] {
    renderer->Draw();
    calls_->Post([this, movieId] { Drawn(movieId); });
  });
}

void IndexPhotoGenerator::Drawn(int32_t movieId) {
  drawing_ = false;
  if (!current_ || movieId != pending_.movieId) return;
  HtmlRenderer& renderer = *current_;
  if (!renderer.MemoryMessage().empty())
    host_.Notice(Message{Translate("IndexPhoto", "Out of memory"), renderer.MemoryMessage(),
                         MessageIcon::none, MessageOwner::none});
  const bool written = renderer.ErrorText().empty();
  if (!written) host_.SetMovieError(movieId, renderer.ErrorText());
  if (written && pending_.part + 1 < pending_.parts.size()) {
    ++pending_.part;
    NavigatePart();
    return;
  }
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
  // Removing a file can wait on the disk (freeing its blocks): not here.
  std::vector<std::string> pages;
  for (const Part& part : done.parts) {
    ForgetPageScope(part.page);
    pages.push_back(part.page);
  }
  drawer_->Post([pages = std::move(pages)] {
    for (const std::string& page : pages) std::remove(page.c_str());
  });
  host_.IndexPhotoFinished(done.movieId, written);
  if (!current_ && !waiting_.empty()) {
    const Request next = waiting_.front();
    waiting_.pop_front();
    Start(next);
  }
}

}  // namespace ombrelo
