#include "render/html_renderer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "html_test_support.h"
#include "platform/debug_output.h"
#include "render/html_view.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;

// Draws the page once it is ready, as the index photo generator does (here
// on the test's thread).
void DrawReady(HtmlRenderer& renderer) {
  if (renderer.IsReady()) renderer.Draw();
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

  DrawReady(renderer);
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

TEST_F(HtmlRendererTest, APageLargerThanThePhotoLimitIsDrawnReducedInBands) {
  // 4000 x 80000 in a window 5000 wide: red down to row 40000, then blue, with a green line at the
  // very end. Reduced to 16384 rows the picture takes several bands.
  const std::string page =
      Page("tall.html",
           "<html><body style=\"margin:0\"><div style=\"width:4000px; height:40000px; "
           "background:#ff0000\"></div><div style=\"width:4000px; height:39900px; "
           "background:#0000ff\"></div><div style=\"width:4000px; height:100px; "
           "background:#00ff00\"></div></body></html>");
  const std::string output = folder_ / "tall.jpg";
  HtmlRenderer renderer(5000, 256, ticks_);
  renderer.Navigate(page, output, 90);
  ASSERT_TRUE(LoadedInto(renderer));
  DrawReady(renderer);
  ASSERT_EQ(renderer.ErrorText(), "");

  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  constexpr int kSide = HtmlRenderer::kMaxPhotoSide;
  const double scale = double{kSide} / 80000;
  ASSERT_EQ(photo.size(), QSize(static_cast<int>(5000 * scale), kSide));
  ASSERT_LT(HtmlRenderer::kBandBytes / (photo.width() * 4), kSide / 2) << "several bands";
  // No seam between the bands, the colours change where the page's do.
  const int bandRows = static_cast<int>(HtmlRenderer::kBandBytes / (photo.width() * 4));
  for (int y = 0; y < kSide; y += 97) {
    const QColor expected = y < 40000 * scale - 2                            ? QColor(Qt::red)
                            : y > 40000 * scale + 2 && y < 79900 * scale - 2 ? QColor(Qt::blue)
                            : y > 79900 * scale + 2                          ? QColor(Qt::green)
                                                                             : QColor();
    if (expected.isValid()) {
      ASSERT_TRUE(Near(photo.pixel(50, y), expected, 40)) << y;
    }
  }
  for (int y = bandRows - 1; y < 40000 * scale - 4; y += bandRows) {
    EXPECT_TRUE(Near(photo.pixel(50, y), Qt::red, 40)) << y;
    EXPECT_TRUE(Near(photo.pixel(50, y + 1), Qt::red, 40)) << y + 1;
  }
  EXPECT_TRUE(Near(photo.pixel(static_cast<int>(4500 * scale), 100), Qt::white, 16))
      << "the page's right edge stays";
}

TEST_F(HtmlRendererTest, APageOfTooManyPixelsIsDrawnReducedToThePixelLimit) {
  // 15000 x 12000 fits the side limit but holds 180 million pixels: red,
  // with a blue square in the bottom right corner.
  const std::string page =
      Page("wide.html",
           "<html><body style=\"margin:0; background:#ff0000\"><div style=\"width:15000px; "
           "height:12000px\"></div><div style=\"position:absolute; left:14000px; top:11000px; "
           "width:1000px; height:1000px; background:#0000ff\"></div></body></html>");
  const std::string output = folder_ / "wide.jpg";
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(page, output, 80);
  ASSERT_TRUE(LoadedInto(renderer));
  DrawReady(renderer);
  ASSERT_EQ(renderer.ErrorText(), "");
  // Read back at an eighth (whole, it would pass the reader's memory limit).
  QImageReader reader(QString::fromStdString(output));
  const QSize size = reader.size();
  EXPECT_LE(int64_t{size.width()} * size.height(), 120'000'000);
  EXPECT_GT(int64_t{size.width()} * size.height(), 119'000'000);
  EXPECT_NEAR(static_cast<double>(size.width()) / size.height(), 15000.0 / 12000, 0.001);
  reader.setScaledSize(size / 8);
  const QImage photo = reader.read();
  ASSERT_FALSE(photo.isNull());
  EXPECT_TRUE(Near(photo.pixel(photo.width() - 5, photo.height() - 5), Qt::blue, 40));
  EXPECT_TRUE(Near(photo.pixel(photo.width() / 2, photo.height() / 2), Qt::red, 40));
}

TEST_F(HtmlRendererTest, APageThatFitsIsDrawnOnceAtTheWindowSize) {
  const std::string page = QuarteredPage("small.html", 200, 100);
  const std::string output = folder_ / "small.jpg";
  HtmlRenderer renderer(320, 256, ticks_);
  renderer.Navigate(page, output, 90);
  ASSERT_TRUE(LoadedInto(renderer));
  DrawReady(renderer);
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
  DrawReady(renderer);
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
  DrawReady(renderer);
  EXPECT_EQ(renderer.ErrorText(),
            "Failed to save jpeg image '" + unwritable + "' of size 320x256 - Code: 2\n");

  // A page far too large to hold in memory: no file, and the movie is told.
  const std::string huge =
      Page("huge.html",
           "<html><body style=\"margin:0\"><div style=\"width:600000000px; height:10px\">"
           "</div></body></html>");
  const std::string output = folder_ / "huge.jpg";
  renderer.Navigate(huge, output, 85);
  EXPECT_EQ(renderer.ErrorText(), "") << "Navigate clears the error text";
  ASSERT_TRUE(LoadedInto(renderer));
  DrawReady(renderer);
  const std::string text =
      "Fatal error. We are out of memory. Failed to create a 600000000x256 image";
  EXPECT_EQ(renderer.ErrorText(), text + "\n");
  EXPECT_EQ(renderer.MemoryMessage(), text);
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
