#pragma once
// The review window of an indexed video: its thumbnails in cells of
// 128 x 64 pixels, buttons that open the movie's outputs, and the commands
// "View image" and "Delete image". Deleting a thumbnail deletes its file,
// takes it out of the movie and has the movie's outputs (playlist, web page,
// index photo) made again without it.
//
// The window holds the movie by id and looks it up in the project each time,
// so a movie removed from the project is never used after it has gone. Its
// list shows the movie's thumbnails as the movie model has them: a deleted
// thumbnail's cell goes (its picture leaves the cache) and the selection
// moves on to the next picture. Closing the window only hides it.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/desktop/commands.h"

class QListView;
class QModelIndex;
class QPushButton;
class QSortFilterProxyModel;

namespace ombrelo {
class CProject;
}  // namespace ombrelo

namespace ombrelo::desktop {
class CommandRegistry;
}

namespace ombrelo::desktop {

class DesktopShell;
class MovieModel;
class ThumbnailCache;
class ThumbnailTrash;

class ReviewWindow : public QWidget {
  Q_OBJECT

 public:
  // Makes the movie's outputs again after its images changed (playlist, web
  // page and index photo, each when the movie has one).
  using Regenerate = std::function<void(int32_t movieId)>;

  // The buttons' commands (desktop::kReviewHtml to kReviewPlay, for the
  // movie shown) and the pop-up menu's (desktop::kViewImage and
  // kDeleteImage, for the selected thumbnail) are bound in commands.
  ReviewWindow(MovieModel& movies, DesktopShell& shell, desktop::CommandRegistry& commands,
               QWidget* parent = nullptr);
  ~ReviewWindow() override;

  void SetRegenerate(Regenerate regenerate) { regenerate_ = std::move(regenerate); }
  // Deleted thumbnails are kept there for Undo; without one (null) they go
  // at once.
  void SetTrash(ThumbnailTrash* trash) { trash_ = trash; }

  // Shows the movie's thumbnails (replacing the previous movie's).
  void ShowMovie(int32_t movieId);
  // The movie shown, -1 for none.
  int32_t MovieId() const { return movieId_; }

  // The commands of the selected thumbnail. A thumbnail that is not the
  // movie's own, or cannot be deleted, stays, and the user is told why.
  void ViewSelectedImage();
  void DeleteSelectedImage();

  // For the results page and tests.
  std::vector<std::string> ImagePaths() const;
  void SelectImage(int row);
  // The selected thumbnail's row, -1 for none.
  int SelectedRow() const;
  QListView* List() const { return list_; }
  ThumbnailCache& Cache() const { return *cache_; }

 signals:
  // The movie shown has gone from the project.
  void movieGone();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BindCommands();
  QPushButton* AddButton(CommandId command, const QIcon& icon);
  void ShowPopupMenu(const QPoint& globalPos);
  void ThumbnailLoaded(const QString& path);
  std::string SelectedPath() const;
  // The movie's title and commands, after it changed.
  void ShowTitle();
  void FollowModel();
  void ThumbnailsGoing(const QModelIndex& parent, int first, int last);
  void ThumbnailsGone(const QModelIndex& parent);

  MovieModel& movies_;
  CProject& project_;
  DesktopShell& shell_;
  desktop::CommandRegistry& commands_;
  Regenerate regenerate_;
  ThumbnailTrash* trash_ = nullptr;
  int32_t movieId_ = -1;
  ThumbnailCache* cache_ = nullptr;
  // Only the movie shown, so that the list's root is its row.
  QSortFilterProxyModel* shown_ = nullptr;
  QListView* list_ = nullptr;
  // The selected row while a removal goes on: the selection goes on from there.
  int selectAfterRemoval_ = -1;
};

// A point for a pop-up menu that stays on a screen: a point on no screen
// has its x moved into the horizontal span of the nearest screen's work
// area.
QPoint KeepOnScreen(const QPoint& globalPos);

}  // namespace ombrelo::desktop
