#pragma once
// The results page: every movie of the project that is finished or failed,
// with its length, number of images, frame size and errors. Its context
// menu opens the selected movies' outputs, plays them, shows their folders,
// removes them or queues them again (several rows may be selected); a click
// on a row shows the movie's review window, docked below the list. The first
// column shows the file name, its tool tip the whole path. The list is a
// view on the movie model: it follows the project's changes by itself. A
// video that is not where the project says (its folder renamed
// or moved) is marked missing, and so are thumbnails that are gone;
// Locate... finds the videos in another folder.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSplitter;
class QAbstractButton;
class QModelIndex;
class QTreeView;

namespace ombrelo {
class CProject;
class Movie;
class Regeneration;
}  // namespace ombrelo

namespace ombrelo::desktop {
class CommandRegistry;
}

namespace ombrelo::desktop {

class DesktopShell;
class ThumbnailTrash;
class MovieFilter;
class MovieModel;
class ReviewWindow;

class ResultsPage : public QWidget {
  Q_OBJECT

 public:
  // The columns, as the movie model has them.
  enum Column : int {
    kPathColumn,
    kLengthColumn,
    kImagesColumn,
    kWidthColumn,
    kHeightColumn,
    kStatusColumn,  // "Missing" when the video is not there, and the like
    kErrorColumn
  };

  // The context menu's commands (desktop::kResultsViewImages to
  // kResultsRequeue, for the selected movies) and the review window's are
  // bound in commands.
  ResultsPage(MovieModel& movies, DesktopShell& shell, desktop::CommandRegistry& commands,
              QWidget* parent = nullptr);
  ~ResultsPage() override;

  // The selected movie's id (the row clicked last among several), -1 when
  // none is selected or it is gone.
  int32_t SelectedMovieId() const;
  // The ids of every selected movie still in the project, in list order.
  std::vector<int32_t> SelectedMovieIds() const;
  // Selects the movie's row as a click does (the review window follows).
  void SelectMovie(int32_t movieId);

  // Queues the movies again as Re-Queue does: their rows go, each movie
  // waits again with the current settings at the end of the project's list.
  void Requeue(const std::vector<int32_t>& movieIds);

  // The context menu as it would pop up now (for tests and the keyboard).
  QMenu* ContextMenu();

  // Whether the movie's video, or its first thumbnail, was missing when its
  // files were last looked at (listed, a project opened, a Locate...,
  // CheckFiles).
  bool VideoMissing(int32_t movieId) const;
  bool ThumbnailsMissing(int32_t movieId) const;
  // The status-line text for the missing videos ("2 videos are missing"),
  // "" when none is.
  QString MissingText() const;
  // Looks at every listed movie's files again.
  void CheckFiles();
  // Asks for the folder Locate... looks in ("" when the user cancels); the
  // file dialog unless replaced (tests).
  using FolderChooser = std::function<QString(QWidget* owner, const QString& start)>;
  void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

  // Thumbnails deleted in the review window have their movie's outputs made
  // again by this regeneration (the main window's, which shares the run's
  // renderer); the window's size sizes the renderer if it has none yet.
  // Null: only the thumbnail goes.
  void SetRegeneration(Regeneration* regeneration);

  // For the main window and tests.
  QTreeView* List() const { return list_; }
  // The review window, made at the first click on a row and docked below
  // the list.
  ReviewWindow* Review() const { return review_; }
  ReviewWindow& EnsureReview();
  // The thumbnails deleted in the review window since the project was
  // saved, for Undo.
  ThumbnailTrash& Trash() const { return *trash_; }
  // Text of a cell of the movie's row ("" when it has no row), and of a
  // row of the list as it is shown.
  QString CellText(int32_t movieId, int column) const;
  QString RowText(int row, int column, int role = Qt::DisplayRole) const;
  int RowCount() const;

 signals:
  void backClicked();
  void reportClicked();
  // The list was checked for missing files: MissingText() as it is now.
  void missingChanged(const QString& text);
  // A movie listed as done for the first time: one more movie indexed (the
  // About box's count). Listing it again (Open, recovery) does not count.
  void movieIndexed(int32_t movieId);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FitColumnTitles();
  // The numbers are never cut: a column grows to its widest text.
  void GrowColumns(int first, int last);
  void RowClicked(const QModelIndex& index);
  void SelectRow(const QModelIndex& index);
  void BindCommands();
  // The selected movies the rule holds for, in list order.
  std::vector<const Movie*> Selected(bool (*rule)(const Movie&)) const;
  void RemoveOrRequeue(const std::vector<int32_t>& movieIds, bool requeue);
  void BindLocate();
  void BindUndo();
  // Has the movie's outputs made again (its thumbnails changed).
  void Regenerate(int32_t movieId);
  void Locate();

  MovieModel& movies_;
  CProject& project_;
  DesktopShell& shell_;
  desktop::CommandRegistry& commands_;
  MovieFilter* rows_ = nullptr;
  QTreeView* list_ = nullptr;
  // The list above, the review window docked below it (covering no row).
  QSplitter* splitter_ = nullptr;
  QAbstractButton* back_ = nullptr;
  QAbstractButton* report_ = nullptr;
  QMenu* menu_ = nullptr;
  ReviewWindow* review_ = nullptr;
  Regeneration* regeneration_ = nullptr;
  std::unique_ptr<ThumbnailTrash> trash_;
  FolderChooser chooseFolder_;
};

}  // namespace ombrelo::desktop
