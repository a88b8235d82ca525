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
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/data_folder.h"
#include "project/preferences.h"
#include "support/debug_capture.h"

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
    // Put back in TearDown: the next test makes its folders in the TMPDIR
    // it found, not in this test's, which is gone by then.
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    root_ = std::make_unique<TempFolder>("desktop");
    for (const char* folder : {"home", "config", "data", "cache", "tmp", "files"})
      std::filesystem::create_directories(root_->Path() + folder);
    setenv("HOME", (root_->Path() + "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_->Path() + "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_->Path() + "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root_->Path() + "cache").c_str(), 1);
    setenv("TMPDIR", (root_->Path() + "tmp").c_str(), 1);
    DesktopApplication();
    SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
    {
      QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                         QString::fromLatin1(kOrganizationName),
                         QString::fromLatin1(kApplicationName));
      settings.setValue(QStringLiteral("FirstRun"), 0);
      settings.setValue(QStringLiteral("ShowTutorials"), showTutorials_ ? 1 : 0);
    }
    preferences_ = std::make_unique<Preferences>();
  }
  void TearDown() override {
    SetApplicationDataFolder("");
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
    saved_.clear();
  }

  // A folder of the test's own, ending with "/".
  std::string Folder() const { return root_->Path() + "files/"; }

  static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                               "XDG_CACHE_HOME", "TMPDIR"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
  bool showTutorials_ = true;
  std::unique_ptr<TempFolder> root_;
  std::unique_ptr<Preferences> preferences_;
};

}  // namespace ombrelo::testing
