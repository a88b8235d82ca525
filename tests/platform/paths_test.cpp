#include "platform/paths.h"

#include <gtest/gtest.h>

namespace ombrelo::paths {
namespace {

TEST(Paths, OnlyADotInTheFileNameStartsAnExtension) {
  struct Case {
    const char* path;
    const char* extension;
    const char* without;
  };
  const Case cases[] = {
      {"/v/clip.avi", ".avi", "/v/clip"},
      {"/v/clip.tar.gz", ".gz", "/v/clip.tar"},
      {"/v/my.videos/clip", "", "/v/my.videos/clip"},
      {"clip.", ".", "clip"},
      {"/v/.hidden", ".hidden", "/v/"},
      {"back\\slash.mp4", ".mp4", "back\\slash"},  // a backslash is a name character
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Extension(c.path), c.extension);
    EXPECT_EQ(WithoutExtension(c.path), c.without);
  }
}

}  // namespace
}  // namespace ombrelo::paths
