#pragma once
// What every desktop test starts from: folders of its own for HOME, the XDG
// folders and TMPDIR, a QApplication on the offscreen platform, the source
// tree's data folder, and preferences that are past the first run (so no
// modal welcome page waits for a click).
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/data_folder.h"
#include "project/preferences.h"
#include "support/debug_capture.h"
#include "support/scoped_environment.h"

namespace ombrelo::testing {

inline QApplication& DesktopApplication() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "desktop_tests";
  static char* argv[] = {name, nullptr};
  return *new QApplication(argc, argv);
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::make_unique<TempFolder>("desktop");
    for (const char* folder : {"home", "config", "data", "cache", "tmp", "files"})
      std::filesystem::create_directories(root_->Path() + folder);
    environment_ = std::make_unique<ScopedEnvironment>();
    environment_->Set("HOME", root_->Path() + "home");
    environment_->Set("XDG_CONFIG_HOME", root_->Path() + "config");
    environment_->Set("XDG_DATA_HOME", root_->Path() + "data");
    environment_->Set("XDG_CACHE_HOME", root_->Path() + "cache");
    environment_->Set("TMPDIR", root_->Path() + "tmp");
    DesktopApplication();
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    // Qt reads where the settings live once per process: each test names
    // its own folder, so that nothing is written into an earlier test's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(root_->Path() + "config"));
    {
      QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                         QString::fromLatin1(kOrganizationName),
                         QString::fromLatin1(kApplicationName));
      // What an earlier test stored must not reach this one.
      settings.clear();
      settings.setValue(QStringLiteral("FirstRun"), 0);
      settings.setValue(QStringLiteral("ShowTutorials"), showTutorials_ ? 1 : 0);
    }
    preferences_ = std::make_unique<Preferences>();
  }
  // The environment comes back before the folders go.
  void TearDown() override {
    SetApplicationDataFolder("");
    preferences_.reset();
    // What the test left unwritten goes into its folder now, not into a
    // folder of its own again when the program ends.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganizationName),
              QString::fromLatin1(kApplicationName))
        .sync();
    environment_.reset();
    root_.reset();
  }

  // A folder of the test's own, ending with "/".
  std::string Folder() const { return root_->Path() + "files/"; }

  bool showTutorials_ = true;
  std::unique_ptr<TempFolder> root_;
  std::unique_ptr<ScopedEnvironment> environment_;
  std::unique_ptr<Preferences> preferences_;
};

}  // namespace ombrelo::testing
