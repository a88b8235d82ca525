// ombrelo-index on a collection split into parts (--shard) and the parts
// joined again (--merge).
#include <gtest/gtest.h>

#include <QJsonObject>
#include <filesystem>
#include <map>
#include <set>

#include "indexer_fixture.h"
#include "platform/data_folder.h"
#include "platform/paths.h"
#include "project/project.h"
#include "project/report.h"
#include "render/xslt_service.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using Result = testing::IndexerResult;
using testing::Contains;
using testing::FileExists;
using testing::IndexerTest;
using testing::JsonLines;
using testing::LinkedFiles;
using testing::ReadFileBytes;
using testing::TestVideos;

// Indexes one part of the collection; the paths of the videos it indexed.
std::set<std::string> IndexedPaths(const Result& result) {
  std::set<std::string> paths;
  for (const QJsonObject& movie : JsonLines(result.out))
    paths.insert(movie["path"].toString().toStdString());
  return paths;
}

// The videos of a collection below root, each file's name below it; the one
// named broken.mp4 is no video.
void FillCollection(const std::string& root, const std::vector<std::string>& files) {
  for (const std::string& name : files) {
    std::filesystem::create_directories(paths::FolderOf(root + name));
    if (name == "broken.mp4") {
      ASSERT_TRUE(testing::WriteFileBytes(root + name, "no video"));
    } else {
      std::filesystem::copy_file(TestVideos::Get().Make(PathBaseName(name) + ".mp4", 50),
                                 root + name);
    }
  }
}

// Every movie of a joined project with its results: its thumbnail and its
// page; broken.mp4 failed with a reason.
void ExpectEveryMovieWithItsResults(const CProject& all) {
  for (const Movie& movie : all.Movies()) {
    SCOPED_TRACE(movie.path());
    if (movie.Title() == "broken.mp4") {
      EXPECT_EQ(movie.status, kMovieFailed);
      EXPECT_FALSE(movie.error.empty());
      continue;
    }
    EXPECT_EQ(movie.status, kMovieDone) << movie.error;
    ASSERT_EQ(movie.images.size(), 1u);
    EXPECT_EQ(testvideo::ReadFrameNumberFromJpeg(movie.images[0].path),
              static_cast<int>(movie.images[0].frame));
    EXPECT_TRUE(FileExists(movie.html));
  }
}

// The report of the joined project links every page and names the failure.
void ExpectTheReportLinksEveryPage(const CProject& all, const std::string& report) {
  struct SourceData {  // the report template, for this test only
    SourceData() { SetApplicationDataFolder(OMBRELO_SOURCE_DATA_DIR); }
    ~SourceData() { SetApplicationDataFolder(""); }
  } sourceData;
  std::string reportFailure;
  ASSERT_EQ(WriteProjectReport(all, report, TransformForReport, &reportFailure),
            ReportResult::kWritten);
  const std::set<std::string> reported = LinkedFiles(report);
  for (const Movie& movie : all.Movies()) {
    if (movie.status == kMovieDone) {
      EXPECT_TRUE(reported.count(movie.html)) << movie.html;
    }
  }
}

TEST_F(IndexerTest, ShardsPartitionACollectionStablyAndMergeIntoOneProject) {
  const std::vector<std::string> names = {"a.mp4",          "b.mp4", "sub/c.mkv", "sub/d.mp4",
                                          "sub/deep/e.mp4", "f.mp4", "broken.mp4"};
  const std::string first = folder_ / "collection/";
  FillCollection(first, names);
  constexpr int kParts = 3;
  std::map<std::string, int> partOf;  // by path below the collection
  for (int k = 1; k <= kParts; ++k) {
    const std::string part = "part-" + std::to_string(k) + ".obx";
    const Result result = Run({"--shard", std::to_string(k) + "/" + std::to_string(kParts),
                               "--save", part, "--json", "--jobs", k == 2 ? "2" : "1", "--out",
                               "out", "--every", "20", "--no-index-photo", "collection"});
    EXPECT_LE(result.exitCode, 1) << result.err;
    for (const std::string& path : IndexedPaths(result)) {
      ASSERT_EQ(path.rfind(first, 0), 0u) << path;
      EXPECT_TRUE(partOf.emplace(path.substr(first.size()), k).second) << path << " twice";
    }
    CProject saved("");
    ASSERT_TRUE(saved.Load(folder_ / part)) << part;
  }
  ASSERT_EQ(partOf.size(), names.size());  // each video in exactly one part

  // The same collection elsewhere, with videos added: no video changes part.
  const std::string second = folder_ / "moved/collection/";
  FillCollection(second, names);
  FillCollection(second, {"g.mp4", "sub/h.mp4"});
  std::map<std::string, int> moved;
  for (int k = 1; k <= kParts; ++k) {
    const Result result = Run({"--shard", std::to_string(k) + "/" + std::to_string(kParts),
                               "--json", "--out", "out2", "--every", "20", "--no-index-photo",
                               "--no-html", "--no-playlist", "moved/collection"});
    for (const std::string& path : IndexedPaths(result)) moved[path.substr(second.size())] = k;
  }
  EXPECT_EQ(moved.size(), names.size() + 2);
  for (const auto& [name, part] : partOf) EXPECT_EQ(moved[name], part) << name;

  // The parts joined: every movie once, with its results.
  const Result merged =
      Run({"--merge", "all.obx", "part-1.obx", "part-2.obx", "part-3.obx", "--json"});
  EXPECT_EQ(merged.exitCode, 1) << merged.err;  // broken.mp4 failed
  EXPECT_EQ(JsonLines(merged.out).size(), names.size());
  CProject all("");
  ASSERT_TRUE(all.Load(folder_ / "all.obx"));
  ASSERT_EQ(all.Movies().size(), names.size());
  ASSERT_NO_FATAL_FAILURE(ExpectEveryMovieWithItsResults(all));
  ASSERT_NO_FATAL_FAILURE(ExpectTheReportLinksEveryPage(all, folder_ / "report.html"));

  // A project file there already is never replaced.
  const std::string before = ReadFileBytes(folder_ / "all.obx");
  const Result again = Run({"--merge", "all.obx", "part-1.obx"});
  EXPECT_EQ(again.exitCode, 2);
  EXPECT_TRUE(Contains(again.err, "'all.obx' exists already")) << again.err;
  EXPECT_EQ(ReadFileBytes(folder_ / "all.obx"), before);
  // A part that cannot be read writes nothing.
  const Result unreadable = Run({"--merge", "none.obx", "part-1.obx", "missing.obx"});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_TRUE(Contains(unreadable.err, "cannot read the project file 'missing.obx'"));
  EXPECT_FALSE(FileExists(folder_ / "none.obx"));

  // A video in two parts is kept once: a record that is done or failed wins
  // over one that is waiting, whichever part comes first.
  CProject stale("");
  ASSERT_TRUE(stale.Load(folder_ / "all.obx"));
  for (const Movie& movie : stale.Movies()) {
    stale.UpdateMovie(movie.id(), [](Movie& m) {
      m.status = kMovieWaiting;
      m.images.clear();
    });
  }
  ASSERT_TRUE(stale.Save(folder_ / "stale.obx"));
  const Result twice =
      Run({"--merge", "twice.obx", "stale.obx", "part-1.obx", "part-2.obx", "part-3.obx"});
  EXPECT_TRUE(Contains(twice.err, "is in more than one part; kept once, from 'part-")) << twice.err;
  CProject joined("");
  ASSERT_TRUE(joined.Load(folder_ / "twice.obx"));
  ASSERT_EQ(joined.Movies().size(), names.size());
  auto expected = all.Movies().begin();
  for (const Movie& movie : joined.Movies()) {
    EXPECT_EQ(movie.path(), expected->path());  // the order of the first part
    EXPECT_EQ(movie.status, expected->status);
    EXPECT_EQ(movie.images, expected->images);
    ++expected;
  }
}

TEST_F(IndexerTest, APartWithoutVideosSavesAnEmptyProjectThatMergesCleanly) {
  std::filesystem::create_directories(folder_ / "one");
  std::filesystem::copy_file(TestVideos::Get().Make("a.mp4", 50), folder_ / "one/a.mp4");
  int indexed = 0;
  for (const std::string k : {"1", "2"}) {
    const Result result = Run({"--shard", k + "/2", "--save", "part-" + k + ".obx", "--out", "out",
                               "--every", "20", "--no-index-photo", "one"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    CProject part("");
    ASSERT_TRUE(part.Load(folder_ / ("part-" + k + ".obx")));
    indexed += static_cast<int>(part.Movies().size());
    if (part.Movies().empty()) {
      EXPECT_TRUE(Contains(result.err, "no videos in part " + k + "/2")) << result.err;
    }
  }
  EXPECT_EQ(indexed, 1);
  const Result merged = Run({"--merge", "all.obx", "part-1.obx", "part-2.obx"});
  EXPECT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_TRUE(Contains(merged.out, folder_ / "one/a.mp4: done, 1 image")) << merged.out;
}

TEST_F(IndexerTest, MergeKeepsAVideoOnceHoweverItsPathIsSpelled) {
  // One video named four ways (a "..", a doubled separator and a ".", a
  // linked folder), and a video no longer there named two ways.
  std::filesystem::create_directories(folder_ / "m/sub");
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "m/v1.mp4", "video"));
  std::filesystem::create_directory_symlink(folder_ / "m", folder_ / "link");
  const std::string base = folder_.Path();
  const std::vector<std::vector<std::string>> parts = {
      {base + "m/v1.mp4", base + "gone/../old.mp4"},
      {base + "m/sub/../v1.mp4", "/" + base + "m/./v1.mp4"},
      {base + "link/v1.mp4", base + "old.mp4", base + "m/v2.mp4"}};
  std::vector<std::string> args = {"--merge", "all.obx"};
  for (size_t i = 0; i < parts.size(); ++i) {
    CProject part("");
    for (const std::string& path : parts[i]) part.AddMovie(path);
    const std::string name = "part-" + std::to_string(i + 1) + ".obx";
    ASSERT_TRUE(part.Save(folder_ / name));
    args.push_back(name);
  }
  const Result merged = Run(args);
  EXPECT_EQ(merged.exitCode, 1) << merged.err;  // nothing was indexed
  CProject all("");
  ASSERT_TRUE(all.Load(folder_ / "all.obx"));
  std::vector<std::string> paths;
  for (const Movie& movie : all.Movies()) paths.push_back(movie.path());
  // Each as the first part to name it spells it.
  EXPECT_EQ(paths, (std::vector<std::string>{base + "m/v1.mp4", base + "gone/../old.mp4",
                                             base + "m/v2.mp4"}));

  // A part that is no project file: the reason ends the line, no "\n" is
  // printed.
  ASSERT_TRUE(testing::WriteFileBytes(folder_ / "notes.obx", "<notes/>\n"));
  const Result wrong = Run({"--merge", "none.obx", "notes.obx"});
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_TRUE(Contains(wrong.err, "cannot read the project file 'notes.obx': Not a project file\n"))
      << wrong.err;
  EXPECT_FALSE(Contains(wrong.err, "\\n")) << wrong.err;
}

}  // namespace
}  // namespace ombrelo
