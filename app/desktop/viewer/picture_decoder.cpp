#include "app/desktop/viewer/picture_decoder.h"

#include <pthread.h>

#include <QFileInfo>
#include <QImageReader>
#include <QObject>

namespace ombrelo::desktop {

PictureDecoder::PictureDecoder(std::function<void(DecodedPicture)> done)
    : done_(std::move(done)), thread_([this] { Run(); }) {}

PictureDecoder::~PictureDecoder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void PictureDecoder::Want(std::vector<Job> jobs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    for (Job& job : jobs) {
      if (job.index == busyIndex_ && job.path == busyPath_) continue;
      queue_.push_back(std::move(job));
    }
  }
  wake_.notify_all();
}

QSize PictureDecoder::FittedSize(const QSize& imageSize, const QSize& area) {
  if (imageSize.isEmpty() || area.isEmpty()) return {};
  // A picture that fits is shown at its own size: enlarging only blurs it.
  if (imageSize.width() <= area.width() && imageSize.height() <= area.height()) return imageSize;
  return imageSize.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

DecodedPicture PictureDecoder::Decode(const Job& job) {
  DecodedPicture picture;
  picture.index = job.index;
  // A FIFO or a device named like a picture would hold the thread for good.
  if (QFileInfo(job.path).exists() && !QFileInfo(job.path).isFile()) {
    picture.error = QObject::tr("not a picture file");
    return picture;
  }
  QImageReader reader(job.path);
  reader.setAutoTransform(true);
  QImage image = reader.read();
  if (image.isNull()) {
    picture.error = reader.errorString();
    return picture;
  }
  // The form the screen draws without converting.
  picture.full = image.hasAlphaChannel()
                     ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                     : image.convertToFormat(QImage::Format_RGB32);
  const QSize fitted = FittedSize(picture.full.size(), job.fit);
  picture.fitted = fitted.isEmpty() || fitted == picture.full.size()
                       ? picture.full
                       : picture.full.scaled(fitted, Qt::IgnoreAspectRatio,
                                             Qt::SmoothTransformation);
  return picture;
}

void PictureDecoder::Run() {
  pthread_setname_np(pthread_self(), "pictures");
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busyIndex_ = job.index;
    busyPath_ = job.path;
    lock.unlock();
    DecodedPicture picture = Decode(job);
    done_(std::move(picture));
    lock.lock();
    busyIndex_ = -1;
    busyPath_.clear();
  }
}

}  // namespace ombrelo::desktop
