#pragma once
// The main window: menu bar, toolbar and status bar over one of four pages
// (movie selection, settings, progress, results). It owns the command
// registry, whose actions every menu, toolbar button, context menu and page
// button shares, and binds the commands it carries out itself. The window and
// its pages listen to the workflow controller: what a run publishes arrives
// on the window's thread as the controller's signals, and each page connects
// to what it shows.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/desktop/commands.h"
#include "project/report.h"
#include "workflow/workflow_port.h"

class QLabel;
class QStackedWidget;

namespace ombrelo {
struct ProjectChange;
class CProject;
class CaptureEngine;
class Preferences;
class Regeneration;
class WorkflowController;
}  // namespace ombrelo

namespace ombrelo::desktop {

class CommandRegistry;
class DesktopShell;
class ProgressPage;
class ResultsPage;
class HelpPages;
class MovieModel;
class PageWidget;
class ProjectLock;
class SelectPage;
class WindowCaller;
class SettingsPage;

// Texts of the project file commands (looked up in the catalogue where shown).
inline constexpr char kProgramCaption[] = "Ombrelo";
inline constexpr char kUntitled[] = QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Untitled");
inline constexpr char kOpenFailedText[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Failed to open project file");
inline constexpr char kSaveCaption[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Save Project");
inline constexpr char kSaveAsCaption[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Save Project as");
inline constexpr char kSavedText[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Project Saved Successfully");
inline constexpr char kSaveFailedText[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Failed to save project file");
inline constexpr char kReadOnlyMark[] =
    QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", " (read-only)");
// Asked when a run is started with every video of the project indexed.
inline constexpr char kIndexAgainQuestion[] = QT_TRANSLATE_NOOP(
    "ombrelo::desktop::MainWindow",
    "All videos of the project are indexed. Index them again with the current settings?");

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 852;
  static constexpr int kHeight = 563;
  static constexpr int kMinimumWidth = 600;
  static constexpr int kMinimumHeight = 450;

  MainWindow(CProject& project, CaptureEngine& engine, Preferences& preferences, HelpPages& help);
  ~MainWindow() override;

  // The controller that carries out Start, Stop and Pause; the window and
  // its pages follow what it publishes. Null detaches it.
  void AttachController(WorkflowController* controller);

  // The help shown once the window is on the screen: the welcome page (only
  // in the first run) and the movie selection tutorial.
  void ShowStartupHelp();

  // Carries out a command when it is enabled (true then); unknown ids do
  // nothing.
  bool Dispatch(CommandId id);
  QAction* Action(CommandId id) const;
  CommandRegistry& Commands() { return *commands_; }

  // Page navigation.
  void SwitchToPage(int page);
  int CurrentPage() const { return currentPage_; }
  QWidget* PageAt(int page) const;
  SelectPage* Selection() const { return select_; }
  SettingsPage* Settings() const { return settings_; }
  ombrelo::desktop::ProgressPage* Progress() const { return progress_; }
  ombrelo::desktop::ResultsPage* Results() const { return results_; }
  // The project's movies, which every list of the window shows.
  MovieModel& Movies() const { return *movies_; }

  // Reads a project file aside and, when it could be read, makes it the
  // project (a run still going is ended first) and reloads the pages. A file
  // that cannot be read leaves the project as it was, with a message that
  // names the file and says why.
  bool OpenProjectFile(const std::string& path);
  const std::string& CurrentProjectPath() const { return currentProjectPath_; }
  // A project brought back after a crash replaced the current one: it has
  // no file of its own (Save asks for one) and is unsaved work.
  void AdoptRecoveredProject();

  // Whether the project changed since it was last saved, opened or made
  // new; the window title's changed mark follows the project's changes.
  bool ProjectModified() const { return modified_; }
  // The project as it is now counts as unchanged.
  void MarkProjectUnchanged();
  // The name the title and the question about changed work use: the
  // project file's name, "Untitled" without one.
  QString ProjectName() const;
  QString StatusText() const;

  // The file dialogs (tests replace them). Return "" when cancelled.
  enum class FileDialog { openProject, saveProject, saveReport };
  using FileChooser = std::function<QString(QWidget* owner, FileDialog kind)>;
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  // The report's transformation, run on a worker (tests replace it).
  void SetReportTransform(TemplateTransform t) { transformReport_ = std::move(t); }
  // "Save changes to <name>?" with Save, Discard and Cancel (tests replace
  // it).
  enum class SaveAnswer { save, discard, cancel };
  using SaveQuestion = std::function<SaveAnswer(QWidget* owner, const QString& name)>;
  void SetSaveQuestion(SaveQuestion question) { askSave_ = std::move(question); }
  // A project file that another running program has open: open it
  // read-only, bring that program's window to the front, or leave it (tests
  // replace the question). holder is its process id (0 when not known).
  enum class LockedAnswer { readOnly, showOther, cancel };
  using LockedQuestion =
      std::function<LockedAnswer(QWidget* owner, const QString& path, qint64 holder)>;
  void SetLockedQuestion(LockedQuestion question) { askLocked_ = std::move(question); }
  // True while the project was opened read-only: Save asks for another file.
  bool ReadOnly() const { return readOnly_; }
  // True when the last project file opened was shown in the window of
  // another running program instead.
  bool HandedToOtherWindow() const { return handedOver_; }

  // The end of a run whose queue was worked through: the "completed" page
  // when every video was indexed, else a warning that says how many failed.
  void ShowRunSummary(int indexed, int failed);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BindCommands();
  void CreatePages();
  void CreateRunPages();
  // What the window does when the project changed: the changed mark, and
  // the pages that are no views on the movie model after a replacement.
  void ProjectChanged(const ProjectChange& change);
  void EnableCommands(const CommandStates& states);
  // Stores the settings page into the project, then starts (or resumes).
  void StartRun();
  void RunFinished();
  void CreateMenus();
  void CreateToolBar();
  void AddPage(QWidget* page);
  void ShowHelpIndex();
  void NewProject();
  void OpenProject();
  // True when the project was written.
  // confirm: say when it is saved (not when the user has just chosen Save in
  // the question before New, Open or Exit).
  bool SaveProject(bool saveAs, bool confirm = true);
  // Asks before a chosen file other than the project's own is replaced.
  bool MayReplace(const std::string& path, const char* caption);
  // Offers changed work for saving; false when the user cancels (or the
  // save did not happen).
  bool MaySetProjectAside();
  // Ends a run before the project is replaced.
  void EndRun();
  void UpdateTitle();
  void GenerateReport();
  void ShowAbout();
  void OpenWebPage(const QString& address);
  bool EngineIdle() const;
  void StopCapture();

  CProject& project_;
  CaptureEngine& engine_;
  Preferences& preferences_;
  HelpPages& help_;
  QPointer<WorkflowController> controller_;
  int projectListener_ = -1;

  // First: the pages bind their commands in it.
  std::unique_ptr<CommandRegistry> commands_;
  CommandStates states_;  // the controller's, for Start, Stop and Pause
  QToolBar* toolBar_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  MovieModel* movies_ = nullptr;
  SelectPage* select_ = nullptr;
  SettingsPage* settings_ = nullptr;
  std::unique_ptr<DesktopShell> shell_;  // what the results page opens things with
  ombrelo::desktop::ProgressPage* progress_ = nullptr;
  ombrelo::desktop::ResultsPage* results_ = nullptr;
  // Thumbnails deleted on the results page: outputs made again with the
  // controller's renderer.
  std::unique_ptr<Regeneration> regeneration_;
  int backTarget_ = 1;  // where the progress page's Back returns to
  int currentPage_ = 0;
  std::string currentProjectPath_;
  FileChooser chooseFile_;
  TemplateTransform transformReport_;
  SaveQuestion askSave_;
  LockedQuestion askLocked_;
  // The project file this window has open, locked against other windows,
  // and what it was like on disk when it was read or written.
  std::unique_ptr<ProjectLock> lock_;
  std::unique_ptr<WindowCaller> caller_;
  bool readOnly_ = false;
  bool handedOver_ = false;

  // Changes since the last save: a change of a movie marks the project
  // changed; a change of the settings does when their text (without the
  // folder last browsed) differs from the one saved. Once a change is seen
  // the project stays changed until it is saved (or replaced).
  std::string unchangedSettings_;
  bool modified_ = false;
  // Closing waits for a run to end; then the window closes without asking
  // again.
  bool closeAfterRun_ = false;
  bool closeConfirmed_ = false;
};

}  // namespace ombrelo::desktop
