#include "app/desktop/results/progress_page.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/desktop/bitmap_button.h"
#include "project/movie.h"
#include "workflow/frame_output.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::desktop {
namespace {

// Margins of the preview: 12 pixels at the sides, 70 above (the name and
// the progress bar) and 70 below (the buttons).
constexpr int kSideMargin = 12;
constexpr int kTopMargin = 70;

// Paints closer together than this are held back (a second chance comes
// from the paint timer).
int PaintIntervalMs(const QWidget* widget) {
  const QScreen* screen = widget->screen();
  const qreal rate = screen ? screen->refreshRate() : 60.0;
  return std::max(16, static_cast<int>(1000.0 / (rate > 1.0 ? rate : 60.0)));
}

// The error box asks for four lines; the preview keeps the rest.
class ErrorBox : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  QSize sizeHint() const override {
    return QSize(QPlainTextEdit::sizeHint().width(),
                 4 * fontMetrics().lineSpacing() + 2 * frameWidth() + 8);
  }
};

// A span of time as a clock shows it, in the user's digits: 0:07, 12:30,
// 1:05:00.
QString ClockText(qint64 seconds) {
  const QLocale locale;
  const auto twoDigits = [&](qint64 n) {
    return locale.toString(n).rightJustified(2, locale.zeroDigit().front());
  };
  const qint64 hours = seconds / 3600;
  const qint64 minutes = seconds / 60 % 60;
  const QString tail = twoDigits(seconds % 60);
  if (hours > 0) return locale.toString(hours) + ':' + twoDigits(minutes) + ':' + tail;
  return locale.toString(minutes) + ':' + tail;
}

}  // namespace

QRect PreviewRect(int pageWidth, int pageHeight, int frameWidth, int frameHeight) {
  if (frameWidth <= 0 || frameHeight <= 0) return QRect();
  int x = kSideMargin;
  int y = kTopMargin;
  float s = 1.0f;
  int dw = frameWidth;
  if (pageWidth - 2 * kSideMargin < frameWidth) {
    dw = pageWidth - 2 * kSideMargin;
    s = static_cast<float>(dw) / static_cast<float>(frameWidth);
    y = static_cast<int>(kTopMargin * s);
  }
  int dh = static_cast<int>(s * frameHeight);
  const int room = pageHeight - 2 * kTopMargin;
  if (room < dh && dh > 0) {
    const float s2 = static_cast<float>(room) / static_cast<float>(dh);
    dh = room;
    dw = static_cast<int>(dw * s2);
    x = static_cast<int>(kSideMargin * s2);
  }
  if ((pageWidth - dw) / 2 > x) x = (pageWidth - dw) / 2;
  const int gap = (pageHeight - dh - y) / 2;
  if (gap > 0) y += gap;
  if (dw <= 0 || dh <= 0) return QRect();
  return QRect(x, y, dw, dh);
}

ProgressPage::ProgressPage(QWidget* parent) : QWidget(parent) {
  // Before the first movie the page says nothing.
  nameLabel_ = new QLabel(tr("Movie name:"), this);
  nameLabel_->hide();
  movieName_ = new QLabel(this);
  movieName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  movieName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  state_ = new QLabel(tr("Paused"), this);
  QFont bold = state_->font();
  bold.setBold(true);
  state_->setFont(bold);
  state_->hide();
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  counts_ = new QLabel(this);
  times_ = new QLabel(this);
  times_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  now_ = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  clockTimer_.setInterval(1000);
  connect(&clockTimer_, &QTimer::timeout, this, &ProgressPage::UpdateTimes);

  // The preview is painted by the page itself, in page co-ordinates; the
  // area above the splitter only keeps its place in the layout.
  previewArea_ = new QWidget(this);
  previewArea_->setAttribute(Qt::WA_TransparentForMouseEvents);
  previewArea_->setMinimumHeight(14);
  errorBox_ = new ErrorBox(this);
  errorBox_->setReadOnly(true);
  errorBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  errorBox_->setMinimumHeight(14);
  errorBox_->hide();
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->addWidget(previewArea_);
  splitter_->addWidget(errorBox_);
  splitter_->setChildrenCollapsible(false);
  splitter_->setOpaqueResize(style()->styleHint(QStyle::SH_Splitter_OpaqueResize, nullptr, this));
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { update(); });

  back_ = desktop::MakePageButton(desktop::PageButton::back, tr("&Back"), this);
  next_ = desktop::MakePageButton(desktop::PageButton::next, tr("&Next"), this);
  connect(back_, &QAbstractButton::clicked, this, &ProgressPage::backClicked);
  connect(next_, &QAbstractButton::clicked, this, &ProgressPage::nextClicked);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(nameLabel_);
  nameRow->addWidget(movieName_, 1);
  nameRow->addWidget(state_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back_);
  buttons->addStretch(1);
  buttons->addWidget(next_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kSideMargin, kSideMargin, kSideMargin, kSideMargin);
  layout->addLayout(nameRow);
  layout->addWidget(progress_);
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(counts_, 1);
  countRow->addWidget(times_);
  layout->addLayout(countRow);
  layout->addWidget(splitter_, 1);
  layout->addLayout(buttons);

  paintTimer_.setSingleShot(true);
  connect(&paintTimer_, &QTimer::timeout, this, [this] { update(PreviewArea()); });
}

ProgressPage::~ProgressPage() = default;

void ProgressPage::Follow(const WorkflowController& run) {
  using Run = WorkflowController;
  const auto failed = [this](const Movie&, const std::string& errorText) {
    AppendError(errorText);
  };
  connect(&run, &Run::runStarted, this, &ProgressPage::ClearErrors);
  connect(&run, &Run::runStarted, this, &ProgressPage::RunStarted);
  connect(&run, &Run::runFinished, this, &ProgressPage::RunFinished);
  connect(&run, &Run::countsChanged, this, &ProgressPage::ShowCounts);
  connect(&run, &Run::movieStarted, this, &ProgressPage::MovieStarted);
  connect(&run, &Run::movieNotOpened, this, failed);
  connect(&run, &Run::movieFailed, this, failed);
  connect(&run, &Run::progress, this, &ProgressPage::ShowProgress);
  connect(&run, &Run::previewFrame, this, &ProgressPage::ShowFrame);
  // A movie finished with errors (an output that could not be made).
  connect(&run, &Run::movieFinished, this, [this](const Movie& movie) {
    if (!movie.error.empty()) AppendError(movie.error);
  });
  connect(&run, &Run::commandsChanged, this,
          [this](CommandStates states) { SetPaused(states.paused); });
}

void ProgressPage::ClearErrors() {
  errors_.clear();
  errorBox_->clear();
  errorBox_->hide();
}

void ProgressPage::AppendError(const std::string& text) {
  if (!errors_.empty()) errors_ += "\r\n";
  errors_ += text;
  // The box shows one line per text; the texts themselves may end in a
  // line feed, which would show as an empty line between them.
  QStringList lines = QString::fromStdString(errors_).split(QRegularExpression("\r?\n"));
  lines.removeAll(QString());
  errorBox_->setPlainText(lines.join('\n'));
  errorBox_->show();
  errorBox_->verticalScrollBar()->setValue(errorBox_->verticalScrollBar()->maximum());
}

void ProgressPage::MovieStarted(const Movie& movie) {
  movieName_->setText(QString::fromStdString(movie.path()));
  movieName_->setToolTip(movieName_->text());
  nameLabel_->show();
  movieId_ = movie.id();
  perMille_ = 0;
  format_ = movie.videoFormat;
  pixels_.reset();
  frameBytes_ = 0;
  scaled_ = QImage();
  ++previewGeneration_;
  scaleAgain_ = false;
  update();
}

void ProgressPage::ShowProgress(int32_t movieId, int perMille) {
  if (movieId != movieId_) return;
  perMille_ = std::clamp(perMille, 0, 1000);
  progress_->setValue(perMille_ / 10);
  UpdateTimes();
}

void ProgressPage::RunStarted() {
  running_ = true;
  runStart_ = now_();
  pausedSince_ = -1;
  pausedTotal_ = 0;
  video_ = videos_ = 0;
  perMille_ = 0;
  counts_->clear();
  times_->clear();
  clockTimer_.start();
}

void ProgressPage::RunFinished() {
  if (!running_) return;
  UpdateTimes();
  running_ = false;
  clockTimer_.stop();
  // What is left of a run that has ended is nothing, or not known.
  times_->setText(tr("%1 elapsed").arg(ClockText(ElapsedMs() / 1000)));
}

void ProgressPage::ShowCounts(int32_t movieId, int video, int videos, int thumbnails,
                              int promised) {
  if (movieId != movieId_) return;
  if (video != video_) perMille_ = 0;
  video_ = video;
  videos_ = std::max(video, videos);
  const QLocale locale;
  QString text = tr("Video %1 of %2").arg(locale.toString(video_), locale.toString(videos_));
  // A capture may take a thumbnail more or less than its settings promise.
  if (promised > 0) {
    text += tr(", thumbnail %1 of about %2")
                .arg(locale.toString(thumbnails), locale.toString(promised));
  } else if (thumbnails > 0) {
    text += tr(", thumbnail %1").arg(locale.toString(thumbnails));
  }
  counts_->setText(text);
  UpdateTimes();
}

void ProgressPage::UpdateTimes() {
  if (!running_) return;
  const qint64 elapsedMs = ElapsedMs();
  QString text = tr("%1 elapsed").arg(ClockText(elapsedMs / 1000));
  // The time left follows from the share of the run done so far, once there
  // is enough of it to go by.
  if (videos_ > 0 && video_ > 0) {
    const double share =
        (static_cast<double>(video_ - 1) + perMille_ / 1000.0) / static_cast<double>(videos_);
    if (share >= 0.01 && share < 1.0 && elapsedMs >= 1000) {
      const double leftMs = static_cast<double>(elapsedMs) * (1.0 - share) / share;
      text += tr(", about %1 left").arg(ClockText(static_cast<qint64>(leftMs / 1000.0 + 0.5)));
    }
  }
  times_->setText(text);
}

QString ProgressPage::CountText() const { return counts_->text(); }
QString ProgressPage::TimeText() const { return times_->text(); }

void ProgressPage::ShowFrame(const FrameCopy& frame) {
  if (frame.movieId != movieId_) return;
  pixels_ = frame.pixels;
  frameBytes_ = frame.Bytes();
  ScalePreview();
}

namespace {

// The size of a picture that fills the rectangle on the widget's screen.
QSize DeviceSize(const QWidget* widget, QRect rect) {
  return (QSizeF(rect.size()) * widget->devicePixelRatioF()).toSize();
}

}  // namespace

void ProgressPage::ScalePreview() {
  if (scaling_) {
    scaleAgain_ = true;
    return;
  }
  const QImage frame = PreviewImage();
  const QRect target = CurrentPreviewRect();
  const QSize size = DeviceSize(this, target);
  if (frame.isNull() || size.isEmpty()) return;
  scaling_ = true;
  // The frame's pixels stay with the scaler until it is done with them.
  scaler_.Post([this, frame, pixels = pixels_, size, ratio = devicePixelRatioF(),
                generation = previewGeneration_] {
    QImage scaled = frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_RGB32);
    scaled.setDevicePixelRatio(ratio);
    scaledCalls_.Post(
        [this, scaled = std::move(scaled), generation] { PreviewScaled(scaled, generation); });
  });
}

void ProgressPage::PreviewScaled(const QImage& image, uint64_t generation) {
  scaling_ = false;
  if (generation == previewGeneration_) {
    scaled_ = image;
    RequestPreviewPaint();
  }
  if (std::exchange(scaleAgain_, false)) ScalePreview();
}

void ProgressPage::SetPaused(bool paused) {
  state_->setVisible(paused);
  if (paused && pausedSince_ < 0) {
    pausedSince_ = now_();
  } else if (!paused && pausedSince_ >= 0) {
    pausedTotal_ += now_() - pausedSince_;
    pausedSince_ = -1;
    UpdateTimes();
  }
}

qint64 ProgressPage::ElapsedMs() const {
  const qint64 now = now_();
  const qint64 paused = pausedTotal_ + (pausedSince_ >= 0 ? now - pausedSince_ : 0);
  return std::max<qint64>(0, now - runStart_ - paused);
}

std::string ProgressPage::StateText() const {
  return state_->isHidden() ? std::string() : state_->text().toStdString();
}

QRect ProgressPage::PreviewArea() const {
  return QRect(previewArea_->mapTo(this, QPoint(0, 0)), previewArea_->size());
}

std::string ProgressPage::MovieName() const { return movieName_->text().toStdString(); }
int ProgressPage::ProgressPosition() const { return progress_->value(); }
bool ProgressPage::ErrorBoxVisible() const { return !errorBox_->isHidden(); }

QRect ProgressPage::CurrentPreviewRect() const {
  if (!pixels_) return QRect();
  // The error box, when shown, takes its height from the bottom of the page.
  const int below = errorBox_->isHidden() ? 0 : errorBox_->height() + splitter_->handleWidth();
  return PreviewRect(width(), height() - below, format_.biWidth, std::abs(format_.biHeight));
}

void ProgressPage::RequestPreviewPaint() {
  if (paintTimer_.isActive()) return;  // a paint is already on its way
  const int interval = PaintIntervalMs(this);
  const qint64 since = sinceLastPaint_.isValid() ? sinceLastPaint_.elapsed() : interval;
  if (since >= interval) {
    update(PreviewArea());
  } else {
    paintTimer_.start(static_cast<int>(interval - since));
  }
}

// A view of the newest frame (no copy), or a null image when it does not
// hold the rows its format promises.
QImage ProgressPage::PreviewImage() const {
  const int w = format_.biWidth;
  const int h = std::abs(format_.biHeight);
  if (!pixels_ || w <= 0 || h <= 0 || format_.biBitCount != 24) return QImage();
  const qsizetype stride = BitmapRowBytes(24, w);
  if (frameBytes_ < static_cast<size_t>(stride) * h) return QImage();
  return QImage(pixels_->data(), w, h, stride, QImage::Format_BGR888);
}

void ProgressPage::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  const QRect target = CurrentPreviewRect();
  if (scaled_.isNull() || target.isEmpty()) return;
  QPainter painter(this);
  painter.setClipRect(PreviewArea());
  if (scaled_.size() == DeviceSize(this, target)) {
    painter.drawImage(target.topLeft(), scaled_);
  } else {
    // The page changed its size: the picture of the old size stands in
    // until the frame has been scaled again.
    painter.drawImage(target, scaled_);
    ScalePreview();
  }
  sinceLastPaint_.restart();
  ++previewPaints_;
}

void ProgressPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (pixels_) ScalePreview();
  update();
}

}  // namespace ombrelo::desktop
