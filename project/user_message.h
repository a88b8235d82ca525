#pragma once
// What the core has to tell the user: a box's caption, text, icon and owner
// window. The core libraries only hand such messages back (as return values
// or signals); the desktop program shows them as message boxes and the
// command-line indexer prints them.
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
  bool operator==(const Message&) const = default;
};

}  // namespace ombrelo
