#pragma once
// The progress and results pages as the main window sees them: what the
// workflow reports is handed on to them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/workflow_port.h"

class QWidget;

namespace ombrelo {
class CProject;
class Movie;
class Preferences;
class WorkflowController;
struct FrameCopy;
}  // namespace ombrelo

namespace ombrelo::desktop {

class CommandRegistry;

// What the pages ask of the main window.
struct RunPagesHost {
  CommandRegistry* commands = nullptr;       // where the pages bind their commands
  std::function<void(int command)> command;  // a command id for the dispatcher
  std::function<void()> moviesChanged;       // the project's list of movies changed
  std::function<void(const std::string& name, HelpMode mode)> showHelp;
  QWidget* window = nullptr;
};

class RunPages {
 public:
  virtual ~RunPages() = default;
  virtual QWidget* ProgressPage() = 0;
  virtual QWidget* ResultsPage() = 0;
  // The controller of the run (its renderer serves the review window too).
  virtual void AttachController(WorkflowController* controller) { (void)controller; }

  // Where the progress page's "Back" returns to (a page number).
  void SetBackTarget(int page) { backTarget_ = page; }
  int BackTarget() const { return backTarget_; }

  virtual void ClearErrors() = 0;
  virtual void MovieStarted(const Movie& movie) = 0;
  virtual void MovieNotOpened(const Movie& movie, const std::string& errorText) = 0;
  virtual void ShowProgress(int32_t movieId, int perMille) = 0;
  virtual void ShowFrame(const FrameCopy& frame) = 0;
  virtual void MovieFinished(const Movie& movie) = 0;
  virtual void IndexPhotoFinished(const Movie& movie, bool written) = 0;
  virtual void ShowDecodingProblems(const std::vector<std::string>& paths) = 0;
  // The capture is paused or not (the progress page says so).
  virtual void ShowPaused(bool paused) { (void)paused; }
  // The project was replaced (Open, recovery).
  virtual void Reload() = 0;

 private:
  int backTarget_ = 1;
};

std::unique_ptr<RunPages> MakeRunPages(CProject& project, Preferences& preferences,
                                       RunPagesHost host);

}  // namespace ombrelo::desktop
