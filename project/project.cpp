#include "project/project.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/replacing_file.h"
#include "platform/translate.h"
#include "project/capture_settings_xml.h"
#include "project/file_read.h"
#include "project/file_write.h"
#include "project/tag_reader.h"

namespace ombrelo {
namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>";

// Read once, while static objects are made, before main can change it.
const std::string g_startDirectory = paths::CurrentDirectory();

// Project files carry their line breaks as carriage return and line feed
// (the file is text, and this is the format's own line end).
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Reading turns carriage return and line feed back into a line feed, so a
// file with either line end reads the same.
std::string WithoutCrLf(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  return out;
}

// The largest project file read: a project of a hundred thousand movies with
// a hundred thumbnails each stays well below it.
constexpr uint64_t kMaxProjectFileBytes = uint64_t{256} << 20;

// A template name read from a file must name a file inside its template
// folder: a name with a folder in it ("../../x.xslt") keeps the name the
// project had, and says so.
void KeepPlainTemplateName(const std::string& before, std::string& name) {
  if (paths::LastSeparator(name) == std::string::npos && name != "." && name != "..") return;
  DebugOutput("Template name refused: " + name + "\n");
  name = before;
}

void KeepPlainTemplateNames(const OutputSettings& before, OutputSettings& read) {
  KeepPlainTemplateName(before.htmlTransform, read.htmlTransform);
  KeepPlainTemplateName(before.indexphotoTransform, read.indexphotoTransform);
  KeepPlainTemplateName(before.reportTransform, read.reportTransform);
}

// A look-up by an id that is no movie's is a fault of the caller: it is
// noted in the debug output, and the caller decides what happens then.
void NoteInvalidId(int32_t id) {
  DebugOutput("Internal error: invalid movie id " + std::to_string(id) + "\n");
}

}  // namespace

const std::string& StartDirectory() { return g_startDirectory; }

CProject& CProject::Instance() {
  static CProject* project = new CProject();  // lives until the process ends
  return *project;
}

CProject::CProject(const std::string& defaultBaseFolder) : output_(defaultBaseFolder) {}

CProject::~CProject() = default;

int CProject::AddChangeListener(ChangeListener listener) {
  const int handle = nextListener_++;
  listeners_.emplace_back(handle, std::move(listener));
  return handle;
}

void CProject::RemoveChangeListener(int handle) {
  std::erase_if(listeners_, [handle](const auto& entry) { return entry.first == handle; });
}

void CProject::Announce(const ProjectChange& change) {
  ++revision_;
  // A listener may add or remove listeners while it is told.
  const auto listeners = listeners_;
  for (const auto& entry : listeners) entry.second(change);
}

int32_t CProject::AddMovie(const std::string& path) {
  RemoveMovie(path);
  Movie movie(path, capture_);
  const int32_t id = movie.id();
  AppendMovie(std::move(movie));
  Announce({ProjectChange::movieAdded, id});
  return id;
}

void CProject::AppendMovie(Movie movie) {
  const int32_t id = movie.id();
  const auto it = movies_.insert(movies_.end(), std::move(movie));
  byId_[id] = it;
  byPath_[it->path()].push_back(it);
}

void CProject::EraseMovie(std::list<Movie>::iterator it) {
  byId_.erase(it->id());
  const auto samePath = byPath_.find(it->path());
  if (samePath != byPath_.end()) {
    auto& list = samePath->second;
    list.erase(std::find(list.begin(), list.end(), it));
    if (list.empty()) byPath_.erase(samePath);
  }
  movies_.erase(it);
}

void CProject::RemoveMovie(const std::string& path) {
  const auto found = byPath_.find(path);
  if (found == byPath_.end()) return;
  const int32_t id = found->second.front()->id();
  EraseMovie(found->second.front());
  Announce({ProjectChange::movieRemoved, id});
}

void CProject::ClearMovies() {
  movies_.clear();
  byId_.clear();
  byPath_.clear();
  Announce({ProjectChange::moviesCleared, -1});
}

const Movie* CProject::MovieById(int32_t id) const {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : &*found->second;
}

Movie* CProject::MutableMovie(int32_t id) {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : &*found->second;
}

const Movie* CProject::FindMovie(int32_t id) const {
  const Movie* movie = MovieById(id);
  if (!movie) NoteInvalidId(id);
  return movie;
}

bool CProject::ChangeMovie(int32_t id, ProjectChange::Kind kind,
                           const std::function<void(Movie&)>& change) {
  Movie* movie = MutableMovie(id);
  if (!movie) return false;
  change(*movie);
  Announce({kind, id});
  return true;
}

bool CProject::MarkOpened(int32_t id, const MovieProperties& properties) {
  return ChangeMovie(id, ProjectChange::movieOpened, [&](Movie& movie) {
    movie.images.clear();
    movie.thumbPrefix.clear();
    movie.thumbPrefixBase.clear();
    movie.length = properties.length;
    movie.size = properties.size;
    movie.videoFormat = properties.videoFormat;
    movie.status = kMovieOpened;
  });
}

bool CProject::SetMovieStatus(int32_t id, int32_t status) {
  return ChangeMovie(id, ProjectChange::movieStatus,
                     [status](Movie& movie) { movie.status = status; });
}

bool CProject::AddMovieError(int32_t id, const std::string& text) {
  return ChangeMovie(id, ProjectChange::movieError, [&](Movie& movie) { movie.SetError(text); });
}

bool CProject::RecordImage(int32_t id, const ImageEntry& image) {
  return ChangeMovie(id, ProjectChange::imageRecorded,
                     [&](Movie& movie) { movie.AddImage(image); });
}

bool CProject::RemoveImage(int32_t id, const std::string& path) {
  return ChangeMovie(id, ProjectChange::imageRemoved, [&](Movie& movie) {
    std::erase_if(movie.images, [&](const ImageEntry& image) { return image.path == path; });
  });
}

bool CProject::SetMovieHtml(int32_t id, const std::string& path) {
  return ChangeMovie(id, ProjectChange::movieOutputs, [&](Movie& movie) { movie.SetHtml(path); });
}

bool CProject::SetMovieIpl(int32_t id, const std::string& path) {
  return ChangeMovie(id, ProjectChange::movieOutputs, [&](Movie& movie) { movie.SetIpl(path); });
}

bool CProject::SetMovieIndexphoto(int32_t id, const std::string& path,
                                  std::vector<std::string> parts) {
  return ChangeMovie(id, ProjectChange::movieOutputs,
                     [&](Movie& movie) { movie.SetIndexphoto(path, std::move(parts)); });
}

bool CProject::UpdateMovie(int32_t id, const std::function<void(Movie&)>& change) {
  return ChangeMovie(id, ProjectChange::movieChanged, change);
}

void CProject::SetMoviePath(int32_t id, const std::string& path) {
  const auto found = byId_.find(id);
  if (found == byId_.end()) return;
  const auto it = found->second;
  const auto samePath = byPath_.find(it->path());
  if (samePath != byPath_.end()) {
    auto& list = samePath->second;
    list.erase(std::find(list.begin(), list.end(), it));
    if (list.empty()) byPath_.erase(samePath);
  }
  it->path_ = path;
  byPath_[path].push_back(it);
}

namespace {

bool FileThere(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The files below folder by name, the first of each name in a walk that
// goes level by level and in name order through each folder. Links to
// folders are not followed; the walk stops after a bounded number of
// entries so that a choice of "/" cannot hold the program for long.
class NameIndex {
 public:
  explicit NameIndex(std::string folder) : folder_(std::move(folder)) {}
  std::string Find(const std::string& name) {
    if (!built_) Build();
    const auto found = files_.find(name);
    return found == files_.end() ? std::string() : found->second;
  }

 private:
  void Build() {
    namespace fs = std::filesystem;
    built_ = true;
    constexpr size_t kMaxEntries = 200000;
    size_t seen = 0;
    std::vector<fs::path> level{fs::path(folder_)};
    while (!level.empty() && seen < kMaxEntries) {
      std::vector<fs::path> next;
      for (const fs::path& dir : level) {
        std::error_code error;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end && seen < kMaxEntries; it.increment(error), ++seen)
          entries.push_back(*it);
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.path() < b.path(); });
        for (const fs::directory_entry& entry : entries) {
          std::error_code kind;
          if (entry.is_symlink(kind)) {
            if (entry.is_regular_file(kind))
              files_.try_emplace(entry.path().filename(), entry.path());
          } else if (entry.is_directory(kind)) {
            next.push_back(entry.path());
          } else if (entry.is_regular_file(kind)) {
            files_.try_emplace(entry.path().filename(), entry.path());
          }
        }
      }
      level = std::move(next);
    }
  }

  std::string folder_;
  bool built_ = false;
  std::unordered_map<std::string, std::string> files_;
};

// The new place of a file made for a moved video: below newFolder where it
// lay below oldFolder, when it is there; "" otherwise.
std::string MovedFile(const std::string& path, const std::string& oldFolder,
                      const std::string& newFolder) {
  if (oldFolder.empty() || !path.starts_with(oldFolder)) return {};
  const std::string moved = newFolder + path.substr(oldFolder.size());
  return FileThere(moved) ? moved : std::string();
}

}  // namespace

std::string CommonFolder(const std::vector<std::string>& paths) {
  if (paths.empty()) return {};
  std::string common = paths::FolderOf(paths.front());
  for (const std::string& path : paths) {
    while (!common.empty() && !path.starts_with(common)) {
      common.pop_back();  // the separator, then up to the one before
      common = paths::FolderOf(common);
    }
  }
  return common;
}

std::vector<int32_t> CProject::MissingMovies() const {
  std::vector<int32_t> missing;
  for (const Movie& movie : movies_) {
    if (!FileThere(movie.path())) missing.push_back(movie.id());
  }
  return missing;
}

int CProject::RelinkMovies(const std::string& folder) {
  const std::string chosen = paths::WithTrailingSeparator(folder);
  const std::vector<int32_t> missing = MissingMovies();
  std::vector<std::string> oldPaths;
  for (const int32_t id : missing) oldPaths.push_back(MovieById(id)->path());
  const std::string common = CommonFolder(oldPaths);
  NameIndex byName(chosen);
  int relinked = 0;
  for (size_t i = 0; i < missing.size(); ++i) {
    const std::string& oldPath = oldPaths[i];
    std::string newPath = MovedFile(oldPath, common, chosen);
    if (newPath.empty()) newPath = byName.Find(paths::FileName(oldPath));
    // A video the project lists already stays one record.
    if (newPath.empty() || byPath_.contains(newPath)) continue;
    SetMoviePath(missing[i], newPath);
    Movie& movie = *MutableMovie(missing[i]);
    const std::string oldFolder = paths::FolderOf(oldPath);
    const std::string newFolder = paths::FolderOf(newPath);
    const auto relink = [&](std::string& path) {
      std::string moved = MovedFile(path, oldFolder, newFolder);
      if (moved.empty()) moved = MovedFile(path, common, chosen);
      if (!moved.empty()) path = std::move(moved);
    };
    for (ImageEntry& image : movie.images) relink(image.path);
    relink(movie.html);
    relink(movie.ipl);
    relink(movie.indexphoto);
    for (std::string& part : movie.indexphotoParts) relink(part);
    // The thumbnail folder is claimed anew for the video at its new place.
    movie.thumbPrefix.clear();
    movie.thumbPrefixBase.clear();
    ++relinked;
    Announce({ProjectChange::movieMoved, missing[i]});
  }
  return relinked;
}

void CProject::SetCapture(const CaptureSettings& settings) {
  if (capture_ == settings) return;
  capture_ = settings;
  Announce({ProjectChange::settings, -1});
}

void CProject::UpdateCapture(const std::function<void(CaptureSettings&)>& change) {
  CaptureSettings settings = capture_;
  change(settings);
  SetCapture(settings);
}

void CProject::CopySettingsFrom(const CProject& other) {
  output_ = other.output_;
  capture_ = other.capture_;
  Announce({ProjectChange::settings, -1});
}

std::string CProject::FileHead() const {
  return WithCrLf(kDeclaration + std::string("<obxproject>") + output_.ToXml() + "<movies>");
}

std::string CProject::MovieFileEntry(const Movie& movie) {
  return WithCrLf("<moviefile>" + movie.ToXml() + "</moviefile>");
}

std::string CProject::FileTail() const {
  return WithCrLf("</movies><rendering>" + CaptureSettingsToXml(capture_) +
                  "</rendering></obxproject>");
}

std::string CProject::FileText(bool includeMovies) const {
  std::string text = FileHead();
  if (includeMovies) {
    for (const Movie& movie : movies_) text += MovieFileEntry(movie);
  }
  text += FileTail();
  return text;
}

namespace {

// Whether name is what an interrupted save of the project file fileName
// left: the writer's ".<fileName>.<pid>-<n>.part", or "<fileName>.~<pid>-<n>"
// of older versions, of a process that no longer runs.
bool IsLeftOverSave(const std::string& name, const std::string& fileName) {
  if (name.rfind("." + fileName + ".", 0) == 0) return ReplacingFile::IsLeftOver(name);
  const std::string old = fileName + ".~";
  if (name.rfind(old, 0) != 0) return false;
  const size_t dash = name.find('-', old.size());
  if (dash == std::string::npos) return false;
  const std::string count = name.substr(dash + 1);
  return !count.empty() && count.size() <= 9 &&
         count.find_first_not_of("0123456789") == std::string::npos &&
         ReplacingFile::IsEndedProcess(name.substr(old.size(), dash - old.size()));
}

// Removes the temporary files that interrupted saves of the project file at
// path left beside it (where a link leads, beside its target), so that a
// save killed part-way leaves nothing behind for long. Only regular files.
void RemoveLeftOverSaves(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path file = fs::weakly_canonical(fs::path(path), ec);
  if (ec) file = path;
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const std::string fileName = file.filename().string();
  if (fileName.empty()) return;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code statError;
    if (!IsLeftOverSave(name, fileName) || !it->is_regular_file(statError) ||
        it->is_symlink(statError))
      continue;
    if (fs::remove(it->path(), statError))
      DebugOutput("Removed what an interrupted save left: " + it->path().string() + "\n");
  }
}

bool WriteProjectFile(const std::string& path, const std::string& bytes, std::string* error) {
  RemoveLeftOverSaves(path);
  int systemError = 0;
  // The file the user chose: a link he keeps to it stays a link.
  const WriteResult result =
      WriteFileReplacing(path, bytes, &systemError, ReplacingFile::Links::follow);
  if (result != WriteResult::ok && error) *error = std::strerror(systemError);
  switch (result) {
    case WriteResult::ok:
      return true;
    case WriteResult::cannotOpen:
      return false;
    case WriteResult::writeFailed:
      break;
  }
  DebugOutput("CProject::Save failed to write file");
  return false;
}

}  // namespace

bool CProject::Save(const std::string& path, std::string* error) const {
  return WriteProjectFile(path, FileText(true), error);
}

bool CProject::SaveWithoutMovies(const std::string& path, std::string* error) const {
  return WriteProjectFile(path, FileText(false), error);
}

void CProject::TakeContentFrom(CProject& other) {
  // Swapped lists keep their elements, so the maps' iterators stay valid.
  movies_.swap(other.movies_);
  byId_.swap(other.byId_);
  byPath_.swap(other.byPath_);
  output_ = other.output_;
  capture_ = other.capture_;
  Announce({ProjectChange::replaced, -1});
}

bool CProject::Load(const std::string& path, std::string* error) {
  // Only a regular file of bounded size: /dev/zero would grow the process
  // without end, and a FIFO would block it for ever.
  std::string bytes;
  std::string why;
  switch (ReadRegularFile(path, kMaxProjectFileBytes, &bytes, &why)) {
    case FileRead::ok:
      break;
    case FileRead::cannotOpen:
      if (error) *error = why;
      return false;
    case FileRead::refused:
    case FileRead::readFailed:
      DebugOutput("CProject::Load failed. " + path + ": " + why + "\n");
      if (error) *error = why;
      return false;
  }
  std::istringstream in(WithoutCrLf(bytes));

  // One change, announced at the end, whatever the file holds.
  movies_.clear();
  byId_.clear();
  byPath_.clear();
  try {
    std::string tag = ReadTag(in);
    if (tag == kDeclaration) tag = ReadTag(in);
    if (tag != "<obxproject>")
      throw TagFormatError(Translate("ProjectFile", "Not a project file") + "\n");
    const OutputSettings before = output_;
    output_.ReadXml(in);
    KeepPlainTemplateNames(before, output_);
    ExpectTag(in, "<movies>");
    while ((tag = ReadTag(in)) == "<moviefile>") {
      Movie movie;
      movie.ReadXml(in);
      AppendMovie(std::move(movie));
      ExpectTag(in, "</moviefile>");
    }
    if (tag != "</movies>")
      throw TagFormatError(FillIn(Translate("ProjectFile", "Missing %1"), {"</movies>"}));
    try {
      // Older files hold fewer render settings: the failed expectation then
      // consumes exactly their "</rendering>".
      ExpectTag(in, "<rendering>");
      ReadCaptureSettingsXml(in, capture_);
      ExpectTag(in, "</rendering>");
    } catch (const TagFormatError&) {
      DebugOutput("Error reading render settings. Old format\n");
    }
    ExpectTag(in, "</obxproject>");
  } catch (const std::exception& e) {
    DebugOutput(std::string("CProject::Load failed. ") + e.what());
    if (error) *error = e.what();
    Announce({ProjectChange::replaced, -1});
    return false;
  }
  Announce({ProjectChange::replaced, -1});
  return true;
}

}  // namespace ombrelo
