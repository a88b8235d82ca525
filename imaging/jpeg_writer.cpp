#include "imaging/jpeg_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/picture_converter.h"
#include "jpeg_support.h"
#include "platform/debug_output.h"
#include "platform/replacing_file.h"
#include "platform/translate.h"

namespace ombrelo {

// The library's compressor with its file and row buffer. Every call into
// the library goes through a function below that holds the setjmp and
// keeps no object with a destructor alive.
struct JpegStreamWriter::Encoder {
  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
  bool created = false;
  FILE* file = nullptr;
  // The file that takes the path's place once complete.
  ReplacingFile output;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> row;  // width x 3 bytes of red, green, blue
  // Destination: 24-bit red, green, blue rows, as the encoder takes them.
  PictureConverter converter{MaskDescription{32, 0, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}};
};

namespace {

// Starts the compressor. False after an encoder error.
bool StartCompress(jpeg_compress_struct* cinfo, JpegErrorManager* errors, FILE* file, int width,
                   int height, int quality) {
  std::memset(cinfo, 0, sizeof(*cinfo));
  cinfo->err = InstallJpegErrorManager(errors);
  if (setjmp(errors->jump)) return false;
  jpeg_create_compress(cinfo);
  jpeg_stdio_dest(cinfo, file);
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

// Converts and writes the picture's rows (bottom-up when asked).
bool CompressRows(jpeg_compress_struct* cinfo, JpegErrorManager* errors, const Picture* picture,
                  const PictureConverter* converter, uint8_t* row, bool bottomUp) {
  if (setjmp(errors->jump)) return false;
  // A 32-bit source is always read as four 8-bit bytes whatever its channel
  // fields say; 16- and 24-bit sources are described by their own fields.
  const bool is32 = picture->bitsPerPixel == 32;
  const int redBits = is32 ? 8 : picture->redBits;
  const int greenBits = is32 ? 8 : picture->greenBits;
  const int blueBits = is32 ? 8 : picture->blueBits;
  JSAMPROW rows[1] = {row};
  for (ptrdiff_t n = 0; n < picture->height; ++n) {
    const ptrdiff_t line = bottomUp ? picture->height - n - 1 : n;
    const uint8_t* source = picture->pixels + static_cast<ptrdiff_t>(picture->stride) * line;
    converter->Convert(source, row, nullptr, picture->width, picture->bitsPerPixel,
                       picture->redShift, picture->greenShift, picture->blueShift, redBits,
                       greenBits, blueBits);
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  return true;
}

bool FinishCompress(jpeg_compress_struct* cinfo, JpegErrorManager* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_compress(cinfo);
  return true;
}

bool SupportedDepth(int bits) { return bits == 16 || bits == 24 || bits == 32; }

// Opens the file the picture is written to. It is written beside the path
// under a hidden temporary name and takes the path's place only when
// complete, so that a failed write keeps the picture that was there and a
// listing never shows half a file. A link at the path is replaced, never
// written through; a device, pipe or folder there is refused. A picture
// that may be written where nothing may be made is written in place, as it
// always could be.
FILE* OpenOutput(const std::string& path, ReplacingFile* output) {
  ReplacingFile::Options options;
  options.inPlaceWhenFolderLocked = true;
  int error = 0;
  const int fd = output->Open(path, options, &error);
  if (fd < 0) {
    errno = error;
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    error = errno;
    ::close(fd);
    output->Abandon();
    errno = error;
  }
  return file;
}

}  // namespace

JpegStreamWriter::JpegStreamWriter() = default;

JpegStreamWriter::~JpegStreamWriter() { Abandon(); }

bool JpegStreamWriter::Fail(int code, const std::string& text) {
  errorCode_ = code;
  errorText_ = text;
  Abandon();
  return false;
}

void JpegStreamWriter::Abandon() {
  if (!encoder_) return;
  if (encoder_->created) jpeg_destroy_compress(&encoder_->cinfo);
  if (encoder_->file) std::fclose(encoder_->file);
  encoder_->output.Abandon();  // only the file we have started is removed
  encoder_.reset();
}

bool JpegStreamWriter::Open(const std::string& path, int width, int height, int quality) {
  Abandon();
  path_ = path;
  errorCode_ = 0;
  errorText_.clear();
  if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
    DebugOutputF("SaveJPG()  Invalid picture size %d x %d\n", width, height);
    return Fail(EINVAL, Translate("JpegWriter", "the picture is larger than a JPEG file allows"));
  }
  auto encoder = std::make_unique<Encoder>();
  encoder->file = OpenOutput(path, &encoder->output);
  if (encoder->file == nullptr) {
    const int error = errno;
    DebugOutputF("can't open %s error %d\n", path.c_str(), error);
    return Fail(error, std::strerror(error));
  }
  encoder->width = width;
  encoder->height = height;
  encoder->row.resize(static_cast<size_t>(width) * 3);
  encoder_ = std::move(encoder);
  encoder_->created = true;
  if (!StartCompress(&encoder_->cinfo, &encoder_->errors, encoder_->file, width, height, quality)) {
    DebugOutputF("SaveJPG()  %s\n", encoder_->errors.message);
    return Fail(encoder_->errors.pub.msg_code, encoder_->errors.message);
  }
  return true;
}

bool JpegStreamWriter::WriteRows(const Picture& rows) {
  if (!encoder_) return false;
  if (!SupportedDepth(rows.bitsPerPixel)) {
    DebugOutput("Unsupported input format to SaveJPG()\n");
    return Fail(EINVAL, Translate("JpegWriter", "unsupported pixel format"));
  }
  const int64_t written = encoder_->cinfo.next_scanline;
  if (rows.pixels == nullptr || rows.width != encoder_->width || rows.height < 0 ||
      written + rows.height > encoder_->height) {
    DebugOutputF("SaveJPG()  Invalid picture size %d x %d\n", rows.width, rows.height);
    return Fail(EINVAL, Translate("JpegWriter", "rows that do not belong to the picture"));
  }
  errno = 0;
  if (!CompressRows(&encoder_->cinfo, &encoder_->errors, &rows, &encoder_->converter,
                    encoder_->row.data(), false)) {
    DebugOutputF("SaveJPG()  %s\n", encoder_->errors.message);
    return Fail(errno != 0 ? errno : encoder_->errors.pub.msg_code, encoder_->errors.message);
  }
  return true;
}

bool JpegStreamWriter::Finish() {
  if (!encoder_) return false;
  if (encoder_->cinfo.next_scanline < static_cast<JDIMENSION>(encoder_->height)) {
    DebugOutput("SaveJPG()  the picture has rows missing\n");
    return Fail(EINVAL, Translate("JpegWriter", "the picture has rows missing"));
  }
  errno = 0;
  if (!FinishCompress(&encoder_->cinfo, &encoder_->errors)) {
    DebugOutputF("SaveJPG()  %s\n", encoder_->errors.message);
    return Fail(errno != 0 ? errno : encoder_->errors.pub.msg_code, encoder_->errors.message);
  }
  jpeg_destroy_compress(&encoder_->cinfo);
  encoder_->created = false;
  // A full disk may show only when the last buffered bytes are written.
  FILE* file = encoder_->file;
  encoder_->file = nullptr;
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  int error = flushed ? 0 : errno;
  if (std::fclose(file) != 0 && error == 0) error = errno;
  if (!flushed || error != 0) {
    DebugOutputF("SaveJPG()  write error %d on %s\n", error, path_.c_str());
    return Fail(error, std::strerror(error));
  }
  if (!encoder_->output.Commit(&error)) {
    DebugOutputF("SaveJPG()  cannot replace %s error %d\n", path_.c_str(), error);
    return Fail(error, std::strerror(error));
  }
  encoder_.reset();  // the file is complete: keep it
  return true;
}

bool SaveJPG(const Picture& picture, const std::string& path, int quality, bool bottomUp) {
  if (!SupportedDepth(picture.bitsPerPixel)) {
    DebugOutput("Unsupported input format to SaveJPG()\n");
    return false;
  }
  if (picture.pixels == nullptr) {
    DebugOutputF("SaveJPG()  Invalid picture size %d x %d\n", picture.width, picture.height);
    return false;
  }
  JpegStreamWriter writer;
  if (!writer.Open(path, picture.width, picture.height, quality)) return false;
  if (!bottomUp) return writer.WriteRows(picture) && writer.Finish();
  // Bottom-up rows: the last row in memory is the picture's first.
  Picture upright = picture;
  upright.pixels = picture.pixels + static_cast<ptrdiff_t>(picture.stride) * (picture.height - 1);
  upright.stride = -picture.stride;
  return writer.WriteRows(upright) && writer.Finish();
}

}  // namespace ombrelo
