#include "app/desktop/results/review_window.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "app/desktop/results/thumbnail_cache.h"
#include "desktop_results/desktop_test_support.h"
#include "platform/data_folder.h"
#include "project/playlist.h"
#include "project/project.h"
#include "render/xslt_service.h"

namespace ombrelo {
namespace {

using testing::DesktopTest;

TEST(PlaceInCell, FillsTheCellHeightAndCropsWidePicturesToTheirCentre) {
  const QSize cell(128, 64);
  CellPlacement place = PlaceInCell(cell, QSize(320, 240));
  EXPECT_EQ(place.target, QRect(21, 0, 85, 64));
  EXPECT_EQ(place.source, QRect(0, 0, 320, 240));
  place = PlaceInCell(cell, QSize(400, 100));
  EXPECT_EQ(place.target, QRect(0, 0, 128, 64));
  EXPECT_EQ(place.source, QRect(100, 0, 200, 100));
  place = PlaceInCell(cell, QSize(128, 64));  // exactly a cell
  EXPECT_EQ(place.target, QRect(0, 0, 128, 64));
  EXPECT_EQ(place.source, QRect(0, 0, 128, 64));
}

class ReviewWindowTest : public DesktopTest {
 protected:
  void SetUp() override {
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    project_.ClearMovies();
    project_.AddMovie(Home() + "holiday clip.mp4");
    movieId_ = project_.Movies().back().id();
  }
  Movie& TheMovie() { return project_.FindMovieForWrite(movieId_); }
  // The colour at (x, y) of the row-th cell as the list shows it.
  QColor CellPixel(ReviewWindow& window, int row, int x, int y) {
    QListWidget* list = window.List();
    const QRect grid = list->visualItemRect(list->item(row));
    const QPoint cell = grid.topLeft() + QPoint((grid.width() - 128) / 2, (grid.height() - 64) / 2);
    return list->viewport()->grab().toImage().pixelColor(cell + QPoint(x, y));
  }

  CProject& project_ = CProject::Instance();
  testing::RecordingShell shell_;
  int32_t movieId_ = -1;
};

TEST_F(ReviewWindowTest, DrawsEachThumbnailIntoItsCellFromPicturesLoadedInTheBackground) {
  const std::string normal = Home() + "normal.jpg";
  const std::string wide = Home() + "wide.jpg";
  ASSERT_TRUE(testing::SavePicture(normal, 320, 240, [](int, int) { return QColor(Qt::red); }));
  ASSERT_TRUE(testing::SavePicture(wide, 400, 100, [](int x, int) {
    return x < 100 ? QColor(Qt::blue) : x < 300 ? QColor(Qt::red) : QColor(Qt::green);
  }));
  TheMovie().AddImage({normal, 1, 0.04});
  TheMovie().AddImage({wide, 2, 0.08});
  TheMovie().AddImage({Home() + "gone.jpg", 3, 0.12});

  ReviewWindow window(project_, shell_);
  window.ShowMovie(movieId_);
  window.show();
  EXPECT_EQ(window.windowTitle(), "holiday clip.mp4");
  window.List()->viewport()->grab();  // drawing asks for the pictures
  ASSERT_TRUE(testing::WaitFor([&] { return window.Cache().Size() == 3; }));

  // 320 x 240: 85 pixels wide from x 21, black around it.
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 10, 32), Qt::black));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 23, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 103, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 118, 32), Qt::black));
  // 400 x 100: only its red centre, across the whole cell.
  EXPECT_TRUE(testing::Near(CellPixel(window, 1, 2, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 1, 125, 32), Qt::red));
  // A picture that cannot be loaded is a white cell.
  EXPECT_TRUE(testing::Near(CellPixel(window, 2, 64, 32), Qt::white));
}

TEST_F(ReviewWindowTest, ButtonsFollowTheMovieAndClosingHides) {
  ReviewWindow window(project_, shell_);
  window.ShowMovie(movieId_);
  auto enabled = [&] {
    std::vector<std::string> texts;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
      if (button->isEnabled()) texts.push_back(button->text().toStdString());
    }
    return texts;
  };
  EXPECT_EQ(enabled(), std::vector<std::string>{"Play"});
  TheMovie().SetHtml(Home() + "page.html");
  TheMovie().SetIpl(Home() + "list.ipl");
  window.Fill();
  EXPECT_EQ(enabled(), (std::vector<std::string>{"HTML", "Playlist", "Play"}));
  window.Run(ReviewWindow::kHtml);
  window.Run(ReviewWindow::kPlay);
  EXPECT_EQ(shell_.opened,
            (std::vector<std::string>{Home() + "page.html", Home() + "holiday clip.mp4"}));

  window.show();
  EXPECT_FALSE(window.close());
  EXPECT_FALSE(window.isVisible());

  // A pop-up asked for left of every screen comes back onto the nearest.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(KeepOnScreen(QPoint(area.left() - 500, area.top() + 10)),
            QPoint(area.left(), area.top() + 10));
  EXPECT_EQ(KeepOnScreen(area.center()), area.center());
}

TEST_F(ReviewWindowTest, DeletingAThumbnailRewritesTheOutputsWithoutIt) {
  std::vector<std::string> images;
  for (int i = 1; i <= 3; ++i) {
    images.push_back(Home() + "thumbs/clip_" + std::to_string(i) + ".jpg");
    QDir().mkpath(QString::fromStdString(Home() + "thumbs"));
    ASSERT_TRUE(
        testing::SavePicture(images.back(), 160, 120, [](int, int) { return QColor(Qt::gray); }));
    TheMovie().AddImage({images.back(), static_cast<uint32_t>(i * 25), i * 1.0});
  }
  QDir().mkpath(QString::fromStdString(Home() + "out"));
  TheMovie().AddImage({images[1], 100, 4.0});  // the same file listed twice
  TheMovie().SetIpl(Home() + "out/clip.ipl");
  TheMovie().SetHtml(Home() + "out/clip.html");
  // The outputs are made again by the core's own writers.
  std::vector<int32_t> regenerated;
  auto regenerate = [&](int32_t id) {
    regenerated.push_back(id);
    const Movie& movie = project_.FindMovie(id);
    ASSERT_TRUE(WritePlaylist(movie.ipl, movie));
    ASSERT_TRUE(
        GeneratePageForMovie(movie.html, "templates/web/" + project_.Output().htmlTransform, id));
  };
  regenerate(movieId_);
  ASSERT_TRUE(testing::Contains(testing::ReadFileBytes(Home() + "out/clip.html"), "clip_2.jpg"));

  ReviewWindow window(project_, shell_);
  window.SetRegenerate(regenerate);
  window.ShowMovie(movieId_);
  window.SelectImage(1);
  window.DeleteSelectedImage();

  EXPECT_FALSE(testing::FileExists(images[1]));
  EXPECT_TRUE(testing::FileExists(images[0]));
  EXPECT_TRUE(testing::FileExists(images[2]));
  EXPECT_EQ(window.ImagePaths(), (std::vector<std::string>{images[0], images[2]}));
  ASSERT_EQ(TheMovie().images.size(), 2u);
  EXPECT_EQ(regenerated, (std::vector<int32_t>{movieId_, movieId_}));
  for (const std::string& output : {Home() + "out/clip.ipl", Home() + "out/clip.html"}) {
    const std::string text = testing::ReadFileBytes(output);
    EXPECT_FALSE(testing::Contains(text, "clip_2.jpg")) << output;
    EXPECT_TRUE(testing::Contains(text, "clip_1.jpg")) << output;
    EXPECT_TRUE(testing::Contains(text, "clip_3.jpg")) << output;
  }

  // Nothing selected: nothing is deleted.
  window.List()->clearSelection();
  window.DeleteSelectedImage();
  EXPECT_EQ(TheMovie().images.size(), 2u);
  EXPECT_EQ(regenerated.size(), 2u);
}

}  // namespace
}  // namespace ombrelo
