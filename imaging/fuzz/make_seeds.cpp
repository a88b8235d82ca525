// Writes the picture loader fuzzer's seed corpus into the folder given on
// the command line: small BMP files of every row kind and header type, and
// JPEG files of every colour space and coding mode the loader handles.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, unsigned v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// A BMP file: headerSize 12 (OS/2), 40 or 64; `extra` follows the header
// (palette, masks); `pixels` is the raw pixel data.
Bytes Bmp(unsigned headerSize, int width, int height, unsigned bits, unsigned compression,
          unsigned colours, const Bytes& extra, const Bytes& pixels) {
  Bytes info;
  Put32(info, headerSize);
  if (headerSize == 12) {
    Put16(info, static_cast<unsigned>(width));
    Put16(info, static_cast<unsigned>(height));
    Put16(info, 1);
    Put16(info, bits);
  } else {
    Put32(info, static_cast<unsigned>(width));
    Put32(info, static_cast<unsigned>(height));
    Put16(info, 1);
    Put16(info, bits);
    Put32(info, compression);
    Put32(info, 0);
    Put32(info, 2835);
    Put32(info, 2835);
    Put32(info, colours);
    Put32(info, 0);
    info.resize(headerSize, 0);
  }
  info.insert(info.end(), extra.begin(), extra.end());
  Bytes file{'B', 'M'};
  Put32(file, static_cast<unsigned>(14 + info.size() + pixels.size()));
  Put32(file, 0);
  Put32(file, static_cast<unsigned>(14 + info.size()));
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

Bytes Palette(int entries, int entrySize) {
  Bytes p;
  for (int i = 0; i < entries; ++i) {
    p.push_back(static_cast<unsigned char>(i * 37));
    p.push_back(static_cast<unsigned char>(i * 91));
    p.push_back(static_cast<unsigned char>(255 - i * 13));
    if (entrySize == 4) p.push_back(0);
  }
  return p;
}

// Uncompressed rows of the given depth, each padded to four bytes.
Bytes Rows(int width, int height, unsigned bits) {
  const int rowBytes = static_cast<int>((bits * width + 31) / 32 * 4);
  Bytes out;
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < rowBytes; ++i) out.push_back(static_cast<unsigned char>(y * 31 + i * 7));
  }
  return out;
}

struct JpegOptions {
  int components = 3;
  J_COLOR_SPACE input = JCS_RGB;
  J_COLOR_SPACE file = JCS_UNKNOWN;  // JCS_UNKNOWN: library default
  bool progressive = false;
  int restartRows = 0;
};

Bytes Jpeg(int width, int height, const JpegOptions& o) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = o.components;
  cinfo.in_color_space = o.input;
  jpeg_set_defaults(&cinfo);
  if (o.file != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, o.file);
  jpeg_set_quality(&cinfo, 75, TRUE);
  if (o.progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_in_rows = o.restartRows;
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(static_cast<size_t>(width) * o.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (size_t i = 0; i < row.size(); ++i) {
      row[i] = static_cast<unsigned char>(i * 5 + cinfo.next_scanline * 9);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const Bytes rle8{3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 0, 2, 3,
                   0, 0, 1, 4, 0, 2, 1, 1, 1, 2, 0, 0, 4, 7, 0, 1};
  const Bytes rle4{5, 0x12, 0, 0, 0, 3, 0x34, 0x10, 0, 0, 0, 2, 1, 0, 200, 0x44, 0, 0, 0, 1};
  const Bytes masks565{0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  const struct {
    const char* name;
    Bytes bytes;
  } seeds[] = {
      {"bmp24.bmp", Bmp(40, 7, 5, 24, 0, 0, {}, Rows(7, 5, 24))},
      {"bmp24_topdown.bmp", Bmp(40, 7, -5, 24, 0, 0, {}, Rows(7, 5, 24))},
      {"bmp1.bmp", Bmp(40, 13, 4, 1, 0, 2, Palette(2, 4), Rows(13, 4, 1))},
      {"bmp4.bmp", Bmp(40, 9, 4, 4, 0, 16, Palette(16, 4), Rows(9, 4, 4))},
      {"bmp8.bmp", Bmp(40, 6, 4, 8, 0, 0, Palette(256, 4), Rows(6, 4, 8))},
      {"rle8.bmp", Bmp(40, 6, 5, 8, 1, 8, Palette(8, 4), rle8)},
      {"rle4.bmp", Bmp(40, 5, 4, 4, 2, 8, Palette(8, 4), rle4)},
      {"bmp16.bmp", Bmp(40, 5, 3, 16, 0, 0, {}, Rows(5, 3, 16))},
      {"bmp16_bitfields.bmp", Bmp(40, 5, 3, 16, 3, 0, masks565, Rows(5, 3, 16))},
      {"bmp_v64.bmp", Bmp(64, 4, 3, 24, 0, 0, {}, Rows(4, 3, 24))},
      {"os2_8.bmp", Bmp(12, 5, 3, 8, 0, 0, Palette(256, 3), Rows(5, 3, 8))},
      {"os2_24.bmp", Bmp(12, 5, 3, 24, 0, 0, {}, Rows(5, 3, 24))},
      {"baseline.jpg", Jpeg(24, 17, {})},
      {"progressive.jpg", Jpeg(24, 17, {3, JCS_RGB, JCS_UNKNOWN, true, 0})},
      {"restart.jpg", Jpeg(40, 24, {3, JCS_RGB, JCS_UNKNOWN, false, 1})},
      {"grey.jpg", Jpeg(19, 9, {1, JCS_GRAYSCALE, JCS_UNKNOWN, false, 0})},
      {"grey_progressive.jpg", Jpeg(19, 9, {1, JCS_GRAYSCALE, JCS_UNKNOWN, true, 0})},
      {"rgb.jpg", Jpeg(16, 16, {3, JCS_RGB, JCS_RGB, false, 0})},
      {"cmyk.jpg", Jpeg(16, 8, {4, JCS_CMYK, JCS_CMYK, false, 0})},
      {"ycck.jpg", Jpeg(16, 8, {4, JCS_CMYK, JCS_YCCK, false, 0})},
  };
  for (const auto& seed : seeds) {
    if (!WriteFile(folder + seed.name, seed.bytes)) {
      std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), seed.name);
      return 1;
    }
  }
  return 0;
}
