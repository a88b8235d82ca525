// JPEG reader on libjpeg's decompressor: colour files come out as 24-bit red,
// green, blue rows, greyscale files as 8-bit rows with a grey palette, CMYK
// and YCCK files are converted to red, green, blue. Files may be decoded at
// 1/2, 1/4 or 1/8 of their size when the requested display size allows.
//
// Every library error jumps back (see jpeg_support.h) and ends the load as a
// failure with the decoder destroyed. The functions that call into the
// library hold nothing with a destructor.
#include <jerror.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "jpeg_support.h"
#include "imaging/picture_reader.h"
#include "platform/debug_output.h"

namespace ombrelo {
namespace {

// Bytes the memory source hands to the library at a time.
constexpr size_t kSourceBlock = 4096;
// Progressive files with more scans than this are refused: each scan costs a
// pass over the whole image, and real files have about ten.
constexpr int kMaxScans = 500;

// Serves the file's bytes from memory. When they are used up it warns and
// supplies an end-of-image marker, so a truncated file ends as if complete;
// an empty file is an error.
struct MemorySource {
  jpeg_source_mgr pub;  // first member: the library sees only this part
  const uint8_t* data;
  size_t size;
  size_t position;  // first byte not yet handed to the library
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  if (source->position >= source->size) {
    if (source->size == 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
  }
  const size_t n = std::min(kSourceBlock, source->size - source->position);
  source->pub.next_input_byte = source->data + source->position;
  source->pub.bytes_in_buffer = n;
  source->position += n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  const size_t n = static_cast<size_t>(count);
  if (n <= source->pub.bytes_in_buffer) {
    source->pub.next_input_byte += n;
    source->pub.bytes_in_buffer -= n;
    return;
  }
  // Past the block in hand: move on in the data, never beyond its end.
  const size_t rest = n - source->pub.bytes_in_buffer;
  source->position += std::min(rest, source->size - source->position);
  source->pub.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr) {}

struct ScanLimit {
  jpeg_progress_mgr pub;  // first member
};

void CheckScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    // Reported like any other library error.
    cinfo->err->msg_code = JERR_NOTIMPL;
    (*cinfo->err->error_exit)(cinfo);
  }
}

// CMYK to red, green, blue. Files that carry an Adobe marker store the ink
// values inverted (0 = full ink), as Adobe's applications write them.
void CmykToRgb(const uint8_t* cmyk, uint8_t* rgb, size_t width, bool inverted) {
  for (size_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    rgb[0] = static_cast<uint8_t>((c * k + 127) / 255);
    rgb[1] = static_cast<uint8_t>((m * k + 127) / 255);
    rgb[2] = static_cast<uint8_t>((y * k + 127) / 255);
  }
}

class JpegReader final : public PictureReader {
 public:
  JpegReader(std::span<const uint8_t> bytes, PictureSize requested, uint64_t maxPixels)
      : PictureReader(bytes, requested, maxPixels) {
    std::memset(&cinfo_, 0, sizeof(cinfo_));
    std::memset(&source_manager_, 0, sizeof(source_manager_));
    std::memset(&scan_limit_, 0, sizeof(scan_limit_));
  }
  ~JpegReader() override { Destroy(); }

  bool ReadHeader() override;
  bool ReadPixels(uint8_t* destination, int destinationStride,
                  const PictureConverter* converter) override;

 private:
  bool Configure();
  void Destroy() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
    created_ = false;
  }
  // Says what failed and destroys the decoder.
  bool Abandon(const char* text) {
    DebugOutput(text);
    Destroy();
    return false;
  }

  jpeg_decompress_struct cinfo_;
  JpegErrorManager errors_;
  MemorySource source_manager_;
  ScanLimit scan_limit_;
  bool created_ = false;
  bool cmyk_ = false;             // output is CMYK, converted per row
  bool inverted_ = false;         // CMYK values stored inverted (Adobe)
  JSAMPARRAY samples_ = nullptr;  // one row as the library delivers it
  JSAMPROW rgb_ = nullptr;        // the converted row of a CMYK file
  size_t rowLength_ = 0;          // bytes of one delivered row
  std::array<uint8_t, kPaletteBytes> greyPalette_{};
};

bool JpegReader::ReadHeader() {
  cinfo_.err = InstallJpegErrorManager(&errors_);
  switch (setjmp(errors_.jump)) {
    case 0:
      break;
    case kJpegErrorCode:
      return Abandon("Error in JPG header\n");
    default:
      return Abandon("Unknown error\n");
  }
  jpeg_create_decompress(&cinfo_);
  created_ = true;

  source_manager_.pub.init_source = InitSource;
  source_manager_.pub.fill_input_buffer = FillInputBuffer;
  source_manager_.pub.skip_input_data = SkipInputData;
  source_manager_.pub.resync_to_restart = jpeg_resync_to_restart;
  source_manager_.pub.term_source = TermSource;
  source_manager_.pub.next_input_byte = nullptr;
  source_manager_.pub.bytes_in_buffer = 0;
  source_manager_.data = source_.Data();
  source_manager_.size = source_.Size();
  source_manager_.position = 0;
  cinfo_.src = &source_manager_.pub;
  scan_limit_.pub.progress_monitor = CheckScans;
  cinfo_.progress = &scan_limit_.pub;

  jpeg_read_header(&cinfo_, TRUE);
  if (!Configure()) {
    Destroy();
    return false;
  }

  jpeg_start_decompress(&cinfo_);

  const size_t width = cinfo_.output_width;
  const int components = cinfo_.output_components;
  if (components == 1) {
    rowLength_ = width;
  } else if (components == 3 || (components == 4 && cmyk_)) {
    rowLength_ = width * 3;
  } else {
    return Abandon("PictureLoader::ReadJPG()  Unsupported format of jpeg file.\n");
  }
  samples_ = (*cinfo_.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo_), JPOOL_IMAGE,
                                         static_cast<JDIMENSION>(width * components), 1);
  if (cmyk_) {
    rgb_ = static_cast<JSAMPROW>((*cinfo_.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo_),
                                                            JPOOL_IMAGE, rowLength_));
  }

  picture_ = Picture{};
  picture_.width = static_cast<int32_t>(cinfo_.output_width);
  picture_.height = static_cast<int32_t>(cinfo_.output_height);
  picture_.stride = static_cast<int32_t>((rowLength_ + 3) / 4 * 4);
  if (components == 1) {
    picture_.bitsPerPixel = 8;
    for (size_t i = 0; i < kPaletteEntries; ++i) {
      greyPalette_[4 * i + 0] = greyPalette_[4 * i + 1] = greyPalette_[4 * i + 2] =
          static_cast<uint8_t>(i);
    }
    picture_.palette = greyPalette_.data();
  } else {
    picture_.bitsPerPixel = 24;
    picture_.redShift = 16;
    picture_.greenShift = 8;
    picture_.blueShift = 0;
    picture_.redBits = picture_.greenBits = picture_.blueBits = 8;
  }
  return true;
}

// After the header: size limit, scale and output colour space. False (with
// its own message) when the file cannot be decoded.
bool JpegReader::Configure() {
  fullSize_ =
      PictureSize{static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
  if (TooLarge(cinfo_.image_width, cinfo_.image_height)) return false;

  if (requested_.width > 0 && requested_.height > 0) {
    const unsigned m = std::min(cinfo_.image_width / static_cast<unsigned>(requested_.width),
                                cinfo_.image_height / static_cast<unsigned>(requested_.height));
    cinfo_.scale_num = 1;
    cinfo_.scale_denom = m >= 8 ? 8 : m >= 4 ? 4 : m >= 2 ? 2 : 1;
  }

  switch (cinfo_.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo_.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo_.out_color_space = JCS_RGB;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      // The library turns YCCK into CMYK; the rows are converted from there.
      cinfo_.out_color_space = JCS_CMYK;
      cmyk_ = true;
      inverted_ = cinfo_.saw_Adobe_marker != 0;
      break;
    default:
      DebugOutput("PictureLoader::ReadJPG()  Unsupported format of jpeg file.\n");
      return false;
  }
  return true;
}

bool JpegReader::ReadPixels(uint8_t* destination, int destinationStride,
                            const PictureConverter* converter) {
  if (!created_) return false;
  switch (setjmp(errors_.jump)) {
    case 0:
      break;
    case kJpegErrorCode:
      return Abandon("Error in JPG image data\n");
    default:
      return Abandon("Unknown error\n");
  }
  while (cinfo_.output_scanline < cinfo_.output_height) {
    const ptrdiff_t line = cinfo_.output_scanline;
    if (jpeg_read_scanlines(&cinfo_, samples_, 1) != 1) break;
    const uint8_t* row = samples_[0];
    if (cmyk_) {
      CmykToRgb(row, rgb_, cinfo_.output_width, inverted_);
      row = rgb_;
    }
    uint8_t* out = destination + static_cast<ptrdiff_t>(destinationStride) * line;
    if (converter != nullptr) {
      converter->Convert(row, out, picture_.palette, picture_.width, picture_.bitsPerPixel,
                         picture_.redShift, picture_.greenShift, picture_.blueShift,
                         picture_.redBits, picture_.greenBits, picture_.blueBits);
    } else {
      std::memcpy(out, row, rowLength_);
    }
  }

  switch (setjmp(errors_.jump)) {
    case 0:
      break;
    case kJpegErrorCode:
      return Abandon("Error in JPG after image\n");
    default:
      return Abandon("Unknown error\n");
  }
  jpeg_finish_decompress(&cinfo_);
  Destroy();
  return true;
}

}  // namespace

std::unique_ptr<PictureReader> MakeJpegReader(std::span<const uint8_t> bytes, PictureSize requested,
                                              uint64_t maxPixels) {
  return std::make_unique<JpegReader>(bytes, requested, maxPixels);
}

}  // namespace ombrelo
