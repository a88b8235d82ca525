#include "app/desktop/results/review_window.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/thumbnail_cache.h"
#include "app/regeneration.h"
#include "project/project.h"

namespace ombrelo {
namespace {

constexpr QSize kCell(128, 64);
constexpr int kCellGap = 6;  // between cells, room for the selection frame
constexpr int kPathRole = Qt::UserRole;

// Draws each thumbnail into its cell from the cache; the list is black
// around the cells, a picture not loaded yet is a dark cell, one that cannot
// be loaded a white cell.
class ThumbnailDelegate : public QStyledItemDelegate {
 public:
  ThumbnailDelegate(ThumbnailCache& cache, QObject* parent)
      : QStyledItemDelegate(parent), cache_(cache) {}

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return kCell; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QRect cell(option.rect.topLeft() + QPoint((option.rect.width() - kCell.width()) / 2,
                                                    (option.rect.height() - kCell.height()) / 2),
                     kCell);
    const std::string path = index.data(kPathRole).toString().toStdString();
    const ThumbnailCache::Entry* entry = cache_.Find(path);
    if (!entry) {
      painter->fillRect(cell, QColor(40, 40, 40));
    } else if (entry->Failed()) {
      painter->fillRect(cell, Qt::white);
    } else {
      painter->drawImage(cell.topLeft() + entry->target.topLeft(), entry->image);
    }
    if (option.state & QStyle::State_Selected) {
      painter->save();
      QPen pen(option.palette.color(QPalette::Highlight), 3);
      pen.setJoinStyle(Qt::MiterJoin);
      painter->setPen(pen);
      painter->drawRect(cell.adjusted(-2, -2, 1, 1));
      painter->restore();
    }
  }

 private:
  ThumbnailCache& cache_;
};

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget) {
  return QIcon::fromTheme(name, widget->style()->standardIcon(fallback));
}

}  // namespace

QPoint KeepOnScreen(const QPoint& globalPos) {
  if (QGuiApplication::screenAt(globalPos)) return globalPos;
  const QScreen* nearest = nullptr;
  int best = 0;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    const int dx = std::max({area.left() - globalPos.x(), 0, globalPos.x() - area.right()});
    const int dy = std::max({area.top() - globalPos.y(), 0, globalPos.y() - area.bottom()});
    const int distance = dx * dx + dy * dy;
    if (!nearest || distance < best) {
      nearest = screen;
      best = distance;
    }
  }
  if (!nearest) return globalPos;
  const QRect area = nearest->availableGeometry();
  return QPoint(std::clamp(globalPos.x(), area.left(), area.right()), globalPos.y());
}

ReviewWindow::ReviewWindow(CProject& project, DesktopShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Tool), project_(project), shell_(shell) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  cache_ = new ThumbnailCache(kCell, devicePixelRatioF(), this);

  list_ = new QListWidget(this);
  list_->setViewMode(QListView::IconMode);
  list_->setMovement(QListView::Static);
  list_->setResizeMode(QListView::Adjust);
  list_->setUniformItemSizes(true);
  list_->setGridSize(kCell + QSize(kCellGap, kCellGap));
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setItemDelegate(new ThumbnailDelegate(*cache_, list_));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  QPalette dark = list_->palette();
  dark.setColor(QPalette::Base, Qt::black);
  list_->setPalette(dark);
  list_->setMinimumSize(kCell.width() + 2 * kCellGap, kCell.height() + 2 * kCellGap);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { ViewSelectedImage(); });
  connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (list_->itemAt(pos)) list_->setCurrentItem(list_->itemAt(pos));
    if (!SelectedPath().empty()) ShowPopupMenu(KeepOnScreen(list_->viewport()->mapToGlobal(pos)));
  });
  connect(cache_, &ThumbnailCache::loaded, this, &ReviewWindow::ThumbnailLoaded);

  viewImage_ = new QAction(tr("View image"), this);
  viewImage_->setData(kViewImage);
  viewImage_->setShortcut(Qt::Key_Return);
  viewImage_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(viewImage_, &QAction::triggered, this, [this] { ViewSelectedImage(); });
  deleteImage_ = new QAction(tr("Delete image"), this);
  deleteImage_->setData(kDeleteImage);
  deleteImage_->setShortcut(QKeySequence::Delete);
  deleteImage_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(deleteImage_, &QAction::triggered, this, [this] { DeleteSelectedImage(); });
  list_->addAction(viewImage_);
  list_->addAction(deleteImage_);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addWidget(
      AddButton(kHtml, tr("HTML"), ThemeIcon("text-html", QStyle::SP_FileIcon, this)));
  buttons->addWidget(AddButton(
      kIndex, tr("Index"), ThemeIcon("image-x-generic", QStyle::SP_FileDialogContentsView, this)));
  buttons->addWidget(AddButton(kPlaylist, tr("Playlist"),
                               ThemeIcon("view-list-icons", QStyle::SP_FileDialogListView, this)));
  buttons->addWidget(
      AddButton(kPlay, tr("Play"), ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, this)));
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 4);
  layout->setSpacing(4);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  // 384 x 94 dialog units.
  resize(576, 153);
  Fill();
}

ReviewWindow::~ReviewWindow() = default;

QPushButton* ReviewWindow::AddButton(int command, const QString& text, const QIcon& icon) {
  auto* button = new QPushButton(icon, text, this);
  button->setMinimumSize(96, 32);
  button->setFocusPolicy(Qt::TabFocus);
  connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
  buttons_.emplace_back(command, button);
  return button;
}

void ReviewWindow::ShowMovie(int32_t movieId) {
  movieId_ = movieId;
  Fill();
}

void ReviewWindow::Fill() {
  // No movie yet (or one removed since) is an empty window, not an error.
  const Movie* movie = std::as_const(project_).MovieById(movieId_);
  if (!movie) movieId_ = -1;
  setWindowTitle(movie ? QString::fromStdString(movie->Title()) : tr("Indexed video"));
  list_->clear();
  if (movie) {
    for (const ImageEntry& image : movie->images) {
      auto* item = new QListWidgetItem(QStringLiteral("1"));
      item->setData(kPathRole, QString::fromStdString(image.path));
      item->setToolTip(QString::fromStdString(image.path));
      list_->addItem(item);
    }
  }
  for (auto& [command, button] : buttons_) button->setEnabled(CommandEnabled(command));
  list_->viewport()->update();
}

bool ReviewWindow::CommandEnabled(int command) const {
  const Movie* found = std::as_const(project_).MovieById(movieId_);
  if (!found) return false;
  const Movie& movie = *found;
  switch (command) {
    case kHtml:
      return !movie.html.empty();
    case kIndex:
      return !movie.indexphoto.empty();
    case kPlaylist:
      return !movie.ipl.empty();
    case kPlay:
      return true;
    case kViewImage:
    case kDeleteImage:
      return !SelectedPath().empty();
    default:
      return false;
  }
}

void ReviewWindow::Run(int command) {
  if (!CommandEnabled(command)) return;
  const Movie& movie = *project_.FindMovie(movieId_);  // there: the command is enabled
  switch (command) {
    case kHtml:
      shell_.OpenFile(movie.html);
      break;
    case kPlay:
      shell_.OpenFile(movie.path());
      break;
    case kPlaylist:
      ViewMovieImages(shell_, movie);
      break;
    case kIndex:
      OpenInViewer(shell_, {movie.indexphoto});
      break;
    case kViewImage:
      ViewSelectedImage();
      break;
    case kDeleteImage:
      DeleteSelectedImage();
      break;
    default:
      break;
  }
}

std::string ReviewWindow::SelectedPath() const {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return {};
  return selected.first()->data(kPathRole).toString().toStdString();
}

std::vector<std::string> ReviewWindow::ImagePaths() const {
  std::vector<std::string> paths;
  for (int row = 0; row < list_->count(); ++row) {
    paths.push_back(list_->item(row)->data(kPathRole).toString().toStdString());
  }
  return paths;
}

void ReviewWindow::SelectImage(int row) {
  list_->clearSelection();
  if (QListWidgetItem* item = list_->item(row)) {
    list_->setCurrentItem(item);
    item->setSelected(true);
  }
}

void ReviewWindow::ViewSelectedImage() {
  const std::string path = SelectedPath();
  if (!path.empty()) shell_.OpenFile(path);
}

void ReviewWindow::DeleteSelectedImage() {
  const std::string path = SelectedPath();
  if (path.empty() || !project_.HasMovie(movieId_)) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The project deletes it, and only when it is one of the movie's own
  // thumbnails; a refusal or failure has been told and changes nothing.
  if (DeleteMovieThumbnail(project_, movieId_, path) != ThumbnailDeletion::deleted) {
    QApplication::restoreOverrideCursor();
    return;
  }
  cache_->Remove(path);
  if (regenerate_) regenerate_(movieId_);
  Fill();
  emit imagesChanged(movieId_);
  QApplication::restoreOverrideCursor();
}

void ReviewWindow::ShowPopupMenu(const QPoint& globalPos) {
  QMenu menu(this);
  menu.addAction(viewImage_);
  menu.addAction(deleteImage_);
  menu.exec(globalPos);
}

void ReviewWindow::ThumbnailLoaded(const QString&) {
  // Only cells on screen ask for pictures, and only they are painted again;
  // updates that come together are joined into one paint.
  list_->viewport()->update();
}

void ReviewWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

}  // namespace ombrelo
