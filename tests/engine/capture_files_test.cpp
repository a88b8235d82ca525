// Captures of real files made by the test-video generator, through the FFmpeg
// pipeline: the frames handed over are exactly the scheduled ones (read back
// from their pixels), seeking or decoding straight through as the schedule
// says; pause, resume and stop; cut-short, unreadable and undecodable files;
// pictures turned upright, stretched and converted with their own colours.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "engine/ffmpeg_pipeline.h"
#include "engine/ffmpeg_support.h"
#include "support/capture_owner.h"
#include "support/debug_capture.h"
#include "support/ffmpeg_reference.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using namespace std::chrono_literals;
using testvideo::VideoOptions;

// Videos are made once per test program run and shared by the tests.
struct Videos {
  static testing::VideoCache& Get() {
    static testing::VideoCache videos{"engine-videos"};
    return videos;
  }
};

VideoOptions Small(const std::string& container, const std::string& codec, int bFrames = 0,
                   int64_t frames = 300) {
  VideoOptions o = testing::SmallVideo(frames);
  o.container = container;
  o.codec = codec;
  o.maxBFrames = bFrames;
  return o;
}

// The owner's side of a capture, run on the test thread as the main window's
// thread would: frames are copied on the capture thread and read here.
using Owner = testing::CaptureOwner;

// The frame number drawn in a taken frame (top-down BGR rows).
int ReadNumber(const std::vector<uint8_t>& pixels, const BitmapInfoHeader& format,
               int* rotation = nullptr) {
  const int width = format.biWidth, height = format.biHeight;
  const int stride = static_cast<int>(format.biSizeImage) / height;
  if (pixels.size() < static_cast<size_t>(stride) * height) return -2;
  if (rotation)
    return testvideo::ReadFrameNumberAnyRotation(pixels.data(), width, height, stride,
                                                 testvideo::PixelOrder::BGR24, rotation);
  return testvideo::ReadFrameNumber(pixels.data(), width, height, stride,
                                    testvideo::PixelOrder::BGR24);
}

struct Outcome {
  bool opened = false;
  MediaError result = MediaError::none;
  std::string errorText;
  BitmapInfoHeader format;
  std::vector<int64_t> frames;  // frame numbers the engine gave
  std::vector<int> numbers;     // frame numbers read from the pixels
  std::vector<double> times;    // seconds, as the frames' names give them
  double durationSeconds = 0;   // the movie's length as the engine took it
  std::vector<std::vector<uint8_t>> pixels;
  int64_t seeks = 0;  // repositionings of the demuxer
  bool ended = false;
  bool completed = false;
  std::vector<std::string> statuses;
  int64_t decoded = 0, converted = 0, preroll = 0, decodeErrors = 0;  // by the pipeline
};

CaptureSettings Samples(double first, double period) {
  CaptureSettings s;
  s.delaybeforefirst = first;
  s.delaybetweensamples = period;
  return s;
}

// Opens, captures to the end as the owner would, closes. The pipeline takes
// `options` and counts into their counters when given.
Outcome Capture(const std::string& path, const CaptureSettings& settings, bool keepPixels = false,
                FfmpegPipelineOptions options = {}) {
  Outcome out;
  if (!options.counters) options.counters = std::make_shared<PipelineCounters>();
  const std::shared_ptr<PipelineCounters> counters = options.counters;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  Owner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(settings);
  const OpenOutcome answer = testing::OpenAndWait(engine, owner.answers, path);
  out.opened = answer.opened;
  out.result = answer.code;
  out.errorText = answer.text;
  if (!out.opened) return out;
  out.format = engine.GetVideoFormat();
  out.durationSeconds = engine.GetDurationSeconds();
  while (!out.ended) {
    auto m = owner.Next();
    if (!m) {
      ADD_FAILURE() << "the capture of " << path << " hangs";
      break;
    }
    switch (m->kind) {
      case Owner::Message::frame:
        out.frames.push_back(m->value);
        out.times.push_back(m->time);
        out.numbers.push_back(ReadNumber(m->pixels, out.format));
        if (keepPixels) out.pixels.push_back(std::move(m->pixels));
        break;
      case Owner::Message::status:
        out.statuses.push_back(m->text);
        break;
      case Owner::Message::ended:
        out.ended = true;
        out.completed = m->value != 0;
        break;
      case Owner::Message::state:
        break;
    }
  }
  engine.Close();
  out.decoded = counters->framesDecoded.load();
  out.converted = counters->framesConverted.load();
  out.preroll = counters->prerollFrames.load();
  out.decodeErrors = counters->decodeErrors.load();
  out.seeks = counters->seeks.load();
  return out;
}

std::vector<int> AsInts(const std::vector<int64_t>& v) {
  return std::vector<int>(v.begin(), v.end());
}

struct Kind {
  const char* container;
  const char* codec;
  int bFrames;
};

// Every container the generator writes, and every codec.
const Kind kKinds[] = {
    {"mp4", "h264", 2},       {"mov", "h264", 0},       {"mkv", "h264", 2},
    {"mkv", "mpeg4", 2},      {"avi", "mpeg4", 2},      {"avi", "mpeg4", 0},
    {"avi", "mjpeg", 0},      {"webm", "vp9", 0},       {"webm", "vp8", 0},
    {"mpg", "mpeg2video", 2}, {"mpg", "mpeg1video", 2}, {"ts", "h264", 2},
    {"ts", "mpeg2video", 2},  {"mp4", "mpeg4", 2},
};

std::string NameOf(const Kind& k, const std::string& extra = "") {
  return std::string(k.codec) + "_b" + std::to_string(k.bFrames) + extra + "." + k.container;
}

TEST(CaptureFiles, TakesExactlyTheScheduledFramesInEveryContainerAndCodec) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(NameOf(kind));
    const std::string path =
        Videos::Get().Make(Small(kind.container, kind.codec, kind.bFrames), NameOf(kind));
    if (path.empty()) continue;
    {
      SCOPED_TRACE("samples 100 frames apart: seeks between them");
      const Outcome o = Capture(path, Samples(1, 4));
      ASSERT_TRUE(o.opened) << o.errorText;
      EXPECT_EQ(o.format.biWidth, 160);
      EXPECT_EQ(o.format.biHeight, 120);
      EXPECT_EQ(o.format.biBitCount, 24);
      EXPECT_EQ(o.format.biSizeImage, 160u * 3 * 120);
      EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 125, 225}));
      EXPECT_EQ(o.numbers, AsInts(o.frames));
      EXPECT_TRUE(o.completed);
      EXPECT_GE(o.seeks, 3) << "to the first sample and ahead to each of the others";
      // From the key frame before each sample (every 50 frames) to it.
      EXPECT_LE(o.decoded, 3 * 26 + 10) << "seeking skips most of the file";
      EXPECT_EQ(o.converted, 3);
      EXPECT_TRUE(o.statuses.empty());
    }
    {
      SCOPED_TRACE("samples 50 frames apart: decodes on without seeking");
      const Outcome o = Capture(path, Samples(1, 2));
      ASSERT_TRUE(o.opened) << o.errorText;
      EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 75, 125, 175, 225, 275}));
      EXPECT_EQ(o.numbers, AsInts(o.frames));
      EXPECT_TRUE(o.completed);
      EXPECT_LE(o.seeks, 1) << "at most to the first sample (a file without index may not seek)";
      // Where the file lists its key frames, the packets between a sample
      // and the key frame before the next one are read but not decoded;
      // elsewhere pictures no other refers to are left out on the way.
      const bool listsKeyFrames =
          kind.container != std::string("mpg") && kind.container != std::string("ts");
      if (listsKeyFrames)
        EXPECT_LE(o.decoded, 6 * 26 + 10);
      else
        EXPECT_LT(o.decoded, 250);
      EXPECT_EQ(o.preroll, 0);
      EXPECT_EQ(o.converted, 6);
    }
  }
}

TEST(CaptureFiles, SamplesFarIntoTheFileAreReachedFromFortyFramesEarlier) {
  // 420 frames; samples at 12 s (frame 300, positioned to 260) and 410.
  VideoOptions o = Small("mpg", "mpeg2video", 2, 420);
  o.keyframeInterval = 15;
  const std::string mpg = Videos::Get().Make(o, "long.mpg");
  const std::string mp4 = Videos::Get().Make(Small("mp4", "h264", 2, 420), "long.mp4");
  for (const std::string& path : {mpg, mp4}) {
    SCOPED_TRACE(path);
    const Outcome out = Capture(path, Samples(12, 4.4));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.frames, (std::vector<int64_t>{300, 410}));
    EXPECT_EQ(out.numbers, AsInts(out.frames));
    EXPECT_TRUE(out.completed);
    EXPECT_LT(out.decoded, 250);
  }
}

TEST(CaptureFiles, IntervalsOfNoWholeNumberOfFramesFallOnTheNearestFrames) {
  const std::string mp4 = Videos::Get().Make(Small("mp4", "h264", 2, 420), "long.mp4");
  // 12.5 frames apart, decoded through; 90.5 frames apart, with seeks.
  for (const double every : {0.5, 3.62}) {
    SCOPED_TRACE(every);
    const CaptureSettings settings = Samples(0.2, every);
    const Outcome out = Capture(mp4, settings);
    ASSERT_TRUE(out.opened) << out.errorText;
    const SamplingSchedule schedule =
        ComputeSchedule(settings, 420 * 400'000, 400'000, true).schedule;
    std::vector<int64_t> expected = NominalSampleFrames(schedule);
    std::erase_if(expected, [](int64_t frame) { return frame >= 420; });
    EXPECT_EQ(out.frames, expected);
    EXPECT_EQ(out.numbers, AsInts(out.frames));
    ASSERT_GE(out.frames.size(), 4u);
    for (size_t k = 0; k < out.frames.size(); ++k) {
      const double asked = 0.2 + every * static_cast<double>(k);
      EXPECT_LE(std::abs(static_cast<double>(out.frames[k]) * 0.04 - asked), 0.02 + 1e-9) << k;
    }
    EXPECT_TRUE(out.completed);
  }
}

TEST(CaptureFiles, SamplesWhoseKeyFrameWasDecodedAreReachedWithoutSeekingBack) {
  // Key frames every 250 frames; samples every 100 from frame 25. Frames 125
  // and 225 lie in the group of pictures decoding is already in, and so does
  // 425 once 325 has been taken from the key frame at 250.
  const Kind kinds[] = {{"mp4", "h264", 2}, {"avi", "mpeg4", 2}, {"mkv", "h264", 2}};
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(NameOf(kind));
    VideoOptions options = Small(kind.container, kind.codec, kind.bFrames, 600);
    options.keyframeInterval = 250;
    const std::string path = Videos::Get().Make(options, NameOf(kind, "_gop250"));
    auto counters = std::make_shared<PipelineCounters>();
    FfmpegPipelineOptions pipelineOptions;
    pipelineOptions.counters = counters;
    const Outcome o = Capture(path, Samples(1, 4), false, pipelineOptions);
    ASSERT_TRUE(o.opened) << o.errorText;
    EXPECT_EQ(o.frames, (std::vector<int64_t>{25, 125, 225, 325, 425, 525}));
    EXPECT_EQ(o.numbers, AsInts(o.frames));
    EXPECT_TRUE(o.completed);
    // The opening position, then only forward to the key frames at 250 and 500.
    EXPECT_EQ(counters->seeks.load(), 3);
    EXPECT_EQ(counters->seeksSpared.load(), 3);
    EXPECT_LT(o.decoded, 525) << "no frame is decoded twice";
  }
}

TEST(CaptureFiles, PauseResumeAndStop) {
  const std::string path = Videos::Get().Make(Small("mp4", "h264", 2, 420), "long.mp4");
  CaptureEngine engine;
  Owner owner(/*frameLimit=*/2);  // the capture waits when the owner is behind
  engine.SetListener(&owner);
  engine.SetCaptureSettings(Samples(0, 0.04));  // every frame
  ASSERT_TRUE(testing::OpenAndWait(engine, owner.answers, path).opened);
  const BitmapInfoHeader format = engine.GetVideoFormat();
  std::vector<int64_t> frames;
  std::vector<int> numbers;
  bool ended = false, completed = true;
  auto handle = [&](const Owner::Message& m) {
    if (m.kind == Owner::Message::frame) {
      frames.push_back(m.value);
      numbers.push_back(ReadNumber(m.pixels, format));
    } else if (m.kind == Owner::Message::ended) {
      ended = true;
      completed = m.value != 0;
    }
  };
  while (frames.size() < 100) {
    auto m = owner.Next();
    ASSERT_TRUE(m);
    handle(*m);
  }
  EXPECT_EQ(engine.GetState(), CaptureState::running);

  // Takes messages until the engine reports the state.
  auto handleUntil = [&](CaptureState state) {
    while (auto m = owner.Next()) {
      if (m->kind == Owner::Message::state && m->value == static_cast<int64_t>(state)) return true;
      handle(*m);
    }
    return false;
  };

  SCOPED_TRACE("pause: the capture stops between two frames, then nothing comes");
  engine.TogglePause();
  ASSERT_TRUE(handleUntil(CaptureState::paused));
  EXPECT_FALSE(owner.Next(50ms)) << "nothing comes while paused";

  SCOPED_TRACE("resume: frames go on where they stopped");
  engine.TogglePause();
  EXPECT_EQ(engine.GetState(), CaptureState::running);
  ASSERT_TRUE(handleUntil(CaptureState::running));
  EXPECT_FALSE(ended);
  while (frames.size() < 200) {
    auto m = owner.Next();
    ASSERT_TRUE(m);
    handle(*m);
  }

  SCOPED_TRACE("stop: the capture ends, not completed");
  owner.Release();
  engine.Stop();
  EXPECT_EQ(engine.GetState(), CaptureState::stopped);
  while (!ended) {
    auto m = owner.Next();
    ASSERT_TRUE(m) << "no end report after Stop";
    handle(*m);
  }
  EXPECT_FALSE(completed);
  engine.Close();
  EXPECT_EQ(engine.GetState(), CaptureState::idle);

  ASSERT_GE(frames.size(), 200u);
  EXPECT_LT(frames.size(), 300u) << "nothing is decoded on after the stop";
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(frames[i], static_cast<int64_t>(i)) << "in order, none lost, none twice";
    ASSERT_EQ(numbers[i], static_cast<int>(i));
  }
}

TEST(CaptureFiles, CutShortFilesEndCleanlyWithWhatTheyHold) {
  const Kind kinds[] = {{"avi", "mpeg4", 2},
                        {"mkv", "h264", 2},
                        {"mpg", "mpeg2video", 2},
                        {"ts", "h264", 0},
                        {"webm", "vp9", 0}};
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(NameOf(kind));
    const std::string full =
        Videos::Get().Make(Small(kind.container, kind.codec, kind.bFrames), NameOf(kind));
    const std::string cut = Videos::Get().Folder() + "cut_" + NameOf(kind);
    const std::string bytes = testing::ReadFileBytes(full);
    ASSERT_FALSE(bytes.empty());
    ASSERT_TRUE(testing::WriteFileBytes(cut, bytes.substr(0, bytes.size() / 2)));
    for (double period : {4.0, 2.0}) {
      SCOPED_TRACE(period);
      const auto began = std::chrono::steady_clock::now();
      const Outcome o = Capture(cut, Samples(1, period));
      if (!o.opened) {
        // Only a container whose header sits at the end could refuse.
        ADD_FAILURE() << "cannot open: " << o.errorText;
        continue;
      }
      EXPECT_TRUE(o.ended);
      EXPECT_TRUE(o.completed) << "ends as completed with the frames taken so far";
      EXPECT_LT(std::chrono::steady_clock::now() - began, 10s);
      EXPECT_FALSE(o.frames.empty());
      EXPECT_EQ(o.numbers, AsInts(o.frames));
      for (size_t i = 0; i < o.frames.size(); ++i)
        EXPECT_EQ(o.frames[i], 25 + static_cast<int64_t>(i) * (period == 4.0 ? 100 : 50));
      EXPECT_TRUE(o.statuses.empty()) << "no stall";
    }
  }
}

TEST(CaptureFiles, DamagedPicturesAreLoggedAndCountedAndTheCaptureGoesOn) {
  const Kind kind = {"avi", "mjpeg", 0};
  const std::string source = Videos::Get().Make(Small(kind.container, kind.codec), NameOf(kind));
  std::string bytes = testing::ReadFileBytes(source);
  ASSERT_FALSE(bytes.empty());
  // Pictures 100 to 109 blanked out (their JPEG data zeroed, the file's
  // structure kept): they cannot be decoded.
  size_t at = 0;
  for (int picture = 0; picture < 110; ++picture) {
    at = bytes.find("\xFF\xD8\xFF", at);
    ASSERT_NE(at, std::string::npos);
    const size_t end = bytes.find("\xFF\xD9", at);
    ASSERT_NE(end, std::string::npos);
    if (picture >= 100) std::fill(bytes.begin() + at, bytes.begin() + end + 2, '\0');
    at = end;
  }
  testing::TempFolder folder("engine-damaged");
  const std::string path = folder / "damaged.avi";
  ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
  testing::DebugCapture debug;
  const Outcome o = Capture(path, Samples(0, 0.04));  // every frame
  ASSERT_TRUE(o.opened) << o.errorText;
  EXPECT_TRUE(o.completed);
  EXPECT_GT(o.decodeErrors, 0);
  EXPECT_NE(debug.Text().find("ffmpeg: decode error (packet): "), std::string::npos);
  EXPECT_EQ(o.frames.size(), 290u) << "every other picture is taken";
  EXPECT_EQ(o.numbers, AsInts(o.frames));
}

TEST(CaptureFiles, UnreadableAndUndecodableFilesFailAtTheirStep) {
  testing::TempFolder folder("engine-bad");
  {
    SCOPED_TRACE("random bytes named .avi: the source step");
    std::mt19937 random(42);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string path = folder / "noise.avi";
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    const Outcome o = Capture(path, Samples(1, 4));
    EXPECT_FALSE(o.opened);
    EXPECT_EQ(o.result, MediaError::unknownFileType);
    EXPECT_EQ(o.errorText, "The media type of this file is not recognized.");
  }
  {
    SCOPED_TRACE("a missing file");
    const Outcome o = Capture(folder / "missing.mp4", Samples(1, 4));
    EXPECT_FALSE(o.opened);
    EXPECT_EQ(o.errorText, "The system cannot find the file specified.");
  }
  {
    SCOPED_TRACE("a video stream no decoder knows: the connection step");
    const std::string source =
        Videos::Get().Make(Small("avi", "mpeg4", 0), NameOf({"avi", "mpeg4", 0}));
    std::string bytes = testing::ReadFileBytes(source);
    // Give the stream an unknown codec: the handler in the stream header and
    // the compression in the format both name it.
    int replaced = 0;
    for (const char* tag : {"XVID", "FMP4"}) {
      for (size_t at = bytes.find(tag); at != std::string::npos && at < 4096;
           at = bytes.find(tag, at + 4)) {
        bytes.replace(at, 4, "QQZZ");
        ++replaced;
      }
    }
    ASSERT_GE(replaced, 2);
    const std::string path = folder / "unknown codec.avi";
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
    const Outcome o = Capture(path, Samples(1, 4));
    EXPECT_FALSE(o.opened);
    EXPECT_EQ(o.result, MediaError::noDecoder);
    EXPECT_EQ(o.errorText,
              "No installed decoder can play this video: the FFmpeg libraries of this system "
              "cannot decode QQZZ video (the codec help page codecs.htm names the Debian "
              "packages that bring more decoders).");
    EXPECT_EQ(CodecHelpAddress("http://site/", path, ProbeFourCC(path)),
              "http://site/codec.php?format=avi&fourcc=qqzz");
  }
}

// Serves a file on the loopback interface, but a response that starts
// before `stallAt` sends only up to it and then keeps the connection open: a
// source whose reads block, as a stalled network share does. Over plain TCP
// the file is sent from its start; over HTTP byte ranges are served, so that
// the reader can seek.
class StallingServer {
 public:
  StallingServer(std::string bytes, size_t stallAt, bool http)
      : bytes_(std::move(bytes)), stallAt_(stallAt), http_(http) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] {
      for (;;) {
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.push_back(connection);
        handlers_.emplace_back([this, connection] { Serve(connection); });
      }
    });
  }
  ~StallingServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
      for (int c : connections_) shutdown(c, SHUT_RDWR);
    }
    cv_.notify_all();
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : handlers_) t.join();
    for (int c : connections_) close(c);
  }
  int Port() const { return port_; }

 private:
  void Serve(int connection) {
    std::string request;
    char buffer[1024];
    while (http_ && request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<size_t>(n));
    }
    size_t from = 0;
    if (const size_t range = request.find("Range: bytes="); range != std::string::npos)
      from = std::stoull(request.substr(range + 13));
    const size_t total = bytes_.size();
    if (from > total) from = total;
    const std::string head = !http_ ? ""
                                    : "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
                                      "Content-Length: " +
                                          std::to_string(total - from) +
                                          "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                          std::to_string(total - 1) + "/" + std::to_string(total) +
                                          "\r\nConnection: close\r\n\r\n";
    const size_t end = from < stallAt_ ? stallAt_ : total;
    const std::string body = head + bytes_.substr(from, end - from);
    for (size_t sent = 0; sent < body.size();) {
      const ssize_t n = send(connection, body.data() + sent, body.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return done_; });  // the rest never comes
  }

  std::string bytes_;
  size_t stallAt_;
  bool http_;
  int listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> handlers_;  // guarded by mutex_
  std::vector<int> connections_;       // guarded by mutex_
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

TEST(CaptureFiles, StopAndCloseCancelAReadThatBlocks) {
  // Matroska gives its duration in the header, which a stream can read.
  const std::string mkv = Videos::Get().Make(Small("mkv", "h264", 2), NameOf({"mkv", "h264", 2}));
  const std::string bytes = testing::ReadFileBytes(mkv);
  ASSERT_FALSE(bytes.empty());
  StallingServer server(bytes, bytes.size() / 2, /*http=*/false);
  ASSERT_NE(server.Port(), 0);

  FfmpegPipelineOptions options;
  options.networkAddresses = true;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  Owner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(Samples(0, 0.4));  // every 10 frames
  ASSERT_TRUE(testing::OpenAndWait(engine, owner.answers,
                                   "tcp://127.0.0.1:" + std::to_string(server.Port()))
                  .opened)
      << engine.GetErrorText();
  // Take what arrives until the data runs out and the reader blocks: the
  // first frames may be slow on a loaded machine, the silence after them is
  // the blocked read.
  int frames = 0;
  while (auto m = owner.Next(frames > 3 ? 500ms : 20s)) {
    if (m->kind == Owner::Message::frame) ++frames;
  }
  EXPECT_GT(frames, 3);
  EXPECT_EQ(engine.GetState(), CaptureState::running);
  const auto began = std::chrono::steady_clock::now();
  engine.Stop();
  engine.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - began, 3s) << "the blocked read was cancelled";
  EXPECT_EQ(engine.GetState(), CaptureState::idle);
}

TEST(CaptureFiles, ASeekCancelsAReadThatBlocks) {
  // The capture thread holds the reader while it reads; a seek asked for on
  // the owner's thread while that read blocks cuts it, and the capture
  // thread carries the seek out instead of waiting for data that does not
  // come.
  const Kind kind = {"avi", "mpeg4", 0};  // an index at the end: seeks need no scan
  const std::string avi = Videos::Get().Make(Small(kind.container, kind.codec), NameOf(kind));
  const std::string bytes = testing::ReadFileBytes(avi);
  ASSERT_FALSE(bytes.empty());
  // The data stops at picture 210 (the 211th video chunk): frames 25 and
  // 125 are taken, and the seek ahead to frame 185 reads on until it blocks.
  size_t stallAt = 0;
  for (int chunk = 0; chunk <= 210 && stallAt != std::string::npos; ++chunk)
    stallAt = bytes.find("00dc", stallAt + 1);
  ASSERT_NE(stallAt, std::string::npos);
  auto server = std::make_unique<StallingServer>(bytes, stallAt, /*http=*/true);
  ASSERT_NE(server->Port(), 0);

  auto counters = std::make_shared<PipelineCounters>();
  FfmpegPipelineOptions options;
  options.counters = counters;
  options.networkAddresses = true;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  Owner owner;
  engine.SetListener(&owner);
  engine.SetCaptureSettings(Samples(1, 4));  // every 100 frames: the capture may seek
  ASSERT_TRUE(testing::OpenAndWait(engine, owner.answers,
                                   "http://127.0.0.1:" + std::to_string(server->Port()) + "/v.avi")
                  .opened)
      << engine.GetErrorText();
  ASSERT_TRUE(engine.GetSchedule().seekAllowed) << "the source can seek";
  // Take what arrives until the data runs out and the reader blocks.
  int frames = 0;
  while (auto m = owner.Next(500ms)) {
    if (m->kind == Owner::Message::frame) ++frames;
  }
  EXPECT_EQ(frames, 2);
  const int64_t seeksBefore = counters->seeks.load();
  engine.SeekToFrame(185);
  const auto limit = std::chrono::steady_clock::now() + 3s;
  while (counters->seeks.load() == seeksBefore && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(5ms);
  EXPECT_GT(counters->seeks.load(), seeksBefore) << "the seek waited for the blocked read";
  engine.Stop();
  engine.Close();
  EXPECT_EQ(engine.GetState(), CaptureState::idle);
}

TEST(CaptureFiles, CodecProbeReadsTheAviHandler) {
  const std::string avi = Videos::Get().Make(Small("avi", "mpeg4", 0), NameOf({"avi", "mpeg4", 0}));
  const std::string mkv = Videos::Get().Make(Small("mkv", "h264", 2), NameOf({"mkv", "h264", 2}));
  EXPECT_EQ(ProbeFourCC(avi), 0x44495658u);  // "XVID", lowest byte first
  EXPECT_EQ(CodecHelpAddress("http://www.example.com/", avi, ProbeFourCC(avi)),
            "http://www.example.com/codec.php?format=avi&fourcc=xvid");
  EXPECT_EQ(ProbeFourCC(mkv), 0u);
  EXPECT_EQ(CodecHelpAddress("http://www.example.com/", mkv, ProbeFourCC(mkv)),
            "http://www.example.com/codec.php?format=mkv");
}

TEST(CaptureFiles, PicturesComeOutUprightAndInTheirDisplayShape) {
  for (int rotation : {90, 180, 270}) {
    SCOPED_TRACE(rotation);
    VideoOptions o = Small("mp4", "h264", 0, 100);
    o.rotationDegrees = rotation;
    const std::string path = Videos::Get().Make(o, "rot" + std::to_string(rotation) + ".mp4");
    const Outcome out = Capture(path, Samples(1, 1.6), /*keepPixels=*/true);  // 25, 65
    ASSERT_TRUE(out.opened) << out.errorText;
    const bool turned = rotation != 180;
    EXPECT_EQ(out.format.biWidth, turned ? 120 : 160);
    EXPECT_EQ(out.format.biHeight, turned ? 160 : 120);
    ASSERT_EQ(out.frames, (std::vector<int64_t>{25, 65}));
    int found = 0;
    EXPECT_EQ(ReadNumber(out.pixels[0], out.format, &found), 25);
    EXPECT_EQ(found, rotation) << "the picture is turned as a player turns it";
  }
  {
    SCOPED_TRACE("anamorphic 2:1 pixels are stretched to their width");
    VideoOptions o = Small("mkv", "h264", 0, 100);
    o.sampleAspectNum = 2;
    const std::string path = Videos::Get().Make(o, "wide.mkv");
    const Outcome out = Capture(path, Samples(1, 1.6));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.format.biWidth, 320);
    EXPECT_EQ(out.format.biHeight, 120);
    EXPECT_EQ(out.format.biSizeImage, 320u * 3 * 120);
    EXPECT_EQ(out.numbers, AsInts(out.frames));
  }
  {
    SCOPED_TRACE("a width that needs row padding");
    VideoOptions o = Small("mp4", "h264", 0, 100);
    o.width = 166;
    const std::string path = Videos::Get().Make(o, "odd.mp4");
    const Outcome out = Capture(path, Samples(1, 1.6));
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_EQ(out.format.biSizeImage, 500u * 120);  // 498 bytes padded to 500
    EXPECT_EQ(out.numbers, AsInts(out.frames));
  }
}

// Frames left out on the way to a sample (pictures nothing refers to, and
// the packets before the key frame of the next sample) change no pixel of
// the frames taken.
TEST(CaptureFiles, LeavingOutFramesOnTheWayChangesNoPixel) {
  const Kind kinds[] = {{"mp4", "h264", 2},
                        {"mkv", "mpeg4", 2},
                        {"avi", "mpeg4", 2},
                        {"webm", "vp9", 0},
                        {"ts", "h264", 2}};
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(NameOf(kind));
    const std::string path =
        Videos::Get().Make(Small(kind.container, kind.codec, kind.bFrames), NameOf(kind));
    FfmpegPipelineOptions everything;
    everything.skipNonReferenceInPreroll = false;
    const Outcome all = Capture(path, Samples(1, 2), true, everything);
    const Outcome fewer = Capture(path, Samples(1, 2), true);
    ASSERT_EQ(all.frames, (std::vector<int64_t>{25, 75, 125, 175, 225, 275}));
    EXPECT_EQ(fewer.frames, all.frames);
    EXPECT_LT(fewer.decoded, all.decoded);
    ASSERT_EQ(fewer.pixels.size(), all.pixels.size());
    for (size_t i = 0; i < all.pixels.size(); ++i)
      EXPECT_TRUE(fewer.pixels[i] == all.pixels[i]) << "frame " << all.frames[i];
  }
}

// Conversion in bands of rows on several threads gives the very pixels one
// thread gives, whatever the picture's shape, turn and colours.
TEST(CaptureFiles, ConversionOnSeveralThreadsGivesTheSamePixels) {
  struct Case {
    const char* name;
    VideoOptions options;
  };
  std::vector<Case> cases;
  cases.push_back({"turned.mp4", Small("mp4", "h264", 2, 100)});
  cases.back().options.rotationDegrees = 90;
  cases.push_back({"wide709.mkv", Small("mkv", "h264", 0, 100)});
  cases.back().options.sampleAspectNum = 2;
  cases.back().options.colorMatrix = "bt709";
  cases.push_back({"oddfull.avi", Small("avi", "mpeg4", 2, 100)});
  cases.back().options.width = 166;
  cases.back().options.height = 94;
  cases.back().options.fullRange = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Videos::Get().Make(c.options, std::string("bands_") + c.name);
    FfmpegPipelineOptions options;
    options.convertThreads = 1;
    const Outcome one = Capture(path, Samples(1, 1.6), true, options);
    options.convertThreads = 3;
    const Outcome three = Capture(path, Samples(1, 1.6), true, options);
    ASSERT_TRUE(one.opened) << one.errorText;
    ASSERT_EQ(one.frames, (std::vector<int64_t>{25, 65}));
    EXPECT_EQ(three.frames, one.frames);
    ASSERT_EQ(three.pixels.size(), one.pixels.size());
    for (size_t i = 0; i < one.pixels.size(); ++i) {
      ASSERT_EQ(one.pixels[i].size(), one.format.biSizeImage);
      EXPECT_TRUE(three.pixels[i] == one.pixels[i]) << "frame " << one.frames[i];
    }
  }
}

// Luma of a BGR pixel with the given matrix weights.
double Luma(const uint8_t* bgr, double kr, double kb) {
  return kr * bgr[2] + (1 - kr - kb) * bgr[1] + kb * bgr[0];
}

TEST(CaptureFiles, ColoursFollowTheStreamsMatrixAndRange) {
  auto frameOf = [](const std::string& matrix, bool fullRange) {
    VideoOptions o = Small("mp4", "h264", 0, 50);
    o.colorMatrix = matrix;
    o.fullRange = fullRange;
    const std::string path =
        Videos::Get().Make(o, "colour_" + matrix + (fullRange ? "_full" : "_limited") + ".mp4");
    Outcome out = Capture(path, Samples(1, -1), /*keepPixels=*/true);  // frame 25 only
    EXPECT_EQ(out.numbers, std::vector<int>{25});
    return out.pixels.empty() ? std::vector<uint8_t>() : out.pixels[0];
  };
  const auto b601 = frameOf("bt601", false);
  const auto b709 = frameOf("bt709", false);
  const auto full = frameOf("bt601", true);
  ASSERT_EQ(b601.size(), 160u * 120 * 3);
  ASSERT_EQ(b709.size(), b601.size());
  ASSERT_EQ(full.size(), b601.size());

  // The same luma plane painted in both: decoded with each file's own matrix,
  // each picture gives back that plane through its matrix's luma weights.
  double sameError = 0, crossError = 0;
  int n = 0;
  for (size_t i = 0; i < b601.size(); i += 3) {
    auto inside = [](const uint8_t* p) {
      return p[0] > 8 && p[0] < 247 && p[1] > 8 && p[1] < 247 && p[2] > 8 && p[2] < 247;
    };
    if (!inside(&b601[i]) || !inside(&b709[i])) continue;
    const double l601 = Luma(&b601[i], 0.299, 0.114);
    sameError += std::abs(l601 - Luma(&b709[i], 0.2126, 0.0722));
    crossError += std::abs(l601 - Luma(&b709[i], 0.299, 0.114));
    ++n;
  }
  ASSERT_GT(n, 1000);
  EXPECT_LT(sameError / n, 1.5);
  EXPECT_GT(crossError / n, 2 * sameError / n + 1);

  // Limited range is stretched: black and white of the code become 0 and 255,
  // and the background spreads wider than the same samples read as full range.
  auto minMax = [](const std::vector<uint8_t>& p) {
    return std::make_pair(*std::min_element(p.begin(), p.end()),
                          *std::max_element(p.begin(), p.end()));
  };
  EXPECT_LE(minMax(b601).first, 6);
  EXPECT_GE(minMax(b601).second, 249);
  EXPECT_LE(minMax(full).first, 6);
  EXPECT_GE(minMax(full).second, 249);
  auto spread = [](const std::vector<uint8_t>& p) {
    double sum = 0, squares = 0;
    int count = 0;
    for (size_t i = 0; i < p.size(); i += 3) {
      const double l = Luma(&p[i], 0.299, 0.114);
      if (l < 10 || l > 245) continue;  // the code's black and white
      sum += l;
      squares += l * l;
      ++count;
    }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
  };
  const double ratio = spread(b601) / spread(full);
  EXPECT_GT(ratio, 1.08);
  EXPECT_LT(ratio, 1.25);
}

// A picture shrunk to 160 pixels wide (by area), top-down BGR rows: the
// size at which two decodings of the same frame are compared.
std::vector<uint8_t> At160(const uint8_t* topRow, int width, int height, int stride) {
  const int outHeight = height * 160 / width;
  std::vector<uint8_t> out(static_cast<size_t>(160) * 3 * outHeight);
  const av::SwsPtr sws(sws_getContext(width, height, AV_PIX_FMT_BGR24, 160, outHeight,
                                      AV_PIX_FMT_BGR24, SWS_AREA, nullptr, nullptr, nullptr));
  if (!sws) return {};
  const uint8_t* src[4] = {topRow, nullptr, nullptr, nullptr};
  const int srcStride[4] = {stride, 0, 0, 0};
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dstStride[4] = {160 * 3, 0, 0, 0};
  sws_scale(sws.get(), src, srcStride, 0, height, dst, dstStride);
  return out;
}

// Mean absolute difference (0 to 255) between a taken frame and FFmpeg's
// own decoding of the whole file at that frame, both 160 pixels wide; 255
// when either is missing.
double DifferenceFromFfmpeg(const std::string& path, int64_t frame,
                            const std::vector<uint8_t>& taken, const BitmapInfoHeader& format) {
  const int width = format.biWidth, height = format.biHeight;
  const int stride = static_cast<int>(format.biSizeImage) / height;
  const std::string reference = testing::FfmpegFrame(path, frame, "");
  if (reference.size() != static_cast<size_t>(width) * 3 * height ||
      taken.size() < static_cast<size_t>(stride) * height)
    return 255;
  const std::vector<uint8_t> ours = At160(taken.data(), width, height, stride);
  const std::vector<uint8_t> theirs =
      At160(reinterpret_cast<const uint8_t*>(reference.data()), width, height, width * 3);
  if (ours.empty() || ours.size() != theirs.size()) return 255;
  double sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) sum += std::abs(int{ours[i]} - int{theirs[i]});
  return sum / static_cast<double>(ours.size());
}

TEST(CaptureFiles, FramesTakenAfterASeekAreWholeInStreamsWithRareKeyFrames) {
  // 50 frames per second, 25 s; samples at 3 s and then every 8 s, each
  // reached by a seek. None of these streams has a key frame the demuxer
  // can seek to near a sample: decoding must start from the last real key
  // frame or recovery point before it, never from the picture the seek
  // landed on.
  struct Shape {
    const char* name;
    const char* container;
    const char* keyFrames;
    int bFrames;
  };
  const Shape shapes[] = {
      {"one IDR picture, then P and B only", "ts", "first", 2},
      {"one IDR picture, P only", "ts", "first", 0},
      {"intra refresh with recovery points", "ts", "intra-refresh", 0},
      {"key frames the container does not flag", "mp4", "unflagged", 2},
      {"key frames the container does not flag", "mkv", "unflagged", 0},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(std::string(shape.name) + " in " + shape.container);
    VideoOptions o = testing::SmallVideo(1250);
    o.width = 320;
    o.height = 240;
    o.fpsNum = 50;
    o.container = shape.container;
    o.codec = "h264";
    o.keyFrames = shape.keyFrames;
    o.keyframeInterval = 120;
    o.maxBFrames = shape.bFrames;
    const std::string path =
        Videos::Get().Make(o, std::string("rare_keys_") + shape.keyFrames + "_b" +
                                  std::to_string(shape.bFrames) + "." + shape.container);
    if (path.empty()) continue;
    testing::DebugCapture debug;
    const Outcome out = Capture(path, Samples(3, 8), /*keepPixels=*/true);
    ASSERT_TRUE(out.opened) << out.errorText;
    EXPECT_TRUE(out.completed);
    EXPECT_EQ(out.frames, (std::vector<int64_t>{150, 550, 950}));
    EXPECT_EQ(out.numbers, AsInts(out.frames)) << debug.Text();
    EXPECT_GE(out.seeks, 1);
    for (size_t i = 0; i < out.pixels.size() && i < out.frames.size(); ++i) {
      SCOPED_TRACE("frame " + std::to_string(out.frames[i]));
      EXPECT_LE(DifferenceFromFfmpeg(path, out.frames[i], out.pixels[i], out.format), 6.0);
    }
    if (shape.keyFrames == std::string("first")) {
      EXPECT_TRUE(testing::Contains(debug.Text(), "ffmpeg: no key frame before "))
          << "the debug output says where decoding began instead: " << debug.Text();
    }
  }
}

TEST(CaptureFiles, FramesDecodedBeforeThePictureRecoversAreNeverTaken) {
  // An intra-refresh stream joined late (its IDR picture cut away, as a
  // recording of a broadcast begins): decoding can begin only at the
  // recovery point of frame 240, and the pictures of the sweep that follows
  // it are still incomplete. The decoder marks them; none is taken.
  VideoOptions o = testing::SmallVideo(500);
  o.fpsNum = 50;
  o.container = "ts";
  o.codec = "h264";
  o.keyFrames = "intra-refresh";
  o.keyframeInterval = 120;
  const std::string whole = Videos::Get().Make(o, "intra_refresh_50.ts");
  ASSERT_FALSE(whole.empty());
  const std::string bytes = testing::ReadFileBytes(whole);
  testing::TempFolder folder("engine-joined-late");
  const std::string path = folder / "joined late.ts";
  ASSERT_TRUE(testing::WriteFileBytes(path, bytes.substr(bytes.size() / 4 / 188 * 188)));
  testing::DebugCapture debug;
  const Outcome out = Capture(path, Samples(0, 0.02));  // every frame
  ASSERT_TRUE(out.opened) << out.errorText;
  EXPECT_TRUE(out.ended);
  ASSERT_FALSE(out.numbers.empty());
  EXPECT_GT(out.numbers.front(), 241) << "the sweep after the recovery point is left out";
  EXPECT_LT(out.numbers.front(), 270);
  EXPECT_EQ(out.numbers.back(), 499);
  EXPECT_TRUE(testing::Contains(debug.Text(),
                                "decoded before the picture recovered; it is not "
                                "taken"))
      << debug.Text();
}

TEST(CaptureFiles, TimesCountFromTheFilesStartWhereTheVideoStartsLate) {
  // 20 frames per second, the first picture half a second (10 frames) into
  // the file, audio from 0. A player shows picture k at 0.5 + k / 20 s: the
  // frame taken for a moment is the picture shown then, named by that time.
  for (const char* container : {"mp4", "ts", "mkv"}) {
    SCOPED_TRACE(container);
    VideoOptions o = testing::SmallVideo(240);
    o.fpsNum = 20;
    o.container = container;
    o.codec = "h264";
    o.videoStart = 0.5;
    o.audioSeconds = 13;
    o.keyframeInterval = 40;
    const std::string path = Videos::Get().Make(o, std::string("late_video.") + container);
    if (path.empty()) continue;
    {
      SCOPED_TRACE("every 0.5 s from 1 s, decoding on");
      CaptureSettings settings = Samples(1, 0.5);
      settings.sampleduration = 2;
      const Outcome out = Capture(path, settings);
      ASSERT_TRUE(out.opened) << out.errorText;
      EXPECT_NEAR(out.durationSeconds, 12.5, 0.05) << "the last picture ends 12.5 s in";
      EXPECT_EQ(out.frames, (std::vector<int64_t>{20, 30, 40, 50, 60}));
      EXPECT_EQ(out.numbers, (std::vector<int>{10, 20, 30, 40, 50}));
      ASSERT_EQ(out.times.size(), 5u);
      // Within the audio encoder's priming, which moves the file's start a
      // little ahead of the first sound.
      for (size_t i = 0; i < out.times.size(); ++i)
        EXPECT_NEAR(out.times[i], 1.0 + 0.5 * static_cast<double>(i), 0.025);
    }
    {
      SCOPED_TRACE("every 4 s from 2 s, seeking; the last picture is reached");
      const Outcome out = Capture(path, Samples(2, 4));
      ASSERT_TRUE(out.opened) << out.errorText;
      EXPECT_EQ(out.frames, (std::vector<int64_t>{40, 120, 200}));
      EXPECT_EQ(out.numbers, (std::vector<int>{30, 110, 190}));
      ASSERT_EQ(out.times.size(), 3u);
      EXPECT_NEAR(out.times[2], 10.0, 0.025);
      const Outcome last = Capture(path, Samples(12.46, -1));  // the last picture, 239
      EXPECT_EQ(last.numbers, std::vector<int>{239});
    }
  }
}

}  // namespace
}  // namespace ombrelo
