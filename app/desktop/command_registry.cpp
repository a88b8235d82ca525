#include "app/desktop/command_registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <vector>

#include "app/desktop/commands.h"

namespace ombrelo::desktop {

namespace {

// One command: its label, shortcut, the status line text (and the short
// name after a line break), its toolbar picture, whether it carries a check
// mark, and whether its shortcut works only in the widgets it was added to.
struct CommandInfo {
  CommandId id;
  const char* label;
  const char* shortcut = nullptr;
  const char* status = nullptr;
  const char* icon = nullptr;
  bool checkable = false;
  bool localShortcut = false;
};

const CommandInfo kCommands[] = {
    // File
    {kNewProject, "&New project", "Ctrl+N", "Create a new document\nNew", ":/toolbar/new.svg"},
    {kOpenProject, "&Open project...", "Ctrl+O", "Open an existing document\nOpen",
     ":/toolbar/open.svg"},
    {kSaveProject, "&Save project", "Ctrl+S", "Save the active document\nSave",
     ":/toolbar/save.svg"},
    {kSaveProjectAs, "Save project &As...", nullptr,
     "Save the active document with a new name\nSave As"},
    {kGenerateReport, "&Generate report"},
    {kExit, "E&xit", nullptr, "Quit the application; prompts to save documents\nExit"},
    // Edit
    {kUndo, "&Undo", "Ctrl+Z", "Undo the last action\nUndo"},
    // Capture
    {kStart, "&Start", "F5", "Start movie capture", ":/toolbar/start.svg"},
    {kStop, "S&top", "Shift+F5", "Stop current movie capture", ":/toolbar/stop.svg"},
    {kPause, "&Pause", "Pause; Ctrl+Shift+P", "Pause current movie capture", ":/toolbar/pause.svg",
     true},
    // View
    {kToggleToolBar, "&Toolbar", nullptr, "Show or hide the toolbar\nToggle ToolBar", nullptr,
     true},
    {kToggleStatusBar, "&Status Bar", nullptr, "Show or hide the status bar\nToggle StatusBar",
     nullptr, true},
    {kShowHiddenFolders, "Show &hidden folders", nullptr,
     "Show or hide the hidden folders in the folder tree", nullptr, true},
    {kPageSelect, "&Movie selection", nullptr, "Show the Movie selection screen", nullptr, true},
    {kPageSettings, "S&ettings", nullptr, "Show the Movie capture settings screen", nullptr, true},
    {kPageProgress, "&Progress", nullptr, "Show the capture progress screen", nullptr, true},
    {kPageResults, "&Results", nullptr, "Show the capture result page", nullptr, true},
    // Help
    {kShowHelp, "&Show Help...", nullptr, "Show Ombrelo help", ":/toolbar/help.svg"},
    {kCheckUpgrades, "&Check for upgrades..."},
    {kGetTemplates, "Get more &templates..."},
    {kGetViewer, "Get Tessaly &viewer"},
    {kSupportForum, "Support &forum..."},
    {kSupport, "S&upport..."},
    {kAbout, "&About Ombrelo..."},
    // The movie selection page
    {kSelectNext, "&Next"},
    {kStartWhenIdle, "&Start"},
    {kPlayMovie, "&Play movie"},
    {kRemoveMovie, "&Remove"},
    {kRemoveAll, "Remove &all"},
    {kIndexAll, "&Index all"},
    {kIndexVideosInFolder, "&Index videos in folder"},
    {kIndexSelectedVideos, "&Index selected video(s)"},
    {kAddAllVideos, "&Add all videos"},
    // The results page
    {kResultsViewImages, "View &images"},
    {kResultsViewHtml, "View &HTML"},
    {kResultsViewIndexPhoto, "View Index &Photo"},
    {kResultsPlayMovie, "Play &movie"},
    {kResultsViewFolder, "View Movie &folder"},
    {kResultsRemove, "&Remove"},
    {kResultsRequeue, "Re-&Queue"},
    {kResultsLocate, "&Locate...", nullptr, "Find the missing videos in another folder"},
    // The review window
    {kReviewHtml, "&HTML"},
    {kReviewIndex, "&Index"},
    {kReviewPlaylist, "P&laylist"},
    {kReviewPlay, "&Play"},
    {kViewImage, "&View image", "Return", nullptr, nullptr, false, true},
    {kDeleteImage, "&Delete image", "Delete", nullptr, nullptr, false, true},
};

}  // namespace

CommandRegistry::CommandRegistry(QObject* parent) : QObject(parent) {
  for (const CommandInfo& info : kCommands) {
    auto* action = new QAction(tr(info.label), this);
    action->setData(static_cast<int>(info.id));
    action->setCheckable(info.checkable);
    // "; " separates further keys; the menu shows the first.
    if (info.shortcut)
      action->setShortcuts(QKeySequence::listFromString(QString::fromLatin1(info.shortcut)));
    if (info.localShortcut) action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    if (info.status) {
      const QStringList parts = tr(info.status).split(QLatin1Char('\n'));
      action->setStatusTip(parts.front());
      action->setToolTip(parts.size() > 1 ? parts[1] : QString(tr(info.label)).remove('&'));
    }
    if (info.icon) action->setIcon(QIcon(QString::fromLatin1(info.icon)));
    action->setEnabled(false);  // until a window binds it
    connect(action, &QAction::triggered, this, [this, id = info.id] { Run(id); });
    actions_[info.id] = action;
  }
}

CommandRegistry::~CommandRegistry() = default;

QAction* CommandRegistry::Action(CommandId id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CommandRegistry::Bind(CommandId id, Handler handler, Rule rule) {
  if (!Action(id)) return;
  bindings_[id] = Binding{std::move(handler), std::move(rule)};
  UpdateOne(id);
}

void CommandRegistry::Unbind(CommandId id) {
  bindings_.erase(id);
  UpdateOne(id);
}

bool CommandRegistry::Enabled(CommandId id) const {
  const auto it = bindings_.find(id);
  if (it == bindings_.end() || !it->second.handler) return false;
  return !it->second.rule || it->second.rule();
}

bool CommandRegistry::Run(CommandId id) {
  UpdateOne(id);
  if (!Enabled(id)) return false;
  // A copy: the handler may bind its command anew or close its window.
  const Handler handler = bindings_[id].handler;
  handler();
  return true;
}

void CommandRegistry::UpdateOne(CommandId id) {
  if (QAction* action = Action(id)) action->setEnabled(Enabled(id));
}

void CommandRegistry::Update() {
  for (const auto& entry : actions_) UpdateOne(entry.first);
}

void CommandRegistry::Update(std::initializer_list<CommandId> ids) {
  for (CommandId id : ids) UpdateOne(id);
}

QMenu* CommandRegistry::MakeMenu(std::initializer_list<CommandId> ids, QWidget* parent) {
  auto* menu = new QMenu(parent);
  std::vector<CommandId> listed;
  for (CommandId id : ids) {
    if (id == kNone) {
      menu->addSeparator();
    } else if (QAction* action = Action(id)) {
      menu->addAction(action);
      listed.push_back(id);
    }
  }
  connect(menu, &QMenu::aboutToShow, this, [this, listed] {
    for (CommandId id : listed) UpdateOne(id);
  });
  return menu;
}

void CommandRegistry::BindButton(QAbstractButton* button, CommandId id) {
  QAction* action = Action(id);
  if (!action) return;
  button->setEnabled(action->isEnabled());
  connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
  connect(button, &QAbstractButton::clicked, this, [this, id] { Run(id); });
}

}  // namespace ombrelo::desktop
