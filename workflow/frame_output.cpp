#include "workflow/frame_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "imaging/jpeg_writer.h"
#include "imaging/picture.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/project.h"

namespace ombrelo {

namespace {

constexpr char kThumbnailPrefixWord[] = "capture";
constexpr size_t kBmpHeadersSize = BitmapFileHeader::kSize + BitmapInfoHeader::kSize;

// Bytes of one stored row of 24-bit pixels (0 for a width of 0 or less).
int64_t Rgb24RowBytes(int32_t width) {
  if (width <= 0) return 0;
  return (static_cast<int64_t>(width) * 24 + 31) / 32 * 4;
}

}  // namespace

size_t FrameCopy::Bytes() const {
  if (!pixels || size <= 0) return 0;
  return std::min(static_cast<size_t>(size), pixels->size());
}

std::string ThumbnailSuffix(const CaptureSettings& settings, int32_t frame, double time,
                            int32_t imageNumber) {
  char text[64];
  if (settings.notimetag) {
    if (imageNumber == 0) return "";
    std::snprintf(text, sizeof text, "%d", imageNumber);
  } else if (settings.namebyframe) {
    std::snprintf(text, sizeof text, "_%06d", frame);
  } else {
    const TimeParts t = SplitTime(time);
    std::snprintf(text, sizeof text, "_%uh%02um%02u.%03us", t.hours, t.minutes, t.seconds,
                  t.milliseconds);
  }
  return text;
}

const char* ThumbnailExtension(const CaptureSettings& settings) {
  return settings.WritesBmp() ? ".bmp" : ".jpg";
}

std::string BmpFileBytes(const BitmapInfoHeader& videoFormat, const FrameCopy& frame) {
  const int64_t height = std::max<int32_t>(videoFormat.biHeight, 0);
  const int64_t rowBytes = Rgb24RowBytes(videoFormat.biWidth);
  const int64_t pixelBytes = height * rowBytes;
  if (pixelBytes > static_cast<int64_t>(frame.Bytes())) return "";
  if (pixelBytes + static_cast<int64_t>(kBmpHeadersSize) > int64_t{UINT32_MAX}) return "";

  std::string bytes(kBmpHeadersSize + static_cast<size_t>(pixelBytes), '\0');
  auto* out = reinterpret_cast<uint8_t*>(bytes.data());
  BitmapFileHeader fileHeader;
  fileHeader.bfSize = static_cast<uint32_t>(bytes.size());
  fileHeader.bfOffBits = static_cast<uint32_t>(kBmpHeadersSize);
  fileHeader.Write(out);
  videoFormat.Write(out + BitmapFileHeader::kSize);

  // The frame's rows are top-down and the file's bottom-up: the last row of
  // the frame is stored first. The bytes after each row's pixels are zero,
  // whatever the frame held there.
  const size_t used = static_cast<size_t>(videoFormat.biWidth > 0 ? videoFormat.biWidth : 0) * 3;
  const uint8_t* source = frame.Data();
  for (int64_t r = 0; r < height; ++r) {
    std::copy_n(source + (height - 1 - r) * rowBytes, used, out + kBmpHeadersSize + r * rowBytes);
  }
  return bytes;
}

namespace {

constexpr char kFrameTooSmall[] =
    QT_TRANSLATE_NOOP("FrameOutput", "the frame does not hold the picture");

bool WriteBmp(const BitmapInfoHeader& videoFormat, const FrameCopy& frame, const std::string& path,
              std::string* reason) {
  const std::string bytes = BmpFileBytes(videoFormat, frame);
  if (bytes.empty()) {
    DebugOutputF("Frame of %zu bytes does not hold a %dx%d bitmap\n", frame.Bytes(),
                 videoFormat.biWidth, videoFormat.biHeight);
    *reason = TranslateKept("FrameOutput", kFrameTooSmall);
    return false;
  }
  int error = 0;
  if (WriteFileReplacing(path, bytes, &error) == WriteResult::ok) return true;
  *reason = std::strerror(error != 0 ? error : EIO);
  return false;
}

bool WriteJpeg(const BitmapInfoHeader& videoFormat, const FrameCopy& frame, const std::string& path,
               int quality, std::string* reason) {
  // The writer only reads the pixels; the picture record has no const form.
  auto* pixels = const_cast<uint8_t*>(frame.Data());
  const HeaderPicture built = PictureFromBitmapHeader(videoFormat, {}, pixels);
  const Picture& picture = built.picture;
  const int64_t needed = static_cast<int64_t>(picture.stride) * std::max(picture.height, 0);
  if (!pixels || picture.stride <= 0 || needed > static_cast<int64_t>(frame.Bytes())) {
    DebugOutputF("Frame of %zu bytes does not hold a %dx%d bitmap\n", frame.Bytes(),
                 videoFormat.biWidth, videoFormat.biHeight);
    *reason = TranslateKept("FrameOutput", kFrameTooSmall);
    return false;
  }
  // SaveJPG's steps, for the writer's reason of a failure.
  JpegStreamWriter writer;
  if (writer.Open(path, picture.width, picture.height, quality) && writer.WriteRows(picture) &&
      writer.Finish()) {
    return true;
  }
  *reason = writer.ErrorText();
  return false;
}

}  // namespace

bool WriteImage(const BitmapInfoHeader& videoFormat, const FrameCopy& frame,
                const std::string& path, const CaptureSettings& settings, std::string* reason) {
  std::string ignored;
  if (!reason) reason = &ignored;
  if (settings.WritesBmp()) return WriteBmp(videoFormat, frame, path, reason);
  return WriteJpeg(videoFormat, frame, path, settings.jpegquality, reason);
}

std::string WriteFailureText(const std::string& path, const std::string& reason) {
  if (reason.empty())
    return FillIn(Translate("FrameOutput", "Failed to write JPEG image to:\n'%1'"), {path});
  return FillIn(Translate("FrameOutput", "Failed to write JPEG image to:\n'%1' - %2"),
                {path, reason});
}

std::string ThumbnailFileName(const std::string& prefix, const CaptureSettings& settings,
                              const FrameCopy& frame) {
  return prefix + ThumbnailSuffix(settings, frame.frame, frame.time, frame.imageNumber) +
         ThumbnailExtension(settings);
}

ThumbnailNaming NamingOf(CProject& project, const Movie& movie) {
  ThumbnailNaming naming;
  naming.prefix = project.ThumbnailPrefix(movie, movie.path(), kThumbnailPrefixWord,
                                          project.Output().thumbsEnabled);
  naming.videoFormat = movie.videoFormat;
  naming.settings = project.Capture();
  return naming;
}

bool WriteThumbnail(const BitmapInfoHeader& videoFormat, const FrameCopy& frame,
                    const std::string& path, const CaptureSettings& settings, std::string* reason) {
  if (WriteImage(videoFormat, frame, path, settings, reason)) return true;
  // Normally the movie's own sub-folder is missing at its first frame.
  paths::CreateFolders(paths::FolderOf(path));
  return WriteImage(videoFormat, frame, path, settings, reason);
}

void RecordThumbnail(CProject& project, int32_t movieId, const FrameCopy& frame,
                     const std::string& path, bool written,
                     const std::function<void()>& stopCapture, const std::string& reason) {
  if (written) {
    project.RecordImage(movieId, ImageEntry{path, static_cast<uint32_t>(frame.frame), frame.time});
    return;
  }
  if (stopCapture) stopCapture();
  // Stopping may have run code that changed the list; look the movie up again.
  project.AddMovieError(movieId, WriteFailureText(path, reason));
}

}  // namespace ombrelo
