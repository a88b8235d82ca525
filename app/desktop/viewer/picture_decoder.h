#pragma once
// Decodes pictures on a pooled worker below the window's priority, in the
// order last asked for.
// The viewer asks for the picture it shows first and its neighbours after
// it; asking again replaces the queue, so a quick run of key presses never
// leaves a backlog of pictures no longer wanted.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace ombrelo::desktop {

struct DecodedPicture {
  int index = -1;
  QImage full;    // as read, orientation applied; null on failure
  QImage fitted;  // scaled to fit the size asked for (up or down)
  QString error;  // why full is null
};

class PictureDecoder {
 public:
  struct Job {
    int index = -1;
    QString path;
    QSize fit;  // device pixels
  };
  // done runs on the decoder's worker for every finished job.
  explicit PictureDecoder(std::function<void(DecodedPicture)> done);
  ~PictureDecoder();  // waits for the job in hand
  PictureDecoder(const PictureDecoder&) = delete;
  PictureDecoder& operator=(const PictureDecoder&) = delete;

  // Replaces the queue; jobs in the order they are wanted. A job for the
  // picture being decoded right now is left out (its result is on the way).
  void Want(std::vector<Job> jobs);

  // Reads one picture (also used directly by tests and for one-off reads).
  // Only JPEG, PNG and BMP files are shown, told apart by their first bytes
  // whatever their names: no other decoder ever sees the file, so a picture
  // format that names further files (SVG) cannot make the viewer read them.
  // The file is read whole first, from a regular file only, within a size
  // limit and a time limit; a set `stop` ends the read early.
  static DecodedPicture Decode(const Job& job, const std::atomic<bool>* stop = nullptr);
  // Larger files are not read.
  static constexpr qint64 kLargestFile = qint64{256} << 20;
  // Reading one file takes no longer than this.
  static constexpr std::chrono::seconds kReadTime{10};
  // The size a picture of imageSize takes fitted into area, aspect kept;
  // a picture that fits keeps its size.
  static QSize FittedSize(const QSize& imageSize, const QSize& area);

 private:
  // Works through the queue until it is empty.
  void Drain();

  std::function<void(DecodedPicture)> done_;
  std::mutex mutex_;
  std::deque<Job> queue_;          // guarded by mutex_
  int busyIndex_ = -1;             // guarded by mutex_: the job in hand
  QString busyPath_;               // guarded by mutex_
  bool draining_ = false;          // guarded by mutex_: a Drain is on its way
  bool stop_ = false;              // guarded by mutex_
  std::atomic<bool> quit_{false};  // set with stop_: cuts a read short
  QThreadPool pool_;               // last: goes first, waiting for its work
};

}  // namespace ombrelo::desktop
