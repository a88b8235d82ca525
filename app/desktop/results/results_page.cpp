#include "app/desktop/results/results_page.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/review_window.h"
#include "app/regeneration.h"
#include "app/workflow_controller.h"
#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;  // the movie's whole path
// The review window's place relative to the clicked row.

struct CommandText {
  int id;
  const char* label;
};
constexpr CommandText kCommands[] = {
    {ResultsPage::kViewImages, "View images"},
    {ResultsPage::kViewHtml, "View HTML"},
    {ResultsPage::kViewIndexPhoto, "View Index Photo"},
    {ResultsPage::kPlayMovie, "Play movie"},
    {ResultsPage::kViewFolder, "View Movie folder"},
    {ResultsPage::kRemove, "Remove"},
    {ResultsPage::kRequeue, "Re-Queue"},
};

// One line of the error texts for the cell; the tool tip has them all.
QString ErrorCellText(const std::string& error) {
  return QString::fromStdString(error).simplified();
}

}  // namespace

ResultsPage::ResultsPage(CProject& project, DesktopShell& shell, QWidget* parent,
                         const PageButtonFactory& makeButton)
    : QWidget(parent), project_(project), shell_(shell) {
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  // A name too long for its column keeps its beginning and its extension.
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setHeaderLabels(
      {tr("Movie files"), tr("Length"), tr("Images"), tr("Width"), tr("Height"), tr("Error")});
  const int widths[] = {250, 70, 55, 45, 45, 352};
  for (int column = 0; column < 6; ++column) list_->setColumnWidth(column, widths[column]);
  list_->header()->setStretchLastSection(true);
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(list_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { RowClicked(item); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    RowClicked(item);
    Run(kViewImages);
  });
  connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (QTreeWidgetItem* item = list_->itemAt(pos)) list_->setCurrentItem(item);
    if (SelectedMovieId() < 0) return;
    ContextMenu()->popup(KeepOnScreen(list_->viewport()->mapToGlobal(pos)));
  });

  menu_ = new QMenu(this);
  for (const CommandText& command : kCommands) {
    if (command.id == kRemove) menu_->addSeparator();
    QAction* action = menu_->addAction(tr(command.label));
    action->setData(command.id);
    connect(action, &QAction::triggered, this, [this, id = command.id] { Run(id); });
    actions_[command.id] = action;
  }
  menu_->setDefaultAction(actions_[kViewImages]);

  back_ = MakePageButton(makeButton, PageButtonKind::back, tr("Back"), this);
  report_ = MakePageButton(makeButton, PageButtonKind::report, tr("HTML Report"), this);
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

ResultsPage::~ResultsPage() = default;

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
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return -1;
  const int32_t id = selected.first()->data(kPathColumn, kIdRole).toInt();
  return project_.HasMovie(id) ? id : -1;
}

void ResultsPage::SelectMovie(int32_t movieId) {
  if (QTreeWidgetItem* item = RowOf(movieId)) {
    list_->setCurrentItem(item);
    RowClicked(item);
  }
}

bool ResultsPage::CommandEnabled(int command) const {
  const Movie* found = std::as_const(project_).MovieById(SelectedMovieId());
  if (!found) return false;
  const Movie& movie = *found;
  switch (command) {
    case kViewImages:
      return !movie.images.empty();
    case kViewHtml:
      return !movie.html.empty();
    case kViewIndexPhoto:
      return !movie.indexphoto.empty();
    case kPlayMovie:
    case kViewFolder:
    case kRemove:
    case kRequeue:
      return !movie.path().empty();
    default:
      return false;
  }
}

QMenu* ResultsPage::ContextMenu() {
  for (auto& [id, action] : actions_) action->setEnabled(CommandEnabled(id));
  return menu_;
}

void ResultsPage::Run(int command) {
  if (!CommandEnabled(command)) return;
  const int32_t id = SelectedMovieId();
  const Movie& movie = *project_.FindMovie(id);  // there: the command is enabled
  switch (command) {
    case kViewImages:
      ViewMovieImages(shell_, movie);
      break;
    case kViewHtml:
      shell_.OpenFile(movie.html);
      break;
    case kViewIndexPhoto:
      OpenInViewer(shell_, {movie.indexphoto});
      break;
    case kPlayMovie:
      shell_.OpenFile(movie.path());
      break;
    case kViewFolder:
      shell_.ShowInFolder(movie.path());
      break;
    case kRemove:
    case kRequeue: {
      const std::string path = movie.path();  // the record goes away below
      RemoveRow(id);
      if (review_ && review_->MovieId() == id) {
        review_->ShowMovie(-1);
        review_->hide();
      }
      if (command == kRemove) {
        project_.RemoveMovie(path);
      } else {
        project_.AddMovie(path);
      }
      emit moviesChanged();
      break;
    }
    default:
      break;
  }
}

void ResultsPage::SetRegeneration(Regeneration* regeneration) { regeneration_ = regeneration; }

ReviewWindow& ResultsPage::EnsureReview() {
  if (!review_) {
    review_ = new ReviewWindow(project_, shell_, this);
    review_->setWindowFlags(Qt::Widget);
    review_->hide();
    splitter_->addWidget(review_);
    // Both share a change of the page's height.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 1);
    review_->SetRegenerate([this](int32_t movieId) {
      const QSize size = window()->size();
      if (regeneration_) regeneration_->Regenerate(movieId, size.width(), size.height());
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

void ResultsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (review_ && SelectedMovieId() >= 0 && review_->MovieId() >= 0) review_->show();
}

void ResultsPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (review_) review_->hide();
}

}  // namespace ombrelo
