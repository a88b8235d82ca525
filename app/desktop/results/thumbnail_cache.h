#pragma once
// The review window's thumbnails, ready to draw into their cells. A picture
// is loaded the first time its cell is drawn: a pooled worker decodes it
// (JPEGs at the reduced scale the cell allows), cuts and scales it to the
// cell, and hands it back to the window's thread, which then repaints that
// cell. The newest requests are served first, so what is on screen now
// comes before what was scrolled past. Entries stay until removed.
#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/qt/thread_calls.h"

class QThreadPool;

namespace ombrelo::desktop {

// Where a picture of width x height is drawn in a cell: the part of the
// picture taken (source, in the picture's pixels) and the rectangle in the
// cell it is stretched into (target). The picture fills the cell's height
// and is centred; one wider than the cell shows its centre.
struct CellPlacement {
  QRect source;
  QRect target;
};
CellPlacement PlaceInCell(QSize cell, QSize picture);

class ThumbnailCache : public QObject {
  Q_OBJECT

 public:
  struct Entry {
    QImage image;   // the drawn part, scaled for the screen; null when not loadable
    QRect target;   // where it goes in the cell
    QSize picture;  // the picture's size in its file
    bool Failed() const { return image.isNull(); }
  };

  // Pictures are prepared for a screen of the given device pixel ratio
  // (2 on a high-density screen), so that they are drawn sharp.
  ThumbnailCache(QSize cell, qreal pixelRatio, QObject* parent = nullptr);
  ~ThumbnailCache() override;
  ThumbnailCache(const ThumbnailCache&) = delete;
  ThumbnailCache& operator=(const ThumbnailCache&) = delete;

  // The entry for the picture, or null while it is being loaded (the first
  // call starts the load; `loaded` follows).
  const Entry* Find(const std::string& path);
  // Forgets the picture (a load in progress is dropped when it arrives).
  void Remove(const std::string& path);
  size_t Size() const { return entries_.size(); }
  QSize Cell() const { return cell_; }

 signals:
  void loaded(const QString& path);

 private:
  // Requests beyond this many are dropped, oldest first; their cells ask
  // again when they are drawn again.
  static constexpr size_t kMaxQueued = 256;
  struct Waiting;
  void Request(const std::string& path);
  void Store(const std::string& path, Entry entry);

  QSize cell_;
  qreal pixelRatio_;
  std::unordered_map<std::string, Entry> entries_;
  std::unordered_set<std::string> loading_;
  std::shared_ptr<Waiting> waiting_;
  ThreadCalls loaded_;  // the loads' results arrive on the cache's thread
  QThreadPool* pool_;
};

}  // namespace ombrelo::desktop
