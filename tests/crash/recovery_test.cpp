// Recovery at the start after a crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "crash/crash_recovery.h"
#include "project/project.h"
#include "support/debug_capture.h"
#include "support/marked_texts.h"

namespace ombrelo {
namespace {

using testing::FileExists;
using testing::TempFolder;

class RecordingView : public RecoveryView {
 public:
  void ReloadPages() override { calls.push_back("reload pages"); }
  void ReloadMovieList() override { calls.push_back("reload movie list"); }
  void ShowNoticePage(const std::string& name) override { calls.push_back("notice " + name); }
  bool AskYesNo(const Message& question) override {
    calls.push_back("ask " + question.caption);
    asked.push_back(question);
    return answer;
  }
  std::vector<std::string> calls;
  std::vector<Message> asked;
  bool answer = false;
};

// Saves a project whose movies have the given statuses as "crashed.obx".
std::string SaveCrashedProject(const TempFolder& folder, const std::vector<int>& statuses) {
  CProject crashed(folder.Path());
  for (size_t i = 0; i < statuses.size(); ++i) {
    crashed.AddMovie(folder / ("movie " + std::to_string(i) + ".avi"));
    crashed.UpdateMovie(crashed.Movies().back().id(), [&](Movie& m) { m.status = statuses[i]; });
  }
  const std::string path = folder / "crashed.obx";
  EXPECT_TRUE(crashed.Save(path));
  return path;
}

std::vector<std::string> Paths(const CProject& project) {
  std::vector<std::string> paths;
  for (const Movie& movie : project.Movies()) paths.push_back(movie.path());
  return paths;
}

TEST(CrashRecovery, AsksAboutTheFirstOpenedMovieAndRemovesItOnYes) {
  TempFolder folder("recovery");
  const std::string file = SaveCrashedProject(folder, {0, 1, 1});
  CProject project(folder.Path());
  project.AddMovie("/before/the/crash.avi");
  RecordingView view;
  view.answer = true;

  RunCrashRecovery(project, view, file);

  ASSERT_EQ(view.asked.size(), 1u);
  EXPECT_EQ(view.asked[0].caption, "Remove video");
  EXPECT_EQ(view.asked[0].text,
            "The next movie in the list is\n" + folder / "movie 1.avi" +
                "\nIf the crash happened during video indexing the codec used by the file is "
                "propably the cause\nRemove the video from the list?");
  EXPECT_EQ(view.asked[0].owner, MessageOwner::mainWindow);
  EXPECT_EQ(Paths(project),
            (std::vector<std::string>{folder / "movie 0.avi", folder / "movie 2.avi"}));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"reload pages", "notice crashed.htm",
                                                  "ask Remove video", "reload movie list"}));
  EXPECT_FALSE(FileExists(file));

  SCOPED_TRACE("the next start finds nothing");
  RecordingView again;
  RunCrashRecovery(project, again, file);
  EXPECT_TRUE(again.calls.empty());
}

TEST(CrashRecovery, TheQuestionNamesALongPathWholeInTheUsersLanguage) {
  TempFolder folder("recovery-long");
  // Far longer than a line of the old fixed-size text: nothing of it is cut.
  std::string path = folder.Path();
  for (int i = 0; i < 12; ++i) path += std::string(200, 'a' + i) + "/";
  path += "movie %1.avi";
  CProject crashed(folder.Path());
  crashed.AddMovie(path);
  crashed.UpdateMovie(crashed.Movies().back().id(), [](Movie& m) { m.status = kMovieOpened; });
  ASSERT_TRUE(crashed.Save(folder / "crashed.obx"));
  CProject project(folder.Path());
  RecordingView view;
  testing::MarkedTexts marked;

  RunCrashRecovery(project, view, folder / "crashed.obx");

  ASSERT_EQ(view.asked.size(), 1u);
  EXPECT_EQ(view.asked[0].caption, "\u00abRemove video\u00bb");
  EXPECT_EQ(view.asked[0].text,
            "\u00abThe next movie in the list is\n" + path +
                "\nIf the crash happened during video indexing the codec used by the file is "
                "propably the cause\nRemove the video from the list?\u00bb");
}

TEST(CrashRecovery, NoKeepsTheMovieAndNoOpenedMovieAsksNothing) {
  TempFolder folder("recovery-no");
  CProject project(folder.Path());
  {
    RecordingView view;
    RunCrashRecovery(project, view, SaveCrashedProject(folder, {2, 1}));
    EXPECT_EQ(project.Movies().size(), 2u);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"reload pages", "notice crashed.htm", "ask Remove video"}));
  }
  {
    RecordingView view;
    RunCrashRecovery(project, view, SaveCrashedProject(folder, {0, 2, 3}));
    EXPECT_EQ(project.Movies().size(), 3u);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"reload pages", "notice crashed.htm"}));
  }
}

TEST(CrashRecovery, FileThatIsNoProjectIsDeletedSilentlyAndAnEmptyOneIsKept) {
  TempFolder folder("recovery-bad");
  CProject project(folder.Path());
  testing::DebugCapture debug;
  RecordingView view;
  project.AddMovie("/videos/named on the command line.mp4");

  testing::WriteFileBytes(folder / "crashed.obx", "<html>not a project</html>");
  RunCrashRecovery(project, view, folder / "crashed.obx");
  EXPECT_FALSE(FileExists(folder / "crashed.obx"));
  EXPECT_TRUE(debug.Contains("CProject::Load failed. Not a project file\n"));
  EXPECT_EQ(project.Movies().size(), 1u);  // the project open at start stays

  testing::WriteFileBytes(folder / "crashed.obx", "");
  RunCrashRecovery(project, view, folder / "crashed.obx");
  EXPECT_TRUE(FileExists(folder / "crashed.obx"));

  EXPECT_TRUE(view.calls.empty());
}

TEST(CrashRecovery, RefusesALinkAndAFileOfAnotherUser) {
  TempFolder folder("recovery-foreign");
  CProject project(folder.Path());
  testing::DebugCapture debug;
  RecordingView view;
  std::filesystem::rename(SaveCrashedProject(folder, {1}), folder / "planted.obx");
  // A link, wherever it points, is not the file the crash handler wrote.
  std::filesystem::create_symlink(folder / "planted.obx", folder / "crashed.obx");
  RunCrashRecovery(project, view, folder / "crashed.obx");
  EXPECT_TRUE(testing::Contains(debug.Text(), "Crash recovery file refused"));
  if (geteuid() == 0) {  // only root can give a file away
    std::filesystem::remove(folder / "crashed.obx");
    std::filesystem::rename(folder / "planted.obx", folder / "crashed.obx");
    ASSERT_EQ(chown((folder / "crashed.obx").c_str(), 65534, 65534), 0);
    RunCrashRecovery(project, view, folder / "crashed.obx");
  }
  EXPECT_TRUE(FileExists(folder / "crashed.obx")) << "left alone";
  EXPECT_TRUE(view.calls.empty());
  EXPECT_TRUE(project.Movies().empty());
}

}  // namespace
}  // namespace ombrelo
