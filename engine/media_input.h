#pragma once
// Opening a video file for reading: the one way every program of ours hands
// a file to FFmpeg.
//
// The file named is the only thing read. Its name is a local path, never an
// address ("concat:", "subfile,...:" and the like name files, not
// protocols). Formats whose files name other files or addresses to read
// (playlists, manifests, lists of files, image sequences, ...) are refused
// before their demuxer runs, with a reason that names the format; and any
// open a demuxer asks for beyond the file itself is refused, whatever the
// demuxer, while the file is opened and while it is read.
//
// Pictures larger than kMaxPicturePixels are not decoded: the decoders that
// look at the file while it is opened are held to that size, and the
// pipeline refuses a larger video before decoding (see FfmpegPipeline).
#include <cstdint>
#include <functional>
#include <string>

#include "platform/result_codes.h"

struct AVFormatContext;
struct AVStream;

namespace ombrelo {

// The largest picture decoded (8192 x 8192, 64 megapixels): real 8K video
// (7680 x 4320) fits with room to spare.
inline constexpr int64_t kMaxPicturePixels = int64_t{8192} * 8192;

// Told of every open asked for while a file is opened and read: the name
// asked for and whether it was allowed. Only the file itself is.
using InputOpenObserver = std::function<void(const std::string& name, bool allowed)>;

struct InputRequest {
  std::string path;
  // Called by FFmpeg while a read waits; non-zero gives up.
  int (*interrupt)(void*) = nullptr;
  void* interruptOpaque = nullptr;
  // Names with "://" are network addresses (http, https, tcp), read as the
  // address they name; off (as in every program): every name is a path.
  bool networkAddresses = false;
  // Must outlive the opened context; may be null.
  const InputOpenObserver* observer = nullptr;
  // The streams are taken as the header describes them, without decoding
  // their first frames, where the header says all of it (an MP4, MOV,
  // Matroska or WebM file whose video stream gives its codec, picture size
  // and length); other files are read as usual. For a reader that decodes
  // a picture or two and takes their format and shape from the frames.
  bool headerOnly = false;
};

// Why a file could not be opened or used.
struct InputFailure {
  MediaError code = MediaError::none;
  std::string reason;  // in words a user knows
};

// The file opened, its streams read (avformat_find_stream_info, unless the
// header is enough for a headerOnly request): the caller
// owns the context and closes it with avformat_close_input (av::FormatCloser),
// which closes the file too. Null when it failed, with the failure.
AVFormatContext* OpenInput(const InputRequest& request, InputFailure* failure);

// Why a file with no usable video stream cannot be indexed, saying what it
// holds instead ("The file has no video stream: it holds only audio (AC-3).").
std::string NoVideoStreamReason(const AVFormatContext* format);

// Why the video stream cannot be decoded, or "" when it can: no decoder in
// this system's FFmpeg, no picture size, or pictures too large as they are
// shown (stretched to their display aspect).
// *code is the error to report.
std::string UndecodableReason(AVFormatContext* format, AVStream* stream, MediaError* code);

}  // namespace ombrelo
