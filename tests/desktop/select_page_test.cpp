// The movie selection page: the file browser over QFileSystemModel, the
// context menus' choice, the recursive add and drops from other programs.
#include "app/desktop/select_page.h"

#include <algorithm>
#include <QDragEnterEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/help_window.h"
#include "app/desktop/movie_model.h"
#include "desktop/desktop_fixture.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

class SelectPageTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    // Names with blanks, "&" and letters beyond ASCII.
    for (const char* file :
         {"Ferien & Strand.mp4", "zweite Aufnahme.MP4", "notes.txt", "todo.txt", "clips/a.avi",
          "clips/deeper/b.mkv", "clips/deeper/c.rmvb", "clips/Übung.webm"})
      Make(file);
    project_ = std::make_unique<CProject>(Folder());
    help_ = std::make_unique<HelpPages>(*preferences_);
    commands_ = std::make_unique<CommandRegistry>();  // after the application
    movies_ = std::make_unique<MovieModel>(*project_);
    page_ = std::make_unique<SelectPage>(*movies_, *help_, *commands_);
  }
  void Make(const std::string& name) {
    std::filesystem::create_directories(std::filesystem::path(Folder() + name).parent_path());
    ASSERT_TRUE(testing::WriteFileBytes(Folder() + name, "x"));
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const Movie& movie : project_->Movies()) paths.push_back(movie.path());
    return paths;
  }
  QString Q(const std::string& name) const { return QString::fromStdString(Folder() + name); }

  std::unique_ptr<CommandRegistry> commands_;
  std::unique_ptr<HelpPages> help_;
  std::unique_ptr<CProject> project_;
  std::unique_ptr<MovieModel> movies_;
  std::unique_ptr<SelectPage> page_;
};

TEST_F(SelectPageTest, TheFileListShowsAFolderInTheBackgroundAndSortsByTheClickedColumn) {
  const QString folder = QString::fromStdString(Folder()).chopped(1);
  page_->ShowFolder(folder);
  // The model reads the folder on a thread of its own.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return page_->FileModel()->rowCount(page_->FileList()->rootIndex()) == 5; }, 10000));
  EXPECT_EQ(project_->Output().current_path, Folder());

  const auto firstName = [&] {
    return page_->FileModel()->index(0, 0, page_->FileList()->rootIndex()).data().toString();
  };
  page_->SortByColumn(0);  // the current column again: descending
  EXPECT_EQ(page_->SortOrder(), Qt::DescendingOrder);
  EXPECT_EQ(firstName(), "zweite Aufnahme.MP4");
  page_->SortByColumn(1);  // another column: ascending
  EXPECT_EQ(page_->SortColumn(), 1);
  EXPECT_EQ(page_->SortOrder(), Qt::AscendingOrder);
}

TEST_F(SelectPageTest, ContextMenusOfferByFoldersAndVideosAndAddFoldersRecursively) {
  using Offer = SelectPage::Offer;
  EXPECT_EQ(page_->ClassifySelection({Q("notes.txt"), Q("todo.txt")}), Offer::none);
  EXPECT_EQ(page_->ClassifySelection({Q("Ferien & Strand.mp4")}), Offer::indexFiles);
  EXPECT_EQ(page_->ClassifySelection({Q("clips")}), Offer::indexFolders);
  EXPECT_EQ(page_->ClassifySelection(
                {Q("clips"), Q("Ferien & Strand.mp4"), Q("zweite Aufnahme.MP4"), Q("notes.txt")}),
            Offer::indexAll);

  // "Index all": the files at once, then the videos of the folders with
  // every sub-folder, searched off the window's thread. A video without a
  // video's name is known by its content.
  ASSERT_TRUE(testing::WriteFileBytes(Folder() + "clips/take 7.dat",
                                      std::string("\0\0\0\x18"
                                                  "ftypmp42isom",
                                                  16)));
  page_->IndexClassified(kIndexAll);
  EXPECT_EQ(Paths(), (std::vector<std::string>{Folder() + "Ferien & Strand.mp4",
                                               Folder() + "zweite Aufnahme.MP4"}));
  EXPECT_EQ(page_->ScansPending(), 1);
  // Another folder may be added meanwhile.
  page_->AddFolder(Q("clips/deeper"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return page_->ScansPending() == 0; }, 10000));
  std::vector<std::string> added = Paths();
  std::sort(added.begin() + 2, added.end());
  EXPECT_EQ(added, (std::vector<std::string>{
                       Folder() + "Ferien & Strand.mp4", Folder() + "zweite Aufnahme.MP4",
                       Folder() + "clips/a.avi", Folder() + "clips/deeper/b.mkv",
                       Folder() + "clips/take 7.dat", Folder() + "clips/\u00dcbung.webm"}));
  EXPECT_EQ(page_->VideoIds().size(), 6u);
  EXPECT_TRUE(page_->NextButton()->isEnabled());
  EXPECT_EQ(page_->ClassifySelection({Q("clips/take 7.dat")}), Offer::indexFiles);

  // Double-click (or Enter) on a video adds it and moves a known one to the
  // end; a file that is no video stays out; on a folder it opens the folder.
  page_->ActivatePath(Q("notes.txt"));
  EXPECT_EQ(Paths().size(), 6u);
  EXPECT_FALSE(help_->TutorialAsked("first_video_added.htm"));
  page_->ActivatePath(Q("Ferien & Strand.mp4"));
  EXPECT_EQ(Paths().size(), 6u);
  EXPECT_EQ(Paths().back(), Folder() + "Ferien & Strand.mp4");
  EXPECT_TRUE(help_->TutorialAsked("first_video_added.htm"));
  page_->ActivatePath(Q("clips"));
  EXPECT_EQ(Paths().size(), 6u);
  EXPECT_EQ(page_->ShownFolder(), Q("clips"));
}

TEST_F(SelectPageTest, ADropOfFilesAndAFolderFromAnotherProgramAddsTheirPathsAsTheyAre) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Q("Ferien & Strand.mp4")), QUrl::fromLocalFile(Q("notes.txt")),
                QUrl::fromLocalFile(Q("clips/a.avi")), QUrl::fromLocalFile(Q("clips")),
                QUrl(QStringLiteral("https://example.com/remote.mp4"))});
  QWidget* target = page_->Videos()->viewport();
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  ASSERT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::LinkAction);
  QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);

  EXPECT_EQ(Paths(),
            (std::vector<std::string>{Folder() + "Ferien & Strand.mp4", Folder() + "notes.txt",
                                      Folder() + "clips/a.avi", Folder() + "clips"}));
  EXPECT_EQ(page_->VideoIds().size(), 4u);

  // Data without local files is refused.
  QMimeData text;
  text.setText(QStringLiteral("just words"));
  QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &refused);
  EXPECT_FALSE(refused.isAccepted());
}

}  // namespace
}  // namespace ombrelo::desktop
