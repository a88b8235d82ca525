#include "render/template_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/data_folder.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

class TemplateCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { SetApplicationDataFolder(data_.Path()); }
  void TearDown() override { SetApplicationDataFolder(""); }
  void Touch(const std::string& relative) {
    std::filesystem::create_directories(std::filesystem::path(data_ / relative).parent_path());
    ASSERT_TRUE(WriteFileBytes(data_ / relative, "x"));
  }
  TempFolder data_{"catalogue"};
};

TEST_F(TemplateCatalogueTest, ListsStylesheetsOfEachKindAndSelectsTheCurrentOne) {
  Touch("templates/web/b.xslt");
  Touch("templates/web/a.xslt");
  Touch("templates/web/a.bmp");
  Touch("templates/web/notes.xslt.txt");
  Touch("templates/web/.xslt");
  std::filesystem::create_directories(data_ / "templates/web/folder.xslt");
  std::filesystem::create_directories(data_ / "templates/web/a");
  Touch("templates/index/index_transform.xslt");
  std::filesystem::create_directories(data_ / "report");
  Touch("report/readme.txt");

  const TemplateCatalogue c =
      LoadTemplateCatalogue("b.xslt", "index_transform.xslt", "report.xslt");
  EXPECT_EQ(c.web.names, (std::vector<std::string>{"a.xslt", "b.xslt"}));
  EXPECT_EQ(c.web.selected, 1);
  EXPECT_EQ(c.index.names, std::vector<std::string>{"index_transform.xslt"});
  EXPECT_EQ(c.index.selected, 0);
  EXPECT_TRUE(c.report.names.empty());
  EXPECT_EQ(c.report.selected, 0);

  SCOPED_TRACE("names compare exactly");
  EXPECT_EQ(ListTemplates(TemplateKind::kWeb, "B.xslt").selected, 0);
  EXPECT_EQ(ListTemplates(TemplateKind::kWeb, "b.xsl").selected, 0);
  EXPECT_EQ(ListTemplates(TemplateKind::kWeb, "a.xslt").selected, 0);

  SCOPED_TRACE("a data folder without templates");
  std::filesystem::remove_all(data_ / "templates");
  const TemplateCatalogue empty = LoadTemplateCatalogue("b.xslt", "x", "y");
  EXPECT_TRUE(empty.web.names.empty());
  EXPECT_TRUE(empty.index.names.empty());
}

TEST_F(TemplateCatalogueTest, PreviewPathsAndCaptions) {
  EXPECT_EQ(TemplatePreviewPath(TemplateKind::kWeb, "gallery.xslt"),
            data_.Path() + "templates/web/gallery.bmp");
  EXPECT_EQ(TemplatePreviewPath(TemplateKind::kIndex, "index.v2.xslt"),
            data_.Path() + "templates/index/index.v2.bmp");
  EXPECT_EQ(TemplatePreviewPath(TemplateKind::kIndex, "plain"),
            data_.Path() + "templates/index/plain.bmp");

  // Both kinds alike: the title of the file's opening comment, else the
  // file name made readable.
  Touch("templates/index/index_transform.xslt");
  Touch("templates/web/plain.xslt");
  ASSERT_TRUE(WriteFileBytes(data_ / "templates/index/index_transform.xslt",
                             "<?xml version=\"1.0\"?>\n<!--\n  Ombrelo index photo: \"Contact "
                             "sheet\".\n  More text.\n-->\n<xsl:stylesheet/>"));
  EXPECT_EQ(IndexTemplateCaption("index_transform.xslt"), "Template: Contact sheet");
  ASSERT_TRUE(WriteFileBytes(data_ / "templates/web/plain.xslt",
                             "<!-- no title here -->\n<xsl:stylesheet><x a=\"b\"/>"));
  EXPECT_EQ(WebTemplateCaption("plain.xslt"), "Template: Plain");
  EXPECT_EQ(WebTemplateCaption("my_own-page.v2.xslt"), "Template: My own page.v2");
  EXPECT_EQ(IndexTemplateCaption("noextension"), "Template: Noextension");

  EXPECT_EQ(StylesheetPath(TemplateKind::kReport, "report.xslt"), "report/report.xslt");
  EXPECT_EQ(StylesheetPath(TemplateKind::kIndex, "x.xslt"), "templates/index/x.xslt");
  EXPECT_EQ(StylesheetPath(TemplateKind::kWeb, "x.xslt"), "templates/web/x.xslt");
}

}  // namespace
}  // namespace ombrelo
