#include "app/desktop/movie_model.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLocale>
#include <QStyle>
#include <filesystem>
#include <unordered_set>
#include <utility>

#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

// A thumbnail's index carries its movie's id; a movie's row carries none.
constexpr quintptr kMovieRow = 0;
quintptr ThumbnailTag(int32_t movieId) { return static_cast<quintptr>(uint32_t(movieId)) + 1; }
int32_t MovieOfTag(quintptr tag) { return static_cast<int32_t>(uint32_t(tag - 1)); }

bool Listed(const Movie& movie) {
  return movie.status == kMovieDone || movie.status == kMovieFailed;
}

bool FileThere(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

QString Qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

MovieModel::MovieModel(CProject& project, QObject* parent)
    : QAbstractItemModel(parent), project_(project) {
  Rebuild();
  listener_ = project_.AddChangeListener([this](const ProjectChange& change) { Changed(change); });
}

MovieModel::~MovieModel() { project_.RemoveChangeListener(listener_); }

void MovieModel::Changed(const ProjectChange& change) {
  switch (change.kind) {
    case ProjectChange::movieAdded:
      if (const Movie* movie = project_.MovieById(change.movieId)) Append(*movie);
      return;
    case ProjectChange::movieRemoved:
      return Remove(change.movieId);
    case ProjectChange::moviesCleared:
    case ProjectChange::replaced:
      beginResetModel();
      Rebuild();
      endResetModel();
      return;
    case ProjectChange::settings:
      return;
    case ProjectChange::movieMoved:
      return Update(change.movieId, true);
    default:
      return Update(change.movieId, false);
  }
}

void MovieModel::Rebuild() {
  rows_.clear();
  rowOf_.clear();
  missingVideos_.clear();
  missingThumbnails_.clear();
  for (const Movie& movie : project_.Movies()) {
    Row row{movie.id(), movie.path(), Listed(movie) ? nextListed_++ : 0, {}};
    for (const ImageEntry& image : movie.images) row.images.push_back(image.path);
    rowOf_[movie.id()] = static_cast<int>(rows_.size());
    rows_.push_back(std::move(row));
    if (Listed(movie)) CheckMovieFiles(movie);
  }
  emit missingChanged(MissingText());
}

void MovieModel::Append(const Movie& movie) {
  const int row = static_cast<int>(rows_.size());
  beginInsertRows({}, row, row);
  Row entry{movie.id(), movie.path(), Listed(movie) ? nextListed_++ : 0, {}};
  for (const ImageEntry& image : movie.images) entry.images.push_back(image.path);
  rows_.push_back(std::move(entry));
  rowOf_[movie.id()] = row;
  endInsertRows();
}

void MovieModel::Remove(int32_t movieId) {
  const auto found = rowOf_.find(movieId);
  if (found == rowOf_.end()) return;
  const int row = found->second;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  rowOf_.erase(found);
  for (int later = row; later < static_cast<int>(rows_.size()); ++later)
    rowOf_[rows_[later].id] = later;
  endRemoveRows();
  const bool wasMissing = missingVideos_.erase(movieId) > 0;
  missingThumbnails_.erase(movieId);
  if (wasMissing) emit missingChanged(MissingText());
}

void MovieModel::Update(int32_t movieId, bool moved) {
  const auto found = rowOf_.find(movieId);
  const Movie* movie = project_.MovieById(movieId);
  if (found == rowOf_.end() || !movie) return;
  const int row = found->second;
  Row& entry = rows_[row];
  entry.path = movie->path();
  const bool listing = entry.listed == 0 && Listed(*movie);
  if (listing) entry.listed = nextListed_++;
  if (!Listed(*movie)) entry.listed = 0;
  SyncImages(row, *movie);
  const bool missing = (listing || moved) && Listed(*movie) && CheckMovieFiles(*movie);
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
  if (missing || moved) emit missingChanged(MissingText());
  if (listing && movie->status == kMovieDone && counted_.insert(movieId).second)
    emit movieIndexed(movieId);
}

void MovieModel::SyncImages(int row, const Movie& movie) {
  std::vector<std::string>& shown = rows_[row].images;
  const QModelIndex parent = index(row, 0);
  // Rows no longer among the images go, then the new images come in at
  // their places; the rows that stay keep their indexes.
  std::unordered_set<std::string> now;
  for (const ImageEntry& image : movie.images) now.insert(image.path);
  for (int child = static_cast<int>(shown.size()) - 1; child >= 0; --child) {
    if (now.contains(shown[child])) continue;
    beginRemoveRows(parent, child, child);
    shown.erase(shown.begin() + child);
    endRemoveRows();
  }
  for (size_t child = 0; child < movie.images.size(); ++child) {
    const std::string& path = movie.images[child].path;
    if (child < shown.size() && shown[child] == path) continue;
    const int at = static_cast<int>(child);
    beginInsertRows(parent, at, at);
    shown.insert(shown.begin() + at, path);
    endInsertRows();
  }
  // Images that changed places: the rows are made again.
  bool same = shown.size() == movie.images.size();
  for (size_t child = 0; same && child < shown.size(); ++child)
    same = shown[child] == movie.images[child].path;
  if (same) return;
  if (!shown.empty()) {
    beginRemoveRows(parent, 0, static_cast<int>(shown.size()) - 1);
    shown.clear();
    endRemoveRows();
  }
  if (movie.images.empty()) return;
  beginInsertRows(parent, 0, static_cast<int>(movie.images.size()) - 1);
  for (const ImageEntry& image : movie.images) shown.push_back(image.path);
  endInsertRows();
}

bool MovieModel::CheckMovieFiles(const Movie& movie) {
  const bool video = !FileThere(movie.path());
  // A movie's thumbnails are made together into one folder: the first
  // tells for them all.
  const bool thumbnails = !movie.images.empty() && !FileThere(movie.images.front().path);
  const bool changed =
      video != VideoMissing(movie.id()) || thumbnails != ThumbnailsMissing(movie.id());
  if (video)
    missingVideos_.insert(movie.id());
  else
    missingVideos_.erase(movie.id());
  if (thumbnails)
    missingThumbnails_.insert(movie.id());
  else
    missingThumbnails_.erase(movie.id());
  return changed;
}

void MovieModel::CheckFiles() {
  for (const Row& row : rows_) {
    const Movie* movie = project_.MovieById(row.id);
    if (movie && Listed(*movie) && CheckMovieFiles(*movie)) {
      const QModelIndex first = index(rowOf_.at(row.id), 0);
      emit dataChanged(first, first.siblingAtColumn(kColumnCount - 1));
    }
  }
  emit missingChanged(MissingText());
}

QString MovieModel::MissingText() const {
  const auto count = static_cast<int>(missingVideos_.size());
  if (count == 0) return {};
  return count == 1 ? tr("1 video is missing") : tr("%n videos are missing", nullptr, count);
}

QModelIndex MovieModel::IndexOf(int32_t movieId, int column) const {
  const auto found = rowOf_.find(movieId);
  return found == rowOf_.end() ? QModelIndex() : index(found->second, column);
}

int32_t MovieModel::MovieIdOf(const QModelIndex& index) {
  return index.isValid() ? index.data(kMovieIdRole).toInt() : -1;
}

bool MovieModel::IsThumbnail(const QModelIndex& index) {
  return index.isValid() && index.parent().isValid();
}

QModelIndex MovieModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0) return {};
  if (!parent.isValid()) {
    if (row >= static_cast<int>(rows_.size()) || column >= kColumnCount) return {};
    return createIndex(row, column, kMovieRow);
  }
  if (parent.internalId() != kMovieRow || column != 0) return {};
  const Row& movie = rows_[parent.row()];
  if (row >= static_cast<int>(movie.images.size())) return {};
  return createIndex(row, 0, ThumbnailTag(movie.id));
}

QModelIndex MovieModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kMovieRow) return {};
  return IndexOf(MovieOfTag(child.internalId()));
}

int MovieModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(rows_.size());
  if (parent.internalId() != kMovieRow || parent.column() != 0) return 0;
  return static_cast<int>(rows_[parent.row()].images.size());
}

int MovieModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 1 : kColumnCount;
}

QVariant MovieModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (index.internalId() != kMovieRow) {
    const int32_t movieId = MovieOfTag(index.internalId());
    const auto found = rowOf_.find(movieId);
    if (found == rowOf_.end()) return {};
    const std::string& path = rows_[found->second].images.at(index.row());
    switch (role) {
      case Qt::ToolTipRole:
      case kPathRole:
        return Qs(path);
      case kMovieIdRole:
        return movieId;
      default:
        return {};
    }
  }
  const Row& row = rows_.at(index.row());
  if (role == kMovieIdRole) return row.id;
  if (role == kPathRole) return Qs(row.path);
  const Movie* movie = project_.MovieById(row.id);
  if (!movie) return {};
  switch (role) {
    case kStatusRole:
      return movie->status;
    case kListedRole:
      return QVariant::fromValue<qulonglong>(row.listed);
    default:
      return MovieData(*movie, index.column(), role);
  }
}

QVariant MovieModel::MovieData(const Movie& movie, int column, int role) const {
  const bool sized = movie.videoFormat.biWidth != 0 && movie.videoFormat.biHeight != 0;
  if (role == Qt::DisplayRole) {
    switch (column) {
      case kPathColumn: {
        // The file name tells the rows apart; the folder is in the tool tip.
        const std::string name = paths::FileName(movie.path());
        return Qs(name.empty() ? movie.path() : name);
      }
      case kLengthColumn:
        return Qs(movie.LengthText());
      case kImagesColumn:
        return QLocale().toString(
            static_cast<qulonglong>(movie.images.size()));  // "1.200" in German
      case kWidthColumn:
        return sized ? QString::number(movie.videoFormat.biWidth) : QStringLiteral("-");
      case kHeightColumn:
        return sized ? QString::number(movie.videoFormat.biHeight) : QStringLiteral("-");
      case kStatusColumn:
        return StatusText(movie.id());
      case kErrorColumn:
        // One line of the error texts; the tool tip has them all.
        return Qs(movie.error).simplified();
      default:
        return {};
    }
  }
  if (role == Qt::ToolTipRole) {
    switch (column) {
      case kPathColumn:
        return Qs(movie.path());
      case kStatusColumn:
        return VideoMissing(movie.id())
                   ? tr("The video is not in its folder any more. Locate... finds it in another.")
               : ThumbnailsMissing(movie.id())
                   ? tr("The thumbnails are not in their folder any more.")
                   : QVariant();
      case kErrorColumn:
        return movie.error.empty() ? QVariant() : QVariant(Qs(movie.error).trimmed());
      default:
        return {};
    }
  }
  if (role == Qt::DecorationRole && column == kPathColumn) {
    const bool warn =
        movie.status == kMovieFailed || VideoMissing(movie.id()) || ThumbnailsMissing(movie.id());
    return QApplication::style()->standardIcon(warn ? QStyle::SP_MessageBoxWarning
                                                    : QStyle::SP_DialogApplyButton);
  }
  return {};
}

QString MovieModel::StatusText(int32_t movieId) const {
  if (VideoMissing(movieId)) return tr("Missing");
  if (ThumbnailsMissing(movieId)) return tr("Thumbnails missing");
  return {};
}

QVariant MovieModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kPathColumn:
      return tr("Movie files");
    case kLengthColumn:
      return tr("Length");
    case kImagesColumn:
      return tr("Images");
    case kWidthColumn:
      return tr("Width");
    case kHeightColumn:
      return tr("Height");
    case kStatusColumn:
      return tr("Status");
    case kErrorColumn:
      return tr("Error");
    default:
      return {};
  }
}

// ---- MovieFilter

MovieFilter::MovieFilter(MovieModel& movies, Shows shows, QObject* parent)
    : QSortFilterProxyModel(parent), movies_(movies), shows_(shows) {
  setDynamicSortFilter(true);
  setSourceModel(&movies);
  if (shows_ == Shows::indexed) sort(0);
}

QModelIndex MovieFilter::IndexOf(int32_t movieId, int column) const {
  return mapFromSource(movies_.IndexOf(movieId, column));
}

bool MovieFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  if (sourceParent.isValid()) return false;
  const int status = movies_.index(sourceRow, 0).data(MovieModel::kStatusRole).toInt();
  const bool waiting = status == kMovieWaiting || status == kMovieOpened;
  return shows_ == Shows::waiting ? waiting : !waiting;
}

bool MovieFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  return left.siblingAtColumn(0).data(MovieModel::kListedRole).toULongLong() <
         right.siblingAtColumn(0).data(MovieModel::kListedRole).toULongLong();
}

QVariant MovieFilter::data(const QModelIndex& index, int role) const {
  if (shows_ == Shows::waiting && index.column() == 0) {
    // "Videos to index" shows each whole path, and nothing more.
    if (role == Qt::DisplayRole) return index.data(MovieModel::kPathRole);
    if (role == Qt::DecorationRole || role == Qt::ToolTipRole) return {};
  }
  return QSortFilterProxyModel::data(index, role);
}

QVariant MovieFilter::headerData(int section, Qt::Orientation orientation, int role) const {
  if (shows_ == Shows::waiting && orientation == Qt::Horizontal && role == Qt::DisplayRole &&
      section == 0)
    return QCoreApplication::translate("ombrelo::desktop::MovieFilter", "Videos to index");
  return QSortFilterProxyModel::headerData(section, orientation, role);
}

}  // namespace ombrelo::desktop
