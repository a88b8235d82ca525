// The installed content: every shipped template turns real template data
// into HTML that parses cleanly and names every thumbnail; the help pages,
// previews and pictures the program asks for are there.
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/data_folder.h"
#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"
#include "render/template_catalogue.h"
#include "render/xslt_service.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

struct Html {
  std::vector<std::string> errors;
  std::vector<std::string> links;        // src and href values, percent-decoded
  std::vector<std::string> imageWidths;  // width attribute of each img
  std::string text;                      // all text of the page
};

void CollectErrors(void* context, xmlErrorPtr error) {
  if (error && error->level >= XML_ERR_ERROR) {
    static_cast<Html*>(context)->errors.push_back(std::to_string(error->line) + ": " +
                                                  (error->message ? error->message : ""));
  }
}

std::string Decoded(const xmlChar* value) {
  char* raw = xmlURIUnescapeString(reinterpret_cast<const char*>(value), 0, nullptr);
  std::string text = raw ? raw : "";
  xmlFree(raw);
  return text;
}

void Walk(xmlNodePtr node, Html* html) {
  for (; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE) {
      for (xmlAttrPtr a = node->properties; a; a = a->next) {
        const std::string name = reinterpret_cast<const char*>(a->name);
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
        if (name == "src" || name == "href") html->links.push_back(Decoded(value));
        if (name == "width" && xmlStrEqual(node->name, BAD_CAST "img")) {
          html->imageWidths.push_back(reinterpret_cast<const char*>(value));
        }
        xmlFree(value);
      }
    } else if (node->type == XML_TEXT_NODE && node->content) {
      html->text += reinterpret_cast<const char*>(node->content);
    }
    Walk(node->children, html);
  }
}

// Parses HTML with libxml2's HTML parser, which reports mismatched and
// unclosed tags, unknown elements, bad entities and encoding errors.
Html ParseHtml(const std::string& text) {
  Html html;
  xmlSetStructuredErrorFunc(&html, CollectErrors);
  htmlDocPtr doc = htmlReadMemory(text.data(), static_cast<int>(text.size()), "page.html", "UTF-8",
                                  HTML_PARSE_NONET);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  if (!doc) {
    html.errors.push_back("not parsed");
    return html;
  }
  Walk(xmlDocGetRootElement(doc), &html);
  xmlFreeDoc(doc);
  return html;
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

class ShippedContentTest : public ::testing::Test {
 protected:
  void SetUp() override { SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR); }
  void TearDown() override { SetApplicationDataFolder(""); }

  // A movie as the indexing leaves it, with names that need care: blanks,
  // "&", non-ASCII letters, "#" and "%" in a folder name.
  static Movie IndexedMovie() {
    Movie movie("/home/anna/Videos/Tom & Jerry \xC3\xA9t\xC3\xA9.avi", CaptureSettings{});
    movie.length = 3725.5;
    movie.size = 2351230;
    movie.videoFormat.biWidth = 720;
    movie.videoFormat.biHeight = 576;
    movie.html = "/out/Html/Tom & Jerry \xC3\xA9t\xC3\xA9.html";
    movie.ipl = "/out/Ipl/Tom & Jerry \xC3\xA9t\xC3\xA9.ipl";
    movie.indexphoto = "/out/Index/Tom & Jerry \xC3\xA9t\xC3\xA9.jpg";
    for (int i = 1; i <= 7; ++i) {
      movie.AddImage(
          {"/out/#1 100% Thumbs/capture1/capture1_0h00m" + std::to_string(i * 5) + ".000s.jpg",
           static_cast<uint32_t>(i * 125), i * 5.0});
    }
    return movie;
  }

  static std::string Base() { return "/out/Html/Tom & Jerry \xC3\xA9t\xC3\xA9.html"; }
};

TEST_F(ShippedContentTest, TheDefaultTemplatesAndAtLeastOneMoreOfEachKind) {
  const TemplateCatalogue c =
      LoadTemplateCatalogue("gallery.xslt", "index_transform.xslt", "report.xslt");
  ASSERT_GE(c.web.names.size(), 2u);
  ASSERT_GE(c.index.names.size(), 2u);
  ASSERT_GE(c.report.names.size(), 1u);
  EXPECT_EQ(c.web.names[c.web.selected], "gallery.xslt");
  EXPECT_EQ(c.index.names[c.index.selected], "index_transform.xslt");
  EXPECT_EQ(c.report.names[c.report.selected], "report.xslt");

  // Every web and index template has a 24-bit BMP preview.
  for (const auto& [kind, list] :
       {std::pair{TemplateKind::kWeb, c.web}, std::pair{TemplateKind::kIndex, c.index}}) {
    for (const std::string& name : list.names) {
      SCOPED_TRACE(name);
      const std::string bmp = ReadFileBytes(TemplatePreviewPath(kind, name));
      ASSERT_GT(bmp.size(), 54u);
      EXPECT_EQ(bmp.substr(0, 2), "BM");
      EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 24);
    }
  }
}

TEST_F(ShippedContentTest, EveryPageTemplateNamesEveryThumbnailInCleanHtml) {
  const Movie movie = IndexedMovie();
  Movie empty("/home/anna/Videos/nothing.avi", CaptureSettings{});
  for (TemplateKind kind : {TemplateKind::kWeb, TemplateKind::kIndex}) {
    for (const std::string& name : ListTemplates(kind, "").names) {
      SCOPED_TRACE(name);
      std::string page;
      ASSERT_TRUE(Transform(&page, MovieDocument(movie, Base(), 0.5f), StylesheetPath(kind, name)));
      const Html html = ParseHtml(page);
      EXPECT_TRUE(html.errors.empty()) << ::testing::PrintToString(html.errors);
      for (const ImageEntry& entry : movie.images) {
        EXPECT_TRUE(Contains(html.links, RelativePath(Base(), entry.path)))
            << RelativePath(Base(), entry.path) << " not in "
            << ::testing::PrintToString(html.links);
      }
      EXPECT_NE(html.text.find("Tom & Jerry \xC3\xA9t\xC3\xA9"), std::string::npos);
      if (kind == TemplateKind::kIndex) {
        // The index photo shows the thumbnails at the scaled frame size.
        EXPECT_EQ(html.imageWidths.size(), movie.images.size());
        for (const std::string& width : html.imageWidths) EXPECT_EQ(width, "360");
      } else {
        // The web page offers the video and its other outputs.
        EXPECT_TRUE(
            Contains(html.links, "file:///home/anna/Videos/Tom & Jerry \xC3\xA9t\xC3\xA9.avi"));
        EXPECT_TRUE(Contains(html.links, RelativePath(Base(), movie.indexphoto)));
        EXPECT_TRUE(Contains(html.links, RelativePath(Base(), movie.ipl)));
      }

      // A movie without thumbnails still gives a clean page.
      std::string emptyPage;
      ASSERT_TRUE(Transform(&emptyPage,
                            MovieDocument(empty, "/home/anna/Videos/nothing.html", 0.5f),
                            StylesheetPath(kind, name)));
      EXPECT_TRUE(ParseHtml(emptyPage).errors.empty());
    }
  }
}

TEST_F(ShippedContentTest, WebPagesFindTheirCompanionFilesNextToThem) {
  for (const std::string& name : ListTemplates(TemplateKind::kWeb, "").names) {
    SCOPED_TRACE(name);
    TempFolder out("companion");
    const std::string stylesheet = StylesheetPath(TemplateKind::kWeb, name);
    ASSERT_TRUE(CopyCompanionFolder(stylesheet, out.Path()));
    std::string page;
    ASSERT_TRUE(Transform(&page, MovieDocument(IndexedMovie(), Base(), 0.5f), stylesheet));
    int local = 0;
    for (const std::string& link : ParseHtml(page).links) {
      // Files of the template: relative, inside the page's folder.
      if (link.empty() || link[0] == '#' || link.rfind("../", 0) == 0 ||
          link.find(':') != std::string::npos) {
        continue;
      }
      if (link.rfind("Tom & Jerry", 0) == 0) continue;  // the page itself
      ++local;
      EXPECT_TRUE(std::filesystem::exists(out.Path() + link)) << link;
      // Pictures named by a style sheet lie beside it.
      if (link.ends_with(".css")) {
        const std::string css = ReadFileBytes(out.Path() + link);
        const std::string folder = out.Path() + link.substr(0, link.rfind('/') + 1);
        static const std::regex url(R"(url\(\s*['"]?([^'")]+)['"]?\s*\))");
        for (std::sregex_iterator m(css.begin(), css.end(), url), end; m != end; ++m) {
          EXPECT_TRUE(std::filesystem::exists(folder + (*m)[1].str())) << (*m)[1].str();
        }
      }
    }
    EXPECT_GT(local, 0) << "the page uses no file of its companion folder";
  }
}

TEST_F(ShippedContentTest, TheReportListsEveryMovieWithLinksToItsOutputs) {
  CProject project("/base/");
  project.AddMovie("/home/anna/Videos/first.avi");
  project.AddMovie("/home/anna/Videos/Tom & Jerry.avi");
  const int32_t firstId = project.Movies().front().id();
  project.UpdateMovie(firstId, [](Movie& first) {
    first.length = 62.48;
    first.html = "/out/Html/first.html";
    first.ipl = "/out/Ipl/first.ipl";
    first.indexphoto = "/out/Index/first.jpg";
    first.AddImage({"/out/Thumbs/first/first_0h00m05.000s.jpg", 125, 5.0});
  });

  const std::string base = "/out/report.html";
  for (const std::string& name : ListTemplates(TemplateKind::kReport, "").names) {
    SCOPED_TRACE(name);
    std::string page;
    ASSERT_TRUE(Transform(&page, ProjectDocument(project, base),
                          StylesheetPath(TemplateKind::kReport, name)));
    const Html html = ParseHtml(page);
    EXPECT_TRUE(html.errors.empty()) << ::testing::PrintToString(html.errors);
    EXPECT_TRUE(Contains(html.links, "Html/first.html"));
    EXPECT_TRUE(Contains(html.links, "Ipl/first.ipl"));
    EXPECT_TRUE(Contains(html.links, "Index/first.jpg"));
    EXPECT_NE(html.text.find("first.avi"), std::string::npos);
    EXPECT_NE(html.text.find("Tom & Jerry.avi"), std::string::npos);

    // An empty project still gives a clean page.
    CProject none("/base/");
    ASSERT_TRUE(
        Transform(&page, ProjectDocument(none, base), StylesheetPath(TemplateKind::kReport, name)));
    EXPECT_TRUE(ParseHtml(page).errors.empty());
  }
}

TEST_F(ShippedContentTest, AVideoNamedLikeAScriptGivesOnlyFileAndWebLinks) {
  // Every output beside the video, so that every relative path is a bare
  // name that starts with "javascript:".
  CProject project("/base/");
  project.AddMovie("/v/javascript:alert(1).mp4");
  project.UpdateMovie(project.Movies().front().id(), [](Movie& movie) {
    movie.html = "/v/javascript:alert(1).html";
    movie.ipl = "/v/javascript:alert(1).ipl";
    movie.indexphoto = "/v/javascript:alert(1).jpg";
    movie.AddImage({"/v/javascript:alert(1)_0h00m05.000s.jpg", 125, 5.0});
  });
  const Movie& movie = project.Movies().front();

  std::vector<std::pair<std::string, std::string>> pages;  // template, page
  for (TemplateKind kind : {TemplateKind::kWeb, TemplateKind::kIndex, TemplateKind::kReport}) {
    for (const std::string& name : ListTemplates(kind, "").names) {
      const std::string xml = kind == TemplateKind::kReport
                                  ? ProjectDocument(project, "/v/report.html")
                                  : MovieDocument(movie, movie.html, 1.0f);
      std::string page;
      ASSERT_TRUE(Transform(&page, xml, StylesheetPath(kind, name))) << name;
      pages.emplace_back(name, page);
    }
  }
  static const std::regex scheme("^([A-Za-z][A-Za-z0-9+.-]*):");
  for (const auto& [name, page] : pages) {
    const Html html = ParseHtml(page);
    EXPECT_FALSE(html.links.empty()) << name;
    for (const std::string& link : html.links) {
      std::smatch m;
      if (!std::regex_search(link, m, scheme)) continue;
      const std::string s = m[1].str();
      EXPECT_TRUE(s == "file" || s == "http" || s == "https") << name << ": " << link;
    }
  }
}

TEST_F(ShippedContentTest, HelpPagesAndPicturesAreInPlace) {
  const char* const pages[] = {
      "dialogs/welcome.htm",       "tutorial/select_files.htm",
      "tutorial/settings.htm",     "tutorial/progress_noneselected.htm",
      "tutorial/results.htm",      "tutorial/first_video_added.htm",
      "dialogs/crashed.htm",       "dialogs/completed.htm",
      "dialogs/error_writing.htm", "dialogs/error_capturing.htm",
      "dialogs/install.htm",       "dialogs/no_tessaly.htm",
      "dialogs/codecs.htm",
  };
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    const std::string text = ReadFileBytes(ApplicationDataFolder() + page);
    ASSERT_FALSE(text.empty());
    const Html html = ParseHtml(text);
    EXPECT_TRUE(html.errors.empty()) << ::testing::PrintToString(html.errors);
    EXPECT_GT(html.text.size(), 200u);
    // Every page takes its look from the one shared style sheet.
    EXPECT_NE(text.find("href=\"../help.css\""), std::string::npos);
  }
  EXPECT_NE(ReadFileBytes(ApplicationDataFolder() + "help.css").find("div.main"),
            std::string::npos);
  const std::string background = ReadFileBytes(ApplicationDataFolder() + "added_background.jpg");
  ASSERT_GT(background.size(), 3u);
  EXPECT_EQ(background.substr(0, 3), "\xFF\xD8\xFF");
}

}  // namespace
}  // namespace ombrelo
