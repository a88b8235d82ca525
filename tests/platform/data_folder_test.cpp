#include "platform/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"

namespace ombrelo {
namespace {

TEST(DataFolder, StartupRuleAndOverride) {
  const std::string startup = ApplicationDataFolder();
  // The test runs from the build folder, which has no "Data" folder of its
  // own unless someone made one: then it is that folder.
  const std::string local = paths::CurrentDirectory() + "Data/";
  if (std::getenv("OMBRELO_DATA") == nullptr) {
    EXPECT_EQ(startup, std::filesystem::is_directory(local) ? local : InstalledDataFolder());
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
