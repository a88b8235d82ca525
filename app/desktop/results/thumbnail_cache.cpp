#include "app/desktop/results/thumbnail_cache.h"

#include <pthread.h>

#include <QMetaObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

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

// One thread that loads pictures, newest request first.
class ThumbnailCache::Worker {
 public:
  // Requests beyond this many are dropped, oldest first; their cells ask
  // again when they are drawn again.
  static constexpr size_t kMaxQueued = 256;

  Worker(ThumbnailCache* owner, QSize cell, qreal pixelRatio)
      : owner_(owner), cell_(cell), pixelRatio_(pixelRatio) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Worker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void Request(const std::string& path) {
    std::string dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(path);
      if (queue_.size() > kMaxQueued) {
        dropped = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    wake_.notify_one();
    if (!dropped.empty()) owner_->loading_.erase(dropped);  // called on the owner's thread
  }

 private:
  void Run() {
    pthread_setname_np(pthread_self(), "thumbnails");
    for (;;) {
      std::string path;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        path = std::move(queue_.back());
        queue_.pop_back();
      }
      Entry entry = LoadEntry(path, cell_, pixelRatio_);
      // Queued to the owner's thread; dropped by Qt if the owner is gone.
      QMetaObject::invokeMethod(
          owner_, [owner = owner_, path, entry] { owner->Store(path, entry); },
          Qt::QueuedConnection);
    }
  }

  ThumbnailCache* const owner_;
  const QSize cell_;
  const qreal pixelRatio_;
  std::thread thread_;
  std::mutex mutex_;  // guards the fields below
  std::condition_variable wake_;
  std::deque<std::string> queue_;  // oldest first
  bool stop_ = false;
};

ThumbnailCache::ThumbnailCache(QSize cell, qreal pixelRatio, QObject* parent)
    : QObject(parent),
      cell_(cell),
      worker_(std::make_unique<Worker>(this, cell, std::max<qreal>(1.0, pixelRatio))) {}

ThumbnailCache::~ThumbnailCache() { worker_.reset(); }

const ThumbnailCache::Entry* ThumbnailCache::Find(const std::string& path) {
  const auto found = entries_.find(path);
  if (found != entries_.end()) return &found->second;
  if (loading_.insert(path).second) worker_->Request(path);
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
