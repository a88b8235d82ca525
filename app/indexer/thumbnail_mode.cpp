#include "app/indexer/thumbnail_mode.h"

#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "app/indexer/terminal_port.h"
#include "engine/thumbnail_grab.h"
#include "platform/translate.h"
#include "project/file_write.h"

namespace ombrelo::indexer {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNoThumbnail = 1;
constexpr int kExitUsage = 2;

// What a decoder stuck inside a hostile file cannot outlast: the process
// ends this long after the grab's own time limit, without output.
constexpr int kGraceSeconds = 5;

void OnAlarm(int) { _exit(kExitNoThumbnail); }

// The address space a thumbnail may take: generous for real 8K video (its
// decoder with its reference pictures, one converted picture, the
// libraries), a small share of what a file made to exhaust memory asks for.
// Pictures too large are refused before they are decoded; this bounds what
// gets past that. A lower limit set by the caller stays.
constexpr rlim_t kAddressSpaceLimit = rlim_t{3} << 30;

void CapAddressSpace() {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // (The sanitizers reserve far more address space than they use.)
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) != 0) return;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= kAddressSpaceLimit) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? kAddressSpaceLimit
                                                   : std::min(limit.rlim_max, kAddressSpaceLimit);
  ::setrlimit(RLIMIT_AS, &limit);
#endif
}

struct Request {
  int size = 256;
  double timeLimit = 10;  // seconds
  std::string input, output;
};

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

bool Parse(int argc, char** argv, Request* request) {
  int positional = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if ((arg == "-s" || arg == "--size") && i + 1 < argc) {
      if (!ParseNumber(std::string_view(argv[++i]), &request->size) || request->size < 1 ||
          request->size > 4096)
        return false;
    } else if (arg == "--time-limit" && i + 1 < argc) {
      if (!ParseNumber(std::string_view(argv[++i]), &request->timeLimit) ||
          !(request->timeLimit > 0) || request->timeLimit > 3600)
        return false;
    } else if (arg.size() > 1 && arg[0] == '-' && positional == 0) {
      return false;
    } else if (positional == 0) {
      request->input = arg;
      ++positional;
    } else if (positional == 1) {
      request->output = arg;
      ++positional;
    } else {
      return false;
    }
  }
  return positional == 2 && !request->input.empty() && !request->output.empty();
}

// A file:// address to its path; anything else is a path already.
std::string LocalPath(const std::string& input) {
  if (input.rfind("file://", 0) != 0) return input;
  return QUrl(QString::fromStdString(input)).toLocalFile().toStdString();
}

// The picture as the bytes of a PNG file; "" when libpng fails.
std::string EncodePng(const GrabbedFrame& frame) {
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return "";
  }
  if (setjmp(png_jmpbuf(png))) {  // libpng's way of reporting an error
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(
      png, &bytes,
      [](png_structp writer, png_bytep data, size_t size) {
        static_cast<std::string*>(png_get_io_ptr(writer))
            ->append(reinterpret_cast<const char*>(data), size);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width),
               static_cast<png_uint_32>(frame.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The cheapest compression: a thumbnail is written on every file manager
  // request and read back once. Each row is stored as its difference from
  // the pixel to its left, which is what photographic pictures gain from
  // most: a quarter larger than the best, several times faster to write.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  png_set_bgr(png);
  const size_t row = static_cast<size_t>(frame.width) * 3;
  for (int y = 0; y < frame.height; ++y)
    png_write_row(png, const_cast<png_bytep>(frame.bgr.data() + row * static_cast<size_t>(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

int NoThumbnail(const std::string& input, const std::string& reason) {
  // The name and the decoder's text may hold any bytes: none reach the
  // terminal as control characters.
  const std::string text = FillIn(Translate("Indexer", "no thumbnail for %1: %2"),
                                  {TerminalSafe(input), TerminalSafe(reason)});
  std::fprintf(stderr, "ombrelo-index: %s\n", text.c_str());
  return kExitNoThumbnail;
}

}  // namespace

bool IsThumbnailCommand(int argc, char** argv) {
  return argc > 1 && std::string_view(argv[1]) == "--thumbnail";
}

namespace {

int Thumbnail(int argc, char** argv) {
  Request request;
  if (!Parse(argc, argv, &request)) {
    std::fputs(Translate("Indexer",
                         "usage: ombrelo-index --thumbnail [-s SIZE] [--time-limit SECONDS] "
                         "INPUT OUTPUT\n")
                   .c_str(),
               stderr);
    return kExitUsage;
  }
  const std::string path = LocalPath(request.input);
  // Only regular files: a pipe or a device would block or never end.
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0)
    return NoThumbnail(request.input, Translate("Indexer", "cannot read it"));
  if (!S_ISREG(info.st_mode))
    return NoThumbnail(request.input, Translate("Indexer", "not a regular file"));

  struct sigaction action {};
  action.sa_handler = OnAlarm;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGALRM, &action, nullptr);
  ::alarm(static_cast<unsigned>(std::ceil(request.timeLimit)) + kGraceSeconds);

  GrabOptions options;
  options.maxSize = request.size;  // converted once, straight to that size
  options.timeLimit = std::chrono::milliseconds(std::llround(request.timeLimit * 1000));
  CapAddressSpace();
  GrabResult grab;
  try {
    grab = GrabRepresentativeFrame(path, options);
  } catch (const std::bad_alloc&) {
    return NoThumbnail(request.input, Translate("Indexer", "not enough memory for its pictures"));
  }
  ::alarm(0);
  if (!grab.ok) return NoThumbnail(request.input, grab.error);

  // Written beside the output and renamed onto it: a file manager never
  // reads half a picture. Not flushed to the disk: a thumbnail lost in a
  // power cut is made again.
  const std::string png = EncodePng(grab.frame);
  if (png.empty() || WriteFileReplacing(request.output, png, nullptr, ReplacingFile::Links::replace,
                                        Durability::cache) != WriteResult::ok)
    return NoThumbnail(request.input, Translate("Indexer", "cannot write the output"));
  return kExitWritten;
}

}  // namespace

int RunThumbnailCommand(int argc, char** argv) {
  const int status = Thumbnail(argc, argv);
  // Nothing of the process needs cleaning up: it ends here, without the
  // libraries' exit handlers, which would take longer than the picture.
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace ombrelo::indexer
