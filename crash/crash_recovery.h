#pragma once
// Recovery after a crash: at the next start the project that the crash
// handler saved comes back, the user learns what happened, and may take the
// video that was being indexed out of the list.
#include <string>

#include "project/user_message.h"

namespace ombrelo {

class CProject;

// What the recovery asks of the main window.
class RecoveryView {
 public:
  virtual ~RecoveryView() = default;
  // The movie selection, settings and results pages reload from the project.
  virtual void ReloadPages() = 0;
  // The movie selection page reloads its list of videos to index.
  virtual void ReloadMovieList() = 0;
  // Shows a help page ("crashed.htm") in notice mode; returns when closed.
  virtual void ShowNoticePage(const std::string& name) = 0;
  // Asks the question (Yes and No buttons); true for Yes.
  virtual bool AskYesNo(const Message& question) = 0;
};

// The recovery check, once at start-up after the main window is shown. When
// the recovery file exists and is not empty: loads it into the project, and
// when that succeeds reloads the pages, shows "crashed.htm" and asks (through
// the view, caption "Remove video") whether the first movie of status 1 is to
// be removed; then deletes the file, loaded or not. An empty file is left
// alone.
void RunCrashRecovery(CProject& project, RecoveryView& view, const std::string& recoveryFile);

}  // namespace ombrelo
