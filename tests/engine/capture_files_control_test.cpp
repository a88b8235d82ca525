// Captures of real files when they are steered or go wrong: pause, resume
// and stop; cut-short, damaged, unreadable and undecodable files; reads that
// block, cancelled by a stop, a close or a seek.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "capture_files_support.h"
#include "engine/codec_probe.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using namespace std::chrono_literals;
using testing::AsInts;
using testing::Capture;
using testing::Kind;
using testing::NameOf;
using testing::Outcome;
using testing::Owner;
using testing::ReadNumber;
using testing::Samples;
using testing::Small;
using testing::Videos;

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
  // The two frames before the data runs out (however slowly they come),
  // then nothing more while the reader blocks.
  int frames = 0;
  while (frames < 2) {
    const auto m = owner.Next(60s);
    ASSERT_TRUE(m) << "frame " << frames << " did not come";
    if (m->kind == Owner::Message::frame) ++frames;
  }
  while (auto m = owner.Next(500ms)) {
    if (m->kind == Owner::Message::frame) ++frames;
  }
  EXPECT_EQ(frames, 2);
  const int64_t seeksBefore = counters->seeks.load();
  engine.SeekToFrame(185);
  const auto limit = std::chrono::steady_clock::now() + 30s;
  while (counters->seeks.load() == seeksBefore && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(5ms);
  EXPECT_GT(counters->seeks.load(), seeksBefore) << "the seek waited for the blocked read";
  engine.Stop();
  engine.Close();
  EXPECT_EQ(engine.GetState(), CaptureState::idle);
}

}  // namespace
}  // namespace ombrelo
