// ombrelo-index's runs and what they make: thumbnails, pages, playlists,
// index photos and the saved project, in one process and in several.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <map>
#include <set>

#include "indexer_fixture.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/movie.h"
#include "project/playlist.h"
#include "project/project.h"
#include "project/report.h"
#include "render/xslt_service.h"
#include "support/combing.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using Result = testing::IndexerResult;
using testing::Contains;
using testing::FileExists;
using testing::IndexerTest;
using testing::LinkedFiles;
using testing::ReadFileBytes;
using testing::TestVideos;

TEST_F(IndexerTest, IndexesFilesAndFoldersWithTheOptionsAndSavesTheProject) {
  const std::string videos = folder_ / "videos/";
  std::filesystem::create_directories(videos + "sub");
  std::filesystem::copy_file(TestVideos::Get().Make("a.mp4"), videos + "a.mp4");
  std::filesystem::copy_file(TestVideos::Get().Make("b.mkv"), videos + "sub/b.MKV");
  ASSERT_TRUE(testing::WriteFileBytes(videos + "notes.txt", "not a video"));
  // A file named on the command line is taken whatever its name.
  const std::string odd = folder_ / "odd name.data";
  std::filesystem::copy_file(TestVideos::Get().Make("odd.mp4"), odd);

  const Result result =
      Run({"--out", "out", "--start-after", "1", "--every", "4", "--quality", "70", "--format",
           "bmp", "--no-html", "--save", "run.obx", "videos", odd});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::string out = folder_ / "out/";
  const std::vector<std::pair<std::string, std::string>> movies = {
      {videos + "a.mp4", "a"}, {videos + "sub/b.MKV", "b"}, {odd, "odd_name"}};
  for (const auto& [path, name] : movies) {
    SCOPED_TRACE(path);
    for (const int frame : {25, 125, 225}) {
      const std::string thumbnail = out + "Thumbs/" + name + "/" + name + "_0h00m0" +
                                    std::to_string(frame / 25) + ".000s.bmp";
      EXPECT_EQ(testvideo::ReadFrameNumberFromBmp(thumbnail), frame) << thumbnail;
    }
    const std::string base = PathBaseName(path);
    EXPECT_TRUE(FileExists(out + "Ipl/" + base + ".ipl"));
    EXPECT_TRUE(FileExists(out + "Index/" + base + ".jpg"));
    EXPECT_TRUE(Contains(result.out, path + ": done, 3 images, thumbnails " + out + "Thumbs/" +
                                         name + "/, playlist " + out + "Ipl/" + base +
                                         ".ipl, index photo " + out + "Index/" + base + ".jpg\n"))
        << result.out;
  }
  EXPECT_FALSE(FileExists(out + "Html"));
  EXPECT_FALSE(Contains(result.out, "notes.txt"));
  EXPECT_TRUE(Contains(result.out, "Grabbing from : " + videos + "a.mp4\n"));
  EXPECT_TRUE(result.err.empty()) << result.err;

  CProject saved("");
  ASSERT_TRUE(saved.Load(folder_ / "run.obx"));
  ASSERT_EQ(saved.Movies().size(), 3u);
  for (const Movie& movie : saved.Movies()) {
    EXPECT_EQ(movie.status, kMovieDone);
    EXPECT_EQ(movie.images.size(), 3u);
  }
  EXPECT_EQ(saved.Movies().front().path(), videos + "a.mp4");
  EXPECT_EQ(saved.Capture().imageformat, 1);
  EXPECT_EQ(saved.Capture().jpegquality, 70);
  EXPECT_EQ(saved.Capture().delaybetweensamples, 4.0);
  EXPECT_FALSE(saved.Output().htmlEnabled);
  EXPECT_EQ(saved.Output().thumbsFolder, out + "Thumbs/");
  // The run's temporary folder is gone.
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("ombrelo-index-", 0), std::string::npos);
  }
}

TEST_F(IndexerTest, VideosOfOneNameNeverShareAnOutputInARunAcrossRunsOrJobs) {
  const std::string videos[] = {folder_ / "a/x.mp4", folder_ / "b/x.mp4"};
  for (const std::string& video : videos) {
    std::filesystem::create_directories(paths::FolderOf(video));
    std::filesystem::copy_file(TestVideos::Get().Make("a.mp4"), video);
  }
  // Each run twice into its own folder: the second keeps the names.
  for (const std::string jobs : {"1", "1", "2", "2"}) {
    const std::string out = folder_ / ("jobs" + jobs + "/");
    const Result result =
        Run({"--jobs", jobs, "--out", out, "--every", "20", videos[0], videos[1]});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    for (const std::string name : {"x", "x-2"}) {
      // The playlist and page of one name are one video's, and so are all
      // three outputs the run lists for that video (an overwritten one or
      // a new name in the second run shows here).
      const std::string ipl = ReadFileBytes(out + "Ipl/" + name + ".ipl");
      const std::string& video =
          Contains(ipl, "<source>" + videos[0] + "<") ? videos[0] : videos[1];
      EXPECT_TRUE(Contains(ReadFileBytes(out + "Html/" + name + ".html"), paths::FolderOf(video)));
      const size_t line = result.out.find(video + ": done, ");
      EXPECT_LT(
          result.out.find(", playlist " + out + "Ipl/" + name + ".ipl, web page " + out + "Html/" +
                              name + ".html, index photo " + out + "Index/" + name + ".jpg\n",
                          line),
          result.out.find('\n', line))
          << result.out;
    }
  }
}

// Every file below a folder with its bytes, by its path inside the folder;
// the folder's own path inside the texts is replaced by "<out>".
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string bytes = ReadFileBytes(entry.path().string());
    for (size_t at; (at = bytes.find(folder)) != std::string::npos;) {
      bytes.replace(at, folder.size(), "<out>");
    }
    files[entry.path().lexically_relative(folder).string()] = std::move(bytes);
  }
  return files;
}

TEST_F(IndexerTest, TwoJobsMakeTheSameOutputsAsOne) {
  // Names with blanks and letters outside ASCII keep them in their
  // thumbnails, whichever process takes them.
  const std::vector<std::string> videos = {
      TestVideos::Get().Make("a.mp4"), TestVideos::Get().Make("b.mkv"),
      TestVideos::Get().Make("c.avi", 250, "mpeg4"), TestVideos::Get().Make("d é.mp4", 100),
      TestVideos::Get().Make("e ü.mp4", 100)};
  std::map<std::string, std::string> outputs[2];
  std::string summaries[2];
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string name = "jobs" + std::to_string(jobs);
    std::vector<std::string> args = {"--jobs", std::to_string(jobs), "--out", name, "--every", "3",
                                     "--save", name + "/run.obx"};
    args.insert(args.end(), videos.begin(), videos.end());
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    for (const std::string& video : videos) {
      EXPECT_TRUE(Contains(result.out, "Indexed " + video + " (")) << result.out;
    }
    outputs[jobs - 1] = FilesBelow(folder_ / name);
    // The summary in list order, whichever movie finished first.
    summaries[jobs - 1] = result.out.substr(result.out.find(videos.front() + ": done"));
    for (size_t at; (at = summaries[jobs - 1].find(name)) != std::string::npos;) {
      summaries[jobs - 1].replace(at, name.size(), "<out>");
    }
  }
  EXPECT_EQ(summaries[0], summaries[1]);
  EXPECT_EQ(outputs[0].size(), outputs[1].size());
  EXPECT_GT(outputs[0].size(), 5u * 4u);
  // Thumbnails, pages, playlists and index photos.
  EXPECT_TRUE(outputs[1].count("Thumbs/e_ü/e_ü_0h00m02.040s.jpg"));
  for (const auto& [path, bytes] : outputs[0]) {
    const auto other = outputs[1].find(path);
    ASSERT_NE(other, outputs[1].end()) << path;
    EXPECT_TRUE(other->second == bytes) << path;
  }
}

TEST_F(IndexerTest, SkipBlankReplacesBlackThumbnailsByTheFirstFrameAfterThem) {
  // Black stretches (no frame number: -1) over the samples at frames 25, 75,
  // 125 and 225 of 25 a second; the one at 125 outlasts half of 50 frames.
  testvideo::VideoOptions o = testing::SmallVideo(300);
  o.blackFrames = {{20, 30}, {75, 79}, {120, 160}, {224, 226}};
  for (const char* name : {"dark.mp4", "dark copy.mp4"}) {
    o.path = folder_ / name;
    ASSERT_TRUE(testvideo::Generate(o));
  }
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> times;  // of the thumbnails, in their names
    std::vector<int> frames;         // drawn in them
  };
  const Case cases[] = {
      {{"--every", "2"},
       {"01.000", "03.000", "05.000", "07.000", "09.000", "11.000"},
       {-1, -1, -1, 175, -1, 275}},
      {{"--every", "2", "--skip-blank", "--jobs", "2"},
       {"01.240", "03.200", "05.000", "07.000", "09.080", "11.000"},
       {31, 80, -1, 175, 227, 275}},
      // Samples 100 frames apart, seeking between them: 50 frames are looked at.
      {{"--every", "4", "--skip-blank", "--jobs", "1"},
       {"01.240", "06.440", "09.080"},
       {31, 161, 227}},
  };
  for (const Case& c : cases) {
    const std::string out = "out" + std::to_string(&c - cases);
    std::vector<std::string> args = {
        "--out", out, "--start-after", "1", "--no-html", "--no-playlist", "--no-index-photo"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {folder_ / "dark.mp4", folder_ / "dark copy.mp4"});
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::vector<int> frames;
    for (const std::string& time : c.times) {
      const std::string thumbnail = folder_ / (out + "/Thumbs/dark/dark_0h00m" + time + "s.jpg");
      frames.push_back(FileExists(thumbnail) ? testvideo::ReadFrameNumberFromJpeg(thumbnail) : -2);
    }
    EXPECT_EQ(frames, c.frames) << out;
    // Those and the folder's marker file.
    EXPECT_EQ(FilesBelow(folder_ / (out + "/Thumbs/dark")).size(), c.times.size() + 1) << out;
  }
}

// The combing of a thumbnail's luma.
double Combing(const QImage& picture) {
  const QImage luma = picture.convertToFormat(QImage::Format_Grayscale8);
  return testing::Combing(luma.constBits(), luma.width(), luma.height(),
                          static_cast<int>(luma.bytesPerLine()));
}

TEST_F(IndexerTest, InterlacedVideoIsDeinterlacedUnlessNoDeinterlaceIsGivenAndSaved) {
  // A sideways scroll woven two pictures to a frame, as a camcorder records.
  const std::string video = folder_ / "camcorder.mpg";
  const std::string make =
      "ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=720x576:r=50:d=1 -vf "
      "scroll=h=0.01,tinterlace=interleave_top -c:v mpeg2video -flags +ildct+ilme -top 1 "
      "-q:v 2 '" +
      video + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  for (const bool off : {false, true}) {
    SCOPED_TRACE(off ? "--no-deinterlace" : "the default");
    const std::string out = off ? "combed" : "clean";
    std::vector<std::string> args = {"--out=" + out, "--save=" + out + ".obx", "--start-after=0.4",
                                     "--no-index-photo", video};
    if (off) args.insert(args.begin(), "--no-deinterlace");
    const Result result = Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    QImage picture;  // the one thumbnail (beside the folder's marker file)
    for (const auto& [name, bytes] : FilesBelow(folder_ / (out + "/Thumbs/camcorder")))
      if (name.ends_with(".jpg")) picture = QImage::fromData(QByteArray::fromStdString(bytes));
    ASSERT_FALSE(picture.isNull());
    if (off)
      EXPECT_GT(Combing(picture), 2.0);
    else
      EXPECT_LT(Combing(picture), 1.1);
    EXPECT_EQ(Contains(ReadFileBytes(folder_ / (out + ".obx")), "<deinterlace>0</deinterlace>"),
              off);
  }
}

TEST_F(IndexerTest, NamesOfEveryScriptRoundTripThroughEveryOutputAndTheProject) {
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  struct Case {
    const char* file;
    const char* codec;
    const char* folder;  // of the thumbnails
  };
  const Case cases[] = {
      {"plain.mp4", "", "plain"},
      {"Café – night walk.avi", "mpeg4", "Café_–_night_walk"},
      {"Ελλάδα beach.webm", "vp9", "Ελλάδα_beach"},
      {"東京 夜景.mp4", "", "東京_夜景"},
      {"say \"cheese\" 'now'.mkv", "", "say_\"cheese\"_'now'"},
      {"take #2 & 50%.mp4", "", "take_#2_&_50%"},
  };
  std::vector<std::string> args = {"--out",  "out",         "--jobs",  "2",
                                   "--save", "out/run.obx", "--least", "3"};
  for (const Case& c : cases) {
    args.push_back(TestVideos::Get().Make(c.file, 75, c.codec));
    ASSERT_FALSE(args.back().empty());
  }
  const Result result = Run(args);
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(result.err.empty()) << result.err;

  CProject project("");
  ASSERT_TRUE(project.Load(folder_ / "out/run.obx"));
  ASSERT_EQ(project.Movies().size(), std::size(cases));
  const std::string thumbs = folder_ / "out/Thumbs/";
  int plainPhotoHeight = 0;
  auto movie = project.Movies().begin();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(movie->status, kMovieDone) << movie->error;
    EXPECT_EQ(movie->error, "");  // no rename message
    EXPECT_GE(movie->images.size(), 3u);
    const std::set<std::string> linked = LinkedFiles(movie->html);
    std::vector<PlaylistEntry> listed;
    std::string error;
    ASSERT_TRUE(ReadPlaylistText(ReadFileBytes(movie->ipl), &listed, &error)) << error;
    ASSERT_EQ(listed.size(), movie->images.size());
    for (size_t i = 0; i < listed.size(); ++i) {
      const ImageEntry& image = movie->images[i];
      EXPECT_EQ(paths::FolderOf(image.path), thumbs + c.folder + "/");
      EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(image.path), static_cast<int>(image.frame));
      EXPECT_EQ(listed[i].file, image.path);
      EXPECT_EQ(listed[i].source, movie->path());
      EXPECT_TRUE(linked.count(image.path)) << image.path;
    }
    EXPECT_TRUE(linked.count(movie->ipl)) << movie->ipl;
    EXPECT_TRUE(linked.count(movie->indexphoto)) << movie->indexphoto;
    // The index photo shows the thumbnails: it is as tall as the plain
    // name's, which a sheet whose pictures did not load is not.
    const QImage photo(QString::fromStdString(movie->indexphoto));
    ASSERT_FALSE(photo.isNull());
    if (plainPhotoHeight == 0) plainPhotoHeight = photo.height();
    EXPECT_EQ(photo.height(), plainPhotoHeight);
    ++movie;
  }

  // The report links every movie's outputs.
  std::string reportFailure;
  const std::string report = folder_ / "out/report.html";
  ASSERT_EQ(WriteProjectReport(project, report, TransformForReport, &reportFailure),
            ReportResult::kWritten);
  const std::set<std::string> reported = LinkedFiles(report);
  for (const Movie& m : project.Movies()) {
    EXPECT_TRUE(reported.count(m.html)) << m.html;
  }

  // Saved and opened again, the project is the same.
  ASSERT_TRUE(project.Save(folder_ / "out/again.obx"));
  CProject reopened("");
  ASSERT_TRUE(reopened.Load(folder_ / "out/again.obx"));
  EXPECT_EQ(reopened.FileText(), project.FileText());
  EXPECT_EQ(reopened.Movies().back().images, project.Movies().back().images);
}

TEST_F(IndexerTest, ManyThumbnailsMakeAnIndexPhotoInPartsOfUsefulSize) {
  SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR);
  // 320 x 240 frames at the default image scale of one half: thumbnails of
  // 160 x 120 on the page, one of every frame.
  testvideo::VideoOptions options = testing::SmallVideo(300);
  options.width = 320;
  options.height = 240;
  const std::string video = TestVideos::Get().Make(options, "dense.mp4");
  const std::string few = TestVideos::Get().Make("few.mp4", 50);
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("jobs ") + jobs);
    const std::string out = std::string("out") + jobs;
    const Result result = Run({"--jobs", jobs, "--out", out, "--start-after", "0", "--every",
                               "0.04", "--save", out + "/run.obx", video, few});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

    CProject project("");
    ASSERT_TRUE(project.Load(folder_ / (out + "/run.obx")));
    ASSERT_EQ(project.Movies().size(), 2u);
    const Movie& dense = project.Movies().front();
    EXPECT_EQ(dense.status, kMovieDone) << dense.error;
    ASSERT_EQ(dense.images.size(), 300u);
    const std::vector<std::string> parts = dense.IndexPhotoFiles();
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[1], IndexPhotoPartPath(dense.indexphoto, 2));
    // The contact sheet is three cells of the thumbnail, 8 px of padding and
    // a 1 px border on each side, with 10 px around them: a picture this
    // wide shows its thumbnails at full size, 160 px.
    const int sheetWidth = 3 * (160 + 18) + 4 * 10;
    for (const std::string& part : parts) {
      SCOPED_TRACE(part);
      const QImage photo(QString::fromStdString(part));
      ASSERT_FALSE(photo.isNull());
      EXPECT_GE(photo.width(), sheetWidth);
      EXPECT_LE(photo.width(), 16384);
      EXPECT_LE(photo.height(), 16384);
    }
    // The page and the report name every part.
    const std::set<std::string> linked = LinkedFiles(dense.html);
    std::string reportFailure;
    const std::string report = folder_ / (out + "/report.html");
    ASSERT_EQ(WriteProjectReport(project, report, TransformForReport, &reportFailure),
              ReportResult::kWritten);
    const std::set<std::string> reported = LinkedFiles(report);
    for (const std::string& part : parts) {
      EXPECT_TRUE(linked.count(part)) << part;
      EXPECT_TRUE(reported.count(part)) << part;
    }
    // A video of few thumbnails keeps one picture, and its record its form.
    const Movie& one = project.Movies().back();
    EXPECT_FALSE(one.indexphoto.empty());
    EXPECT_TRUE(one.indexphotoParts.empty());
    EXPECT_EQ(one.ToXml().find("indexphoto_parts"), std::string::npos);
  }
}

}  // namespace
}  // namespace ombrelo
