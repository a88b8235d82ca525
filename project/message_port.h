#pragma once
// The port through which the core libraries speak to the user. A core library
// never opens a window itself: it hands a message to the current port, which
// the desktop program implements with real dialogs and the command-line
// indexer with terminal output. Until a front end installs its port, messages
// go to the debug output and questions are answered "No".
#include <string>

namespace ombrelo {

enum class MessageIcon { none, information, warning, error, question };

// Which window a message belongs to. The front end chooses the real parent;
// the core only says whether the box is owned by the main window, by the
// review window of an indexed movie, or stands alone (no owner).
enum class MessageOwner { none, mainWindow, reviewWindow };

struct Message {
  std::string caption;  // the box's title, e.g. "Application error"
  std::string text;     // may hold line feeds
  MessageIcon icon = MessageIcon::none;
  MessageOwner owner = MessageOwner::mainWindow;
};

class MessagePort {
 public:
  virtual ~MessagePort() = default;
  // A box with an OK button only. Returns when the user has closed it.
  virtual void ShowMessage(const Message& message) = 0;
  // A question with the buttons Yes and No. True for Yes.
  virtual bool AskYesNo(const Message& message) = 0;
};

// The port in use (never null): the installed one, else the default port
// that writes "<caption>: <text>\n" to the debug output and answers No.
MessagePort& Messages();

// Installs a port (the caller keeps ownership and must keep it alive while
// installed); nullptr restores the default. Returns the previous port, or
// nullptr when the default was in use. Safe to call from any thread; the
// port itself is called on whichever thread shows the message.
MessagePort* SetMessagePort(MessagePort* port);

// Shorthands for the common cases.
inline void ShowMessage(const std::string& caption, const std::string& text,
                        MessageIcon icon = MessageIcon::none,
                        MessageOwner owner = MessageOwner::mainWindow) {
  Messages().ShowMessage(Message{caption, text, icon, owner});
}
inline bool AskYesNo(const std::string& caption, const std::string& text,
                     MessageIcon icon = MessageIcon::question,
                     MessageOwner owner = MessageOwner::mainWindow) {
  return Messages().AskYesNo(Message{caption, text, icon, owner});
}

}  // namespace ombrelo
