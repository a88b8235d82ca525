// Index photos drawn from real pages and real thumbnails: what the index
// templates show, how large the photo is, and photos in parts.
#include "render/index_photo.h"

#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/bitmap_header.h"
#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "index_photo_fixture.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/project.h"
#include "render/xslt_service.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::FileExists;
using testing::IndexPhotoTest;
using testing::MakePhoto;
using testing::Near;
using testing::PumpEventsUntil;
using testing::TempFolder;
using testing::WriteFileBytes;

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
  // The pages go after the photo, away from this thread.
  EXPECT_TRUE(PumpEventsUntil([&] { return !FileExists(first) && !FileExists(second); }));

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
  EXPECT_TRUE(PumpEventsUntil([&] { return !FileExists(third) && !FileExists(fourth); }));
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
