#pragma once
// The results page: every movie of the project that is finished or failed,
// with its length, number of images, frame size and errors. Its context
// menu opens the selected movies' outputs, plays them, shows their folders,
// removes them or queues them again (several rows may be selected); a click
// on a row shows the movie's review window, docked below the list. The first
// column shows the file name, its tool tip the whole path. Rows are keyed by
// movie id. A video that is not where the project says (its folder renamed
// or moved) is marked missing, and so are thumbnails that are gone;
// Locate... finds the videos in another folder.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QSplitter;
class QAbstractButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ombrelo {
class CProject;
class Movie;
class Regeneration;
class WorkflowController;
}  // namespace ombrelo

namespace ombrelo::desktop {
class CommandRegistry;
}

namespace ombrelo::desktop {

class DesktopShell;
class ReviewWindow;

class ResultsPage : public QWidget {
  Q_OBJECT

 public:
  // The columns.
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
  ResultsPage(CProject& project, DesktopShell& shell, desktop::CommandRegistry& commands,
              QWidget* parent = nullptr);
  ~ResultsPage() override;

  // Lists the movies the controller finishes, and those it could not
  // index, as they come.
  void Follow(const WorkflowController& run);

  // Lists every finished or failed movie of the project, in project order.
  void RefreshList();
  // The movie's row is replaced by a new one at the end: a movie whose
  // outputs are made, or one that could not be opened. A movie done counts
  // once towards the movies indexed (movieIndexed).
  void MovieFinished(const Movie& movie);
  void MovieNotOpened(const Movie& movie) { MovieFinished(movie); }
  // The movie's index photo was written or failed (then the movie holds the
  // error and no index photo): its row and review window show it, the row
  // keeps its place.
  void IndexPhotoFinished(const Movie& movie, bool written);

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

  // Whether the movie's video, or its first thumbnail, was missing when the
  // list was last filled (a project opened, a Locate...).
  bool VideoMissing(int32_t movieId) const;
  bool ThumbnailsMissing(int32_t movieId) const;
  // The status-line text for the missing videos ("2 videos are missing"),
  // "" when none is.
  QString MissingText() const;
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
  QTreeWidget* List() const { return list_; }
  // The review window, made at the first click on a row and docked below
  // the list.
  ReviewWindow* Review() const { return review_; }
  ReviewWindow& EnsureReview();
  // Text of a cell of the movie's row ("" when it has no row).
  QString CellText(int32_t movieId, int column) const;
  int RowCount() const;

 signals:
  void backClicked();
  void reportClicked();
  // Remove or Re-Queue changed the project's list of movies, or Locate...
  // their paths.
  void moviesChanged();
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
  void AddRow(const Movie& movie);
  void FillRow(QTreeWidgetItem* item, const Movie& movie);
  QTreeWidgetItem* RowOf(int32_t movieId) const;
  void RowClicked(QTreeWidgetItem* item);
  void RemoveRow(int32_t movieId);
  void BindCommands();
  // The selected movies the rule holds for, in list order.
  std::vector<const Movie*> Selected(bool (*rule)(const Movie&)) const;
  void RemoveOrRequeue(const std::vector<int32_t>& movieIds, bool requeue);
  // Looks whether each listed movie's video and first thumbnail are there
  // (one stat each) and tells missingChanged.
  void CheckFiles();
  // Marks the row of a movie whose files are missing.
  void ShowMissing(QTreeWidgetItem* item, const Movie& movie);
  void BindLocate();
  void Locate();

  CProject& project_;
  DesktopShell& shell_;
  desktop::CommandRegistry& commands_;
  QTreeWidget* list_ = nullptr;
  // The list above, the review window docked below it (covering no row).
  QSplitter* splitter_ = nullptr;
  QAbstractButton* back_ = nullptr;
  QAbstractButton* report_ = nullptr;
  QMenu* menu_ = nullptr;
  ReviewWindow* review_ = nullptr;
  Regeneration* regeneration_ = nullptr;
  std::set<int32_t> counted_;  // movies counted as indexed
  std::set<int32_t> missingVideos_;
  std::set<int32_t> missingThumbnails_;
  FolderChooser chooseFolder_;
};

}  // namespace ombrelo::desktop
