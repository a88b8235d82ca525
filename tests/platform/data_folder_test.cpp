#include "platform/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"

namespace ombrelo {
namespace {

TEST(DataFolder, StartupRuleAndOverride) {
  const std::string startup = ApplicationDataFolder();
  // The first folder that exists: the current directory's "Data", the
  // installed one, and last the source tree's (a program run from its build
  // folder, as this test is).
  const std::string local = paths::CurrentDirectory() + "Data/";
  if (std::getenv("OMBRELO_DATA") == nullptr) {
    const std::string expected = std::filesystem::is_directory(local)                 ? local
                                 : std::filesystem::is_directory(InstalledDataFolder()) ? InstalledDataFolder()
                                                                                        : OMBRELO_SOURCE_DATA_DIR;
    EXPECT_EQ(startup, expected);
  }
  EXPECT_EQ(InstalledDataFolder().back(), '/');
  EXPECT_NE(InstalledDataFolder().find("/share/ombrelo/Data/"), std::string::npos);

  SetApplicationDataFolder("/somewhere/Data");
  EXPECT_EQ(ApplicationDataFolder(), "/somewhere/Data/");
  SetApplicationDataFolder("/other/");
  EXPECT_EQ(ApplicationDataFolder(), "/other/");
  SetApplicationDataFolder("");
  EXPECT_EQ(ApplicationDataFolder(), startup);
}

}  // namespace
}  // namespace ombrelo
