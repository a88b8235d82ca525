#include "app/desktop/desktop_session.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <cstring>

#include "crash/crash_handler.h"
#include "crash/crash_recovery.h"
#include "crash/crash_snapshot.h"
#include "engine/capture_engine.h"
#include "project/preferences.h"
#include "project/project.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {

namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::information:
      return QMessageBox::Information;
    case MessageIcon::warning:
      return QMessageBox::Warning;
    case MessageIcon::error:
      return QMessageBox::Critical;
    case MessageIcon::question:
      return QMessageBox::Question;
    case MessageIcon::none:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton Run(const Message& message, QMessageBox::StandardButtons buttons) {
  QWidget* owner =
      message.owner == MessageOwner::mainWindow ? QApplication::activeWindow() : nullptr;
  const QString caption = QString::fromStdString(message.caption);
  QMessageBox box(ToQt(message.icon), caption, QString::fromStdString(message.text), buttons,
                  owner);
  // The box is as wide as its text, and a window manager cuts a longer
  // title short: leave room for the title and the title bar's buttons.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = qMin(box.fontMetrics().horizontalAdvance(caption) + 140, 640);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

MessageBoxPort::MessageBoxPort() : previous_(SetMessagePort(this)) {}
MessageBoxPort::~MessageBoxPort() { SetMessagePort(previous_); }

void MessageBoxPort::ShowMessage(const Message& message) { Run(message, QMessageBox::Ok); }

bool MessageBoxPort::AskYesNo(const Message& message) {
  return Run(message, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

namespace {

// What the recovery after a crash asks of the main window.
class WindowRecoveryView : public RecoveryView {
 public:
  WindowRecoveryView(MainWindow& window, HelpPages& help) : window_(window), help_(help) {}
  // The recovered project replaced the one in the window.
  void ReloadPages() override { window_.AdoptRecoveredProject(); }
  // The lists follow the project by themselves.
  void ReloadMovieList() override {}
  void ShowNoticePage(const std::string& name) override {
    help_.Show(&window_, name, HelpMode::notice);
  }
  bool AskYesNo(const Message& question) override { return Messages().AskYesNo(question); }

 private:
  MainWindow& window_;
  HelpPages& help_;
};

}  // namespace

DesktopSession::DesktopSession(CProject& project, CaptureEngine& engine, Preferences& preferences,
                               PageGeneration& pages)
    : help(preferences),
      window(project, engine, preferences, help),
      controller(project, engine, pages, WorkflowPreferences{preferences.FirstRun()}) {
  window.AttachController(&controller);
}

DesktopSession::~DesktopSession() { window.AttachController(nullptr); }

DesktopOptions ParseDesktopOptions(int argc, char** argv) {
  DesktopOptions options;
  options.noHandler = CrashHandlerDisabled(argc, argv);
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strstr(arg, kNoHandlerSwitch)) continue;
    if (options.projectFile.empty() && arg[0] != '-' && arg[0] != '\0') options.projectFile = arg;
  }
  return options;
}

int RunDesktop(const DesktopOptions& options, CProject& project, CaptureEngine& engine,
               Preferences& preferences, const std::string& settingsFolder) {
  // A missing or unreadable settings file leaves the defaults.
  LoadSettingsFile(project, settingsFolder);
  int exitCode = 0;
  {
    MessageBoxPort messages;
    XsltPageGeneration pages;
    DesktopSession session(project, engine, preferences, pages);
    // With the crash handler on, it has the project as it was a moment ago
    // (renewed from the event loop a few times a second at most).
    std::unique_ptr<CrashSnapshotKeeper> snapshot;
    if (!options.noHandler) snapshot = std::make_unique<CrashSnapshotKeeper>(project);
    // Centred in the work area of its screen.
    if (const QScreen* screen = session.window.screen()) {
      QRect frame = session.window.frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      session.window.move(frame.topLeft());
    }
    session.window.show();
    if (!options.projectFile.empty() && !session.window.OpenProjectFile(options.projectFile) &&
        session.window.HandedToOtherWindow()) {
      // Started to open a project that another running program has open:
      // that program's window came to the front, and this one ends.
      return 0;
    }
    session.window.ShowStartupHelp();
    // The project saved by a crash of the last run comes back.
    WindowRecoveryView recovery(session.window, session.help);
    RunCrashRecovery(project, recovery, RecoveryFilePath());
    exitCode = QApplication::exec();
    preferences.RecordNormalEnd();
  }
  // Only the settings outlive the run.
  project.ClearMovies();
  SaveSettingsFile(project, settingsFolder);
  return exitCode;
}

}  // namespace ombrelo::desktop
