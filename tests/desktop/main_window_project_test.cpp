// The main window's project file commands and the work they keep: changed
// work offered for saving, no file lost or replaced unasked, a project open
// in another window, and videos that moved since the project was saved.
#include <sys/stat.h>

#include <QLockFile>
#include <QSysInfo>
#include <QTest>
#include <filesystem>

#include "app/desktop/commands.h"
#include "app/desktop/project_lock.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "main_window_fixture.h"
#include "support/test_videos.h"

namespace ombrelo::desktop {
namespace {

using testing::Contains;
using testing::FileExists;
using testing::ReadFileBytes;
using Answer = MainWindow::SaveAnswer;

// Nothing a user does loses their work: changed work is offered for saving,
// a failed Open keeps the project, no other file is replaced unasked, and the
// settings page follows the project.
TEST_F(MainWindowTest, ChangedWorkIsOfferedForSavingAndNoFileIsLostOrReplacedUnasked) {
  AnswerDialogs();
  EXPECT_TRUE(W().windowTitle().startsWith("Untitled[*] - Ombrelo"));
  W().Selection()->ShowFolder(QString::fromStdString(Folder()));
  EXPECT_FALSE(W().ProjectModified()) << "browsing folders changes no work";
  W().Dispatch(kNewProject);  // nothing changed: nothing asked
  W().Selection()->AddDroppedPaths({QString::fromStdString(Folder() + "Sommer am Fluss.avi")});
  const std::vector<std::string>& names = W().Settings()->Templates(TemplateKind::kWeb).names;
  const std::string before = project_->Output().htmlTransform;
  const std::string other = names.at(0) == before ? names.at(1) : names.at(0);
  project_->SetHtmlTransform(other);  // not through the page
  EXPECT_TRUE(W().ProjectModified());
  W().Dispatch(kExit);  // Cancel keeps everything
  W().Dispatch(kOpenProject);
  EXPECT_EQ(asked_, std::vector<QString>(2, "Untitled"));
  EXPECT_EQ(project_->Movies().size(), 1u);

  // Save (before New) to a file that exists: asked first, No keeps it.
  const std::string first = Folder() + "erste.obx";
  ASSERT_TRUE(testing::WriteFileBytes(first, "precious"));
  ASSERT_EQ(chmod(first.c_str(), 0640), 0);
  chosen_ = first;
  W().Dispatch(kSaveProjectAs);
  EXPECT_EQ(ReadFileBytes(first), "precious");
  messages_.answer = true;
  answer_ = Answer::save;
  const size_t shown = messages_.shown.size();
  W().Dispatch(kNewProject);
  EXPECT_EQ(messages_.asked.size(), 2u);
  EXPECT_EQ(messages_.shown.size(), shown);  // Save was the answer: no box says so again
  EXPECT_TRUE(Contains(ReadFileBytes(first), "Sommer am Fluss.avi"));
  struct stat st {};
  EXPECT_TRUE(stat(first.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
  EXPECT_TRUE(project_->Movies().empty());

  // A file that cannot be read leaves the opened project as it is.
  W().Dispatch(kOpenProject);
  const std::string broken = Folder() + "kaputt.obx";
  ASSERT_TRUE(testing::WriteFileBytes(broken, ReadFileBytes(first).substr(0, 300)));
  chosen_ = broken;
  W().Dispatch(kOpenProject);
  EXPECT_EQ(messages_.shown.back().caption, "Ombrelo");
  EXPECT_TRUE(Contains(messages_.shown.back().text,
                       "Failed to open project file\n" + broken + "\nFormat error : missing"));
  EXPECT_EQ(W().CurrentProjectPath(), first);
  EXPECT_EQ(project_->Movies().size(), 1u);
  EXPECT_TRUE(W().windowTitle().startsWith("erste.obx[*]"));

  // The settings page steps from the project's template, not a stale one.
  W().Settings()->StepTemplate(TemplateKind::kWeb, +1);
  EXPECT_EQ(project_->Output().htmlTransform, before);
  answer_ = Answer::discard;
  EXPECT_TRUE(W().close());
  EXPECT_EQ(asked_.size(), 4u);
}

TEST_F(MainWindowTest, AProjectAnotherWindowHasOpenIsOpenedReadOnlyAndNoSaveReplacesUnasked) {
  AnswerDialogs();
  messages_.answer = false;
  W().Selection()->AddDroppedPaths({QString::fromStdString(Folder() + "Été à Lyon.avi")});
  const std::string shared = Folder() + "Gemeinsam.obx";
  chosen_ = shared;
  W().Dispatch(kSaveProjectAs);
  ASSERT_TRUE(FileExists(shared));
  const std::string saved = ReadFileBytes(shared);

  // Another program holds the file while this window has it: a second
  // program learns who, and this one keeps it.
  QLockFile other(ProjectLockPath(shared));
  EXPECT_FALSE(other.tryLock(0)) << "the window that saved the project holds it";
  W().Dispatch(kNewProject);
  ASSERT_TRUE(other.tryLock(0)) << "a new project gives the file up";

  std::vector<qint64> holders;
  auto answer = MainWindow::LockedAnswer::cancel;
  W().SetLockedQuestion([&](QWidget*, const QString& path, qint64 holder) {
    EXPECT_EQ(path.toStdString(), shared);
    holders.push_back(holder);
    return answer;
  });
  EXPECT_FALSE(W().OpenProjectFile(shared)) << "Cancel leaves it";
  EXPECT_TRUE(project_->Movies().empty());
  answer = MainWindow::LockedAnswer::readOnly;
  ASSERT_TRUE(W().OpenProjectFile(shared));
  EXPECT_EQ(holders, std::vector<qint64>(2, QCoreApplication::applicationPid()));
  EXPECT_TRUE(W().ReadOnly());
  EXPECT_TRUE(W().windowTitle().startsWith("Gemeinsam.obx (read-only)"));

  // Save of a read-only project asks for another file; the shared one is
  // refused even when chosen.
  project_->SetHtmlTransform(project_->Output().htmlTransform + "x");
  chosen_.clear();
  W().Dispatch(kSaveProject);
  EXPECT_EQ(ReadFileBytes(shared), saved);
  chosen_ = shared;
  messages_.answer = true;  // "replace it?" yes: still not another window's file
  W().Dispatch(kSaveProject);
  EXPECT_EQ(ReadFileBytes(shared), saved);
  EXPECT_TRUE(Contains(messages_.shown.back().text, "is open in another Ombrelo window"));
  const std::string mine = Folder() + "Meins.obx";
  chosen_ = mine;
  W().Dispatch(kSaveProject);
  EXPECT_FALSE(W().ReadOnly());
  EXPECT_TRUE(FileExists(mine));
  EXPECT_EQ(W().CurrentProjectPath(), mine);

  // The file changed by another program since it was saved here: Save asks
  // first, and No keeps the other program's file.
  other.unlock();
  ASSERT_TRUE(testing::WriteFileBytes(mine, saved));
  project_->SetHtmlTransform(project_->Output().htmlTransform + "y");
  messages_.answer = false;
  const size_t askedBefore = messages_.asked.size();
  W().Dispatch(kSaveProject);
  ASSERT_EQ(messages_.asked.size(), askedBefore + 1);
  EXPECT_TRUE(Contains(messages_.asked.back().text, "was changed on disk"));
  EXPECT_EQ(ReadFileBytes(mine), saved);
  messages_.answer = true;
  W().Dispatch(kSaveProject);
  EXPECT_NE(ReadFileBytes(mine), saved);

  // A lock left by a program that was killed is taken over.
  const std::string left = Folder() + "Verlassen.obx";
  ASSERT_TRUE(testing::WriteFileBytes(left, saved));
  ASSERT_TRUE(testing::WriteFileBytes(
      ProjectLockPath(left).toStdString(),
      "999999\nombrelo\n" + QSysInfo::machineHostName().toStdString() + "\n"));
  holders.clear();
  EXPECT_TRUE(W().OpenProjectFile(left));
  EXPECT_TRUE(holders.empty());
  EXPECT_FALSE(W().ReadOnly());
}

TEST_F(MainWindowTest, AProjectWhoseVideosMovedSaysHowManyAreMissingUntilTheyAreLocated) {
  // A project indexed in one folder, saved, then the folder renamed.
  const std::string old = Folder() + "Urlaub/";
  CProject saved(Folder());
  for (const char* name : {"Strand.mp4", "Berge.mp4"}) {
    testvideo::VideoOptions options = testing::SmallVideo(10);
    options.path = old + name;
    std::filesystem::create_directories(old);
    ASSERT_TRUE(testvideo::Generate(options));
    saved.SetMovieStatus(saved.AddMovie(old + name), kMovieDone);
  }
  const std::string file = Folder() + "urlaub.obx";
  ASSERT_TRUE(saved.Save(file));
  const std::string renamed = Folder() + "Urlaub 2026/";
  std::filesystem::rename(old, renamed);

  AnswerDialogs();
  chosen_ = file;
  W().Dispatch(kOpenProject);
  ASSERT_EQ(project_->Movies().size(), 2u);
  EXPECT_EQ(W().StatusText(), "2 videos are missing");
  const int32_t first = project_->Movies().front().id();
  EXPECT_EQ(W().Results()->CellText(first, ResultsPage::kStatusColumn), "Missing");

  W().Results()->SelectMovie(first);
  W().Results()->SetFolderChooser(
      [&](QWidget*, const QString&) { return QString::fromStdString(renamed); });
  ASSERT_TRUE(W().Dispatch(kResultsLocate));
  EXPECT_EQ(project_->Movies().front().path(), renamed + "Strand.mp4");
  EXPECT_EQ(project_->Movies().back().path(), renamed + "Berge.mp4");
  EXPECT_EQ(W().StatusText(), "Ready");
  EXPECT_EQ(W().Results()->CellText(first, ResultsPage::kStatusColumn), "");
  // The relinked paths are work to be saved.
  EXPECT_TRUE(W().ProjectModified());
}

}  // namespace
}  // namespace ombrelo::desktop
