#pragma once
// The program's one document: the ordered list of movies, the output
// settings, the capture settings, and the working state of the output
// naming (temporary folder). Saved to and loaded from
// project files (".obx"); the same format, without movies, is the settings
// file "last_settings.bin" and the crash-recovery file.
//
// A program makes its one project at its top and hands it down to what
// needs it. A project is used from the user-interface thread only. Reads
// are const and silent; every change goes through a named operation that
// tells the listeners what changed once it is made.
#include <cstdint>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/capture_settings.h"
#include "project/movie.h"
#include "project/output_settings.h"

namespace ombrelo {

// The current directory when the process started, with a trailing separator:
// the base of the default output folders.
const std::string& StartDirectory();

// What a change of a project was: its kind and, for a change of one movie,
// the movie's id (-1 otherwise).
struct ProjectChange {
  enum Kind {
    movieAdded,
    movieRemoved,
    moviesCleared,
    movieOpened,  // properties found, status 1, thumbnails forgotten
    movieStatus,
    movieError,  // error text (and with it status 3)
    imageRecorded,
    imageRemoved,
    movieOutputs,  // web page, playlist or index photo path
    movieChanged,  // anything else of one movie's record
    movieMoved,    // the video (and the files made for it) found elsewhere
    settings,      // output or capture settings
    replaced,      // the whole content: a file was loaded or taken over
  };
  Kind kind;
  int32_t movieId = -1;
  bool operator==(const ProjectChange&) const = default;
};

// What opening a movie finds out about it.
struct MovieProperties {
  double length = 0.0;  // seconds
  uint32_t size = 0;    // kilobytes
  BitmapInfoHeader videoFormat{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

class CProject {
 public:
  // The process-wide project, created with its defaults on first use.
  static CProject& Instance();

  // A project with the defaults: output folders below defaultBaseFolder, the
  // default capture settings, no movies, no temporary folder yet.
  explicit CProject(const std::string& defaultBaseFolder = StartDirectory());
  CProject(const CProject&) = delete;
  CProject& operator=(const CProject&) = delete;
  ~CProject();

  // ---- Movie list (insertion order is the order of display, indexing and
  // saving). Paths compare as exact, case-sensitive bytes. Reading never
  // announces anything; every change below is announced once it is made
  // (see Changes).

  // Drops the first movie with this path, then appends a new movie made from
  // the path and the current capture settings (so re-adding re-queues it).
  // Gives the new movie's id. Re-adding is two changes: the old record's
  // removal, then the addition.
  int32_t AddMovie(const std::string& path);
  // Removes the first movie with this path; nothing when there is none.
  void RemoveMovie(const std::string& path);
  void ClearMovies();
  // Finds a movie by id, in constant time. An unknown id, a fault of the
  // caller, gives null and the debug line "Internal error: invalid movie id
  // <id>"; the caller decides what then happens. Shows nothing.
  const Movie* FindMovie(int32_t id) const;
  // The same without the message, for ids that may have gone (a movie
  // removed while it was worked on).
  const Movie* MovieById(int32_t id) const;
  bool HasMovie(int32_t id) const { return MovieById(id) != nullptr; }
  // Every movie in list order. References stay valid until the movie is
  // removed from the list.
  const std::list<Movie>& Movies() const { return movies_; }

  // ---- Changes of one movie. Each gives false, announcing nothing, when no
  // movie has the id (it may have been removed while it was worked on).

  // Indexing has begun: the properties found on opening, status 1, no
  // thumbnails yet (those of an earlier capture are forgotten).
  bool MarkOpened(int32_t id, const MovieProperties& properties);
  bool SetMovieStatus(int32_t id, int32_t status);
  // Status 3, and the text appended to the movie's error as it stands.
  bool AddMovieError(int32_t id, const std::string& text);
  // Appends a saved thumbnail.
  bool RecordImage(int32_t id, const ImageEntry& image);
  // Removes every entry naming this file.
  bool RemoveImage(int32_t id, const std::string& path);
  // The generated outputs ("" when there is none).
  bool SetMovieHtml(int32_t id, const std::string& path);
  bool SetMovieIpl(int32_t id, const std::string& path);
  // The index photo with its further parts (Movie::SetIndexphoto).
  bool SetMovieIndexphoto(int32_t id, const std::string& path, std::vector<std::string> parts = {});
  // Any other change of a movie's record (taking a whole record's results,
  // building test projects); announced as ProjectChange::movieChanged.
  bool UpdateMovie(int32_t id, const std::function<void(Movie&)>& change);

  // ---- Moved videos.

  // The movies whose video file is not there (one stat each).
  std::vector<int32_t> MissingMovies() const;
  // Looks for every missing video below folder: at its path relative to the
  // folder the missing videos had in common, else by its file name anywhere
  // below folder (the first found, level by level, in name order). A video
  // found takes its new path, unless another movie of the project has that
  // path. Each of its thumbnails and outputs that lay below the video's old
  // folder (or the common folder) takes the same place below the new one
  // when the file is there, and keeps its path otherwise. Each movie
  // relinked is announced as ProjectChange::movieMoved. Gives the number
  // relinked.
  int RelinkMovies(const std::string& folder);

  // ---- Capture settings (copied into the engine when a movie is opened).
  const CaptureSettings& Capture() const { return capture_; }
  void SetCapture(const CaptureSettings& settings);
  void UpdateCapture(const std::function<void(CaptureSettings&)>& change);

  // ---- Output settings. The folder setters append a separator to a
  // non-empty folder that lacks one; an empty folder stays empty.
  const OutputSettings& Output() const { return output_; }
  void SetHtmlTransform(const std::string& name) { Set(output_.htmlTransform, name); }
  void SetIndexphotoTransform(const std::string& name) { Set(output_.indexphotoTransform, name); }
  void SetReportTransform(const std::string& name) { Set(output_.reportTransform, name); }
  void SetThumbsFolder(const std::string& folder) {
    Set(output_.thumbsFolder, NormaliseFolder(folder));
  }
  void SetIplFolder(const std::string& folder) { Set(output_.iplFolder, NormaliseFolder(folder)); }
  void SetHtmlFolder(const std::string& folder) {
    Set(output_.htmlFolder, NormaliseFolder(folder));
  }
  void SetIndexphotoFolder(const std::string& folder) {
    Set(output_.indexphotoFolder, NormaliseFolder(folder));
  }
  void SetIndexphotoEnabled(bool on) { Set(output_.indexphotoEnabled, on); }
  void SetHtmlEnabled(bool on) { Set(output_.htmlEnabled, on); }
  void SetIplEnabled(bool on) { Set(output_.iplEnabled, on); }
  void SetThumbsEnabled(bool on) { Set(output_.thumbsEnabled, on); }
  void SetIndexphotoUseFolder(bool on) { Set(output_.indexphotoUseFolder, on); }
  void SetHtmlUseFolder(bool on) { Set(output_.htmlUseFolder, on); }
  void SetIplUseFolder(bool on) { Set(output_.iplUseFolder, on); }
  void SetThumbsUseFolder(bool on) { Set(output_.thumbsUseFolder, on); }
  void SetImagescale(float scale) { Set(output_.imagescale, scale); }
  void SetCurrentPath(const std::string& folder) { Set(output_.current_path, folder); }
  // Takes the output and capture settings of another project (a settings
  // file read into a project of its own); the movies stay.
  void CopySettingsFrom(const CProject& other);

  // ---- Changes. Each change is announced to every listener once it has
  // been made, with what changed; a setting set to the value it has, or an
  // operation on a movie that is not there, announces nothing. Revision
  // counts the announcements. Listeners are called on the project's thread
  // in the order they were added and may read the project; one that changes
  // it announces its own change from inside the first announcement.
  using ChangeListener = std::function<void(const ProjectChange&)>;
  int AddChangeListener(ChangeListener listener);
  void RemoveChangeListener(int handle);
  uint64_t Revision() const { return revision_; }

  // ---- Project files.

  // The exact bytes of the project file: declaration, "<obxproject>",
  // settings, movies (only when includeMovies), rendering, "</obxproject>",
  // with carriage return and line feed after each "</movie>" and no line
  // break at the end.
  std::string FileText(bool includeMovies = true) const;
  // The same text in pieces, so that a copy kept elsewhere can be renewed
  // movie by movie: FileHead() + one MovieFileEntry per movie + FileTail()
  // is FileText().
  std::string FileHead() const;
  std::string FileTail() const;
  static std::string MovieFileEntry(const Movie& movie);
  // Writes the project file, replacing the old one only once the new one is
  // complete. False when the file cannot be created; false with the debug
  // text "CProject::Save failed to write file" when writing fails (the old
  // file stays then). When error is given it receives why (the system's
  // text) on failure. The project is not changed.
  bool Save(const std::string& path, std::string* error = nullptr) const;
  // The same with an empty movie list (the settings file).
  bool SaveWithoutMovies(const std::string& path, std::string* error = nullptr) const;
  // Reads a project file. False, with the project unchanged, when it cannot
  // be opened. Otherwise the movie list is replaced by the file's; a faulty
  // file gives false and the debug text "CProject::Load failed. " plus the
  // error, and the project keeps what was read up to the fault. When error
  // is given it receives why the file could not be read.
  bool Load(const std::string& path, std::string* error = nullptr);
  // Takes the movies and the output and capture settings of another project
  // (a file read into a project of its own, so that a faulty file never
  // touches this one); the other gets this project's movies.
  void TakeContentFrom(CProject& other);

  // ---- Output names. An unknown id is noted as FindMovie does and names
  // the outputs from an empty path.

  // <html folder>/<video base name>.html when htmlUseFolder is set and the
  // folder is not empty, else <video path without extension>.html.
  std::string HtmlFileName(int32_t id) const;
  std::string PlaylistFileName(int32_t id) const;    // likewise with ".ipl"
  std::string IndexPhotoFileName(int32_t id) const;  // likewise with ".jpg"

  // Where thumbnails go: thumbsFolder when kept in a folder, "" when kept
  // next to the video, the temporary folder when thumbnails are not kept.
  std::string ThumbnailFolder();
  // The temporary working folder, private to the user (see
  // paths::PrivateTemporaryFolder), created on first request after start or
  // after ClearTemporaryFolder.
  std::string TemporaryFolder();
  // A private folder of this run's own to use instead (a program that runs
  // beside others of its kind), ending with a separator.
  void SetRunTemporaryFolder(const std::string& folder) { runTemporaryFolder_ = folder; }
  // Deletes everything inside the temporary working folder (the folder
  // itself stays) and forgets it. Nothing when it was never requested.
  // behindTheWindow sets the contents aside at once (a hidden folder inside
  // it, one rename per entry) and deletes them on a thread of their own,
  // with what such clearings of ended processes left; the program may end
  // meanwhile (the next clearing deletes the rest). The future is ready when
  // the contents are gone.
  enum class TemporaryClearing { now, behindTheWindow };
  std::future<void> ClearTemporaryFolder(TemporaryClearing how = TemporaryClearing::now);

  // The path prefix of a movie's thumbnails (without suffix and extension):
  // <thumbnail folder or video folder><name>/<name>. With a prefix word,
  // name is the video's base name with blanks and control characters as "_"
  // (cut to 200 bytes), or the prefix word for a name that is none ("",
  // "." or ".."; when report is set the movie's error then gains "Invalid
  // characters in filename. Name changed to : <name>"). The folder is
  // claimed for the video on disk, atomically, so that no two videos share
  // one, in one run, across runs and across processes: a folder that holds
  // another video's thumbnails (or anything else) makes the name
  // "<name>-2", "<name>-3", ... A video's own folder from an earlier run is
  // used again; the thumbnails of that run stay until the new outputs are
  // in place (RemoveThumbnailsNotNamed). Creates the thumbnail folder. The
  // result is cached in the movie until the thumbnail folder changes. The error text
  // is added to the project's own movie only (announced as movieError).
  std::string ThumbnailPrefix(const Movie& movie, const std::string& videoPath,
                              const std::string& prefixWord, bool report);

 private:
  template <typename T, typename V>
  void Set(T& field, V&& value) {
    if (field == value) return;
    field = std::forward<V>(value);
    Announce({ProjectChange::settings, -1});
  }
  void Announce(const ProjectChange& change);
  Movie* MutableMovie(int32_t id);
  // Applies a change to the movie with this id and announces it.
  bool ChangeMovie(int32_t id, ProjectChange::Kind kind, const std::function<void(Movie&)>& change);
  // Gives the movie a new path, kept in byPath_ (a path no other movie has).
  void SetMoviePath(int32_t id, const std::string& path);
  std::string OutputFileName(int32_t id, bool useFolder, const std::string& folder,
                             const char* extension) const;
  void AppendMovie(Movie movie);
  void EraseMovie(std::list<Movie>::iterator it);

  OutputSettings output_;
  std::list<Movie> movies_;
  // The movies by id, and by path (those with one path in list order: movies
  // are only ever appended). Kept with every change of movies_.
  std::unordered_map<int32_t, std::list<Movie>::iterator> byId_;
  std::unordered_map<std::string, std::vector<std::list<Movie>::iterator>> byPath_;
  CaptureSettings capture_;
  std::string tempFolder_;
  std::string runTemporaryFolder_;
  uint64_t revision_ = 0;
  int nextListener_ = 0;
  std::vector<std::pair<int, ChangeListener>> listeners_;
};

// ---- File-name helpers (a path's parts as the output naming sees them).

// The folder (with its trailing separator) that every path lies in: the
// longest run of whole folders they start with; "" when they share none.
std::string CommonFolder(const std::vector<std::string>& paths);

// The name between the last separator and the last "." after it.
std::string PathBaseName(const std::string& path);
// The path up to, not including, the last "." (all of it when there is none).
std::string PathStem(const std::string& path);
// The name a video's thumbnails and their folder start with.
std::string ThumbnailName(const std::string& videoPath);
// Whether folder (with its trailing separator) is marked as the thumbnail
// folder of the video at videoPath.
bool IsThumbnailFolderOf(const std::string& folder, const std::string& videoPath);
// Removes from the movie's thumbnail folder (see CProject::ThumbnailPrefix)
// the pictures of earlier runs: the JPEG and BMP files named after it that
// the movie's images do not name. Only once the new outputs are in place:
// until then the earlier playlist and pages still show those pictures.
// Nothing happens unless the folder is a real folder of the user's own,
// marked as the movie's; links in it are passed by.
void RemoveThumbnailsNotNamed(const Movie& movie);
// The name the video's output at path (a playlist, web page or index photo)
// is written under: path itself, else "<stem>-2<ext>", "<stem>-3<ext>", ...
// the first that no other video holds. recorded is the output the movie
// already names (its own, whatever is on disk). The claim is a hidden owner
// record beside the file, made with O_EXCL, so that processes naming
// outputs at the same moment never get one name for two videos.
//
// suffix, when given, is where the search starts (1: path itself) and
// receives the number taken: a video's outputs named one after the other
// with one counter keep one suffix, even while another process names the
// outputs of a video of the same name.
std::string ClaimOutputFile(const std::string& path, const std::string& videoPath,
                            const std::string& recorded, int* suffix = nullptr);

}  // namespace ombrelo
