// The four-character code probe on hand-made RIFF files, and the codec help
// address.
#include "engine/codec_probe.h"

#include <gtest/gtest.h>

#include <string>

#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string Chunk(const std::string& id, const std::string& body) {
  std::string c = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() & 1) c += '\0';
  return c;
}

std::string List(const std::string& type, const std::string& body) {
  return Chunk("LIST", type + body);
}

// A stream header: fccType, fccHandler, then 48 bytes of the rest.
std::string StreamList(const std::string& type, const std::string& handler) {
  return List("strl", Chunk("strh", type + handler + std::string(48, '\0')) +
                          Chunk("strf", std::string(40, '\0')));
}

std::string Avi(const std::string& headerBody, const std::string& form = "AVI ") {
  const std::string body = form + List("hdrl", Chunk("avih", std::string(56, '\0')) + headerBody) +
                           List("movi", Chunk("00dc", "xyz"));
  return Chunk("RIFF", body);
}

TEST(CodecProbe, ReadsTheHandlerOfTheFirstVideoStream) {
  TempFolder folder("probe");
  struct Case {
    const char* name;
    std::string bytes;
    uint32_t expected;
  };
  const std::string pcm("\x55\0\0\0", 4);
  const Case cases[] = {
      {"video only", Avi(StreamList("vids", "XVID")), 0x44495658u},
      {"audio first", Avi(StreamList("auds", pcm) + StreamList("vids", "DX50")), 0x30355844u},
      {"two video streams", Avi(StreamList("vids", "H264") + StreamList("vids", "XVID")),
       0x34363248u},
      {"odd-sized chunk before the streams", Avi(Chunk("JUNK", "abc") + StreamList("vids", "MJPG")),
       0x47504A4Du},
      {"no video stream", Avi(StreamList("auds", pcm)), 0},
      {"a wave file", Avi(StreamList("vids", "XVID"), "WAVE"), 0},
      {"not RIFF at all", "\x1A\x45\xDF\xA3 matroska", 0},
      {"empty", "", 0},
      {"cut inside the header", Avi(StreamList("vids", "XVID")).substr(0, 60), 0},
      {"chunk size beyond the file",
       "RIFF" + Le32(1000) + "AVI " + "LIST" + Le32(0x7FFFFFF0u) + "hdrl", 0},
      {"stream list claiming more than its header list",
       "RIFF" + Le32(200) + "AVI " + "LIST" + Le32(24) + "hdrl" + "LIST" + Le32(5000) + "strl" +
           "strhvids",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder / "file.avi";
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    EXPECT_EQ(ProbeFourCC(path), c.expected);
  }
  EXPECT_EQ(ProbeFourCC(folder / "missing.avi"), 0u);
  EXPECT_EQ(ProbeFourCC(folder.Path()), 0u) << "a folder";
}

TEST(CodecHelp, AddressNamesTheExtensionAsTypedAndTheCodeInLowerCase) {
  const std::string site = "http://www.example.com/";
  EXPECT_EQ(CodecHelpAddress(site, "/v/clip.avi", 0x44495658u),
            site + "codec.php?format=avi&fourcc=xvid");
  EXPECT_EQ(CodecHelpAddress(site, "/v/clip.MKV", 0), site + "codec.php?format=MKV");
  EXPECT_EQ(CodecHelpAddress(site, "/v/a.b.Avi", 0x30355844u),
            site + "codec.php?format=Avi&fourcc=dx50");
  // Without a "." in the file name the whole path is the format, escaped as
  // a query value should be.
  EXPECT_EQ(CodecHelpFormat("/videos.old/clip"), "/videos.old/clip");
  EXPECT_EQ(CodecHelpAddress(site, "/v/my clip", 0), site + "codec.php?format=%2Fv%2Fmy%20clip");
  EXPECT_EQ(CodecHelpAddress(site, "/v/x.a&b", 0), site + "codec.php?format=a%26b");
  // A code with a blank keeps its four characters.
  EXPECT_EQ(CodecHelpAddress(site, "/v/c.avi", 0x20424944u),
            site + "codec.php?format=avi&fourcc=dib%20");

  const std::string before = ProductWebSite();
  EXPECT_EQ(before, "") << "a build names no web site unless its packager sets one";
  EXPECT_EQ(CodecHelpAddress("/nowhere/clip.webm"), "codecs.htm");
  SetProductWebSite("http://other.example/");
  EXPECT_EQ(CodecHelpAddress("/nowhere/clip.webm"), "http://other.example/codec.php?format=webm");
  SetProductWebSite(before);
}

}  // namespace
}  // namespace ombrelo
