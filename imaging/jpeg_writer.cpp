#include "imaging/jpeg_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/jpeg_support.h"
#include "imaging/picture_converter.h"
#include "platform/debug_output.h"

namespace ombrelo {
namespace {

// What the encoder loop needs; trivially destructible, so it may live across
// the setjmp below.
struct EncodeJob {
  const Picture* picture;
  const PictureConverter* converter;
  FILE* file;
  uint8_t* row;  // width x 3 bytes
  int quality;
  bool bottomUp;
};

// Runs the encoder over the whole picture. An encoder error (a failed write,
// for one) jumps back to the setjmp, where the object is destroyed and the
// failure reported. Nothing in this frame has a destructor.
bool Encode(const EncodeJob& job) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof(cinfo));
  JpegErrorManager errors;
  cinfo.err = InstallJpegErrorManager(&errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    DebugOutputF("SaveJPG()  %s\n", errors.message);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, job.file);

  const Picture& picture = *job.picture;
  cinfo.image_width = static_cast<JDIMENSION>(picture.width);
  cinfo.image_height = static_cast<JDIMENSION>(picture.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job.quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);

  // A 32-bit source is always read as four 8-bit bytes whatever its channel
  // fields say; 16- and 24-bit sources are described by their own fields.
  const bool is32 = picture.bitsPerPixel == 32;
  const int redBits = is32 ? 8 : picture.redBits;
  const int greenBits = is32 ? 8 : picture.greenBits;
  const int blueBits = is32 ? 8 : picture.blueBits;
  JSAMPROW rows[1] = {job.row};
  while (cinfo.next_scanline < cinfo.image_height) {
    const ptrdiff_t n = cinfo.next_scanline;
    const ptrdiff_t line = job.bottomUp ? picture.height - n - 1 : n;
    const uint8_t* source = picture.pixels + static_cast<ptrdiff_t>(picture.stride) * line;
    job.converter->Convert(source, job.row, nullptr, picture.width, picture.bitsPerPixel,
                           picture.redShift, picture.greenShift, picture.blueShift, redBits,
                           greenBits, blueBits);
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool SaveJPG(const Picture& picture, const std::string& path, int quality, bool bottomUp) {
  const int bits = picture.bitsPerPixel;
  if (bits != 16 && bits != 24 && bits != 32) {
    DebugOutput("Unsupported input format to SaveJPG()\n");
    return false;
  }
  if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0 ||
      picture.width > JPEG_MAX_DIMENSION || picture.height > JPEG_MAX_DIMENSION) {
    DebugOutputF("SaveJPG()  Invalid picture size %d x %d\n", picture.width, picture.height);
    return false;
  }

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    DebugOutputF("can't open %s error %d\n", path.c_str(), errno);
    return false;
  }
  // Only a regular file we have started is removed after a failure; a device
  // or pipe given as the path is left alone.
  struct stat info;
  const bool regularFile = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);

  std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
  // Destination: 24-bit red, green, blue rows, as the encoder takes them.
  const PictureConverter converter(MaskDescription{32, 0, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0});
  const EncodeJob job{&picture, &converter, file, row.data(), quality, bottomUp};
  bool ok = Encode(job);

  // A full disk may show only when the last buffered bytes are written.
  if (ok && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
    DebugOutputF("SaveJPG()  write error %d on %s\n", errno, path.c_str());
    ok = false;
  }
  if (std::fclose(file) != 0 && ok) {
    DebugOutputF("SaveJPG()  write error %d on %s\n", errno, path.c_str());
    ok = false;
  }
  if (!ok && regularFile) std::remove(path.c_str());
  return ok;
}

}  // namespace ombrelo
