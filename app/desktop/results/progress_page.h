#pragma once
// The progress page: the movie being indexed, its progress, the last frame
// taken as a live preview, and the errors of the run in a box below a
// splitter.
//
// Frames may arrive every few milliseconds. The page keeps only the newest
// one (the pixels are shared with the frame output, not copied), has it
// scaled to the preview's size on a thread of its own (one frame at a time;
// frames that come meanwhile give way to the newest) and paints the scaled
// picture at most once per screen refresh, so a fast capture of large
// frames neither flickers nor holds up the window.
#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/bitmap_header.h"
#include "platform/qt/thread_calls.h"
#include "platform/worker.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QAbstractButton;
class QSplitter;

namespace ombrelo {
class Movie;
class WorkflowController;
struct FrameCopy;
}  // namespace ombrelo

namespace ombrelo::desktop {

// Where a frame of frameWidth x frameHeight is drawn on a page of
// pageWidth x pageHeight: 12 pixels from the sides and 70 from the top and
// bottom, shrunk to fit, centred horizontally and vertically. Empty for a
// frame without pixels.
QRect PreviewRect(int pageWidth, int pageHeight, int frameWidth, int frameHeight);

class ProgressPage : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressPage(QWidget* parent = nullptr);
  ~ProgressPage() override;

  // Shows the runs of the controller: a new run empties the error box, the
  // movies' errors are added to it, the movie being indexed is previewed
  // with its progress, and a confirmed pause is shown.
  void Follow(const WorkflowController& run);

  // Empties the error box and hides it.
  void ClearErrors();
  // Adds a text to the error box, on a line of its own after the texts
  // before it (carriage return and line feed between), shows the box and
  // scrolls to its end.
  void AppendError(const std::string& text);
  // Indexing of the movie has begun: its path as the name, its frame format
  // for the preview; the previous preview is dropped.
  void MovieStarted(const Movie& movie);
  // Progress of the current movie from 0 to 1000. Reports about another
  // movie than the one started last (late ones) are ignored.
  void ShowProgress(int32_t movieId, int perMille);
  // A run begins: the time is counted from now, the counts are blank.
  void RunStarted();
  // The run has ended: the elapsed time stays, the time left goes.
  void RunFinished();
  // Where the run stands (see WorkflowController::countsChanged); counts of
  // another movie than the current one are ignored.
  void ShowCounts(int32_t movieId, int video, int videos, int thumbnails, int promised);
  // A new frame for the preview (top-down BGR rows of the movie's format);
  // a frame of another movie than the current one is ignored.
  void ShowFrame(const FrameCopy& frame);
  // The capture is paused (the engine has confirmed it) or not: the page
  // says "Paused" beside the movie's name.
  void SetPaused(bool paused);

  // For the main window and tests.
  std::string ErrorText() const { return errors_; }
  std::string MovieName() const;
  int ProgressPosition() const;
  bool ErrorBoxVisible() const;
  // The state the page shows beside the movie's name ("" when running).
  std::string StateText() const;
  // "Video 1 of 3, thumbnail 4 of about 20", and "0:12 elapsed, about 0:30
  // left"; "" while there is nothing to say.
  QString CountText() const;
  QString TimeText() const;
  // The clock the times are measured with, in milliseconds (tests set their
  // own).
  void SetClock(std::function<qint64()> now) { now_ = std::move(now); }
  // The rectangle the current frame is painted in (empty before a frame).
  QRect CurrentPreviewRect() const;
  // The number of times the preview has been painted.
  int PreviewPaints() const { return previewPaints_; }
  // The size of the newest scaled preview, in device pixels (empty before).
  QSize ScaledPreviewSize() const { return scaled_.size(); }
  // True while a frame is being scaled.
  bool ScalingPreview() const { return scaling_; }

 signals:
  void backClicked();
  void nextClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RequestPreviewPaint();
  void UpdateTimes();
  qint64 ElapsedMs() const;
  // The part of the page the preview may cover (above the error box).
  QRect PreviewArea() const;
  QImage PreviewImage() const;
  // Scales the newest frame to the preview's size off this thread, or,
  // while a frame is being scaled, does so once that one is done.
  void ScalePreview();
  void PreviewScaled(const QImage& image, uint64_t generation);

  QLabel* nameLabel_ = nullptr;
  QLabel* movieName_ = nullptr;
  QLabel* state_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* counts_ = nullptr;
  QLabel* times_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QWidget* previewArea_ = nullptr;
  QPlainTextEdit* errorBox_ = nullptr;
  QAbstractButton* back_ = nullptr;
  QAbstractButton* next_ = nullptr;

  std::string errors_;    // the error box's text, lines joined by "\r\n"
  int32_t movieId_ = -1;  // the movie started last
  // The run's share done is (video - 1 + perMille / 1000) / videos.
  int video_ = 0;
  int videos_ = 0;
  int perMille_ = 0;
  bool running_ = false;
  qint64 runStart_ = 0;
  // Time spent paused is no time the run took.
  qint64 pausedSince_ = -1;
  qint64 pausedTotal_ = 0;
  std::function<qint64()> now_;
  QTimer clockTimer_;  // the elapsed time goes on between reports
  BitmapInfoHeader format_{};
  std::shared_ptr<const std::vector<uint8_t>> pixels_;  // newest frame only
  size_t frameBytes_ = 0;
  QTimer paintTimer_;  // holds back paints that come faster than the screen
  QElapsedTimer sinceLastPaint_;
  int previewPaints_ = 0;
  QImage scaled_;                   // the newest frame at the preview's size
  uint64_t previewGeneration_ = 0;  // a new movie drops the frames in scaling
  bool scaling_ = false;
  bool scaleAgain_ = false;  // a newer frame or size came while scaling
  ThreadCalls scaledCalls_;   // the scaled frame arrives on the page's thread
  Worker scaler_{"preview scaler", Worker::AtEnd::dropQueued};  // last: goes first
};

}  // namespace ombrelo::desktop
