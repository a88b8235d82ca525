#pragma once
// The small types the indexing workflow shares with its front ends: the
// states of the three capture commands, how a help page is shown, and the
// text that sums up a run. What happened in a run is published by the
// WorkflowController's signals (app/workflow_controller.h); each front end
// connects to what it shows.
#include <string>

#include "platform/translate.h"

namespace ombrelo {

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
  bool operator==(const ClientSize&) const = default;
};

// The end of a run whose queue was worked through: when none failed, the
// help page "completed.htm" (only when some were indexed); otherwise a
// warning with this caption (shown through TranslateKept("WorkflowPort", ...))
// and text.
inline constexpr char kRunCompletedPage[] = "completed.htm";
inline constexpr char kRunSummaryCaption[] = QT_TRANSLATE_NOOP("WorkflowPort", "Indexing finished");
inline std::string RunSummaryText(int indexed, int failed) {
  return FillIn(indexed == 1 ? Translate("WorkflowPort",
                                         "%n video was indexed and %1 could not be indexed.\nEach "
                                         "video that failed is listed with its error.",
                                         nullptr, indexed)
                             : Translate("WorkflowPort",
                                         "%n videos were indexed and %1 could not be indexed.\n"
                                         "Each video that failed is listed with its error.",
                                         nullptr, indexed),
                {std::to_string(failed)});
}

}  // namespace ombrelo
