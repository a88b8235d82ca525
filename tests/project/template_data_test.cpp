#include "project/template_data.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <filesystem>
#include <map>

#include "platform/data_folder.h"
#include "project/movie.h"
#include "project/project.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::ReadFileBytes;
using testing::TempFolder;

class TemplateDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { SetApplicationDataFolder("/opt/om & co/Data/"); }
  void TearDown() override { SetApplicationDataFolder(""); }

  static Movie TomAndJerry() {
    Movie movie("/videos/Tom & Jerry.avi", CaptureSettings{});
    movie.length = 3725.5;
    movie.size = 48213;
    movie.videoFormat.biWidth = 720;
    movie.videoFormat.biHeight = 576;
    movie.html = "/out/Html/Tom & Jerry.html";
    movie.ipl = "/out/Ipl/Tom & Jerry.ipl";
    movie.AddImage({"/out/Thumbs/Tom_&_Jerry/Tom_&_Jerry_0h00m05.000s.jpg", 125, 5.0});
    movie.AddImage({"/out/Html/same.jpg", 93138, 3725.5});
    return movie;
  }
};

TEST_F(TemplateDocumentTest, MovieWithThumbnails) {
  EXPECT_EQ(MovieDocument(TomAndJerry(), "/out/Html/Tom & Jerry.html", 0.5f),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<movie>\n"
            "<title><![CDATA[Tom & Jerry.avi]]></title>\n"
            "<length>1:02:05.500</length>\n"
            "<size>48213</size>\n"
            "<width>720</width>\n"
            "<height>576</height>\n"
            "<html>Tom &amp; Jerry.html</html>\n"
            "<ipl>../Ipl/Tom &amp; Jerry.ipl</ipl>\n"
            "<indexphoto></indexphoto>\n"
            "<entry>\n"
            "\t<file>../Thumbs/Tom_&amp;_Jerry/Tom_&amp;_Jerry_0h00m05.000s.jpg</file>\n"
            "\t<source>file:///videos/Tom%20&amp;%20Jerry.avi</source>\n"
            "\t<frame>125</frame>\n"
            "\t<time>00:00:05:000</time>\n"
            "</entry>\n"
            "<entry>\n"
            "\t<file>same.jpg</file>\n"
            "\t<source>file:///videos/Tom%20&amp;%20Jerry.avi</source>\n"
            "\t<frame>93138</frame>\n"
            "\t<time>01:02:05:500</time>\n"
            "</entry>\n"
            "<settings>\n"
            "<data>/opt/om &amp; co/Data/</data>\n"
            "<width>360</width>\n"
            "<height>288</height>\n"
            "<images_per_row>3</images_per_row>\n"
            "</settings>\n"
            "</movie>\n");
}

TEST_F(TemplateDocumentTest, MovieWithoutThumbnails) {
  Movie movie("/v/odd]]>name <1>.mkv", CaptureSettings{});
  EXPECT_EQ(MovieElement(movie, "/v/odd.html", 1.0f),
            "<movie>\n"
            "<title><![CDATA[odd]]]]><![CDATA[>name <1>.mkv]]></title>\n"
            "<length>0:00:00.000</length>\n"
            "<size>0</size>\n"
            "<width>0</width>\n"
            "<height>0</height>\n"
            "<html></html>\n"
            "<ipl></ipl>\n"
            "<indexphoto></indexphoto>\n"
            "<settings>\n"
            "<data>/opt/om &amp; co/Data/</data>\n"
            "<width>0</width>\n"
            "<height>0</height>\n"
            "<images_per_row>3</images_per_row>\n"
            "</settings>\n"
            "</movie>\n");
}

// Reads the text of every element of a document, keyed by its name and
// occurrence ("title#0", "file#1", ...). Fails the test when the document is
// not well-formed.
std::map<std::string, std::string> ReadBack(const std::string& xml) {
  std::map<std::string, std::string> values;
  std::map<std::string, int> seen;
  QXmlStreamReader reader(QByteArray::fromStdString(xml));
  while (!reader.atEnd()) {
    if (reader.readNext() == QXmlStreamReader::StartElement) {
      const std::string name = reader.name().toString().toStdString();
      if (name == "movie" || name == "project" || name == "entry" || name == "settings") continue;
      const std::string key = name + "#" + std::to_string(seen[name]++);
      values[key] = reader.readElementText().toStdString();
    }
  }
  EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << "\n" << xml;
  return values;
}

TEST_F(TemplateDocumentTest, EveryValueSurvivesAnXmlParser) {
  SetApplicationDataFolder("/data <&> ]]>/");
  Movie movie("/v/A&B <c> ]]> \xC3\xA9t\xC3\xA9 \xFF.avi", CaptureSettings{});
  movie.html = "/out/x&y/page.html";
  movie.AddImage({"/out/t<1>/a&b.jpg", 1, 0.0});
  const auto values = ReadBack(MovieDocument(movie, "/out/Html/page.html", 1.0f));
  EXPECT_EQ(values.at("title#0"), "A&B <c> ]]> \xC3\xA9t\xC3\xA9 \xEF\xBF\xBD.avi");
  EXPECT_EQ(values.at("html#0"), "../x&y/page.html");
  EXPECT_EQ(values.at("file#0"), "../t<1>/a&b.jpg");
  EXPECT_EQ(values.at("source#0"), "file:///v/A&B%20%3Cc%3E%20%5D%5D%3E%20%C3%A9t%C3%A9%20%FF.avi");
  EXPECT_EQ(values.at("data#0"), "/data <&> ]]>/");
}

TEST_F(TemplateDocumentTest, ProjectDocumentUsesTheProjectScale) {
  CProject project("/base/");
  EXPECT_EQ(ProjectDocument(project, "/r.html"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project>\n</project>\n");

  project.AddMovie("/v/one.avi");
  project.AddMovie("/v/two.avi");
  for (const Movie& m : project.Movies()) {
    project.UpdateMovie(m.id(), [](Movie& movie) {
      movie.videoFormat.biWidth = 720;
      movie.videoFormat.biHeight = 576;
    });
  }
  const struct {
    float scale;
    const char* width;
    const char* height;
  } cases[] = {{0.5f, "360", "288"},
               {3.0f, "720", "576"},
               {0.0f, "720", "576"},
               {2.1f, "1511", "1209"},
               {0.3f, "216", "172"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    project.SetImagescale(c.scale);
    const std::string xml = ProjectDocument(project, "/r.html");
    const auto values = ReadBack(xml);
    EXPECT_EQ(values.at("title#0"), "one.avi");
    EXPECT_EQ(values.at("title#1"), "two.avi");
    // Each movie has the frame size and then the scaled size in its settings.
    EXPECT_EQ(values.at("width#1"), c.width);
    EXPECT_EQ(values.at("height#1"), c.height);
    EXPECT_EQ(values.at("width#3"), c.width);
    EXPECT_EQ(values.count("width#4"), 0u);
  }
}

TEST_F(TemplateDocumentTest, AVideoPathThatIsNoFileGivesAnEmptySource) {
  Movie movie("clip.avi", CaptureSettings{});
  movie.AddImage({"/t/a.jpg", 0, 0.0});
  DebugCapture debug;
  const std::string xml = MovieElement(movie, "/t/p.html", 1.0f);
  EXPECT_NE(xml.find("\t<source></source>\n"), std::string::npos);
  EXPECT_TRUE(debug.Contains("Invalid path\n"));
}

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
      {"/v/Tom & Jerry/p.html", "/v/\xC3\xA9t\xC3\xA9 1/a b.jpg", "../\xC3\xA9t\xC3\xA9 1/a b.jpg"},
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
  EXPECT_EQ(XmlEscape("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC"),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC");
  EXPECT_EQ(XmlEscape("a\xE9z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(XmlEscape(std::string("a\x01\tb\x7F", 5)), "a\xEF\xBF\xBD\tb\x7F");
  EXPECT_EQ(XmlEscape("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong
  EXPECT_EQ(XmlEscape("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(XmlEscape("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // cut short

  EXPECT_EQ(XmlCdata("Tom & Jerry.avi"), "<![CDATA[Tom & Jerry.avi]]>");
  EXPECT_EQ(XmlCdata("a]]>b]]>"), "<![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]>");
  EXPECT_EQ(XmlCdata(""), "<![CDATA[]]>");
}

TEST(OutputFile, ReplacesTheWholeFileOrSaysWhyNot) {
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
