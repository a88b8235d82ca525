// The index photo generator's timing and threads: a photo asked for while
// one is pending, pages drawn off the owner's thread, failures given to the
// movie, and pages that never become ready.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "index_photo_fixture.h"
#include "platform/paths.h"
#include "render/html_renderer.h"
#include "render/html_view.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::FileExists;
using testing::IndexPhotoTest;
using testing::MakePhoto;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::TestHost;
using testing::WriteFileBytes;

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
  EXPECT_TRUE(PumpEventsUntil([&] { return !FileExists(host_.pages[0]); }));

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

}  // namespace
}  // namespace ombrelo
