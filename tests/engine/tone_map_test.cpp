// HDR and wide-gamut video comes out of the pipeline as FFmpeg's own zscale
// and tonemap filters show it in SDR BT.709; SDR video exactly as before.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/thumbnail_grab.h"
#include "support/ffmpeg_reference.h"
#include "support/test_videos.h"

namespace ombrelo {
namespace {

testing::VideoCache& Videos() {
  static testing::VideoCache videos{"tone-map-videos"};
  return videos;
}

// The key frame before the middle of the video (its first: the videos have
// no other), converted as every taken frame is.
GrabbedFrame Middle(const std::string& path, bool toneMapHdr) {
  GrabOptions options;
  options.toneMapHdr = toneMapHdr;
  options.positions = {0.5};
  GrabResult r = GrabRepresentativeFrame(path, options);
  EXPECT_TRUE(r.ok) << r.error;
  return r.frame;
}

int Number(const GrabbedFrame& f) {
  return testvideo::ReadFrameNumber(f.bgr.data(), f.width, f.height, f.width * 3,
                                    testvideo::PixelOrder::BGR24);
}

TEST(ToneMap, HdrAndWideGamutVideoLooksAsFfmpegsFilterChainShowsIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"pq", testing::kFfmpegToneMap},
      {"hlg", testing::kFfmpegToneMap},
      {"bt2020",
       "zscale=t=linear,format=gbrpf32le,zscale=p=bt709,zscale=t=bt709:m=bt709:r=pc,"
       "format=gbrp,"},
  };
  for (const auto& [hdr, filters] : cases) {
    SCOPED_TRACE(hdr);
    testvideo::VideoOptions o = testing::SmallVideo(50);
    o.width = 320;
    o.height = 240;
    o.hdr = hdr;
    const std::string path = Videos().Make(o, std::string(hdr) + ".mkv");
    const GrabbedFrame mapped = Middle(path, true), plain = Middle(path, false);
    ASSERT_EQ(Number(mapped), 0);
    const std::string reference = testing::FfmpegFrame(path, 0, filters);
    ASSERT_EQ(reference.size(), mapped.bgr.size());
    double mappedError[3] = {}, plainError = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
      const int want = static_cast<uint8_t>(reference[i]);
      mappedError[i % 3] += std::abs(mapped.bgr[i] - want) * 3.0 / reference.size();
      plainError += std::abs(plain.bgr[i] - want) * 1.0 / reference.size();
    }
    for (double channel : mappedError) EXPECT_LT(channel, 1.25);
    EXPECT_GT(plainError, 5.0);  // the samples converted as they are: washed out or dull
  }
}

TEST(ToneMap, SdrVideoKeepsEveryByteOfItsConversion) {
  for (const char* matrix : {"", "bt601", "bt709"}) {
    SCOPED_TRACE(matrix);
    testvideo::VideoOptions o = testing::SmallVideo(50);
    o.colorMatrix = matrix;
    const std::string path = Videos().Make(o, std::string("sdr_") + matrix + ".mp4");
    const GrabbedFrame withMapper = Middle(path, true);
    EXPECT_EQ(Number(withMapper), 0);
    EXPECT_TRUE(withMapper.bgr == Middle(path, false).bgr);
  }
}

}  // namespace
}  // namespace ombrelo
