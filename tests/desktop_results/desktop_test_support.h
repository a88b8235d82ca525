#pragma once
// Helpers for the desktop widget tests: a home of each test's own, one
// QApplication, waiting on the event loop, and a desktop shell that records
// what would have been opened.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/desktop/results/desktop_shell.h"
#include "project/preferences.h"
#include "support/debug_capture.h"
#include "support/scoped_environment.h"

namespace ombrelo::testing {

using namespace ombrelo::desktop;  // the pages under test

// A fresh home and the application; every test of this folder starts here:
// HOME, the XDG folders and TMPDIR below a folder of the test's own (made
// before Qt reads them), given back as they were and removed when the test
// ends.
class DesktopTest : public ::testing::Test {
 protected:
  // In the constructor, so that widgets of derived fixtures find both.
  DesktopTest() : root_("desktop") {
    for (const auto& [variable, sub] :
         std::vector<std::pair<const char*, const char*>>{{"HOME", "home"},
                                                          {"XDG_CONFIG_HOME", "config"},
                                                          {"XDG_DATA_HOME", "data"},
                                                          {"XDG_CACHE_HOME", "cache"},
                                                          {"XDG_RUNTIME_DIR", "runtime"},
                                                          {"TMPDIR", "tmp"}}) {
      const std::string path = root_.Path() + sub;
      QDir().mkpath(QString::fromStdString(path));
      QFile::setPermissions(QString::fromStdString(path),
                            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      environment_.Set(variable, path);
    }
    environment_.Set("DBUS_SESSION_BUS_ADDRESS",
                     std::nullopt);  // no file manager of the user's session
    if (!QApplication::instance()) {
      if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      static int argc = 1;
      static char name[] = "desktop_results_tests";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
    }
    // Qt reads where the settings live once per process: each test names
    // its own folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(root_.Path() + "config"));
  }
  // What the test left unwritten goes into its folder now, not into a folder
  // of its own again when the program ends.
  ~DesktopTest() override {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganizationName),
              QString::fromLatin1(kApplicationName))
        .sync();
  }
  std::string Home() const { return root_.Path() + "home/"; }

 private:
  // Declared in this order: the environment comes back before the folder goes.
  TempFolder root_;
  ScopedEnvironment environment_;
};

// Runs the event loop until done() holds; false (and a failure) after the limit.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  // The loop waits for events; the timer wakes it now and then for a
  // condition that another thread changes without an event.
  QTimer wake;
  wake.start(10);
  while (!done()) {
    if (timer.elapsed() > limitMs) {
      ADD_FAILURE() << "not there in time";
      return false;
    }
    QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Records files, folders, pictures for our viewer and help pages instead of
// opening them; programs (a viewer command) still start for real.
class RecordingShell : public DesktopShell {
 public:
  RecordingShell() {
    SetHelpPageHandler([this](const std::string& name, HelpMode mode) {
      helpPages.push_back(name);
      helpModes.push_back(mode);
    });
  }
  void OpenFile(const std::string& path) override { opened.push_back(path); }
  void ShowInFolder(const std::string& path) override { folders.push_back(path); }
  void ShowPictures(const std::vector<std::string>& files) override { pictures.push_back(files); }

  std::vector<std::string> opened;
  std::vector<std::string> folders;
  std::vector<std::vector<std::string>> pictures;
  std::vector<std::string> helpPages;
  std::vector<HelpMode> helpModes;
};

// A solid-colour picture saved as a JPEG (or what the name's extension says).
inline bool SavePicture(const std::string& path, int width, int height,
                        const std::function<QColor(int x, int y)>& colour) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixelColor(x, y, colour(x, y));
  }
  return image.save(QString::fromStdString(path), nullptr, 95);
}

// True when the colours are within the tolerance in every channel.
inline bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace ombrelo::testing
