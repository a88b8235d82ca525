#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "project/project.h"
#include "project/tag_reader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>";

const std::string kSettings =
    "<settings><imagescale>0.5</imagescale>"
    "<ipl><enabled>1</enabled><usefolder>0</usefolder><folder>/base/Ipl/</folder></ipl>"
    "<html><enabled>1</enabled><usefolder>0</usefolder><folder>/base/Html/</folder>"
    "<transform>gallery.xslt</transform></html>"
    "<thumbs><enabled>1</enabled><usefolder>0</usefolder><folder>/base/Thumbs/</folder></thumbs>"
    "<indexphoto><enabled>1</enabled><usefolder>0</usefolder><folder>/base/Index/</folder>"
    "<transform>index_transform.xslt</transform></indexphoto>"
    "<current_path></current_path><report><transform>report.xslt</transform></report>"
    "</settings>";

const std::string kRendering =
    "<rendering><samplestart>3</samplestart><sampleperiod>3</sampleperiod>"
    "<delaybeforefirst>60</delaybeforefirst><delaybetweensamples>180</delaybetweensamples>"
    "<leastnofframes>1</leastnofframes><jpegquality>85</jpegquality>"
    "<contactsheetminwidth>320</contactsheetminwidth>"
    "<contactsheetminheight>256</contactsheetminheight><namebyframe>0</namebyframe>"
    "<notimetag>0</notimetag><imageformat>0</imageformat><sampleduration>0</sampleduration>"
    "</rendering>";

const std::string kMovieA =
    "<moviefile><movie><status>2</status><length>7234.57</length><size>12345</size>"
    "<path>/v/a&b.avi</path><error>warn & co</error><html>/out/a&b.html</html>"
    "<ipl>/out/a&b.ipl</ipl><indexphoto></indexphoto><image_list><width>640</width>"
    "<height>480</height>"
    "<image><path>/T/a&b/a&b 0.jpg</path><frame>1500</frame><time>60</time></image>"
    "<image><path>/T/a&b/a&b 1.jpg</path><frame>6000</frame><time>240.04</time></image>"
    "</image_list></movie>\r\n</moviefile>";

const std::string kMovieB =
    "<moviefile><movie><status>0</status><length>0</length><size>0</size>"
    "<path>/v/empty.avi</path><error></error><html></html><ipl></ipl><indexphoto></indexphoto>"
    "<image_list><width>0</width><height>0</height></image_list></movie>\r\n</moviefile>";

const std::string kGolden = kDeclaration + "<obxproject>" + kSettings + "<movies>" + kMovieA +
                            kMovieB + "</movies>" + kRendering + "</obxproject>";

// Older versions wrote "&" as it stood; files are read either way, and this
// version writes it as the XML reference.
std::string AsWrittenNow(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '&' ? std::string("&amp;") : std::string(1, c);
  return out;
}

void FillGoldenProject(CProject& project) {
  project.UpdateMovie(project.AddMovie("/v/a&b.avi"), [](Movie& a) {
    a.status = kMovieDone;
    a.SetLength(7234.56789);
    a.SetSize(12345);
    a.error = "warn & co";
    a.SetHtml("/out/a&b.html");
    a.SetIpl("/out/a&b.ipl");
    a.videoFormat.biWidth = 640;
    a.videoFormat.biHeight = 480;
    a.AddImage({"/T/a&b/a&b 0.jpg", 1500, 60.0});
    a.AddImage({"/T/a&b/a&b 1.jpg", 6000, 240.04});
  });
  project.AddMovie("/v/empty.avi");
}

TEST(ProjectFile, WritesTheGoldenBytes) {
  TempFolder folder("obx");
  CProject project("/base");
  FillGoldenProject(project);
  EXPECT_EQ(project.FileText(), AsWrittenNow(kGolden));
  ASSERT_TRUE(project.Save(folder / "golden.obx"));
  EXPECT_EQ(ReadFileBytes(folder / "golden.obx"), AsWrittenNow(kGolden));

  CProject empty("/base");
  EXPECT_EQ(empty.FileText(), kDeclaration + "<obxproject>" + kSettings + "<movies></movies>" +
                                  kRendering + "</obxproject>");
  // The settings file form leaves the movies out but keeps them in the project.
  EXPECT_EQ(project.FileText(false), empty.FileText());
  EXPECT_EQ(project.Movies().size(), 2u);
}

TEST(ProjectFile, OldImageEntriesLoadAndSaveInTheCurrentForm) {
  TempFolder folder("obx");
  std::string old = kGolden;
  const std::string entry =
      "<image><path>/T/a&b/a&b 0.jpg</path><frame>1500</frame><time>60</time></image>";
  old.replace(old.find(entry), entry.size(), "<image>/T/a&b/old.jpg</image>");
  ASSERT_TRUE(WriteFileBytes(folder / "old.obx", old));

  CProject project("/elsewhere");
  ASSERT_TRUE(project.Load(folder / "old.obx"));
  std::string expected = kGolden;
  expected.replace(expected.find(entry), entry.size(),
                   "<image><path>/T/a&b/old.jpg</path><frame>0</frame><time>0</time></image>");
  EXPECT_EQ(project.FileText(), AsWrittenNow(expected));
}

TEST(ProjectFile, SaveAndLoadRoundTrip) {
  TempFolder folder("obx");
  CProject source("/base");
  FillGoldenProject(source);
  source.AddMovieError(source.AddMovie("/v/ünïcode <odd> name.mkv"), "Stalled at <frame 5>");
  source.SetHtmlFolder("/out/html");
  source.SetThumbsUseFolder(true);
  source.SetThumbsEnabled(false);
  source.SetImagescale(0.75f);
  source.SetCurrentPath("/home/me/My Videos/");
  source.SetReportTransform("other.xslt");
  source.UpdateCapture([&](CaptureSettings& c) { c.leastnofframes = 12; });
  source.UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 2.5; });
  source.UpdateCapture([&](CaptureSettings& c) { c.deinterlace = false; });
  ASSERT_TRUE(source.Save(folder / "p.obx"));

  CProject loaded("/elsewhere");
  loaded.AddMovie("/v/dropped.avi");
  ASSERT_TRUE(loaded.Load(folder / "p.obx"));
  EXPECT_EQ(loaded.Output(), source.Output());
  EXPECT_EQ(loaded.Capture(), source.Capture());
  ASSERT_EQ(loaded.Movies().size(), 3u);
  auto in = loaded.Movies().begin();
  for (const Movie& out : source.Movies()) {
    EXPECT_NE(in->id(), out.id());
    EXPECT_EQ(in->path(), out.path());
    EXPECT_EQ(in->status, out.status);
    EXPECT_EQ(in->length, AtoF(FormatG(out.length)));  // rounded to 6 digits
    EXPECT_EQ(in->size, out.size);
    EXPECT_EQ(in->error, out.error);
    EXPECT_EQ(in->html, out.html);
    EXPECT_EQ(in->ipl, out.ipl);
    EXPECT_EQ(in->indexphoto, out.indexphoto);
    EXPECT_EQ(in->videoFormat.biWidth, out.videoFormat.biWidth);
    EXPECT_EQ(in->videoFormat.biHeight, out.videoFormat.biHeight);
    EXPECT_EQ(in->images, out.images);
    ++in;
  }
  // Saving what was loaded gives the same bytes.
  EXPECT_EQ(loaded.FileText(), source.FileText());
}

TEST(ProjectFile, ReaderToleratesItsVariants) {
  TempFolder folder("obx");
  const std::string file = folder / "v.obx";
  CProject project("/elsewhere");

  SCOPED_TRACE("no declaration, bare line feeds, line breaks between elements");
  std::string variant = "\n<obxproject>\n" + kSettings + "\n<movies>" + kMovieA + "\n" + kMovieB +
                        "\n</movies>\n" + kRendering + "\n</obxproject>\n";
  for (size_t at; (at = variant.find("\r\n")) != std::string::npos;) variant.erase(at, 1);
  ASSERT_TRUE(WriteFileBytes(file, variant));
  ASSERT_TRUE(project.Load(file));
  EXPECT_EQ(project.Movies().size(), 2u);
  EXPECT_EQ(project.Output().htmlFolder, "/base/Html/");

  SCOPED_TRACE("empty movie list");
  ASSERT_TRUE(WriteFileBytes(file, kDeclaration + "<obxproject>" + kSettings + "<movies></movies>" +
                                       kRendering + "</obxproject>"));
  ASSERT_TRUE(project.Load(file));
  EXPECT_TRUE(project.Movies().empty());

  SCOPED_TRACE("folders stored without a trailing separator stay as read");
  std::string raw = kGolden;
  raw.replace(raw.find("/base/Html/"), 11, "/out");
  ASSERT_TRUE(WriteFileBytes(file, raw));
  ASSERT_TRUE(project.Load(file));
  EXPECT_EQ(project.Output().htmlFolder, "/out");
}

TEST(ProjectFile, OlderSettingsAndRenderForms) {
  TempFolder folder("obx");
  const std::string file = folder / "old.obx";
  DebugCapture debug;

  // Settings without <current_path> and <report>, render settings without
  // their last two fields.
  std::string settings = kSettings;
  settings.erase(settings.find("<current_path>"));
  settings += "</settings>";
  std::string rendering = kRendering;
  rendering.replace(rendering.find("<jpegquality>85"), 15, "<jpegquality>70");
  rendering.erase(rendering.find("<imageformat>"));
  rendering += "</rendering>";
  ASSERT_TRUE(WriteFileBytes(file, kDeclaration + "<obxproject>" + settings + "<movies>" + kMovieB +
                                       "</movies>" + rendering + "</obxproject>"));

  CProject project("/base");
  project.SetCurrentPath("/kept/");
  project.UpdateCapture([&](CaptureSettings& c) { c.imageformat = 1; });
  project.UpdateCapture([&](CaptureSettings& c) { c.sampleduration = 30; });
  ASSERT_TRUE(project.Load(file));
  EXPECT_TRUE(debug.Contains("Loading old project file."));
  EXPECT_TRUE(debug.Contains("Error reading render settings. Old format\n"));
  EXPECT_EQ(project.Output().current_path, "/kept/");
  EXPECT_EQ(project.Output().reportTransform, "report.xslt");
  EXPECT_EQ(project.Capture().jpegquality, 70);     // read
  EXPECT_EQ(project.Capture().imageformat, 1);      // kept
  EXPECT_EQ(project.Capture().sampleduration, 30);  // kept
  EXPECT_EQ(project.Movies().size(), 1u);
}

TEST(ProjectFile, ValuesThatCannotBeHonouredAreClampedAndTheFileLoads) {
  TempFolder folder("obx");
  const std::string file = folder / "odd.obx";
  std::string settings = kSettings;
  settings.replace(settings.find("<imagescale>0.5"), 15, "<imagescale>-3");
  const std::string rendering =
      "<rendering><samplestart>3</samplestart><sampleperiod>3</sampleperiod>"
      "<delaybeforefirst>-60</delaybeforefirst><delaybetweensamples>-1</delaybetweensamples>"
      "<leastnofframes>-1</leastnofframes><jpegquality>250</jpegquality>"
      "<contactsheetminwidth>0</contactsheetminwidth>"
      "<contactsheetminheight>-256</contactsheetminheight><namebyframe>0</namebyframe>"
      "<notimetag>0</notimetag><imageformat>0</imageformat><sampleduration>1e300</sampleduration>"
      "</rendering>";
  ASSERT_TRUE(WriteFileBytes(file, kDeclaration + "<obxproject>" + settings + "<movies>" + kMovieB +
                                       "</movies>" + rendering + "</obxproject>"));
  CProject project("/base");
  ASSERT_TRUE(project.Load(file));
  EXPECT_EQ(project.Movies().size(), 1u);
  const CaptureSettings& c = project.Capture();
  EXPECT_EQ(c.leastnofframes, 0);  // not 4294967295 frames
  EXPECT_EQ(c.delaybeforefirst, 0);
  EXPECT_EQ(c.delaybetweensamples, -1);  // a single sample, as the file asks
  EXPECT_EQ(c.jpegquality, 100);
  EXPECT_EQ(c.contactsheetminwidth, 1);
  EXPECT_EQ(c.contactsheetminheight, 1);
  EXPECT_EQ(c.sampleduration, 1e6);
  EXPECT_EQ(project.Output().imagescale, 1.0f);  // the factor used in its place
}

TEST(ProjectFile, LoadFailuresReportTheirTexts) {
  TempFolder folder("obx");
  const std::string file = folder / "bad.obx";
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  struct Case {
    const char* name;
    std::string bytes;
    std::string debug;
    size_t moviesLeft;
  } cases[] = {
      {"other declaration", replaced(kGolden, "Windows-1252", "UTF-8"),
       "CProject::Load failed. Not a project file\n", 0},
      {"no project element", "<project></project>", "CProject::Load failed. Not a project file\n",
       0},
      {"empty file", "", "CProject::Load failed. Not a project file\n", 0},
      {"tag out of order", replaced(kGolden, "<movies>", "<films>"),
       "CProject::Load failed. Format error : missing <movies>", 0},
      {"movie loop ended by another tag", replaced(kGolden, "</movies>", "</films>"),
       "CProject::Load failed. Missing </movies>", 2},
      {"broken image list of the second movie",
       replaced(kGolden, "<height>0</height></image_list>", "<height>0</height><img></image_list>"),
       "CProject::Load failed. Missing </image_list>", 1},
      {"bad report element", replaced(kGolden, "<report>", "<rapport>"),
       "CProject::Load failed. Format error : missing <report>", 0},
      {"boolean other than 0 or 1",
       replaced(kGolden, "<enabled>1</enabled><usefolder>0</usefolder><folder>/base/Html/",
                "<enabled>2</enabled><usefolder>0</usefolder><folder>/base/Html/"),
       "CProject::Load failed. Format error : missing </enabled>", 0},
      {"unterminated CDATA", replaced(kGolden, "<path>/v/empty.avi", "<path><![CDATA[/v/e"),
       "CProject::Load failed. Format error : missing ]]>", 1},
      {"missing end", kGolden.substr(0, kGolden.size() - 3),
       "CProject::Load failed. Format error : missing </obxproject>", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteFileBytes(file, c.bytes));
    CProject project("/base");
    project.AddMovie("/v/before.avi");
    DebugCapture debug;
    EXPECT_FALSE(project.Load(file));
    EXPECT_EQ(debug.Text(), c.debug);
    // The loader does not restore: what was read up to the fault stays.
    EXPECT_EQ(project.Movies().size(), c.moviesLeft);
  }
}

TEST(ProjectFile, UnreadableFileLeavesTheProjectUnchanged) {
  TempFolder folder("obx");
  CProject project("/base");
  project.AddMovie("/v/a.avi");
  DebugCapture debug;
  EXPECT_FALSE(project.Load(folder / "missing.obx"));
  EXPECT_FALSE(project.Load(folder.Path()));  // a folder
  EXPECT_EQ(project.Movies().size(), 1u);
  EXPECT_EQ(debug.Text(), "");
}

TEST(ProjectFile, FailedSavesKeepTheOldFile) {
  TempFolder folder("obx");
  CProject project("/base");
  FillGoldenProject(project);
  DebugCapture debug;

  SCOPED_TRACE("folder that does not exist");
  EXPECT_FALSE(project.Save(folder / "no/such/folder/p.obx"));
  EXPECT_EQ(debug.Text(), "");

  const std::string file = folder / "p.obx";
  ASSERT_TRUE(WriteFileBytes(file, "old content"));

  SCOPED_TRACE("write error (file size limit standing in for a full disk)");
  {
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = project.Save(file);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(saved);
  }
  EXPECT_TRUE(debug.Contains("CProject::Save failed to write file"));
  EXPECT_EQ(ReadFileBytes(file), "old content");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);  // no temporary file left behind

  if (geteuid() != 0) {
    SCOPED_TRACE("read-only file");
    chmod(file.c_str(), 0444);
    EXPECT_FALSE(project.Save(file));
    EXPECT_EQ(ReadFileBytes(file), "old content");
    chmod(file.c_str(), 0644);
  }

  ASSERT_TRUE(project.Save(file));
  EXPECT_EQ(ReadFileBytes(file), AsWrittenNow(kGolden));
}

TEST(ProjectFile, TheNextSaveRemovesWhatInterruptedSavesOfThatFileLeft) {
  TempFolder folder("obx-leftovers");
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string dead = std::to_string(gone);
  const std::string mine = std::to_string(::getpid());
  // Saves killed part-way, in this version's form and the older one's.
  const std::vector<std::string> leftOvers = {".p.obx." + dead + "-3.part",
                                              "p.obx.~" + dead + "-12"};
  // A save still at work (this process, or one that runs), another
  // project's, and names that only look alike.
  const std::vector<std::string> kept = {".p.obx." + mine + "-1.part", "p.obx.~" + mine + "-2",
                                         ".other.obx." + dead + "-1.part",
                                         "other.obx.~" + dead + "-1", "p.obx.~" + dead,
                                         "p.obx.~" + dead + "-x", ".p.obx.part"};
  for (const auto& names : {leftOvers, kept})
    for (const std::string& name : names) ASSERT_TRUE(WriteFileBytes(folder / name, name));
  // A link under a left-over's name is not followed nor removed.
  const std::string linked = ".p.obx." + dead + "-4.part";
  std::filesystem::create_symlink(folder / kept[0], folder / linked);

  CProject project("/base");
  FillGoldenProject(project);
  ASSERT_TRUE(project.Save(folder / "p.obx"));
  for (const std::string& name : leftOvers) EXPECT_FALSE(std::filesystem::exists(folder / name));
  for (const std::string& name : kept) EXPECT_EQ(ReadFileBytes(folder / name), name);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / linked));
}

TEST(OutputSettings, DefaultsSettersAndElement) {
  CProject project("/base");
  EXPECT_EQ(project.Output().ToXml(), kSettings);
  project.SetHtmlFolder("/out");
  EXPECT_EQ(project.Output().htmlFolder, "/out/");
  project.SetIplFolder("/ipl/");
  EXPECT_EQ(project.Output().iplFolder, "/ipl/");
  project.SetThumbsFolder("");
  EXPECT_EQ(project.Output().thumbsFolder, "");
  project.SetIndexphotoFolder("rel\\dir");  // a backslash is a name character here
  EXPECT_EQ(project.Output().indexphotoFolder, "rel\\dir/");
  EXPECT_EQ(OutputSettings("/b/").thumbsFolder, "/b/Thumbs/");

  OutputSettings scale;
  for (float bad : {0.0f, -1.0f, 2.2f}) {
    scale.imagescale = bad;
    EXPECT_EQ(scale.EffectiveImageScale(), 1.0f);
  }
  scale.imagescale = 2.1f;
  EXPECT_EQ(scale.EffectiveImageScale(), 2.1f);
}

}  // namespace
}  // namespace ombrelo

namespace ombrelo {
namespace {

TEST(TagReader, TextValuesRoundTripWithoutMarkup) {
  const std::string values[] = {
      "",          "plain & simple", "a]]>b",    "<",       "]]>",     "<]]>",      "x]]]>y<",
      "<![CDATA[", "]]><<]]>",       "a<b<c>>d", "trail]]", "\r\n<\n", "]]]]>]]><",
  };
  for (const std::string& value : values) {
    const std::string written = TextValue(value);
    EXPECT_EQ(written.find('<'), std::string::npos) << written;
    std::istringstream in(written + "</x>");
    EXPECT_EQ(ReadTextValue(in), value) << written;
    EXPECT_EQ(ReadTag(in), "</x>") << written;
  }
  // Reading non-finite numbers that "%g" writes.
  std::istringstream numbers("inf<a>-inf<b>nan<c>");
  EXPECT_EQ(ReadDouble(numbers), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadTag(numbers), "<a>");
  EXPECT_EQ(ReadDouble(numbers), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadTag(numbers), "<b>");
  EXPECT_TRUE(std::isnan(ReadDouble(numbers)));
  EXPECT_EQ(ReadTag(numbers), "<c>");
  EXPECT_EQ(AtoI("  -12x"), -12);
  EXPECT_EQ(AtoI("99999999999"), INT32_MAX);
  EXPECT_EQ(AtoF(" 2.5e1z"), 25.0);
  EXPECT_EQ(AtoF("abc"), 0.0);
}

}  // namespace
}  // namespace ombrelo

namespace ombrelo {
namespace {

TEST(ProjectFileHostile, OnlyRegularFilesOfBoundedSizeAreRead) {
  TempFolder folder("hostile");
  CProject project("/base/");
  project.AddMovie("/v/kept.avi");
  const std::string fifo = folder / "project.fifo";  // no writer: opening for reading blocks
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = folder / "huge.obx";  // sparse: takes no room on the disk
  ASSERT_TRUE(WriteFileBytes(huge, kGolden));
  ASSERT_EQ(truncate(huge.c_str(), off_t{257} << 20), 0);
  const struct {
    std::string path, why;
  } cases[] = {
      {"/dev/zero", "not a regular file"},
      {fifo, "not a regular file"},
      {huge, "larger than 256 MB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    DebugCapture debug;
    EXPECT_FALSE(project.Load(c.path));
    EXPECT_TRUE(debug.Contains("CProject::Load failed. " + c.path + ": " + c.why + "\n"))
        << debug.Text();
    ASSERT_EQ(project.Movies().size(), 1u) << "the project is unchanged";
  }

  SCOPED_TRACE("a NUL in a value is dropped, so the project saves loadably");
  std::string text = kGolden;
  text.replace(text.find("warn & co"), 9, std::string("<![CDATA[warn\0co]]>", 20));
  ASSERT_TRUE(WriteFileBytes(huge, text));
  ASSERT_TRUE(project.Load(huge));
  EXPECT_EQ(project.Movies().front().error, "warnco");
  ASSERT_TRUE(project.Save(huge));
  EXPECT_TRUE(project.Load(huge));
}

TEST(ProjectFileHostile, ATemplateNamedOutsideTheTemplateFoldersIsNotTaken) {
  TempFolder folder("hostile");
  std::string text = kGolden;
  const std::string web = "<transform>gallery.xslt</transform>";
  text.replace(text.find(web), web.size(), "<transform>../../../tmp/evil.xslt</transform>");
  const std::string report = "<transform>report.xslt</transform>";
  text.replace(text.find(report), report.size(), "<transform>..</transform>");
  ASSERT_TRUE(WriteFileBytes(folder / "p.obx", text));
  CProject project("/base/");
  project.SetHtmlTransform("mine.xslt");
  DebugCapture debug;
  ASSERT_TRUE(project.Load(folder / "p.obx"));
  EXPECT_EQ(project.Output().htmlTransform, "mine.xslt");
  EXPECT_EQ(project.Output().reportTransform, "report.xslt");
  EXPECT_EQ(project.Output().indexphotoTransform, "index_transform.xslt");
  EXPECT_TRUE(debug.Contains("Template name refused: ../../../tmp/evil.xslt\n")) << debug.Text();
  // What sticks in the settings file is the name kept.
  EXPECT_EQ(project.FileText().find("evil"), std::string::npos);
}

}  // namespace
}  // namespace ombrelo
