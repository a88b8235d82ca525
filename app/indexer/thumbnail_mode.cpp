#include "app/indexer/thumbnail_mode.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>
#include <QUrl>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/thumbnail_grab.h"

namespace ombrelo::indexer {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNoThumbnail = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: ombrelo-index --thumbnail [-s SIZE] [--time-limit SECONDS] INPUT OUTPUT\n";

// What a decoder stuck inside a hostile file cannot outlast: the process
// ends this long after the grab's own time limit, without output.
constexpr int kGraceSeconds = 5;

void OnAlarm(int) { _exit(kExitNoThumbnail); }

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

int NoThumbnail(const std::string& input, const std::string& reason) {
  std::fprintf(stderr, "ombrelo-index: no thumbnail for %s: %s\n", input.c_str(), reason.c_str());
  return kExitNoThumbnail;
}

}  // namespace

bool IsThumbnailCommand(int argc, char** argv) {
  return argc > 1 && std::string_view(argv[1]) == "--thumbnail";
}

int RunThumbnailCommand(int argc, char** argv) {
  Request request;
  if (!Parse(argc, argv, &request)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string path = LocalPath(request.input);
  // Only regular files: a pipe or a device would block or never end.
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0)
    return NoThumbnail(request.input, "cannot read it");
  if (!S_ISREG(info.st_mode)) return NoThumbnail(request.input, "not a regular file");

  struct sigaction action {};
  action.sa_handler = OnAlarm;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGALRM, &action, nullptr);
  ::alarm(static_cast<unsigned>(std::ceil(request.timeLimit)) + kGraceSeconds);

  GrabOptions options;
  options.maxSize = request.size;  // converted once, straight to that size
  options.timeLimit = std::chrono::milliseconds(std::llround(request.timeLimit * 1000));
  GrabResult grab = GrabRepresentativeFrame(path, options);
  ::alarm(0);
  if (!grab.ok) return NoThumbnail(request.input, grab.error);

  const GrabbedFrame& frame = grab.frame;
  const QImage picture =
      QImage(frame.bgr.data(), frame.width, frame.height, frame.width * 3, QImage::Format_BGR888)
          .convertToFormat(QImage::Format_RGB888);

  // Written beside the output and renamed onto it: a file manager never
  // reads half a picture.
  QSaveFile file(QString::fromStdString(request.output));
  if (!file.open(QIODevice::WriteOnly))
    return NoThumbnail(request.input, "cannot write the output");
  QImageWriter writer(&file, "png");
  if (!writer.write(picture) || !file.commit()) {
    file.cancelWriting();
    return NoThumbnail(request.input, "cannot write the output");
  }
  return kExitWritten;
}

}  // namespace ombrelo::indexer
