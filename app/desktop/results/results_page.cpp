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
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/review_window.h"
#include "workflow/regeneration.h"
#include "workflow/workflow_controller.h"
#include "platform/paths.h"
#include "app/desktop/message_port.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;  // the movie's whole path
using namespace desktop;

// The context menu's commands, in its order (kNone: a separator).
constexpr std::initializer_list<int> kMenu = {kResultsViewImages,
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

bool FileThere(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

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

// One line of the error texts for the cell; the tool tip has them all.
QString ErrorCellText(const std::string& error) {
  return QString::fromStdString(error).simplified();
}

}  // namespace

ResultsPage::ResultsPage(CProject& project, DesktopShell& shell, CommandRegistry& commands,
                         QWidget* parent)
    : QWidget(parent), project_(project), shell_(shell), commands_(commands) {
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  // A name too long for its column keeps its beginning and its extension.
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setHeaderLabels({tr("Movie files"), tr("Length"), tr("Images"), tr("Width"), tr("Height"),
                          tr("Status"), tr("Error")});
  const int widths[] = {250, 70, 55, 45, 45, 60, 292};
  for (int column = 0; column <= kErrorColumn; ++column)
    list_->setColumnWidth(column, widths[column]);
  FitColumnTitles();
  list_->header()->setStretchLastSection(true);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(list_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { RowClicked(item); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    RowClicked(item);
    commands_.Run(kResultsViewImages);
  });
  connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    // A click on a row outside the selection selects that row alone; one on
    // a selected row keeps the selection for the commands.
    QTreeWidgetItem* item = list_->itemAt(pos);
    if (item && !item->isSelected()) list_->setCurrentItem(item);
    if (SelectedMovieId() < 0) return;
    ContextMenu()->popup(KeepOnScreen(list_->viewport()->mapToGlobal(pos)));
  });

  BindCommands();
  BindLocate();
  chooseFolder_ = DefaultFolderChooser;
  menu_ = commands_.MakeMenu(kMenu, this);
  menu_->setDefaultAction(commands_.Action(kResultsViewImages));
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { commands_.Update(kMenu); });

  back_ = MakePageButton(PageButton::back, tr("Back"), this);
  report_ = MakePageButton(PageButton::report, tr("HTML Report"), this);
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

  RefreshList();
}

ResultsPage::~ResultsPage() {
  for (int id : kMenu) commands_.Unbind(id);
}

void ResultsPage::Follow(const WorkflowController& run) {
  using Run = WorkflowController;
  const auto notIndexed = [this](const Movie& movie, const std::string&) { MovieNotOpened(movie); };
  connect(&run, &Run::movieNotOpened, this, notIndexed);
  connect(&run, &Run::movieFailed, this, notIndexed);
  connect(&run, &Run::movieFinished, this, &ResultsPage::MovieFinished);
  connect(&run, &Run::indexPhotoFinished, this, &ResultsPage::IndexPhotoFinished);
}

void ResultsPage::RefreshList() {
  list_->clear();
  CheckFiles();
  for (const Movie& movie : project_.Movies()) {
    if (movie.status == kMovieDone || movie.status == kMovieFailed) AddRow(movie);
  }
  // A project opened since: the review window's movie may be gone.
  if (review_ && !project_.HasMovie(review_->MovieId())) {
    review_->ShowMovie(-1);
    review_->hide();
  }
}

void ResultsPage::MovieFinished(const Movie& movie) {
  RemoveRow(movie.id());
  // A movie added again is a new record: the row of the one it replaced,
  // gone from the project, goes too.
  const QString path = QString::fromStdString(movie.path());
  for (int row = list_->topLevelItemCount() - 1; row >= 0; --row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item->data(kPathColumn, kPathRole).toString() == path &&
        !project_.HasMovie(item->data(kPathColumn, kIdRole).toInt()))
      delete item;
  }
  AddRow(movie);
  // The About box's "movies indexed": a movie counts when its indexing has
  // finished, once, and never for listing it again (Open, recovery).
  if (movie.status == kMovieDone && counted_.insert(movie.id()).second)
    emit movieIndexed(movie.id());
  if (review_ && review_->MovieId() == movie.id()) review_->Fill();
}

void ResultsPage::AddRow(const Movie& movie) {
  auto* item = new QTreeWidgetItem(list_);
  item->setData(kPathColumn, kIdRole, movie.id());
  FillRow(item, movie);
}

void ResultsPage::FillRow(QTreeWidgetItem* item, const Movie& movie) {
  const bool sized = movie.videoFormat.biWidth != 0 && movie.videoFormat.biHeight != 0;
  // The file name, which tells the rows apart; the folder is in the tool tip.
  const std::string name = paths::FileName(movie.path());
  item->setText(kPathColumn, QString::fromStdString(name.empty() ? movie.path() : name));
  item->setData(kPathColumn, kPathRole, QString::fromStdString(movie.path()));
  item->setToolTip(kPathColumn, QString::fromStdString(movie.path()));
  item->setText(kLengthColumn, QString::fromStdString(movie.LengthText()));
  item->setText(kImagesColumn, QString::number(movie.images.size()));
  item->setText(kWidthColumn, sized ? QString::number(movie.videoFormat.biWidth) : "-");
  item->setText(kHeightColumn, sized ? QString::number(movie.videoFormat.biHeight) : "-");
  item->setText(kErrorColumn, ErrorCellText(movie.error));
  item->setToolTip(kErrorColumn, QString::fromStdString(movie.error).trimmed());
  item->setIcon(kPathColumn,
                style()->standardIcon(movie.status == kMovieFailed ? QStyle::SP_MessageBoxWarning
                                                                   : QStyle::SP_DialogApplyButton));
  // The numbers are never cut: a column grows to its widest text.
  for (int column = kLengthColumn; column < kErrorColumn; ++column) {
    const int needed = list_->fontMetrics().horizontalAdvance(item->text(column)) + 16;
    if (list_->columnWidth(column) < needed) list_->setColumnWidth(column, needed);
  }
  ShowMissing(item, movie);
}

void ResultsPage::IndexPhotoFinished(const Movie& movie, bool written) {
  (void)written;  // the movie itself tells what there is now
  if (QTreeWidgetItem* item = RowOf(movie.id())) FillRow(item, movie);
  if (review_ && review_->MovieId() == movie.id()) review_->Fill();
}

QTreeWidgetItem* ResultsPage::RowOf(int32_t movieId) const {
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item->data(kPathColumn, kIdRole).toInt() == movieId) return item;
  }
  return nullptr;
}

void ResultsPage::RemoveRow(int32_t movieId) { delete RowOf(movieId); }

int ResultsPage::RowCount() const { return list_->topLevelItemCount(); }

QString ResultsPage::CellText(int32_t movieId, int column) const {
  const QTreeWidgetItem* item = RowOf(movieId);
  return item ? item->text(column) : QString();
}

int32_t ResultsPage::SelectedMovieId() const {
  // The row clicked last when it is among the selected, else the first.
  const QTreeWidgetItem* current = list_->currentItem();
  if (current && current->isSelected()) {
    const int32_t id = current->data(kPathColumn, kIdRole).toInt();
    if (project_.HasMovie(id)) return id;
  }
  const std::vector<int32_t> ids = SelectedMovieIds();
  return ids.empty() ? -1 : ids.front();
}

std::vector<int32_t> ResultsPage::SelectedMovieIds() const {
  std::vector<int32_t> ids;
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    const int32_t id = item->data(kPathColumn, kIdRole).toInt();
    if (item->isSelected() && project_.HasMovie(id)) ids.push_back(id);
  }
  return ids;
}

void ResultsPage::SelectMovie(int32_t movieId) {
  if (QTreeWidgetItem* item = RowOf(movieId)) {
    list_->setCurrentItem(item);
    RowClicked(item);
  }
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
  const auto bind = [this](int id, bool (*rule)(const Movie&),
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
  bool changed = false;
  for (const int32_t id : movieIds) {
    const Movie* movie = std::as_const(project_).MovieById(id);
    if (!movie) continue;
    const std::string path = movie->path();  // the record goes away below
    RemoveRow(id);
    if (review_ && review_->MovieId() == id) {
      review_->ShowMovie(-1);
      review_->hide();
    }
    // Re-adding drops the old record: the movie waits again, with the
    // current settings, at the end of the list.
    if (requeue) {
      project_.AddMovie(path);
    } else {
      project_.RemoveMovie(path);
    }
    changed = true;
  }
  if (changed) emit moviesChanged();
}

void ResultsPage::CheckFiles() {
  missingVideos_.clear();
  missingThumbnails_.clear();
  for (const Movie& movie : project_.Movies()) {
    if (movie.status != kMovieDone && movie.status != kMovieFailed) continue;
    if (!FileThere(movie.path())) missingVideos_.insert(movie.id());
    // A movie's thumbnails are made together into one folder: the first
    // tells for them all.
    if (!movie.images.empty() && !FileThere(movie.images.front().path))
      missingThumbnails_.insert(movie.id());
  }
  emit missingChanged(MissingText());
}

bool ResultsPage::VideoMissing(int32_t movieId) const { return missingVideos_.contains(movieId); }

bool ResultsPage::ThumbnailsMissing(int32_t movieId) const {
  return missingThumbnails_.contains(movieId);
}

QString ResultsPage::MissingText() const {
  const auto count = static_cast<int>(missingVideos_.size());
  if (count == 0) return {};
  return count == 1 ? tr("1 video is missing") : tr("%1 videos are missing").arg(count);
}

void ResultsPage::ShowMissing(QTreeWidgetItem* item, const Movie& movie) {
  const bool video = VideoMissing(movie.id());
  const bool thumbnails = ThumbnailsMissing(movie.id());
  item->setText(kStatusColumn, video        ? tr("Missing")
                               : thumbnails ? tr("Thumbnails missing")
                                            : QString());
  item->setToolTip(
      kStatusColumn,
      video        ? tr("The video is not in its folder any more. Locate... finds it in another.")
      : thumbnails ? tr("The thumbnails are not in their folder any more.")
                   : QString());
  if (video || thumbnails)
    item->setIcon(kPathColumn, style()->standardIcon(QStyle::SP_MessageBoxWarning));
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
  RefreshList();
  if (QTreeWidgetItem* item = RowOf(selected)) list_->setCurrentItem(item);
  if (review_ && review_->MovieId() >= 0) review_->Fill();
  commands_.Update(kMenu);
  if (relinked > 0) {
    emit moviesChanged();
  } else {
    ShowMessage("Locate", "None of the missing videos is in " + folder.toStdString() + ".",
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
    review_ = new ReviewWindow(project_, shell_, commands_, this);
    review_->setWindowFlags(Qt::Widget);
    review_->hide();
    splitter_->addWidget(review_);
    // Both share a change of the page's height.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 1);
    review_->SetRegenerate([this](int32_t movieId) {
      const QSize size = window()->size();
      if (regeneration_ && regeneration_->Regenerate(movieId, size.width(), size.height()))
        review_->setCursor(Qt::BusyCursor);
    });
    // The row shows the number of images left.
    connect(review_, &ReviewWindow::imagesChanged, this, [this](int32_t movieId) {
      QTreeWidgetItem* item = RowOf(movieId);
      const Movie* movie = std::as_const(project_).MovieById(movieId);
      if (item && movie) FillRow(item, *movie);
    });
  }
  return *review_;
}

void ResultsPage::RowClicked(QTreeWidgetItem* item) {
  if (!item) return;
  const int32_t id = item->data(kPathColumn, kIdRole).toInt();
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
  list_->scrollToItem(item);
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
