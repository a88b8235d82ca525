#pragma once
// The main window: menu bar, toolbar and status bar over one of four pages
// (movie selection, settings, progress, results). It owns the command
// registry, whose actions every menu, toolbar button, context menu and page
// button shares, and binds the commands it carries out itself. The window is the workflow
// controller's port: what a run shows arrives here on the window's thread (the controller posts the
// engine's reports as events).
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/workflow_port.h"

class QLabel;
class QStackedWidget;

namespace ombrelo {
class CProject;
class CaptureEngine;
class Preferences;
class WorkflowController;
}  // namespace ombrelo

namespace ombrelo::desktop {

class CommandRegistry;
class HelpPages;
class PageWidget;
class RunPages;
class SelectPage;
class SettingsPage;

// Texts of the project file commands.
inline constexpr char kProgramCaption[] = "Ombrelo";
inline constexpr char kUntitled[] = "Untitled";
inline constexpr char kOpenFailedText[] = "Failed to open project file";
inline constexpr char kSaveCaption[] = "Save Project";
inline constexpr char kSaveAsCaption[] = "Save Project as";
inline constexpr char kSavedText[] = "Project Saved Successfully";
inline constexpr char kSaveFailedText[] = "Failed to save project file";

class MainWindow : public QMainWindow, public WorkflowPort {
  Q_OBJECT
 public:
  static constexpr int kWidth = 852;
  static constexpr int kHeight = 563;
  static constexpr int kMinimumWidth = 600;
  static constexpr int kMinimumHeight = 450;

  MainWindow(CProject& project, CaptureEngine& engine, Preferences& preferences, HelpPages& help);
  ~MainWindow() override;

  // The controller that carries out Start, Stop and Pause.
  void AttachController(WorkflowController* controller);

  // The help shown once the window is on the screen: the welcome page (only
  // in the first run) and the movie selection tutorial.
  void ShowStartupHelp();

  // Carries out a command when it is enabled (true then); unknown ids do
  // nothing.
  bool Dispatch(int id);
  QAction* Action(int id) const;
  CommandRegistry& Commands() { return *commands_; }

  // Page navigation.
  void SwitchToPage(int page);
  int CurrentPage() const { return currentPage_; }
  QWidget* PageAt(int page) const;
  SelectPage* Selection() const { return select_; }
  SettingsPage* Settings() const { return settings_; }
  RunPages& Run() { return *runPages_; }

  // Reads a project file aside and, when it could be read, makes it the
  // project (a run still going is ended first) and reloads the pages. A file
  // that cannot be read leaves the project as it was, with a message that
  // names the file and says why.
  bool OpenProjectFile(const std::string& path);
  const std::string& CurrentProjectPath() const { return currentProjectPath_; }
  // The pages fill themselves again from the project (it was replaced).
  void ReloadPages();
  // A project brought back after a crash replaced the current one: it has
  // no file of its own (Save asks for one) and is unsaved work.
  void AdoptRecoveredProject();

  // Whether the project changed since it was last saved, opened or made
  // new; keeps the window title's changed mark up to date.
  bool ProjectModified();
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
  // "Save changes to <name>?" with Save, Discard and Cancel (tests replace
  // it).
  enum class SaveAnswer { save, discard, cancel };
  using SaveQuestion = std::function<SaveAnswer(QWidget* owner, const QString& name)>;
  void SetSaveQuestion(SaveQuestion question) { askSave_ = std::move(question); }

  // ---- WorkflowPort
  void SetStatusText(const std::string& text) override;
  void EnableCommands(const CommandStates& states) override;
  ClientSize MainWindowClientSize() override;
  void ApplySettings() override;
  void ClearErrors() override;
  void MovieStarted(const Movie& movie) override;
  void MovieNotOpened(const Movie& movie, const std::string& errorText) override;
  void ShowProgress(int32_t movieId, int perMille) override;
  void ShowFrame(const FrameCopy& frame) override;
  void MovieFinished(const Movie& movie) override;
  void IndexPhotoFinished(const Movie& movie, bool written) override;
  void RemoveFromSelection(int32_t movieId) override;
  void RefreshSelection() override;
  void ShowHelpPage(const std::string& name, HelpMode mode) override;
  void OpenCodecHelp(const std::string& moviePath, const std::string& address) override;
  void ShowDecodingProblems(const std::vector<std::string>& paths) override;
  bool FirstRun() override;
  void SavePreferences() override;
  void RunFinished() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BindCommands();
  void CreateMenus();
  void CreateToolBar();
  void AddPage(QWidget* page);
  void ShowHelpIndex();
  void NewProject();
  void OpenProject();
  // True when the project was written.
  bool SaveProject(bool saveAs);
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
  WorkflowController* controller_ = nullptr;

  // First: the pages bind their commands in it.
  std::unique_ptr<CommandRegistry> commands_;
  CommandStates states_;  // the controller's, for Start, Stop and Pause
  QToolBar* toolBar_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  SelectPage* select_ = nullptr;
  SettingsPage* settings_ = nullptr;
  std::unique_ptr<RunPages> runPages_;
  int currentPage_ = 0;
  std::string currentProjectPath_;
  FileChooser chooseFile_;
  SaveQuestion askSave_;

  // Changes since the last save: the project file's text then, and the
  // project's revision when it was last compared with it. Once a change is
  // seen the project stays changed until it is saved (or replaced).
  std::string unchangedText_;
  uint64_t comparedRevision_ = 0;
  bool modified_ = false;
  // Closing waits for a run to end; then the window closes without asking
  // again.
  bool closeAfterRun_ = false;
  bool closeConfirmed_ = false;
};

}  // namespace ombrelo::desktop
