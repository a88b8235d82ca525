#include "render/index_photo.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QObject>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "html_test_support.h"
#include "imaging/bitmap_header.h"
#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/paths.h"
#include "render/html_renderer.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::EnsureGuiApplication;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;

bool Exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }

// The owner of the generator as the main window would be: posts the poll to
// its event loop and keeps what the generator tells it.
class TestHost : public IndexPhotoHost {
 public:
  explicit TestHost(std::string temporaryFolder) : temporaryFolder_(std::move(temporaryFolder)) {}

  std::string TemporaryFolder() override { return temporaryFolder_; }
  bool GeneratePage(const std::string& page, const std::string& stylesheet) override {
    pages.push_back(page);
    stylesheets.push_back(stylesheet);
    return writePage && writePage(page);
  }
  void CopyCompanionFolder(const std::string& stylesheet, const std::string& folder) override {
    companionCopies.emplace_back(stylesheet, folder);
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
  }

  IndexPhotoGenerator* generator = nullptr;
  bool postToEventLoop = true;
  std::function<bool(const std::string& page)> writePage;
  std::vector<std::string> pages;
  std::vector<std::string> stylesheets;
  std::vector<std::pair<std::string, std::string>> companionCopies;
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

// The layout of the index page below, as an index template writes it: a
// header of fixed height, then a table with three thumbnails per row, each
// with a caption line under it.
constexpr int kHeader = 40;
constexpr int kThumbWidth = 160;
constexpr int kThumbHeight = 120;
constexpr int kCaption = 20;
const QColor kThumbColours[] = {QColor(220, 40, 40),  QColor(40, 180, 60),  QColor(50, 70, 220),
                                QColor(230, 200, 30), QColor(160, 50, 200), QColor(30, 190, 200),
                                QColor(250, 130, 20)};

TEST_F(IndexPhotoTest, IndexPageWithThumbnailsBecomesAJpegOfThePageSize) {
  // Thumbnails in their own folder, with a blank and a "#" in its name; the
  // page refers to them relative to the temporary folder.
  const std::string thumbs = out_ / "Thumbs/My clip #2/";
  ASSERT_TRUE(paths::CreateFolders(thumbs));
  std::vector<std::string> thumbNames;
  for (int i = 0; i < 7; ++i) {
    const std::string name = "My_clip_0h00m0" + std::to_string(i) + ".000s.jpg";
    ASSERT_TRUE(WriteThumbnail(thumbs + name, 320, 240, kThumbColours[i]));
    thumbNames.push_back(name);
  }
  host_.writePage = [&](const std::string& page) {
    std::string rows;
    for (size_t i = 0; i < thumbNames.size(); ++i) {
      if (i % 3 == 0) rows += "<tr>";
      // The thumbnail path as templates write it: a file URL with escapes.
      rows += "<td><img src=\"file://" + out_.Path() + "Thumbs/My%20clip%20%232/" + thumbNames[i] +
              "\" width=\"160\" height=\"120\"><div class=\"cap\">" + std::to_string(i) +
              "</div></td>";
      if (i % 3 == 2 || i + 1 == thumbNames.size()) rows += "</tr>";
    }
    return WriteFileBytes(
        page,
        "<html><head><title>clip.avi</title><style>"
        "body { margin: 0; background: #ffffff; font-family: sans-serif; font-size: 12px }"
        "div.head { height: 40px; overflow: hidden; background: #202020; color: #ffffff }"
        "table { border-collapse: collapse; border-spacing: 0 }"
        "td { padding: 0; vertical-align: top }"
        "img { display: block }"
        "div.cap { height: 20px; overflow: hidden; text-align: center }"
        "</style></head><body><div class=\"head\">clip.avi - 0:01:00.000</div>"
        "<table cellspacing=\"0\" cellpadding=\"0\">" +
            rows + "</table></body></html>");
  };

  DebugCapture debug;
  const std::string output = out_ / "Index/clip.jpg";
  generator_.Generate(7, output, 320, 256, 90, "index_transform.xslt");
  ASSERT_TRUE(generator_.Pending());
  ASSERT_TRUE(Finished());

  EXPECT_EQ(host_.errors, (std::vector<std::pair<int32_t, std::string>>{}));
  EXPECT_EQ(host_.finished, (std::vector<std::pair<int32_t, bool>>{{7, true}}));
  EXPECT_EQ(host_.stylesheets, std::vector<std::string>{"templates/index/index_transform.xslt"});
  ASSERT_EQ(host_.pages.size(), 1u);
  EXPECT_FALSE(Exists(host_.pages[0])) << "the temporary page is deleted";
  EXPECT_EQ(host_.companionCopies, (std::vector<std::pair<std::string, std::string>>{
                                       {"templates/index/index_transform.xslt", temp_.Path()}}));
  EXPECT_TRUE(debug.Contains("Navigate\n"));

  QImage photo;
  ASSERT_TRUE(photo.load(QString::fromStdString(output), "JPEG"));
  // Three thumbnails wide, three rows high: larger than the 320 x 256 window
  // both ways, so the photo was drawn by tiles.
  ASSERT_EQ(photo.size(), QSize(3 * kThumbWidth, kHeader + 3 * (kThumbHeight + kCaption)));
  EXPECT_TRUE(Near(photo.pixel(300, 20), QColor(0x20, 0x20, 0x20), 16)) << "header";
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(::testing::Message() << "thumbnail " << i);
    const int left = (i % 3) * kThumbWidth;
    const int top = kHeader + (i / 3) * (kThumbHeight + kCaption);
    // Inside: the thumbnail's colour; at its edge: the darker frame, scaled
    // to half; under it: the caption's white.
    EXPECT_TRUE(Near(photo.pixel(left + 80, top + 60), kThumbColours[i], 20));
    EXPECT_TRUE(Near(photo.pixel(left + 20, top + 100), kThumbColours[i], 20));
    EXPECT_TRUE(Near(photo.pixel(left + 1, top + 60), kThumbColours[i].darker(300), 40));
    EXPECT_TRUE(Near(photo.pixel(left + 3, top + kThumbHeight + 17), Qt::white, 20));
  }
  // Where the eighth and ninth thumbnails would be, the page is empty.
  EXPECT_TRUE(Near(photo.pixel(kThumbWidth + 80, kHeader + 2 * 140 + 60), Qt::white, 8));
  EXPECT_TRUE(Near(photo.pixel(2 * kThumbWidth + 80, kHeader + 2 * 140 + 60), Qt::white, 8));
}

TEST_F(IndexPhotoTest, APhotoAskedForWhileOneIsPendingFollowsIt) {
  host_.writePage = SimplePage();
  const std::string first = out_ / "one.jpg";
  const std::string second = out_ / "two.jpg";
  generator_.Generate(1, first, 320, 256, 85, "index_transform.xslt");
  generator_.Generate(2, second, 640, 480, 85, "index_transform.xslt");
  EXPECT_EQ(host_.pollsPosted, 1) << "the second photo waits without a poll of its own";
  ASSERT_TRUE(Finished());
  EXPECT_EQ(host_.finished, (std::vector<std::pair<int32_t, bool>>{{1, true}, {2, true}}));

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
  EXPECT_TRUE(Exists(first));
}

TEST_F(IndexPhotoTest, FailuresAreGivenToTheMovie) {
  DebugCapture debug;

  // The page cannot be generated.
  host_.writePage = nullptr;
  generator_.Generate(3, out_ / "a.jpg", 320, 256, 85, "broken.xslt");
  EXPECT_TRUE(debug.Contains("Failed to generate html\n"));
  EXPECT_FALSE(generator_.Pending());
  EXPECT_EQ(host_.pollsPosted, 0);
  EXPECT_TRUE(host_.companionCopies.empty());

  // The page was "generated" but there is no file to load.
  host_.writePage = [](const std::string&) { return true; };
  generator_.Generate(4, out_ / "b.jpg", 320, 256, 85, "index_transform.xslt");
  ASSERT_TRUE(Finished());

  // The JPEG cannot be written: its path is a folder.
  host_.writePage = SimplePage();
  const std::string folderPath = out_ / "c.jpg";
  ASSERT_TRUE(paths::CreateFolders(folderPath));
  generator_.Generate(5, folderPath, 320, 256, 85, "index_transform.xslt");
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
  generator_.Generate(6, output, 320, 256, 85, "index_transform.xslt");
  EXPECT_EQ(host_.pollsPosted, 1);

  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, 2) << "not ready: the poll posts itself again";
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
  EXPECT_FALSE(Exists(output));
  EXPECT_FALSE(Exists(host_.pages[0]));

  // A poll with nothing pending does nothing, even when the page arrives.
  const int polls = host_.pollsPosted;
  testing::PumpEvents();
  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, polls);
  EXPECT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(host_.finished.size(), 1u);
}

TEST_F(IndexPhotoTest, NoOutputPathNoPhotoAndMissingFoldersAreCreated) {
  host_.writePage = SimplePage();
  generator_.Generate(8, "", 320, 256, 85, "index_transform.xslt");
  EXPECT_TRUE(host_.pages.empty());
  EXPECT_FALSE(generator_.Pending());
  generator_.Poll();
  EXPECT_EQ(host_.pollsPosted, 0);

  const std::string output = out_ / "deep/er/folder/photo.jpg";
  generator_.Generate(9, output, 320, 256, 85, "index_transform.xslt");
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(Exists(output));
  EXPECT_TRUE(host_.errors.empty());
}

}  // namespace
}  // namespace ombrelo
