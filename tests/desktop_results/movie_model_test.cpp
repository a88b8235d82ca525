#include "app/desktop/movie_model.h"

#include <QListView>
#include <QTreeView>
#include <string>
#include <vector>

#include "app/desktop/command_registry.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/review_window.h"
#include "desktop_results/desktop_test_support.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

using testing::DesktopTest;

// What one list showed happening, in order: "+name" for a row that came,
// "-name" for one that went (a movie's file name, a thumbnail's file).
class ListLog {
 public:
  explicit ListLog(const QAbstractItemModel* model) {
    const auto name = [model](const QModelIndex& parent, int row) {
      const QModelIndex index = model->index(row, 0, parent);
      QString text = index.data(MovieModel::kPathRole).toString();
      return text.mid(text.lastIndexOf('/') + 1).toStdString();
    };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, model,
                     [this, name](const QModelIndex& parent, int first, int last) {
                       for (int row = first; row <= last; ++row)
                         entries.push_back("+" + name(parent, row));
                     });
    QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, model,
                     [this, name](const QModelIndex& parent, int first, int last) {
                       for (int row = first; row <= last; ++row)
                         entries.push_back("-" + name(parent, row));
                     });
    QObject::connect(model, &QAbstractItemModel::modelReset, model,
                     [this] { entries.push_back("reset"); });
  }
  std::vector<std::string> Take() { return std::exchange(entries, {}); }
  std::vector<std::string> entries;
};

using Log = std::vector<std::string>;

TEST_F(DesktopTest, EveryChangeOfTheProjectReachesEachListOnceInOrder) {
  CProject project("/tmp/");
  MovieModel movies(project);
  testing::RecordingShell shell;
  CommandRegistry commands;
  MovieFilter waiting(movies, MovieFilter::Shows::waiting);  // the select page's list
  ResultsPage results(movies, shell, commands);
  ReviewWindow& review = results.EnsureReview();
  ListLog toIndex(&waiting);
  ListLog indexed(results.List()->model());
  ListLog thumbnails(review.List()->model());

  // A movie added waits; opened, it still does; its thumbnails come.
  const int32_t id = project.AddMovie("/v/clip.mp4");
  project.AddMovie("/v/other.mp4");
  review.ShowMovie(id);
  EXPECT_EQ(thumbnails.Take(), Log{"+clip.mp4"});  // the list's root
  project.MarkOpened(id, MovieProperties{});
  project.RecordImage(id, {"/t/clip_1.jpg", 1, 1.0});
  project.RecordImage(id, {"/t/clip_2.jpg", 2, 2.0});
  EXPECT_EQ(toIndex.Take(), (Log{"+clip.mp4", "+other.mp4"}));
  EXPECT_EQ(indexed.Take(), Log{});
  EXPECT_EQ(thumbnails.Take(), (Log{"+clip_1.jpg", "+clip_2.jpg"}));

  // Done: it leaves the videos to index for the results.
  project.SetMovieStatus(id, kMovieDone);
  EXPECT_EQ(toIndex.Take(), Log{"-clip.mp4"});
  EXPECT_EQ(indexed.Take(), Log{"+clip.mp4"});
  EXPECT_EQ(results.CellText(id, MovieModel::kImagesColumn), "2");

  // A thumbnail taken out goes from the review window and the count.
  project.RemoveImage(id, "/t/clip_1.jpg");
  EXPECT_EQ(thumbnails.Take(), Log{"-clip_1.jpg"});
  EXPECT_EQ(review.ImagePaths(), std::vector<std::string>{"/t/clip_2.jpg"});
  EXPECT_EQ(results.CellText(id, MovieModel::kImagesColumn), "1");

  // Queued again: the old record goes everywhere, the new one waits.
  project.AddMovie("/v/clip.mp4");
  EXPECT_EQ(indexed.Take(), Log{"-clip.mp4"});
  EXPECT_EQ(toIndex.Take(), Log{"+clip.mp4"});
  EXPECT_EQ(review.MovieId(), -1);
  EXPECT_TRUE(review.ImagePaths().empty());
  EXPECT_EQ(thumbnails.Take(), Log{"-clip.mp4"});  // with its thumbnails

  // A new project: every list starts again from it, and the review window
  // of a movie that has gone closes.
  const int32_t other = project.Movies().front().id();
  project.SetMovieStatus(other, kMovieDone);
  results.show();
  results.SelectMovie(other);
  EXPECT_EQ(review.MovieId(), other);
  EXPECT_TRUE(review.isVisible());
  toIndex.Take();
  indexed.Take();
  project.ClearMovies();
  EXPECT_EQ(toIndex.Take(), Log{"reset"});
  EXPECT_EQ(indexed.Take(), Log{"reset"});
  EXPECT_EQ(waiting.rowCount(), 0);
  EXPECT_EQ(review.MovieId(), -1);
  EXPECT_TRUE(review.isHidden());
}

}  // namespace
}  // namespace ombrelo::desktop
