// Output file names, the thumbnail and temporary folders, and the thumbnail
// path prefix of a movie.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/replacing_file.h"
#include "platform/sync.h"
#include "platform/translate.h"
#include "platform/worker.h"
#include "project/project.h"

namespace ombrelo {

std::string PathBaseName(const std::string& path) {
  return std::string(paths::WithoutExtension(paths::FileName(path)));
}

std::string PathStem(const std::string& path) {
  // Only a "." in the file name starts an extension: a video without one in
  // a folder such as "my.videos/" keeps its outputs in that folder.
  return std::string(paths::WithoutExtension(path));
}

std::string CProject::OutputFileName(int32_t id, bool useFolder, const std::string& folder,
                                     const char* extension) const {
  const Movie* movie = FindMovie(id);
  const std::string path = movie ? movie->path() : "";
  std::string name;
  if (useFolder && !folder.empty()) {
    name = paths::WithTrailingSeparator(folder) + PathBaseName(path);
  } else {
    name = PathStem(path);
  }
  return name + extension;
}

std::string CProject::HtmlFileName(int32_t id) const {
  return OutputFileName(id, output_.htmlUseFolder, output_.htmlFolder, ".html");
}

std::string CProject::PlaylistFileName(int32_t id) const {
  return OutputFileName(id, output_.iplUseFolder, output_.iplFolder, ".ipl");
}

std::string CProject::IndexPhotoFileName(int32_t id) const {
  return OutputFileName(id, output_.indexphotoUseFolder, output_.indexphotoFolder, ".jpg");
}

std::string CProject::ThumbnailFolder() {
  if (!output_.thumbsEnabled) return TemporaryFolder();
  return output_.thumbsUseFolder ? output_.thumbsFolder : std::string();
}

std::string CProject::TemporaryFolder() {
  if (tempFolder_.empty()) {
    // Thumbnails and pages are the user's own: never in a folder that
    // others can create first, read or redirect with a link.
    tempFolder_ = runTemporaryFolder_.empty() ? paths::PrivateTemporaryFolder("ombrelo")
                                              : runTemporaryFolder_;
  }
  return tempFolder_;
}

namespace {

// Deletes what lies inside folder, depth first; entries that cannot be
// deleted stay. Symbolic links are removed, never followed.
void DeleteContents(const std::filesystem::path& folder) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code entryError;
    if (it->is_directory(entryError) && !it->is_symlink(entryError)) {
      DeleteContents(it->path());
    }
    std::filesystem::remove(it->path(), entryError);
  }
}

}  // namespace

namespace {

// What a clearing behind the window set aside inside the temporary folder:
// ".cleared-<pid>-<n>".
constexpr char kClearedPrefix[] = ".cleared-";

bool IsSetAsideOfEndedProcess(const std::string& name) {
  if (name.rfind(kClearedPrefix, 0) != 0) return false;
  const size_t start = sizeof kClearedPrefix - 1;
  const size_t dash = name.find('-', start);
  return dash != std::string::npos &&
         ReplacingFile::IsEndedProcess(name.substr(start, dash - start));
}

// Deletes what was set aside in folder, and what clearings of processes that
// have ended left there (a program that ended before its clearing did).
void DeleteSetAside(const std::string& folder, const std::string& setAside) {
  LowerThreadPriority();
  std::error_code ec;
  DeleteContents(setAside);
  std::filesystem::remove(setAside, ec);
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code entryError;
    if (!IsSetAsideOfEndedProcess(it->path().filename().string()) ||
        !it->is_directory(entryError) || it->is_symlink(entryError))
      continue;
    DeleteContents(it->path());
    std::filesystem::remove(it->path(), entryError);
  }
}

}  // namespace

std::future<void> CProject::ClearTemporaryFolder(TemporaryClearing how) {
  std::promise<void> done;
  std::future<void> cleared = done.get_future();
  const std::string folder = tempFolder_;
  tempFolder_.clear();
  // Only a real folder of our own is emptied, never one that another user
  // put in its place or a link.
  if (folder.empty() || !paths::IsPrivateFolder(folder)) {
    done.set_value();
    return cleared;
  }
  static std::atomic<unsigned> counter{0};
  const std::string setAside = folder + kClearedPrefix + std::to_string(::getpid()) + "-" +
                               std::to_string(counter.fetch_add(1));
  if (how == TemporaryClearing::now || ::mkdir(setAside.c_str(), 0700) != 0) {
    DeleteContents(folder);
    done.set_value();
    return cleared;
  }
  // Set aside at once (a rename of each entry), deleted behind the window:
  // the program need not wait for a folder of thousands of files to go.
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(kClearedPrefix, 0) == 0) continue;
    std::error_code entryError;
    std::filesystem::rename(it->path(), setAside + "/" + name, entryError);
  }
  std::thread([folder, setAside, done = std::move(done)]() mutable {
    DeleteSetAside(folder, setAside);
    done.set_value();
  }).detach();
  return cleared;
}

namespace {

// The marker of a thumbnail folder: it names the video whose thumbnails the
// folder holds. Hidden, so that listings of the thumbnails pass it by.
constexpr char kFolderOwnerFile[] = ".ombrelo-video";
// Room for a suffix against collisions, the thumbnail suffix and the
// extension within a file name of 255 bytes.
constexpr size_t kMaxThumbnailName = 200;

// Longer than any path a record names.
constexpr size_t kMaxOwnerRecord = 64 * 1024;

// The video an owner record names: "" when there is none (or it is still
// empty), nothing when what lies there cannot be trusted. Only a regular
// file of this user's own is a record: others may write in a shared output
// folder, and a record they made (or a link they put in its place) must not
// hand them a name this user's outputs are written under.
std::optional<std::string> ReadOwnerRecordAt(int folder, const std::string& path) {
  const int fd = ::openat(folder, path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A link in the record's place is no record. When nothing can be read
    // there (no folder, no permission) the claim goes on: making the
    // record, or writing the output, reports what is wrong.
    if (errno == ELOOP) return std::nullopt;
    return std::string();
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || text.size() + static_cast<size_t>(n) > kMaxOwnerRecord) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::optional<std::string> ReadOwnerRecord(const std::string& path) {
  return ReadOwnerRecordAt(AT_FDCWD, path);
}

std::optional<std::string> ReadOwner(const std::string& folder) {
  return ReadOwnerRecord(folder + kFolderOwnerFile);
}

// Makes the owner record at path naming the video; false when it exists.
bool CreateOwnerRecord(const std::string& path, const std::string& videoPath, int* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  const std::string text = videoPath + "\n";
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  if (!written) DebugOutputF("Failed to write owner record: %s (%d)\n", path.c_str(), errno);
  return true;
}

bool IsEmptyFolder(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_empty(folder, ec) && !ec;
}

enum class Claim { ours, taken, failed };

// Claims the folder for the video's thumbnails. The claim is the marker
// file, made with O_EXCL, so that of several processes claiming one folder
// at the same moment exactly one gets it. A folder is the video's when it
// was made now, when its marker names the video, or when it is empty; any
// other folder (or file) of that name belongs to someone else.
Claim ClaimFolder(const std::string& folder, const std::string& videoPath) {
  std::string path = folder;
  if (!path.empty() && paths::IsSeparator(path.back())) path.pop_back();
  if (::mkdir(path.c_str(), 0777) != 0) {
    const int error = errno;
    if (error == ENOENT && paths::CreateFolders(folder)) {
      // Made by us or by a process beside us: the marker decides.
    } else if (error != EEXIST) {
      return Claim::failed;  // the thumbnail's write reports why
    } else {
      // Only a real folder of this user's own: a link in its place would
      // lead the thumbnails elsewhere, and the owner of a folder may swap
      // what is in it.
      struct stat info;
      if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return Claim::taken;
      if (ReadOwner(folder) == videoPath) return Claim::ours;
      if (!IsEmptyFolder(folder)) return Claim::taken;
    }
  }
  int error = 0;
  if (!CreateOwnerRecord(folder + kFolderOwnerFile, videoPath, &error)) {
    if (error != EEXIST) return Claim::failed;
    return ReadOwner(folder) == videoPath ? Claim::ours : Claim::taken;
  }
  return Claim::ours;
}

// Claims the output file at path for the video, by its owner record
// ".<name>.ombrelo-video" beside it. A file on disk that no record names
// and the movie does not name either may be another video's (or the
// user's): it is taken. Anything there that is no file is left to the
// write, which reports it.
Claim ClaimFile(const std::string& path, const std::string& videoPath,
                const std::string& recorded) {
  const std::string record = paths::FolderOf(path) + "." + paths::FileName(path) + kFolderOwnerFile;
  const std::optional<std::string> owner = ReadOwnerRecord(record);
  if (!owner) return Claim::taken;
  if (!owner->empty()) return *owner == videoPath ? Claim::ours : Claim::taken;
  std::error_code ec;
  if (path != recorded && std::filesystem::is_regular_file(path, ec)) return Claim::taken;
  const std::string folder = paths::FolderOf(path);
  if (!folder.empty()) paths::CreateFolders(folder);
  int error = 0;
  if (CreateOwnerRecord(record, videoPath, &error)) return Claim::ours;
  if (error != EEXIST) return Claim::failed;
  // Another process claimed it just now (its record may be still empty).
  return ReadOwnerRecord(record) == videoPath ? Claim::ours : Claim::taken;
}

// The name of the video's own thumbnail folder below parent: name, else
// name-2, name-3, ... the first that is free or already the video's.
std::string ClaimThumbnailFolder(const std::string& parent, const std::string& name,
                                 const std::string& videoPath) {
  for (int n = 1; n < 100000; ++n) {
    const std::string candidate = n == 1 ? name : name + "-" + std::to_string(n);
    const std::string folder = parent + candidate + paths::kSeparator;
    switch (ClaimFolder(folder, videoPath)) {
      case Claim::ours:
      case Claim::failed:
        return candidate;
      case Claim::taken:
        break;
    }
  }
  return name;
}

}  // namespace

// The name of a video's thumbnails: the video's base name with blanks as
// "_". Control characters, which no listing shows, become "_" too; every
// other character stays (file names are UTF-8 here). A name too long for
// its thumbnails' file names is cut at a character boundary.
std::string ThumbnailName(const std::string& videoPath) {
  std::string name = PathBaseName(videoPath);
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u == ' ' || u < 0x20 || u == 0x7f) c = '_';
  }
  if (name.size() > kMaxThumbnailName) {
    size_t end = kMaxThumbnailName;
    // Not inside a UTF-8 sequence: continuation bytes are 10xxxxxx.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) --end;
    name.resize(end);
  }
  return name;
}

std::string ClaimOutputFile(const std::string& path, const std::string& videoPath,
                            const std::string& recorded, int* suffix) {
  const std::string stem = PathStem(path);
  const std::string extension(paths::Extension(path));
  for (int n = suffix ? std::max(*suffix, 1) : 1; n < 100000; ++n) {
    const std::string candidate = n == 1 ? path : stem + "-" + std::to_string(n) + extension;
    if (ClaimFile(candidate, videoPath, recorded) == Claim::taken) continue;
    if (suffix) *suffix = n;
    return candidate;
  }
  return path;
}

bool IsThumbnailFolderOf(const std::string& folder, const std::string& videoPath) {
  return ReadOwner(folder) == videoPath;
}

void RemoveThumbnailsNotNamed(const Movie& movie) {
  if (movie.thumbPrefix.empty()) return;
  const std::string folder = paths::FolderOf(movie.thumbPrefix);
  const std::string name = paths::FileName(movie.thumbPrefix);
  // The folder is looked at through one descriptor, so that a link put in
  // its place (or in a file's) meanwhile cannot lead the removal elsewhere;
  // it must be a folder of the user's own, marked as the video's.
  const std::string path = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() ||
      ReadOwnerRecordAt(fd, kFolderOwnerFile) != movie.path()) {
    ::close(fd);
    return;
  }
  DIR* listing = ::fdopendir(fd);
  if (!listing) {
    ::close(fd);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string file = entry->d_name;
    const std::string_view extension = paths::Extension(file);
    // A thumbnail, or what a run that was killed left of one.
    const bool thumbnail = file.rfind(name, 0) == 0 && (extension == ".jpg" || extension == ".bmp");
    const bool leftOver = (file.rfind("." + name, 0) == 0 || file.rfind(".ombrelo.", 0) == 0) &&
                          ReplacingFile::IsLeftOver(file);
    if (!thumbnail && !leftOver) continue;
    struct stat entryInfo {};
    if (::fstatat(fd, file.c_str(), &entryInfo, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(entryInfo.st_mode))
      continue;
    const std::string filePath = folder + file;
    if (std::none_of(movie.images.begin(), movie.images.end(),
                     [&](const ImageEntry& image) { return image.path == filePath; }))
      stale.push_back(file);
  }
  for (const std::string& file : stale) ::unlinkat(fd, file.c_str(), 0);
  ::closedir(listing);
}

std::string CProject::ThumbnailPrefix(const Movie& movie, const std::string& videoPath,
                                      const std::string& prefixWord, bool report) {
  const std::string base = ThumbnailFolder();
  if (!movie.thumbPrefix.empty() && movie.thumbPrefixBase == base) return movie.thumbPrefix;

  const std::string dir = paths::FolderOf(videoPath);
  std::string name = PathBaseName(videoPath);
  if (!base.empty()) {
    if (::mkdir(base.c_str(), 0777) != 0) {
      const int error = errno;
      DebugOutputF("Failed to create folder: %s (%d)\n", base.c_str(), error);
      // A typed folder whose parents are missing is still made.
      if (error == ENOENT) paths::CreateFolders(base);
    }
  }
  if (!prefixWord.empty()) {
    name = ThumbnailName(videoPath);
    // A name that is no folder name of its own takes the prefix word.
    const bool replaced = name.empty() || name == "." || name == "..";
    if (replaced) name = prefixWord;
    name = ClaimThumbnailFolder(base.empty() ? dir : base, name, videoPath);
    Movie* own = MutableMovie(movie.id());
    if (replaced && report && own == &movie) {
      if (!own->error.empty()) own->error += "; ";
      own->error +=
          FillIn(Translate("OutputNaming", "Invalid characters in filename. Name changed to : %1"),
                 {name});
      Announce({ProjectChange::movieError, own->id()});
    }
  }

  std::string result = (base.empty() ? dir : base) + name;
  result += paths::kSeparator;
  result += name;
  movie.thumbPrefix = result;
  movie.thumbPrefixBase = base;
  return result;
}

}  // namespace ombrelo
