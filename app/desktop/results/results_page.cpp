#include "app/desktop/results/results_page.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/message_port.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/palette.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/review_window.h"
#include "app/desktop/results/thumbnail_trash.h"
#include "platform/paths.h"
#include "project/project.h"
#include "workflow/regeneration.h"

namespace ombrelo::desktop {
namespace {

using namespace desktop;

// The context menu's commands, in its order (kNone: a separator).
constexpr std::initializer_list<CommandId> kMenu = {kResultsViewImages,
                                                    kResultsViewHtml,
                                                    kResultsViewIndexPhoto,
                                                    kResultsPlayMovie,
                                                    kResultsViewFolder,
                                                    kResultsLocate,
                                                    kNone,
                                                    kResultsRemove,
                                                    kResultsRequeue};

// The conditions of the commands on the selected movie.
bool HasImages(const Movie& movie) { return !movie.images.empty(); }
bool HasHtml(const Movie& movie) { return !movie.html.empty(); }
bool HasIndexPhoto(const Movie& movie) { return !movie.indexphoto.empty(); }
bool HasPath(const Movie& movie) { return !movie.path().empty(); }

// The nearest folder of the path that is still there, to start looking from.
QString NearestFolder(std::string path) {
  std::error_code error;
  while (!path.empty()) {
    path = paths::FolderOf(path);
    if (std::filesystem::is_directory(path, error)) return QString::fromStdString(path);
    if (!path.empty()) path.pop_back();
  }
  return {};
}

QString DefaultFolderChooser(QWidget* owner, const QString& start) {
  return QFileDialog::getExistingDirectory(owner, ResultsPage::tr("Locate the missing videos"),
                                           start, QFileDialog::ShowDirsOnly);
}

}  // namespace

ResultsPage::ResultsPage(MovieModel& movies, DesktopShell& shell, CommandRegistry& commands,
                         QWidget* parent)
    : QWidget(parent),
      movies_(movies),
      project_(movies.Project()),
      shell_(shell),
      commands_(commands),
      trash_(std::make_unique<ThumbnailTrash>(movies.Project())) {
  rows_ = new MovieFilter(movies_, MovieFilter::Shows::indexed, this);
  list_ = new QTreeView(this);
  list_->setModel(rows_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A name too long for its column keeps its beginning and its extension.
  list_->setTextElideMode(Qt::ElideMiddle);
  ShowFocusInSelection(list_);
  const int widths[] = {250, 70, 55, 45, 45, 60, 292};
  for (int column = 0; column <= kErrorColumn; ++column)
    list_->setColumnWidth(column, widths[column]);
  FitColumnTitles();
  list_->header()->setStretchLastSection(true);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  GrowColumns(0, rows_->rowCount() - 1);
  connect(rows_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { GrowColumns(first, last); });
  // A project opened: every row is new.
  connect(rows_, &QAbstractItemModel::modelReset, this,
          [this] { GrowColumns(0, rows_->rowCount() - 1); });
  connect(rows_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& first, const QModelIndex& last) {
            GrowColumns(first.row(), last.row());
          });
  connect(list_, &QTreeView::clicked, this,
          [this](const QModelIndex& index) { RowClicked(index); });
  connect(list_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    RowClicked(index);
    commands_.Run(kResultsViewImages);
  });
  connect(list_, &QTreeView::customContextMenuRequested, this, [this](const QPoint& pos) {
    // A click on a row outside the selection selects that row alone; one on
    // a selected row keeps the selection for the commands.
    const QModelIndex at = list_->indexAt(pos);
    if (at.isValid() && !list_->selectionModel()->isRowSelected(at.row(), {}))
      list_->setCurrentIndex(at);
    if (SelectedMovieId() < 0) return;
    ContextMenu()->popup(KeepOnScreen(list_->viewport()->mapToGlobal(pos)));
  });
  connect(&movies_, &MovieModel::missingChanged, this, &ResultsPage::missingChanged);
  connect(&movies_, &MovieModel::movieIndexed, this, &ResultsPage::movieIndexed);

  BindCommands();
  BindLocate();
  BindUndo();
  chooseFolder_ = DefaultFolderChooser;
  menu_ = commands_.MakeMenu(kMenu, this);
  menu_->setDefaultAction(commands_.Action(kResultsViewImages));
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { commands_.Update(kMenu); });

  back_ = MakePageButton(PageButton::back, tr("&Back"), this);
  report_ = MakePageButton(PageButton::report, tr("HTML &Report"), this);
  connect(back_, &QAbstractButton::clicked, this, &ResultsPage::backClicked);
  connect(report_, &QAbstractButton::clicked, this, &ResultsPage::reportClicked);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back_);
  buttons->addStretch(1);
  buttons->addWidget(report_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->addWidget(list_);
  splitter_->setChildrenCollapsible(false);
  layout->addWidget(splitter_, 1);
  layout->addLayout(buttons);
}

ResultsPage::~ResultsPage() {
  for (CommandId id : kMenu) commands_.Unbind(id);
  commands_.Unbind(kUndo);
}

void ResultsPage::GrowColumns(int first, int last) {
  for (int row = std::max(first, 0); row <= last && row < rows_->rowCount(); ++row) {
    for (int column = kLengthColumn; column < kErrorColumn; ++column) {
      const QString text = rows_->index(row, column).data().toString();
      const int needed = list_->fontMetrics().horizontalAdvance(text) + 16;
      if (list_->columnWidth(column) < needed) list_->setColumnWidth(column, needed);
    }
  }
}

int ResultsPage::RowCount() const { return rows_->rowCount(); }

QString ResultsPage::CellText(int32_t movieId, int column) const {
  return rows_->IndexOf(movieId, column).data().toString();
}

QString ResultsPage::RowText(int row, int column, int role) const {
  return rows_->index(row, column).data(role).toString();
}

int32_t ResultsPage::SelectedMovieId() const {
  // The row clicked last when it is among the selected, else the first.
  const QModelIndex current = list_->currentIndex();
  if (current.isValid() && list_->selectionModel()->isRowSelected(current.row(), {})) {
    const int32_t id = MovieModel::MovieIdOf(current);
    if (project_.HasMovie(id)) return id;
  }
  const std::vector<int32_t> ids = SelectedMovieIds();
  return ids.empty() ? -1 : ids.front();
}

std::vector<int32_t> ResultsPage::SelectedMovieIds() const {
  std::vector<int32_t> ids;
  for (int row = 0; row < rows_->rowCount(); ++row) {
    const int32_t id = MovieModel::MovieIdOf(rows_->index(row, 0));
    if (list_->selectionModel()->isRowSelected(row, {}) && project_.HasMovie(id)) ids.push_back(id);
  }
  return ids;
}

void ResultsPage::SelectMovie(int32_t movieId) {
  const QModelIndex index = rows_->IndexOf(movieId);
  if (!index.isValid()) return;
  SelectRow(index);
  RowClicked(index);
}

void ResultsPage::SelectRow(const QModelIndex& index) {
  // That row alone, whatever keys are held.
  if (index.isValid())
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<const Movie*> ResultsPage::Selected(bool (*rule)(const Movie&)) const {
  std::vector<const Movie*> movies;
  for (const int32_t id : SelectedMovieIds()) {
    const Movie* movie = std::as_const(project_).MovieById(id);
    if (movie && rule(*movie)) movies.push_back(movie);
  }
  return movies;
}

void ResultsPage::BindCommands() {
  // Each command acts on every selected movie its condition holds for, in
  // list order, and is enabled when it holds for one of them.
  const auto bind = [this](CommandId id, bool (*rule)(const Movie&),
                           void (*run)(ResultsPage&, const Movie&)) {
    commands_.Bind(
        id,
        [this, rule, run] {
          for (const Movie* movie : Selected(rule)) run(*this, *movie);
        },
        [this, rule] { return !Selected(rule).empty(); });
  };
  bind(kResultsViewImages, HasImages,
       [](ResultsPage& page, const Movie& movie) { ViewMovieImages(page.shell_, movie); });
  bind(kResultsViewHtml, HasHtml,
       [](ResultsPage& page, const Movie& movie) { page.shell_.OpenFile(movie.html); });
  bind(kResultsViewIndexPhoto, HasIndexPhoto, [](ResultsPage& page, const Movie& movie) {
    OpenInViewer(page.shell_, movie.IndexPhotoFiles());
  });
  bind(kResultsPlayMovie, HasPath,
       [](ResultsPage& page, const Movie& movie) { page.shell_.OpenFile(movie.path()); });
  // A folder is shown once, however many of its movies are selected.
  commands_.Bind(
      kResultsViewFolder,
      [this] {
        std::set<std::string> shown;
        for (const Movie* movie : Selected(HasPath)) {
          if (shown.insert(paths::FolderOf(movie->path())).second)
            shell_.ShowInFolder(movie->path());
        }
      },
      [this] { return !Selected(HasPath).empty(); });
  // Remove and Re-Queue take the selected movies at once.
  const auto selectedIds = [this] {
    std::vector<int32_t> ids;
    for (const Movie* movie : Selected(HasPath)) ids.push_back(movie->id());
    return ids;
  };
  commands_.Bind(
      kResultsRemove, [this, selectedIds] { RemoveOrRequeue(selectedIds(), false); },
      [this] { return !Selected(HasPath).empty(); });
  commands_.Bind(
      kResultsRequeue, [this, selectedIds] { RemoveOrRequeue(selectedIds(), true); },
      [this] { return !Selected(HasPath).empty(); });
}

QMenu* ResultsPage::ContextMenu() {
  commands_.Update(kMenu);
  return menu_;
}

void ResultsPage::Requeue(const std::vector<int32_t>& movieIds) { RemoveOrRequeue(movieIds, true); }

void ResultsPage::RemoveOrRequeue(const std::vector<int32_t>& movieIds, bool requeue) {
  // The rows follow the project: each movie's row goes as its record does.
  for (const int32_t id : movieIds) {
    const Movie* movie = std::as_const(project_).MovieById(id);
    if (!movie) continue;
    const std::string path = movie->path();  // the record goes away below
    // Re-adding drops the old record: the movie waits again, with the
    // current settings, at the end of the list.
    if (requeue) {
      project_.AddMovie(path);
    } else {
      project_.RemoveMovie(path);
    }
  }
}

void ResultsPage::CheckFiles() { movies_.CheckFiles(); }

bool ResultsPage::VideoMissing(int32_t movieId) const { return movies_.VideoMissing(movieId); }

bool ResultsPage::ThumbnailsMissing(int32_t movieId) const {
  return movies_.ThumbnailsMissing(movieId);
}

QString ResultsPage::MissingText() const { return movies_.MissingText(); }

void ResultsPage::BindUndo() {
  commands_.Bind(
      kUndo,
      [this] {
        std::string message;
        size_t position = 0;
        const int32_t movieId = trash_->Undo(&message, &position);
        if (movieId >= 0) {
          // The picture brought back is the one selected, as it was before.
          if (review_ && review_->MovieId() == movieId)
            review_->SelectImage(static_cast<int>(position));
          Regenerate(movieId);
        } else if (!message.empty()) {
          ShowMessage(tr("Undo").toStdString(), message, MessageIcon::warning);
        }
        commands_.Update({kUndo});
      },
      [this] { return trash_->CanUndo(); });
}

void ResultsPage::Regenerate(int32_t movieId) {
  const QSize size = window()->size();
  if (regeneration_ && regeneration_->Regenerate(movieId, size.width(), size.height()) && review_)
    review_->setCursor(Qt::BusyCursor);
}

void ResultsPage::BindLocate() {
  commands_.Bind(
      kResultsLocate, [this] { Locate(); }, [this] { return VideoMissing(SelectedMovieId()); });
}

void ResultsPage::Locate() {
  const Movie* movie = std::as_const(project_).MovieById(SelectedMovieId());
  if (!movie || !VideoMissing(movie->id())) return;
  const int32_t selected = movie->id();
  const QString folder = chooseFolder_(this, NearestFolder(movie->path()));
  if (folder.isEmpty()) return;
  const int relinked = project_.RelinkMovies(folder.toStdString());
  SelectRow(rows_->IndexOf(selected));
  commands_.Update(kMenu);
  if (relinked == 0) {
    ShowMessage(tr("Locate").toStdString(),
                tr("None of the missing videos is in %1.").arg(folder).toStdString(),
                MessageIcon::information);
  }
}

void ResultsPage::SetRegeneration(Regeneration* regeneration) {
  if (regeneration_) regeneration_->SetFinished({});
  regeneration_ = regeneration;
  // The review window shows that it is busy until the outputs are written.
  if (regeneration_) {
    regeneration_->SetFinished([this](int32_t, bool, const std::vector<Message>& messages) {
      if (review_ && regeneration_->Pending() == 0) review_->unsetCursor();
      for (const Message& message : messages) ShowMessage(message);
    });
  }
}

ReviewWindow& ResultsPage::EnsureReview() {
  if (!review_) {
    review_ = new ReviewWindow(movies_, shell_, commands_, this);
    review_->setWindowFlags(Qt::Widget);
    review_->hide();
    splitter_->addWidget(review_);
    // Both share a change of the page's height.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 1);
    review_->SetTrash(trash_.get());
    review_->SetRegenerate([this](int32_t movieId) {
      Regenerate(movieId);
      commands_.Update({kUndo});
    });
    // A movie removed or queued again takes its review window along.
    connect(review_, &ReviewWindow::movieGone, review_, &QWidget::hide);
  }
  return *review_;
}

void ResultsPage::RowClicked(const QModelIndex& index) {
  if (!index.isValid()) return;
  const int32_t id = MovieModel::MovieIdOf(index);
  if (!project_.HasMovie(id)) return;
  ReviewWindow& review = EnsureReview();
  if (isVisible() && review.isHidden()) {
    // Coming into view below the list, it takes the height it asks for (at
    // most half); the list keeps the rest.
    review.show();
    const int total = splitter_->height();
    const int wanted = std::min(review.sizeHint().height(), total / 2);
    splitter_->setSizes({total - wanted, wanted});
  }
  review.ShowMovie(id);
  list_->scrollTo(index);
}

void ResultsPage::FitColumnTitles() { FitColumnsToTitles(list_->header()); }

void ResultsPage::changeEvent(QEvent* event) {
  // Once the list's heading has the new font too.
  if (event->type() == QEvent::FontChange)
    QMetaObject::invokeMethod(this, &ResultsPage::FitColumnTitles, Qt::QueuedConnection);
  QWidget::changeEvent(event);
}

void ResultsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (review_ && SelectedMovieId() >= 0 && review_->MovieId() >= 0) review_->show();
}

void ResultsPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (review_) review_->hide();
}

}  // namespace ombrelo::desktop
