#pragma once
// One table of the program's commands: a QAction per command id (label,
// shortcut, status tip, picture, check mark) that menus, the toolbar,
// context menus and buttons all share. The window that carries a command
// out binds it here with its handler and its enabling rule, a function of
// the window's state; the registry runs a command only when its rule holds
// and keeps every action's enabled state up to date when told that state
// has changed (Update). A command without a handler is disabled.
#include <QObject>
#include <functional>
#include <initializer_list>
#include <map>

#include "app/desktop/commands.h"

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;

namespace ombrelo::desktop {

class CommandRegistry : public QObject {
 public:
  using Handler = std::function<void()>;
  using Rule = std::function<bool()>;

  // Makes the actions of every command of the program.
  explicit CommandRegistry(QObject* parent = nullptr);
  ~CommandRegistry() override;

  // The command's action; null for an id that is not a command.
  QAction* Action(CommandId id) const;

  // The command is carried out by handler whenever its rule holds (no rule:
  // always). Replaces an earlier binding; the action's enabled state
  // follows at once.
  void Bind(CommandId id, Handler handler, Rule rule = {});
  // The command is no longer carried out (its window has gone).
  void Unbind(CommandId id);

  // Whether the command can run now: it is bound and its rule holds.
  bool Enabled(CommandId id) const;
  // Carries the command out when it is enabled; true when it ran.
  bool Run(CommandId id);

  // Evaluates the rules again and enables the actions accordingly: every
  // command, or the ones given.
  void Update();
  void Update(std::initializer_list<CommandId> ids);

  // A menu of the commands' actions (kNone makes a separator); every rule is
  // evaluated again before it shows.
  QMenu* MakeMenu(std::initializer_list<CommandId> ids, QWidget* parent);
  // The button runs the command and is enabled exactly when its action is.
  void BindButton(QAbstractButton* button, CommandId id);

 private:
  struct Binding {
    Handler handler;
    Rule rule;
  };
  void UpdateOne(CommandId id);

  std::map<CommandId, QAction*> actions_;
  std::map<CommandId, Binding> bindings_;
};

}  // namespace ombrelo::desktop
