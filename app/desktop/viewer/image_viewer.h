#pragma once
// The program's own image viewer: a playlist (".ipl"), a folder of
// thumbnails or single pictures, one picture at a time, fitted to the window
// or at 100 %. The status line names the picture, its time in the video and
// its place in the list ("12 / 100"). Pictures are decoded on a thread of
// their own, the shown one first, then a few ahead and behind, so that
// stepping through full-size thumbnails shows each at once.
#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/thread_calls.h"

class QAction;
class QLabel;

namespace ombrelo::desktop {

class PictureDecoder;
struct DecodedPicture;

// One picture to show.
struct ViewerPicture {
  QString path;
  QString time;  // in the video, e.g. "0:00:05.004"; empty when unknown
};

// What a list of files names: the entries of one playlist, the pictures of
// one folder (by name, numbers in order), or the pictures themselves.
struct ViewerPictures {
  std::vector<ViewerPicture> pictures;
  QString title;  // the playlist's or folder's name
  QString error;  // why there is nothing to show
};
ViewerPictures ListPictures(const QStringList& files);

// True for a file name that ends in ".ipl" (any case).
bool IsImagePlaylist(const QString& path);

// The picture area: the picture fitted or at 100 % (dragged about when it
// is larger than the area), or a message.
class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr);

  void SetPicture(const QImage& full, const QImage& fitted);
  void SetMessage(const QString& message);
  // What the area says in place of a picture; empty while one is shown.
  const QString& Message() const { return message_; }
  bool ActualSize() const { return actualSize_; }
  void SetActualSize(bool on);
  // The scale the picture is drawn at (1.0 at 100 %), 0 without a picture.
  double Scale() const;
  // The area to fit pictures into, in device pixels.
  QSize FitArea() const;

 signals:
  void Step(int delta);  // the wheel
  void ToggleZoom();     // a double click
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ClampPan();

  QImage full_;
  QImage fitted_;  // remade when the area changes
  QString message_;
  bool actualSize_ = false;
  QPoint pan_;  // offset of the picture at 100 % from its centred place
  QPoint dragFrom_;
  int wheelRest_ = 0;
};

class ImageViewer : public QMainWindow {
  Q_OBJECT
 public:
  explicit ImageViewer(const QStringList& files, QWidget* owner = nullptr);
  ~ImageViewer() override;

  int Count() const { return static_cast<int>(pictures_.size()); }
  int Current() const { return current_; }
  // True once the current picture (or its failure) is on the screen.
  bool CurrentShown() const { return shown_; }
  const ViewerPicture* CurrentPicture() const;
  // True when the picture is decoded and waits in the cache.
  bool Decoded(int index) const { return cache_.count(index) != 0; }
  PictureView* View() const { return view_; }
  QString StatusText() const;  // name, time and place as the status line shows them
  QAction* Action(const QString& name) const;

  void ShowPicture(int index);
  void Step(int delta) { ShowPicture(current_ + delta); }
  void ToggleFullScreen();
  void ToggleActualSize();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Arrived(const DecodedPicture& picture);
  void Prefetch();
  void UpdateStatus();
  QAction* AddAction(const QString& name, const QString& text, const QList<QKeySequence>& keys,
                     std::function<void()> run);

  std::vector<ViewerPicture> pictures_;
  QString title_;
  int current_ = -1;
  bool shown_ = false;
  // Decoded pictures near the current one, by index.
  std::map<int, std::shared_ptr<DecodedPicture>> cache_;
  PictureView* view_;
  QLabel* name_;
  QLabel* time_;
  QLabel* zoom_;
  QLabel* place_;
  ThreadCalls decoded_;  // the decoder's results arrive on this window's thread
  std::unique_ptr<PictureDecoder> decoder_;
};

// Opens a viewer window on the files (deleted when closed). With an owner
// it stays above it and closes with it.
ImageViewer* OpenImageViewer(const std::vector<std::string>& files, QWidget* owner = nullptr);
// The program started on a playlist: the viewer alone, until it is closed.
int RunImageViewer(const std::string& file);

}  // namespace ombrelo::desktop
