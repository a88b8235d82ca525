#include "app/desktop/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <filesystem>
#include <vector>

#include "app/desktop/command_registry.h"
#include "app/desktop/commands.h"
#include "app/desktop/help_window.h"
#include "app/desktop/main_window_dialogs.h"
#include "app/desktop/message_port.h"
#include "app/desktop/movie_model.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/project_lock.h"
#include "app/desktop/results/decoding_problems_dialog.h"
#include "app/desktop/results/desktop_shell.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/thumbnail_trash.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "platform/build_stamp.h"
#include "platform/debug_output.h"
#include "platform/translate.h"
#include "project/preferences.h"
#include "project/project.h"
#include "project/report.h"
#include "render/xslt_service.h"
#include "workflow/regeneration.h"
#include "workflow/workflow_controller.h"

namespace ombrelo::desktop {

namespace {

// The image viewer's web site, beside the product's own (ProductWebSite()).
constexpr char kViewerWebSite[] = "http://www.tessaly.com/viewer/";

QString Site(const char* page) { return QString::fromStdString(ProductWebSite()) + page; }
constexpr char kHelpIndexPage[] = "help_index.htm";

QString Qs(const std::string& text) { return QString::fromStdString(text); }

struct PageInfo {
  const char* title;
  const char* tutorial;  // nullptr: none
};
const PageInfo kPages[] = {
    {QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Ombrelo - Select files"), nullptr},
    {QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Ombrelo - Settings"), "settings.htm"},
    {QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Ombrelo - Indexing"),
     "progress_noneselected.htm"},
    {QT_TRANSLATE_NOOP("ombrelo::desktop::MainWindow", "Ombrelo - Results"), "results.htm"},
};

// The project's settings as far as they are the user's work: the folder
// last browsed on the select page is kept in the file, but browsing is
// nothing a user would be asked to save.
std::string ComparableSettings(const CProject& project) {
  std::string text = project.FileText(false);
  const size_t start = text.find("<current_path>");
  const size_t end = start == std::string::npos ? start : text.find("</current_path>", start);
  if (end != std::string::npos) text.erase(start, end - start);
  return text;
}

// A failure's text: the designed first line, the file, why, and what it
// means for the user's work.
std::string FailureText(const QString& what, const std::string& path, std::string why,
                        const QString& consequence) {
  while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
  std::string text = what.toStdString() + "\n" + path;
  if (!why.empty()) text += "\n" + why;
  return text + "\n" + consequence.toStdString();
}

}  // namespace

MainWindow::MainWindow(CProject& project, CaptureEngine& engine, Preferences& preferences,
                       HelpPages& help)
    : project_(project),
      engine_(engine),
      preferences_(preferences),
      help_(help),
      chooseFile_(DefaultFileChooser),
      askSave_(DefaultSaveQuestion),
      askLocked_(DefaultLockedQuestion),
      lock_(std::make_unique<ProjectLock>()) {
  LoadResources();
  caller_ = std::make_unique<WindowCaller>(this);
  setWindowTitle(QStringLiteral("Ombrelo"));
  setWindowIcon(QIcon(QStringLiteral(":/ombrelo.svg")));
  commands_ = std::make_unique<CommandRegistry>();
  BindCommands();
  CreateMenus();
  CreateToolBar();

  CreatePages();
  statusLabel_ = new QLabel(tr(kReadyText));
  statusBar()->addWidget(statusLabel_, 1);
  statusBar()->setSizeGripEnabled(true);

  SwitchToPage(kSelectPage);
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kWidth, kHeight);
  EnableCommands(CommandStates{});

  MarkProjectUnchanged();
  projectListener_ =
      project_.AddChangeListener([this](const ProjectChange& change) { ProjectChanged(change); });
}

void MainWindow::CreatePages() {
  pages_ = new QStackedWidget;
  setCentralWidget(pages_);
  movies_ = new MovieModel(project_, this);
  select_ = new SelectPage(*movies_, help_, *commands_);
  settings_ = new SettingsPage(project_);
  // The engine skips blank samples as the preference says, from the next
  // movie opened on.
  engine_.SetSkipBlank(SkipBlankThumbnails());
  connect(settings_, &SettingsPage::AdvancedSettingsAccepted, this,
          [this] { engine_.SetSkipBlank(SkipBlankThumbnails()); });
  AddPage(select_);
  // Start follows the movies waiting in the project.
  connect(select_, &SelectPage::ListChanged, this, [this] {
    if (controller_) EnableCommands(controller_->GetCommandStates());
  });
  AddPage(settings_);
  CreateRunPages();
  pages_->installEventFilter(this);
}

MainWindow::~MainWindow() {
  project_.RemoveChangeListener(projectListener_);
  AttachController(nullptr);
  // The pages unbind their commands as they go: before the registry.
  delete pages_;
}

namespace {

// The page on the page background like the other pages.
PageWidget* Framed(QWidget* page) {
  auto* frame = new PageWidget;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(page);
  frame->setFocusProxy(page);
  return frame;
}

}  // namespace

void MainWindow::CreateRunPages() {
  shell_ = std::make_unique<DesktopShell>();
  shell_->SetHelpPageHandler(
      [this](const std::string& name, HelpMode mode) { help_.Show(this, name, mode); });
  progress_ = new ombrelo::desktop::ProgressPage;
  results_ = new ombrelo::desktop::ResultsPage(*movies_, *shell_, *commands_);
  connect(progress_, &ombrelo::desktop::ProgressPage::backClicked, this,
          [this] { Dispatch(PageCommand(backTarget_)); });
  connect(progress_, &ombrelo::desktop::ProgressPage::nextClicked, this,
          [this] { Dispatch(kPageResults); });
  connect(results_, &ombrelo::desktop::ResultsPage::backClicked, this,
          [this] { Dispatch(kPageProgress); });
  connect(results_, &ombrelo::desktop::ResultsPage::reportClicked, this,
          [this] { Dispatch(kGenerateReport); });
  connect(results_, &ombrelo::desktop::ResultsPage::movieIndexed, this,
          [this] { preferences_.IncrementVideos(); });
  // The videos of an opened project that are not there any more.
  connect(results_, &ombrelo::desktop::ResultsPage::missingChanged, this,
          [this, shown = QString()](const QString& text) mutable {
            if (!statusLabel_) return;
            if (!text.isEmpty()) {
              statusLabel_->setText(text);
            } else if (!shown.isEmpty() && statusLabel_->text() == shown) {
              statusLabel_->setText(tr(kReadyText));  // all found again
            }
            shown = text;
          });
  AddPage(Framed(progress_));
  AddPage(Framed(results_));
}

void MainWindow::AddPage(QWidget* page) {
  pages_->addWidget(page);
  if (auto* ours = qobject_cast<PageWidget*>(page))
    connect(ours, &PageWidget::Command, this, &MainWindow::Dispatch);
}

void MainWindow::BindCommands() {
  CommandRegistry& c = *commands_;
  c.Action(kToggleToolBar)->setChecked(true);
  c.Action(kToggleStatusBar)->setChecked(true);
  // A build without a product web site (the default) has nowhere to send
  // these: they are hidden rather than left to fail.
  for (CommandId id : {kCheckUpgrades, kGetTemplates, kGetViewer, kSupportForum, kSupport})
    c.Action(id)->setVisible(!ProductWebSite().empty());

  c.Bind(kNewProject, [this] { NewProject(); });
  c.Bind(kOpenProject, [this] { OpenProject(); });
  c.Bind(kSaveProject, [this] { SaveProject(false); });
  c.Bind(kSaveProjectAs, [this] { SaveProject(true); });
  c.Bind(kGenerateReport, [this] { GenerateReport(); });
  c.Bind(kExit, [this] { close(); });

  // Start, Stop and Pause follow the controller's command states.
  c.Bind(
      kStart, [this] { StartRun(); }, [this] { return controller_ && states_.start; });
  c.Bind(
      kStop, [this] { StopCapture(); }, [this] { return controller_ && states_.stop; });
  c.Bind(
      kPause, [this] { controller_->Pause(); }, [this] { return controller_ && states_.pause; });
  c.Bind(
      kStartWhenIdle, [this] { StartRun(); }, [this] { return controller_ && EngineIdle(); });

  c.Bind(kToggleToolBar, [this] {
    toolBar_->setVisible(!toolBar_->isVisible());
    commands_->Action(kToggleToolBar)->setChecked(toolBar_->isVisible());
  });
  c.Bind(kToggleStatusBar, [this] {
    statusBar()->setVisible(!statusBar()->isVisible());
    commands_->Action(kToggleStatusBar)->setChecked(statusBar()->isVisible());
  });
  c.Bind(kShowHiddenFolders, [this] {
    select_->SetShowHiddenFolders(commands_->Action(kShowHiddenFolders)->isChecked());
  });
  c.Bind(kPageSelect, [this] { SwitchToPage(kSelectPage); });
  c.Bind(kPageSettings, [this] { SwitchToPage(kSettingsPage); });
  c.Bind(kPageProgress, [this] {
    if (currentPage_ == kSelectPage || currentPage_ == kSettingsPage) backTarget_ = currentPage_;
    SwitchToPage(kProgressPage);
  });
  c.Bind(kPageResults, [this] { SwitchToPage(kResultsPage); });

  c.Bind(kShowHelp, [this] { ShowHelpIndex(); });
  c.Bind(kCheckUpgrades, [this] {
    help_.Show(this, ProductWebSite() + "upgrade.php?version=131", HelpMode::notice);
  });
  c.Bind(kGetTemplates, [this] { OpenWebPage(Site("templates/index.html")); });
  c.Bind(kGetViewer, [this] { OpenWebPage(QString::fromLatin1(kViewerWebSite)); });
  c.Bind(kSupportForum, [this] { OpenWebPage(Site("forum.htm")); });
  c.Bind(kSupport, [this] { OpenWebPage(Site("contact.htm")); });
  c.Bind(kAbout, [this] { ShowAbout(); });

  // The "Videos to index" context menu: a capture is stopped before a
  // movie is removed.
  const auto selected = [this] { return select_ && select_->HasSelectedMovie(); };
  c.Bind(
      kPlayMovie, [this] { select_->PlaySelectedMovie(); }, selected);
  c.Bind(
      kRemoveMovie,
      [this] {
        StopCapture();
        select_->RemoveSelectedMovie();
      },
      selected);
  c.Bind(kRemoveAll, [this] {
    StopCapture();
    select_->RemoveAllMovies();
  });
}

void MainWindow::CreateMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  for (CommandId id : {kNewProject, kOpenProject, kSaveProject, kSaveProjectAs})
    file->addAction(Action(id));
  file->addSeparator();
  file->addAction(Action(kGenerateReport));
  file->addSeparator();
  file->addAction(Action(kExit));

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  edit->addAction(Action(kUndo));

  QMenu* capture = menuBar()->addMenu(tr("&Capture"));
  for (CommandId id : {kStart, kStop, kPause}) capture->addAction(Action(id));

  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->addAction(Action(kToggleToolBar));
  view->addAction(Action(kToggleStatusBar));
  view->addSeparator();
  view->addAction(Action(kShowHiddenFolders));
  view->addSeparator();
  QMenu* page = view->addMenu(tr("&Page"));
  for (CommandId id : {kPageSelect, kPageSettings, kPageProgress, kPageResults})
    page->addAction(Action(id));

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->addAction(Action(kShowHelp));
  help->addSeparator();
  for (CommandId id : {kCheckUpgrades, kGetTemplates, kGetViewer}) help->addAction(Action(id));
  help->addSeparator();
  for (CommandId id : {kSupportForum, kSupport}) help->addAction(Action(id));
  help->addSeparator();
  help->addAction(Action(kAbout));
}

void MainWindow::CreateToolBar() {
  toolBar_ = addToolBar(tr("Toolbar"));
  toolBar_->setObjectName(QStringLiteral("toolbar"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->toggleViewAction()->setVisible(false);
  for (CommandId id : {kNewProject, kOpenProject, kSaveProject}) toolBar_->addAction(Action(id));
  toolBar_->addSeparator();
  for (CommandId id : {kStart, kStop, kPause}) toolBar_->addAction(Action(id));
  toolBar_->addSeparator();
  toolBar_->addAction(Action(kShowHelp));
  // The buttons show only their pictures: their names are for screen readers.
  for (QAction* action : toolBar_->actions()) {
    if (QWidget* button = toolBar_->widgetForAction(action); button && !action->isSeparator())
      button->setAccessibleName(action->toolTip());
  }
  setContextMenuPolicy(Qt::NoContextMenu);
}

QAction* MainWindow::Action(CommandId id) const { return commands_->Action(id); }

bool MainWindow::Dispatch(CommandId id) { return commands_->Run(id); }

QWidget* MainWindow::PageAt(int page) const {
  if (page < kSelectPage || page > kResultsPage) return nullptr;
  return pages_->widget(page - 1);
}

void MainWindow::SwitchToPage(int page) {
  if (page == currentPage_ || !PageAt(page)) return;
  currentPage_ = page;
  for (int other = kSelectPage; other <= kResultsPage; ++other)
    Action(PageCommand(other))->setChecked(false);
  const PageInfo& info = kPages[page - 1];
  const bool tutorial = info.tutorial && (page != kProgressPage || project_.Movies().empty());
  Action(PageCommand(page))->setChecked(true);
  UpdateTitle();
  pages_->setCurrentIndex(page - 1);
  PageAt(page)->setFocus();
  if (tutorial) help_.Show(this, info.tutorial, HelpMode::tutorial);
}

void MainWindow::ShowStartupHelp() {
  help_.Show(this, "welcome.htm", HelpMode::welcome);
  help_.Show(this, "select_files.htm", HelpMode::tutorial);
}

bool MainWindow::EngineIdle() const { return engine_.GetState() == CaptureState::idle; }

void MainWindow::StopCapture() {
  if (controller_) controller_->Stop();
}

// ---- Project files

void MainWindow::ProjectChanged(const ProjectChange& change) {
  // Thumbnails deleted from movies that are gone cannot come back.
  if (change.kind == ProjectChange::replaced || change.kind == ProjectChange::moviesCleared)
    results_->Trash().Commit();
  if (change.kind == ProjectChange::replaced) {
    // The lists follow by themselves; the rest of the pages is read again.
    select_->ShowProjectFolder();
    settings_->LoadControls();
    commands_->Update();  // every rule looks at the new project
  }
  if (modified_) return;
  if (change.kind == ProjectChange::settings) {
    // Browsing folders is nothing a user would be asked to save.
    modified_ = ComparableSettings(project_) != unchangedSettings_;
  } else {
    modified_ = true;
  }
  if (modified_) {
    unchangedSettings_.clear();
    setWindowModified(true);
  }
}

void MainWindow::AdoptRecoveredProject() {
  currentProjectPath_.clear();
  lock_->Release();
  lock_->ForgetDiskState();
  readOnly_ = false;
  modified_ = true;
  UpdateTitle();
}

QString MainWindow::ProjectName() const {
  if (currentProjectPath_.empty()) return tr(kUntitled);
  return QFileInfo(Qs(currentProjectPath_)).fileName();
}

void MainWindow::UpdateTitle() {
  const QString page = currentPage_ == kNoPage ? QString::fromLatin1(kProgramCaption)
                                               : tr(kPages[currentPage_ - 1].title);
  const QString mark = readOnly_ ? tr(kReadOnlyMark) : QString();
  setWindowTitle(ProjectName() + mark + QStringLiteral("[*] - ") + page);
  setWindowModified(modified_);
}

void MainWindow::MarkProjectUnchanged() {
  unchangedSettings_ = ComparableSettings(project_);
  modified_ = false;
  UpdateTitle();
}

bool MainWindow::MaySetProjectAside() {
  settings_->StoreControls();  // what was typed counts as a change
  if (!ProjectModified()) return true;
  switch (askSave_(this, ProjectName())) {
    case SaveAnswer::save:
      return SaveProject(false, false);
    case SaveAnswer::discard:
      return true;
    case SaveAnswer::cancel:
      break;
  }
  return false;
}

void MainWindow::EndRun() {
  if (controller_ && controller_->RunActive()) controller_->EndRun();
}

void MainWindow::NewProject() {
  if (!MaySetProjectAside()) return;
  EndRun();
  // The settings stay as they are.
  project_.ClearMovies();
  currentProjectPath_.clear();
  lock_->Release();
  lock_->ForgetDiskState();
  readOnly_ = false;
  commands_->Update();
  MarkProjectUnchanged();
}

bool MainWindow::OpenProjectFile(const std::string& path) {
  // Another window that has the file open keeps it: this one opens it
  // read-only, or shows that window instead.
  handedOver_ = false;
  auto lock = std::make_unique<ProjectLock>();
  bool readOnly = false;
  const bool reopening = !lock_->LockedPath().empty() && lock_->LockedPath() == path;
  qint64 holder = 0;
  if (!reopening && !lock->Acquire(path, &holder)) {
    switch (askLocked_(this, Qs(path), holder)) {
      case LockedAnswer::readOnly:
        readOnly = true;
        break;
      case LockedAnswer::showOther:
        handedOver_ = WindowCaller::CallWindowOf(holder);
        if (!handedOver_) {
          ShowMessage(kProgramCaption,
                      tr("%1\nis open in another Ombrelo window, which did not answer. Close "
                         "that window, or open the project read-only.")
                          .arg(Qs(path))
                          .toStdString(),
                      MessageIcon::warning);
        }
        return false;
      case LockedAnswer::cancel:
        return false;
    }
  }
  // Read aside: a file that cannot be read never touches the project. It
  // starts from the current settings, which older files do not all carry.
  CProject read;
  read.CopySettingsFrom(project_);
  std::string why;
  if (!read.Load(path, &why)) {
    ShowMessage(kProgramCaption,
                FailureText(tr(kOpenFailedText), path, why, tr("The project was not changed.")),
                MessageIcon::error);
    return false;
  }
  EndRun();
  project_.TakeContentFrom(read);
  currentProjectPath_ = path;
  if (!reopening) lock_ = std::move(lock);  // the earlier file's lock goes
  lock_->RememberDiskState(path);
  readOnly_ = readOnly;
  MarkProjectUnchanged();
  return true;
}

void MainWindow::OpenProject() {
  if (!MaySetProjectAside()) return;
  const QString path = chooseFile_(this, FileDialog::openProject);
  if (!path.isEmpty()) OpenProjectFile(path.toStdString());
}

bool MainWindow::MayReplace(const std::string& path, const char* caption) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return true;
  if (!currentProjectPath_.empty() && std::filesystem::equivalent(path, currentProjectPath_, ec))
    return true;
  return AskYesNo(tr(caption).toStdString(),
                  tr("%1\nalready exists. Do you want to replace it?").arg(Qs(path)).toStdString(),
                  MessageIcon::warning);
}

bool MainWindow::SaveProject(bool saveAs, bool confirm) {
  settings_->StoreControls();
  // A project opened read-only is saved under another name.
  const char* captionSource = saveAs || readOnly_ ? kSaveAsCaption : kSaveCaption;
  const std::string caption = tr(captionSource).toStdString();
  std::string path = currentProjectPath_;
  if (saveAs || readOnly_ || path.empty()) {
    // A cancelled dialog, or a file the user keeps, changes nothing.
    path = chooseFile_(this, FileDialog::saveProject).toStdString();
    if (path.empty() || !MayReplace(path, captionSource)) return false;
  }
  // Another window's project is never replaced from here.
  auto lock = std::make_unique<ProjectLock>();
  const bool same = !lock_->LockedPath().empty() && lock_->LockedPath() == path;
  if (!same && !lock->Acquire(path)) {
    ShowMessage(caption,
                tr("%1\nis open in another Ombrelo window. Save this project under another "
                   "name, or close it there first.")
                    .arg(Qs(path))
                    .toStdString(),
                MessageIcon::warning);
    return false;
  }
  // Changed by another program since this window read or wrote it: the
  // user decides whether this project replaces it.
  if (lock_->ChangedOnDisk(path) &&
      !AskYesNo(caption,
                tr("%1\nwas changed on disk since it was opened here. Do you want to replace "
                   "it with this project?")
                    .arg(Qs(path))
                    .toStdString(),
                MessageIcon::warning)) {
    return false;
  }
  std::string why;
  if (!project_.Save(path, &why)) {
    ShowMessage(
        caption,
        FailureText(tr(kSaveFailedText), path, why, tr("The file on disk was not changed.")),
        MessageIcon::error);
    return false;
  }
  currentProjectPath_ = path;
  if (!same) lock_ = std::move(lock);
  lock_->RememberDiskState(path);
  readOnly_ = false;
  MarkProjectUnchanged();
  results_->Trash().Commit();  // the saved project names them no more
  if (confirm) ShowMessage(caption, tr(kSavedText).toStdString(), MessageIcon::none);
  return true;
}

// ---- Help menu

void MainWindow::ShowHelpIndex() { help_.Show(this, kHelpIndexPage, HelpMode::notice); }

void MainWindow::OpenWebPage(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

// ---- What a run publishes

void MainWindow::AttachController(WorkflowController* controller) {
  if (results_) results_->SetRegeneration(nullptr);
  regeneration_.reset();
  if (controller_) controller_->disconnect(this);
  controller_ = controller;
  if (!controller) return;
  using Run = WorkflowController;
  connect(controller, &Run::statusChanged, this,
          [this](const std::string& text) { statusLabel_->setText(Qs(text)); });
  connect(controller, &Run::commandsChanged, this, &MainWindow::EnableCommands);
  connect(controller, &Run::runFinished, this, &MainWindow::RunFinished);
  connect(controller, &Run::runCompleted, this, &MainWindow::ShowRunSummary);
  connect(controller, &Run::helpRequested, this,
          [this](const std::string& name, HelpMode mode) { help_.Show(this, name, mode); });
  connect(controller, &Run::codecHelpRequested, this,
          [this](const std::string&, const std::string& address) {
            help_.Show(this, address, HelpMode::notice);
          });
  connect(controller, &Run::decodingProblemsFound, this,
          [this](const std::vector<std::string>& paths) {
            ombrelo::desktop::ShowDecodingProblems(
                paths,
                [this](const std::string& path) {
                  help_.Show(this, CodecHelpAddress(path), HelpMode::notice);
                },
                this);
          });
  connect(controller, &Run::messageRequested, this,
          [](const Message& message) { ShowMessage(message); });
  progress_->Follow(*controller);
  regeneration_ =
      std::make_unique<Regeneration>(project_, controller->IndexPhotos(), controller->Pages());
  results_->SetRegeneration(regeneration_.get());
  controller->SetIndexPhotoBounds(ClientSize{pages_->width(), pages_->height()});
  EnableCommands(controller->GetCommandStates());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The index photo is no larger than the pages' area.
  if (watched == pages_ && event->type() == QEvent::Resize && controller_)
    controller_->SetIndexPhotoBounds(ClientSize{pages_->width(), pages_->height()});
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::StartRun() {
  if (!controller_) return;
  settings_->StoreControls();  // what the page shows is what the run uses
  if (!controller_->RunActive() && EngineIdle() && !controller_->GetCommandStates().start) {
    // Nothing waits: a start would do nothing. Videos indexed before may be
    // indexed again, with the settings just changed, when the user says so.
    std::vector<int32_t> done;
    for (const Movie& movie : project_.Movies()) {
      if (movie.status == kMovieDone) done.push_back(movie.id());
    }
    if (!done.empty()) {
      if (!AskYesNo(kProgramCaption, tr(kIndexAgainQuestion).toStdString(), MessageIcon::question))
        return;
      results_->Requeue(done);
    }
  }
  controller_->Start();
}

QString MainWindow::StatusText() const { return statusLabel_->text(); }

void MainWindow::EnableCommands(const CommandStates& states) {
  states_ = states;
  commands_->Update({kStart, kStop, kPause, kStartWhenIdle});
  Action(kPause)->setChecked(states.paused);
}

void MainWindow::ShowRunSummary(int indexed, int failed) {
  if (failed == 0) {
    if (indexed > 0) help_.Show(this, kRunCompletedPage, HelpMode::notice);
    return;
  }
  ShowMessage(TranslateKept("WorkflowPort", kRunSummaryCaption), RunSummaryText(indexed, failed),
              MessageIcon::warning);
}

void MainWindow::RunFinished() {
  preferences_.Save();  // the movies indexed, counted by the results page
  if (!closeAfterRun_) return;
  closeAfterRun_ = false;
  closeConfirmed_ = true;
  QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeAfterRun_ || (!closeConfirmed_ && !MaySetProjectAside())) {
    event->ignore();
    return;
  }
  // A run ends before the window goes: the capture is stopped and what is
  // being written is finished; then the window closes.
  if (controller_ && controller_->RunActive()) {
    closeAfterRun_ = true;
    controller_->EndRun();
    event->ignore();
    return;
  }
  // The temporary pages and thumbnails go with the window, behind it (the
  // program ends without waiting for them), and so do the deleted
  // thumbnails kept for Undo.
  results_->Trash().Commit();
  project_.ClearTemporaryFolder(CProject::TemporaryClearing::behindTheWindow);
  event->accept();
}

}  // namespace ombrelo::desktop
