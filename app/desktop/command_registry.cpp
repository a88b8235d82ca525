#include "app/desktop/command_registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
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

// The texts are looked up in the catalogue ("Commands") when the actions
// are made.
const CommandInfo kCommands[] = {
    // File
    {kNewProject, QT_TRANSLATE_NOOP("Commands", "&New project"), "Ctrl+N",
     QT_TRANSLATE_NOOP("Commands", "Create a new document\nNew"), ":/toolbar/new.svg"},
    {kOpenProject, QT_TRANSLATE_NOOP("Commands", "&Open project..."), "Ctrl+O",
     QT_TRANSLATE_NOOP("Commands", "Open an existing document\nOpen"), ":/toolbar/open.svg"},
    {kSaveProject, QT_TRANSLATE_NOOP("Commands", "&Save project"), "Ctrl+S",
     QT_TRANSLATE_NOOP("Commands", "Save the active document\nSave"), ":/toolbar/save.svg"},
    {kSaveProjectAs, QT_TRANSLATE_NOOP("Commands", "Save project &As..."), "Ctrl+Shift+S",
     QT_TRANSLATE_NOOP("Commands", "Save the active document with a new name\nSave As")},
    {kGenerateReport, QT_TRANSLATE_NOOP("Commands", "&Generate report")},
    {kExit, QT_TRANSLATE_NOOP("Commands", "E&xit"), "Ctrl+Q",
     QT_TRANSLATE_NOOP("Commands", "Quit the application; prompts to save documents\nExit")},
    // Edit
    {kUndo, QT_TRANSLATE_NOOP("Commands", "&Undo"), "Ctrl+Z",
     QT_TRANSLATE_NOOP("Commands", "Undo the last action\nUndo")},
    // Capture
    {kStart, QT_TRANSLATE_NOOP("Commands", "&Start"), "F5",
     QT_TRANSLATE_NOOP("Commands", "Start movie capture"), ":/toolbar/start.svg"},
    {kStop, QT_TRANSLATE_NOOP("Commands", "S&top"), "Shift+F5",
     QT_TRANSLATE_NOOP("Commands", "Stop current movie capture"), ":/toolbar/stop.svg"},
    {kPause, QT_TRANSLATE_NOOP("Commands", "&Pause"), "Pause; Ctrl+Shift+P",
     QT_TRANSLATE_NOOP("Commands", "Pause current movie capture"), ":/toolbar/pause.svg", true},
    // View
    {kToggleToolBar, QT_TRANSLATE_NOOP("Commands", "&Toolbar"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show or hide the toolbar\nToggle ToolBar"), nullptr, true},
    {kToggleStatusBar, QT_TRANSLATE_NOOP("Commands", "&Status Bar"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show or hide the status bar\nToggle StatusBar"), nullptr, true},
    {kShowHiddenFolders, QT_TRANSLATE_NOOP("Commands", "Show &hidden folders"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show or hide the hidden folders in the folder tree"), nullptr,
     true},
    {kPageSelect, QT_TRANSLATE_NOOP("Commands", "&Movie selection"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show the Movie selection screen"), nullptr, true},
    {kPageSettings, QT_TRANSLATE_NOOP("Commands", "S&ettings"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show the Movie capture settings screen"), nullptr, true},
    {kPageProgress, QT_TRANSLATE_NOOP("Commands", "&Progress"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show the capture progress screen"), nullptr, true},
    {kPageResults, QT_TRANSLATE_NOOP("Commands", "&Results"), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show the capture result page"), nullptr, true},
    // Help
    {kShowHelp, QT_TRANSLATE_NOOP("Commands", "&Show Help..."), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Show Ombrelo help"), ":/toolbar/help.svg"},
    {kCheckUpgrades, QT_TRANSLATE_NOOP("Commands", "&Check for upgrades...")},
    {kGetTemplates, QT_TRANSLATE_NOOP("Commands", "Get more &templates...")},
    {kGetViewer, QT_TRANSLATE_NOOP("Commands", "Get Tessaly &viewer")},
    {kSupportForum, QT_TRANSLATE_NOOP("Commands", "Support &forum...")},
    {kSupport, QT_TRANSLATE_NOOP("Commands", "S&upport...")},
    {kAbout, QT_TRANSLATE_NOOP("Commands", "&About Ombrelo...")},
    // The movie selection page
    {kSelectNext, QT_TRANSLATE_NOOP("Commands", "&Next")},
    {kStartWhenIdle, QT_TRANSLATE_NOOP("Commands", "&Start")},
    {kPlayMovie, QT_TRANSLATE_NOOP("Commands", "&Play movie")},
    {kRemoveMovie, QT_TRANSLATE_NOOP("Commands", "&Remove")},
    {kRemoveAll, QT_TRANSLATE_NOOP("Commands", "Remove &all")},
    {kIndexAll, QT_TRANSLATE_NOOP("Commands", "&Index all")},
    {kIndexVideosInFolder, QT_TRANSLATE_NOOP("Commands", "&Index videos in folder")},
    {kIndexSelectedVideos, QT_TRANSLATE_NOOP("Commands", "&Index selected video(s)")},
    {kAddAllVideos, QT_TRANSLATE_NOOP("Commands", "&Add all videos")},
    // The results page
    {kResultsViewImages, QT_TRANSLATE_NOOP("Commands", "View &images")},
    {kResultsViewHtml, QT_TRANSLATE_NOOP("Commands", "View &HTML")},
    {kResultsViewIndexPhoto, QT_TRANSLATE_NOOP("Commands", "View Index &Photo")},
    {kResultsPlayMovie, QT_TRANSLATE_NOOP("Commands", "Play &movie")},
    {kResultsViewFolder, QT_TRANSLATE_NOOP("Commands", "View Movie &folder")},
    {kResultsRemove, QT_TRANSLATE_NOOP("Commands", "&Remove")},
    {kResultsRequeue, QT_TRANSLATE_NOOP("Commands", "Re-&Queue")},
    {kResultsLocate, QT_TRANSLATE_NOOP("Commands", "&Locate..."), nullptr,
     QT_TRANSLATE_NOOP("Commands", "Find the missing videos in another folder")},
    // The review window
    {kReviewHtml, QT_TRANSLATE_NOOP("Commands", "&HTML")},
    {kReviewIndex, QT_TRANSLATE_NOOP("Commands", "&Index")},
    {kReviewPlaylist, QT_TRANSLATE_NOOP("Commands", "P&laylist")},
    {kReviewPlay, QT_TRANSLATE_NOOP("Commands", "&Play")},
    {kViewImage, QT_TRANSLATE_NOOP("Commands", "&View image"), "Return", nullptr, nullptr, false,
     true},
    {kDeleteImage, QT_TRANSLATE_NOOP("Commands", "&Delete image"), "Delete", nullptr, nullptr,
     false, true},
};

}  // namespace

CommandRegistry::CommandRegistry(QObject* parent) : QObject(parent) {
  for (const CommandInfo& info : kCommands) {
    const QString label = QCoreApplication::translate("Commands", info.label);
    auto* action = new QAction(label, this);
    action->setData(static_cast<int>(info.id));
    action->setCheckable(info.checkable);
    // "; " separates further keys; the menu shows the first.
    if (info.shortcut)
      action->setShortcuts(QKeySequence::listFromString(QString::fromLatin1(info.shortcut)));
    if (info.localShortcut) action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    if (info.status) {
      const QStringList parts =
          QCoreApplication::translate("Commands", info.status).split(QLatin1Char('\n'));
      action->setStatusTip(parts.front());
      action->setToolTip(parts.size() > 1 ? parts[1] : QString(label).remove('&'));
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
