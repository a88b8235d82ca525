#pragma once
// Frame-numbered synthetic test videos.
//
// Every frame carries its own frame number as a block code in the middle of
// the picture: a grid of large black and white cells (24 bits of frame number
// and a 16-bit checksum), framed by a black ring and a white quiet zone that
// give the reader its black and white levels. The code sits at fixed
// proportions of the frame, so it reads back from frames scaled to any size
// (anamorphic correction, half-size thumbnails) and after lossy coding. Below
// it the number is also drawn as digits for people looking at the pictures.
// The rest of the frame is a moving colour gradient.
//
// The code is drawn in the coded frame. A reader that applies the display
// rotation of a rotated video sees a rotated code: ReadFrameNumber expects the
// coded orientation, ReadFrameNumberAnyRotation tries all four.
#include <cstdint>
#include <string>
#include <vector>

namespace ombrelo::testvideo {

struct VideoOptions {
  // Output file; container chosen from its extension unless `container` is set.
  std::string path;
  // "mp4", "mov", "avi", "mkv", "webm", "mpg" (MPEG-2 program stream), "ts".
  std::string container;
  // "h264" (libx264), "hevc" (libx265), "mpeg4" (MPEG-4 Part 2), "vp9", "vp8", "mpeg2video", "mpeg1video", "mjpeg";
  // another FFmpeg encoder name is used as it is; "" = the container's usual one.
  std::string codec;
  // Codec tag to write, e.g. "XVID" for MPEG-4 in AVI; "" = default (which is "XVID" for MPEG-4
  // Part 2 in AVI and the muxer's own choice elsewhere).
  std::string fourcc;
  int width = 320, height = 240;  // even, at least 16
  int fpsNum = 25, fpsDen = 1;    // frame rate
  int64_t frameCount = 250;       // number of frames, 1 to 16777216
  int keyframeInterval = 250;     // GOP size
  int maxBFrames = 0;             // B-frames where the codec supports them
  // > 0: add a silent audio track of this length (may be longer than the video).
  double audioSeconds = 0;
  int sampleAspectNum = 1, sampleAspectDen = 1;  // anamorphic video when not 1:1
  // Display-matrix rotation side data (0, 90, 180, 270 degrees clockwise, as a player turns the
  // picture). Only mp4 and mov keep it; asking for it in another container is an error.
  int rotationDegrees = 0;
  // "" (codec default), "bt601", "bt709"; full or limited range via fullRange.
  std::string colorMatrix;
  bool fullRange = false;
  // Additions:
  int64_t bitRate = 0;  // video bits per second; 0 = a quality-based setting of the encoder
  // "aac", "mp3", "mp2", "opus", "vorbis", "pcm_s16le", ...; "" = the container's usual one.
  std::string audioCodec;
  // "" (SDR), or the same scene as HDR or wide-gamut video in 10-bit BT.2020 with its colour tags:
  // "pq" (HDR10: PQ transfer, a 1000 cd/m2 mastering display, content light level 2000 cd/m2), "hlg",
  // "bt2020" (wide-gamut SDR). Needs an encoder of 10-bit video; the codec defaults to "hevc".
  std::string hdr;
  // Stretches of black frames (which carry no frame number), each from its
  // first to its last frame; SDR video only.
  struct FrameRange {
    int64_t first = 0, last = 0;
    bool operator==(const FrameRange&) const = default;
  };
  std::vector<FrameRange> blackFrames;
  // How key frames are laid out: "" (a key frame every keyframeInterval
  // frames), "first" (one IDR picture, then only P and B pictures; H.264),
  // "intra-refresh" (one IDR picture, then a column of intra blocks sweeping
  // the picture every keyframeInterval frames, each sweep announced by a
  // recovery point; H.264), "unflagged" (key frames every keyframeInterval
  // frames, but the container flags only the first as one: its index lists
  // no other, although a demuxer that parses the stream may find them).
  std::string keyFrames;
  // Time of the first video frame in seconds, counted from the file's start
  // (the audio track, when there is one, still starts at 0). MP4 and MOV
  // write an edit list for it, MPEG-TS a later time stamp.
  double videoStart = 0;

  // Every option takes part, so that a new one needs no list of its own.
  bool operator==(const VideoOptions&) const = default;
};

// Writes the video; false with a readable error text on failure (no partial file is left behind).
// Thread-safe. The encoders' own messages are lowered to FFmpeg's debug level; the process's av_log
// settings decide where the rest goes.
bool Generate(const VideoOptions& options, std::string* error = nullptr);

enum class PixelOrder { BGR24, RGB24 };

// Recovers the frame number drawn into a frame from decoded pixels (rows top-down when stride > 0;
// pass a pointer to the last row and a negative stride for bottom-up bitmaps). -1 when no valid
// code (checksum mismatch) is found. Works on frames scaled to another size (e.g. anamorphic
// correction, index-photo thumbnails at 0.5 scale) as long as the code area is visible. The pixels
// must be the whole frame, scaled as a whole (not cropped, not framed by borders), in its coded
// orientation.
int ReadFrameNumber(const uint8_t* pixels, int width, int height, int stride, PixelOrder order);

// Same, for a picture that may have been turned by 90, 180 or 270 degrees (clockwise, as a player
// applies the display rotation). `rotationDegrees`, when given, receives the turn that was found
// (0 when no code was found).
int ReadFrameNumberAnyRotation(const uint8_t* pixels, int width, int height, int stride,
                               PixelOrder order, int* rotationDegrees = nullptr);

// Same from a JPEG file or a 24-bit BMP file on disk. -1 also when the file cannot be read.
int ReadFrameNumberFromJpeg(const std::string& path);
int ReadFrameNumberFromBmp(const std::string& path);

// Draws frame `frameNumber` (0 to 16777215) as Generate would, into 24-bit pixels (rows top-down;
// negative stride as above). For pictures that need a code without going through a video.
void DrawFrame(int64_t frameNumber, uint8_t* pixels, int width, int height, int stride,
               PixelOrder order);

// A rectangle of pixels: columns [x, x + width), rows [y, y + height).
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The 40 data cells of the code in a frame of the given size, in bit order. A black cell is a 1.
// For tests that damage a code on purpose.
std::vector<PixelRect> CodeDataCells(int width, int height);

}  // namespace ombrelo::testvideo
