#pragma once
// The program's commands, one id space for every window: the main window's
// menus and toolbar, the pages' buttons and context menus, the results
// page's context menu and the review window. Each id is one QAction of the
// command registry (command_registry.h), which carries it out when its
// enabling rule allows. Where several windows offer a command of the same
// name for different things (playing the selected video of a list, of the
// results or of the review window), each has an id of its own.
namespace ombrelo::desktop {

enum Command : int {
  kNone = 0,
  // The "Videos to index" list of the movie selection page.
  kPlayMovie = 102,
  kRemoveMovie = 32775,
  kRemoveAll = 32779,
  // The movie selection page's file list and folder tree.
  kIndexSelectedVideos = 32774,
  kIndexVideosInFolder = 32780,
  kIndexAll = 32798,
  kAddAllVideos = 32811,  // the folder tree's "Add all videos"
  // The main window.
  kStart = 32776,
  kStop = 32777,
  kPause = 32778,
  kPageSelect = 32781,
  kPageSettings = 32782,
  kPageProgress = 32783,
  kPageResults = 32784,
  kShowHelp = 32794,
  kCheckUpgrades = 32797,
  kSupport = 32799,
  kSupportForum = 32801,
  kGenerateReport = 32805,
  kGetViewer = 32808,
  kGetTemplates = 32809,
  kShowHiddenFolders = 32810,
  kNewProject = 57600,
  kOpenProject = 57601,
  kSaveProject = 57603,
  kSaveProjectAs = 57604,
  kAbout = 57664,
  kExit = 57665,
  kToggleToolBar = 59392,
  kToggleStatusBar = 59393,
  // The movie selection page's "Next": to the progress page, and Start when
  // the engine is idle.
  kSelectNext = 33001,
  // Start, when the engine is idle (whatever the Start command's state).
  kStartWhenIdle = 33002,
  // The results page's context menu, for the selected movie.
  kResultsViewImages = 33101,
  kResultsViewHtml = 33102,
  kResultsViewIndexPhoto = 33103,
  kResultsPlayMovie = 33104,
  kResultsViewFolder = 33105,
  kResultsRemove = 33106,
  kResultsRequeue = 33107,
  // Looks for the project's missing videos in a folder the user chooses.
  kResultsLocate = 33108,
  // The review window: its buttons for the movie shown, and the pop-up
  // menu for the selected thumbnail.
  kReviewHtml = 33201,
  kReviewIndex = 33202,
  kReviewPlaylist = 33203,
  kReviewPlay = 33204,
  kDeleteImage = 32802,
  kViewImage = 32803,
};

// The status-line text of the idle window.
inline constexpr char kReadyText[] = "Ready";

// The pages of the main window, in the order of the View > Page menu.
enum Page : int {
  kNoPage = 0,
  kSelectPage = 1,
  kSettingsPage = 2,
  kProgressPage = 3,
  kResultsPage = 4
};

}  // namespace ombrelo::desktop
