#include "app/desktop/select_page.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetricsF>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSplitter>
#include <QStyleOptionFocusRect>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/help_window.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/palette.h"
#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "project/project.h"
#include "workflow/video_files.h"

namespace ombrelo::desktop {

namespace {

constexpr char kFirstVideoAddedPage[] = "first_video_added.htm";
constexpr int kSplitterMinimum = 14;  // pixels of tree and list that stay
QString Qs(const std::string& text) { return QString::fromStdString(text); }
std::string Ss(const QString& text) { return text.toStdString(); }

// Shows the wait cursor while it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The file browser's icons: the desktop theme's where it has them, ours
// for videos and where it has none. Asked on the model's reading thread.
class FileIcons : public QFileIconProvider {
 public:
  FileIcons()
      : video_(QStringLiteral(":/files/video.svg")),
        folder_(QStringLiteral(":/files/folder.svg")),
        other_(QStringLiteral(":/files/other.svg")) {}
  QIcon icon(const QFileInfo& info) const override {
    if (!info.isDir() && IsVideoFileName(info.fileName().toStdString())) return video_;
    const QIcon themed = QFileIconProvider::icon(info);
    if (!themed.isNull() && !themed.availableSizes().isEmpty()) return themed;
    return info.isDir() ? folder_ : other_;
  }
  QIcon icon(IconType type) const override {
    const QIcon themed = QFileIconProvider::icon(type);
    if (!themed.isNull() && !themed.availableSizes().isEmpty()) return themed;
    return type == File ? other_ : folder_;
  }

 private:
  QIcon video_;
  QIcon folder_;
  QIcon other_;
};

}  // namespace

bool CountsAsFolder(const QString& path) {
  return path.endsWith(QLatin1Char('/')) || QFileInfo(path).isDir();
}

// ---- VideosList

VideosList::VideosList(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  DebugOutput("CDropTarget::Constructor called\n");
}

void VideosList::setModel(QAbstractItemModel* model) {
  QTreeView::setModel(model);
  header()->resizeSection(0, 400);
  // One column: the whole path.
  for (int column = 1; column < model->columnCount(); ++column) hideColumn(column);
  // The picture asks for videos while there are none: the first entry
  // takes it away, the last one gone brings it back.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(model, signal, viewport(), qOverload<>(&QWidget::update));
  connect(model, &QAbstractItemModel::modelReset, viewport(), qOverload<>(&QWidget::update));
}

namespace {

constexpr QSize kHintSize(320, 140);

// The hint in an empty list: a film frame and two lines of text, in the
// quiet colours of the palette.
void DrawDropHint(QPainter& painter, const QRect& area, const QPalette& p) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(area.topLeft());
  painter.scale(double(area.width()) / kHintSize.width(),
                double(area.height()) / kHintSize.height());
  const QColor base = p.color(QPalette::Base);
  const QColor quiet = p.color(QPalette::PlaceholderText);
  const QColor line = Blend(base, quiet, 0.35);
  painter.setPen(QPen(line, 2));
  painter.setBrush(Blend(base, line, 0.3));
  painter.drawRoundedRect(QRectF(18, 26, 100, 86), 8, 8);
  painter.setPen(Qt::NoPen);
  painter.setBrush(line);
  for (int row = 0; row < 5; ++row) {
    painter.drawRect(QRectF(26, 34 + row * 15, 8, 8));
    painter.drawRect(QRectF(102, 34 + row * 15, 8, 8));
  }
  painter.setBrush(Blend(base, p.color(QPalette::Highlight), 0.55));
  painter.drawPolygon(QPolygonF({QPointF(56, 52), QPointF(88, 69), QPointF(56, 86)}));

  QFont title = painter.font();
  title.setBold(true);
  title.setPixelSize(18);
  // A longer title (in another language) is set smaller rather than cut.
  const QString heading = VideosList::tr("Drop videos here");
  while (title.pixelSize() > 11 && QFontMetricsF(title).horizontalAdvance(heading) > 186)
    title.setPixelSize(title.pixelSize() - 1);
  painter.setFont(title);
  painter.setPen(quiet);
  painter.drawText(QRectF(134, 40, 186, 28), Qt::AlignLeft | Qt::AlignVCenter, heading);
  QFont small = painter.font();
  small.setBold(false);
  small.setPixelSize(12);
  painter.setFont(small);
  painter.drawText(QRectF(134, 70, 186, 40), Qt::AlignLeft | Qt::AlignTop,
                   VideosList::tr("or double-click a file\nin the list above"));
  painter.restore();
}

}  // namespace

QRect VideosList::PlaceholderRect() const {
  if (model() && model()->rowCount() > 0) return QRect();
  const QSize area = viewport()->size();
  QSize size = kHintSize;
  if (size.width() > area.width() || size.height() > area.height())
    size = size.scaled(area, Qt::KeepAspectRatio);
  return QRect(QPoint(area.width() - size.width(), area.height() - size.height()), size);
}

void VideosList::paintEvent(QPaintEvent* event) {
  const QRect picture = PlaceholderRect();
  if (!picture.isEmpty()) {
    QPainter painter(viewport());
    DrawDropHint(painter, picture, palette());
  }
  QTreeView::paintEvent(event);
  // An empty list has no current row to show the focus with: the frame of
  // the focus goes round the whole list.
  if (hasFocus() && model() && model()->rowCount() == 0) {
    QPainter painter(viewport());
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = viewport()->rect().adjusted(1, 1, -1, -1);
    focus.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void VideosList::focusInEvent(QFocusEvent* event) {
  QTreeView::focusInEvent(event);
  viewport()->update();
}

void VideosList::focusOutEvent(QFocusEvent* event) {
  QTreeView::focusOutEvent(event);
  viewport()->update();
}

void VideosList::dragEnterEvent(QDragEnterEvent* event) {
  DebugOutput("CDropTarget::DragEnter\n");
  dropAction_ = Qt::IgnoreAction;
  const QMimeData* data = event->mimeData();
  bool anyLocal = false;
  if (data && data->hasUrls()) {
    for (const QUrl& url : data->urls()) anyLocal = anyLocal || url.isLocalFile();
  }
  if (anyLocal) {
    // A link when the source offers it (the file stays where it is); file
    // managers that offer only copy or move are taken as well.
    if (event->possibleActions() & Qt::LinkAction)
      dropAction_ = Qt::LinkAction;
    else if (event->possibleActions() & Qt::CopyAction)
      dropAction_ = Qt::CopyAction;
  }
  if (dropAction_ == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(dropAction_);
  event->accept();
}

void VideosList::dragMoveEvent(QDragMoveEvent* event) {
  if (dropAction_ == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(dropAction_);
  event->accept();
}

void VideosList::dragLeaveEvent(QDragLeaveEvent* event) {
  DebugOutput("CDropTarget::DragLeave\n");
  event->accept();
}

void VideosList::dropEvent(QDropEvent* event) {
  DebugOutput("CDropTarget::Drop\n");
  QStringList paths;
  if (event->mimeData()) {
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) paths << url.toLocalFile();
    }
  }
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->setDropAction(dropAction_ == Qt::IgnoreAction ? Qt::CopyAction : dropAction_);
  event->accept();
  emit PathsDropped(paths);
}

// ---- SelectPage

SelectPage::SelectPage(MovieModel& movies, HelpPages& help, CommandRegistry& commands,
                       QWidget* parent)
    : PageWidget(parent),
      movies_(movies),
      project_(movies.Project()),
      help_(help),
      commands_(commands) {
  next_ = new BitmapButton(tr("&Next"), QStringLiteral(":/buttons/next.svg"),
                           QStringLiteral(":/buttons/next_hot.svg"), this);
  settings_ = new BitmapButton(tr("&Settings"), QStringLiteral(":/buttons/settings.svg"),
                               QStringLiteral(":/buttons/settings_hot.svg"), this);
  settings_->SetLeftAligned(true);
  BindCommands();
  commands_.BindButton(settings_, kPageSettings);
  commands_.BindButton(next_, kSelectNext);
  MakeFolderViews();
  MakeVideosList();
  Lay();
  if (!ShowProjectFolder()) ShowFolder(QDir::homePath());
  VideosChanged();
}

void SelectPage::MakeFolderViews() {
  // The folder tree: folders only, read in the background.
  treeModel_ = new QFileSystemModel(this);
  treeModel_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  treeModel_->setRootPath(QDir::rootPath());
  icons_ = std::make_unique<FileIcons>();
  treeModel_->setIconProvider(icons_.get());
  tree_ = new QTreeView;
  tree_->setModel(treeModel_);
  for (int column = 1; column < treeModel_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(tree_, &QWidget::customContextMenuRequested, this, &SelectPage::ShowTreeContextMenu);

  // The content of the selected folder.
  fileModel_ = new QFileSystemModel(this);
  fileModel_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
  fileModel_->setReadOnly(true);
  fileModel_->setIconProvider(icons_.get());
  files_ = new QTreeView;
  files_->setModel(fileModel_);
  files_->setRootIsDecorated(false);
  files_->setItemsExpandable(false);
  files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  files_->setContextMenuPolicy(Qt::CustomContextMenu);
  files_->setUniformRowHeights(true);
  files_->header()->setSectionsClickable(true);
  files_->header()->setSortIndicatorShown(true);
  files_->header()->setSortIndicator(0, Qt::AscendingOrder);
  files_->header()->resizeSection(0, 230);
  files_->header()->resizeSection(1, 85);
  files_->header()->resizeSection(2, 125);
  files_->header()->resizeSection(3, 135);
  FitColumnTitles();
  files_->header()->setStretchLastSection(true);
  connect(files_->header(), &QHeaderView::sectionClicked, this, &SelectPage::SortByColumn);
  connect(files_, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { ActivatePath(fileModel_->filePath(index)); });
  connect(files_, &QWidget::customContextMenuRequested, this, &SelectPage::ShowFileContextMenu);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnFolderSelected(current); });
  // The tree reads folders in the background: as the parents of the shown
  // folder arrive (and have been sorted), keep it in view.
  connect(treeModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    const QString current = treeModel_->filePath(tree_->currentIndex());
    const bool parentOfShown =
        loaded == QDir::rootPath() || current.startsWith(loaded + QLatin1Char('/'));
    if (current.isEmpty() || !parentOfShown) return;
    QTimer::singleShot(50, this, [this] {
      if (tree_->currentIndex().isValid())
        tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
  });
}

void SelectPage::MakeVideosList() {
  waiting_ = new MovieFilter(movies_, MovieFilter::Shows::waiting, this);
  videos_ = new VideosList;
  videos_->setModel(waiting_);
  videos_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(videos_, &QWidget::customContextMenuRequested, this, &SelectPage::ShowVideosContextMenu);
  connect(videos_, &QTreeView::doubleClicked, this, [this] { commands_.Run(kPlayMovie); });
  connect(videos_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    commands_.Update({kPlayMovie, kRemoveMovie});
  });
  connect(videos_, &VideosList::PathsDropped, this, &SelectPage::AddDroppedPaths);
  // The list follows the project: movies added, removed, started or done.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(waiting_, signal, this, &SelectPage::VideosChanged);
  connect(waiting_, &QAbstractItemModel::modelReset, this, &SelectPage::VideosChanged);
}

void SelectPage::Lay() {
  splitter_ = new QSplitter(Qt::Horizontal);
  splitter_->addWidget(tree_);
  splitter_->addWidget(files_);
  splitter_->setChildrenCollapsible(false);
  tree_->setMinimumWidth(kSplitterMinimum);
  files_->setMinimumWidth(kSplitterMinimum);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 2);
  splitter_->setSizes({230, 560});

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(settings_);
  buttons->addWidget(next_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(9, 9, 9, 9);
  layout->setSpacing(8);
  layout->addWidget(splitter_, 3);
  layout->addWidget(videos_, 2);
  layout->addLayout(buttons);

  // Tab goes as one reads: folders, files, the videos to index, then the
  // buttons at the foot.
  for (QAbstractItemView* view : std::initializer_list<QAbstractItemView*>{tree_, files_, videos_})
    ShowFocusInSelection(view);
  setTabOrder(tree_, files_);
  setTabOrder(files_, videos_);
  setTabOrder(videos_, settings_);
  setTabOrder(settings_, next_);
}

void SelectPage::VideosChanged() {
  commands_.Update({kSelectNext, kPlayMovie, kRemoveMovie});
  emit ListChanged();
}

bool SelectPage::ShowProjectFolder() {
  const QString folder = Qs(project_.Output().current_path);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  ShowFolder(folder);
  return true;
}

void SelectPage::FitColumnTitles() { FitColumnsToTitles(files_->header()); }

void SelectPage::changeEvent(QEvent* event) {
  // Once the list's heading has the new font too.
  if (event->type() == QEvent::FontChange)
    QMetaObject::invokeMethod(this, &SelectPage::FitColumnTitles, Qt::QueuedConnection);
  PageWidget::changeEvent(event);
}

SelectPage::~SelectPage() {
  for (CommandId id :
       {kIndexAll, kIndexVideosInFolder, kAddAllVideos, kIndexSelectedVideos, kSelectNext})
    commands_.Unbind(id);
  // The models' reading threads use the icon provider: they go first.
  delete fileModel_;
  delete treeModel_;
}

void SelectPage::SetShowHiddenFolders(bool show) {
  for (QFileSystemModel* model : {treeModel_, fileModel_})
    model->setFilter(show ? model->filter() | QDir::Hidden : model->filter() & ~QDir::Hidden);
}

void SelectPage::ShowFolder(const QString& folder) {
  const QModelIndex index = treeModel_->index(folder);
  if (!index.isValid()) return;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
    tree_->expand(parent);
  tree_->expand(index);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
}

QString SelectPage::ShownFolder() const { return fileModel_->rootPath(); }

void SelectPage::OnFolderSelected(const QModelIndex& index) {
  const QString path = treeModel_->filePath(index);
  if (path.isEmpty()) return;
  WaitCursor wait;
  files_->setRootIndex(fileModel_->setRootPath(path));
  files_->clearSelection();
  std::string stored = Ss(path);
  if (!stored.empty() && stored.back() != '/') stored += '/';
  project_.SetCurrentPath(stored);
}

void SelectPage::SortByColumn(int column) {
  if (column == sortColumn_) {
    sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
  } else {
    sortColumn_ = column;
    sortOrder_ = Qt::AscendingOrder;
  }
  files_->header()->setSortIndicator(sortColumn_, sortOrder_);
  fileModel_->sort(sortColumn_, sortOrder_);
}

void SelectPage::AddMovie(const QString& path) { project_.AddMovie(Ss(path)); }

void SelectPage::ActivatePath(const QString& path) {
  if (path.isEmpty()) return;
  if (QFileInfo(path).isDir()) {
    ShowFolder(path);
    return;
  }
  // Only a video goes into the project; anything else would only fail.
  if (!IsVideoFile(Ss(path))) {
    QApplication::beep();
    return;
  }
  AddMovie(path);
  help_.Show(window(), kFirstVideoAddedPage, HelpMode::tutorial);
}

QStringList SelectPage::SelectedFilePaths() const {
  QStringList paths;
  for (const QModelIndex& index : files_->selectionModel()->selectedRows(0))
    paths << fileModel_->filePath(index);
  return paths;
}

SelectPage::Offer SelectPage::ClassifySelection(const QStringList& paths) {
  menuFolders_.clear();
  menuFiles_.clear();
  for (const QString& path : paths) {
    if (path.isEmpty()) continue;
    if (CountsAsFolder(path))
      menuFolders_ << path;
    else if (IsVideoFile(Ss(path)))
      menuFiles_ << path;
  }
  if (!menuFolders_.isEmpty() && !menuFiles_.isEmpty()) return Offer::indexAll;
  if (!menuFolders_.isEmpty()) return Offer::indexFolders;
  if (!menuFiles_.isEmpty()) return Offer::indexFiles;
  return Offer::none;
}

void SelectPage::IndexClassified(CommandId command) {
  if (command == kIndexAll || command == kIndexSelectedVideos) {
    for (const QString& file : menuFiles_) AddMovie(file);
  }
  if (command == kIndexAll || command == kIndexVideosInFolder) {
    for (const QString& folder : menuFolders_) ScanFolder(folder);
  }
}

void SelectPage::ScanFolder(const QString& folder) {
  // The folder is searched on a worker, so that the window answers while a
  // large tree (or a slow share) is read; its videos come when it is done,
  // and another folder may be added meanwhile.
  using Watcher = QFutureWatcher<std::vector<std::string>>;
  auto* watcher = new Watcher(this);
  connect(watcher, &Watcher::finished, this, [this, watcher] {
    for (const std::string& path : watcher->result()) project_.AddMovie(path);
    watcher->deleteLater();
    if (--scans_ == 0) {
      unsetCursor();
      emit FoldersScanned();
    }
  });
  if (scans_++ == 0) setCursor(Qt::BusyCursor);
  watcher->setFuture(QtConcurrent::run(FindVideosInFolder, Ss(folder)));
}

void SelectPage::AddFolder(const QString& folder) {
  ClassifySelection({folder});
  IndexClassified(kIndexVideosInFolder);
}

void SelectPage::BindCommands() {
  // The context menus' commands act on what was classified when the menu
  // opened.
  const auto files = [this] { return !menuFiles_.isEmpty(); };
  const auto folders = [this] { return !menuFolders_.isEmpty(); };
  commands_.Bind(
      kIndexAll, [this] { IndexClassified(kIndexAll); }, [=] { return files() && folders(); });
  commands_.Bind(
      kIndexVideosInFolder, [this] { IndexClassified(kIndexVideosInFolder); }, folders);
  commands_.Bind(
      kAddAllVideos, [this] { IndexClassified(kIndexVideosInFolder); }, folders);
  commands_.Bind(
      kIndexSelectedVideos, [this] { IndexClassified(kIndexSelectedVideos); }, files);
  // "Next": to the progress page, and Start when the engine is idle (both
  // the main window's); possible as soon as the project has a movie.
  commands_.Bind(
      kSelectNext,
      [this] {
        commands_.Run(kPageProgress);
        commands_.Run(kStartWhenIdle);
      },
      [this] { return !project_.Movies().empty(); });
}

namespace {

// A context menu of the commands given, at pos of the widget.
void PopUp(CommandRegistry& commands, std::initializer_list<CommandId> ids, QWidget* widget,
           const QPoint& pos) {
  std::unique_ptr<QMenu> menu(commands.MakeMenu(ids, widget));
  menu->exec(widget->mapToGlobal(pos));
}

}  // namespace

void SelectPage::ShowFileContextMenu(const QPoint& pos) {
  const QStringList selected = SelectedFilePaths();
  if (selected.isEmpty()) return;
  switch (ClassifySelection(selected)) {
    case Offer::indexAll:
      return PopUp(commands_, {kIndexAll}, files_->viewport(), pos);
    case Offer::indexFolders:
      return PopUp(commands_, {kIndexVideosInFolder}, files_->viewport(), pos);
    case Offer::indexFiles:
      return PopUp(commands_, {kIndexSelectedVideos}, files_->viewport(), pos);
    case Offer::none:
      return;
  }
}

void SelectPage::ShowTreeContextMenu(const QPoint& pos) {
  menuFolders_.clear();
  menuFiles_.clear();
  const QString path = treeModel_->filePath(tree_->indexAt(pos));
  if (path.isEmpty() || !CountsAsFolder(path)) return;
  menuFolders_ << path;
  PopUp(commands_, {kAddAllVideos}, tree_->viewport(), pos);
}

void SelectPage::ShowVideosContextMenu(const QPoint& pos) {
  if (!videos_->selectionModel()->hasSelection()) {
    PopUp(commands_, {kRemoveAll}, videos_->viewport(), pos);
  } else {
    PopUp(commands_, {kPlayMovie, kRemoveMovie, kRemoveAll}, videos_->viewport(), pos);
  }
}

void SelectPage::AddDroppedPaths(const QStringList& paths) {
  for (const QString& path : paths) AddMovie(path);
}

std::vector<int32_t> SelectPage::VideoIds() const {
  std::vector<int32_t> ids;
  for (int row = 0; row < waiting_->rowCount(); ++row)
    ids.push_back(MovieModel::MovieIdOf(waiting_->index(row, 0)));
  return ids;
}

const Movie* SelectPage::FirstSelectedMovie() const {
  for (int row = 0; row < waiting_->rowCount(); ++row) {
    const int32_t id = MovieModel::MovieIdOf(waiting_->index(row, 0));
    // A row whose movie has gone meanwhile is passed over without a message.
    if (videos_->selectionModel()->isRowSelected(row, {}) && project_.HasMovie(id))
      return project_.MovieById(id);
  }
  return nullptr;
}

void SelectPage::PlaySelectedMovie() {
  if (const Movie* movie = FirstSelectedMovie())
    QDesktopServices::openUrl(QUrl::fromLocalFile(Qs(movie->path())));
}

void SelectPage::RemoveSelectedMovie() {
  if (const Movie* movie = FirstSelectedMovie()) project_.RemoveMovie(movie->path());
}

void SelectPage::RemoveAllMovies() {
  std::vector<std::string> paths;
  for (const int32_t id : VideoIds()) {
    if (const Movie* movie = project_.MovieById(id)) paths.push_back(movie->path());
  }
  for (const std::string& path : paths) project_.RemoveMovie(path);
}

}  // namespace ombrelo::desktop
