#pragma once
// The project's movies as one item model, which every list of the window
// shows: "Videos to index" on the select page, the results page and the
// review window's thumbnails. It follows the project's change notices only;
// nothing else fills it. Each movie is a row at the top level, found by its
// id in constant time; its thumbnails are its child rows, in the movie's
// order.
//
// The views pick their rows through MovieFilter: the waiting movies in
// project order, or the indexed (finished or failed) ones in the order they
// were listed, a movie that finishes going to the end.
#include <QAbstractItemModel>
#include <QSortFilterProxyModel>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace ombrelo {
class CProject;
class Movie;
struct ProjectChange;
}  // namespace ombrelo

namespace ombrelo::desktop {

class MovieModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  // The columns of a movie's row.
  enum Column : int {
    kPathColumn,  // the file name; the whole path in the tool tip
    kLengthColumn,
    kImagesColumn,
    kWidthColumn,
    kHeightColumn,
    kStatusColumn,  // "Missing" when the video is not there, and the like
    kErrorColumn,
    kColumnCount
  };
  enum Role : int {
    kMovieIdRole = Qt::UserRole + 1,  // of a movie's row, and of its thumbnails'
    kPathRole,                        // the video's whole path; a thumbnail's file
    kStatusRole,                      // the movie's status (kMovieWaiting ...)
    kListedRole,                      // the order among indexed movies: grows as movies finish
  };

  explicit MovieModel(CProject& project, QObject* parent = nullptr);
  ~MovieModel() override;
  MovieModel(const MovieModel&) = delete;
  MovieModel& operator=(const MovieModel&) = delete;

  CProject& Project() const { return project_; }

  // The index of the movie's row (invalid when it has none) and the movie of
  // a row or thumbnail (-1 for none).
  QModelIndex IndexOf(int32_t movieId, int column = kPathColumn) const;
  static int32_t MovieIdOf(const QModelIndex& index);
  static bool IsThumbnail(const QModelIndex& index);

  // Whether the indexed movie's video, or its first thumbnail, was missing
  // when its files were last looked at (listed, opened with a project,
  // relinked, CheckFiles).
  bool VideoMissing(int32_t movieId) const { return missingVideos_.contains(movieId); }
  bool ThumbnailsMissing(int32_t movieId) const { return missingThumbnails_.contains(movieId); }
  // "2 videos are missing"; "" when none is.
  QString MissingText() const;
  // Looks at every indexed movie's files again (one stat each).
  void CheckFiles();

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // The missing files changed: MissingText() as it is now.
  void missingChanged(const QString& text);
  // A movie finished indexing while listened to: counted once per movie.
  // Movies that come with an opened or recovered project do not count.
  void movieIndexed(int32_t movieId);

 private:
  struct Row {
    int32_t id = -1;
    std::string path;                 // the video's, also while its row goes
    uint64_t listed = 0;              // 0 while not indexed
    std::vector<std::string> images;  // the child rows, as shown
  };

  void Changed(const ProjectChange& change);
  void Rebuild();
  void Append(const Movie& movie);
  void Remove(int32_t movieId);
  void Update(int32_t movieId, bool moved);
  // Brings the movie's child rows to its images, row by row, so that the
  // views keep their selection on the thumbnails that stay.
  void SyncImages(int row, const Movie& movie);
  // One stat each; true when the movie's marks changed.
  bool CheckMovieFiles(const Movie& movie);
  QVariant MovieData(const Movie& movie, int column, int role) const;
  QString StatusText(int32_t movieId) const;

  CProject& project_;
  int listener_ = -1;
  std::vector<Row> rows_;
  std::unordered_map<int32_t, int> rowOf_;
  uint64_t nextListed_ = 1;
  std::set<int32_t> counted_;
  std::set<int32_t> missingVideos_;
  std::set<int32_t> missingThumbnails_;
};

// The rows of one list over the model: the waiting movies ("Videos to
// index", one column of whole paths, in project order) or the indexed ones
// (every column, in the order they were listed). Thumbnails are no rows of
// these lists.
class MovieFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  enum class Shows { waiting, indexed };
  MovieFilter(MovieModel& movies, Shows shows, QObject* parent = nullptr);

  MovieModel& Movies() const { return movies_; }
  // The row of the movie in this list (invalid when it has none).
  QModelIndex IndexOf(int32_t movieId, int column = 0) const;

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  MovieModel& movies_;
  Shows shows_;
};

}  // namespace ombrelo::desktop
