// Opening files as videos: only the file named is ever read (playlists,
// manifests, lists of files and names that look like addresses open nothing
// else), and a picture too large is never decoded.
#include "engine/media_input.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "support/capture_owner.h"
#include "support/hostile_files.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"media-input-videos"};
  return videos;
}

// A file opened as every program opens it and read to its end, with the
// opens asked for meanwhile.
struct Read {
  bool opened = false;
  InputFailure failure;
  std::vector<std::string> allowed, refused;
};

Read OpenAndRead(const std::string& path) {
  Read read;
  const InputOpenObserver observer = [&read](const std::string& name, bool allowed) {
    (allowed ? read.allowed : read.refused).push_back(name);
  };
  InputRequest request;
  request.path = path;
  request.observer = &observer;
  const av::FormatPtr context(OpenInput(request, &read.failure));
  if (!context) return read;
  read.opened = true;
  const av::PacketPtr packet(av_packet_alloc());
  while (av_read_frame(context.get(), packet.get()) >= 0) av_packet_unref(packet.get());
  return read;
}

// Opens the file with the capture engine as the programs do: its error text
// ("" when it opened).
std::string EngineError(const std::string& path) {
  CaptureEngine engine;
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  const OpenOutcome answer = testing::OpenAndWait(engine, owner.answers, path);
  engine.Close();
  return answer.opened ? "" : answer.text;
}

TEST(MediaInput, FilesNamingOtherFilesAreRefusedAndNothingElseIsOpened) {
  testing::TempFolder folder("media-input-lists");
  const std::string privateFolder = folder / "private/", videos = folder / "videos/";
  std::filesystem::create_directories(privateFolder);
  std::filesystem::create_directories(videos);
  testvideo::VideoOptions small = testing::SmallVideo(50);
  small.container = "ts";
  ASSERT_TRUE(testing::WriteFileBytes(privateFolder + "private.ts",
                                      testing::ReadFileBytes(Videos().Make(small, "private.ts"))));
  const std::string png = testing::PngPicture(16, 16);
  ASSERT_FALSE(png.empty());
  ASSERT_TRUE(testing::WriteFileBytes(videos + "frame001.png", png));
  testing::OpenedFiles privateOpens(privateFolder), videoOpens(videos);
  ASSERT_TRUE(privateOpens.Watching() && videoOpens.Watching());

  struct Case {
    std::string name, bytes, what;
  };
  std::vector<Case> cases;
  const std::vector<std::string> targets = {privateFolder + "private.ts", "../private/private.ts"};
  for (const std::string& target : targets) {
    cases.push_back({"playlist.mp4", testing::HlsPlaylist(target), "an HLS playlist"});
    cases.push_back({"manifest.mp4", testing::DashManifest(target), "a DASH manifest"});
    cases.push_back({"list.mp4", testing::ConcatList(target), "an FFmpeg concat list"});
  }
  // A picture whose name numbers further pictures: frame001.png beside it.
  cases.push_back({"frame%03d.png", png, "an image sequence"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + c.bytes);
    const std::string path = videos + c.name;
    ASSERT_TRUE(testing::WriteFileBytes(path, c.bytes));
    videoOpens.Take();
    const Read read = OpenAndRead(path);
    const InputFailure& failure = read.failure;
    EXPECT_FALSE(read.opened);
    EXPECT_EQ(failure.code, MediaError::unsupportedStream);
    EXPECT_EQ(failure.reason.rfind("The file is " + c.what, 0), 0u) << failure.reason;
    EXPECT_TRUE(testing::Contains(failure.reason, "names other files to read")) << failure.reason;
    EXPECT_EQ(read.allowed, std::vector<std::string>{"file:" + path});
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
    EXPECT_EQ(videoOpens.Take(), std::vector<std::string>{c.name}) << "only the file itself";

    // The capture engine, which every program uses, says the same.
    EXPECT_EQ(EngineError(path), failure.reason);
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
    std::remove(path.c_str());
  }

  {
    SCOPED_TRACE("a real video read to its end asks for nothing else");
    const std::string video = Videos().Make(testing::SmallVideo(50), "real.mkv");
    const Read read = OpenAndRead(video);
    EXPECT_TRUE(read.opened) << read.failure.reason;
    EXPECT_EQ(read.allowed, std::vector<std::string>{"file:" + video});
    EXPECT_EQ(read.refused, std::vector<std::string>{});
  }

  // Names that FFmpeg would take for addresses name files, and these do not
  // exist.
  const std::string target = privateFolder + "private.ts";
  for (const std::string& name :
       {"concat:" + target + "|" + target, "subfile,,start,0,end,0,,:" + target, "tee:" + target}) {
    SCOPED_TRACE(name);
    const Read read = OpenAndRead(name);
    EXPECT_FALSE(read.opened);
    EXPECT_EQ(read.failure.code, MediaError::fileNotFound);
    EXPECT_EQ(read.failure.reason, "The system cannot find the file specified.");
    EXPECT_EQ(read.allowed, std::vector<std::string>{});
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
  }
}

TEST(MediaInput, APictureThatGrowsPastTheLimitMidStreamIsLeftOut) {
  // The header says 64 x 64; one picture of 16000 x 16000 among them.
  testing::TempFolder folder("media-input-huge");
  const std::string path = folder / "grows.mkv";
  std::vector<std::pair<int, int>> sizes(12, {64, 64});
  sizes[6] = {16000, 16000};
  ASSERT_TRUE(testing::WritePngVideo(path, sizes));
  auto counters = std::make_shared<PipelineCounters>();
  FfmpegPipelineOptions options;
  options.counters = counters;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  CaptureSettings every;
  every.delaybeforefirst = 0;
  every.delaybetweensamples = 0.04;
  engine.SetCaptureSettings(every);
  const OpenOutcome answer = testing::OpenAndWait(engine, owner.answers, path);
  ASSERT_TRUE(answer.opened) << answer.text;
  EXPECT_EQ(engine.GetVideoFormat().biWidth, 64);
  int frames = 0;
  for (auto m = owner.Next(); m && m->kind != testing::CaptureOwner::Message::ended;
       m = owner.Next()) {
    frames += m->kind == testing::CaptureOwner::Message::frame;
  }
  engine.Close();
  EXPECT_EQ(frames, 11) << "the large picture is left out, the others are taken";
  EXPECT_GE(counters->decodeErrors.load(), 1);
}

}  // namespace
}  // namespace ombrelo
