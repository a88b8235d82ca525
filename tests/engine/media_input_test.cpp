// Opening files as videos: only the file named is ever read (playlists,
// manifests, lists of files and names that look like addresses open nothing
// else), pictures too large are refused before they are decoded, and a file
// that cannot be indexed says why in plain words.
#include "engine/media_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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
  unsigned streams = 0;
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
  read.streams = context->nb_streams;
  const av::PacketPtr packet(av_packet_alloc());
  while (av_read_frame(context.get(), packet.get()) >= 0) av_packet_unref(packet.get());
  return read;
}

struct Opened {
  bool ok = false;
  HResult result = S_OK;
  std::string errorText;
};

// Opens the file with the capture engine as the programs do.
Opened OpenWithEngine(const std::string& path) {
  CaptureEngine engine;
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  Opened o;
  o.ok = engine.Open(path, &o.result);
  o.errorText = engine.GetErrorText();
  engine.Close();
  return o;
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
    EXPECT_EQ(failure.code, VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(failure.reason.rfind("The file is " + c.what, 0), 0u) << failure.reason;
    EXPECT_TRUE(testing::Contains(failure.reason, "names other files to read")) << failure.reason;
    EXPECT_EQ(read.allowed, std::vector<std::string>{"file:" + path});
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
    EXPECT_EQ(videoOpens.Take(), std::vector<std::string>{c.name}) << "only the file itself";

    // The capture engine, which every program uses, says the same.
    const Opened engine = OpenWithEngine(path);
    EXPECT_FALSE(engine.ok);
    EXPECT_EQ(engine.errorText, failure.reason);
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
    std::remove(path.c_str());
  }

  // Names that FFmpeg would take for addresses name files, and these do not
  // exist.
  const std::string target = privateFolder + "private.ts";
  for (const std::string& name :
       {"concat:" + target + "|" + target, "subfile,,start,0,end,0,,:" + target, "tee:" + target}) {
    SCOPED_TRACE(name);
    const Read read = OpenAndRead(name);
    EXPECT_FALSE(read.opened);
    EXPECT_EQ(read.failure.code, E_FILE_NOT_FOUND);
    EXPECT_EQ(read.failure.reason, "The system cannot find the file specified.");
    EXPECT_EQ(read.allowed, std::vector<std::string>{});
    EXPECT_EQ(privateOpens.Take(), std::vector<std::string>{});
  }
}

TEST(MediaInput, RealVideosOpenAndReadingThemToTheEndOpensNothingElse) {
  struct Kind {
    const char *container, *codec;
  };
  for (const Kind& k :
       {Kind{"mp4", "h264"}, Kind{"mkv", "h264"}, Kind{"avi", "mpeg4"}, Kind{"webm", "vp9"},
        Kind{"mpg", "mpeg2video"}, Kind{"ts", "h264"}, Kind{"mov", "h264"}}) {
    SCOPED_TRACE(k.container);
    testvideo::VideoOptions o = testing::SmallVideo(50);
    o.container = k.container;
    o.codec = k.codec;
    o.audioSeconds = 2;
    const std::string path = Videos().Make(o, std::string("v.") + k.container);
    const Read read = OpenAndRead(path);
    ASSERT_TRUE(read.opened) << read.failure.reason;
    EXPECT_EQ(read.streams, 2u);
    EXPECT_EQ(read.allowed, std::vector<std::string>{"file:" + path});
    EXPECT_EQ(read.refused, std::vector<std::string>{});
  }
}

TEST(MediaInput, PicturesTooLargeAreRefusedBeforeDecodingAndOneThatGrowsIsSkipped) {
  testing::TempFolder folder("media-input-huge");
  {
    SCOPED_TRACE("two 16000 x 16000 pictures in a small file");
    const std::string path = folder / "huge.mkv";
    ASSERT_TRUE(testing::WritePngVideo(path, {{16000, 16000}, {16000, 16000}}));
    EXPECT_LT(std::filesystem::file_size(path), 200'000u);
    const Opened o = OpenWithEngine(path);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.result, VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(o.errorText,
              "The video's pictures are too large: 16000 x 16000 pixels, more than the 64 "
              "megapixels a picture may have.");
  }
  {
    SCOPED_TRACE("a header that says 64 x 64 and one picture of 16000 x 16000 among them");
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
    ASSERT_TRUE(engine.Open(path)) << engine.GetErrorText();
    EXPECT_EQ(engine.GetVideoFormat().biWidth, 64);
    int frames = 0;
    bool completed = false;
    for (bool ended = false; !ended;) {
      auto m = owner.Next();
      ASSERT_TRUE(m) << "the capture hangs";
      if (m->kind == testing::CaptureOwner::Message::frame) ++frames;
      if (m->kind == testing::CaptureOwner::Message::ended) {
        ended = true;
        completed = m->value != 0;
      }
    }
    engine.Close();
    EXPECT_TRUE(completed);
    EXPECT_EQ(frames, 11) << "the large picture is left out, the others are taken";
    EXPECT_GE(counters->decodeErrors.load(), 1);
  }
}

// Audio made with the ffmpeg command; "" when it cannot be made.
std::string AudioFile(const testing::TempFolder& folder, const std::string& name,
                      const std::string& codec) {
  const std::string path = folder / name;
  const std::string command = "ffmpeg -nostdin -v error -f lavfi -i sine=d=0.5 -c:a " + codec +
                              " -strict -2 -y '" + path + "'";
  return std::system(command.c_str()) == 0 ? path : "";
}

TEST(MediaInput, FilesThatCannotBeIndexedSayWhyInPlainWords) {
  testing::TempFolder folder("media-input-reasons");
  const std::string mp4 = testing::ReadFileBytes(Videos().Make(testing::SmallVideo(50), "a.mp4"));
  ASSERT_GT(mp4.size(), 8192u);
  ASSERT_TRUE(testing::WriteFileBytes(folder / "cut.mp4", mp4.substr(0, 8192)));
  ASSERT_TRUE(testing::WriteFileBytes(folder / "empty.mkv", ""));
  ASSERT_TRUE(testing::WriteFileBytes(folder / "notes.mp4", "Shopping: milk, bread\n"));
  ASSERT_EQ(::mkdir((folder / "folder.mp4").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo((folder / "pipe.mp4").c_str(), 0600), 0);  // nobody writes to it
  ASSERT_EQ(::symlink("loop.mp4", (folder / "loop.mp4").c_str()), 0);

  const struct {
    std::string path;
    HResult result;
    std::string text;
  } cases[] = {
      {AudioFile(folder, "ac3.mkv", "ac3"), VFW_E_UNSUPPORTED_STREAM,
       "The file has no video stream: it holds only audio (AC-3)."},
      {AudioFile(folder, "aac.mp4", "aac"), VFW_E_UNSUPPORTED_STREAM,
       "The file has no video stream: it holds only audio (AAC)."},
      {AudioFile(folder, "dts.mp4", "dca"), VFW_E_UNSUPPORTED_STREAM,
       "The file has no video stream: it holds only audio (DTS)."},
      {folder / "cut.mp4", VFW_E_INVALID_FILE_FORMAT,
       "The file is cut short: it is a QuickTime / MOV file that ends before its header does."},
      {folder / "empty.mkv", VFW_E_UNKNOWN_FILE_TYPE, "The file is empty."},
      {folder / "notes.mp4", VFW_E_UNKNOWN_FILE_TYPE,
       "The media type of this file is not recognized."},
      {folder / "folder.mp4", E_FAIL, "The file cannot be read: Is a directory."},
      {folder / "pipe.mp4", E_FAIL,
       "The file cannot be read: it is a named pipe, not a regular file."},
      {folder / "loop.mp4", E_FAIL, "The file cannot be read: Too many levels of symbolic links."},
      {folder / "missing.mp4", E_FILE_NOT_FOUND, "The system cannot find the file specified."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_FALSE(c.path.empty()) << "ffmpeg could not make the audio file";
    const Opened o = OpenWithEngine(c.path);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.result, c.result);
    EXPECT_EQ(o.errorText, c.text);
  }
}

}  // namespace
}  // namespace ombrelo
