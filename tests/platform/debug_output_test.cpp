#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

TEST(DebugOutput, SinkReceivesTextsUnchanged) {
  testing::DebugCapture capture;
  DebugOutput("first line\n");
  DebugOutputF("value %d%s", 7, "");
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"first line\n", "value 7"}));
}

TEST(Paths, SeparatorHelpers) {
  EXPECT_EQ(paths::FileName("/v/My clip.avi"), "My clip.avi");
  EXPECT_EQ(paths::FileName("a\\b.avi"), "a\\b.avi");  // backslash is a name character
  EXPECT_EQ(paths::FolderOf("/v/My clip.avi"), "/v/");
  EXPECT_EQ(paths::FolderOf("clip.avi"), "");
  EXPECT_EQ(paths::WithTrailingSeparator("/t"), "/t/");
  EXPECT_EQ(paths::WithTrailingSeparator("/t/"), "/t/");
  EXPECT_EQ(paths::WithTrailingSeparator(""), "");
}

}  // namespace
}  // namespace ombrelo
