// ombrelo-testvideo: writes a frame-numbered test video, or reads the frame
// number back from a thumbnail.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/testvideo/test_video.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using ombrelo::testvideo::VideoOptions;

constexpr const char* kUsage =
    "usage: ombrelo-testvideo [options] OUTPUT\n"
    "       ombrelo-testvideo --read FILE.jpg|FILE.bmp\n"
    "\n"
    "Writes a test video whose frames carry their own frame number.\n"
    "\n"
    "  --container NAME     mp4, mov, avi, mkv, webm, mpg, ts (default: from OUTPUT's extension)\n"
    "  --codec NAME         h264, hevc, mpeg4, vp9, vp8, mpeg2video, mpeg1video, mjpeg\n"
    "                       (default: the container's usual one)\n"
    "  --fourcc TAG         codec tag to write, e.g. XVID\n"
    "  --size WxH           picture size (default 320x240)\n"
    "  --fps RATE           frame rate: 25, 30000/1001, 29.97 (default 25)\n"
    "  --frames N           number of frames (default 250)\n"
    "  --seconds S          length in seconds instead of --frames\n"
    "  --gop N              key frame interval (default 250)\n"
    "  --bframes N          B-frames where the codec has them (default 0)\n"
    "  --bitrate N          video bits per second, k and M allowed (default: quality-based)\n"
    "  --audio S            add a silent audio track of S seconds\n"
    "  --audio-codec NAME   aac, mp3, mp2, opus, vorbis, pcm_s16le (default: the container's)\n"
    "  --sar N:D            sample aspect ratio (default 1:1)\n"
    "  --rotate DEG         display rotation 0, 90, 180 or 270 (mp4 and mov)\n"
    "  --color-matrix M     bt601 or bt709\n"
    "  --full-range         full-range samples\n"
    "  --hdr KIND           pq, hlg or bt2020: the same scene as 10-bit HDR or wide-gamut video\n"
    "  --black-frames A-B,...  draw frames A to B (and the other stretches) black\n"
    "  --key-frames LAYOUT  first (one IDR, then P and B only), intra-refresh (H.264),\n"
    "                       or unflagged (key frames the container does not flag)\n"
    "  --video-start S      the first video frame S seconds after the file's start\n"
    "  --read FILE          print the frame number drawn in a JPEG or 24-bit BMP file\n";

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

bool ParsePair(std::string_view text, char separator, int* a, int* b) {
  const size_t at = text.find(separator);
  if (at == std::string_view::npos) return false;
  return ParseNumber(text.substr(0, at), a) && ParseNumber(text.substr(at + 1), b);
}

bool ParseRate(std::string_view text, int* num, int* den) {
  if (text.find('/') != std::string_view::npos) return ParsePair(text, '/', num, den);
  if (ParseNumber(text, num)) {
    *den = 1;
    return true;
  }
  double rate = 0;
  if (!ParseNumber(text, &rate) || !(rate > 0) || rate > 1000) return false;
  for (int nominal : {24, 30, 48, 60, 120}) {  // the NTSC rates
    if (std::fabs(rate - nominal * 1000.0 / 1001.0) < 0.01) {
      *num = nominal * 1000;
      *den = 1001;
      return true;
    }
  }
  *num = static_cast<int>(std::lround(rate * 1000));
  *den = 1000;
  return true;
}

bool ParseBitRate(std::string_view text, int64_t* value) {
  int64_t scale = 1;
  if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) scale = 1000;
  if (!text.empty() && text.back() == 'M') scale = 1'000'000;
  if (scale != 1) text.remove_suffix(1);
  if (!ParseNumber(text, value) || *value < 0) return false;
  *value *= scale;
  return true;
}

// "A-B,C-D": stretches of frames.
bool ParseRanges(std::string_view text, std::vector<VideoOptions::FrameRange>* ranges) {
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const size_t dash = item.find('-');
    VideoOptions::FrameRange range;
    if (dash == std::string_view::npos || !ParseNumber(item.substr(0, dash), &range.first) ||
        !ParseNumber(item.substr(dash + 1), &range.last)) {
      return false;
    }
    ranges->push_back(range);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return !ranges->empty();
}

int Read(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool bmp = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".bmp") == 0;
  const int number = bmp ? ombrelo::testvideo::ReadFrameNumberFromBmp(path)
                         : ombrelo::testvideo::ReadFrameNumberFromJpeg(path);
  if (number < 0) {
    std::fprintf(stderr, "ombrelo-testvideo: no frame number found in %s\n", path.c_str());
    return 1;
  }
  std::printf("%d\n", number);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  av_log_set_level(AV_LOG_ERROR);
  VideoOptions options;
  double seconds = -1;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--full-range") {
      options.fullRange = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ombrelo-testvideo: %s needs a value\n%s", argv[i], kUsage);
        return 2;
      }
      const std::string_view value = argv[++i];
      bool ok = true;
      if (arg == "--read") return Read(std::string(value));
      if (arg == "--container") {
        options.container = value;
      } else if (arg == "--codec") {
        options.codec = value;
      } else if (arg == "--fourcc") {
        options.fourcc = value;
      } else if (arg == "--size") {
        ok = ParsePair(value, 'x', &options.width, &options.height);
      } else if (arg == "--fps") {
        ok = ParseRate(value, &options.fpsNum, &options.fpsDen);
      } else if (arg == "--frames") {
        ok = ParseNumber(value, &options.frameCount);
      } else if (arg == "--seconds") {
        ok = ParseNumber(value, &seconds) && seconds > 0;
      } else if (arg == "--gop") {
        ok = ParseNumber(value, &options.keyframeInterval);
      } else if (arg == "--bframes") {
        ok = ParseNumber(value, &options.maxBFrames);
      } else if (arg == "--bitrate") {
        ok = ParseBitRate(value, &options.bitRate);
      } else if (arg == "--audio") {
        ok = ParseNumber(value, &options.audioSeconds);
      } else if (arg == "--audio-codec") {
        options.audioCodec = value;
      } else if (arg == "--sar") {
        ok = ParsePair(value, ':', &options.sampleAspectNum, &options.sampleAspectDen);
      } else if (arg == "--rotate") {
        ok = ParseNumber(value, &options.rotationDegrees);
      } else if (arg == "--hdr") {
        options.hdr = value;
      } else if (arg == "--black-frames") {
        ok = ParseRanges(value, &options.blackFrames);
      } else if (arg == "--key-frames") {
        options.keyFrames = value;
      } else if (arg == "--video-start") {
        ok = ParseNumber(value, &options.videoStart);
      } else if (arg == "--color-matrix") {
        options.colorMatrix = value;
      } else {
        std::fprintf(stderr, "ombrelo-testvideo: unknown option %s\n%s", argv[i - 1], kUsage);
        return 2;
      }
      if (!ok) {
        std::fprintf(stderr, "ombrelo-testvideo: bad value \"%s\" for %s\n", argv[i], argv[i - 1]);
        return 2;
      }
      continue;
    }
    if (!output.empty()) {
      std::fprintf(stderr, "ombrelo-testvideo: more than one output file given\n%s", kUsage);
      return 2;
    }
    output = arg;
  }
  if (output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options.path = output;
  if (seconds > 0 && options.fpsNum > 0 && options.fpsDen > 0) {
    options.frameCount = std::llround(seconds * options.fpsNum / options.fpsDen);
  }
  std::string error;
  if (!ombrelo::testvideo::Generate(options, &error)) {
    std::fprintf(stderr, "ombrelo-testvideo: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote %s: %lld frames of %dx%d at %d/%d fps\n", output.c_str(),
              static_cast<long long>(options.frameCount), options.width, options.height,
              options.fpsNum, options.fpsDen);
  return 0;
}
