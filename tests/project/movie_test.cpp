#include "project/movie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "project/project.h"
#include "project/tag_reader.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::DebugCapture;
using testing::TempFolder;
using testing::WriteFileBytes;

int32_t LastId(const CProject& project) { return project.Movies().back().id(); }

TEST(MovieList, AddingAPathAgainRequeuesItAtTheEnd) {
  CProject project("/base");
  project.UpdateCapture([&](CaptureSettings& c) { c.jpegquality = 42; });
  project.AddMovie("/v/a.avi");
  project.AddMovie("/v/b.avi");
  project.AddMovie("/v/A.avi");  // differs only in case: another movie
  const Movie& a = project.Movies().front();
  const int32_t oldId = a.id();
  project.SetMovieStatus(oldId, kMovieDone);
  project.RecordImage(oldId, {"/t/a.jpg", 1, 1.0});
  EXPECT_EQ(a.captureSettings.jpegquality, 42);

  project.AddMovie("/v/a.avi");
  ASSERT_EQ(project.Movies().size(), 3u);
  const Movie& again = project.Movies().back();
  EXPECT_EQ(again.path(), "/v/a.avi");
  EXPECT_NE(again.id(), oldId);
  EXPECT_EQ(again.status, kMovieWaiting);
  EXPECT_TRUE(again.images.empty());
  EXPECT_EQ(project.Movies().front().path(), "/v/b.avi");
  EXPECT_FALSE(project.HasMovie(oldId));

  project.RemoveMovie("/v/nothing.avi");
  project.RemoveMovie("/v/a.AVI");
  EXPECT_EQ(project.Movies().size(), 3u);
  project.RemoveMovie("/v/b.avi");
  ASSERT_EQ(project.Movies().size(), 2u);
  EXPECT_EQ(project.Movies().front().path(), "/v/A.avi");

  project.SetMovieStatus(LastId(project), kMovieDone);
  project.SetMovieStatus(-5, kMovieDone);
  EXPECT_EQ(project.Movies().back().status, kMovieDone);
  EXPECT_EQ(project.Movies().front().status, kMovieWaiting);

  project.ClearMovies();
  EXPECT_TRUE(project.Movies().empty());
}

TEST(MovieList, UnknownIdFindsNothingAndIsNotedNotShown) {
  // The project library has no way to show a box: a read by a wrong id
  // gives null to its caller and leaves a line for the developer.
  DebugCapture debug;
  CProject project("/base");
  project.AddMovie("/v/a.avi");
  const int32_t unknown = LastId(project) + 1000;

  EXPECT_EQ(project.FindMovie(unknown), nullptr);
  EXPECT_EQ(project.FindMovie(-1), nullptr);
  EXPECT_TRUE(debug.Contains("Internal error: invalid movie id " + std::to_string(unknown) + "\n"));
  EXPECT_TRUE(debug.Contains("Internal error: invalid movie id -1\n"));
  EXPECT_EQ(project.MovieById(unknown), nullptr);
  EXPECT_EQ(project.FindMovie(LastId(project))->path(), "/v/a.avi");
}

TEST(MovieList, LookupsFollowAddsRemovesReloadsAndDuplicatePaths) {
  CProject project("/base");
  for (const char* path : {"/v/a.avi", "/v/b.avi", "/v/c.avi"}) project.AddMovie(path);
  std::vector<int32_t> ids;
  for (const Movie& movie : project.Movies()) ids.push_back(movie.id());

  project.RemoveMovie("/v/b.avi");
  EXPECT_EQ(project.MovieById(ids[1]), nullptr);
  EXPECT_EQ(project.MovieById(ids[2])->path(), "/v/c.avi");
  project.AddMovie("/v/a.avi");  // re-queued: a new record at the end
  EXPECT_EQ(project.MovieById(ids[0]), nullptr);
  EXPECT_EQ(project.FindMovie(LastId(project))->path(), "/v/a.avi");
  project.SetMovieStatus(ids[2], kMovieDone);
  EXPECT_EQ(project.MovieById(ids[2])->status, kMovieDone);

  // A file may hold one path twice: removing takes the first in list order,
  // and the second is still found by its id and its path.
  TempFolder folder("lookups");
  const std::string file = folder / "twice.obx";
  CProject writer("/base");
  writer.AddMovie("/v/x.avi");
  writer.AddMovie("/v/y.avi");
  std::string text = writer.FileText();
  const size_t y = text.find("/v/y.avi");
  text.replace(y, 8, "/v/x.avi");
  ASSERT_TRUE(WriteFileBytes(file, text));
  ASSERT_TRUE(project.Load(file));
  ASSERT_EQ(project.Movies().size(), 2u);
  EXPECT_EQ(project.MovieById(ids[2]), nullptr);
  const int32_t second = project.Movies().back().id();
  project.RemoveMovie("/v/x.avi");
  ASSERT_EQ(project.Movies().size(), 1u);
  EXPECT_EQ(project.Movies().front().id(), second);
  EXPECT_EQ(project.FindMovie(second)->path(), "/v/x.avi");
  project.RemoveMovie("/v/x.avi");
  EXPECT_TRUE(project.Movies().empty());
  EXPECT_EQ(project.MovieById(second), nullptr);
}

TEST(Movie, RecordOperationsAndCopies) {
  Movie movie("/v/a.avi", CaptureSettings{});
  const Movie other("/v/b.avi", CaptureSettings{});
  EXPECT_NE(movie.id(), other.id());
  // Nothing is known about the frames before the video is opened.
  EXPECT_EQ(movie.videoFormat.biSize, 0u);
  EXPECT_EQ(movie.videoFormat.biPlanes, 0u);
  EXPECT_EQ(movie.videoFormat.biWidth, 0);

  movie.SetError("first");
  movie.SetError("second");
  EXPECT_EQ(movie.error, "firstsecond");  // no separator added
  EXPECT_EQ(movie.status, kMovieFailed);

  movie.AddImage({"/t/1.jpg", 1, 0.5});
  movie.AddImage({"/t/2.jpg", 2, 1.5});
  movie.AddImage({"/t/1.jpg", 3, 2.5});
  EXPECT_EQ(movie.ImagePath(1), "/t/2.jpg");
  EXPECT_EQ(movie.ImagePath(3), "");
  movie.RemoveImage("/t/1.JPG");
  movie.RemoveImage("/t/1.jpg");
  ASSERT_EQ(movie.images.size(), 2u);
  EXPECT_EQ(movie.images[1].frame, 3u);  // only the first match went

  movie.thumbPrefix = "/t/a/a";
  movie.thumbPrefixBase = "/t/";
  Movie copy(movie);
  EXPECT_EQ(copy.id(), movie.id());
  EXPECT_EQ(copy.images, movie.images);
  EXPECT_EQ(copy.error, movie.error);
  EXPECT_EQ(copy.thumbPrefix, "");
  EXPECT_EQ(copy.thumbPrefixBase, "");
  Movie assigned("/v/c.avi", CaptureSettings{});
  assigned.thumbPrefix = "/x/c/c";
  assigned = movie;
  EXPECT_EQ(assigned.id(), movie.id());
  EXPECT_EQ(assigned.path(), "/v/a.avi");
  EXPECT_EQ(assigned.thumbPrefix, "");
}

TEST(Movie, TextFormsAndTimeSplit) {
  struct TitleCase {
    const char* path;
    const char* title;
  } titles[] = {
      {"/videos/clip.avi", "clip.avi"},
      {"clip.avi", "clip.avi"},
      {"/clip.avi", "/clip.avi"},  // the only separator is the first character
      {"C:\\videos\\clip.avi", "C:\\videos\\clip.avi"},  // a backslash is a name character
      {"/v/x/", ""},
  };
  for (const auto& c : titles) {
    EXPECT_EQ(Movie(c.path, CaptureSettings{}).Title(), c.title) << c.path;
  }

  struct LengthCase {
    double seconds;
    const char* text;
  } lengths[] = {
      {3725.5, "1:02:05.500"},  {59.9996, "0:01:00.000"},  {0.0, "0:00:00.000"},
      {59.9994, "0:00:59.999"}, {90000.0, "25:00:00.000"}, {0.0015, "0:00:00.002"},
  };
  Movie movie("/v/a.avi", CaptureSettings{});
  for (const auto& c : lengths) {
    movie.SetLength(c.seconds);
    EXPECT_EQ(movie.LengthText(), c.text) << c.seconds;
  }

  const TimeParts t = SplitTime(5.004);
  EXPECT_EQ(t.seconds, 5u);
  EXPECT_EQ(t.milliseconds, 4u);
  // Values that have no 32-bit form give zeros rather than undefined ones.
  const TimeParts nan = SplitTime(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(nan.hours + nan.minutes + nan.seconds + nan.milliseconds, 0u);
  const TimeParts huge = SplitTime(1e300);
  EXPECT_EQ(huge.hours + huge.minutes + huge.seconds + huge.milliseconds, 0u);

  movie.SetSize(0xFFFFFFFFu);
  EXPECT_EQ(movie.SizeText(), "-1");
  movie.SetSize(2048);
  EXPECT_EQ(movie.SizeText(), "2048");
  movie.videoFormat.biWidth = 720;
  movie.videoFormat.biHeight = -576;
  EXPECT_EQ(movie.WidthText(), "720");
  EXPECT_EQ(movie.HeightText(), "-576");
}

TEST(MovieXml, ElementFormAndOldImageEntries) {
  Movie movie("/v/a&b.avi", CaptureSettings{});
  EXPECT_EQ(movie.ToXml(),
            "<movie><status>0</status><length>0</length><size>0</size><path>/v/a&amp;b.avi</path>"
            "<error></error><html></html><ipl></ipl><indexphoto></indexphoto><image_list>"
            "<width>0</width><height>0</height></image_list></movie>\n");

  std::istringstream in(
      "<movie><status>3</status><length>1.5</length><size>4294967295</size><path>/v/x.avi</path>"
      "<error>bad & worse</error><html>/h.html</html><ipl></ipl><indexphoto>/i.jpg</indexphoto>"
      "<image_list>\n<width>320abc</width><height> 240</height>"
      "<image>/t/old.jpg</image>"
      "<image><path>/t/new.jpg</path><frame>77</frame><time>3.25</time></image>\n"
      "</image_list></movie>");
  Movie read;
  read.ReadXml(in);
  EXPECT_EQ(read.status, 3);
  EXPECT_EQ(read.length, 1.5);
  EXPECT_EQ(read.size, 4294967295u);
  EXPECT_EQ(read.path(), "/v/x.avi");
  EXPECT_EQ(read.error, "bad & worse");
  EXPECT_EQ(read.indexphoto, "/i.jpg");
  EXPECT_EQ(read.videoFormat.biWidth, 320);  // like atoi
  EXPECT_EQ(read.videoFormat.biHeight, 240);
  ASSERT_EQ(read.images.size(), 2u);
  EXPECT_EQ(read.images[0], (ImageEntry{"/t/old.jpg", 0, 0.0}));
  EXPECT_EQ(read.images[1], (ImageEntry{"/t/new.jpg", 77, 3.25}));
}

TEST(MovieXml, MalformedElementsThrowTheirTexts) {
  struct Case {
    const char* name;
    const char* xml;
    const char* error;
  } cases[] = {
      {"blank between image and path",
       "<movie><status>0</status><length>0</length><size>0</size><path>p</path><error></error>"
       "<html></html><ipl></ipl><indexphoto></indexphoto><image_list><width>0</width>"
       "<height>0</height><image> <path>p</path><frame>1</frame><time>1</time></image>"
       "</image_list></movie>",
       "Format error : missing </image>"},
      {"foreign tag in the image list",
       "<movie><status>0</status><length>0</length><size>0</size><path>p</path><error></error>"
       "<html></html><ipl></ipl><indexphoto></indexphoto><image_list><width>0</width>"
       "<height>0</height><picture></image_list></movie>",
       "Missing </image_list>"},
      {"status that is no number", "<movie><status>x</status>", "Format error : missing </status>"},
      {"missing error element",
       "<movie><status>0</status><length>0</length><size>0</size><path>p</path><html>",
       "Format error : missing <error>"},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.xml);
    Movie movie;
    try {
      movie.ReadXml(in);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const TagFormatError& e) {
      EXPECT_STREQ(e.what(), c.error) << c.name;
    }
  }
}

TEST(MovieXml, StringsWithLessThanRoundTrip) {
  Movie movie("/v/a<b>.avi", CaptureSettings{});
  movie.SetError("open </path> failed ]]> twice ]]>");
  movie.SetHtml("<");
  movie.SetIpl("x]]>y<");
  movie.AddImage({"/t/<1>.jpg", 5, 0.25});
  movie.AddImage({"/t/plain & simple.jpg", 6, 0.5});
  const std::string xml = movie.ToXml();
  // Markup characters are written as references.
  EXPECT_NE(xml.find("<path>/t/plain &amp; simple.jpg</path>"), std::string::npos);
  EXPECT_NE(xml.find("<path>/v/a&lt;b&gt;.avi</path>"), std::string::npos);

  std::istringstream in(xml);
  Movie read;
  read.ReadXml(in);
  EXPECT_EQ(read.path(), movie.path());
  EXPECT_EQ(read.error, movie.error);
  EXPECT_EQ(read.html, movie.html);
  EXPECT_EQ(read.ipl, movie.ipl);
  EXPECT_EQ(read.images, movie.images);

  std::istringstream cut("<![CDATA[never closed");
  EXPECT_THROW(ReadTextValue(cut), TagFormatError);
}

}  // namespace
}  // namespace ombrelo

namespace ombrelo {
namespace {

TEST(MovieXml, AnIndexPhotoInPartsKeepsThemAndOtherRecordsKeepTheirForm) {
  EXPECT_EQ(IndexPhotoPartPath("/o/my.clip.jpg", 1), "/o/my.clip.jpg");
  EXPECT_EQ(IndexPhotoPartPath("/o/my.clip.jpg", 2), "/o/my.clip-2.jpg");
  EXPECT_EQ(IndexPhotoPartPath("/o.d/photo", 12), "/o.d/photo-12");

  Movie movie("/v/clip.avi", CaptureSettings{});
  movie.SetIndexphoto("/o/clip.jpg", {"/o/clip-2.jpg", "/o/clip & co-3.jpg"});
  const std::string xml = movie.ToXml();
  EXPECT_NE(xml.find("<indexphoto>/o/clip.jpg</indexphoto><indexphoto_parts><path>/o/clip-2.jpg"
                     "</path><path>/o/clip &amp; co-3.jpg</path></indexphoto_parts><image_list>"),
            std::string::npos)
      << xml;
  std::istringstream in(xml);
  Movie read;
  read.ReadXml(in);
  EXPECT_EQ(read.IndexPhotoFiles(),
            (std::vector<std::string>{"/o/clip.jpg", "/o/clip-2.jpg", "/o/clip & co-3.jpg"}));
  EXPECT_EQ(Movie(read).indexphotoParts, read.indexphotoParts);

  // A record without parts (every older file) reads and writes as before.
  Movie single("/v/one.avi", CaptureSettings{});
  single.SetIndexphoto("/o/one.jpg");
  std::istringstream plain(single.ToXml());
  EXPECT_EQ(single.ToXml().find("indexphoto_parts"), std::string::npos);
  read.ReadXml(plain);
  EXPECT_TRUE(read.indexphotoParts.empty());
  EXPECT_EQ(read.IndexPhotoFiles(), std::vector<std::string>{"/o/one.jpg"});

  // A photo that failed takes its parts with it.
  movie.SetIndexphoto("", {"/o/clip-2.jpg"});
  EXPECT_TRUE(movie.IndexPhotoFiles().empty());
  EXPECT_TRUE(movie.indexphotoParts.empty());

  // A broken list of parts is a format error.
  std::string broken = xml;
  broken.replace(broken.find("</indexphoto_parts>"), 19, "<x>");
  std::istringstream bad(broken);
  EXPECT_THROW(read.ReadXml(bad), TagFormatError);
}

}  // namespace
}  // namespace ombrelo
