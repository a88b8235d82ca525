#include "workflow/video_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/paths.h"
#include "project/project.h"

namespace ombrelo {

namespace {

// The names videos go by, one list for every place that picks videos by name:
// the older container names, and the transport streams of camcorders and
// recorders (".ts", ".m2ts", ".mts"), MPEG-4 variants and the open formats.
constexpr std::array<std::string_view, 32> kVideoExtensions = {
    ".avi",  ".mpeg", ".wmv", ".mpg", ".asf", ".rm",  ".ram", ".mov", ".qt",   ".vob",  ".divx",
    ".mp4",  ".mkv",  ".ogm", ".3gp", ".amv", ".flv", ".mod", ".moi", ".webm", ".xvid", ".ts",
    ".m2ts", ".mts",  ".m2t", ".m4v", ".3g2", ".f4v", ".ogv", ".dv",  ".mxf",  ".tod"};

// The first bytes of a file, at most size; fewer for a short file, none for
// anything but a regular file.
std::string FirstBytes(const std::string& path, size_t size) {
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  std::string bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    bytes.resize(size);
    const ssize_t got = ::read(fd, bytes.data(), size);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  ::close(fd);
  return bytes;
}

bool StartsWith(std::string_view bytes, size_t at, std::string_view signature) {
  return bytes.size() >= at + signature.size() && bytes.substr(at, signature.size()) == signature;
}

// The signatures of the video containers.
bool LooksLikeVideo(std::string_view b) {
  using namespace std::string_view_literals;
  if (StartsWith(b, 4, "ftyp") || StartsWith(b, 4, "moov") || StartsWith(b, 4, "mdat"))
    return true;                                                            // MP4, QuickTime, 3GP
  if (StartsWith(b, 0, "\x1A\x45\xDF\xA3"sv)) return true;                  // Matroska, WebM
  if (StartsWith(b, 0, "RIFF") && StartsWith(b, 8, "AVI ")) return true;    // AVI
  if (StartsWith(b, 0, "\x00\x00\x01\xBA"sv)) return true;                  // MPEG program stream
  if (StartsWith(b, 0, "FLV\x01"sv)) return true;                           // Flash video
  if (StartsWith(b, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv)) return true;  // ASF, WMV
  if (StartsWith(b, 0, ".RMF")) return true;                                // RealMedia
  if (StartsWith(b, 0, "\x1F\x07\x00\x3F"sv)) return true;                  // DV
  // MPEG transport streams: a sync byte every 188 bytes (192 in M2TS,
  // after a four-byte time code).
  for (const size_t packet : {size_t{188}, size_t{192}}) {
    const size_t first = packet == 192 ? 4 : 0;
    bool synced = b.size() >= first + 3 * packet;
    for (size_t at = first; synced && at < first + 3 * packet; at += packet) synced = b[at] == 0x47;
    if (synced) return true;
  }
  return false;
}

}  // namespace

bool IsVideoFileName(std::string_view path) {
  std::string extension(paths::Extension(path));
  if (extension.empty()) return false;
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::find(kVideoExtensions.begin(), kVideoExtensions.end(), extension) !=
         kVideoExtensions.end();
}

bool IsVideoFile(const std::string& path) {
  if (IsVideoFileName(path)) return true;
  return LooksLikeVideo(FirstBytes(path, 1024));
}

namespace {

void FindVideos(const std::string& folder, std::vector<std::string>& found) {
  namespace fs = std::filesystem;
  const std::string base = paths::WithTrailingSeparator(folder);
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = base + name;
    const fs::file_status link = fs::symlink_status(path, ec);
    if (fs::is_directory(link)) {
      FindVideos(path + paths::kSeparator, found);
    } else if (!fs::is_directory(fs::status(path, ec)) && IsVideoFile(path)) {
      found.push_back(path);
    }
  }
}

}  // namespace

std::vector<std::string> FindVideosInFolder(const std::string& folder) {
  std::vector<std::string> found;
  FindVideos(folder, found);
  return found;
}

int AddVideosInFolder(CProject& project, const std::string& folder) {
  const std::vector<std::string> videos = FindVideosInFolder(folder);
  for (const std::string& path : videos) project.AddMovie(path);
  return static_cast<int>(videos.size());
}

}  // namespace ombrelo
