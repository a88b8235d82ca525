// The main window as a user meets it: pages and their titles, tutorial
// pages, the progress page's way back, the window's size, the project file
// commands, the list of videos to index.
#include <QAbstractButton>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "app/page_generation.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/recording_message_port.h"

namespace ombrelo::desktop {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::RecordingMessagePort;

class MainWindowTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
  }
  MainWindow& Window() { return session_->window; }
  int TimesShown(const std::string& page) {
    const auto& shown = session_->help.Shown();
    return static_cast<int>(std::count(shown.begin(), shown.end(), page));
  }
  QAbstractButton* Button(QWidget* page, const QString& text) {
    for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
      if (button->text() == text) return button;
    return nullptr;
  }

  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
};

TEST_F(MainWindowTest, PagesSwitchWithTitlesCheckMarksTutorialsOnceAndTheProgressPagesWayBack) {
  MainWindow& w = Window();
  EXPECT_EQ(w.CurrentPage(), kSelectPage);
  EXPECT_EQ(w.windowTitle(), "Ombrelo - Select files");
  EXPECT_TRUE(w.Action(kPageSelect)->isChecked());
  EXPECT_EQ(w.StatusText(), "Ready");

  w.Action(kPageSettings)->trigger();
  EXPECT_EQ(w.windowTitle(), "Ombrelo - Settings");
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
  EXPECT_EQ(w.windowTitle(), "Ombrelo - Indexing");
  EXPECT_EQ(TimesShown("progress_noneselected.htm"), 1);
  w.Dispatch(kPageResults);
  EXPECT_EQ(w.windowTitle(), "Ombrelo - Results");
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
}

TEST_F(MainWindowTest,
       SaveAsksForAFileOnceWritesTheSettingsFieldsAndACancelledDialogWritesNothing) {
  RecordingMessagePort messages;
  MainWindow& w = Window();
  int dialogs = 0;
  QString answer;
  w.SetFileChooser([&](QWidget*, MainWindow::FileDialog kind) {
    EXPECT_EQ(kind, MainWindow::FileDialog::saveProject);
    ++dialogs;
    return answer;
  });

  w.Dispatch(kSaveProject);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(w.CurrentProjectPath().empty());
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));

  const std::string path = Folder() + "my project & co.obx";
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
  EXPECT_TRUE(w.CurrentProjectPath().empty());
  EXPECT_EQ(messages.shown.size(), 2u);

  // A file that is no project is refused with the designed message.
  const std::string bad = Folder() + "bad.obx";
  ASSERT_TRUE(testing::WriteFileBytes(bad, "<obxproject><settings>nonsense"));
  EXPECT_FALSE(w.OpenProjectFile(bad));
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[2].caption, "View Index");
  EXPECT_EQ(messages.shown[2].text, "Failed to open project file");
}

TEST_F(MainWindowTest, RemoveTakesTheFirstSelectedVideoAndNextFollowsTheProjectNotTheList) {
  MainWindow& w = Window();
  SelectPage& page = *w.Selection();
  EXPECT_FALSE(page.NextButton()->isEnabled());
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) project_->AddMovie(Folder() + name);
  w.RefreshSelection();
  ASSERT_EQ(page.Videos()->topLevelItemCount(), 3);
  EXPECT_TRUE(page.NextButton()->isEnabled());

  page.Videos()->selectAll();
  w.Dispatch(kRemoveMovie);
  ASSERT_EQ(project_->Movies().size(), 2u);
  EXPECT_EQ(project_->Movies().front().path(), Folder() + "b.avi");
  EXPECT_EQ(page.Videos()->topLevelItemCount(), 2);

  // A failed movie is not listed, survives "Remove all", and keeps "Next" on.
  project_->FindMovieForWrite(project_->Movies().front().id())->SetError("broken");
  w.RefreshSelection();
  w.Dispatch(kRemoveAll);
  EXPECT_EQ(page.Videos()->topLevelItemCount(), 0);
  ASSERT_EQ(project_->Movies().size(), 1u);
  w.Dispatch(kPageSettings);
  w.Dispatch(kPageSelect);
  EXPECT_EQ(page.Videos()->topLevelItemCount(), 0);
  EXPECT_TRUE(page.NextButton()->isEnabled());
}

}  // namespace
}  // namespace ombrelo::desktop
