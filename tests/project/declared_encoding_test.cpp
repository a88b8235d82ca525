// The project file and the image playlist hold the encoding they declare:
// a conforming XML reader (libxml2) gets the names the program saved, and
// the program reads its own files and those of older versions as meant.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "project/tag_reader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kSummer = "/v/\xC3\x89t\xC3\xA9 \xC3\xA0 Lyon/clip.avi";        // "Été à Lyon"
const std::string kOmega = "/v/\xCE\xA9mega & co <1>.mkv";                        // "Ωmega"
const std::string kTokyo = "/v/\xE6\x9D\xB1\xE4\xBA\xAC/\xE2\x82\xAC night.mp4";  // "東京", "€"
// A name Linux allows that is no UTF-8 (Latin-1 bytes) with a control byte.
const std::string kBytes = "/v/caf\xE9\x01 \xFF.avi";

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, XmlDocFree>;

// The text of every element of that name, in document order, as libxml2
// gives it (UTF-8).
void CollectTexts(xmlNode* node, const std::string& name, std::vector<std::string>* texts) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (name == reinterpret_cast<const char*>(node->name)) {
      xmlChar* content = xmlNodeGetContent(node);
      texts->push_back(reinterpret_cast<const char*>(content));
      xmlFree(content);
    } else {
      CollectTexts(node->children, name, texts);
    }
  }
}

std::vector<std::string> Texts(const XmlDoc& doc, const std::string& name) {
  std::vector<std::string> texts;
  if (doc) CollectTexts(xmlDocGetRootElement(doc.get()), name, &texts);
  return texts;
}

void FillNames(CProject& project) {
  for (const std::string& path : {kSummer, kOmega, kTokyo, kBytes}) {
    const int32_t id = project.AddMovie(path);
    project.UpdateMovie(id, [&](Movie& movie) {
      movie.AddImage({path + ".jpg", 1, 0.5});
      movie.SetError("caf\xC3\xA9 stalled\n");
    });
  }
}

TEST(DeclaredEncoding, AConformingReaderGetsTheNamesOfAProjectFile) {
  TempFolder folder("enc");
  CProject project("/base/");
  FillNames(project);
  const std::string file = folder / "names.obx";
  ASSERT_TRUE(project.Save(file));

  // libxml2 reads it strictly, in the encoding the file declares.
  XmlDoc doc(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
  ASSERT_TRUE(doc) << ReadFileBytes(file);
  EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "Windows-1252");
  const std::vector<std::string> paths = Texts(doc, "path");  // a movie's, then its image's
  ASSERT_EQ(paths.size(), 8u);
  EXPECT_EQ(paths[0], kSummer);
  EXPECT_EQ(paths[2], kOmega);
  EXPECT_EQ(paths[4], kTokyo);
  EXPECT_EQ(paths[5], kTokyo + ".jpg");
  // The bytes no character stands for come through as private-use
  // characters: present, never a broken document.
  EXPECT_EQ(paths[6], "/v/caf\xEE\xBF\xA9\xEE\xBC\x81 \xEE\xBF\xBF.avi");

  // Characters of the code page stand as their bytes, the rest as references.
  const std::string bytes = ReadFileBytes(file);
  EXPECT_NE(bytes.find("<path>/v/&#xC9;t\xE9 \xE0 Lyon/clip.avi</path>"), std::string::npos);
  EXPECT_NE(bytes.find("<path>/v/&#x3A9;mega &amp; co &lt;1&gt;.mkv</path>"), std::string::npos);
  EXPECT_NE(bytes.find("&#x6771;&#x4EAC;/\x80 night.mp4"), std::string::npos);

  // The program reads back every byte it saved, the non-UTF-8 name included.
  CProject loaded("/base/");
  ASSERT_TRUE(loaded.Load(file));
  std::vector<std::string> names;
  for (const Movie& movie : loaded.Movies()) {
    names.push_back(movie.path());
    ASSERT_EQ(movie.images.size(), 1u);
    EXPECT_EQ(movie.images[0].path, movie.path() + ".jpg");
    EXPECT_EQ(movie.error, "caf\xC3\xA9 stalled\n");
  }
  EXPECT_EQ(names, (std::vector<std::string>{kSummer, kOmega, kTokyo, kBytes}));
  EXPECT_EQ(loaded.FileText(), project.FileText());
}

TEST(DeclaredEncoding, FilesOfOlderVersionsAndOtherProgramsReadAsMeant) {
  TempFolder folder("enc");
  // A file as this version writes it, with the two values put in as bytes.
  CProject writer("/base/");
  writer.AddMovieError(writer.AddMovie("PATH"), "ERROR");
  const auto file = [&](const std::string& path, const std::string& error) {
    std::string text = writer.FileText();
    text.replace(text.find("PATH"), 4, path);
    text.replace(text.find("ERROR"), 5, error);
    return text;
  };
  const struct {
    const char* what;
    std::string path, error, expectedPath, expectedError;
  } cases[] = {
      // Older versions wrote UTF-8 (and "&" as it stood) under the declaration.
      {"older version", kSummer, "Tom & Jerry", kSummer, "Tom & Jerry"},
      {"older version, CJK", kTokyo, "", kTokyo, ""},
      // A program that writes what the declaration says.
      {"Windows-1252 bytes", "/v/\xC9t\xE9 \x80.avi", "a &#x3A9; b",
       "/v/\xC3\x89t\xC3\xA9 \xE2\x82\xAC.avi", "a \xCE\xA9 b"},
      {"named references", "/v/a&amp;b&lt;&gt;&quot;&apos;.avi", "", "/v/a&b<>\"'.avi", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(folder / "old.obx", file(c.path, c.error)));
    CProject project("/base/");
    ASSERT_TRUE(project.Load(folder / "old.obx"));
    ASSERT_EQ(project.Movies().size(), 1u);
    EXPECT_EQ(project.Movies().front().path(), c.expectedPath);
    EXPECT_EQ(project.Movies().front().error, c.expectedError);
  }
}

TEST(DeclaredEncoding, ValuesRoundTripAndNeverPassForOlderFiles) {
  const std::string values[] = {
      "",
      "plain",
      "\xC3\x83\xC2\xA9",  // "Ã©": its code-page bytes would be UTF-8 for "é"
      "&#x41; is not A",
      "\xEE\xBE\x80 private use, really",  // U+EF80 itself
      "\xC2\x81 C1",
      kSummer,
      kOmega,
      kTokyo,
      kBytes,
      "\xF0\x9F\x8E\xAC clapper",
      "cut \xE2\x82",  // a sequence cut short
  };
  for (const Charset charset : {Charset::windows1252, Charset::latin1}) {
    for (const std::string& value : values) {
      const std::string written = EncodeValue(value, charset);
      EXPECT_EQ(DecodeValue(written, charset), value) << written;
      EXPECT_EQ(written.find_first_of("<>"), std::string::npos) << written;
      // A value with bytes above ASCII always carries a reference.
      const bool high = std::any_of(written.begin(), written.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
      if (high) {
        EXPECT_NE(written.find("&#"), std::string::npos) << written;
      }
    }
  }
  // Latin-1 has no byte for the euro sign; its reference marks the value.
  EXPECT_EQ(EncodeValue("a\xC3\xA9\xE2\x82\xAC", Charset::latin1), "a\xE9&#x20AC;");
  EXPECT_EQ(EncodeValue("a\xC3\xA9\xE2\x82\xAC", Charset::windows1252), "a&#xE9;\x80");
}

TEST(DeclaredEncoding, PlaylistsGiveTheirFileNamesToAConformingReader) {
  TempFolder folder("enc");
  Movie movie(kSummer, CaptureSettings{});
  for (const std::string& path : {kSummer, kOmega, kTokyo, kBytes}) movie.AddImage({path, 7, 1.0});
  const std::string file = folder / "\xCE\xA9.ipl";
  ASSERT_TRUE(WritePlaylist(file, movie));

  // The root line is the format's own (its second tag has no slash), so the
  // document is read in recovery; the entries and their names come through.
  XmlDoc doc(
      xmlReadFile(file.c_str(), nullptr,
                  XML_PARSE_NONET | XML_PARSE_RECOVER | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  ASSERT_TRUE(doc);
  EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "iso-8859-1");
  const std::vector<std::string> files = Texts(doc, "file");
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], kSummer);
  EXPECT_EQ(files[1], kOmega);
  EXPECT_EQ(files[2], kTokyo);
  EXPECT_EQ(Texts(doc, "source"), std::vector<std::string>(4, kSummer));

  // The program's own reader gets every byte back.
  std::vector<PlaylistEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadPlaylistText(ReadFileBytes(file), &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].file, kBytes);
  EXPECT_EQ(entries[2].file, kTokyo);

  // A playlist of an older version: UTF-8 under the same declaration.
  ASSERT_TRUE(
      ReadPlaylistText("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                       "<imageplaylist>\n\t<root>/p/old.ipl<root>\n<entry>\n\t<file>" +
                           kTokyo +
                           "</file>\n\t<source>/v/a&b.avi</source>\n</entry>\n"
                           "</imageplaylist>\n",
                       &entries, &error));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].file, kTokyo);
  EXPECT_EQ(entries[0].source, "/v/a&b.avi");
}

}  // namespace
}  // namespace ombrelo
