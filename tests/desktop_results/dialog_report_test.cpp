#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/desktop/results/decoding_problems_dialog.h"
#include "desktop_results/desktop_test_support.h"
#include "platform/data_folder.h"
#include "project/project.h"
#include "support/recording_message_port.h"

namespace ombrelo::desktop {
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

}  // namespace
}  // namespace ombrelo::desktop
