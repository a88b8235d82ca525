#include "app/desktop/results/review_window.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <algorithm>

#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/thumbnail_cache.h"
#include "app/desktop/results/thumbnail_trash.h"
#include "app/workflow_test_support.h"
#include "desktop/keyboard_walk.h"
#include "desktop_results/desktop_test_support.h"
#include "engine/capture_engine.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/project.h"
#include "support/recording_message_port.h"
#include "workflow/page_generation.h"
#include "workflow/regeneration.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::desktop {
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
  // The colour at (x, y) of the row-th cell as the list shows it.
  QColor CellPixel(ReviewWindow& window, int row, int x, int y) {
    QListView* list = window.List();
    const QRect grid = list->visualRect(list->model()->index(row, 0, list->rootIndex()));
    const QPoint cell = grid.topLeft() + QPoint((grid.width() - 128) / 2, (grid.height() - 64) / 2);
    return list->viewport()->grab().toImage().pixelColor(cell + QPoint(x, y));
  }

  CProject& project_ = CProject::Instance();
  MovieModel movies_{project_};
  testing::RecordingShell shell_;
  desktop::CommandRegistry commands_;
  int32_t movieId_ = -1;
};

TEST_F(ReviewWindowTest, DrawsEachThumbnailIntoItsCellFromPicturesLoadedInTheBackground) {
  const std::string normal = Home() + "normal.jpg";
  const std::string wide = Home() + "wide.jpg";
  ASSERT_TRUE(testing::SavePicture(normal, 320, 240, [](int, int) { return QColor(Qt::red); }));
  ASSERT_TRUE(testing::SavePicture(wide, 400, 100, [](int x, int) {
    return x < 100 ? QColor(Qt::blue) : x < 300 ? QColor(Qt::red) : QColor(Qt::green);
  }));
  project_.RecordImage(movieId_, {normal, 1, 0.04});
  project_.RecordImage(movieId_, {wide, 2, 0.08});
  project_.RecordImage(movieId_, {Home() + "gone.jpg", 3, 0.12});
  // A FIFO named like a thumbnail, and a drawing that names it and another
  // picture: neither blocks the window nor is read.
  const std::string fifo = Home() + "pipe.jpg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_TRUE(testing::WriteFileBytes(
      Home() + "drawing.jpg",
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "width=\"64\" height=\"64\"><image width=\"64\" height=\"64\" xlink:href=\"" +
          fifo + "\"/><image width=\"64\" height=\"64\" xlink:href=\"" + normal + "\"/></svg>\n"));
  project_.RecordImage(movieId_, {fifo, 4, 0.16});
  project_.RecordImage(movieId_, {Home() + "drawing.jpg", 5, 0.2});

  ReviewWindow window(movies_, shell_, commands_);
  window.ShowMovie(movieId_);
  window.show();
  EXPECT_EQ(window.windowTitle(), "holiday clip.mp4");
  window.List()->viewport()->grab();  // drawing asks for the pictures
  ASSERT_TRUE(testing::WaitFor([&] { return window.Cache().Size() == 5; }));

  // 320 x 240: 85 pixels wide from x 21, black around it.
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 10, 32), Qt::black));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 23, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 103, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 0, 118, 32), Qt::black));
  // 400 x 100: only its red centre, across the whole cell.
  EXPECT_TRUE(testing::Near(CellPixel(window, 1, 2, 32), Qt::red));
  EXPECT_TRUE(testing::Near(CellPixel(window, 1, 125, 32), Qt::red));
  // A picture that cannot be loaded is a grey cell marked as missing, never
  // a white one that would pass for a picture.
  for (const int row : {2, 3, 4}) {
    EXPECT_TRUE(testing::Near(CellPixel(window, row, 4, 32), QColor(72, 72, 72)));
    EXPECT_FALSE(testing::Near(CellPixel(window, row, 64, 32), Qt::white));
  }
  // Nobody holds the FIFO open for reading.
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_LT(writer, 0);
  if (writer >= 0) ::close(writer);
}

TEST_F(ReviewWindowTest, ButtonsFollowTheMovieAndClosingHides) {
  ReviewWindow window(movies_, shell_, commands_);
  window.ShowMovie(movieId_);
  auto enabled = [&] {
    std::vector<std::string> texts;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
      if (button->isEnabled()) texts.push_back(button->text().toStdString());
    }
    return texts;
  };
  EXPECT_EQ(enabled(), std::vector<std::string>{"&Play"});
  project_.SetMovieHtml(movieId_, Home() + "page.html");
  project_.SetMovieIpl(movieId_, Home() + "list.ipl");
  EXPECT_EQ(enabled(), (std::vector<std::string>{"&HTML", "P&laylist", "&Play"}));
  commands_.Run(desktop::kReviewHtml);
  commands_.Run(desktop::kReviewPlay);
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

TEST_F(ReviewWindowTest, TheKeyboardWalksTheThumbnailsAndTheButtons) {
  for (uint32_t i = 0; i < 3; ++i)
    project_.RecordImage(movieId_, {Home() + "shot" + std::to_string(i) + ".jpg", i + 1, 0.04 * i});
  project_.SetMovieHtml(movieId_, Home() + "page.html");
  project_.SetMovieIpl(movieId_, Home() + "list.ipl");
  ReviewWindow window(movies_, shell_, commands_);
  window.ShowMovie(movieId_);
  window.show();

  testing::ExpectTabReachesAllInReadingOrder(&window, window.List());
  testing::ExpectOwnMnemonics(testing::AltKeyTexts(nullptr, &window), "review window");

  // The arrows go from thumbnail to thumbnail.
  QListView* list = window.List();
  list->setFocus();
  window.SelectImage(0);
  QTest::keyClick(list, Qt::Key_Right);
  EXPECT_EQ(window.SelectedRow(), 1);
  QTest::keyClick(list, Qt::Key_End);
  EXPECT_EQ(window.SelectedRow(), 2);
  QTest::keyClick(list, Qt::Key_Left);
  EXPECT_EQ(window.SelectedRow(), 1);
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
  project.UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 1.0; });  // five thumbnails
  project.UpdateCapture([&](CaptureSettings& c) { c.delaybetweensamples = 2.0; });
  project.AddMovie(testing::TestVideos::Get().Make("review clip.mp4"));
  const Movie& movie = project.Movies().back();
  testing::RunRecorder seen;
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(project, engine, pages);
  seen.Listen(controller);
  controller.Start();
  ASSERT_TRUE(testing::RunUntil([&] { return seen.runsFinished == 1; }));
  ASSERT_EQ(movie.images.size(), 5u) << movie.error;
  const std::vector<ImageEntry> before = movie.images;

  Regeneration regeneration(project, controller.IndexPhotos(), controller.Pages());
  MovieModel movies(project);
  ResultsPage page(movies, shell_, commands_);
  page.SetRegeneration(&regeneration);
  page.show();
  page.SelectMovie(movie.id());
  ReviewWindow& window = *page.Review();
  for (const std::string& path : window.ImagePaths()) window.Cache().Find(path);
  ASSERT_TRUE(testing::WaitFor([&] { return window.Cache().Size() == 5; }));
  std::vector<std::string> temporaryPages;
  // "Delete image" wants a selected thumbnail; the first time it comes from
  // the Delete key on the list, then from the pop-up menu's action.
  QAction* deleteImage = commands_.Action(desktop::kDeleteImage);
  EXPECT_FALSE(deleteImage->isEnabled());
  for (int i = 0; i < 2; ++i) {
    window.SelectImage(1);
    EXPECT_TRUE(deleteImage->isEnabled());
    if (i == 0) {
      page.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
      window.List()->setFocus();
      QTest::keyClick(window.List(), Qt::Key_Delete);
    } else {
      deleteImage->trigger();
    }
    // The files are written off this thread: the call came back first, and
    // the window shows it is busy until they are.
    EXPECT_EQ(regeneration.Pending(), 1);
    EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
    temporaryPages.push_back(paths::FileName(regeneration.LastPage()));
    // The list and the cache have let the picture go, and the selection is
    // on the next one.
    EXPECT_EQ(window.Cache().Size(), 4u - i);
    EXPECT_EQ(window.ImagePaths().size(), 4u - i);
    EXPECT_EQ(window.SelectedRow(), 1);
    EXPECT_TRUE(deleteImage->isEnabled());
    ASSERT_TRUE(testing::RunUntil(
        [&] { return regeneration.Pending() == 0 && !controller.IndexPhotoPending(); }));
  }

  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
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
  EXPECT_EQ(std::count(seen.log.begin(), seen.log.end(), "index photo: " + movie.path()), 3);
  EXPECT_EQ(temporaryPages,
            (std::vector<std::string>{"tmphtmltoimagere1.html", "tmphtmltoimagere2.html"}));
  EXPECT_EQ(movie.error, "");
}

TEST_F(ReviewWindowTest, AProjectFileCannotMakeDeleteImageTouchFilesThatAreNotTheMoviesOwn) {
  // A project file naming a dotfile as the playlist, files outside the
  // output folders as page and photo, and a document as an image.
  const std::string root = Home() + "hostile/";
  const std::vector<std::string> users = {Home() + ".profile", Home() + ".page", Home() + "a.jpg",
                                          Home() + "letter.jpg"};
  for (const std::string& file : users) ASSERT_TRUE(testing::WriteFileBytes(file, file));
  const std::string thumbnail = root + "my_clip/my_clip_0h00m01.000s.jpg";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(root + "my_clip")) &&
              testing::WriteFileBytes(thumbnail, "a picture"));
  {
    CProject written(root);  // outputs and thumbnails beside the video
    written.UpdateMovie(written.AddMovie(root + "my clip.mp4"), [&](Movie& movie) {
      movie.status = kMovieDone;
      movie.SetIpl(users[0]);
      movie.SetHtml(users[1]);
      movie.SetIndexphoto(users[2]);
      movie.AddImage({thumbnail, 25, 1.0});
      movie.AddImage({users[3], 50, 2.0});
    });
    ASSERT_TRUE(written.Save(root + "hostile.obx"));
  }
  CProject project(root);
  ASSERT_TRUE(project.Load(root + "hostile.obx"));
  testing::RunRecorder seen;
  testing::RecordingMessagePort messages;
  CaptureEngine engine;
  XsltPageGeneration pages;
  WorkflowController controller(project, engine, pages);
  seen.Listen(controller);
  Regeneration regeneration(project, controller.IndexPhotos(), controller.Pages());
  MovieModel movies(project);
  ResultsPage results(movies, shell_, commands_);
  results.SetRegeneration(&regeneration);
  results.SelectMovie(project.Movies().back().id());
  for (int i = 0; i < 2; ++i) {
    results.Review()->SelectImage(0);
    results.Review()->DeleteSelectedImage();
  }

  // The thumbnail went; the outputs were refused in one message (told when
  // the regeneration is through) and nothing was written anywhere; the
  // document is no thumbnail and stays.
  ASSERT_TRUE(testing::RunUntil([&] { return regeneration.Pending() == 0; }));
  EXPECT_FALSE(testing::FileExists(thumbnail));
  EXPECT_EQ(results.Review()->ImagePaths(), std::vector<std::string>{users[3]});
  for (const std::string& file : users) EXPECT_EQ(testing::ReadFileBytes(file), file);
  EXPECT_FALSE(testing::FileExists(root + "my clip.ipl"));
  ASSERT_EQ(messages.shown.size(), 2u);
  // The refusal of the document comes at its delete, the outputs' when the
  // regeneration is through.
  for (size_t i = 0; i < users.size(); ++i) {
    EXPECT_TRUE(testing::Contains(messages.shown[i < 3 ? 1 : 0].text, users[i])) << users[i];
  }
}

TEST_F(ReviewWindowTest, ADeletedThumbnailComesBackWithUndoUntilTheDeletionsAreFinal) {
  const std::string root = Home() + "undo/";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(root + "my_clip")));
  std::vector<std::string> thumbnails;
  for (int second = 1; second <= 3; ++second) {
    thumbnails.push_back(root + "my_clip/my_clip_0h00m0" + std::to_string(second) + ".000s.jpg");
    ASSERT_TRUE(testing::WriteFileBytes(thumbnails.back(), "picture " + std::to_string(second)));
  }
  CProject project(root);  // thumbnails beside the video
  const int32_t id = project.AddMovie(root + "my clip.mp4");
  project.UpdateMovie(id, [&](Movie& movie) {
    movie.status = kMovieDone;
    for (const std::string& path : thumbnails) movie.AddImage({path, 25, 1.0});
  });
  MovieModel movies(project);
  ResultsPage page(movies, shell_, commands_);
  page.SelectMovie(id);
  ReviewWindow& review = *page.Review();
  EXPECT_FALSE(commands_.Enabled(kUndo));

  // Deleted: out of the movie and the list, its file kept aside, hidden.
  review.SelectImage(1);
  review.DeleteSelectedImage();
  EXPECT_EQ(review.ImagePaths(), (std::vector<std::string>{thumbnails[0], thumbnails[2]}));
  EXPECT_FALSE(testing::FileExists(thumbnails[1]));
  const std::string aside = ThumbnailTrash::AsideName(thumbnails[1], 1);
  EXPECT_EQ(testing::ReadFileBytes(aside), "picture 2");
  EXPECT_EQ(paths::FileName(aside).front(), '.');

  // Undo: the picture is back, file and place, and selected again.
  ASSERT_TRUE(commands_.Run(kUndo));
  EXPECT_EQ(review.ImagePaths(), thumbnails);
  EXPECT_EQ(review.SelectedRow(), 1);
  EXPECT_EQ(testing::ReadFileBytes(thumbnails[1]), "picture 2");
  EXPECT_FALSE(testing::FileExists(aside));
  EXPECT_FALSE(commands_.Enabled(kUndo));

  // Made final (the project saved or closed): the file kept aside goes.
  review.SelectImage(0);
  review.DeleteSelectedImage();
  EXPECT_TRUE(commands_.Enabled(kUndo));
  page.Trash().Commit();
  EXPECT_FALSE(commands_.Run(kUndo));
  EXPECT_FALSE(testing::FileExists(thumbnails[0]));
  EXPECT_FALSE(testing::FileExists(ThumbnailTrash::AsideName(thumbnails[0], 2)));
  EXPECT_EQ(review.ImagePaths(), (std::vector<std::string>{thumbnails[1], thumbnails[2]}));
}

}  // namespace
}  // namespace ombrelo::desktop
