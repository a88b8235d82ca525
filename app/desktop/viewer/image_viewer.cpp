#include "app/desktop/viewer/image_viewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>

#include "app/desktop/viewer/picture_decoder.h"
#include "project/file_read.h"
#include "project/playlist.h"

namespace ombrelo::desktop {

namespace {

// Pictures kept decoded around the current one.
constexpr int kBehind = 2;
constexpr int kAhead = 4;
// Far more than the entries of the longest video take.
constexpr qint64 kLargestPlaylist = 64 << 20;

// The pictures of a folder: those the viewer shows (any case).
QStringList PictureNameFilters() {
  return {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png"),
          QStringLiteral("*.bmp")};
}

// "0:00:05:004" as the playlist writes it becomes "0:00:05.004".
QString TimeText(const std::string& time) {
  QString text = QString::fromStdString(time);
  static const QRegularExpression written(QStringLiteral("^(\\d+:\\d\\d:\\d\\d):(\\d\\d\\d)$"));
  const QRegularExpressionMatch match = written.match(text);
  return match.hasMatch() ? match.captured(1) + '.' + match.captured(2) : text;
}

// A playlist entry's file: as written when it is there; else the file of
// that name next to the playlist (a folder moved with its playlist, or a
// playlist written on another system).
QString EntryPath(const std::string& written, const QDir& playlistFolder) {
  const QString path = QString::fromStdString(written);
  const QFileInfo as(playlistFolder, path);
  if (as.exists()) return as.absoluteFilePath();
  const QString name = path.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
  for (const QString& candidate :
       {playlistFolder.filePath(name),
        playlistFolder.filePath(QFileInfo(path).dir().dirName() + '/' + name)}) {
    if (!name.isEmpty() && QFileInfo::exists(candidate)) return candidate;
  }
  return as.absoluteFilePath();
}

ViewerPictures ReadPlaylist(const QString& file) {
  ViewerPictures list;
  list.title = QFileInfo(file).fileName();
  // Only a regular file of a playlist's size: a FIFO would block the window
  // and /dev/zero would never end.
  std::string text;
  std::string why;
  switch (ReadRegularFile(QFile::encodeName(file).toStdString(), kLargestPlaylist, &text, &why)) {
    case FileRead::ok:
      break;
    case FileRead::refused:
      list.error = QObject::tr("Cannot read the playlist %1: not a playlist file").arg(file);
      return list;
    case FileRead::cannotOpen:
      list.error =
          QObject::tr("Cannot open the playlist %1: %2").arg(file, QString::fromStdString(why));
      return list;
    case FileRead::readFailed:
      list.error =
          QObject::tr("Cannot read the playlist %1: %2").arg(file, QString::fromStdString(why));
      return list;
  }
  std::vector<PlaylistEntry> entries;
  std::string error;
  if (!ReadPlaylistText(text, &entries, &error)) {
    list.error = QObject::tr("Cannot read the playlist %1: %2")
                     .arg(file, QString::fromStdString(error));
    return list;
  }
  const QDir folder = QFileInfo(file).absoluteDir();
  for (const PlaylistEntry& entry : entries)
    list.pictures.push_back({EntryPath(entry.file, folder), TimeText(entry.time)});
  if (list.pictures.empty()) list.error = QObject::tr("The playlist %1 holds no pictures.").arg(file);
  return list;
}

// "clip 2" before "clip 10", whatever the locale (the collator's numeric
// mode does nothing in the C locale).
bool NaturallyBefore(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      // Compare the numbers by their digits without leading zeros.
      QStringView x = QStringView(a).mid(i, ei - i), y = QStringView(b).mid(j, ej - j);
      while (x.size() > 1 && x[0] == '0') x = x.mid(1);
      while (y.size() > 1 && y[0] == '0') y = y.mid(1);
      if (x.size() != y.size()) return x.size() < y.size();
      if (const int c = x.compare(y); c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    const int c = QString::compare(a.mid(i, 1), b.mid(j, 1), Qt::CaseInsensitive);
    if (c != 0) return c < 0;
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
  return a < b;
}

ViewerPictures ReadFolder(const QString& folder) {
  ViewerPictures list;
  const QDir dir(folder);
  list.title = dir.dirName();
  QStringList names = dir.entryList(PictureNameFilters(), QDir::Files | QDir::Readable);
  std::sort(names.begin(), names.end(), NaturallyBefore);
  for (const QString& name : names) list.pictures.push_back({dir.absoluteFilePath(name), {}});
  if (list.pictures.empty()) list.error = QObject::tr("The folder %1 holds no pictures.").arg(folder);
  return list;
}

}  // namespace

bool IsImagePlaylist(const QString& path) {
  return path.endsWith(QStringLiteral(".ipl"), Qt::CaseInsensitive);
}

ViewerPictures ListPictures(const QStringList& files) {
  if (files.size() == 1 && QFileInfo(files[0]).isDir()) return ReadFolder(files[0]);
  if (files.size() == 1 && IsImagePlaylist(files[0])) return ReadPlaylist(files[0]);
  ViewerPictures list;
  for (const QString& file : files) list.pictures.push_back({QFileInfo(file).absoluteFilePath(), {}});
  if (list.pictures.empty()) list.error = QObject::tr("No pictures to show.");
  if (files.size() == 1) list.title = QFileInfo(files[0]).fileName();
  return list;
}

// ---- PictureView

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(64, 48);
}

void PictureView::SetPicture(const QImage& full, const QImage& fitted) {
  full_ = full;
  fitted_ = fitted;
  message_.clear();
  pan_ = {};
  update();
}

void PictureView::SetMessage(const QString& message) {
  full_ = QImage();
  fitted_ = QImage();
  message_ = message;
  update();
}

void PictureView::SetActualSize(bool on) {
  actualSize_ = on;
  pan_ = {};
  update();
}

QSize PictureView::FitArea() const { return size() * devicePixelRatio(); }

double PictureView::Scale() const {
  if (full_.isNull()) return 0;
  if (actualSize_) return 1.0;
  const QSize fitted = PictureDecoder::FittedSize(full_.size(), FitArea());
  return double(fitted.width()) / full_.width();
}

void PictureView::ClampPan() {
  const QSize picture = full_.size() / devicePixelRatio();
  const int freeX = std::max(0, (picture.width() - width()) / 2);
  const int freeY = std::max(0, (picture.height() - height()) / 2);
  pan_.setX(std::clamp(pan_.x(), -freeX, freeX));
  pan_.setY(std::clamp(pan_.y(), -freeY, freeY));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(24, 24, 24));
  if (full_.isNull()) {
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                     message_);
    return;
  }
  const qreal ratio = devicePixelRatio();
  QImage shown;
  if (actualSize_) {
    shown = full_;
  } else {
    // Made once per picture and window size; the decoder already made it
    // for the size the window had when it was asked.
    const QSize want = PictureDecoder::FittedSize(full_.size(), FitArea());
    if (fitted_.size() != want)
      fitted_ = full_.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown = fitted_;
  }
  shown.setDevicePixelRatio(ratio);
  const QSizeF size = QSizeF(shown.size()) / ratio;
  const QPointF topLeft((width() - size.width()) / 2 + pan_.x(),
                        (height() - size.height()) / 2 + pan_.y());
  painter.drawImage(topLeft, shown);
}

void PictureView::resizeEvent(QResizeEvent*) {
  ClampPan();
  emit Resized();
}

void PictureView::wheelEvent(QWheelEvent* event) {
  // Touchpads send many small steps: one picture per notch's worth.
  wheelRest_ += event->angleDelta().y();
  while (wheelRest_ >= 120) {
    wheelRest_ -= 120;
    emit Step(-1);
  }
  while (wheelRest_ <= -120) {
    wheelRest_ += 120;
    emit Step(1);
  }
  event->accept();
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragFrom_ = event->position().toPoint();
  QWidget::mousePressEvent(event);
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !actualSize_) return;
  pan_ += event->position().toPoint() - dragFrom_;
  dragFrom_ = event->position().toPoint();
  ClampPan();
  update();
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit ToggleZoom();
}

// ---- ImageViewer

ImageViewer::ImageViewer(const QStringList& files, QWidget* owner)
    : QMainWindow(owner, Qt::Window) {
  ViewerPictures list = ListPictures(files);
  pictures_ = std::move(list.pictures);
  title_ = list.title;

  view_ = new PictureView(this);
  setCentralWidget(view_);
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(view_, &PictureView::Step, this, [this](int delta) { Step(delta); });
  connect(view_, &PictureView::ToggleZoom, this, &ImageViewer::ToggleActualSize);
  connect(view_, &PictureView::Resized, this, &ImageViewer::UpdateStatus);

  name_ = new QLabel;
  time_ = new QLabel;
  zoom_ = new QLabel;
  place_ = new QLabel;
  for (QLabel* label : {name_, time_, zoom_, place_}) label->setContentsMargins(6, 0, 6, 0);
  statusBar()->addWidget(name_, 1);
  statusBar()->addPermanentWidget(time_);
  statusBar()->addPermanentWidget(zoom_);
  statusBar()->addPermanentWidget(place_);

  using K = QKeySequence;
  AddAction(QStringLiteral("next"), tr("Next picture"),
            {K(Qt::Key_Right), K(Qt::Key_PageDown), K(Qt::Key_Down), K(Qt::Key_Space)},
            [this] { Step(1); });
  AddAction(QStringLiteral("previous"), tr("Previous picture"),
            {K(Qt::Key_Left), K(Qt::Key_PageUp), K(Qt::Key_Up), K(Qt::Key_Backspace)},
            [this] { Step(-1); });
  AddAction(QStringLiteral("first"), tr("First picture"), {K(Qt::Key_Home)},
            [this] { ShowPicture(0); });
  AddAction(QStringLiteral("last"), tr("Last picture"), {K(Qt::Key_End)},
            [this] { ShowPicture(Count() - 1); });
  AddAction(QStringLiteral("zoom"), tr("Actual size / fit to window"),
            {K(Qt::Key_Z), K(Qt::Key_1), K(Qt::Key_Asterisk)}, [this] { ToggleActualSize(); });
  AddAction(QStringLiteral("fullscreen"), tr("Full screen"), {K(Qt::Key_F11), K(Qt::Key_F)},
            [this] { ToggleFullScreen(); });
  AddAction(QStringLiteral("leavefullscreen"), tr("Leave full screen"), {K(Qt::Key_Escape)},
            [this] {
              if (isFullScreen()) ToggleFullScreen();
            });
  AddAction(QStringLiteral("close"), tr("Close"), {K(QKeySequence::Close), K(Qt::Key_Q)},
            [this] { close(); });

  if (!list.error.isEmpty()) view_->SetMessage(list.error);
  // The decoder's results come back to this window's thread.
  decoder_ = std::make_unique<PictureDecoder>([this](DecodedPicture picture) {
    auto arrived = std::make_shared<DecodedPicture>(std::move(picture));
    decoded_.Post([this, arrived] { Arrived(*arrived); });
  });

  const QRect screen = (owner ? owner->screen() : QGuiApplication::primaryScreen())->availableGeometry();
  resize(screen.size() * 3 / 4);
  move(screen.center() - rect().center());
  UpdateStatus();
}

void ImageViewer::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The first picture once the window has its size, so that the decoder
  // fits it to the window it is shown in.
  if (current_ < 0 && !pictures_.empty()) ShowPicture(0);
}

ImageViewer::~ImageViewer() {
  decoder_.reset();  // no result may arrive for a window that is gone
}

QAction* ImageViewer::AddAction(const QString& name, const QString& text,
                                const QList<QKeySequence>& keys, std::function<void()> run) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, std::move(run));
  addAction(action);
  if (name != QLatin1String("leavefullscreen")) view_->addAction(action);  // the context menu
  return action;
}

QAction* ImageViewer::Action(const QString& name) const {
  return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

const ViewerPicture* ImageViewer::CurrentPicture() const {
  return current_ >= 0 && current_ < Count() ? &pictures_[current_] : nullptr;
}

void ImageViewer::ShowPicture(int index) {
  if (pictures_.empty()) return;
  index = std::clamp(index, 0, Count() - 1);
  if (index == current_ && shown_) return;
  current_ = index;
  const auto cached = cache_.find(index);
  shown_ = cached != cache_.end();
  if (shown_) {
    const DecodedPicture& picture = *cached->second;
    if (picture.full.isNull()) {
      view_->SetMessage(tr("Cannot show %1: %2").arg(pictures_[index].path, picture.error));
    } else {
      view_->SetPicture(picture.full, picture.fitted);
    }
  }
  // Not there yet: the last picture stays until this one arrives, which is
  // quieter than a blank flash between two pictures.
  UpdateStatus();
  Prefetch();
}

void ImageViewer::Prefetch() {
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (it->first < current_ - kBehind || it->first > current_ + kAhead) {
      it = cache_.erase(it);
    } else {
      ++it;
    }
  }
  // The current picture first, then alternately ahead and behind.
  std::vector<PictureDecoder::Job> jobs;
  const QSize fit = view_->FitArea();
  const auto add = [&](int index) {
    if (index >= 0 && index < Count() && !cache_.count(index))
      jobs.push_back({index, pictures_[index].path, fit});
  };
  add(current_);
  for (int step = 1; step <= std::max(kAhead, kBehind); ++step) {
    if (step <= kAhead) add(current_ + step);
    if (step <= kBehind) add(current_ - step);
  }
  decoder_->Want(std::move(jobs));
}

void ImageViewer::Arrived(const DecodedPicture& picture) {
  if (picture.index < current_ - kBehind || picture.index > current_ + kAhead ||
      picture.index >= Count())
    return;
  cache_[picture.index] = std::make_shared<DecodedPicture>(picture);
  if (picture.index == current_ && !shown_) ShowPicture(picture.index);
}

void ImageViewer::ToggleFullScreen() {
  const bool full = !isFullScreen();
  statusBar()->setVisible(!full);
  if (full) {
    showFullScreen();
  } else {
    showNormal();
  }
}

void ImageViewer::ToggleActualSize() {
  view_->SetActualSize(!view_->ActualSize());
  UpdateStatus();
}

QString ImageViewer::StatusText() const {
  QStringList parts;
  for (const QLabel* label : {name_, time_, zoom_, place_}) {
    if (!label->text().isEmpty()) parts << label->text();
  }
  return parts.join(QStringLiteral("  "));
}

void ImageViewer::UpdateStatus() {
  const ViewerPicture* picture = CurrentPicture();
  const QString name = picture ? QFileInfo(picture->path).fileName() : QString();
  name_->setText(name);
  name_->setToolTip(picture ? picture->path : QString());
  time_->setText(picture ? picture->time : QString());
  const double scale = view_->Scale();
  zoom_->setText(scale > 0 ? QStringLiteral("%1 %").arg(qRound(scale * 100)) : QString());
  place_->setText(picture ? QStringLiteral("%1 / %2").arg(current_ + 1).arg(Count()) : QString());
  QStringList title;
  if (!name.isEmpty()) title << name;
  if (!title_.isEmpty() && title_ != name) title << title_;
  title << QStringLiteral("Ombrelo");
  setWindowTitle(title.join(QStringLiteral(" - ")));
}

ImageViewer* OpenImageViewer(const std::vector<std::string>& files, QWidget* owner) {
  QStringList names;
  for (const std::string& file : files) names << QString::fromStdString(file);
  auto* viewer = new ImageViewer(names, owner ? owner->window() : nullptr);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

int RunImageViewer(const std::string& file) {
  OpenImageViewer({file});
  return QApplication::exec();
}

}  // namespace ombrelo::desktop
