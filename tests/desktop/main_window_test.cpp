// The main window as a user meets it: pages and their titles, tutorial
// pages, the progress page's way back, the window's size, runs and their
// report, the list of videos to index.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/desktop/advanced_settings_dialog.h"
#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "main_window_fixture.h"
#include "project/preferences.h"
#include "support/test_videos.h"

namespace ombrelo::desktop {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RecordingMessagePort;
using Answer = MainWindow::SaveAnswer;

TEST_F(MainWindowTest, PagesSwitchWithTitlesCheckMarksTutorialsOnceAndTheProgressPagesWayBack) {
  MainWindow& w = Window();
  EXPECT_EQ(w.CurrentPage(), kSelectPage);
  EXPECT_TRUE(w.windowTitle().endsWith("[*] - Ombrelo - Select files"));
  EXPECT_TRUE(w.Action(kPageSelect)->isChecked());
  EXPECT_EQ(w.StatusText(), "Ready");

  w.Action(kPageSettings)->trigger();
  EXPECT_TRUE(w.windowTitle().endsWith("[*] - Ombrelo - Settings"));
  EXPECT_TRUE(w.Action(kPageSettings)->isChecked());
  EXPECT_FALSE(w.Action(kPageSelect)->isChecked());
  ASSERT_NE(session_->help.TutorialWindow(), nullptr);
  EXPECT_TRUE(Contains(session_->help.TutorialWindow()->Address(), "tutorial/settings.htm"));

  // Back and forth: the settings tutorial stays a once-per-run page.
  w.Dispatch(kPageSelect);
  w.Dispatch(kPageSettings);
  EXPECT_EQ(TimesShown("settings.htm"), 1);

  // Entered from the settings page, the progress page returns there, also
  // after a visit to the results page.
  w.Dispatch(kPageProgress);
  EXPECT_TRUE(w.windowTitle().endsWith("[*] - Ombrelo - Indexing"));
  EXPECT_EQ(TimesShown("progress_noneselected.htm"), 1);
  w.Dispatch(kPageResults);
  EXPECT_TRUE(w.windowTitle().endsWith("[*] - Ombrelo - Results"));
  EXPECT_EQ(TimesShown("results.htm"), 1);
  w.Dispatch(kPageProgress);
  Button(w.PageAt(kProgressPage), "Back")->click();
  EXPECT_EQ(w.CurrentPage(), kSettingsPage);

  // From the movie selection page it returns to that page.
  w.Dispatch(kPageSelect);
  w.Dispatch(kPageProgress);
  Button(w.PageAt(kProgressPage), "Back")->click();
  EXPECT_EQ(w.CurrentPage(), kSelectPage);
  EXPECT_EQ(TimesShown("progress_noneselected.htm"), 1);

  // Every page has the page background, and the buttons at the foot of the
  // progress and results pages are the picture buttons of the others.
  for (int page : {kSelectPage, kSettingsPage, kProgressPage, kResultsPage})
    EXPECT_NE(qobject_cast<PageWidget*>(w.PageAt(page)), nullptr) << "page " << page;
  for (const auto& [page, text] : {std::pair{kProgressPage, "Back"},
                                   {kProgressPage, "Next"},
                                   {kResultsPage, "Back"},
                                   {kResultsPage, "HTML Report"}})
    EXPECT_NE(qobject_cast<BitmapButton*>(Button(w.PageAt(page), text)), nullptr) << text;
}

TEST_F(MainWindowTest, ProgressTutorialOnlyForAnEmptyProjectAndTheWindowKeepsItsMinimumSize) {
  project_->AddMovie(Folder() + "clip.avi");
  MainWindow& w = Window();
  w.Dispatch(kPageProgress);
  EXPECT_EQ(w.CurrentPage(), kProgressPage);
  EXPECT_EQ(TimesShown("progress_noneselected.htm"), 0);

  EXPECT_EQ(w.size(), QSize(852, 563));
  w.show();
  w.resize(300, 200);
  EXPECT_GE(w.width(), 600);
  EXPECT_GE(w.height(), 450);

  // The bars come and go with their check marks.
  auto* toolBar = w.findChild<QToolBar*>();
  ASSERT_NE(toolBar, nullptr);
  w.Dispatch(kToggleToolBar);
  EXPECT_FALSE(toolBar->isVisible());
  EXPECT_FALSE(w.Action(kToggleToolBar)->isChecked());
  w.Dispatch(kToggleToolBar);
  EXPECT_TRUE(toolBar->isVisible());
  w.Dispatch(kToggleStatusBar);
  EXPECT_FALSE(w.Action(kToggleStatusBar)->isChecked());
}

TEST_F(MainWindowTest,
       SaveAsksForAFileOnceWritesTheSettingsFieldsAndACancelledDialogWritesNothing) {
  RecordingMessagePort messages;
  MainWindow& w = Window();
  int dialogs = 0;
  QString answer;
  w.SetFileChooser([&](QWidget*, MainWindow::FileDialog kind) {
    EXPECT_NE(kind, MainWindow::FileDialog::saveReport);
    ++dialogs;
    return answer;
  });

  w.Dispatch(kSaveProject);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(w.CurrentProjectPath().empty());
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));

  const std::string path = Folder() + "my project & co.obx";
  const QString browsed = QString::fromStdString(Folder()).chopped(1);
  w.Selection()->ShowFolder(browsed);
  answer = QString::fromStdString(path);
  w.Settings()->StartAfter()->setText("7");
  w.Dispatch(kSaveProject);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "Save Project");
  EXPECT_EQ(messages.shown[0].text, "Project Saved Successfully");
  EXPECT_EQ(project_->Capture().delaybeforefirst, 7.0);
  EXPECT_TRUE(Contains(ReadFileBytes(path), "<obxproject>"));

  // The path is known now: no dialog for Save, always one for Save As.
  w.Dispatch(kSaveProject);
  EXPECT_EQ(dialogs, 2);
  answer.clear();
  w.Dispatch(kSaveProjectAs);
  EXPECT_EQ(dialogs, 3);
  EXPECT_EQ(w.CurrentProjectPath(), path);  // a cancelled dialog changes nothing
  EXPECT_EQ(messages.shown.size(), 2u);

  // Open: the project comes back with its settings and the folder it was
  // browsing, and becomes the current one.
  project_->UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 99; });
  w.Selection()->ShowFolder(QDir::rootPath());  // browsing elsewhere is dropped
  w.SetSaveQuestion([](QWidget*, const QString&) { return MainWindow::SaveAnswer::discard; });
  answer = QString::fromStdString(path);
  w.Dispatch(kOpenProject);
  EXPECT_EQ(w.CurrentProjectPath(), path);
  EXPECT_EQ(w.Settings()->StartAfter()->text(), "7.0");
  EXPECT_EQ(w.Selection()->ShownFolder(), browsed);

  // A file that is no project is refused with the designed message, the
  // file's name and why.
  const std::string bad = Folder() + "bad.obx";
  ASSERT_TRUE(testing::WriteFileBytes(bad, "<obxproject><settings>nonsense"));
  EXPECT_FALSE(w.OpenProjectFile(bad));
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[2].caption, "Ombrelo");
  EXPECT_EQ(messages.shown[2].text, "Failed to open project file\n" + bad +
                                        "\nFormat error : missing <imagescale>\n"
                                        "The project was not changed.");
}

TEST_F(MainWindowTest, RemoveTakesTheFirstSelectedVideoAndNextFollowsTheProjectNotTheList) {
  MainWindow& w = Window();
  SelectPage& page = *w.Selection();
  EXPECT_FALSE(page.NextButton()->isEnabled());
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) project_->AddMovie(Folder() + name);
  ASSERT_EQ(page.VideoIds().size(), 3u);
  EXPECT_TRUE(page.NextButton()->isEnabled());

  page.Videos()->selectAll();
  w.Dispatch(kRemoveMovie);
  ASSERT_EQ(project_->Movies().size(), 2u);
  EXPECT_EQ(project_->Movies().front().path(), Folder() + "b.avi");
  EXPECT_EQ(page.VideoIds().size(), 2u);

  // A failed movie is not listed, survives "Remove all", and keeps "Next" on.
  project_->UpdateMovie(project_->Movies().front().id(), [&](Movie& m) { m.SetError("broken"); });
  w.Dispatch(kRemoveAll);
  EXPECT_EQ(page.VideoIds().size(), 0u);
  ASSERT_EQ(project_->Movies().size(), 1u);
  w.Dispatch(kPageSettings);
  w.Dispatch(kPageSelect);
  EXPECT_EQ(page.VideoIds().size(), 0u);
  EXPECT_TRUE(page.NextButton()->isEnabled());
}

TEST_F(MainWindowTest, NextIndexesARealVideoAndTheRunEndsWithItsOutputsAndTheCompletedNotice) {
  testing::VideoCache videos("desktop-videos");
  const std::string clip = videos.Make(testing::SmallVideo(100), "Ferien am Meer.avi");
  ASSERT_FALSE(clip.empty());
  MainWindow& w = Window();
  // Start takes the delays from the settings page's fields.
  w.Settings()->StartAfter()->setText("1");
  w.Settings()->SaveEvery()->setText("1");
  EXPECT_FALSE(w.Action(kStart)->isEnabled());
  w.Selection()->AddDroppedPaths({QString::fromStdString(clip)});
  EXPECT_TRUE(w.Action(kStart)->isEnabled());

  // The notice at the end is modal: close it when it comes.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* notice = qobject_cast<HelpWindow*>(QApplication::activeModalWidget()))
      notice->CloseButton()->click();
  });
  closer.start(20);
  const uint32_t indexedBefore = preferences_->Videos();
  w.Selection()->NextButton()->click();
  EXPECT_EQ(w.CurrentPage(), kProgressPage);
  EXPECT_TRUE(session_->controller.RunActive());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session_->controller.RunActive(); }, 120000));

  const Movie& movie = project_->Movies().front();
  EXPECT_EQ(movie.status, kMovieDone);
  EXPECT_EQ(movie.images.size(), 3u);  // at 1, 2 and 3 s of a 4 s video
  EXPECT_TRUE(testing::FileExists(movie.indexphoto));
  EXPECT_EQ(TimesShown("completed.htm"), 1);
  // One more movie indexed for the About box, saved when the run ended.
  EXPECT_EQ(preferences_->Videos(), indexedBefore + 1);
  EXPECT_EQ(Preferences().Videos(), indexedBefore + 1);
  EXPECT_EQ(w.Progress()->ProgressPosition(), 100);  // per cent
  // The page told how far the run had come, and how long it took.
  EXPECT_EQ(w.Progress()->CountText(), "Video 1 of 1, thumbnail 3 of about 3");
  EXPECT_TRUE(w.Progress()->TimeText().endsWith(" elapsed"))
      << w.Progress()->TimeText().toStdString();
  EXPECT_EQ(w.Results()->CellText(movie.id(), ombrelo::desktop::ResultsPage::kImagesColumn), "3");
  EXPECT_EQ(w.StatusText(), "Ready");
  EXPECT_FALSE(w.Action(kStart)->isEnabled());
  EXPECT_EQ(w.Selection()->VideoIds().size(), 0u);

  // The report of the project, then the question whether to open it.
  RecordingMessagePort messages;
  const std::string report = Folder() + "report.html";
  w.SetFileChooser([&](QWidget*, MainWindow::FileDialog kind) {
    EXPECT_EQ(kind, MainWindow::FileDialog::saveReport);
    return QString::fromStdString(report);
  });
  w.Dispatch(kGenerateReport);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.asked.empty(); }, 20000));
  EXPECT_TRUE(Contains(ReadFileBytes(report), "Ferien am Meer"));
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].caption, "Html report saved");
}

TEST_F(MainWindowTest, NextWithEveryVideoIndexedOffersToIndexThemAgainWithTheNewSettings) {
  testing::VideoCache videos("desktop-videos");
  const std::string clip = videos.Make(testing::SmallVideo(100), "Ferien am Meer.avi");
  ASSERT_FALSE(clip.empty());
  const int32_t doneId = project_->AddMovie(clip);
  project_->UpdateMovie(doneId, [](Movie& m) { m.status = kMovieDone; });
  const int32_t failedId = project_->AddMovie(Folder() + "kaputt.avi");
  project_->AddMovieError(failedId, "It is not a video\n");
  MainWindow& w = Window();
  ASSERT_EQ(w.Results()->RowCount(), 2);
  // The schedule changed: two thumbnails of the 4 s video, at 2 and 3 s.
  w.Settings()->StartAfter()->setText("2");
  w.Settings()->SaveEvery()->setText("1");

  // No: nothing is queued and nothing starts.
  w.Selection()->NextButton()->click();
  ASSERT_EQ(messages_.asked.size(), 1u);
  EXPECT_EQ(messages_.asked[0].text,
            "All videos of the project are indexed. Index them again with the current settings?");
  EXPECT_EQ(messages_.asked[0].icon, MessageIcon::question);
  EXPECT_FALSE(session_->controller.RunActive());
  EXPECT_TRUE(project_->HasMovie(doneId));
  EXPECT_EQ(w.Results()->RowCount(), 2);

  // Yes: the indexed video is queued again and indexed; the failed one stays.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* notice = qobject_cast<HelpWindow*>(QApplication::activeModalWidget()))
      notice->CloseButton()->click();
  });
  closer.start(20);
  messages_.answer = true;
  w.Selection()->NextButton()->click();
  EXPECT_EQ(messages_.asked.size(), 2u);
  EXPECT_EQ(w.CurrentPage(), kProgressPage);
  EXPECT_TRUE(session_->controller.RunActive());
  EXPECT_FALSE(project_->HasMovie(doneId));
  EXPECT_EQ(w.Results()->RowCount(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session_->controller.RunActive(); }, 120000));
  ASSERT_EQ(project_->Movies().size(), 2u);
  EXPECT_EQ(project_->Movies().front().id(), failedId);
  const Movie& again = project_->Movies().back();
  EXPECT_EQ(again.path(), clip);
  EXPECT_EQ(again.status, kMovieDone);
  EXPECT_EQ(again.images.size(), 2u);
  EXPECT_EQ(w.Results()->RowCount(), 2);
  EXPECT_EQ(TimesShown("completed.htm"), 1);
}

TEST_F(MainWindowTest, TheReportShowsAFailedVideosSizeAndWhyAndACancelWritesNothing) {
  project_->AddMovieError(project_->AddMovie(Folder() + "holiday.mp4"), "It is not a video\n");
  ASSERT_TRUE(testing::WriteFileBytes(Folder() + "holiday.mp4", std::string(300 * 1024 + 9, 'j')));
  RecordingMessagePort messages;  // No: the report is not opened
  std::string path;
  W().SetFileChooser([&](QWidget*, auto) { return QString::fromStdString(path); });
  W().Dispatch(kGenerateReport);  // cancelled
  EXPECT_TRUE(messages.asked.empty());
  path = Folder() + "failed report.html";
  W().Dispatch(kGenerateReport);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.asked.empty(); }, 20000));
  const std::string report = ReadFileBytes(path);
  const auto cell = [](const std::string& text) { return "<td class=\"num\">" + text + "</td>"; };
  EXPECT_TRUE(Contains(report, cell("300 KB"))) << report;
  EXPECT_TRUE(Contains(report, "It is not a video"));
  EXPECT_FALSE(Contains(report, cell("0:00")));  // no length known, none shown
  EXPECT_EQ(messages.asked.size(), 1u);
}

TEST_F(MainWindowTest, TheReportIsMadeWhileTheWindowAnswersAndItsFailureComesBackInABox) {
  // Never opened: the worker finds its size in its file.
  project_->AddMovie(Folder() + "holiday.mp4");
  ASSERT_TRUE(testing::WriteFileBytes(Folder() + "holiday.mp4", std::string(300 * 1024 + 9, 'j')));
  RecordingMessagePort messages;
  std::string path = Folder() + "report.html";
  W().SetFileChooser([&](QWidget*, auto) { return QString::fromStdString(path); });
  // The transformation waits until the window's event loop has turned.
  std::mutex mutex;
  std::condition_variable turned;
  bool released = false, waited = false;
  std::thread::id transformThread;
  std::string document;
  W().SetReportTransform(
      [&](std::string* page, const std::string& xml, const std::string&, std::string*) {
        std::unique_lock<std::mutex> lock(mutex);
        transformThread = std::this_thread::get_id();
        document = xml;
        waited = turned.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
        *page = "<html>" + xml + "</html>";
        return true;
      });
  W().Dispatch(kGenerateReport);
  QTimer::singleShot(0, [&] {
    const std::lock_guard<std::mutex> lock(mutex);
    released = true;
    turned.notify_all();
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.asked.empty(); }, 20000));
  EXPECT_TRUE(waited) << "the window waited for the report";
  EXPECT_NE(transformThread, std::this_thread::get_id());
  EXPECT_TRUE(Contains(ReadFileBytes(path), "holiday.mp4"));
  EXPECT_TRUE(Contains(document, "<size>300</size>")) << document;
  EXPECT_EQ(messages.asked[0].caption, "Html report saved");

  // A file that cannot be written: today's box, and no question.
  ASSERT_TRUE(testing::WriteFileBytes(Folder() + "plain", "x"));
  path = Folder() + "plain/report.html";
  released = true;
  W().Dispatch(kGenerateReport);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 20000));
  EXPECT_EQ(messages.shown[0].caption, "Error");
  EXPECT_TRUE(messages.shown[0].text.starts_with("Failed to open html file (" + path))
      << messages.shown[0].text;
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::error);
  EXPECT_EQ(messages.asked.size(), 1u);
}

TEST_F(MainWindowTest, AVideoThatCannotBeOpenedIsListedWithItsErrorAndTheRunSaysSo) {
  const std::string missing = Folder() + "verloren & weg.avi";
  project_->AddMovie(missing);
  const int32_t id = project_->Movies().back().id();
  W().Dispatch(kStart);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session_->controller.RunActive(); }, 20000));
  // The summary comes from the idle step that ends the run.
  const std::string error =
      "Error capturing from '" + missing + "' - The system cannot find the file specified.";
  EXPECT_EQ(W().Progress()->ErrorText(), error);
  EXPECT_EQ(W().Results()->CellText(id, ombrelo::desktop::ResultsPage::kErrorColumn),
            QString::fromStdString(error));
  EXPECT_EQ(W().Selection()->VideoIds().size(), 0u);
  EXPECT_EQ(TimesShown("completed.htm"), 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].caption, "Indexing finished");
  EXPECT_EQ(messages_.shown[0].text,
            "0 videos were indexed and 1 could not be indexed.\n"
            "Each video that failed is listed with its error.");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::warning);
  EXPECT_FALSE(W().Action(kStart)->isEnabled());
}

TEST_F(MainWindowTest, ClosingWhileIndexingAsksThenStopsTheCaptureBeforeTheWindowGoes) {
  AnswerDialogs();
  testing::VideoCache videos("desktop-videos");
  const std::string clip = videos.Make(testing::SmallVideo(100), "Lange Reise.avi");
  W().Settings()->StartAfter()->setText("1");
  W().Selection()->AddDroppedPaths({QString::fromStdString(clip)});
  W().show();
  W().Dispatch(kStart);
  ASSERT_TRUE(session_->controller.RunActive());
  EXPECT_FALSE(W().close());  // Cancel: the run goes on
  EXPECT_TRUE(session_->controller.RunActive());
  answer_ = Answer::discard;
  W().close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !W().isVisible(); }, 60000));
  EXPECT_FALSE(session_->controller.RunActive());
  EXPECT_EQ(CaptureEngine::Instance().GetState(), CaptureState::idle);
  EXPECT_EQ(asked_.size(), 2u);
}

TEST_F(MainWindowTest, SkippingBlankThumbnailsIsAPreferenceTheEngineFollows) {
  CaptureEngine& engine = CaptureEngine::Instance();
  // The modal advanced settings dialog is answered once it shows.
  const auto answerAdvanced = [this](bool skip) {
    auto* poll = new QTimer(&W());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, skip] {
      if (auto* dialog = qobject_cast<AdvancedSettingsDialog*>(QApplication::activeModalWidget())) {
        poll->deleteLater();
        dialog->SkipBlankBox()->setChecked(skip);
        dialog->accept();
      }
    });
    poll->start(10);
    W().Settings()->AdvancedButton()->click();
  };
  answerAdvanced(true);
  EXPECT_TRUE(engine.GetSkipBlank());
  session_.reset();
  engine.SetSkipBlank(false);
  session_ = std::make_unique<DesktopSession>(*project_, engine, *preferences_, pages_);
  EXPECT_TRUE(engine.GetSkipBlank()) << "the next start takes it up";
  answerAdvanced(false);
  EXPECT_FALSE(engine.GetSkipBlank());
  EXPECT_FALSE(
      QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganizationName, kApplicationName)
          .contains(QStringLiteral("SkipBlankThumbnails")))
      << "turned off, it leaves the user's settings as they were";
}

TEST_F(MainWindowTest, WhatWasTypedOnTheSettingsPageSurvivesBrowsingAndTheImagesBox) {
  SettingsPage& page = *W().Settings();
  const auto& images = page.Controls(SettingsPage::kImages);
  const auto& playlist = page.Controls(SettingsPage::kPlaylist);
  if (!playlist.enabled->isChecked()) playlist.enabled->click();
  images.folder->setText("/srv/Bilder");
  page.StartAfter()->setText("4");
  page.SetFolderChooser([](QWidget*, const QString&) { return QStringLiteral("/srv/Listen"); });
  playlist.browse->click();
  EXPECT_EQ(images.folder->text(), "/srv/Bilder/");
  page.SaveEvery()->setText("9");
  images.enabled->click();
  images.enabled->click();
  EXPECT_EQ(page.StartAfter()->text() + page.SaveEvery()->text(), "4.09.0");
  EXPECT_TRUE(playlist.enabled->isChecked() && project_->Output().iplEnabled);
}

TEST_F(MainWindowTest, APausedCaptureSaysPausedInTheStatusLineAndOnTheProgressPage) {
  testing::VideoCache videos("desktop-pause");
  const std::string clip = videos.Make(testing::SmallVideo(1500), "long clip.avi");
  MainWindow& w = Window();
  auto* progress = w.findChild<ombrelo::desktop::ProgressPage*>();
  QAction* pause = w.Action(kPause);
  w.Settings()->StartAfter()->setText("0");
  w.Settings()->SaveEvery()->setText("0.2");
  w.Selection()->AddDroppedPaths({QString::fromStdString(clip)});
  w.Dispatch(kStart);
  ASSERT_TRUE(QTest::qWaitFor([&] { return pause->isEnabled(); }, 20000));
  pause->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.StatusText() == "Paused"; }, 10000));
  EXPECT_EQ(CaptureEngine::Instance().GetState(), CaptureState::paused);
  EXPECT_TRUE(pause->isChecked());
  EXPECT_EQ(progress->StateText(), "Paused");
  pause->trigger();  // resumes
  EXPECT_EQ(w.StatusText(), "Capturing");
  EXPECT_TRUE(QTest::qWaitFor([&] { return progress->StateText().empty(); }, 10000));
  EXPECT_FALSE(pause->isChecked());
  w.Dispatch(kStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session_->controller.RunActive(); }, 60000));
}

}  // namespace
}  // namespace ombrelo::desktop
