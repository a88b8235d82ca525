#include "render/xslt_service.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/data_folder.h"
#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const char* const kListSheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text" encoding="UTF-8"/>
<xsl:template match="/movie">
<xsl:value-of select="title"/>|<xsl:for-each select="entry"><xsl:value-of select="file"/>;</xsl:for-each>
</xsl:template>
</xsl:stylesheet>
)";

const char* const kData =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<movie>\n"
    "<title><![CDATA[Tom & Jerry \xC3\xA9t\xC3\xA9.avi]]></title>\n"
    "<entry>\n\t<file>a &amp; b.jpg</file>\n</entry>\n"
    "<entry>\n\t<file>c.jpg</file>\n</entry>\n</movie>\n";

class XsltServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetApplicationDataFolder(data_.Path());
    std::filesystem::create_directories(data_ / "templates/web");
    ASSERT_TRUE(WriteFileBytes(data_ / "templates/web/list.xslt", kListSheet));
  }
  void TearDown() override { SetApplicationDataFolder(""); }
  void AddSheet(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteFileBytes(data_ / ("templates/web/" + name), text));
  }

  TempFolder data_{"xsltdata"};
  TempFolder out_{"xsltout"};
  CProject project_{""};
  XsltService service_{project_};
  PageFailure failure_;
};

TEST_F(XsltServiceTest, TransformsDataWithAStylesheetOfTheDataFolder) {
  std::string result = "old";
  ASSERT_TRUE(Transform(&result, kData, "templates/web/list.xslt", &failure_));
  EXPECT_EQ(result, "Tom & Jerry \xC3\xA9t\xC3\xA9.avi|a & b.jpg;c.jpg;");
  EXPECT_EQ(failure_.kind, PageFailure::Kind::none);
}

TEST_F(XsltServiceTest, HtmlOutputKeepsTheEncodingTheStylesheetDeclares) {
  AddSheet("page.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8"/>
<xsl:template match="/"><p><xsl:value-of select="movie/title"/></p></xsl:template>
</xsl:stylesheet>)");
  std::string result;
  ASSERT_TRUE(Transform(&result, kData, "templates/web/page.xslt"));
  EXPECT_NE(result.find("<p>Tom &amp; Jerry \xC3\xA9t\xC3\xA9.avi</p>"), std::string::npos)
      << result;
}

TEST_F(XsltServiceTest, EachFailureHasItsOwnReportAndLeavesTheResultAlone) {
  std::string result = "untouched";

  SCOPED_TRACE("missing stylesheet");
  EXPECT_FALSE(Transform(&result, kData, "templates/web/missing.xslt", &failure_));
  EXPECT_EQ(failure_.kind, PageFailure::Kind::stylesheetNotLoaded);
  EXPECT_EQ(FailureMessage(failure_, MessageOwner::mainWindow),
            (Message{"Error", "Failed to load xslt document for html generation", MessageIcon::none,
                     MessageOwner::none}));

  // A stylesheet that is not well-formed XML, and one that is XML but no
  // valid XSLT, fail the same way.
  AddSheet("broken.xslt", "<xsl:stylesheet version=\"1.0\" xmlns:xsl=");
  AddSheet("invalid.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:value-of select="movie[["/></xsl:template></xsl:stylesheet>)");
  for (const char* sheet : {"templates/web/broken.xslt", "templates/web/invalid.xslt"}) {
    SCOPED_TRACE(sheet);
    DebugCapture debug;
    EXPECT_FALSE(Transform(&result, kData, sheet, &failure_));
    EXPECT_EQ(failure_.kind, PageFailure::Kind::stylesheetNotLoaded);
    EXPECT_EQ(failure_.text, "Failed to load xslt document for html generation");
    // What the library had to say went to the debug output.
    EXPECT_FALSE(debug.Text().empty());
  }
  EXPECT_EQ(result, "untouched");
}

TEST_F(XsltServiceTest, IllFormedDataIsReportedWithLineAndReasonAndNoMessageBox) {
  DebugCapture debug;
  const std::string bad =
      "<?xml version=\"1.0\"?>\n<movie>\n<title>Tom & Jerry</title>\n</movie>\n";
  std::string result = "untouched";
  EXPECT_FALSE(Transform(&result, bad, "templates/web/list.xslt", &failure_));
  EXPECT_EQ(result, "untouched");
  EXPECT_EQ(FailureMessage(failure_, MessageOwner::mainWindow), std::nullopt);

  const std::vector<std::string> lines = debug.Lines();
  size_t at = 0;
  while (at < lines.size() && lines[at].rfind("Error during xslt transform. line=", 0) != 0) ++at;
  ASSERT_LT(at + 2, lines.size()) << debug.Text();
  EXPECT_EQ(lines[at].rfind("Error during xslt transform. line=3 : ", 0), 0u) << lines[at];
  EXPECT_NE(lines[at].find("EntityRef"), std::string::npos) << lines[at];
  EXPECT_EQ(lines[at + 1], "\n");
  EXPECT_EQ(lines[at + 2], bad);
}

TEST_F(XsltServiceTest, AFailureDuringTheTransformationWithoutParseErrorIsReported) {
  AddSheet("stop.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:message terminate="yes">giving up</xsl:message></xsl:template>
</xsl:stylesheet>)");
  DebugCapture debug;
  std::string result = "untouched";
  EXPECT_FALSE(Transform(&result, kData, "templates/web/stop.xslt", &failure_));
  EXPECT_TRUE(debug.Contains("Error durint xslt transform\n")) << debug.Text();
  EXPECT_NE(debug.Text().find("giving up"), std::string::npos);
  EXPECT_EQ(result, "untouched");
  EXPECT_EQ(FailureMessage(failure_, MessageOwner::mainWindow), std::nullopt);
}

TEST_F(XsltServiceTest, EntitiesOfTheStylesheetsDoctypeAreReplacedButNothingExternalIsRead) {
  AddSheet("entities.xslt", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE xsl:stylesheet [ <!ENTITY nbsp "&#160;"> <!ENTITY copy "&#169;"> ]>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text" encoding="UTF-8"/>
<xsl:template match="/">a&nbsp;b&copy;<xsl:value-of select="movie/entry/file"/></xsl:template>
</xsl:stylesheet>)");
  std::string result;
  ASSERT_TRUE(Transform(&result, kData, "templates/web/entities.xslt"));
  EXPECT_EQ(result,
            "a\xC2\xA0"
            "b\xC2\xA9"
            "a & b.jpg");
  // Stylesheets still import others.
  AddSheet("importer.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:import href="list.xslt"/></xsl:stylesheet>)");
  ASSERT_TRUE(Transform(&result, kData, "templates/web/importer.xslt"));
  EXPECT_EQ(result, "Tom & Jerry \xC3\xA9t\xC3\xA9.avi|a & b.jpg;c.jpg;");

  // An external entity and an external DTD that point at a local file.
  const std::string secret = out_ / "secret.txt";
  ASSERT_TRUE(WriteFileBytes(secret, "TOP SECRET"));
  const std::string sheets[] = {
      R"(<?xml version="1.0"?>
<!DOCTYPE xsl:stylesheet [ <!ENTITY secret SYSTEM "file://)" +
          secret + R"("> ]>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:template match="/">[&secret;]</xsl:template>
</xsl:stylesheet>)",
      R"(<?xml version="1.0"?>
<!DOCTYPE xsl:stylesheet [ <!ENTITY % outside SYSTEM "file://)" +
          secret + R"("> %outside; ]>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:template match="/">[done]</xsl:template>
</xsl:stylesheet>)",
  };
  for (const std::string& sheet : sheets) {
    SCOPED_TRACE(sheet);
    AddSheet("outside.xslt", sheet);
    DebugCapture debug;
    result = "untouched";
    Transform(&result, kData, "templates/web/outside.xslt");
    EXPECT_EQ(result.find("TOP SECRET"), std::string::npos) << result;
    EXPECT_EQ(debug.Text().find("TOP SECRET"), std::string::npos);
    EXPECT_TRUE(debug.Contains("External entity refused: file://" + secret + "\n")) << debug.Text();
  }
}

TEST_F(XsltServiceTest, AnErrorReportedWhileTheStylesheetRunsFailsThePage) {
  AddSheet("unknown.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/">before<xsl:frobnicate/>after</xsl:template>
</xsl:stylesheet>)");
  DebugCapture debug;
  std::string result = "untouched";
  EXPECT_FALSE(Transform(&result, kData, "templates/web/unknown.xslt"));
  EXPECT_EQ(result, "untouched");
  EXPECT_TRUE(debug.Contains("Error durint xslt transform\n")) << debug.Text();

  // A message the stylesheet writes on its own is no error.
  AddSheet("talks.xslt",
           R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/">page<xsl:message>note for the log</xsl:message></xsl:template>
</xsl:stylesheet>)");
  EXPECT_TRUE(Transform(&result, kData, "templates/web/talks.xslt"));
  EXPECT_EQ(result, "page");
  EXPECT_NE(debug.Text().find("note for the log"), std::string::npos);
}

TEST_F(XsltServiceTest, StylesheetsMayNotWriteFilesOrCreateFolders) {
  const std::string target = out_ / "written.txt";
  const std::string nested = out_ / "made/inside.txt";
  const std::string sheets[] = {
      // XSLT 1.1 xsl:document
      R"(<xsl:stylesheet version="1.1" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:document href=")" +
          target + R"(" method="text">owned</xsl:document>done</xsl:template>
</xsl:stylesheet>)",
      // EXSLT exsl:document
      R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
  xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
<xsl:template match="/"><exsl:document href=")" +
          target + R"(" method="text">owned</exsl:document>done</xsl:template>
</xsl:stylesheet>)",
      // a file in a folder that does not exist yet
      R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
  xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
<xsl:template match="/"><exsl:document href=")" +
          nested + R"(" method="text">owned</exsl:document>done</xsl:template>
</xsl:stylesheet>)",
  };
  for (const std::string& sheet : sheets) {
    SCOPED_TRACE(sheet);
    AddSheet("writer.xslt", sheet);
    DebugCapture debug;
    std::string result = "untouched";
    EXPECT_FALSE(Transform(&result, kData, "templates/web/writer.xslt"));
    EXPECT_EQ(result, "untouched");
    EXPECT_TRUE(debug.Contains("Error durint xslt transform\n")) << debug.Text();
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(out_ / "made"));
  }
}

TEST_F(XsltServiceTest, StylesheetsMayNotReadFromTheNetwork) {
  AddSheet("fetch.xslt",
           R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/">[<xsl:value-of select="document('http://127.0.0.1:9/x.xml')"/>]</xsl:template>
</xsl:stylesheet>)X");
  DebugCapture debug;
  std::string result;
  EXPECT_FALSE(Transform(&result, kData, "templates/web/fetch.xslt"));
  EXPECT_NE(debug.Text().find("read rights for http://127.0.0.1:9/x.xml denied"), std::string::npos)
      << debug.Text();
}

TEST_F(XsltServiceTest, TemplatesReadOnlyTheirOwnFolderAndTheMoviesOutputs) {
  // document() of each file: one beside the template, the movie's playlist,
  // and files elsewhere (directly, by "..", and through a link planted in
  // the template folder).
  ASSERT_TRUE(WriteFileBytes(data_ / "templates/web/note.xml", "<n>inside</n>"));
  std::filesystem::create_directories(out_ / "Ipl");
  ASSERT_TRUE(WriteFileBytes(out_ / "Ipl/clip.ipl", "<n>playlist</n>"));
  ASSERT_TRUE(WriteFileBytes(out_ / "secret.xml", "<n>SECRET</n>"));
  ASSERT_TRUE(WriteFileBytes(data_ / "secret.xml", "<n>SECRET</n>"));
  std::filesystem::create_directory_symlink(out_.Path(), data_ / "templates/web/link");
  AddSheet("reader.xslt",
           R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
<xsl:template match="/">
[<xsl:value-of select="document('note.xml')"/>]
[<xsl:value-of select="document(/movie/ipl)"/>]
[<xsl:value-of select="document('file://)X" +
               (out_ / "secret.xml") + R"X(')"/>]
[<xsl:value-of select="document('../../secret.xml')"/>]
[<xsl:value-of select="document('link/secret.xml')"/>]
</xsl:template></xsl:stylesheet>)X");
  Movie movie("/videos/clip.avi", CaptureSettings{});
  movie.ipl = out_ / "Ipl/clip.ipl";
  const std::string page = out_ / "Html/clip.txt";
  DebugCapture debug;
  ASSERT_TRUE(XsltService::MakePage(page, "templates/web/reader.xslt",
                                    MovieDocument(movie, page, 1), &failure_));
  EXPECT_EQ(ReadFileBytes(page), "\n[inside]\n[playlist]\n[]\n[]\n[]\n");
  EXPECT_TRUE(debug.Contains("Template read refused: " + (out_ / "secret.xml") +
                             ": outside the readable folders\n"))
      << debug.Text();
  EXPECT_TRUE(debug.Contains("Template read refused: " + (data_ / "secret.xml") +
                             ": outside the readable folders\n"));

  SCOPED_TRACE("a template named outside the template folders");
  ASSERT_TRUE(WriteFileBytes(data_ / "outside.xslt", kListSheet));
  std::string result = "untouched";
  EXPECT_FALSE(Transform(&result, kData, "templates/web/../../outside.xslt", &failure_));
  EXPECT_EQ(result, "untouched");
  EXPECT_EQ(failure_.text, "Failed to load xslt document for html generation");
  EXPECT_TRUE(
      debug.Contains("Template outside the template folders refused: "
                     "templates/web/../../outside.xslt\n"));
}

TEST_F(XsltServiceTest, MakePageCreatesFoldersAndWritesOnlyAfterSuccess) {
  const std::string page = out_ / "Html/deeper/clip & co.txt";
  ASSERT_TRUE(XsltService::MakePage(page, "templates/web/list.xslt", kData, &failure_));
  EXPECT_EQ(ReadFileBytes(page), "Tom & Jerry \xC3\xA9t\xC3\xA9.avi|a & b.jpg;c.jpg;");
  // Nothing but the page is left in its folder.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(out_ / "Html/deeper"))
    ++files;
  EXPECT_EQ(files, 1);

  // A failed transformation leaves the existing page as it was.
  EXPECT_FALSE(XsltService::MakePage(page, "templates/web/missing.xslt", kData, &failure_));
  EXPECT_EQ(ReadFileBytes(page), "Tom & Jerry \xC3\xA9t\xC3\xA9.avi|a & b.jpg;c.jpg;");
  const std::string fresh = out_ / "never/page.html";
  EXPECT_FALSE(XsltService::MakePage(fresh, "templates/web/missing.xslt", "<bad", &failure_));
  EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST_F(XsltServiceTest, APageThatCannotBeWrittenSaysWhyToItsCaller) {
  // A folder in the place of the page cannot be replaced by a file (this
  // fails for every user, root included).
  const std::string page = out_ / "occupied";
  std::filesystem::create_directories(page + "/inside");
  EXPECT_FALSE(XsltService::MakePage(page, "templates/web/list.xslt", kData, &failure_));
  EXPECT_EQ(failure_.kind, PageFailure::Kind::notWritten);
  EXPECT_EQ(failure_.systemError, EISDIR);
  // The box the program shows, owned by the window that asked.
  for (const MessageOwner owner : {MessageOwner::mainWindow, MessageOwner::reviewWindow}) {
    EXPECT_EQ(FailureMessage(failure_, owner),
              (Message{"Error", "Failed to open html file (" + page + ") for writing, error : 21",
                       MessageIcon::error, owner}));
  }
}

TEST_F(XsltServiceTest, GeneratesThePageOfAMovieOfTheProject) {
  CProject& project = project_;
  project.AddMovie("/videos/Tom & Jerry \xC3\xA9t\xC3\xA9.avi");
  const int32_t id = project.Movies().back().id();
  project.RecordImage(id, {out_ / "Thumbs/a & b.jpg", 1, 1.0});
  project.RecordImage(id, {out_ / "Html/c.jpg", 2, 2.0});

  const std::string page = out_ / "Html/new/Tom & Jerry.html";
  EXPECT_TRUE(service_.GeneratePageForMovie(page, "templates/web/list.xslt", id, &failure_));
  EXPECT_EQ(ReadFileBytes(page),
            "Tom & Jerry \xC3\xA9t\xC3\xA9.avi|../../Thumbs/a & b.jpg;../c.jpg;");
  EXPECT_EQ(failure_.kind, PageFailure::Kind::none);
}

TEST_F(XsltServiceTest, CopiesTheCompanionFolderOfATemplate) {
  const std::string companion = data_ / "templates/web/list/";
  std::filesystem::create_directories(companion + "list_files/icons");
  std::filesystem::create_directories(companion + ".hidden");
  ASSERT_TRUE(WriteFileBytes(companion + "list_files/style.css", "body{}"));
  ASSERT_TRUE(WriteFileBytes(companion + "list_files/icons/play.png", "png"));
  ASSERT_TRUE(WriteFileBytes(companion + ".notes", "private"));
  ASSERT_TRUE(WriteFileBytes(companion + ".hidden/x", "private"));

  const std::string html = out_ / "Html/";
  std::filesystem::create_directories(html + "list_files");
  ASSERT_TRUE(WriteFileBytes(html + "list_files/style.css", "old"));
  ASSERT_TRUE(WriteFileBytes(html + "list_files/mine.css", "kept"));

  EXPECT_TRUE(CopyCompanionFolder("templates/web/list.xslt", html));
  EXPECT_EQ(ReadFileBytes(html + "list_files/style.css"), "body{}");
  // Links, FIFOs and devices are not copied (copying them would block or
  // never end).
  std::filesystem::create_symlink("/dev/zero", companion + "list_files/zero.css");
  ASSERT_EQ(mkfifo((companion + "list_files/fifo.css").c_str(), 0600), 0);
  EXPECT_FALSE(CopyCompanionFolder("templates/web/list.xslt", html));
  EXPECT_FALSE(std::filesystem::exists(html + "list_files/zero.css"));
  EXPECT_FALSE(std::filesystem::exists(html + "list_files/fifo.css"));
  EXPECT_EQ(ReadFileBytes(html + "list_files/icons/play.png"), "png");
  EXPECT_EQ(ReadFileBytes(html + "list_files/mine.css"), "kept");
  EXPECT_FALSE(std::filesystem::exists(html + ".notes"));
  EXPECT_FALSE(std::filesystem::exists(html + ".hidden"));

  // A template without a companion folder copies nothing and is no failure.
  const std::string other = out_ / "other/";
  EXPECT_TRUE(CopyCompanionFolder("templates/web/plain.xslt", other));
  EXPECT_FALSE(std::filesystem::exists(other));
}

}  // namespace
}  // namespace ombrelo
