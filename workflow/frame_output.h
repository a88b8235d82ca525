#pragma once
// Frame output: every frame the capture takes becomes a thumbnail file. The
// name follows from the movie, the project's capture settings at the moment
// of saving and the frame (its time, its frame number or its place among the
// movie's images); the file is a JPEG or a BMP. A write that fails is tried
// once more after the missing folders have been made; a thumbnail that still
// cannot be written stops the capture and marks the movie failed.
//
// This lives with the workflow controller rather than in the engine library:
// it names files through the project (movies, thumbnail prefix), and the
// project library already builds on the engine's, not the other way round.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/capture_settings.h"
#include "imaging/bitmap_header.h"

namespace ombrelo {

class CProject;
class Movie;

// The owner's copy of a frame the capture took. The pixels are shared: the
// progress page keeps them for its preview while the frame is being saved.
struct FrameCopy {
  std::shared_ptr<const std::vector<uint8_t>> pixels;  // top-down BGR rows
  int32_t size = 0;         // bytes of the frame (the size of the buffer)
  int32_t frame = 0;        // frame number
  double time = 0.0;        // start of the frame in seconds
  std::string moviePath;    // path of the movie the frame belongs to
  int32_t imageNumber = 0;  // 0 for the movie's first frame, then 1, 2, ...
  int32_t movieId = 0;      // the movie being captured when the frame was taken

  const uint8_t* Data() const { return pixels ? pixels->data() : nullptr; }
  // The usable bytes: the smaller of size and the buffer's length.
  size_t Bytes() const;
};

// The part of a thumbnail's name after the movie's prefix:
//   notimetag set:    the image number ("", "1", "2", ...)
//   namebyframe set:  "_%06d" of the frame number
//   otherwise:        "_%dh%02dm%02d.%03ds" of the frame's time
std::string ThumbnailSuffix(const CaptureSettings& settings, int32_t frame, double time,
                            int32_t imageNumber);

// ".bmp" when imageformat is 1, else ".jpg".
const char* ThumbnailExtension(const CaptureSettings& settings);

// The bytes of a BMP file of the frame: the 14-byte file header, the
// movie's 40-byte video format as stored, and `height` rows of width x 3
// bytes each followed by zeros up to a multiple of four. A height of 0 or
// less gives the two headers only. Empty when the frame holds fewer bytes
// than the rows need.
std::string BmpFileBytes(const BitmapInfoHeader& videoFormat, const FrameCopy& frame);

// Writes the frame to path: a BMP when the settings' imageformat is 1, else
// a JPEG at the settings' quality. True when the whole file was written; a
// failure leaves no partial file, and puts the system's reason (such as
// "Permission denied") into reason when given.
bool WriteImage(const BitmapInfoHeader& videoFormat, const FrameCopy& frame,
                const std::string& path, const CaptureSettings& settings,
                std::string* reason = nullptr);

// The message a movie gets when a thumbnail cannot be written (for BMP
// files as well): "Failed to write JPEG image to:\n'<path>'", followed by
// " - <reason>" when the reason is known.
std::string WriteFailureText(const std::string& path, const std::string& reason = "");

// How the thumbnails of the movie being captured are named and written,
// fixed by the owner when the movie is opened: the path prefix (the
// project's thumbnail prefix of the movie), the movie's frame format and
// the capture settings that name and encode each file.
struct ThumbnailNaming {
  std::string prefix;
  BitmapInfoHeader videoFormat;
  CaptureSettings settings;
};
ThumbnailNaming NamingOf(CProject& project, const Movie& movie);

// prefix + ThumbnailSuffix + ThumbnailExtension.
std::string ThumbnailFileName(const std::string& prefix, const CaptureSettings& settings,
                              const FrameCopy& frame);

// The steps of saving a frame, the one way thumbnails are saved: the path
// (ThumbnailFileName of the movie's naming, taken on the owner's thread when
// the movie is opened), the write (the frame writer's thread; tried once
// more after the folders along the path have been made), and the movie's
// record of a written thumbnail or of the failure (owner's thread: when the
// write failed, stopCapture is called first, as the Stop command, and the
// movie gets WriteFailureText, status failed).
bool WriteThumbnail(const BitmapInfoHeader& videoFormat, const FrameCopy& frame,
                    const std::string& path, const CaptureSettings& settings,
                    std::string* reason = nullptr);
void RecordThumbnail(CProject& project, int32_t movieId, const FrameCopy& frame,
                     const std::string& path, bool written,
                     const std::function<void()>& stopCapture, const std::string& reason = "");

}  // namespace ombrelo
