#pragma once
// The desktop program's message boxes: the core hands its messages back, and
// the program shows them through the port installed here (real dialogs in
// the program, a recording port in the tests). Until a port is installed,
// messages go to the debug output and questions are answered "No".
#include <string>

#include "project/user_message.h"

namespace ombrelo {

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
// nullptr when the default was in use.
MessagePort* SetMessagePort(MessagePort* port);

inline void ShowMessage(const Message& message) { Messages().ShowMessage(message); }
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
