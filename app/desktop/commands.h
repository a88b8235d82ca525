#pragma once
// The command ids of the main window. Menu items, toolbar buttons, context
// menus and page buttons all arrive at the main window's one dispatcher as
// one of these ids.
namespace ombrelo::desktop {

enum Command : int {
  kPlayMovie = 102,
  kIndexSelectedVideos = 32774,
  kRemoveMovie = 32775,
  kStart = 32776,
  kStop = 32777,
  kPause = 32778,
  kRemoveAll = 32779,
  kIndexVideosInFolder = 32780,
  kPageSelect = 32781,
  kPageSettings = 32782,
  kPageProgress = 32783,
  kPageResults = 32784,
  kShowHelp = 32794,
  kCheckUpgrades = 32797,
  kIndexAll = 32798,
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
