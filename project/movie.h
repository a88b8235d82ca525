#pragma once
// One video of a project: its path, what is known about the video, the state
// of its indexing, the error texts gathered on the way, and the files made for
// it. Also the time split shared by every time text of the program.
#include <atomic>
#include <cstdint>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "engine/capture_settings.h"
#include "imaging/bitmap_header.h"

namespace ombrelo {

// A time in seconds split into its parts: u = t + 0.0005 s, truncated.
// Hours are not limited to 24. Times that do not fit (negative beyond the
// 32-bit range, infinite, NaN) give zeros instead of undefined values.
struct TimeParts {
  uint32_t hours = 0;
  uint32_t minutes = 0;
  uint32_t seconds = 0;
  uint32_t milliseconds = 0;
};
TimeParts SplitTime(double seconds);
// "%d:%02d:%02d.%03d", e.g. 1:02:05.500.
std::string LengthText(double seconds);

// The name of part n (from 1) of an index photo: the photo's own path for
// part 1, "<stem>-<n><extension>" for the others ("clip.jpg", "clip-2.jpg").
std::string IndexPhotoPartPath(const std::string& photoPath, int n);

// One saved thumbnail of a movie.
struct ImageEntry {
  std::string path;  // full path of the thumbnail file
  uint32_t frame = 0;
  double time = 0.0;  // position of the frame in seconds
  bool operator==(const ImageEntry&) const = default;
};

enum MovieStatus : int32_t {
  kMovieWaiting = 0,  // new or re-queued
  kMovieOpened = 1,   // indexing has started; the properties are known
  kMovieDone = 2,
  kMovieFailed = 3,  // set together with an error text
};

class Movie {
 public:
  // An empty record, to be filled by ReadXml: a new id, status 0, default
  // capture settings, everything else empty or zero.
  Movie();
  // A movie added to a project: a new id, status 0, the given capture
  // settings (the project's at that moment), no results.
  Movie(const std::string& path, const CaptureSettings& settings);
  // Copies every field including the id and the images; the thumbnail
  // prefix cache starts empty in the copy.
  Movie(const Movie& other);
  Movie& operator=(const Movie& other);
  Movie(Movie&&) noexcept = default;
  Movie& operator=(Movie&&) noexcept = default;

  // Process-wide identity, never saved: a project loaded twice yields new ids.
  int32_t id() const { return id_; }
  // Full path of the video; fixed at construction (or when read from a file)
  // unless its project relinks a moved video (CProject::RelinkMovies).
  const std::string& path() const { return path_; }

  // Sets status 3 and appends the text as given (no separator is added).
  void SetError(const std::string& text);
  void SetHtml(const std::string& path) { html = path; }
  void SetIpl(const std::string& path) { ipl = path; }
  // The index photo and its further parts (none when it is one picture);
  // an empty path takes the parts away too.
  void SetIndexphoto(const std::string& path, std::vector<std::string> parts = {}) {
    indexphoto = path;
    indexphotoParts = path.empty() ? std::vector<std::string>() : std::move(parts);
  }
  // Every picture of the index photo: indexphoto, then its further parts;
  // nothing when there is no index photo.
  std::vector<std::string> IndexPhotoFiles() const;
  void SetLength(double seconds) { length = seconds; }
  void SetSize(uint32_t kilobytes) { size = kilobytes; }

  void AddImage(const ImageEntry& entry) { images.push_back(entry); }
  // The path of the n-th image (from 0); "" when there is none.
  std::string ImagePath(size_t n) const;
  // Removes the first image whose path equals the given one (exact bytes).
  void RemoveImage(const std::string& path);

  // Text forms shown by the pages and fed to the templates.
  // The part of the path after its last separator; the whole path when there
  // is none or when the last separator is the first character.
  std::string Title() const;
  std::string LengthText() const;  // "%d:%02d:%02d.%03d", e.g. 1:02:05.500
  std::string SizeText() const;    // size as a signed decimal
  std::string WidthText() const;
  std::string HeightText() const;

  // The movie element of a project file, from "<movie>" to "</movie>" and a
  // line feed (the file writer turns it into carriage return and line feed).
  std::string ToXml() const;
  // Reads a movie element into this record, positioned just before "<movie>".
  // Throws TagFormatError texts ("Format error : missing <tag>",
  // "Missing </image_list>"); fields read before the error keep their values.
  void ReadXml(std::istream& in);

  double length = 0.0;  // play length in seconds, 0 until opened
  uint32_t size = 0;    // file size in kilobytes (bytes / 1024)
  std::string error;    // gathered error and warning texts
  int32_t status = kMovieWaiting;
  // The decoded frames' bitmap header as the engine delivered it; all zero
  // until the movie is opened. Only biWidth and biHeight are saved.
  BitmapInfoHeader videoFormat{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  CaptureSettings captureSettings;
  std::string html;        // generated web page, "" if none
  std::string ipl;         // generated image playlist, "" if none
  std::string indexphoto;  // generated index photo, "" if none
  // The index photo's second, third, ... part when a movie has more
  // thumbnails than one picture shows at a useful size.
  std::vector<std::string> indexphotoParts;
  std::vector<ImageEntry> images;  // in the order they were saved
  // Cached thumbnail path prefix and the thumbnail folder it was computed
  // for (see CProject::ThumbnailPrefix). Never saved, never copied; a cache,
  // so it may be filled in through a read-only record.
  mutable std::string thumbPrefix;
  mutable std::string thumbPrefixBase;

 private:
  friend class CProject;  // keeps its movies by path
  static int32_t NextId();

  int32_t id_;
  std::string path_;
};

}  // namespace ombrelo
