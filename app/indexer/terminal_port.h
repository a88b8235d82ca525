#pragma once
// The command-line indexer's face: what the workflow controller publishes,
// its status texts and progress as a progress bar on a terminal (plain lines
// when the output is not a terminal), errors and messages on standard error.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "project/user_message.h"
#include "workflow/workflow_port.h"

namespace ombrelo {
class Movie;
class WorkflowController;
struct FrameCopy;
}  // namespace ombrelo

namespace ombrelo::indexer {

// The code point of the UTF-8 sequence at text[i] and its length in bytes;
// length 0 when the bytes there are no valid UTF-8 (overlong forms,
// surrogates and code points beyond U+10FFFF included).
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t* code);

// Text as it may go to a terminal: control characters (C0, DEL and the C1
// controls) are written as escapes ("\n", "\t", "\x1b", "\u009b"), and
// so are bytes that are not UTF-8 ("\xe9"), so that a file name can neither
// move the cursor, change colours or the window title, nor split a line.
// Printable UTF-8 (accents, CJK) passes unchanged, and so does a backslash.
// keepLineFeeds leaves line feeds as they are, for messages of several
// lines whose names were escaped on their own.
std::string TerminalSafe(std::string_view text, bool keepLineFeeds = false);

// Cuts a UTF-8 text to at most `columns` characters (one column each).
std::string FitColumns(const std::string& text, int columns);

// "1 image", "5 images", in the user's language.
std::string ImagesText(int count);
// The width of the terminal out writes to; when it is not a terminal, that
// of the COLUMNS environment variable, else 80.
int TerminalColumns(std::FILE* out);

class TerminalPort {
 public:
  // Progress goes to out, errors and messages to err. interactive: draw a
  // progress bar that redraws itself in place (out is a terminal).
  TerminalPort(std::FILE* out, std::FILE* err, bool interactive);
  virtual ~TerminalPort();
  TerminalPort(const TerminalPort&) = delete;
  TerminalPort& operator=(const TerminalPort&) = delete;

  // Shows what the controller publishes (it must outlive neither).
  void Follow(WorkflowController& run);

  // Called when the run has finished.
  void OnRunFinished(std::function<void()> done) { runFinished_ = std::move(done); }
  // A line of the indexer's own (on out), clearing the progress bar first.
  void Note(const std::string& text);
  // Ends the progress bar's line, so that what follows starts on a new one.
  void EndProgressLine();

  // What the controller publishes, as Follow connects it.
  void SetStatusText(const std::string& text);
  void MovieStarted(const Movie& movie);
  // Also a movie that failed on the way.
  void MovieNotOpened(const Movie& movie, const std::string& errorText);
  virtual void ShowProgress(int32_t movieId, int perMille);
  virtual void ShowFrame(const FrameCopy& frame);
  void MovieFinished(const Movie& movie);
  void IndexPhotoFinished(const Movie& movie, bool written);
  void RunFinished();
  // The end of a run's queue: a run with failures says how many.
  virtual void RunCompleted(int indexed, int failed);
  // The help the desktop shows in its help window is printed.
  void ShowHelpPage(const std::string& name, HelpMode mode);
  void OpenCodecHelp(const std::string& moviePath, const std::string& address);
  void ShowDecodingProblems(const std::vector<std::string>& paths);

  // A message of the core, as one line on err: "<caption>: <text>".
  void ShowMessage(const Message& message);

 private:
  void Error(const std::string& text);
  void Draw();
  void PlainProgress();

  std::FILE* out_;
  std::FILE* err_;
  bool interactive_;
  std::function<void()> runFinished_;

  std::string movieName_;
  std::string status_;
  int perMille_ = 0;
  int frames_ = 0;
  int lastPlainPercent_ = -1;
  bool lineOpen_ = false;  // a progress bar is on the terminal's last line
  std::string lastDrawn_;
};

}  // namespace ombrelo::indexer
