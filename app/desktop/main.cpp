// ombrelo: the desktop program. Start-up and shut-down in this order: the
// crash handler (unless "-nohandler"), the last settings, the main window,
// the crash recovery check, the event loop; at the end the movie list is
// cleared and the settings are written back.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/common/translations.h"
#include "app/desktop/crash_dialog.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/palette.h"
#include "app/desktop/viewer/image_viewer.h"
#include "crash/crash_handler.h"
#include "engine/capture_engine.h"
#include "platform/build_stamp.h"
#include "platform/data_folder.h"
#include "project/preferences.h"
#include "project/project.h"

namespace {

bool HasArgument(int argc, char** argv, const char* wanted) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], wanted) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ombrelo;
  using namespace ombrelo::desktop;
  // Answered before anything else, so that it needs no display.
  if (HasArgument(argc, argv, "--version")) {
    std::fputs(VersionText("ombrelo").c_str(), stdout);
    return 0;
  }
  // The crash reporter runs in a process of its own, started by the crash
  // handler with the reporter switch.
  if (HasArgument(argc, argv, kCrashReporterSwitch)) {
    LoadResources();  // the program's picture on the crash dialog
    return RunCrashReporter(argc, argv);
  }

  const DesktopOptions options = ParseDesktopOptions(argc, argv);
  if (!options.noHandler) InstallCrashHandler(DefaultCrashHandlerSettings());
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QString::fromLatin1(kOrganizationName));
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  QApplication::setDesktopFileName(QStringLiteral("ombrelo"));
  LoadTranslations(app);
  ApplyColorSchemeFromEnvironment();

  // "ombrelo clip.ipl": the playlist in the image viewer, nothing else.
  if (IsImagePlaylist(QString::fromStdString(options.projectFile)))
    return RunImageViewer(options.projectFile);

  std::string settingsFolder = SettingsFolder();
  if (settingsFolder.empty()) settingsFolder = ApplicationDataFolder();
  return RunDesktop(options, CProject::Instance(), CaptureEngine::Instance(),
                    Preferences::Instance(), settingsFolder);
}
