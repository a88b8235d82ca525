#include "app/desktop/results/results_page.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/results/review_window.h"
#include "desktop/keyboard_walk.h"
#include "desktop_results/desktop_test_support.h"
#include "project/preferences.h"
#include "project/project.h"
#include "support/recording_message_port.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo::desktop {
namespace {

using testing::DesktopTest;

class ResultsPageTest : public DesktopTest {
 protected:
  // Adds a movie with the given status and returns it.
  const Movie& Add(const std::string& path, int32_t status, int width = 320, int height = 240) {
    const int32_t id = project_.AddMovie(path);
    project_.UpdateMovie(id, [&](Movie& movie) {
      movie.status = status;
      movie.videoFormat.biWidth = width;
      movie.videoFormat.biHeight = height;
    });
    return *project_.MovieById(id);
  }
  void SetViewer(const QString& command) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                       kApplicationName);
    settings.setValue(kViewerCommandKey, command);
    settings.sync();
  }
  std::vector<std::string> MenuEnabled(ResultsPage& page) {
    std::vector<std::string> enabled;
    for (QAction* action : page.ContextMenu()->actions()) {
      if (!action->isSeparator() && action->isEnabled())
        enabled.push_back(QString(action->text()).remove(QLatin1Char('&')).toStdString());
    }
    return enabled;
  }

  // The window's movie model, made when first asked for: what the project
  // holds then is what a project opened holds.
  MovieModel& Movies() {
    if (!movies_) movies_.emplace(project_);
    return *movies_;
  }

  CProject project_{"/tmp/"};
  std::optional<MovieModel> movies_;
  testing::RecordingShell shell_;
  desktop::CommandRegistry commands_;
};

TEST_F(ResultsPageTest, ListsFinishedAndFailedMoviesAsTheyComeAndCountsEachMovieIndexedOnce) {
  Add("/v/waiting.mp4", kMovieWaiting);
  const Movie& done = Add("/v/done.mp4", kMovieDone, 320, 0);
  project_.UpdateMovie(done.id(), [](Movie& m) { m.SetLength(3725.5); });
  project_.RecordImage(done.id(), {"/t/done_1.jpg", 1, 1.0});
  project_.RecordImage(done.id(), {"/t/done_2.jpg", 2, 2.0});
  Add("/v/opened.mp4", kMovieOpened);
  const Movie& broken = Add("/v/broken.avi", kMovieWaiting, 0, 0);
  project_.AddMovieError(broken.id(), "Error capturing from '/v/broken.avi' - Cannot connect\n");
  // Movies listed with the project (opened, recovered) were indexed before.
  ResultsPage page(Movies(), shell_, commands_);
  QSignalSpy indexed(&page, &ResultsPage::movieIndexed);
  ASSERT_EQ(page.RowCount(), 2);
  // The file name in the first column, the whole path in its tool tip.
  EXPECT_EQ(page.RowText(0, 0), "done.mp4");
  EXPECT_EQ(page.RowText(0, 0, Qt::ToolTipRole), "/v/done.mp4");
  EXPECT_EQ(page.CellText(done.id(), ResultsPage::kLengthColumn), "1:02:05.500");
  EXPECT_EQ(page.CellText(done.id(), ResultsPage::kImagesColumn), "2");
  // A frame size with a zero side is no size at all.
  EXPECT_EQ(page.CellText(done.id(), ResultsPage::kWidthColumn), "-");
  EXPECT_EQ(page.CellText(done.id(), ResultsPage::kHeightColumn), "-");
  EXPECT_EQ(page.CellText(broken.id(), ResultsPage::kErrorColumn),
            "Error capturing from '/v/broken.avi' - Cannot connect");
  EXPECT_EQ(indexed.count(), 0);

  // A movie indexed again leaves the list while it runs and comes back at
  // its end, with what the run found.
  project_.MarkOpened(done.id(), MovieProperties{});
  EXPECT_EQ(page.RowCount(), 1);
  project_.RecordImage(done.id(), {"/t/done_3.jpg", 3, 3.0});
  project_.SetMovieStatus(done.id(), kMovieDone);
  ASSERT_EQ(page.RowCount(), 2);
  EXPECT_EQ(page.RowText(1, 0), "done.mp4");
  EXPECT_EQ(page.CellText(done.id(), ResultsPage::kImagesColumn), "1");
  EXPECT_EQ(indexed.count(), 1);

  // A movie that could not be opened is a row with its error.
  const Movie& unopened = Add("/v/unknown.xyz", kMovieWaiting, 0, 0);
  project_.AddMovieError(unopened.id(), "Error capturing from '/v/unknown.xyz' - not recognized\n");
  ASSERT_EQ(page.RowCount(), 3);
  EXPECT_EQ(page.RowText(2, ResultsPage::kErrorColumn),
            "Error capturing from '/v/unknown.xyz' - not recognized");
  // An index photo that failed later shows in the movie's row, which stays.
  project_.AddMovieError(done.id(), "Failed to render index photo '/o/done.jpg'\n");
  EXPECT_EQ(page.RowText(1, ResultsPage::kErrorColumn),
            "Failed to render index photo '/o/done.jpg'");
  // A movie that failed is not indexed; one told twice counts once.
  project_.SetMovieStatus(done.id(), kMovieDone);
  EXPECT_EQ(indexed.count(), 1);

  // Added again and indexed again, a movie is a new record with one row: the
  // row of the record it replaced goes.
  const Movie& again = *project_.MovieById(project_.AddMovie("/v/done.mp4"));
  project_.SetMovieStatus(again.id(), kMovieDone);
  ASSERT_EQ(page.RowCount(), 3);
  EXPECT_EQ(page.RowText(2, 0), "done.mp4");
  EXPECT_EQ(page.RowText(1, 0), "unknown.xyz");
  EXPECT_EQ(indexed.count(), 2);
  EXPECT_EQ(indexed.back().at(0).toInt(), again.id());

  // A movie of the same name in another folder is no record replaced: both
  // rows stay, told apart by their tool tips.
  Add("/w/done.mp4", kMovieDone);
  ASSERT_EQ(page.RowCount(), 4);
  EXPECT_EQ(page.RowText(3, 0), "done.mp4");
  EXPECT_EQ(page.RowText(3, 0, Qt::ToolTipRole), "/w/done.mp4");
  EXPECT_EQ(page.RowText(2, 0, Qt::ToolTipRole), "/v/done.mp4");
}

TEST_F(ResultsPageTest, ContextMenuFollowsTheSelectedMovie) {
  const Movie& bare = Add("/v/bare.mp4", kMovieFailed, 0, 0);
  const Movie& full = Add("/v/full.mp4", kMovieDone);
  project_.RecordImage(full.id(), {"/t/full_1.jpg", 1, 1.0});
  project_.SetMovieHtml(full.id(), "/o/full.html");
  project_.SetMovieIndexphoto(full.id(), "/o/full.jpg");
  ResultsPage page(Movies(), shell_, commands_);

  EXPECT_TRUE(MenuEnabled(page).empty());  // nothing selected
  testing::ExpectMenusHaveOwnMnemonics(page.ContextMenu());
  // These videos are nowhere: Locate... is offered too.
  page.SelectMovie(bare.id());
  EXPECT_EQ(MenuEnabled(page), (std::vector<std::string>{"Play movie", "View Movie folder",
                                                         "Locate...", "Remove", "Re-Queue"}));
  page.SelectMovie(full.id());
  EXPECT_EQ(MenuEnabled(page).size(), 8u);

  commands_.Run(desktop::kResultsViewHtml);
  commands_.Run(desktop::kResultsPlayMovie);
  commands_.Run(desktop::kResultsViewFolder);
  EXPECT_EQ(shell_.opened, (std::vector<std::string>{"/o/full.html", "/v/full.mp4"}));
  EXPECT_EQ(shell_.folders, (std::vector<std::string>{"/v/full.mp4"}));
}

TEST_F(ResultsPageTest, RequeueSendsAFailedMovieToTheEndOfTheQueueWithoutItsError) {
  const Movie& failed = Add("/v/failed.avi", kMovieFailed, 0, 0);
  project_.AddMovieError(failed.id(), "Error capturing from '/v/failed.avi' - Cannot connect\n");
  Add("/v/waiting.mp4", kMovieWaiting);
  const Movie& done = Add("/v/done.mp4", kMovieDone);
  const int32_t doneId = done.id();  // the record moves when the list changes
  ResultsPage page(Movies(), shell_, commands_);

  page.SelectMovie(failed.id());
  commands_.Run(desktop::kResultsRequeue);
  EXPECT_EQ(page.RowCount(), 1);
  const Movie& requeued = project_.Movies().back();
  EXPECT_EQ(requeued.path(), "/v/failed.avi");
  EXPECT_EQ(requeued.status, kMovieWaiting);
  EXPECT_EQ(requeued.error, "");
  EXPECT_EQ(project_.Movies().size(), 3u);

  page.SelectMovie(doneId);
  commands_.Run(desktop::kResultsRemove);
  EXPECT_EQ(page.RowCount(), 0);
  EXPECT_FALSE(project_.HasMovie(doneId));
  EXPECT_EQ(project_.Movies().size(), 2u);
}

TEST_F(ResultsPageTest, RowCommandsActOnEverySelectedRowPickedWithControlClicks) {
  const Movie& first = Add("/v/a/first.mp4", kMovieDone);
  const Movie& skipped = Add("/v/a/skipped.mp4", kMovieDone);
  const Movie& second = Add("/v/a/second.mp4", kMovieFailed, 0, 0);
  const Movie& other = Add("/v/b/other.mp4", kMovieDone);
  const int32_t firstId = first.id(), secondId = second.id(), otherId = other.id();
  const int32_t skippedId = skipped.id();
  project_.UpdateMovie(firstId, [](Movie& m) { m.html = "/out/first.html"; });
  project_.UpdateMovie(otherId, [](Movie& m) { m.html = "/out/other.html"; });
  ResultsPage page(Movies(), shell_, commands_);
  page.resize(800, 400);
  page.show();
  QTreeView* list = page.List();
  const auto click = [&](int32_t id, Qt::KeyboardModifiers modifiers) {
    QModelIndex row;
    for (int at = 0; at < list->model()->rowCount(); ++at) {
      if (MovieModel::MovieIdOf(list->model()->index(at, 0)) == id)
        row = list->model()->index(at, 0);
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(row).center());
  };
  click(firstId, Qt::NoModifier);
  click(secondId, Qt::ControlModifier);
  click(otherId, Qt::ControlModifier);
  EXPECT_EQ(page.SelectedMovieIds(), (std::vector<int32_t>{firstId, secondId, otherId}));
  EXPECT_EQ(page.SelectedMovieId(), otherId);  // the row clicked last

  // A right-click on a selected row keeps the selection for the menu.
  emit list->customContextMenuRequested(list->visualRect(list->model()->index(0, 0)).center());
  page.ContextMenu()->hide();
  EXPECT_EQ(page.SelectedMovieIds().size(), 3u);

  // Opening: each selected page that exists; each folder once.
  commands_.Run(desktop::kResultsViewHtml);
  EXPECT_EQ(shell_.opened, (std::vector<std::string>{"/out/first.html", "/out/other.html"}));
  commands_.Run(desktop::kResultsViewFolder);
  EXPECT_EQ(shell_.folders, (std::vector<std::string>{"/v/a/first.mp4", "/v/b/other.mp4"}));

  // Re-Queue takes all three at once, in list order.
  commands_.Run(desktop::kResultsRequeue);
  ASSERT_EQ(page.RowCount(), 1);
  EXPECT_EQ(page.CellText(skippedId, ResultsPage::kPathColumn), "skipped.mp4");
  std::vector<std::string> waiting;
  for (const Movie& movie : project_.Movies()) {
    if (movie.status == kMovieWaiting) waiting.push_back(movie.path());
  }
  EXPECT_EQ(waiting,
            (std::vector<std::string>{"/v/a/first.mp4", "/v/a/second.mp4", "/v/b/other.mp4"}));
  EXPECT_FALSE(project_.HasMovie(firstId) || project_.HasMovie(secondId) ||
               project_.HasMovie(otherId));

  // Remove of a selection of one and of none.
  page.SelectMovie(skippedId);
  commands_.Run(desktop::kResultsRemove);
  EXPECT_EQ(page.RowCount(), 0);
  EXPECT_FALSE(project_.HasMovie(skippedId));
  EXPECT_FALSE(commands_.Action(desktop::kResultsRemove)->isEnabled());
  EXPECT_EQ(project_.Movies().size(), 3u);
}

TEST_F(ResultsPageTest, ViewImagesHandsEachThumbnailToTheViewerOrExplainsTheMissingViewer) {
  const Movie& movie = Add("/v/clip.mp4", kMovieDone);
  const std::vector<std::string> images = {Home() + "clip 1 & co.jpg", Home() + "clip_2.jpg",
                                           Home() + "clip \"3\".jpg"};
  for (const std::string& image : images) project_.RecordImage(movie.id(), {image, 0, 0.0});
  ResultsPage page(Movies(), shell_, commands_);
  page.SelectMovie(movie.id());

  // Nothing chosen: our own viewer, with every picture; the index photo too.
  commands_.Run(desktop::kResultsViewImages);
  ASSERT_EQ(shell_.pictures.size(), 1u);
  EXPECT_EQ(shell_.pictures[0], images);
  project_.SetMovieIndexphoto(movie.id(), Home() + "clip_index.jpg");
  commands_.Run(desktop::kResultsViewIndexPhoto);
  EXPECT_EQ(shell_.pictures.back(), std::vector<std::string>{movie.indexphoto});
  // The desktop's default program gets the first picture only.
  SetPictureOpener(PictureOpener::desktop, QString());
  commands_.Run(desktop::kResultsViewImages);
  EXPECT_EQ(shell_.opened, std::vector<std::string>{images[0]});
  // A command chosen but not given: the help page says how to set one.
  SetPictureOpener(PictureOpener::command, QString());
  commands_.Run(desktop::kResultsViewImages);
  EXPECT_EQ(shell_.helpPages, std::vector<std::string>{kNoViewerPage});
  EXPECT_EQ(shell_.helpModes, std::vector<HelpMode>{HelpMode::notice});
  EXPECT_EQ(shell_.pictures.size(), 2u);

  // A viewer that writes down its arguments, one per line, set by hand in
  // the preferences before there was a choice: it wins over our viewer.
  {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName,
                       kApplicationName);
    settings.remove(kPictureOpenerKey);
  }
  const std::string script = Home() + "viewer.sh";
  const std::string record = Home() + "arguments.txt";
  ASSERT_TRUE(testing::WriteFileBytes(
      script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record +
                  ".part'\nmv '" + record + ".part' '" + record + "'\n"));
  QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::ExeOwner);
  SetViewer(QString::fromStdString("\"" + script + "\" --slideshow"));
  commands_.Run(desktop::kResultsViewImages);
  ASSERT_TRUE(testing::WaitFor([&] { return testing::FileExists(record); }));
  EXPECT_EQ(testing::ReadFileBytes(record),
            "--slideshow\n" + images[0] + "\n" + images[1] + "\n" + images[2] + "\n");

  // With a playlist, the playlist alone.
  QFile::remove(QString::fromStdString(record));
  project_.SetMovieIpl(movie.id(), Home() + "clip.ipl");
  commands_.Run(desktop::kResultsViewImages);
  ASSERT_TRUE(testing::WaitFor([&] { return testing::FileExists(record); }));
  EXPECT_EQ(testing::ReadFileBytes(record), "--slideshow\n" + Home() + "clip.ipl\n");
  EXPECT_EQ(shell_.helpPages.size(), 1u);
}

TEST_F(ResultsPageTest, ReviewWindowDocksBelowTheListCoveringNoRowAndHidesWithThePage) {
  Add("/v/first.mp4", kMovieDone);
  const Movie& second = Add("/v/second.mp4", kMovieDone);
  project_.RecordImage(second.id(), {"/v/second/second_0h00m00.000s.jpg", 0, 0.0});  // no file left
  testing::RecordingMessagePort messages;  // no "Invalid movie id" on the way
  ResultsPage page(Movies(), shell_, commands_);
  page.resize(900, 400);
  page.show();
  EXPECT_EQ(page.Review(), nullptr);
  EXPECT_FALSE(commands_.Enabled(desktop::kResultsPlayMovie));  // nothing selected

  page.SelectMovie(second.id());
  ReviewWindow* review = page.Review();
  ASSERT_NE(review, nullptr);
  EXPECT_TRUE(review->isVisible());
  EXPECT_EQ(review->MovieId(), second.id());
  // Docked below the list, it covers none of its rows, also when the page
  // becomes smaller; the chosen row stays in sight.
  const auto coversNoRow = [&] {
    const QRect list(page.List()->mapTo(&page, QPoint(0, 0)), page.List()->size());
    const QRect docked(review->mapTo(&page, QPoint(0, 0)), review->size());
    const QRect chosen = page.List()->visualRect(page.List()->model()->index(1, 0));
    return review->parentWidget() && review->parentWidget()->window() == &page &&
           !list.intersects(docked) && chosen.top() >= 0 &&
           chosen.bottom() < page.List()->viewport()->height() && docked.height() > 64;
  };
  EXPECT_TRUE(coversNoRow());
  page.resize(800, 300);
  EXPECT_TRUE(testing::WaitFor(coversNoRow));

  // A thumbnail deleted in the review window leaves the row's count right.
  review->SelectImage(0);
  review->DeleteSelectedImage();
  EXPECT_EQ(page.CellText(second.id(), ResultsPage::kImagesColumn), "0");

  page.hide();
  EXPECT_FALSE(review->isVisible());
  page.show();
  EXPECT_TRUE(review->isVisible());

  // Removing the movie takes it out of the review window too.
  commands_.Run(desktop::kResultsRemove);
  EXPECT_EQ(review->MovieId(), -1);
  EXPECT_FALSE(review->isVisible());
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().text;
}

// Moved videos: a project whose videos' folder was renamed after indexing.
class MovedVideosTest : public ResultsPageTest {
 protected:
  // A real video at path with one real thumbnail; a finished movie of the
  // project.
  const Movie& Indexed(const std::string& path, const std::string& thumbnail) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testvideo::VideoOptions options;
    options.width = 64;
    options.height = 48;
    options.frameCount = 10;
    options.path = path;
    std::string error;
    EXPECT_TRUE(testvideo::Generate(options, &error)) << error;
    std::filesystem::create_directories(std::filesystem::path(thumbnail).parent_path());
    EXPECT_TRUE(testing::SavePicture(thumbnail, 16, 12, [](int, int) { return Qt::blue; }));
    const Movie& movie = Add(path, kMovieDone, 64, 48);
    project_.RecordImage(movie.id(), {thumbnail, 1, 0.04});
    return movie;
  }
  bool LocateEnabled(ResultsPage& page) {
    page.ContextMenu();
    return commands_.Action(kResultsLocate)->isEnabled();
  }
};

TEST_F(MovedVideosTest, RenamedFolderMarksItsVideosAndLocateRelinksThemWithTheirFiles) {
  const std::string old = Home() + "Videos/trip/";
  const Movie& a = Indexed(old + "a.mp4", old + "a/a_1.jpg");
  const Movie& b = Indexed(old + "day 2/b.mp4", old + "day 2/b/b_1.jpg");
  project_.SetMovieHtml(a.id(), old + "a.html");
  std::ofstream(old + "a.html") << "<html></html>";
  const Movie& stays = Indexed(Home() + "Other/c.mp4", Home() + "Other/c/c_1.jpg");
  const std::string renamed = Home() + "Videos/trip 2026/";
  std::filesystem::rename(old, renamed);
  std::vector<ProjectChange> changes;
  project_.AddChangeListener([&](const ProjectChange& change) { changes.push_back(change); });

  // The project opens: both moved videos say so, the one still there does not.
  ResultsPage page(Movies(), shell_, commands_);
  EXPECT_TRUE(page.VideoMissing(a.id()));
  EXPECT_TRUE(page.VideoMissing(b.id()));
  EXPECT_FALSE(page.VideoMissing(stays.id()));
  EXPECT_EQ(page.CellText(a.id(), ResultsPage::kStatusColumn), "Missing");
  EXPECT_EQ(page.CellText(stays.id(), ResultsPage::kStatusColumn), "");
  EXPECT_EQ(page.MissingText(), "2 videos are missing");

  // Locate... is offered for a missing video only, and starts where the
  // videos were as far as that is still there.
  page.SelectMovie(stays.id());
  EXPECT_FALSE(LocateEnabled(page));
  page.SelectMovie(b.id());
  EXPECT_TRUE(LocateEnabled(page));
  QString started;
  page.SetFolderChooser([&](QWidget*, const QString& start) {
    started = start;
    return QString::fromStdString(renamed);
  });
  ASSERT_TRUE(commands_.Run(kResultsLocate));
  EXPECT_EQ(started.toStdString(), Home() + "Videos/");

  // Both are found at their places relative to the old folder, with their
  // thumbnails and page; the marks go and the row stays selected.
  EXPECT_EQ(a.path(), renamed + "a.mp4");
  EXPECT_EQ(b.path(), renamed + "day 2/b.mp4");
  EXPECT_EQ(a.images.front().path, renamed + "a/a_1.jpg");
  EXPECT_EQ(b.images.front().path, renamed + "day 2/b/b_1.jpg");
  EXPECT_EQ(a.html, renamed + "a.html");
  EXPECT_EQ(project_.MissingMovies(), std::vector<int32_t>{});
  EXPECT_FALSE(page.VideoMissing(a.id()));
  EXPECT_FALSE(page.VideoMissing(b.id()));
  EXPECT_EQ(page.MissingText(), "");
  EXPECT_EQ(page.CellText(a.id(), ResultsPage::kStatusColumn), "");
  EXPECT_EQ(page.RowText(1, 0, Qt::ToolTipRole).toStdString(), renamed + "day 2/b.mp4");
  EXPECT_EQ(page.SelectedMovieId(), b.id());
  EXPECT_EQ(changes, (std::vector<ProjectChange>{{ProjectChange::movieMoved, a.id()},
                                                 {ProjectChange::movieMoved, b.id()}}));
  // The project is saved with the new paths, found by them.
  EXPECT_NE(project_.FileText().find(renamed + "day 2/b/b_1.jpg"), std::string::npos);
  project_.RemoveMovie(renamed + "a.mp4");
  EXPECT_FALSE(project_.HasMovie(a.id()));
}

TEST_F(MovedVideosTest, LocateFindsAVideoByNameAndLeavesWhatItCannotFind) {
  testing::RecordingMessagePort messages;
  const std::string old = Home() + "Camera/";
  const Movie& a = Indexed(old + "a.mp4", old + "a/a_1.jpg");
  project_.RecordImage(a.id(), {old + "a/a_2.jpg", 2, 0.08});  // never written
  const std::string elsewhere = Home() + "Archive/2026/june/";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::rename(old, elsewhere + "Camera");
  ResultsPage page(Movies(), shell_, commands_);
  page.SelectMovie(a.id());

  // Cancelled, and a folder without the video: nothing changes.
  page.SetFolderChooser([](QWidget*, const QString&) { return QString(); });
  commands_.Run(kResultsLocate);
  page.SetFolderChooser([&](QWidget*, const QString&) { return QString::fromStdString(Home()); });
  std::filesystem::rename(elsewhere + "Camera/a.mp4", elsewhere + "Camera/a.avi");
  commands_.Run(kResultsLocate);
  EXPECT_EQ(a.path(), old + "a.mp4");
  EXPECT_TRUE(page.VideoMissing(a.id()));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find(Home()), std::string::npos);

  // Found by its name deep below the folder chosen; the thumbnail that is
  // there follows it, the one that never was keeps its path and is told.
  std::filesystem::rename(elsewhere + "Camera/a.avi", elsewhere + "Camera/a.mp4");
  commands_.Run(kResultsLocate);
  EXPECT_EQ(a.path(), elsewhere + "Camera/a.mp4");
  EXPECT_EQ(a.images[0].path, elsewhere + "Camera/a/a_1.jpg");
  EXPECT_EQ(a.images[1].path, old + "a/a_2.jpg");
  EXPECT_FALSE(page.VideoMissing(a.id()));
  EXPECT_FALSE(page.ThumbnailsMissing(a.id()));

  // Thumbnails deleted by hand are marked when the files are looked at again.
  std::filesystem::remove(elsewhere + "Camera/a/a_1.jpg");
  page.CheckFiles();
  EXPECT_TRUE(page.ThumbnailsMissing(a.id()));
  EXPECT_EQ(page.CellText(a.id(), ResultsPage::kStatusColumn), "Thumbnails missing");
  EXPECT_EQ(page.MissingText(), "");
}

}  // namespace
}  // namespace ombrelo::desktop
