#pragma once
// What the indexing workflow shows, and the little it asks of its front end.
// The controller never touches a window: the desktop program implements this
// port with its status bar, pages, help window and dialogs, the command-line
// indexer with terminal output. Message boxes go through the message port
// (project/message_port.h) like those of every other core library.
//
// The first group of operations is what every front end shows; they are
// pure. The second group serves the desktop's pages, help window and
// preferences; each has a body that does nothing (or answers "no"), so a
// front end overrides only what it has.
//
// Every report about a movie names it by its id (Movie::id(), or
// FrameCopy::movieId); rows and views are found by that id, never by a
// position or a path.
//
// Every operation is called on the owner's thread (the thread the controller
// was made on) and may return at once; none of them may delete the
// controller.
#include <cstdint>
#include <string>
#include <vector>

#include "project/message_port.h"

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
  // The capture is paused (the engine has confirmed the pause): Pause shows
  // as pressed and the front end says so.
  bool paused = false;
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

  // ---- What every front end shows.

  // The status bar's one text.
  virtual void SetStatusText(const std::string& text) = 0;
  // The Start, Stop and Pause commands (menu and toolbar).
  virtual void EnableCommands(const CommandStates& states) = 0;
  // Indexing of the movie has begun (its id, name, frame format).
  virtual void MovieStarted(const Movie& movie) = 0;
  // The movie could not be opened: it is failed (status 3) and holds the
  // error; errorText is the line for the progress page's error box
  // ("Error capturing from '<path>' - <reason>"). The results page makes a
  // row for it as for a finished movie.
  virtual void MovieNotOpened(const Movie& movie, const std::string& errorText) = 0;
  // Progress of the movie being captured, 0 to 1000.
  virtual void ShowProgress(int32_t movieId, int perMille) = 0;
  // A frame for the preview (frame.movieId names its movie); the port may
  // keep the shared pixels.
  virtual void ShowFrame(const FrameCopy& frame) = 0;
  // The movie's capture completed and its outputs are made; its index photo
  // may still be rendered (IndexPhotoFinished follows then, always later).
  virtual void MovieFinished(const Movie& movie) = 0;
  // The index photo of a finished movie was written or failed; in the latter
  // case the movie has its error and no index photo any more.
  virtual void IndexPhotoFinished(const Movie& movie, bool written) = 0;
  // The run started by Start has ended: no capture is open, no index photo
  // is pending and no further movie will be started by itself.
  virtual void RunFinished() = 0;
  // The movie's capture failed on the way (a thumbnail could not be
  // written): it is failed and holds the error; errorText is the line for
  // the progress page's error box. Listed as a movie that could not be
  // opened unless the front end tells the two apart.
  virtual void MovieFailed(const Movie& movie, const std::string& errorText) {
    MovieNotOpened(movie, errorText);
  }

  // ---- The desktop's extras. The bodies do nothing.

  // The main window's client area; sizes the index photo's window.
  virtual ClientSize MainWindowClientSize() { return {}; }
  // The settings page writes its fields into the project (at Start).
  virtual void ApplySettings() {}
  // Empties the progress page's error box (a new run begins).
  virtual void ClearErrors() {}
  // Removes the movie's row from the movie selection page's list of videos
  // to index.
  virtual void RemoveFromSelection(int32_t movieId) { (void)movieId; }
  // Rebuilds the list of videos to index from the project.
  virtual void RefreshSelection() {}
  // A page of the application data folder's "dialogs/" ("tutorial/" in
  // tutorial mode), e.g. "completed.htm".
  virtual void ShowHelpPage(const std::string& name, HelpMode mode) {
    (void)name;
    (void)mode;
  }
  // Codec help for a movie no installed decoder can play: the address on the
  // product web site, or the help page "codecs.htm" when the build names no
  // site (the desktop shows it in the help window in notice mode or a
  // browser; the command line prints it).
  virtual void OpenCodecHelp(const std::string& moviePath, const std::string& address) {
    (void)moviePath;
    (void)address;
  }
  // The "Decoding problems" dialog with the paths of several such movies
  // (modal; its Help button opens codec help for the selected one).
  virtual void ShowDecodingProblems(const std::vector<std::string>& paths) { (void)paths; }
  // True during the program's first run for this user: capture problems
  // then open their help at once.
  virtual bool FirstRun() { return false; }
  // Saves the preferences (at the end of an indexing run).
  virtual void SavePreferences() {}
  // The queue of a run has been worked through: how many of the run's
  // videos were indexed and how many failed. When none failed, the help
  // page "completed.htm"; otherwise a message that says how many.
  virtual void RunCompleted(int indexed, int failed) {
    if (failed == 0) {
      if (indexed > 0) ShowHelpPage("completed.htm", HelpMode::notice);
      return;
    }
    ShowMessage(
        "Indexing finished",
        (indexed == 1 ? std::string("1 video was") : std::to_string(indexed) + " videos were") +
            " indexed and " + std::to_string(failed) +
            " could not be indexed.\nEach video that failed is listed with its error.",
        MessageIcon::warning);
  }
};

}  // namespace ombrelo
