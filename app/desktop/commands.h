#pragma once
// The program's commands, one enum of ids for every window: the main window's
// menus and toolbar, the pages' buttons and context menus, the results
// page's context menu and the review window. Each id is one QAction of the
// command registry (command_registry.h), which carries it out when its
// enabling rule allows. Where several windows offer a command of the same
// name for different things (playing the selected video of a list, of the
// results or of the review window), each has an id of its own.
namespace ombrelo::desktop {

enum class CommandId {
  kNone,
  // The "Videos to index" list of the movie selection page.
  kPlayMovie,
  kRemoveMovie,
  kRemoveAll,
  // The movie selection page's file list and folder tree.
  kIndexSelectedVideos,
  kIndexVideosInFolder,
  kIndexAll,
  kAddAllVideos,  // the folder tree's "Add all videos"
  // The main window.
  kStart,
  kStop,
  kPause,
  kPageSelect,
  kPageSettings,
  kPageProgress,
  kPageResults,
  kShowHelp,
  kCheckUpgrades,
  kSupport,
  kSupportForum,
  kGenerateReport,
  kGetViewer,
  kGetTemplates,
  kShowHiddenFolders,
  kNewProject,
  kOpenProject,
  kSaveProject,
  kSaveProjectAs,
  kAbout,
  kExit,
  kToggleToolBar,
  kToggleStatusBar,
  // The movie selection page's "Next": to the progress page, and Start when
  // the engine is idle.
  kSelectNext,
  // Start, when the engine is idle (whatever the Start command's state).
  kStartWhenIdle,
  // The results page's context menu, for the selected movie.
  kResultsViewImages,
  kResultsViewHtml,
  kResultsViewIndexPhoto,
  kResultsPlayMovie,
  kResultsViewFolder,
  kResultsRemove,
  kResultsRequeue,
  // Looks for the project's missing videos in a folder the user chooses.
  kResultsLocate,
  // The review window: its buttons for the movie shown, and the pop-up
  // menu for the selected thumbnail.
  kReviewHtml,
  kReviewIndex,
  kReviewPlaylist,
  kReviewPlay,
  kDeleteImage,
  kViewImage,
  // Edit > Undo: brings back the last thumbnail deleted since the project
  // was saved.
  kUndo,
};
// The ids are used unqualified in the windows that bind them.
using enum CommandId;

// The page commands in the order of the pages (kSelectPage first).
constexpr CommandId PageCommand(int page) {
  constexpr CommandId kPageCommands[] = {kPageSelect, kPageSettings, kPageProgress, kPageResults};
  return page >= 1 && page <= 4 ? kPageCommands[page - 1] : kNone;
}

// The status-line text of the idle window.
inline constexpr char kReadyText[] = QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Ready");

// The pages of the main window, in the order of the View > Page menu.
enum Page : int {
  kNoPage = 0,
  kSelectPage = 1,
  kSettingsPage = 2,
  kProgressPage = 3,
  kResultsPage = 4
};

}  // namespace ombrelo::desktop
