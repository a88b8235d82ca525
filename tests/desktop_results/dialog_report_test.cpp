#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/desktop/results/decoding_problems_dialog.h"
#include "app/desktop/results/report_command.h"
#include "desktop_results/desktop_test_support.h"
#include "platform/data_folder.h"
#include "project/project.h"
#include "support/recording_message_port.h"

namespace ombrelo {
namespace {

using testing::DesktopTest;

class DecodingProblemsTest : public DesktopTest {};

TEST_F(DecodingProblemsTest, ListsTheMoviesAndGivesHelpAsOftenAsAsked) {
  const std::vector<std::string> paths = {"/v/first clip.avi", "/v/second & last.MKV"};
  std::vector<std::string> helped;
  DecodingProblemsDialog dialog(paths, [&](const std::string& path) { helped.push_back(path); });
  // Run modally, as the program does; the clicks come from the event loop.
  QTimer::singleShot(0, &dialog, [&] {
    ASSERT_EQ(dialog.List()->count(), 2);
    EXPECT_EQ(dialog.List()->item(0)->text().toStdString(), paths[0]);
    EXPECT_EQ(dialog.List()->item(1)->text().toStdString(), paths[1]);
    EXPECT_TRUE(dialog.HelpButton()->isDefault());
    dialog.HelpButton()->click();  // the first is selected at the start
    dialog.List()->setCurrentRow(1);
    dialog.HelpButton()->click();
    EXPECT_TRUE(dialog.isVisible());  // Help leaves the dialog open
    dialog.List()->clearSelection();
    dialog.HelpButton()->click();  // nothing selected: no help
    dialog.CloseButton()->click();
  });
  dialog.exec();
  EXPECT_EQ(helped, paths);
  EXPECT_FALSE(dialog.isVisible());
}

class ReportCommandTest : public DesktopTest {
 protected:
  void SetUp() override { SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR); }
};

TEST_F(ReportCommandTest, TheReportNamesEveryMovieAndIsOpenedOnYes) {
  CProject project(Home());
  for (const char* name : {"first.mp4", "second clip.mkv", "third.avi"}) {
    project.AddMovie(Home() + name);
  }
  const int32_t done = project.Movies().front().id();
  project.SetMovieStatus(done, kMovieDone);
  project.RecordImage(done, {Home() + "first/first_0h00m01.000s.jpg", 25, 1.0});
  project.AddMovieError(project.Movies().back().id(), "Error capturing\n");

  testing::RecordingMessagePort messages;
  messages.answer = true;
  testing::RecordingShell shell;
  const std::string path = Home() + "reports/project report.html";
  QDir().mkpath(QString::fromStdString(Home() + "reports"));
  GenerateReport(project, shell, nullptr, [&] { return QString::fromStdString(path); });

  const std::string report = testing::ReadFileBytes(path);
  for (const char* name : {"first.mp4", "second clip.mkv", "third.avi"}) {
    EXPECT_TRUE(testing::Contains(report, name)) << name;
  }
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].caption, "Html report saved");
  EXPECT_EQ(messages.asked[0].text, "Html report saved\n\nDo you want to view the report now?");
  EXPECT_EQ(shell.opened, std::vector<std::string>{path});

  // No: written again, not opened; cancelled: nothing at all.
  messages.answer = false;
  GenerateReport(project, shell, nullptr, [&] { return QString::fromStdString(path); });
  GenerateReport(project, shell, nullptr, [] { return QString(); });
  EXPECT_EQ(messages.asked.size(), 2u);
  EXPECT_EQ(shell.opened.size(), 1u);
}

TEST_F(ReportCommandTest, AFailedVideoShowsItsFileSizeAndWhyItFailed) {
  CProject project(Home());
  project.AddMovie(Home() + "holiday.mp4");
  project.AddMovieError(project.Movies().back().id(), "It is not a video\n");
  ASSERT_TRUE(testing::WriteFileBytes(Home() + "holiday.mp4", std::string(300 * 1024 + 9, 'j')));
  testing::RecordingMessagePort messages;
  testing::RecordingShell shell;
  const std::string path = Home() + "failed report.html";
  GenerateReport(project, shell, nullptr, [&] { return QString::fromStdString(path); });
  const std::string report = testing::ReadFileBytes(path);
  const auto cell = [](const std::string& text) { return "<td class=\"num\">" + text + "</td>"; };
  EXPECT_TRUE(testing::Contains(report, cell("300 KB"))) << report;
  EXPECT_TRUE(testing::Contains(report, "It is not a video"));
  EXPECT_FALSE(testing::Contains(report, cell("0:00")));  // no length known, none shown
}

}  // namespace
}  // namespace ombrelo
