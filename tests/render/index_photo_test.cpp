#include "render/index_photo.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "html_test_support.h"
#include "imaging/bitmap_header.h"
#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/project.h"
#include "render/html_renderer.h"
#include "render/html_view.h"
#include "render/xslt_service.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::FileExists;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;

// The owner of the generator as the main window would be: posts the poll to
// its event loop and keeps what the generator tells it.
class TestHost : public IndexPhotoHost {
 public:
  explicit TestHost(std::string temporaryFolder) : temporaryFolder_(std::move(temporaryFolder)) {}

  std::string TemporaryFolder() override { return temporaryFolder_; }
  // The page writer of a movie's photo: records the page and writes it
  // with writePage.
  std::function<bool(const std::string& page)> PageOf(int32_t movieId) {
    return [this, movieId](const std::string& page) {
      generatedFor.push_back(movieId);
      pages.push_back(page);
      return writePage && writePage(page);
    };
  }
  void PostPoll() override {
    ++pollsPosted;
    if (postToEventLoop) {
      // Queued on an object of ours, so that no poll outlives the test.
      QMetaObject::invokeMethod(
          &context_, [this] { generator->Poll(); }, Qt::QueuedConnection);
    }
  }
  void SetMovieError(int32_t movieId, const std::string& text) override {
    errors.emplace_back(movieId, text);
  }
  void IndexPhotoFinished(int32_t movieId, bool written) override {
    finished.emplace_back(movieId, written);
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
      reportedOffThread = true;
  }

  IndexPhotoGenerator* generator = nullptr;
  bool postToEventLoop = true;
  bool reportedOffThread = false;
  std::function<bool(const std::string& page)> writePage;
  std::vector<int32_t> generatedFor;
  std::vector<std::string> pages;
  std::vector<std::pair<int32_t, std::string>> errors;
  std::vector<std::pair<int32_t, bool>> finished;
  int pollsPosted = 0;

 private:
  std::string temporaryFolder_;
  QObject context_;
};

// A thumbnail as frame output writes it: a 24-bit bottom-up frame saved
// with SaveJPG. The picture is one colour with a darker frame of 4 pixels.
bool WriteThumbnail(const std::string& path, int width, int height, QColor colour) {
  const uint32_t rowBytes = BitmapRowBytes(24, width);
  std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool edge = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
      const QColor c = edge ? colour.darker(300) : colour;
      uint8_t* p = pixels.data() + static_cast<size_t>(y) * rowBytes + 3 * x;
      p[0] = static_cast<uint8_t>(c.blue());
      p[1] = static_cast<uint8_t>(c.green());
      p[2] = static_cast<uint8_t>(c.red());
    }
  }
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = 24;
  header.biSizeImage = rowBytes * height;
  const HeaderPicture picture = PictureFromBitmapHeader(header, {}, pixels.data());
  return SaveJPG(picture.picture, path, 85, true);
}

// The owner's part of a photo, as the workflow controller takes it: the page
// is written by write, then handed to the generator, or the photo fails.
void MakePhoto(IndexPhotoGenerator& generator, int32_t movieId, const std::string& output,
               int width, int height, int quality,
               const std::function<bool(const std::string& page)>& write) {
  const std::string page = generator.NextPage();
  if (write(page)) {
    generator.RenderParts(movieId, {{page, output}}, width, height, quality);
  } else {
    generator.PageFailed(movieId, output);
  }
}

// The page of the project's movie made with the index template, with the
// template's companion files beside it, as the run makes it.
std::function<bool(const std::string& page)> ProjectPage(const CProject& project, int32_t movieId,
                                                         const std::string& indexTemplate) {
  return [&project, movieId, indexTemplate](const std::string& page) {
    const std::string stylesheet = "templates/index/" + indexTemplate;
    if (!XsltService(project).GeneratePageForMovie(page, stylesheet, movieId, nullptr))
      return false;
    CopyCompanionFolder(stylesheet, paths::FolderOf(page));
    return true;
  };
}

class IndexPhotoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    host_.generator = &generator_;
  }

  // Runs the event loop until the pending photo has finished.
  bool Finished() {
    return PumpEventsUntil([&] { return !generator_.Pending(); });
  }

  // A page with a simple picture, for the tests that need any page.
  std::function<bool(const std::string&)> SimplePage() {
    return [](const std::string& page) {
      return WriteFileBytes(page, "<html><body style=\"background:#00ff00\"></body></html>");
    };
  }

  uint64_t now_ = 5000;
  TempFolder temp_{"indexphoto-tmp"};
  TempFolder out_{"indexphoto-out"};
  TestHost host_{temp_.Path()};
  IndexPhotoGenerator generator_{host_, [this] { return now_; }};
};

// The owner as the desktop program has it: the open project and the XSLT
// service behind the page, polls through the event loop.
class ProjectHost : public ProjectIndexPhotoHost {
 public:
  ProjectHost(std::string temporaryFolder, CProject& project)
      : ProjectIndexPhotoHost(project), temporaryFolder_(std::move(temporaryFolder)) {}
  std::string TemporaryFolder() override { return temporaryFolder_; }
  void PostPoll() override {
    QMetaObject::invokeMethod(
        &context_, [this] { generator->Poll(); }, Qt::QueuedConnection);
  }
  void IndexPhotoFinished(int32_t movieId, bool written) override {
    finished.emplace_back(movieId, written);
  }

  IndexPhotoGenerator* generator = nullptr;
  std::vector<std::pair<int32_t, bool>> finished;

 private:
  std::string temporaryFolder_;
  QObject context_;
};

// Puts the open project and the data folder back as they were.
class ProjectState {
 public:
  ProjectState() : scale_(CProject::Instance().Output().imagescale) {
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    CProject::Instance().ClearMovies();
  }
  ~ProjectState() {
    CProject::Instance().ClearMovies();
    CProject::Instance().SetImagescale(scale_);
    SetApplicationDataFolder("");
  }

 private:
  float scale_;
};

const QColor kThumbColours[] = {QColor(220, 40, 40),  QColor(40, 180, 60),  QColor(50, 70, 220),
                                QColor(230, 200, 30), QColor(160, 50, 200), QColor(30, 190, 200),
                                QColor(250, 130, 20)};

// The first row from the top on column x whose pixel is near the colour;
// -1 when there is none.
int FirstRowNear(const QImage& image, int x, QColor colour) {
  for (int y = 0; y < image.height(); ++y)
    if (Near(image.pixel(x, y), colour, 30)) return y;
  return -1;
}

// The box of a picture on the white of its cell: from a point inside it,
// as far as the pixels are not white, left and right on row y, up and down
// on column x. Right and bottom are exclusive.
QRect PictureAround(const QImage& image, int x, int y) {
  auto white = [&](int px, int py) { return Near(image.pixel(px, py), Qt::white, 24); };
  int left = x, right = x, top = y, bottom = y;
  while (left > 0 && !white(left - 1, y)) --left;
  while (right < image.width() && !white(right, y)) ++right;
  while (top > 0 && !white(x, top - 1)) --top;
  while (bottom < image.height() && !white(x, bottom)) ++bottom;
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

TEST_F(IndexPhotoTest, IndexTemplateWithThumbnailsBecomesAJpegOfThePageSize) {
  ProjectState state;
  CProject& project = CProject::Instance();
  project.SetImagescale(0.5f);  // 320 x 240 frames, thumbnails shown at 160 x 120

  // A movie with seven thumbnails as frame output leaves them: in a folder
  // named after the video, here with a blank and a "#" in its name.
  project.AddMovie(out_ / "My clip #2.avi");
  const int32_t id = project.Movies().back().id();
  project.UpdateMovie(id, [](Movie& movie) {
    movie.videoFormat.biWidth = 320;
    movie.videoFormat.biHeight = 240;
    movie.SetLength(60.0);
    movie.SetSize(12345);
  });
  const std::string thumbs = out_ / "Thumbs/My clip #2/";
  ASSERT_TRUE(paths::CreateFolders(thumbs));
  for (int i = 0; i < 7; ++i) {
    const std::string path = thumbs + "My_clip_0h00m0" + std::to_string(i) + ".000s.jpg";
    ASSERT_TRUE(WriteThumbnail(path, 320, 240, kThumbColours[i]));
    project.RecordImage(id,
                        ImageEntry{path, static_cast<uint32_t>(25 * i), static_cast<double>(i)});
  }

  ProjectHost host(temp_.Path(), project);
  IndexPhotoGenerator generator(host);
  host.generator = &generator;
  DebugCapture debug;
  const std::string output = out_ / "Index/My clip #2.jpg";
  MakePhoto(generator, id, output, 320, 256, 90, ProjectPage(project, id, "index_transform.xslt"));
  ASSERT_TRUE(generator.Pending());
  ASSERT_TRUE(PumpEventsUntil([&] { return !generator.Pending(); }));

  EXPECT_EQ(project.FindMovie(id)->error, "");
  EXPECT_EQ(host.finished, (std::vector<std::pair<int32_t, bool>>{{id, true}}));
  EXPECT_TRUE(debug.Contains("Navigate\n"));
  EXPECT_FALSE(debug.Contains("DISPID_NAVIGATEERROR\n"));

  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  // The template's sheet: three cells a row, each 160 wide plus padding 8
  // and border 1 on both sides, 10 pixels between cells and at the edges.
  constexpr int kPitchX = 160 + 18 + 10;
  EXPECT_EQ(photo.width(), 3 * kPitchX + 10);
  ASSERT_GT(photo.height(), 256) << "larger than the window both ways: drawn by tiles";

  // Every thumbnail at the size of the settings, three to a row, on a grid
  // with the template's column and row pitch.
  std::vector<QRect> boxes;
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(::testing::Message() << "thumbnail " << i);
    const int x = 10 + (i % 3) * kPitchX + 9 + 80;
    const int inside = FirstRowNear(photo, x, kThumbColours[i]);
    ASSERT_GE(inside, 0);
    const QRect box = PictureAround(photo, x, inside + 10);
    EXPECT_EQ(box.size(), QSize(160, 120));
    EXPECT_EQ(box.left(), 10 + (i % 3) * kPitchX + 9);
    // Its frame, darker, and its colour inside (the frame of 4 pixels is 2
    // at half size).
    EXPECT_TRUE(Near(photo.pixel(box.center().x(), box.top()), kThumbColours[i].darker(300), 50));
    EXPECT_TRUE(Near(photo.pixel(box.center().x(), box.top() + 6), kThumbColours[i], 30));
    boxes.push_back(box);
  }
  ASSERT_EQ(boxes.size(), 7u);
  const int top0 = boxes[0].top();
  EXPECT_GT(top0, 40) << "the thumbnails lie under the header";
  const int rowPitch = boxes[3].top() - top0;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(boxes[i].top(), top0 + (i / 3) * rowPitch) << i;
  // A row: border 1, padding 8, the picture, the time line (5 + 18),
  // padding 6, border 1, and the gap of 10 to the next row.
  EXPECT_EQ(rowPitch, 1 + 8 + 120 + 5 + 18 + 6 + 1 + 10);
  // The page ends with the last row's cell and the gap under it.
  EXPECT_EQ(photo.height(), top0 - 9 + 3 * rowPitch);
}

// The runs of thumbnail colour along a line of the photo (a row when
// horizontal, else a column), at least 3 pixels long: {centre, colour index}.
std::vector<std::pair<int, int>> ThumbRuns(const QImage& photo, bool horizontal, int at) {
  const int length = horizontal ? photo.width() : photo.height();
  std::vector<std::pair<int, int>> runs;
  int start = 0, colour = -1;
  for (int i = 0; i <= length; ++i) {
    int found = -1;
    if (i < length) {
      const QRgb p = horizontal ? photo.pixel(i, at) : photo.pixel(at, i);
      for (int c = 0; c < 7 && found < 0; ++c)
        if (Near(p, kThumbColours[c], 30)) found = c;
    }
    if (found == colour) continue;
    if (colour >= 0 && i - start >= 3) runs.emplace_back((start + i) / 2, colour);
    start = i;
    colour = found;
  }
  return runs;
}

TEST_F(IndexPhotoTest, SixHundredThumbnailsAllAppearInAPhotoOfAtMost16384PixelsASide) {
  ProjectState state;
  CProject& project = CProject::Instance();
  project.SetImagescale(0.5f);
  project.AddMovie(out_ / "long.avi");
  const int32_t id = project.Movies().back().id();
  project.UpdateMovie(id, [](Movie& movie) {
    movie.videoFormat.biWidth = 320;
    movie.videoFormat.biHeight = 240;
    movie.SetLength(600.0);
  });
  // Thumbnail i in colour i % 6; the last one alone in the seventh colour.
  constexpr int kCount = 600;
  ASSERT_TRUE(paths::CreateFolders(out_ / "Thumbs"));
  for (int i = 0; i < kCount; ++i) {
    const std::string path = out_ / ("Thumbs/long_" + std::to_string(i) + ".jpg");
    ASSERT_TRUE(WriteThumbnail(path, 160, 120, kThumbColours[i == kCount - 1 ? 6 : i % 6]));
    project.RecordImage(id,
                        ImageEntry{path, static_cast<uint32_t>(25 * i), static_cast<double>(i)});
  }
  ProjectHost host(temp_.Path(), project);
  IndexPhotoGenerator generator(host);
  host.generator = &generator;

  // The shipped sheet (three to a row, 200 rows: far taller than the limit,
  // drawn reduced) and the grid that shapes itself to the count.
  for (const char* name : {"index_transform.xslt", "index_grid.xslt"}) {
    SCOPED_TRACE(name);
    const std::string output = out_ / (std::string("Index/") + name + ".jpg");
    MakePhoto(generator, id, output, 320, 256, 90, ProjectPage(project, id, name));
    ASSERT_TRUE(PumpEventsUntil([&] { return !generator.Pending(); }));
    ASSERT_EQ(project.FindMovie(id)->error, "");

    QImage photo;
    ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
    EXPECT_LE(photo.width(), 16384);
    EXPECT_LE(photo.height(), 16384);

    // The first thumbnail from the top, its column and its row.
    int y = 0;
    std::vector<std::pair<int, int>> row;
    for (; y < photo.height() && row.empty(); y += 2) row = ThumbRuns(photo, true, y);
    ASSERT_FALSE(row.empty());
    const std::vector<std::pair<int, int>> column = ThumbRuns(photo, false, row[0].first);
    ASSERT_FALSE(column.empty());
    const std::vector<std::pair<int, int>> columns = ThumbRuns(photo, true, column[0].first);
    const int perRow = static_cast<int>(columns.size());
    const int rows = static_cast<int>(column.size());
    ASSERT_GT(perRow, 0);
    // In order along the first row and down the first column, and as many
    // rows as 600 thumbnails need.
    for (int c = 0; c < perRow; ++c) EXPECT_EQ(columns[c].second, c % 6) << "column " << c;
    for (int r = 0; r + 1 < rows; ++r) EXPECT_EQ(column[r].second, r * perRow % 6) << "row " << r;
    EXPECT_EQ(rows, (kCount + perRow - 1) / perRow);
    // The last thumbnail is drawn where the grid puts it.
    const int last = kCount - 1;
    EXPECT_TRUE(
        Near(photo.pixel(columns[last % perRow].first, column.back().first), kThumbColours[6], 30));
    if (std::string(name) == "index_grid.xslt") {
      EXPECT_GT(perRow, 10) << "the grid follows the count";
      EXPECT_LT(photo.height(), photo.width());
    }
  }
}

TEST_F(IndexPhotoTest, APhotoAskedForWhileOneIsPendingFollowsIt) {
  host_.writePage = SimplePage();
  const std::string first = out_ / "one.jpg";
  const std::string second = out_ / "two.jpg";
  MakePhoto(generator_, 1, first, 320, 256, 85, host_.PageOf(1));
  MakePhoto(generator_, 2, second, 640, 480, 85, host_.PageOf(2));
  EXPECT_EQ(host_.pollsPosted, 1) << "the second photo waits without a poll of its own";
  ASSERT_TRUE(Finished());
  EXPECT_EQ(host_.finished, (std::vector<std::pair<int32_t, bool>>{{1, true}, {2, true}}));
  EXPECT_EQ(host_.generatedFor, (std::vector<int32_t>{1, 2}));

  // Both pages were generated at once, under consecutive names.
  ASSERT_EQ(host_.pages.size(), 2u);
  const std::string name1 = paths::FileName(host_.pages[0]);
  ASSERT_EQ(name1.rfind("tmphtmltoimage", 0), 0u);
  const int number = std::stoi(name1.substr(14));
  EXPECT_EQ(name1, "tmphtmltoimage" + std::to_string(number) + ".html");
  EXPECT_EQ(host_.pages[1], temp_ / ("tmphtmltoimage" + std::to_string(number + 1) + ".html"));

  // The renderer keeps the size of its creation.
  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(second), "JPEG"));
  EXPECT_EQ(photo.size(), QSize(320, 256));
  EXPECT_TRUE(Near(photo.pixel(100, 100), Qt::green, 16));
  EXPECT_TRUE(FileExists(first));
}

TEST(IndexPhotoDrawingTest, TheReadyPageIsDrawnOffTheOwnersThreadAndReportedOnIt) {
  EnsureGuiApplication();
  TempFolder temp("indexphoto-drawing");
  TestHost host(temp.Path());
  host.postToEventLoop = false;  // the polls are made by hand
  host.writePage = [](const std::string& page) {
    return WriteFileBytes(page, "<html><body style=\"background:#0000ff\"></body></html>");
  };
  const std::string first = temp / "first.jpg";
  const std::string second = temp / "second.jpg";
  {
    IndexPhotoGenerator generator(host);
    host.generator = &generator;
    const auto pageReady = [&] { return generator.Renderer()->IsReady(); };
    MakePhoto(generator, 3, first, 320, 256, 85, host.PageOf(3));
    MakePhoto(generator, 4, second, 320, 256, 85, host.PageOf(4));
    ASSERT_TRUE(PumpEventsUntil(pageReady));
    generator.Poll();
    EXPECT_TRUE(generator.Drawing());
    // A poll that comes while the page is drawn leaves the drawing alone.
    generator.Poll();
    ASSERT_TRUE(PumpEventsUntil([&] { return host.finished.size() == 1; }));
    EXPECT_EQ(host.finished[0], std::make_pair(int32_t{3}, true));
    EXPECT_FALSE(host.reportedOffThread);
    QImage photo;
    ASSERT_TRUE(photo.load(QString::fromStdString(first), "JPEG"));
    EXPECT_TRUE(Near(photo.pixel(10, 10), Qt::blue, 16));

    // The generator goes away while the second photo is drawn: the drawing
    // is let finish and its result dropped with the generator.
    ASSERT_TRUE(generator.Pending());
    ASSERT_TRUE(PumpEventsUntil(pageReady));
    generator.Poll();
    EXPECT_TRUE(generator.Drawing());
  }
  testing::PumpEvents();
  EXPECT_EQ(host.finished.size(), 1u);
  QImage photo;
  EXPECT_TRUE(photo.load(QString::fromStdString(second), "JPEG"));
}

TEST_F(IndexPhotoTest, FailuresAreGivenToTheMovie) {
  DebugCapture debug;

  // The page cannot be generated.
  host_.writePage = nullptr;
  MakePhoto(generator_, 3, out_ / "a.jpg", 320, 256, 85, host_.PageOf(3));
  EXPECT_TRUE(debug.Contains("Failed to generate html\n"));
  EXPECT_FALSE(generator_.Pending());
  EXPECT_EQ(host_.pollsPosted, 0);

  // The page was "generated" but there is no file to load.
  host_.writePage = [](const std::string&) { return true; };
  MakePhoto(generator_, 4, out_ / "b.jpg", 320, 256, 85, host_.PageOf(4));
  ASSERT_TRUE(Finished());

  // The JPEG cannot be written: its path is a folder.
  host_.writePage = SimplePage();
  const std::string folderPath = out_ / "c.jpg";
  ASSERT_TRUE(paths::CreateFolders(folderPath));
  MakePhoto(generator_, 5, folderPath, 320, 256, 85, host_.PageOf(5));
  ASSERT_TRUE(Finished());

  ASSERT_EQ(host_.errors.size(), 3u);
  EXPECT_EQ(host_.errors[0],
            std::make_pair(int32_t{3}, "Failed to generate the index photo page for '" +
                                           out_ / "a.jpg" + "'\n"));
  EXPECT_EQ(host_.errors[1],
            std::make_pair(int32_t{4}, "Failed to render index photo '" + out_ / "b.jpg" +
                                           "' - the page could not be loaded\n"));
  EXPECT_EQ(host_.errors[2].first, 5);
  EXPECT_EQ(host_.errors[2].second.rfind(
                "Failed to save jpeg image '" + folderPath + "' of size 320x256 - Code: ", 0),
            0u)
      << host_.errors[2].second;
  EXPECT_EQ(host_.finished,
            (std::vector<std::pair<int32_t, bool>>{{3, false}, {4, false}, {5, false}}));
}

TEST_F(IndexPhotoTest, PollingGivesUpOnAPageThatNeverBecomesReady) {
  // The polls are run by hand without the event loop, so the view never
  // gets to load the page and keeps showing "about:blank".
  host_.postToEventLoop = false;
  host_.writePage = SimplePage();
  DebugCapture debug;
  const std::string output = out_ / "never.jpg";
  MakePhoto(generator_, 6, output, 320, 256, 85, host_.PageOf(6));
  EXPECT_EQ(host_.pollsPosted, 1);

  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, 1) << "not ready: the poll waits, it does not post itself again";
  now_ += HtmlRenderer::kDownloadWaitMs + 1;
  generator_.Poll();
  EXPECT_TRUE(debug.Contains("Navigate timed out\n"));
  EXPECT_TRUE(generator_.Pending()) << "a blank document is not ready after the wait either";
  now_ += IndexPhotoGenerator::kGiveUpMs - HtmlRenderer::kDownloadWaitMs;
  generator_.Poll();
  EXPECT_FALSE(generator_.Pending());
  EXPECT_TRUE(debug.Contains("Index photo timed out\n"));
  EXPECT_EQ(
      host_.errors,
      (std::vector<std::pair<int32_t, std::string>>{
          {6, "Failed to render index photo '" + output + "' - the page did not become ready\n"}}));
  EXPECT_FALSE(FileExists(output));
  EXPECT_FALSE(FileExists(host_.pages[0]));

  // A poll with nothing pending does nothing, even when the page arrives.
  const int polls = host_.pollsPosted;
  testing::PumpEvents();
  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, polls);
  EXPECT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.finished.size(), 1u);
}

// The process's CPU time in milliseconds.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

TEST(IndexPhotoWaitTest, WaitingForAPageThatNeverBecomesReadyLetsTheEventLoopSleep) {
  EnsureGuiApplication();
  TempFolder temp("indexphoto-wait");
  TestHost host(temp.Path());
  // The real clock, with a short limit: the wait is measured, not faked.
  constexpr uint64_t kLimitMs = 400;
  IndexPhotoGenerator generator(host, SteadyTickCount, kLimitMs);
  host.generator = &generator;
  DebugCapture debug;

  // A view that shows the empty page is never ready.
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = CpuMs();
  generator.RenderParts(7, {{HtmlView::kBlankUrl, temp / "never.jpg"}}, 320, 256, 85);
  // The event loop blocks until something happens (a watchdog ends it).
  // The watchdog dies with the test: it must not fire into a later one.
  bool tooLong = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] { tooLong = true; });
  watchdog.start(10000);
  while (generator.Pending() && !tooLong) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ASSERT_FALSE(generator.Pending());
  const double cpu = CpuMs() - cpuStart;
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
          .count();

  EXPECT_TRUE(debug.Contains("Index photo timed out\n"));
  EXPECT_GE(wall, static_cast<double>(kLimitMs));
  EXPECT_LT(cpu, wall / 4) << "cpu " << cpu << " ms in " << wall << " ms";
  EXPECT_LE(host.pollsPosted, 4) << "the first poll, the loaded notice and the time limit";
}

TEST_F(IndexPhotoTest, NoPhotoNoPollAndMissingFoldersAreCreated) {
  host_.writePage = SimplePage();
  EXPECT_FALSE(generator_.Pending());
  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, 0);

  const std::string output = out_ / "deep/er/folder/photo.jpg";
  MakePhoto(generator_, 9, output, 320, 256, 85, host_.PageOf(9));
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(FileExists(output));
  EXPECT_TRUE(host_.errors.empty());
}

TEST_F(IndexPhotoTest, AnIndexTemplateDrawsTheMoviesThumbnailsButNoOtherPicture) {
  ProjectState state;
  TempFolder data("indexphoto-data");
  SetApplicationDataFolder(data.Path());
  TempFolder elsewhere("indexphoto-private");
  ASSERT_TRUE(WriteThumbnail(elsewhere / "private.jpg", 64, 48, QColor(230, 20, 20)));
  ASSERT_TRUE(paths::CreateFolders(data / "templates/index/"));
  ASSERT_TRUE(WriteFileBytes(
      data / "templates/index/peek.xslt",
      R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/><xsl:template match="/movie"><html><body style="margin:0">
<img src="file://)" +
          elsewhere / "private.jpg" +
          R"(" width="64" height="48"/><xsl:for-each select="entry">
<img src="{file}" width="64" height="48"/></xsl:for-each></body></html></xsl:template>
</xsl:stylesheet>)"));

  CProject& project = CProject::Instance();
  project.AddMovie(out_ / "clip.avi");
  const int32_t id = project.Movies().back().id();
  const std::string thumbnail = out_ / "Thumbs/clip.jpg";
  ASSERT_TRUE(paths::CreateFolders(out_ / "Thumbs"));
  ASSERT_TRUE(WriteThumbnail(thumbnail, 64, 48, QColor(20, 200, 40)));
  project.UpdateMovie(id, [&](Movie& m) { m.AddImage(ImageEntry{thumbnail, 1, 1.0}); });
  ProjectHost host(temp_.Path(), project);
  IndexPhotoGenerator generator(host);
  host.generator = &generator;
  DebugCapture debug;
  const std::string output = out_ / "Index/clip.jpg";
  MakePhoto(generator, id, output, 320, 256, 90, ProjectPage(project, id, "peek.xslt"));
  ASSERT_TRUE(PumpEventsUntil([&] { return !generator.Pending(); }));

  EXPECT_TRUE(debug.Contains("Page read refused: " + elsewhere / "private.jpg" +
                             ": outside the readable folders\n"))
      << debug.Text();
  EXPECT_FALSE(debug.Contains("Page read refused: " + thumbnail));
  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  int red = 0, green = 0;
  for (int y = 0; y < photo.height(); ++y) {
    for (int x = 0; x < photo.width(); ++x) {
      red += Near(photo.pixel(x, y), QColor(230, 20, 20), 50);
      green += Near(photo.pixel(x, y), QColor(20, 200, 40), 50);
    }
  }
  EXPECT_EQ(red, 0);
  EXPECT_GT(green, 1000);
}

}  // namespace
}  // namespace ombrelo

namespace ombrelo {
namespace {

TEST_F(IndexPhotoTest, APhotoInPartsIsDrawnPartByPartAndFinishedOnce) {
  const auto page = [&](const std::string& name, int height) {
    const std::string path = temp_ / name;
    EXPECT_TRUE(WriteFileBytes(path,
                               "<html><body style=\"margin:0\"><div style=\"width:300px;"
                               "height:" +
                                   std::to_string(height) +
                                   "px;background:#0000ff\"></div></body></html>"));
    return path;
  };
  const std::string first = page("part1.html", 500);
  const std::string second = page("part2.html", 700);
  generator_.RenderParts(7, {{first, out_ / "clip.jpg"}, {second, out_ / "clip-2.jpg"}}, 320, 256,
                         85);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(host_.finished, (std::vector<std::pair<int32_t, bool>>{{7, true}}));
  EXPECT_TRUE(host_.errors.empty());
  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(out_ / "clip.jpg"), "JPEG"));
  EXPECT_EQ(photo.height(), 500);
  ASSERT_TRUE(photo.load(QString::fromStdString(out_ / "clip-2.jpg"), "JPEG"));
  EXPECT_EQ(photo.height(), 700);
  EXPECT_FALSE(FileExists(first));
  EXPECT_FALSE(FileExists(second));

  // A part that fails ends the photo with its own error, once; the pages of
  // the parts after it go too.
  const std::string third = page("part3.html", 300);
  const std::string fourth = page("part4.html", 300);
  generator_.RenderParts(8,
                         {{third, out_ / "b.jpg"},
                          {temp_ / "missing.html", out_ / "b-2.jpg"},
                          {fourth, out_ / "b-3.jpg"}},
                         320, 256, 85);
  ASSERT_TRUE(Finished());
  EXPECT_EQ(host_.finished, (std::vector<std::pair<int32_t, bool>>{{7, true}, {8, false}}));
  EXPECT_EQ(host_.errors, (std::vector<std::pair<int32_t, std::string>>{
                              {8, "Failed to render index photo '" + out_ / "b-2.jpg" +
                                      "' - the page could not be loaded\n"}}));
  EXPECT_FALSE(FileExists(out_ / "b-3.jpg"));
  EXPECT_FALSE(FileExists(fourth));
}

TEST(IndexPhotoPartsTest, DenseRunsAreSplitIntoWholeRowsThatKeepTheirThumbnailsUseful) {
  // Two hours every second at 360 x 288 on the page, and fewer or smaller.
  const struct {
    size_t count;
    int width, height;
    bool split;
  } cases[] = {
      {7200, 360, 288, true}, {7200, 80, 60, true}, {300, 160, 120, true},
      {200, 160, 120, false}, {7200, 0, 0, false},  {0, 160, 120, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " of " + std::to_string(c.width));
    const auto parts = IndexPhotoParts(c.count, c.width, c.height);
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts.size() > 1, c.split);
    size_t next = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
      EXPECT_EQ(parts[k].first, next);
      if (c.count > 0) {
        EXPECT_GT(parts[k].second, parts[k].first);
      }
      if (k + 1 < parts.size()) {
        EXPECT_EQ((parts[k].second - parts[k].first) % 3, 0u);
        EXPECT_GE(parts[k].second - parts[k].first, parts.back().second - parts.back().first);
      }
      next = parts[k].second;
    }
    EXPECT_EQ(next, c.count);
  }
}

}  // namespace
}  // namespace ombrelo
