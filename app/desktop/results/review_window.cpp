#include "app/desktop/results/review_window.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <memory>

#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/message_port.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/palette.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/thumbnail_cache.h"
#include "app/desktop/results/thumbnail_trash.h"
#include "project/project.h"
#include "workflow/regeneration.h"

namespace ombrelo::desktop {
namespace {

constexpr QSize kCell(128, 64);
constexpr int kCellGap = 6;  // between cells, room for the selection frame
constexpr int kPathRole = MovieModel::kPathRole;

using namespace desktop;

// The commands this window binds.
constexpr std::initializer_list<CommandId> kCommands = {kReviewHtml, kReviewIndex, kReviewPlaylist,
                                                        kReviewPlay, kViewImage,   kDeleteImage};

// Draws each thumbnail into its cell from the cache; the list is black
// around the cells, a picture not loaded yet is a dark cell, and one that
// cannot be loaded (moved, deleted, damaged) a grey cell marked as missing,
// so that it never passes for a white picture.
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
      PaintMissing(painter, cell);
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
  void PaintMissing(QPainter* painter, const QRect& cell) const {
    painter->fillRect(cell, QColor(72, 72, 72));
    const int side = 24;
    const QRect mark(cell.center().x() - side / 2, cell.top() + 8, side, side);
    missing_.paint(painter, mark);
    painter->save();
    painter->setPen(QColor(224, 224, 224));
    painter->drawText(cell.adjusted(2, mark.height() + 8, -2, -2), Qt::AlignHCenter | Qt::AlignTop,
                      QCoreApplication::translate("ReviewWindow", "Picture missing"));
    painter->restore();
  }

  ThumbnailCache& cache_;
  QIcon missing_ =
      QIcon::fromTheme(QStringLiteral("image-missing"),
                       QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
};

// The movie model with one movie at its top: the list's root is its row, and
// without a movie (or once it has gone) the list is empty.
class ShownMovie : public QSortFilterProxyModel {
 public:
  ShownMovie(MovieModel& movies, QObject* parent) : QSortFilterProxyModel(parent) {
    setSourceModel(&movies);
  }
  void Show(int32_t movieId) {
    movieId_ = movieId;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    return parent.isValid() ||
           MovieModel::MovieIdOf(sourceModel()->index(row, 0, parent)) == movieId_;
  }

 private:
  int32_t movieId_ = -1;
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

ReviewWindow::ReviewWindow(MovieModel& movies, DesktopShell& shell, CommandRegistry& commands,
                           QWidget* parent)
    : QWidget(parent, Qt::Tool),
      movies_(movies),
      project_(movies.Project()),
      shell_(shell),
      commands_(commands) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  cache_ = new ThumbnailCache(kCell, devicePixelRatioF(), this);

  list_ = new QListView(this);
  shown_ = new ShownMovie(movies_, this);
  list_->setModel(shown_);
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
  connect(list_, &QListView::doubleClicked, this, [this] { commands_.Run(kViewImage); });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    commands_.Update({kViewImage, kDeleteImage});
  });
  connect(list_, &QListView::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex at = list_->indexAt(pos);
    if (at.isValid()) SelectImage(at.row());
    if (!SelectedPath().empty()) ShowPopupMenu(KeepOnScreen(list_->viewport()->mapToGlobal(pos)));
  });
  FollowModel();
  connect(cache_, &ThumbnailCache::loaded, this, &ReviewWindow::ThumbnailLoaded);

  BindCommands();
  // The keys work while the list has the focus.
  list_->addAction(commands_.Action(kViewImage));
  list_->addAction(commands_.Action(kDeleteImage));

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addWidget(AddButton(kReviewHtml, ThemeIcon("text-html", QStyle::SP_FileIcon, this)));
  buttons->addWidget(AddButton(
      kReviewIndex, ThemeIcon("image-x-generic", QStyle::SP_FileDialogContentsView, this)));
  buttons->addWidget(AddButton(kReviewPlaylist,
                               ThemeIcon("view-list-icons", QStyle::SP_FileDialogListView, this)));
  buttons->addWidget(AddButton(
      kReviewPlay, PaletteIcon(ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, this))));
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 4);
  layout->setSpacing(4);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  // 384 x 94 dialog units.
  resize(576, 153);
  ShowTitle();
}

ReviewWindow::~ReviewWindow() {
  for (CommandId id : kCommands) commands_.Unbind(id);
}

void ReviewWindow::BindCommands() {
  // The buttons act on the movie shown, when it has that output.
  const auto bind = [this](CommandId id, bool (*rule)(const Movie&),
                           void (*run)(ReviewWindow&, const Movie&)) {
    const auto shown = [this, rule]() -> const Movie* {
      const Movie* movie = std::as_const(project_).MovieById(movieId_);
      return movie && rule(*movie) ? movie : nullptr;
    };
    commands_.Bind(
        id,
        [this, shown, run] {
          if (const Movie* movie = shown()) run(*this, *movie);
        },
        [shown] { return shown() != nullptr; });
  };
  bind(
      kReviewHtml, [](const Movie& movie) { return !movie.html.empty(); },
      [](ReviewWindow& window, const Movie& movie) { window.shell_.OpenFile(movie.html); });
  bind(
      kReviewIndex, [](const Movie& movie) { return !movie.indexphoto.empty(); },
      [](ReviewWindow& window, const Movie& movie) {
        OpenInViewer(window.shell_, movie.IndexPhotoFiles());
      });
  bind(
      kReviewPlaylist, [](const Movie& movie) { return !movie.ipl.empty(); },
      [](ReviewWindow& window, const Movie& movie) { ViewMovieImages(window.shell_, movie); });
  bind(
      kReviewPlay, [](const Movie&) { return true; },
      [](ReviewWindow& window, const Movie& movie) { window.shell_.OpenFile(movie.path()); });
  // The pop-up menu's act on the selected thumbnail.
  const auto selected = [this] { return project_.HasMovie(movieId_) && !SelectedPath().empty(); };
  commands_.Bind(
      kViewImage, [this] { ViewSelectedImage(); }, selected);
  commands_.Bind(
      kDeleteImage, [this] { DeleteSelectedImage(); }, selected);
}

QPushButton* ReviewWindow::AddButton(CommandId command, const QIcon& icon) {
  auto* button = new QPushButton(icon, commands_.Action(command)->text(), this);
  button->setMinimumSize(96, 32);
  button->setFocusPolicy(Qt::TabFocus);
  commands_.BindButton(button, command);
  return button;
}

void ReviewWindow::FollowModel() {
  connect(shown_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ReviewWindow::ThumbnailsGoing);
  connect(shown_, &QAbstractItemModel::rowsRemoved, this,
          [this](const QModelIndex& parent) { ThumbnailsGone(parent); });
  connect(shown_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& first) {
    if (!first.parent().isValid()) ShowTitle();
  });
  // A project replaced (or the movies cleared): the movie may still be
  // there under its id.
  connect(shown_, &QAbstractItemModel::modelReset, this, [this] {
    const bool shown = movieId_ >= 0;
    ShowMovie(movieId_);
    if (shown && movieId_ < 0) emit movieGone();
  });
}

void ReviewWindow::ThumbnailsGoing(const QModelIndex& parent, int first, int last) {
  if (!parent.isValid()) return;  // the movie itself: see ThumbnailsGone
  // Their pictures leave the cache; the selection goes on with the
  // picture after the selected one.
  for (int row = first; row <= last; ++row)
    cache_->Remove(shown_->index(row, 0, parent).data(kPathRole).toString().toStdString());
  const int selected = SelectedRow();
  selectAfterRemoval_ = selected >= first && selected <= last ? first : -1;
}

void ReviewWindow::ThumbnailsGone(const QModelIndex& parent) {
  if (!parent.isValid()) {
    if (!project_.HasMovie(movieId_) && movieId_ >= 0) {
      movieId_ = -1;
      ShowTitle();
      emit movieGone();
    }
    return;
  }
  const int count = shown_->rowCount(parent);
  if (selectAfterRemoval_ >= 0 && count > 0) SelectImage(std::min(selectAfterRemoval_, count - 1));
  selectAfterRemoval_ = -1;
  commands_.Update(kCommands);
}

void ReviewWindow::ShowMovie(int32_t movieId) {
  // No movie (or one removed since) is an empty window, not an error.
  movieId_ = project_.HasMovie(movieId) ? movieId : -1;
  static_cast<ShownMovie*>(shown_)->Show(movieId_);
  list_->setRootIndex(shown_->mapFromSource(movies_.IndexOf(movieId_)));
  ShowTitle();
}

void ReviewWindow::ShowTitle() {
  const Movie* movie = std::as_const(project_).MovieById(movieId_);
  setWindowTitle(movie ? QString::fromStdString(movie->Title()) : tr("Indexed video"));
  commands_.Update(kCommands);
  list_->viewport()->update();
}

int ReviewWindow::SelectedRow() const {
  if (movieId_ < 0) return -1;
  const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
  for (const QModelIndex& index : selected) {
    if (index.parent() == list_->rootIndex()) return index.row();
  }
  return -1;
}

std::string ReviewWindow::SelectedPath() const {
  const int row = SelectedRow();
  if (row < 0) return {};
  return shown_->index(row, 0, list_->rootIndex()).data(kPathRole).toString().toStdString();
}

std::vector<std::string> ReviewWindow::ImagePaths() const {
  std::vector<std::string> paths;
  if (movieId_ < 0) return paths;
  const QModelIndex root = list_->rootIndex();
  for (int row = 0; row < shown_->rowCount(root); ++row)
    paths.push_back(shown_->index(row, 0, root).data(kPathRole).toString().toStdString());
  return paths;
}

void ReviewWindow::SelectImage(int row) {
  list_->clearSelection();
  if (movieId_ < 0) return;
  const QModelIndex index = shown_->index(row, 0, list_->rootIndex());
  if (index.isValid())
    list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void ReviewWindow::ViewSelectedImage() {
  const std::string path = SelectedPath();
  if (!path.empty()) shell_.OpenFile(path);
}

void ReviewWindow::DeleteSelectedImage() {
  const std::string path = SelectedPath();
  if (path.empty() || !project_.HasMovie(movieId_)) return;
  // The core deletes it, and only when it is one of the movie's own
  // thumbnails; a refusal or failure changes nothing and is told here.
  const ThumbnailDeletionResult result =
      trash_ ? trash_->Delete(movieId_, path) : DeleteMovieThumbnail(project_, movieId_, path);
  if (!result.Removed()) {
    if (!result.message.empty()) {
      ShowMessage(
          tr("Error").toStdString(), result.message,
          result.outcome == ThumbnailDeletion::refused ? MessageIcon::warning : MessageIcon::error,
          MessageOwner::reviewWindow);
    }
    return;
  }
  // The list and the cache have followed the project; the outputs are
  // written again off this thread.
  if (regenerate_) regenerate_(movieId_);
}

void ReviewWindow::ShowPopupMenu(const QPoint& globalPos) {
  std::unique_ptr<QMenu> menu(commands_.MakeMenu({kViewImage, kDeleteImage}, this));
  menu->exec(globalPos);
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

}  // namespace ombrelo::desktop
