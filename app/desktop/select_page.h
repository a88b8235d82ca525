#pragma once
// The movie selection page: a folder tree and the selected folder's content
// (both read in the background by QFileSystemModel) above the list "Videos
// to index", a view on the movie model that shows the project's movies that
// are waiting and follows the project by itself. Videos get
// into the project by double-click, by the context menus (single files,
// whole folders recursively) and by drops of files from other programs.
#include <QStringList>
#include <QTreeView>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop/page_widget.h"

class QFileIconProvider;
class QFileSystemModel;
class QMenu;
class QSplitter;

namespace ombrelo {
class CProject;
class Movie;
}  // namespace ombrelo

namespace ombrelo::desktop {

class BitmapButton;
class CommandRegistry;
class HelpPages;
class MovieFilter;
class MovieModel;

// "Videos to index": a one-column list that takes drops of local files and
// folders. While it is empty, a picture in its bottom right corner asks for
// videos (made smaller when the list is lower or narrower than it).
class VideosList : public QTreeView {
  Q_OBJECT
 public:
  explicit VideosList(QWidget* parent = nullptr);
  void setModel(QAbstractItemModel* model) override;

  // Where the hint to drop videos is drawn in the viewport; empty while the
  // list has entries.
  QRect PlaceholderRect() const;

 signals:
  // Local paths dropped on the list, in the order of the drop.
  void PathsDropped(const QStringList& paths);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  Qt::DropAction dropAction_ = Qt::IgnoreAction;
};

class SelectPage : public PageWidget {
  Q_OBJECT
 public:
  // What the context menu of the file list offers for a selection.
  enum class Offer { none, indexAll, indexFolders, indexFiles };

  // The page's own commands (the file list's and folder tree's context
  // menus, "Next") are bound in commands; the "Videos to index" context
  // menu shows the main window's there.
  SelectPage(MovieModel& movies, HelpPages& help, CommandRegistry& commands,
             QWidget* parent = nullptr);
  ~SelectPage() override;

  // Frame commands on "Videos to index".
  bool HasSelectedMovie() const { return FirstSelectedMovie() != nullptr; }
  void PlaySelectedMovie();
  void RemoveSelectedMovie();  // only the first selected one
  void RemoveAllMovies();

  // Shows a folder: selects it in the tree and lists its content.
  void ShowFolder(const QString& folder);
  QString ShownFolder() const;
  // Shows the folder the project was browsing when it was saved, when it
  // still exists (a project just opened or recovered); false when it shows
  // none.
  bool ShowProjectFolder();

  // Sorts the file list by a column as a click on its header does.
  void SortByColumn(int column);
  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder SortOrder() const { return sortOrder_; }

  // Splits paths into folders and video files as the context menu does, and
  // says what the menu offers for them.
  Offer ClassifySelection(const QStringList& paths);
  // Carries out a context-menu command on the last classified selection.
  void IndexClassified(CommandId command);
  // Double-click or Enter on a path of the file list: a folder is shown, a
  // video added; anything else only beeps.
  void ActivatePath(const QString& path);
  // Adds local paths as movies (a drop), in order.
  void AddDroppedPaths(const QStringList& paths);
  // Adds a folder's videos recursively: they come once the folder has been
  // searched, off the window's thread.
  void AddFolder(const QString& folder);
  // Folders being searched for videos.
  int ScansPending() const { return scans_; }

  // Hidden folders (names starting with ".") in the tree and the file list,
  // or not (the default).
  void SetShowHiddenFolders(bool show);

  QTreeView* FolderTree() const { return tree_; }
  QFileSystemModel* FolderModel() const { return treeModel_; }

  QTreeView* FileList() const { return files_; }
  QFileSystemModel* FileModel() const { return fileModel_; }
  VideosList* Videos() const { return videos_; }
  // The movie ids of "Videos to index", in list order.
  std::vector<int32_t> VideoIds() const;
  BitmapButton* NextButton() const { return next_; }
  BitmapButton* SettingsButton() const { return settings_; }

 signals:
  // Movies came onto or went off the list of videos to index.
  void ListChanged();
  // Every folder being searched was searched, and its videos added.
  void FoldersScanned();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void BindCommands();
  void MakeFolderViews();
  void MakeVideosList();
  void Lay();
  void FitColumnTitles();
  void VideosChanged();
  void OnFolderSelected(const QModelIndex& index);
  void ShowFileContextMenu(const QPoint& pos);
  void ShowTreeContextMenu(const QPoint& pos);
  void ShowVideosContextMenu(const QPoint& pos);
  QStringList SelectedFilePaths() const;
  void AddMovie(const QString& path);
  void ScanFolder(const QString& folder);
  // The movie of the first selected row in list order; null when none.
  const Movie* FirstSelectedMovie() const;

  MovieModel& movies_;
  CProject& project_;
  HelpPages& help_;
  CommandRegistry& commands_;
  std::unique_ptr<QFileIconProvider> icons_;
  QFileSystemModel* treeModel_;
  QFileSystemModel* fileModel_;
  QSplitter* splitter_;
  QTreeView* tree_;
  QTreeView* files_;
  VideosList* videos_;
  MovieFilter* waiting_;
  BitmapButton* settings_;
  BitmapButton* next_;
  int sortColumn_ = 0;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  int scans_ = 0;
  QStringList menuFolders_;
  QStringList menuFiles_;
};

// True when the path counts as a folder for the context menus: it names an
// existing directory or ends with a separator.
bool CountsAsFolder(const QString& path);

}  // namespace ombrelo::desktop
