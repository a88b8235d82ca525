#include "project/template_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

TEST(RelativePath, StepsBetweenTwoFiles) {
  struct Case {
    const char* base;
    const char* target;
    const char* expected;
  };
  const Case cases[] = {
      // same folder: just the name
      {"/out/Html/clip.html", "/out/Html/clip_files/a.jpg", "clip_files/a.jpg"},
      {"/out/Html/clip.html", "/out/Html/clip.jpg", "clip.jpg"},
      // sibling folders
      {"/out/Html/clip.html", "/out/Thumbs/clip/clip_0h00m05.000s.jpg",
       "../Thumbs/clip/clip_0h00m05.000s.jpg"},
      // deeper and shallower
      {"/out/a/b/c/report.html", "/out/x.avi", "../../../x.avi"},
      {"/report.html", "/home/me/v/x.avi", "home/me/v/x.avi"},
      {"/home/me/v/x.avi", "/y.avi", "../../../y.avi"},
      // names that only start alike are different folders
      {"/out/Html/p.html", "/out/Html2/p.jpg", "../Html2/p.jpg"},
      {"/out/Html/p.html", "/out/html/p.jpg", "../html/p.jpg"},
      // doubled separators count once
      {"/out//Html/p.html", "/out/Html//t/p.jpg", "t/p.jpg"},
      // the target taken as a file even when it names the base folder
      {"/out/Html/p.html", "/out/Html", "../Html"},
      // names with blanks, "&" and non-ASCII letters stay as they are
      {"/v/Tom & Jerry/p.html", "/v/\xC3\xA9t\xC3\xA9 1/a b.jpg",
       "../\xC3\xA9t\xC3\xA9 1/a b.jpg"},
      // no relative path possible: the target unchanged
      {"/out/p.html", "", ""},
      {"/out/p.html", "clip.avi", "clip.avi"},
      {"p.html", "/out/clip.avi", "/out/clip.avi"},
      {"/out/p.html", "/out/folder/", "/out/folder/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RelativePath(c.base, c.target), c.expected) << c.base << " -> " << c.target;
  }
}

TEST(FileUrl, EscapesEveryUnsafeByte) {
  std::string url;
  ASSERT_TRUE(FileUrlFromPath("/v/clip.avi", &url));
  EXPECT_EQ(url, "file:///v/clip.avi");
  ASSERT_TRUE(FileUrlFromPath("/v/My clip #1 [50%] {a|b} ^~'\"<>?.avi", &url));
  EXPECT_EQ(url,
            "file:///v/My%20clip%20%231%20%5B50%25%5D%20%7Ba%7Cb%7D%20%5E%7E%27%22%3C%3E%3F.avi");
  ASSERT_TRUE(FileUrlFromPath("/v/Tom & Jerry/\xC3\xA9t\xC3\xA9\\x.avi", &url));
  EXPECT_EQ(url, "file:///v/Tom%20&%20Jerry/%C3%A9t%C3%A9%5Cx.avi");

  url = "kept";
  EXPECT_FALSE(FileUrlFromPath("clip.avi", &url));
  EXPECT_FALSE(FileUrlFromPath("", &url));
  EXPECT_EQ(url, "kept");
}

TEST(XmlValues, EscapedAndCleanedForXml) {
  EXPECT_EQ(XmlEscape("Tom & Jerry <1> ]]> \"q\" 'a'"),
            "Tom &amp; Jerry &lt;1&gt; ]]&gt; \"q\" 'a'");
  // Valid UTF-8 passes; stray bytes and control characters become U+FFFD.
  EXPECT_EQ(XmlEscape("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC");
  EXPECT_EQ(XmlEscape("a\xE9z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(XmlEscape(std::string("a\x01\tb\x7F", 5)), "a\xEF\xBF\xBD\tb\x7F");
  EXPECT_EQ(XmlEscape("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");         // overlong
  EXPECT_EQ(XmlEscape("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(XmlEscape("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");         // cut short

  EXPECT_EQ(XmlCdata("Tom & Jerry.avi"), "<![CDATA[Tom & Jerry.avi]]>");
  EXPECT_EQ(XmlCdata("a]]>b]]>"), "<![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]>");
  EXPECT_EQ(XmlCdata(""), "<![CDATA[]]>");
}

TEST(OutputFile, ReplacesTheWholeFileOrNothing) {
  TempFolder folder("outfile");
  const std::string path = folder / "page & co.html";
  EXPECT_EQ(WriteOutputFile(path, "first version, longer"), 0);
  EXPECT_EQ(WriteOutputFile(path, "second"), 0);
  EXPECT_EQ(ReadFileBytes(path), "second");
  EXPECT_EQ(WriteOutputFile(path, ""), 0);
  EXPECT_EQ(ReadFileBytes(path), "");

  EXPECT_EQ(WriteOutputFile(folder / "missing/page.html", "x"), ENOENT);
  std::filesystem::create_directory(folder / "dir");
  EXPECT_EQ(WriteOutputFile(folder / "dir", "x"), EISDIR);
  // No temporary file is left behind by either failure.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Path()))
    ++entries;
  EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace ombrelo
