#include "app/desktop/results/review_window.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/desktop/results/results_page.h"
#include "app/desktop/results/thumbnail_cache.h"
#include "app/page_generation.h"
#include "app/regeneration.h"
#include "app/workflow_controller.h"
#include "app/workflow_test_support.h"
#include "desktop_results/desktop_test_support.h"
#include "engine/capture_engine.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/project.h"
#include "support/recording_message_port.h"

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
  Movie& TheMovie() { return *project_.FindMovieForWrite(movieId_); }
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

TEST_F(ReviewWindowTest, DeletingThumbnailsRewritesEveryOutputWithoutThem) {
  // A movie indexed for real, every output on.
  CProject project(Home());
  for (const char* folder : {"Ipl", "Html", "Index"})
    QDir().mkpath(QString::fromStdString(Home() + "out/" + folder));
  project.SetIplFolder(Home() + "out/Ipl");
  project.SetHtmlFolder(Home() + "out/Html");
  project.SetIndexphotoFolder(Home() + "out/Index");
  project.SetIplUseFolder(true);
  project.SetHtmlUseFolder(true);
  project.SetIndexphotoUseFolder(true);
  project.Capture().delaybeforefirst = 1.0;  // five thumbnails
  project.Capture().delaybetweensamples = 2.0;
  project.AddMovie(testing::TestVideos::Get().Make("review clip.mp4"));
  const Movie& movie = project.Movies().back();
  testing::RecordingPort port;
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(port, project, engine, pages);
  controller.Start();
  ASSERT_TRUE(testing::RunUntil([&] { return port.runsFinished == 1; }));
  ASSERT_EQ(movie.images.size(), 5u) << movie.error;
  const std::vector<ImageEntry> before = movie.images;

  Regeneration regeneration(project, controller.IndexPhotos());
  ResultsPage page(project, shell_);
  page.SetRegeneration(&regeneration);
  page.show();
  page.SelectMovie(movie.id());
  ReviewWindow& window = *page.Review();
  std::vector<std::string> temporaryPages;
  for (int i = 0; i < 2; ++i) {
    window.SelectImage(1);
    window.DeleteSelectedImage();
    temporaryPages.push_back(paths::FileName(regeneration.LastPage()));
    ASSERT_TRUE(testing::RunUntil([&] { return !controller.IndexPhotoPending(); }));
  }

  // The second and third thumbnails are gone, files and entries; the rest stay.
  EXPECT_EQ(window.ImagePaths(),
            (std::vector<std::string>{before[0].path, before[3].path, before[4].path}));
  EXPECT_EQ(page.CellText(movie.id(), ResultsPage::kImagesColumn), "3");
  const std::string playlist = testing::ReadFileBytes(movie.ipl);
  const std::string web = testing::ReadFileBytes(movie.html);
  for (size_t i = 0; i < before.size(); ++i) {
    const bool kept = i == 0 || i >= 3;
    EXPECT_EQ(testing::FileExists(before[i].path), kept) << i;
    EXPECT_EQ(testing::Contains(playlist, before[i].path), kept) << i;
    EXPECT_EQ(testing::Contains(web, paths::FileName(before[i].path)), kept) << i;
  }
  // The index photo was drawn again after each deletion, from pages numbered
  // one after the other.
  EXPECT_EQ(std::count(port.log.begin(), port.log.end(), "index photo: " + movie.path()), 3);
  EXPECT_EQ(temporaryPages,
            (std::vector<std::string>{"tmphtmltoimagere1.html", "tmphtmltoimagere2.html"}));
  EXPECT_EQ(movie.error, "");
}

TEST_F(ReviewWindowTest, AProjectFileCannotMakeDeleteImageTouchFilesThatAreNotTheMoviesOwn) {
  // A project file whose movie names a dotfile of the home as its playlist,
  // files outside the output folders as its page and photo, and a document
  // as one of its images.
  const std::string dotfile = Home() + ".profile";
  const std::string page = Home() + ".page";
  const std::string photo = Home() + "photo.jpg";
  const std::string document = Home() + "letter.jpg";
  for (const std::string& file : {dotfile, page, photo, document}) {
    ASSERT_TRUE(testing::WriteFileBytes(file, "the user's own " + file));
  }
  const std::string root = Home() + "hostile/";  // this test's folders
  const std::string thumbs = root + "Thumbs/";
  std::vector<std::string> thumbnails;
  QDir().mkpath(QString::fromStdString(thumbs + "my_clip"));
  for (const char* name : {"my_clip_0h00m01.000s.jpg", "my_clip_0h00m03.000s.jpg"}) {
    thumbnails.push_back(thumbs + "my_clip/" + name);
    ASSERT_TRUE(testing::SavePicture(thumbnails.back(), 64, 48, [](int, int) { return Qt::red; }));
  }
  const std::string file = root + "hostile.obx";
  {
    CProject written(root);
    written.SetThumbsFolder(thumbs);
    written.SetThumbsUseFolder(true);
    for (const char* folder : {"Ipl", "Html", "Index"})
      QDir().mkpath(QString::fromStdString(root + "out/" + folder));
    written.SetIplFolder(root + "out/Ipl");
    written.SetHtmlFolder(root + "out/Html");
    written.SetIndexphotoFolder(root + "out/Index");
    written.SetIplUseFolder(true);
    written.SetHtmlUseFolder(true);
    written.SetIndexphotoUseFolder(true);
    written.AddMovie(root + "my clip.mp4");
    Movie& movie = *written.FindMovieForWrite(written.Movies().back().id());
    movie.status = kMovieDone;
    movie.SetIpl(dotfile);
    movie.SetHtml(page);
    movie.SetIndexphoto(photo);
    movie.AddImage({thumbnails[0], 25, 1.0});
    movie.AddImage({document, 50, 2.0});
    movie.AddImage({thumbnails[1], 75, 3.0});
    ASSERT_TRUE(written.Save(file));
  }
  CProject project(root);
  ASSERT_TRUE(project.Load(file));
  const Movie& movie = project.Movies().back();

  testing::RecordingPort port;
  testing::RecordingMessagePort messages;
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(port, project, engine, pages);
  Regeneration regeneration(project, controller.IndexPhotos());
  ResultsPage results(project, shell_);
  results.SetRegeneration(&regeneration);
  results.show();
  results.SelectMovie(movie.id());
  ReviewWindow& window = *results.Review();

  // The thumbnail goes; the outputs named outside the output folders are
  // refused with a message and left as they were, and nothing is written
  // in their stead.
  window.SelectImage(0);
  window.DeleteSelectedImage();
  EXPECT_FALSE(testing::FileExists(thumbnails[0]));
  EXPECT_EQ(window.ImagePaths(), (std::vector<std::string>{document, thumbnails[1]}));
  for (const std::string& kept : {dotfile, page, photo, document}) {
    EXPECT_EQ(testing::ReadFileBytes(kept), "the user's own " + kept);
  }
  EXPECT_FALSE(controller.IndexPhotoPending());
  for (const char* folder : {"Ipl", "Html", "Index"})
    EXPECT_TRUE(QDir(QString::fromStdString(root + "out/" + folder)).isEmpty()) << folder;
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].owner, MessageOwner::reviewWindow);
  for (const std::string& refused : {dotfile, page, photo}) {
    EXPECT_TRUE(testing::Contains(messages.shown[0].text, refused)) << messages.shown[0].text;
  }

  // The document named as an image is no thumbnail of the movie: refused,
  // file and entry stay.
  window.SelectImage(0);
  window.DeleteSelectedImage();
  EXPECT_EQ(testing::ReadFileBytes(document), "the user's own " + document);
  EXPECT_EQ(window.ImagePaths(), (std::vector<std::string>{document, thumbnails[1]}));
  EXPECT_EQ(movie.images.size(), 2u);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(testing::Contains(messages.shown[1].text, document)) << messages.shown[1].text;
}

}  // namespace
}  // namespace ombrelo
