#pragma once
// What the results widgets ask of the desktop: opening a file or address
// with its default program, showing a file in the file manager, running the
// image viewer the user chose, and showing help pages. The main window
// hands its help window in through SetHelpPageHandler; tests replace the
// operations that would start other programs.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "workflow/workflow_port.h"

class QWidget;

namespace ombrelo {
class Movie;
}  // namespace ombrelo

namespace ombrelo::desktop {

// The preference that holds the image viewer's command line, e.g. "eog" or
// "gwenview --slideshow"; the files to show are added as arguments.
inline constexpr char kViewerCommandKey[] = "ViewerCommand";
// The preference that says what opens pictures: "viewer" (our own),
// "desktop" (the desktop's default program) or "command" (ViewerCommand).
// When it is not set, a ViewerCommand that is set wins, else our viewer.
inline constexpr char kPictureOpenerKey[] = "OpenPicturesWith";
enum class PictureOpener { viewer, desktop, command };
PictureOpener PictureOpenerChoice();
void SetPictureOpener(PictureOpener opener, const QString& command);
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
  // Shows the pictures (a playlist, a folder or picture files) in our own
  // viewer.
  virtual void ShowPictures(const std::vector<std::string>& files);
  // Starts a program detached from this one. False when it cannot start.
  virtual bool StartProgram(const QString& program, const QStringList& arguments);
  // Shows a page of the help folder "dialogs/" through the handler; without
  // one, the page opens in the default browser.
  virtual void ShowHelpPage(const std::string& name, HelpMode mode);

  void SetHelpPageHandler(HelpPageHandler handler) { helpPage_ = std::move(handler); }

 private:
  HelpPageHandler helpPage_;
  QPointer<QWidget> viewer_;  // our viewer window, while it is open
};

// The image viewer's command line from the preferences ("" when none).
QString ViewerCommand();

// Opens the files as the preferences say: in our viewer; the first of them
// with the desktop's default program; or with the viewer command, each file
// an argument of its own. When the command is empty or cannot be started,
// the help page kNoViewerPage is shown in notice mode instead.
void OpenInViewer(DesktopShell& shell, const std::vector<std::string>& files);
// The movie's pictures in the image viewer: its playlist when it has one,
// else every thumbnail.
void ViewMovieImages(DesktopShell& shell, const Movie& movie);

}  // namespace ombrelo::desktop
