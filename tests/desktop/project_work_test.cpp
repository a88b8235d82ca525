// Nothing a user does loses their work: a failed Open keeps the project,
// changed work is offered for saving before it is set aside, Save As asks
// before replacing another file, and the settings page neither shows a
// stale template nor forgets what was typed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "app/page_generation.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/recording_message_port.h"
#include "support/test_videos.h"

namespace ombrelo::desktop {
namespace {

using testing::Contains;
using testing::ReadFileBytes;
using testing::RecordingMessagePort;
using testing::WriteFileBytes;

class ProjectWorkTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
    // The file dialogs and the question about changed work answer from here.
    Window().SetFileChooser([this](QWidget*, MainWindow::FileDialog kind) {
      dialogs_.push_back(kind);
      return QString::fromStdString(chosen_);
    });
    Window().SetSaveQuestion([this](QWidget*, const QString& name) {
      asked_.push_back(name);
      return answer_;
    });
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
  }
  MainWindow& Window() { return session_->window; }
  int Listed() { return Window().Selection()->Videos()->topLevelItemCount(); }

  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
  RecordingMessagePort messages_;
  std::string chosen_;
  std::vector<MainWindow::FileDialog> dialogs_;
  MainWindow::SaveAnswer answer_ = MainWindow::SaveAnswer::cancel;
  std::vector<QString> asked_;
};

TEST_F(ProjectWorkTest, AFailedOpenKeepsTheProjectAndSaysWhichFileAndWhy) {
  MainWindow& w = Window();
  const std::string kept = Folder() + "kept.obx";
  project_->AddMovie(Folder() + "a.avi");
  w.RefreshSelection();
  chosen_ = kept;
  w.Dispatch(kSaveProject);
  ASSERT_EQ(w.CurrentProjectPath(), kept);

  const std::string broken = Folder() + "br\xC3\xBB" "ken.obx";
  ASSERT_TRUE(WriteFileBytes(broken, ReadFileBytes(kept).substr(0, 300)));
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {{broken, "Format error : missing"}, {Folder() + "gone.obx", "No such file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    messages_.shown.clear();
    chosen_ = c.path;
    w.Dispatch(kOpenProject);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, "Ombrelo");
    EXPECT_TRUE(Contains(messages_.shown[0].text, "Failed to open project file"));
    EXPECT_TRUE(Contains(messages_.shown[0].text, c.path));
    EXPECT_TRUE(Contains(messages_.shown[0].text, c.reason)) << messages_.shown[0].text;
    EXPECT_EQ(w.CurrentProjectPath(), kept);
    ASSERT_EQ(project_->Movies().size(), 1u);
    EXPECT_EQ(Listed(), 1);
  }
}

TEST_F(ProjectWorkTest, ChangedWorkIsOfferedForSavingBeforeExitNewOpenAndClose) {
  MainWindow& w = Window();
  w.show();
  EXPECT_TRUE(w.windowTitle().startsWith("Untitled[*] - Ombrelo")) << w.windowTitle().toStdString();
  EXPECT_FALSE(w.ProjectModified());

  // Unchanged work is set aside without a question.
  w.Dispatch(kNewProject);
  EXPECT_TRUE(asked_.empty());

  w.Selection()->AddDroppedPaths({QString::fromStdString(Folder() + "Sommer am Fluss.avi")});
  EXPECT_TRUE(w.ProjectModified());
  EXPECT_TRUE(w.isWindowModified());

  // Cancel keeps everything.
  w.Dispatch(kExit);
  w.Dispatch(kNewProject);
  EXPECT_EQ(asked_, std::vector<QString>(2, "Untitled"));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(project_->Movies().size(), 1u);

  // Discard: New makes an empty project with the settings as they are.
  w.Settings()->StartAfter()->setText("3");
  answer_ = MainWindow::SaveAnswer::discard;
  w.Dispatch(kNewProject);
  EXPECT_TRUE(project_->Movies().empty());
  EXPECT_EQ(Listed(), 0);
  EXPECT_EQ(project_->Capture().delaybeforefirst, 3.0);
  EXPECT_FALSE(w.ProjectModified());

  // Save: a changed setting is saved under a chosen name before Open
  // replaces the project; the title then names the opened project.
  const std::string first = Folder() + "erste.obx";
  const std::string second = Folder() + "zweite.obx";
  {
    CProject other(Folder());
    other.AddMovie(Folder() + "b.avi");
    ASSERT_TRUE(other.Save(second));
  }
  w.Settings()->StartAfter()->setText("4");
  answer_ = MainWindow::SaveAnswer::save;
  chosen_ = first;
  w.Dispatch(kOpenProject);  // saves to `first`, then opens `first`
  EXPECT_TRUE(Contains(ReadFileBytes(first), "<delaybeforefirst>4</delaybeforefirst>"));
  chosen_ = second;
  w.Settings()->StartAfter()->setText("5");
  w.Dispatch(kOpenProject);
  EXPECT_EQ(asked_.back(), "erste.obx");
  EXPECT_TRUE(Contains(ReadFileBytes(first), "<delaybeforefirst>5</delaybeforefirst>"));
  EXPECT_EQ(w.CurrentProjectPath(), second);
  EXPECT_EQ(Listed(), 1);
  EXPECT_FALSE(w.ProjectModified());
  EXPECT_TRUE(w.windowTitle().startsWith("zweite.obx[*]"));

  // The window's close button asks too; Discard closes.
  project_->RemoveMovie(Folder() + "b.avi");
  answer_ = MainWindow::SaveAnswer::cancel;
  EXPECT_FALSE(w.close());
  answer_ = MainWindow::SaveAnswer::discard;
  EXPECT_TRUE(w.close());
  EXPECT_EQ(asked_.size(), 7u);
}

TEST_F(ProjectWorkTest, ClosingWhileIndexingAsksThenStopsTheCaptureBeforeTheWindowGoes) {
  testing::VideoCache videos("desktop-videos");
  const std::string clip = videos.Make(testing::SmallVideo(100), "Lange Reise.avi");
  ASSERT_FALSE(clip.empty());
  MainWindow& w = Window();
  w.Settings()->StartAfter()->setText("1");
  w.Settings()->SaveEvery()->setText("1");
  w.Selection()->AddDroppedPaths({QString::fromStdString(clip)});
  QTimer closer;  // the notice at the end of a run is modal
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* notice = qobject_cast<HelpWindow*>(QApplication::activeModalWidget()))
      notice->CloseButton()->click();
  });
  closer.start(20);
  w.show();
  w.Selection()->NextButton()->click();
  ASSERT_TRUE(session_->controller.RunActive());

  EXPECT_FALSE(w.close());  // Cancel: the run goes on
  EXPECT_TRUE(session_->controller.RunActive());
  answer_ = MainWindow::SaveAnswer::discard;
  w.close();
  EXPECT_EQ(asked_.size(), 2u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 60000));
  EXPECT_FALSE(session_->controller.RunActive());
  EXPECT_EQ(CaptureEngine::Instance().GetState(), CaptureState::idle);
  EXPECT_EQ(asked_.size(), 2u);
}

TEST_F(ProjectWorkTest, SaveAsAsksBeforeReplacingAnotherFileAndKeepsItsMode) {
  MainWindow& w = Window();
  const std::string other = Folder() + "andere.obx";
  ASSERT_TRUE(WriteFileBytes(other, "precious"));
  ASSERT_EQ(chmod(other.c_str(), 0640), 0);
  project_->AddMovie(Folder() + "a.avi");

  chosen_ = other;
  messages_.answer = false;
  w.Dispatch(kSaveProjectAs);
  ASSERT_EQ(messages_.asked.size(), 1u);
  EXPECT_TRUE(Contains(messages_.asked[0].text, other));
  EXPECT_EQ(ReadFileBytes(other), "precious");
  EXPECT_TRUE(w.CurrentProjectPath().empty());
  EXPECT_TRUE(messages_.shown.empty());

  messages_.answer = true;
  w.Dispatch(kSaveProjectAs);
  EXPECT_TRUE(Contains(ReadFileBytes(other), "a.avi"));
  EXPECT_EQ(w.CurrentProjectPath(), other);
  struct stat st {};
  ASSERT_EQ(stat(other.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // Saving over the project's own file asks nothing; a cancelled dialog
  // keeps the project's name.
  w.Dispatch(kSaveProjectAs);
  EXPECT_EQ(messages_.asked.size(), 2u);
  chosen_.clear();
  w.Dispatch(kSaveProjectAs);
  EXPECT_EQ(w.CurrentProjectPath(), other);

  // A save that fails half-way (a full disk; here a file size limit) leaves
  // the old file as it was, and the message says so.
  messages_.shown.clear();
  {
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit old {}, small {};
    getrlimit(RLIMIT_FSIZE, &old);
    small = old;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    w.Dispatch(kSaveProject);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
  }
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(Contains(messages_.shown[0].text, "Failed to save project file"));
  EXPECT_TRUE(Contains(messages_.shown[0].text, "File too large"));
  EXPECT_TRUE(Contains(messages_.shown[0].text, "not changed"));
  EXPECT_TRUE(Contains(ReadFileBytes(other), "a.avi"));
}

TEST_F(ProjectWorkTest, TheSettingsPageFollowsTheOpenedProjectsTemplate) {
  MainWindow& w = Window();
  SettingsPage& page = *w.Settings();
  const std::vector<std::string> names = page.Templates(TemplateKind::kWeb).names;
  ASSERT_EQ(names.size(), 2u);
  const std::string before = project_->Output().htmlTransform;
  const std::string other = before == names[0] ? names[1] : names[0];
  const std::string path = Folder() + "vorlage.obx";
  {
    CProject saved(Folder());
    saved.SetHtmlTransform(other);
    ASSERT_TRUE(saved.Save(path));
  }
  chosen_ = path;
  w.Dispatch(kOpenProject);
  EXPECT_EQ(page.TemplateChooser(TemplateKind::kWeb).caption->text().toStdString(),
            WebTemplateCaption(other));
  page.StepTemplate(TemplateKind::kWeb, +1);
  EXPECT_EQ(project_->Output().htmlTransform, before);
}

TEST_F(ProjectWorkTest, WhatWasTypedOnTheSettingsPageSurvivesBrowsingAndTheImagesBox) {
  SettingsPage& page = *Window().Settings();
  const auto& images = page.Controls(SettingsPage::kImages);
  const auto& playlist = page.Controls(SettingsPage::kPlaylist);
  const auto& web = page.Controls(SettingsPage::kWebPage);
  if (!playlist.enabled->isChecked()) playlist.enabled->click();
  if (!web.enabled->isChecked()) web.enabled->click();
  images.here->click();
  images.folder->setText("/srv/Bilder");
  page.StartAfter()->setText("4");
  page.SaveEvery()->setText("9");
  page.SetFolderChooser([](QWidget*, const QString&) { return QStringLiteral("/srv/Listen"); });
  playlist.browse->click();
  EXPECT_EQ(playlist.folder->text(), "/srv/Listen/");
  EXPECT_EQ(images.folder->text(), "/srv/Bilder/");
  EXPECT_EQ(page.StartAfter()->text(), "4.0");
  EXPECT_EQ(page.SaveEvery()->text(), "9.0");

  images.folder->setText("/srv/Fotos");
  page.StartAfter()->setText("6");
  images.enabled->click();
  EXPECT_FALSE(playlist.enabled->isEnabled());
  images.enabled->click();
  EXPECT_EQ(images.folder->text(), "/srv/Fotos/");
  EXPECT_EQ(page.StartAfter()->text(), "6.0");
  EXPECT_TRUE(playlist.enabled->isChecked());
  EXPECT_TRUE(web.enabled->isChecked());
  EXPECT_TRUE(project_->Output().iplEnabled);
  EXPECT_TRUE(project_->Output().htmlEnabled);
}

}  // namespace
}  // namespace ombrelo::desktop
