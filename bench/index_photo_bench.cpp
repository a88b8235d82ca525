// ombrelo-index-photo-bench: peak memory and time of one index photo over many
// large thumbnails, the way an indexing run makes it (index template, XSLT,
// HTML layout, band-by-band drawing and JPEG encoding).
//
// For each thumbnail count it runs a child process of its own (so that the
// peak resident memory belongs to that photo alone) over thumbnails of a
// 1920 x 1080 movie shown at the given image scale. The goal: the peak does
// not grow with the number of thumbnails (600 thumbnails at scale 0.5 stay
// under 400 MB). It also gives the longest time the owner's event loop was
// held while the written page was loaded and drawn (goal: at most 16 ms,
// whatever the number of thumbnails).
//
// usage: ombrelo-index-photo-bench [--thumbnails N[,N...]] [--scale S]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/jpeg_writer.h"
#include "platform/data_folder.h"
#include "project/movie.h"
#include "project/project.h"
#include "render/index_photo.h"
#include "render/xslt_service.h"

namespace {

using namespace ombrelo;

#ifndef OMBRELO_SOURCE_DATA_DIR
#define OMBRELO_SOURCE_DATA_DIR "Data/"
#endif

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;

// A 1080p frame with detail everywhere (so that it is no cheaper to decode
// than a real one), written once; the thumbnails are links to it.
bool WriteFrame(const std::string& path) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kFrameWidth) * kFrameHeight * 3);
  uint32_t seed = 11;
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      uint8_t* p = pixels.data() + (static_cast<size_t>(y) * kFrameWidth + x) * 3;
      seed = seed * 1103515245 + 12345;
      p[0] = static_cast<uint8_t>(x / 8 + (seed >> 28));
      p[1] = static_cast<uint8_t>(y / 5);
      p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
    }
  }
  Picture picture;
  picture.pixels = pixels.data();
  picture.width = kFrameWidth;
  picture.height = kFrameHeight;
  picture.stride = kFrameWidth * 3;
  picture.bitsPerPixel = 24;
  picture.redShift = 16;
  picture.greenShift = 8;
  picture.redBits = picture.greenBits = picture.blueBits = 8;
  return SaveJPG(picture, path, 85, false);
}

// The owner of the generator: the project and its XSLT service, polls
// through the event loop.
class BenchHost : public ProjectIndexPhotoHost {
 public:
  BenchHost(CProject& project, std::string temporary)
      : ProjectIndexPhotoHost(project), temporary_(std::move(temporary)) {}
  std::string TemporaryFolder() override { return temporary_; }
  void PostPoll() override {
    QMetaObject::invokeMethod(
        &context_, [this] { generator->Poll(); }, Qt::QueuedConnection);
  }
  void IndexPhotoFinished(int32_t, bool ok) override {
    written = ok;
    done = true;
  }

  IndexPhotoGenerator* generator = nullptr;
  bool done = false;
  bool written = false;

 private:
  std::string temporary_;
  QObject context_;
};

// Makes one index photo; the exit status says whether it was written.
int MakePhoto(const std::string& folder, int thumbnails, float scale) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "ombrelo-index-photo-bench";
  static char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);

  CProject project(folder);
  project.SetImagescale(scale);
  project.AddMovie(folder + "movie.mp4");
  const int32_t id = project.Movies().back().id();
  project.UpdateMovie(id, [&](Movie& movie) {
    movie.videoFormat.biWidth = kFrameWidth;
    movie.videoFormat.biHeight = kFrameHeight;
    movie.SetLength(thumbnails * 10.0);
    for (int i = 0; i < thumbnails; ++i) {
      movie.AddImage(ImageEntry{folder + "thumbs/" + std::to_string(i) + ".jpg",
                                static_cast<uint32_t>(250 * i), 10.0 * i});
    }
  });

  BenchHost host(project, folder);
  IndexPhotoGenerator generator(host);
  host.generator = &generator;
  const std::string output = folder + "photo.jpg";
  // The page as the workflow makes it, then drawn.
  const std::string page = generator.NextPage();
  const std::string stylesheet = "templates/index/index_transform.xslt";
  if (!XsltService(project).GeneratePageForMovie(page, stylesheet, id, nullptr)) return 1;
  CopyCompanionFolder(stylesheet, folder);
  generator.RenderParts(id, {{page, output}}, 320, 256, 85);
  // Once the page is written (the workflow writes it off this thread), the
  // loop is probed every 2 ms while the page loads and is drawn.
  QElapsedTimer sinceTick;
  double longestGap = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
  });
  sinceTick.start();
  probe.start(2);
  while (!host.done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  probe.stop();
  const QSize size = QImageReader(QString::fromStdString(output)).size();
  const Movie& movie = *project.MovieById(id);
  std::printf("    photo %d x %d, event loop held at most %.0f ms%s%s", size.width(), size.height(),
              longestGap, movie.error.empty() ? "" : ", error: ", movie.error.c_str());
  std::fflush(stdout);
  return host.written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts = {60, 600};
  float scale = 0.5f;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--thumbnails") == 0) {
      counts.clear();
      for (char* part = std::strtok(argv[i + 1], ","); part; part = std::strtok(nullptr, ","))
        counts.push_back(std::atoi(part));
    } else if (std::strcmp(argv[i], "--scale") == 0) {
      scale = std::strtof(argv[i + 1], nullptr);
    }
  }

  char pattern[] = "/tmp/ombrelo-index-photo-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string folder = std::string(pattern) + "/";
  std::filesystem::create_directories(folder + "thumbs");
  if (!WriteFrame(folder + "frame.jpg")) return 1;
  int largest = 0;
  for (int count : counts) largest = std::max(largest, count);
  for (int i = 0; i < largest; ++i) {
    std::filesystem::create_hard_link(folder + "frame.jpg",
                                      folder + "thumbs/" + std::to_string(i) + ".jpg");
  }

  std::printf("index photo of %dx%d thumbnails at scale %.2f\n", kFrameWidth, kFrameHeight, scale);
  int status = 0;
  for (int count : counts) {
    std::printf("%5d thumbnails:", count);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) _exit(MakePhoto(folder, count, scale));
    int childStatus = 0;
    rusage usage{};
    wait4(child, &childStatus, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool ok = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0;
    std::printf("  %s, %.1f s, peak %.0f MB\n", ok ? "written" : "FAILED", seconds,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (!ok) status = 1;
  }
  std::filesystem::remove_all(folder);
  return status;
}
