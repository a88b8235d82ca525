#pragma once
// The desktop program's objects of one run, made once and handed down by
// reference: the help pages, the main window and the workflow controller it
// listens to, over the process's project, engine, preferences and page
// generation. Also the message port that shows the core's messages as
// message boxes.
#include <memory>
#include <string>

#include "app/desktop/help_window.h"
#include "app/desktop/main_window.h"
#include "workflow/workflow_controller.h"
#include "app/desktop/message_port.h"

namespace ombrelo {
class PageGeneration;
}

namespace ombrelo::desktop {

// Message boxes owned by the active window (or by none), installed while it
// lives.
class MessageBoxPort : public MessagePort {
 public:
  MessageBoxPort();
  ~MessageBoxPort() override;
  MessageBoxPort(const MessageBoxPort&) = delete;
  MessageBoxPort& operator=(const MessageBoxPort&) = delete;
  void ShowMessage(const Message& message) override;
  bool AskYesNo(const Message& message) override;

 private:
  MessagePort* previous_;
};

struct DesktopSession {
  DesktopSession(CProject& project, CaptureEngine& engine, Preferences& preferences,
                 PageGeneration& pages);
  ~DesktopSession();

  HelpPages help;
  MainWindow window;
  WorkflowController controller;
};

// The command line: "-nohandler" anywhere (also inside a longer word)
// switches the crash handler off; the first argument that is no option
// names a project file to open (what a file manager runs for a project).
struct DesktopOptions {
  bool noHandler = false;
  std::string projectFile;
};
DesktopOptions ParseDesktopOptions(int argc, char** argv);

// One run of the program on the running QApplication over the process's
// project, engine and preferences, from loading the last settings (in
// settingsFolder) to writing them back without movies: the main
// window is shown, the named project opened, the start-up help shown, and
// the event loop run until the window closes. Returns the loop's exit code.
int RunDesktop(const DesktopOptions& options, CProject& project, CaptureEngine& engine,
               Preferences& preferences, const std::string& settingsFolder);

}  // namespace ombrelo::desktop
