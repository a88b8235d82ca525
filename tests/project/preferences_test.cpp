#include "project/preferences.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSettings>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"
#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;

// Every test of this program runs with its configuration and data folders in
// a sandbox, set before anything reads them (Qt keeps the configuration
// folder once it has looked it up), so no test touches the user's own.
class SandboxHome : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string pattern = paths::SystemTempFolder() + "ombrelo-home-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

 private:
  std::string root_;
};
[[maybe_unused]] ::testing::Environment* const kSandbox =
    ::testing::AddGlobalTestEnvironment(new SandboxHome);

std::string ConfigFile() {
  return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Tessaly/Ombrelo.conf";
}

void ForgetPreferences() {
  std::error_code ec;
  std::filesystem::remove(ConfigFile(), ec);
}

void WriteValue(const char* name, const QVariant& value) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessaly", "Ombrelo");
  settings.setValue(name, value);
  settings.sync();
}

// Runs body in a child process that ends through exit(), so the process-wide
// preferences are destroyed as at the end of the program. Returns the exit
// code.
int RunAsProcess(int (*body)()) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) std::exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Preferences, FirstRunIsClearedAtTheEndOfTheFirstProcess) {
  ForgetPreferences();
  // First run: the defaults; three movies are indexed and saved at the end
  // of the indexing run.
  EXPECT_EQ(RunAsProcess([] {
              Preferences& p = Preferences::Instance();
              const bool fresh = p.ShowTutorials() && p.FirstRun() && p.Videos() == 0;
              for (int i = 0; i < 3; ++i) p.IncrementVideos();
              p.Save();
              return fresh ? 0 : 1;
            }),
            0);
  ASSERT_TRUE(std::filesystem::exists(ConfigFile()));
  EXPECT_NE(ReadFileBytes(ConfigFile()).find("FirstRun=0"), std::string::npos);

  // Second run: no longer the first; the count has grown.
  EXPECT_EQ(RunAsProcess([] {
              Preferences& p = Preferences::Instance();
              return !p.FirstRun() && p.ShowTutorials() && p.Videos() == 3 ? 0 : 1;
            }),
            0);
  Preferences later;
  EXPECT_FALSE(later.FirstRun());
  EXPECT_EQ(later.Videos(), 3u);
}

TEST(Preferences, ShowTutorialsSavesOnlyOnChange) {
  ForgetPreferences();
  {
    Preferences p;
    ASSERT_TRUE(p.ShowTutorials());
    WriteValue("Videos", 99);
    p.SetShowTutorials(true);  // unchanged: nothing is written
    EXPECT_NE(ReadFileBytes(ConfigFile()).find("Videos=99"), std::string::npos);
    p.SetShowTutorials(false);  // saves all three values at once
    const std::string saved = ReadFileBytes(ConfigFile());
    EXPECT_NE(saved.find("ShowTutorials=0"), std::string::npos);
    EXPECT_NE(saved.find("Videos=0"), std::string::npos);
  }
  WriteValue("Videos", "many");  // unreadable: the field keeps its value
  Preferences p;
  EXPECT_FALSE(p.ShowTutorials());
  EXPECT_FALSE(p.FirstRun());
  EXPECT_EQ(p.Videos(), 0u);
}

TEST(SettingsFile, CarriesTheSettingsWithoutMovies) {
  const std::string folder = SettingsFolder();
  EXPECT_EQ(folder, std::string(std::getenv("XDG_DATA_HOME")) + "/Tessaly/Ombrelo/");
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);

  CProject project("/base");
  project.AddMovie("/v/a.avi");
  project.SetHtmlFolder("/web");
  project.UpdateCapture([&](CaptureSettings& c) { c.jpegquality = 60; });
  ASSERT_TRUE(SaveSettingsFile(project, folder));  // makes the folder
  EXPECT_EQ(project.Movies().size(), 1u);
  const std::string bytes = ReadFileBytes(folder + "last_settings.bin");
  EXPECT_EQ(bytes.find("<moviefile>"), std::string::npos);
  EXPECT_NE(bytes.find("<movies></movies>"), std::string::npos);

  CProject next("/base");
  next.AddMovie("/v/b.avi");
  ASSERT_TRUE(LoadSettingsFile(next, folder));
  EXPECT_EQ(next.Output().htmlFolder, "/web/");
  EXPECT_EQ(next.Capture().jpegquality, 60);
  EXPECT_TRUE(next.Movies().empty());

  CProject fresh("/base");
  std::filesystem::remove(folder + "last_settings.bin");
  EXPECT_FALSE(LoadSettingsFile(fresh, folder));
  EXPECT_EQ(fresh.Output(), OutputSettings("/base"));
}

}  // namespace
}  // namespace ombrelo
