#include "app/desktop/results/thumbnail_cache.h"

#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <deque>
#include <mutex>

#include "imaging/picture.h"
#include "imaging/qimage_bitmap.h"

namespace ombrelo::desktop {

CellPlacement PlaceInCell(QSize cell, QSize picture) {
  const int W = cell.width();
  const int H = cell.height();
  const int w = picture.width();
  const int h = picture.height();
  if (W <= 0 || H <= 0 || w <= 0 || h <= 0) return {};
  const int drawn = static_cast<int>(static_cast<double>(w) * H / h);
  const int left = (W - drawn) / 2;
  if (left >= 0) return {QRect(0, 0, w, h), QRect(left, 0, drawn, H)};
  // Wider than the cell: the centre part of the picture fills it.
  const int part = std::max(1, static_cast<int>(static_cast<double>(h) * W / H));
  return {QRect((w - part) / 2, 0, part, h), QRect(0, 0, W, H)};
}

namespace {

// Loads one picture and prepares what its cell shows.
ThumbnailCache::Entry LoadEntry(const std::string& path, QSize cell, qreal pixelRatio) {
  ThumbnailCache::Entry entry;
  const QSize pixels = (QSizeF(cell) * pixelRatio).toSize();
  PictureSize size{pixels.width(), pixels.height()};  // decode no larger than needed
  const QImage decoded = LoadQImage(path, &size);
  if (decoded.isNull() || size.width <= 0 || size.height <= 0) return entry;
  entry.picture = QSize(size.width, size.height);
  const CellPlacement place = PlaceInCell(cell, entry.picture);
  // The placement is in the file's pixels; the decoded picture may be
  // smaller by the JPEG scale.
  const double sx = static_cast<double>(decoded.width()) / size.width;
  const double sy = static_cast<double>(decoded.height()) / size.height;
  const QRect source(static_cast<int>(place.source.x() * sx),
                     static_cast<int>(place.source.y() * sy),
                     std::max(1, static_cast<int>(place.source.width() * sx)),
                     std::max(1, static_cast<int>(place.source.height() * sy)));
  entry.image = decoded.copy(source)
                    .scaled((QSizeF(place.target.size()) * pixelRatio).toSize(),
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB32);
  entry.image.setDevicePixelRatio(pixelRatio);
  entry.target = place.target;
  return entry;
}

}  // namespace

// The paths waiting to be loaded, shared by the cache and its loads; each
// load takes the newest.
struct ThumbnailCache::Waiting {
  std::mutex mutex;
  std::deque<std::string> paths;  // oldest first
};

ThumbnailCache::ThumbnailCache(QSize cell, qreal pixelRatio, QObject* parent)
    : QObject(parent),
      cell_(cell),
      pixelRatio_(std::max<qreal>(1.0, pixelRatio)),
      waiting_(std::make_shared<Waiting>()),
      pool_(new QThreadPool(this)) {
  // One picture at a time, below the window's thread.
  pool_->setObjectName(QStringLiteral("thumbnails"));
  pool_->setMaxThreadCount(1);
  pool_->setThreadPriority(QThread::LowPriority);
}

ThumbnailCache::~ThumbnailCache() {
  {
    std::lock_guard<std::mutex> lock(waiting_->mutex);
    waiting_->paths.clear();
  }
  pool_->clear();
  pool_->waitForDone();
}

void ThumbnailCache::Request(const std::string& path) {
  std::string dropped;
  {
    std::lock_guard<std::mutex> lock(waiting_->mutex);
    waiting_->paths.push_back(path);
    if (waiting_->paths.size() > kMaxQueued) {
      dropped = std::move(waiting_->paths.front());
      waiting_->paths.pop_front();
    }
  }
  if (!dropped.empty()) loading_.erase(dropped);
  pool_->start([this, waiting = waiting_, cell = cell_, ratio = pixelRatio_] {
    std::string next;
    {
      std::lock_guard<std::mutex> lock(waiting->mutex);
      if (waiting->paths.empty()) return;  // dropped meanwhile
      next = std::move(waiting->paths.back());
      waiting->paths.pop_back();
    }
    Entry entry = LoadEntry(next, cell, ratio);
    // Queued to the cache's thread; the cache waits for its loads before it
    // goes.
    loaded_.Post([this, next, entry] { Store(next, entry); });
  });
}

const ThumbnailCache::Entry* ThumbnailCache::Find(const std::string& path) {
  const auto found = entries_.find(path);
  if (found != entries_.end()) return &found->second;
  if (loading_.insert(path).second) Request(path);
  return nullptr;
}

void ThumbnailCache::Remove(const std::string& path) {
  entries_.erase(path);
  loading_.erase(path);
}

void ThumbnailCache::Store(const std::string& path, Entry entry) {
  // A picture removed (or dropped from the queue) while it was loading is
  // not kept.
  if (loading_.erase(path) == 0) return;
  entries_[path] = std::move(entry);
  emit loaded(QString::fromStdString(path));
}

}  // namespace ombrelo::desktop
