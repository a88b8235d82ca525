#include "app/desktop/viewer/picture_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QObject>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace ombrelo::desktop {

namespace {

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The whole content of the file at path into bytes, or false with why.
// Opened without waiting and only when it is a regular file: a FIFO without
// a writer, or a device, would hold the thread (and the program's exit)
// for good.
bool ReadPictureFile(const QString& path, const std::atomic<bool>* stop, QByteArray* bytes,
                     QString* why) {
  const QByteArray name = QFile::encodeName(path);
  struct stat named {};
  if (::stat(name.constData(), &named) == 0 && !S_ISREG(named.st_mode)) {
    *why = QObject::tr("not a picture file");
    return false;
  }
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *why = SystemError(errno);
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  // The name may have changed since it was looked at: what was opened counts.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *why = QObject::tr("not a picture file");
    return false;
  }
  const QString tooLarge = QObject::tr("larger than %1 MB").arg(PictureDecoder::kLargestFile >> 20);
  if (info.st_size > PictureDecoder::kLargestFile) {
    *why = tooLarge;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + PictureDecoder::kReadTime;
  bytes->clear();
  bytes->reserve(static_cast<qsizetype>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    if (stop && stop->load()) {
      *why = QObject::tr("the viewer was closed");
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      *why = QObject::tr("reading it took too long");
      return false;
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      *why = SystemError(errno);
      return false;
    }
    // The file may grow while it is read.
    if (bytes->size() + n > PictureDecoder::kLargestFile) {
      *why = tooLarge;
      return false;
    }
    bytes->append(buffer, n);
  }
}

// The format of the picture whose bytes start with head: "jpeg", "png",
// "bmp", or empty for anything else.
QByteArray SniffFormat(const QByteArray& head) {
  if (head.startsWith("\xff\xd8\xff")) return "jpeg";
  if (head.startsWith("\x89PNG\r\n\x1a\n")) return "png";
  if (head.startsWith("BM")) return "bmp";
  return {};
}

}  // namespace

PictureDecoder::PictureDecoder(std::function<void(DecodedPicture)> done) : done_(std::move(done)) {
  pool_.setObjectName(QStringLiteral("pictures"));
  pool_.setMaxThreadCount(1);
  pool_.setThreadPriority(QThread::LowPriority);
}

PictureDecoder::~PictureDecoder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  quit_ = true;
  pool_.waitForDone();
}

void PictureDecoder::Want(std::vector<Job> jobs) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.clear();
  for (Job& job : jobs) {
    if (job.index == busyIndex_ && job.path == busyPath_) continue;
    queue_.push_back(std::move(job));
  }
  if (queue_.empty() || draining_ || stop_) return;
  draining_ = true;
  pool_.start([this] { Drain(); });
}

QSize PictureDecoder::FittedSize(const QSize& imageSize, const QSize& area) {
  if (imageSize.isEmpty() || area.isEmpty()) return {};
  // A picture that fits is shown at its own size: enlarging only blurs it.
  if (imageSize.width() <= area.width() && imageSize.height() <= area.height()) return imageSize;
  return imageSize.scaled(area, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

DecodedPicture PictureDecoder::Decode(const Job& job, const std::atomic<bool>* stop) {
  DecodedPicture picture;
  picture.index = job.index;
  QByteArray bytes;
  if (!ReadPictureFile(job.path, stop, &bytes, &picture.error)) return picture;
  const QByteArray format = SniffFormat(bytes);
  if (format.isEmpty()) {
    picture.error = QObject::tr("not a JPEG, PNG or BMP picture");
    return picture;
  }
  // The decoder of that format and no other, whatever the name or the
  // content suggests.
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);
  reader.setDecideFormatFromContent(false);
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
  picture.fitted =
      fitted.isEmpty() || fitted == picture.full.size()
          ? picture.full
          : picture.full.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return picture;
}

void PictureDecoder::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_ && !queue_.empty()) {
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busyIndex_ = job.index;
    busyPath_ = job.path;
    lock.unlock();
    DecodedPicture picture = Decode(job, &quit_);
    done_(std::move(picture));
    lock.lock();
    busyIndex_ = -1;
    busyPath_.clear();
  }
  draining_ = false;
}

}  // namespace ombrelo::desktop
