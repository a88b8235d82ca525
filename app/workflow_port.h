#pragma once
// What the indexing workflow shows, and the little it asks of its front end.
// The controller never touches a window: the desktop program implements this
// port with its status bar, pages, help window and dialogs, the command-line
// indexer with terminal output. Message boxes go through the message port
// (project/message_port.h) like those of every other core library.
//
// Every operation is called on the owner's thread (the thread the controller
// was made on) and may return at once; none of them may delete the
// controller.
#include <string>
#include <vector>

namespace ombrelo {

class Movie;
struct FrameCopy;

// How a help page is shown (the desktop's help window).
enum class HelpMode {
  welcome = 0,   // modal, only while the FirstRun preference is set
  tutorial = 1,  // modeless, once per page and run, while tutorials are on
  notice = 4,    // modal, always
};

// Which of the three capture commands can be used now.
struct CommandStates {
  bool start = false;
  bool stop = false;
  bool pause = false;
  bool operator==(const CommandStates&) const = default;
};

// A size in pixels; 0 x 0 when there is no window.
struct ClientSize {
  int width = 0;
  int height = 0;
};

class WorkflowPort {
 public:
  virtual ~WorkflowPort() = default;

  // ---- Main window.
  // The status bar's one text.
  virtual void SetStatusText(const std::string& text) = 0;
  // The Start, Stop and Pause commands (menu and toolbar).
  virtual void EnableCommands(const CommandStates& states) = 0;
  // The main window's client area; sizes the index photo's window.
  virtual ClientSize MainWindowClientSize() = 0;

  // ---- Settings page: writes its fields into the project (at Start).
  virtual void ApplySettings() = 0;

  // ---- Progress page.
  virtual void ClearErrors() = 0;
  virtual void AppendError(const std::string& text) = 0;
  // Indexing of the movie has begun (name, frame format for the preview).
  virtual void MovieStarted(const Movie& movie) = 0;
  // Progress of the current movie, 0 to 1000.
  virtual void ShowProgress(int perMille) = 0;
  // A frame for the preview; the port may keep the shared pixels.
  virtual void ShowFrame(const FrameCopy& frame) = 0;

  // ---- Results page: the movie's outputs are made (or it failed).
  virtual void MovieFinished(const Movie& movie) = 0;
  // The index photo of a finished movie was written or failed; in the latter
  // case the movie has its error and no index photo any more.
  virtual void IndexPhotoFinished(const Movie& movie, bool written) = 0;

  // ---- Movie selection page's list of videos to index.
  // Deletes the first row whose text equals the path.
  virtual void RemoveFromSelection(const std::string& path) = 0;
  // Rebuilds the list from the project.
  virtual void RefreshSelection() = 0;

  // ---- Help.
  // A page of the application data folder's "dialogs/" ("tutorial/" in
  // tutorial mode), e.g. "completed.htm".
  virtual void ShowHelpPage(const std::string& name, HelpMode mode) = 0;
  // Codec help for a movie no installed decoder can play: the address on the
  // product web site (the desktop shows it in the help window in notice
  // mode or a browser; the command line prints it).
  virtual void OpenCodecHelp(const std::string& moviePath, const std::string& address) = 0;
  // The "Decoding problems" dialog with the paths of several such movies
  // (modal; its Help button opens codec help for the selected one).
  virtual void ShowDecodingProblems(const std::vector<std::string>& paths) = 0;

  // ---- Preferences.
  // True during the program's first run for this user: capture problems
  // then open their help at once.
  virtual bool FirstRun() = 0;
  // Saves the preferences (at the end of an indexing run).
  virtual void SavePreferences() = 0;

  // ---- The run started by Start has ended: no capture is open, no index
  // photo is pending and no further movie will be started by itself.
  virtual void RunFinished() = 0;
};

}  // namespace ombrelo
