// The command registry: one action per command shared by every menu, the
// toolbar and the buttons; a command runs only when its rule holds, and
// its action and buttons follow the rule.
#include "app/desktop/command_registry.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <set>

#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/main_window.h"
#include "app/desktop/select_page.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {
namespace {

class CommandRegistryTest : public testing::DesktopTest {};

TEST_F(CommandRegistryTest, ACommandRunsOnlyWhileItsRuleHoldsAndItsActionAndButtonsFollow) {
  CommandRegistry commands;
  // One action per id, each knowing its id; none runs before it is bound.
  std::set<QAction*> distinct;
  for (CommandId id : {kStart, kPlayMovie, kResultsPlayMovie, kReviewPlay, kDeleteImage}) {
    QAction* action = commands.Action(id);
    const int number = static_cast<int>(id);
    ASSERT_NE(action, nullptr) << number;
    EXPECT_EQ(static_cast<CommandId>(action->data().toInt()), id);
    EXPECT_FALSE(action->isEnabled()) << number;
    EXPECT_FALSE(commands.Run(id)) << number;
    distinct.insert(action);
  }
  EXPECT_EQ(distinct.size(), 5u);
  EXPECT_EQ(commands.Action(static_cast<CommandId>(12345)), nullptr);
  EXPECT_EQ(commands.Action(kDeleteImage)->text(), "&Delete image");

  bool selected = false;
  int deleted = 0;
  commands.Bind(
      kDeleteImage, [&] { ++deleted; }, [&] { return selected; });
  QPushButton button;
  commands.BindButton(&button, kDeleteImage);
  std::unique_ptr<QMenu> menu(commands.MakeMenu({kViewImage, kNone, kDeleteImage}, nullptr));
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[2], commands.Action(kDeleteImage));  // the same action

  // The rule is asked again when the state changed: on Update, on Run and
  // before a menu shows; the action does nothing while it fails.
  EXPECT_FALSE(button.isEnabled());
  commands.Action(kDeleteImage)->trigger();
  button.click();
  EXPECT_EQ(deleted, 0);
  selected = true;
  commands.Update({kDeleteImage});
  EXPECT_TRUE(commands.Action(kDeleteImage)->isEnabled());
  EXPECT_TRUE(button.isEnabled());
  button.click();
  commands.Action(kDeleteImage)->trigger();
  EXPECT_EQ(deleted, 2);
  selected = false;
  EXPECT_FALSE(commands.Run(kDeleteImage));  // stale enabled state: the rule decides
  EXPECT_FALSE(button.isEnabled());
  selected = true;
  emit menu->aboutToShow();
  EXPECT_TRUE(commands.Action(kDeleteImage)->isEnabled());

  // Unbound, it is off again.
  commands.Unbind(kDeleteImage);
  EXPECT_FALSE(button.isEnabled());
  EXPECT_FALSE(commands.Run(kDeleteImage));
  EXPECT_EQ(deleted, 2);
}

TEST_F(CommandRegistryTest, TheMainWindowsMenusToolbarAndPagesShareTheRegistrysActions) {
  CProject project(Folder());
  XsltPageGeneration pages;
  DesktopSession session(project, CaptureEngine::Instance(), *preferences_, pages);
  MainWindow& w = session.window;
  // Every menu item and toolbar button is a registry action, found by its id.
  QList<QAction*> shown = w.findChild<QToolBar*>()->actions();
  for (QMenu* menu : w.findChildren<QMenu*>())
    for (QAction* action : menu->actions()) shown.push_back(action);
  int commandsShown = 0;
  for (QAction* action : shown) {
    if (action->isSeparator() || action->menu()) continue;
    EXPECT_EQ(w.Commands().Action(static_cast<CommandId>(action->data().toInt())), action)
        << action->text().toStdString();
    ++commandsShown;
  }
  EXPECT_GT(commandsShown, 25);

  // Start follows the controller: nothing waits, nothing starts; a movie
  // waiting enables it (and "Next" with it).
  EXPECT_FALSE(w.Action(kStart)->isEnabled());
  EXPECT_FALSE(w.Dispatch(kStart));
  EXPECT_FALSE(w.Action(kSelectNext)->isEnabled());
  project.AddMovie(Folder() + "clip.avi");
  EXPECT_TRUE(w.Action(kStart)->isEnabled());
  EXPECT_TRUE(w.Action(kSelectNext)->isEnabled());
  // "Play movie" and "Remove" want a selected video; "Remove all" does not.
  EXPECT_FALSE(w.Action(kRemoveMovie)->isEnabled());
  EXPECT_TRUE(w.Action(kRemoveAll)->isEnabled());
  w.Selection()->Videos()->selectAll();
  EXPECT_TRUE(w.Action(kRemoveMovie)->isEnabled());
  EXPECT_TRUE(w.Action(kPlayMovie)->isEnabled());
}

}  // namespace
}  // namespace ombrelo::desktop
