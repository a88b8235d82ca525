// Frame numbers from JPEG and 24-bit BMP files.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tools/testvideo/test_video.h"

extern "C" {
#include <jpeglib.h>
}

namespace ombrelo::testvideo {
namespace {

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

struct Picture {
  std::vector<uint8_t> rgb;
  int width = 0, height = 0, stride = 0;
};

// Decodes to RGB rows. No object with a destructor is created between the
// setjmp and the calls that may jump back to it; `picture` belongs to the caller.
bool DecodeJpeg(const std::string& bytes, Picture* picture) {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JpegErrorExit;
  errors.base.emit_message = JpegSilence;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3 || info.output_width > 65535 || info.output_height > 65535) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  picture->width = static_cast<int>(info.output_width);
  picture->height = static_cast<int>(info.output_height);
  picture->stride = picture->width * 3;
  picture->rgb.resize(static_cast<size_t>(picture->stride) * picture->height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        picture->rgb.data() + static_cast<size_t>(info.output_scanline) * picture->stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

}  // namespace

int ReadFrameNumberFromJpeg(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes) || bytes.empty()) return -1;
  Picture picture;
  if (!DecodeJpeg(bytes, &picture)) return -1;
  return ReadFrameNumber(picture.rgb.data(), picture.width, picture.height, picture.stride,
                         PixelOrder::RGB24);
}

int ReadFrameNumberFromBmp(const std::string& path) {
  std::string b;
  if (!ReadWholeFile(path, &b)) return -1;
  // File header (14 bytes) and an info header of at least 40 bytes.
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return -1;
  const uint32_t offset = Le32(b, 10);
  const uint32_t headerSize = Le32(b, 14);
  if (headerSize < 40 || 14 + uint64_t{headerSize} > b.size()) return -1;
  const int32_t width = static_cast<int32_t>(Le32(b, 18));
  const int32_t rawHeight = static_cast<int32_t>(Le32(b, 22));
  const uint16_t bitCount = Le16(b, 28);
  const uint32_t compression = Le32(b, 30);
  if (bitCount != 24 || compression != 0) return -1;  // BI_RGB, 24 bits only
  if (width <= 0 || width > 65535 || rawHeight == 0 || rawHeight < -65535 || rawHeight > 65535) {
    return -1;
  }
  const int height = rawHeight < 0 ? -rawHeight : rawHeight;
  const uint64_t stride = (uint64_t{static_cast<uint32_t>(width)} * 3 + 3) & ~uint64_t{3};
  if (offset > b.size() || b.size() - offset < stride * static_cast<uint64_t>(height)) return -1;
  const uint8_t* first = reinterpret_cast<const uint8_t*>(b.data()) + offset;
  const int s = static_cast<int>(stride);
  // Positive height: rows are stored bottom-up.
  if (rawHeight > 0) {
    return ReadFrameNumber(first + static_cast<size_t>(height - 1) * stride, width, height, -s,
                           PixelOrder::BGR24);
  }
  return ReadFrameNumber(first, width, height, s, PixelOrder::BGR24);
}

}  // namespace ombrelo::testvideo
