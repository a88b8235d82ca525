#include "render/html_renderer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "html_test_support.h"
#include "platform/debug_output.h"
#include "render/html_view.h"
#include "support/debug_capture.h"
#include "support/recording_message_port.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;

TEST(PlanTiles, PageOf1000x700InA320x256Window) {
  const std::vector<TileStep> steps = PlanTiles(320, 256, 1000, 700);
  ASSERT_EQ(steps.size(), 12u);
  const int tops[] = {0, 256, 512};
  const int heights[] = {256, 256, 188};
  const int sourceYs[] = {0, 0, 68};
  const int lefts[] = {0, 320, 640, 960};
  const int widths[] = {320, 320, 320, 40};
  const int sourceXs[] = {0, 0, 0, 280};
  for (int band = 0; band < 3; ++band) {
    for (int column = 0; column < 4; ++column) {
      SCOPED_TRACE(::testing::Message() << "band " << band << " column " << column);
      const TileStep& step = steps[band * 4 + column];
      EXPECT_EQ(step, (TileStep{lefts[column], tops[band], sourceXs[column], sourceYs[band],
                                widths[column], heights[band]}));
    }
  }
}

TEST(PlanTiles, StepsCoverThePageOnceAndStayInsideTheTile) {
  struct Case {
    int tileWidth, tileHeight, totalWidth, totalHeight;
  };
  const Case cases[] = {
      {320, 256, 320, 256},  // fits: one step
      {320, 256, 321, 256},  // one pixel too wide
      {320, 256, 640, 512},  // exact multiples: no offsets
      {100, 80, 1003, 799}, {7, 5, 23, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.tileWidth << "x" << c.tileHeight << " over "
                                      << c.totalWidth << "x" << c.totalHeight);
    std::vector<int> covered(static_cast<size_t>(c.totalWidth) * c.totalHeight, 0);
    for (const TileStep& s : PlanTiles(c.tileWidth, c.tileHeight, c.totalWidth, c.totalHeight)) {
      ASSERT_GE(s.sourceX, 0);
      ASSERT_GE(s.sourceY, 0);
      ASSERT_LE(s.sourceX + s.width, c.tileWidth);
      ASSERT_LE(s.sourceY + s.height, c.tileHeight);
      // The view clamps the scroll position: the tile then shows the page
      // from (total - tile), and the source offset must point at "left".
      const int shownLeft = std::min(s.left, c.totalWidth - c.tileWidth);
      const int shownTop = std::min(s.top, c.totalHeight - c.tileHeight);
      EXPECT_EQ(shownLeft + s.sourceX, s.left);
      EXPECT_EQ(shownTop + s.sourceY, s.top);
      for (int y = s.top; y < s.top + s.height; ++y)
        for (int x = s.left; x < s.left + s.width; ++x) ++covered[y * c.totalWidth + x];
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), static_cast<long>(covered.size()));
  }
  EXPECT_TRUE(PlanTiles(0, 256, 100, 100).empty());
  EXPECT_TRUE(PlanTiles(320, 256, 0, 100).empty());
}

class HtmlRendererTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  std::string Page(const std::string& name, const std::string& html) {
    const std::string path = folder_ / name;
    EXPECT_TRUE(WriteFileBytes(path, html));
    return path;
  }

  // A page of the given size made of four coloured quarters.
  std::string QuarteredPage(const std::string& name, int width, int height) {
    const int w = width / 2, h = height / 2;
    auto quarter = [](int x, int y, int qw, int qh, const char* colour) {
      return "<div style=\"position:absolute; left:" + std::to_string(x) +
             "px; top:" + std::to_string(y) + "px; width:" + std::to_string(qw) +
             "px; height:" + std::to_string(qh) + "px; background:" + colour + "\"></div>";
    };
    return Page(name, "<html><body style=\"margin:0\"><div style=\"width:" + std::to_string(width) +
                          "px; height:" + std::to_string(height) + "px\"></div>" +
                          quarter(0, 0, w, h, "#ff0000") + quarter(w, 0, width - w, h, "#00ff00") +
                          quarter(0, h, w, height - h, "#0000ff") +
                          quarter(w, h, width - w, height - h, "#ffff00") + "</body></html>");
  }

  static bool LoadedInto(HtmlRenderer& renderer) {
    return PumpEventsUntil([&] { return !renderer.View().Busy(); });
  }

  uint64_t now_ = 1000;
  TickSource ticks_ = [this] { return now_; };
  TempFolder folder_{"htmlrenderer"};
};

TEST_F(HtmlRendererTest, BlankDocumentAndPagesOfAnotherNameAreNotReady) {
  const std::string first = Page("tmphtmltoimage1.html", "<body>first</body>");
  const std::string second = Page("tmphtmltoimage2.html", "<body>second</body>");
  DebugCapture debug;
  HtmlRenderer renderer(320, 256, ticks_);

  renderer.Navigate(first, folder_ / "out.jpg", 85);
  EXPECT_EQ(renderer.NavigationStart(), 1000u);
  // Still "about:blank": not ready, before and after the download wait.
  EXPECT_FALSE(renderer.IsReady());
  now_ += HtmlRenderer::kDownloadWaitMs;
  EXPECT_FALSE(renderer.IsReady());
  EXPECT_FALSE(debug.Contains("Navigate timed out\n"));
  now_ += 1;
  EXPECT_FALSE(renderer.IsReady());
  EXPECT_TRUE(debug.Contains("Navigate timed out\n"));

  ASSERT_TRUE(LoadedInto(renderer));
  EXPECT_TRUE(renderer.IsReady());

  // The next page: the view is idle and still shows the first page, whose
  // name differs only in its number.
  renderer.Navigate(second, folder_ / "out2.jpg", 85);
  EXPECT_FALSE(renderer.IsReady());
  now_ += 2 * HtmlRenderer::kDownloadWaitMs;
  EXPECT_FALSE(renderer.IsReady());
  ASSERT_TRUE(LoadedInto(renderer));
  EXPECT_TRUE(renderer.IsReady());

  const std::vector<std::string> expectedStart = {"Navigate\n", "DISPID_BEFORENAVIGATE2\n"};
  const std::vector<std::string> lines = debug.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 2), expectedStart);
  EXPECT_TRUE(debug.Contains("Browser Busy\n"));
  EXPECT_TRUE(debug.Contains("Browser Idle\n"));
  EXPECT_TRUE(debug.Contains("DISPID_NAVIGATECOMPLETE2\n"));
  EXPECT_TRUE(debug.Contains("DISPID_DOCUMENTCOMPLETE\n"));
}

TEST_F(HtmlRendererTest, WaitsForPicturesBeforeItIsReady) {
  testing::WriteFramedPicture(folder_ / "p.jpg", 30, 30, Qt::red);
  const std::string page = Page("pictures.html", "<body><img src=\"p.jpg\"></body>");
  HtmlRenderer renderer(320, 256, ticks_);
  // Ask for readiness at the moments the renderer reports: when the page
  // has arrived (its picture is still loading) and when all is complete.
  std::vector<std::pair<std::string, bool>> answers;
  const DebugSink previous = SetDebugSink([&](std::string_view text) {
    if (text == "DISPID_NAVIGATECOMPLETE2\n" || text == "DISPID_DOCUMENTCOMPLETE\n")
      answers.emplace_back(std::string(text), renderer.IsReady());
  });
  renderer.Navigate(page, folder_ / "out.jpg", 85);
  const bool loaded = LoadedInto(renderer);
  SetDebugSink(previous);
  ASSERT_TRUE(loaded);
  const std::vector<std::pair<std::string, bool>> expected = {{"DISPID_NAVIGATECOMPLETE2\n", false},
                                                              {"DISPID_DOCUMENTCOMPLETE\n", true}};
  EXPECT_EQ(answers, expected);
}

TEST_F(HtmlRendererTest, CapturesALargePageByTilesAndRestoresTheBody) {
  const std::string page = QuarteredPage("big.html", 1000, 700);
  const std::string output = folder_ / "big photo.jpg";
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(page, output, 90);
  ASSERT_TRUE(LoadedInto(renderer));
  renderer.View().SetBodyAttribute("scroll", "yes");
  renderer.View().SetScrollLeft(100);
  renderer.View().SetScrollTop(50);

  renderer.Capture();
  EXPECT_EQ(renderer.ErrorText(), "");
  EXPECT_EQ(renderer.View().BodyAttribute("scroll"), "yes");
  EXPECT_EQ(renderer.View().ScrollLeft(), 100);
  EXPECT_EQ(renderer.View().ScrollTop(), 50);

  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  ASSERT_EQ(photo.size(), QSize(1000, 700));
  // Each quarter in its place, including the clamped last band and column.
  EXPECT_TRUE(Near(photo.pixel(10, 10), Qt::red, 24));
  EXPECT_TRUE(Near(photo.pixel(480, 330), Qt::red, 24));
  EXPECT_TRUE(Near(photo.pixel(520, 10), Qt::green, 24));
  EXPECT_TRUE(Near(photo.pixel(990, 330), Qt::green, 24));
  EXPECT_TRUE(Near(photo.pixel(10, 690), Qt::blue, 24));
  EXPECT_TRUE(Near(photo.pixel(480, 370), Qt::blue, 24));
  EXPECT_TRUE(Near(photo.pixel(990, 690), Qt::yellow, 24));
  EXPECT_TRUE(Near(photo.pixel(970, 600), Qt::yellow, 24));
}

TEST_F(HtmlRendererTest, APageThatFitsIsDrawnOnceAtTheWindowSize) {
  const std::string page = QuarteredPage("small.html", 200, 100);
  const std::string output = folder_ / "small.jpg";
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(page, output, 90);
  ASSERT_TRUE(LoadedInto(renderer));
  renderer.Capture();
  EXPECT_EQ(renderer.ErrorText(), "");
  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  EXPECT_EQ(photo.size(), QSize(320, 256));
  EXPECT_TRUE(Near(photo.pixel(5, 5), Qt::red, 24));
  EXPECT_TRUE(Near(photo.pixel(195, 95), Qt::yellow, 24));
  EXPECT_TRUE(Near(photo.pixel(300, 200), Qt::white, 8));
}

TEST_F(HtmlRendererTest, CaptureDoesNothingBeforeThePageIsReady) {
  const std::string page = QuarteredPage("later.html", 200, 100);
  const std::string output = folder_ / "later.jpg";
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(page, output, 90);
  renderer.Capture();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(output)));
  EXPECT_EQ(renderer.ErrorText(), "");
}

TEST_F(HtmlRendererTest, FailuresGoToTheErrorText) {
  HtmlRenderer renderer(320, 256, ticks_);

  // The output folder does not exist (the renderer does not create it).
  const std::string page = QuarteredPage("page.html", 100, 100);
  const std::string unwritable = folder_ / "no such folder/photo.jpg";
  renderer.Navigate(page, unwritable, 85);
  ASSERT_TRUE(LoadedInto(renderer));
  renderer.Capture();
  EXPECT_EQ(renderer.ErrorText(),
            "Failed to save jpeg image '" + unwritable + "' of size 320x256 - Code: 2\n");

  // A page far too large to hold in memory: no file, and the movie is told.
  const std::string huge =
      Page("huge.html",
           "<html><body style=\"margin:0\"><div style=\"width:600000000px; height:10px\">"
           "</div></body></html>");
  const std::string output = folder_ / "huge.jpg";
  testing::RecordingMessagePort messages;
  renderer.Navigate(huge, output, 85);
  EXPECT_EQ(renderer.ErrorText(), "") << "Navigate clears the error text";
  ASSERT_TRUE(LoadedInto(renderer));
  renderer.Capture();
  const std::string text =
      "Fatal error. We are out of memory. Failed to create a 600000000x256 image";
  EXPECT_EQ(renderer.ErrorText(), text + "\n");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "Out of memory");
  EXPECT_EQ(messages.shown[0].text, text);
  EXPECT_EQ(messages.shown[0].owner, MessageOwner::none);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(output)));
}

TEST_F(HtmlRendererTest, AMissingPageFailsItsNavigation) {
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(folder_ / "tmphtmltoimage9.html", folder_ / "x.jpg", 85);
  EXPECT_FALSE(renderer.NavigationFailed());
  ASSERT_TRUE(LoadedInto(renderer));
  EXPECT_TRUE(renderer.NavigationFailed());

  renderer.Navigate(QuarteredPage("fine.html", 10, 10), folder_ / "x.jpg", 85);
  EXPECT_FALSE(renderer.NavigationFailed());
  ASSERT_TRUE(LoadedInto(renderer));
  EXPECT_FALSE(renderer.NavigationFailed());
  EXPECT_TRUE(renderer.IsReady());
}

}  // namespace
}  // namespace ombrelo
