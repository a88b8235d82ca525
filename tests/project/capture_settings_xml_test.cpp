#include "project/capture_settings_xml.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <sstream>

#include "project/tag_reader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

const char* const kDefaultsXml =
    "<samplestart>3</samplestart><sampleperiod>3</sampleperiod>"
    "<delaybeforefirst>60</delaybeforefirst><delaybetweensamples>180</delaybetweensamples>"
    "<leastnofframes>1</leastnofframes><jpegquality>85</jpegquality>"
    "<contactsheetminwidth>320</contactsheetminwidth>"
    "<contactsheetminheight>256</contactsheetminheight><namebyframe>0</namebyframe>"
    "<notimetag>0</notimetag><imageformat>0</imageformat><sampleduration>0</sampleduration>";

TEST(CaptureSettingsXml, DefaultsWriteInFileOrderAndReadBack) {
  EXPECT_EQ(CaptureSettingsToXml(CaptureSettings{}), kDefaultsXml);
  CaptureSettings read;
  read.jpegquality = 3;
  std::istringstream in(kDefaultsXml);
  ReadCaptureSettingsXml(in, read);
  EXPECT_EQ(read, CaptureSettings{});
}

TEST(CaptureSettingsXml, EveryFieldRoundTripsIncludingPeriodKind) {
  CaptureSettings s;
  s.samplestart = 0;
  s.sampleperiod = 1;
  s.delaybeforefirst = 12.5;
  s.delaybetweensamples = -1;
  s.leastnofframes = 7;
  s.jpegquality = 42;
  s.contactsheetminwidth = 800;
  s.contactsheetminheight = 600;
  s.namebyframe = true;
  s.notimetag = true;
  s.imageformat = 1;
  s.sampleduration = 3.25;
  s.deinterlace = false;
  std::istringstream in(CaptureSettingsToXml(s));
  CaptureSettings read;
  ReadCaptureSettingsXml(in, read);
  EXPECT_EQ(read, s);
}

TEST(CaptureSettingsXml, DeinterlacingIsWrittenOnlyWhenOffAndAbsentMeansOn) {
  CaptureSettings off;
  off.deinterlace = false;
  EXPECT_EQ(CaptureSettingsToXml(off), std::string(kDefaultsXml) + "<deinterlace>0</deinterlace>");
  // A file without it (older, or written with it on) reads as on; what
  // follows stays for the caller.
  CaptureSettings read = off;
  std::istringstream older(std::string(kDefaultsXml) + "</rendering>");
  ReadCaptureSettingsXml(older, read);
  EXPECT_TRUE(read.deinterlace);
  EXPECT_EQ(ReadTag(older), "</rendering>");
}

TEST(CaptureSettingsXml, MissingElementKeepsFieldsReadSoFar) {
  CaptureSettings read;
  read.imageformat = 1;
  read.sampleduration = 9;
  std::istringstream in(
      "<samplestart>0</samplestart><sampleperiod>1</sampleperiod>"
      "<delaybeforefirst>5</delaybeforefirst><delaybetweensamples>6</delaybetweensamples>"
      "<leastnofframes>2</leastnofframes><jpegquality>50</jpegquality>"
      "<contactsheetminwidth>1</contactsheetminwidth><contactsheetminheight>2</"
      "contactsheetminheight>"
      "<namebyframe>1</namebyframe><notimetag>0</notimetag></rendering>");
  try {
    ReadCaptureSettingsXml(in, read);
    FAIL() << "expected a format error";
  } catch (const TagFormatError& e) {
    EXPECT_STREQ(e.what(), "Format error : missing <imageformat>");
  }
  EXPECT_EQ(read.samplestart, 0);
  EXPECT_EQ(read.jpegquality, 50);
  EXPECT_TRUE(read.namebyframe);
  EXPECT_EQ(read.imageformat, 1);       // kept
  EXPECT_EQ(read.sampleduration, 9.0);  // kept
}

// Switches LC_NUMERIC to a German locale (decimal comma) for its lifetime.
// The locale is compiled into a temporary folder when the system has none.
class GermanNumbers {
 public:
  GermanNumbers() {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    saved_ = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + folder_.Path() + "de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    setenv("LOCPATH", folder_.Path().c_str(), 1);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  }
  ~GermanNumbers() {
    std::setlocale(LC_NUMERIC, saved_.c_str());
    unsetenv("LOCPATH");
  }
  bool Active() const { return std::localeconv()->decimal_point[0] == ','; }

 private:
  testing::TempFolder folder_{"locale"};
  std::string saved_;
};

TEST(CaptureSettingsXml, NumbersIgnoreTheProcessLocale) {
  GermanNumbers german;
  ASSERT_TRUE(german.Active()) << "could not switch to a decimal-comma locale";
  CaptureSettings s;
  s.delaybeforefirst = 12.5;
  const std::string xml = CaptureSettingsToXml(s);
  CaptureSettings read;
  std::istringstream in(xml);
  ReadCaptureSettingsXml(in, read);
  EXPECT_NE(xml.find("<delaybeforefirst>12.5</delaybeforefirst>"), std::string::npos);
  EXPECT_EQ(read.delaybeforefirst, 12.5);
}

TEST(TagReader, TagsTextAndExpectations) {
  std::istringstream in(" \r\n\t<a>text & more<b>junk<c><d>");
  EXPECT_EQ(ReadTag(in), "<a>");
  EXPECT_EQ(ReadText(in), "text & more");
  EXPECT_EQ(ReadTag(in), "<b>");
  EXPECT_EQ(ReadTag(in), "junk<c>");  // text before a tag becomes part of it
  EXPECT_THROW(ExpectTag(in, "<e>"), TagFormatError);
  EXPECT_EQ(ReadTag(in), "");  // end of stream
  EXPECT_EQ(ReadText(in), "");

  std::istringstream nul(std::string("<x\0y>", 5));
  EXPECT_EQ(ReadTag(nul), "<x");

  std::istringstream numbers("  42x -7 4294967295 1.5e2z abc");
  EXPECT_EQ(ReadInt(numbers), 42);
  EXPECT_EQ(ReadText(numbers), "x -7 4294967295 1.5e2z abc");
  std::istringstream more("-7 4294967295 1.5e2z");
  EXPECT_EQ(ReadInt(more), -7);
  EXPECT_EQ(ReadUnsigned(more), 4294967295u);
  EXPECT_EQ(ReadDouble(more), 150.0);
  EXPECT_EQ(ReadText(more), "z");
}

TEST(TagReader, FormatGMatchesShortestSixDigitForm) {
  EXPECT_EQ(FormatG(60), "60");
  EXPECT_EQ(FormatG(180), "180");
  EXPECT_EQ(FormatG(0), "0");
  EXPECT_EQ(FormatG(3725.5), "3725.5");
  EXPECT_EQ(FormatG(1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatG(0.0001), "0.0001");
  EXPECT_EQ(FormatG(-1), "-1");
}

}  // namespace
}  // namespace ombrelo
