// HDR and wide-gamut video captured through the engine comes out as FFmpeg's
// own zscale and tonemap filters show it in SDR BT.709; SDR video comes out
// exactly as before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/ffmpeg_pipeline.h"
#include "support/capture_owner.h"
#include "support/debug_capture.h"
#include "support/test_videos.h"
#include "tools/testvideo/test_video.h"

namespace ombrelo {
namespace {

using testvideo::VideoOptions;

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"tone-map-videos"};
  return videos;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;  // rows top-down, no padding
  int64_t frame = -1;        // the frame the engine took
  int number = -1;           // frame number read from the pixels
};

// The one frame a capture with a sample after a second takes.
Picture Capture(const std::string& path, bool toneMapHdr) {
  FfmpegPipelineOptions options;
  options.toneMapHdr = toneMapHdr;
  CaptureEnvironment env;
  env.pipelineFactory = FfmpegPipelineFactory(options);
  CaptureEngine engine(env);
  testing::CaptureOwner owner;
  engine.SetListener(&owner);
  CaptureSettings settings;
  settings.delaybeforefirst = 1;
  settings.delaybetweensamples = -1;  // one sample
  HResult result = S_OK;
  Picture picture;
  if (!engine.Open(path, &result)) {
    ADD_FAILURE() << "cannot open " << path << ": " << engine.GetErrorText();
    return picture;
  }
  const BitmapInfoHeader format = engine.GetVideoFormat();
  for (bool ended = false; !ended;) {
    auto m = owner.Next();
    if (!m) {
      ADD_FAILURE() << "the capture of " << path << " hangs";
      break;
    }
    if (m->kind == testing::CaptureOwner::Message::frame && picture.bgr.empty()) {
      picture.width = format.biWidth;
      picture.height = format.biHeight;
      const size_t stride = format.biSizeImage / format.biHeight;
      for (int y = picture.height - 1; y >= 0; --y) {
        const uint8_t* row = m->pixels.data() + stride * y;
        picture.bgr.insert(picture.bgr.end(), row, row + picture.width * 3);
      }
      picture.frame = m->value;
      picture.number = testvideo::ReadFrameNumber(picture.bgr.data(), picture.width,
                                                  picture.height, picture.width * 3,
                                                  testvideo::PixelOrder::BGR24);
    }
    if (m->kind == testing::CaptureOwner::Message::frame) engine.FrameConsumed();
    if (m->kind == testing::CaptureOwner::Message::seek) engine.SeekToFrame(m->value);
    if (m->kind == testing::CaptureOwner::Message::ended) ended = true;
  }
  engine.Close();
  return picture;
}

// A frame converted by the ffmpeg command through `filters`, as BGR.
Picture Reference(const std::string& path, int64_t frame, const std::string& filters, int width,
                  int height) {
  testing::TempFolder folder("tone-map-ref");
  const std::string out = folder / "frame.bgr";
  const std::string command = "ffmpeg -nostdin -v error -i '" + path +
                              "' -vf 'select=eq(n\\," + std::to_string(frame) + ")," + filters +
                              ",format=bgr24' -frames:v 1 -f rawvideo -y '" + out + "'";
  Picture picture;
  if (std::system(command.c_str()) != 0) {
    ADD_FAILURE() << "ffmpeg failed: " << command;
    return picture;
  }
  const std::string bytes = testing::ReadFileBytes(out);
  picture.width = width;
  picture.height = height;
  picture.bgr.assign(bytes.begin(), bytes.end());
  EXPECT_EQ(picture.bgr.size(), static_cast<size_t>(width) * height * 3) << command;
  return picture;
}

// Mean absolute difference of each channel (B, G, R).
std::vector<double> MeanError(const Picture& a, const Picture& b) {
  std::vector<double> sum(3, 0.0);
  if (a.bgr.size() != b.bgr.size() || a.bgr.empty()) return {255, 255, 255};
  for (size_t i = 0; i < a.bgr.size(); ++i) sum[i % 3] += std::abs(a.bgr[i] - b.bgr[i]);
  for (double& s : sum) s /= static_cast<double>(a.bgr.size() / 3);
  return sum;
}

// FFmpeg's usual chain: display light with white at 100 cd/m2, BT.709
// primaries, the Hable curve up to the peak the frame's metadata gives,
// back to BT.709's transfer.
constexpr const char* kToneMapChain =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=pc,format=gbrp";

TEST(ToneMap, HdrAndWideGamutVideoLooksAsFfmpegsFilterChainShowsIt) {
  struct Case {
    const char* hdr;
    const char* filters;
  };
  const Case cases[] = {
      {"pq", kToneMapChain},
      {"hlg", kToneMapChain},
      // Wide-gamut SDR: only the primaries change.
      {"bt2020", "zscale=t=linear,format=gbrpf32le,zscale=p=bt709,zscale=t=bt709:m=bt709:r=pc,"
                 "format=gbrp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hdr);
    VideoOptions o = testing::SmallVideo(50);
    o.width = 320;
    o.height = 240;
    o.keyframeInterval = 25;
    o.hdr = c.hdr;
    const std::string path = Videos().Make(o, std::string(c.hdr) + ".mkv");
    ASSERT_FALSE(path.empty());

    const Picture mapped = Capture(path, true);
    ASSERT_EQ(mapped.width, 320);
    ASSERT_EQ(mapped.height, 240);
    EXPECT_EQ(mapped.number, mapped.frame);
    const Picture reference = Reference(path, mapped.frame, c.filters, 320, 240);
    for (double e : MeanError(mapped, reference)) EXPECT_LT(e, 1.25);

    // The samples converted as they are: far from it (washed out or dull).
    const Picture plain = Capture(path, false);
    double plainError = 0;
    for (double e : MeanError(plain, reference)) plainError += e / 3;
    EXPECT_GT(plainError, 5.0);
  }
}

TEST(ToneMap, SdrVideoKeepsEveryByteOfItsConversion) {
  for (const char* matrix : {"", "bt601", "bt709"}) {
    SCOPED_TRACE(matrix);
    VideoOptions o = testing::SmallVideo(50);
    o.colorMatrix = matrix;
    o.container = "mp4";
    const std::string path = Videos().Make(o, std::string("sdr_") + matrix + ".mp4");
    ASSERT_FALSE(path.empty());
    const Picture withMapper = Capture(path, true);
    const Picture without = Capture(path, false);
    EXPECT_EQ(withMapper.number, withMapper.frame);
    ASSERT_FALSE(withMapper.bgr.empty());
    EXPECT_TRUE(withMapper.bgr == without.bgr);
  }
}

}  // namespace
}  // namespace ombrelo
