#pragma once
// What the results widgets ask of the desktop: opening a file or address
// with its default program, showing a file in the file manager, running the
// image viewer the user chose, and showing help pages. The main window
// hands its help window in through SetHelpPageHandler; tests replace the
// operations that would start other programs.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/workflow_port.h"

namespace ombrelo {

class Movie;

// The preference that holds the image viewer's command line, e.g. "eog" or
// "gwenview --slideshow"; the files to show are added as arguments.
inline constexpr char kViewerCommandKey[] = "ViewerCommand";
// The help page shown when no image viewer is set.
inline constexpr char kNoViewerPage[] = "no_tessaly.htm";

class DesktopShell {
 public:
  using HelpPageHandler = std::function<void(const std::string& name, HelpMode mode)>;

  virtual ~DesktopShell() = default;

  // Opens a local file (or an address with a scheme) with the desktop's
  // default program. Failures are not reported.
  virtual void OpenFile(const std::string& pathOrUrl);
  // Shows the file selected in the file manager, or opens its folder when
  // no file manager answers.
  virtual void ShowInFolder(const std::string& path);
  // Starts a program detached from this one. False when it cannot start.
  virtual bool StartProgram(const QString& program, const QStringList& arguments);
  // Shows a page of the help folder "dialogs/" through the handler; without
  // one, the page opens in the default browser.
  virtual void ShowHelpPage(const std::string& name, HelpMode mode);

  void SetHelpPageHandler(HelpPageHandler handler) { helpPage_ = std::move(handler); }

 private:
  HelpPageHandler helpPage_;
};

// The image viewer's command line from the preferences ("" when none).
QString ViewerCommand();

// Opens the files in the image viewer of the preferences. When none is set
// or it cannot be started, the help page kNoViewerPage is shown in notice
// mode instead. Each file is one argument of its own.
void OpenInViewer(DesktopShell& shell, const std::vector<std::string>& files);
// The movie's pictures in the image viewer: its playlist when it has one,
// else every thumbnail.
void ViewMovieImages(DesktopShell& shell, const Movie& movie);

}  // namespace ombrelo
