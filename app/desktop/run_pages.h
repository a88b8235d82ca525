#pragma once
// The progress and results pages as the main window sees them: what the
// workflow reports is handed on to them. Built from the pages of results/
// when they are part of the build, else from a plain page of our own that
// shows the progress and the finished movies.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/workflow_port.h"

class QWidget;

namespace ombrelo {
class CProject;
class Movie;
class Preferences;
struct FrameCopy;
}  // namespace ombrelo

namespace ombrelo::desktop {

class PageWidget;

class RunPages {
 public:
  virtual ~RunPages() = default;
  virtual PageWidget* ProgressPage() = 0;
  virtual PageWidget* ResultsPage() = 0;

  // Where the progress page's "Back" returns to (a page number).
  virtual void SetBackTarget(int page) = 0;
  virtual int BackTarget() const = 0;

  virtual void ClearErrors() = 0;
  virtual void MovieStarted(const Movie& movie) = 0;
  virtual void MovieNotOpened(const Movie& movie, const std::string& errorText) = 0;
  virtual void ShowProgress(int32_t movieId, int perMille) = 0;
  virtual void ShowFrame(const FrameCopy& frame) = 0;
  virtual void MovieFinished(const Movie& movie) = 0;
  virtual void IndexPhotoFinished(const Movie& movie, bool written) = 0;
  virtual void ShowDecodingProblems(const std::vector<std::string>& paths) = 0;
  // The project was replaced (Open, recovery).
  virtual void Reload() = 0;
};

std::unique_ptr<RunPages> MakeRunPages(CProject& project, Preferences& preferences,
                                       QWidget* window);

}  // namespace ombrelo::desktop
