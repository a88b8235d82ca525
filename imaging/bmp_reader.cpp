// BMP reader: Windows (40- and 64-byte info headers) and OS/2 (12-byte core
// header) bitmaps of 1, 4, 8 (plain or run-length), 16 (5-5-5 or bit fields)
// and 24 bits per pixel, stored bottom-up or top-down.
//
// Every read goes through the bounded ByteSource: a file that ends early
// decodes to its end with the rest black, and nothing is read or written
// outside the file, the palette or the row buffers.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/picture_reader.h"
#include "platform/debug_output.h"

namespace ombrelo {

bool PictureReader::TooLarge(uint64_t width, uint64_t height) const {
  if (std::max<uint64_t>(width, 1) * std::max<uint64_t>(height, 1) <= maxPixels_) return false;
  DebugOutputF("Picture too large to load (%llu x %llu)\n", static_cast<unsigned long long>(width),
               static_cast<unsigned long long>(height));
  return true;
}

namespace {

enum class RowKind { kIndexed1, kIndexed4, kRle4, kIndexed8, kRle8, kBitFields16, k555, k24 };

// One 16-bit channel: its mask and how to bring the masked value to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int lowest = 0;
  int count = 0;

  void Set(uint32_t m) {
    mask = m;
    lowest = m == 0 ? 0 : LowestSetBit(m);
    count = CountSetBits(m);
  }
  uint8_t Extract(uint32_t value) const {
    if (count == 0) return 0;
    const uint32_t v = (value & mask) >> lowest;
    return static_cast<uint8_t>(count >= 8 ? v >> (count - 8) : v << (8 - count));
  }
};

// What the info header says, whichever of its forms the file has.
struct InfoFields {
  int64_t width = 0;
  int64_t height = 0;
  unsigned planes = 0;
  int bitsPerPixel = 0;
  unsigned compression = 0;
  uint32_t imageSize = 0;
  uint32_t colours = 0;
  size_t paletteEntrySize = 0;  // 3 (OS/2), 4 (Windows) or 0 (no palette)
};

class BmpReader final : public PictureReader {
 public:
  BmpReader(std::span<const uint8_t> bytes, uint64_t maxPixels)
      : PictureReader(bytes, PictureSize{}, maxPixels) {}

  bool ReadHeader() override;
  bool ReadPixels(uint8_t* destination, int destinationStride,
                  const PictureConverter* converter) override;

 private:
  bool ReadInfo(InfoFields* fields, uint32_t* pixelOffset);
  bool ReadPalette(const InfoFields& fields);
  void ReadChannelMasks();
  bool IsRunLength() const { return kind_ == RowKind::kRle4 || kind_ == RowKind::kRle8; }
  void DecodeRow();
  void DecodePlainRow();
  void DecodeRunLengthRow();
  void PutIndex(int x, unsigned index) {
    if (x < 0 || x >= width_) return;
    const uint8_t* p = palette_.data() + 4 * index;
    uint8_t* d = row_.data() + 3 * x;
    d[0] = p[0];
    d[1] = p[1];
    d[2] = p[2];
  }

  int width_ = 0;
  int height_ = 0;
  bool topDown_ = false;
  int bitsPerPixel_ = 0;
  RowKind kind_ = RowKind::k24;
  size_t fileRowBytes_ = 0;                       // bytes per stored row (plain kinds)
  size_t neededBytes_ = 0;                        // bytes that hold the first width pixels
  std::array<uint8_t, kPaletteBytes> palette_{};  // red, green, blue, unused
  Channel red_, green_, blue_;
  std::vector<uint8_t> row_;      // one delivered row: 3 x width + 64 bytes
  std::vector<uint8_t> fileRow_;  // the stored bytes of one row

  // Run-length state carried from one row to the next.
  bool rleEnd_ = false;          // an end-of-bitmap code was met
  uint32_t rleSkipRows_ = 0;     // whole rows passed over by a delta
  int rleStartX_ = 0;            // column where a delta lands on the next row
  bool rleLastRowFull_ = false;  // the previous row ended by reaching its width
};

// The 12-byte OS/2 core header (without its size field).
bool ParseCoreHeader(const uint8_t* info, InfoFields* f) {
  f->width = ReadLe16(info + 0);
  f->height = ReadLe16(info + 2);
  f->planes = ReadLe16(info + 4);
  f->bitsPerPixel = ReadLe16(info + 6);
  if (f->bitsPerPixel == 1 || f->bitsPerPixel == 4 || f->bitsPerPixel == 8) {
    f->paletteEntrySize = 3;
    DebugOutput("JTRC_BMP_OS2_MAPPED\n");
    return true;
  }
  if (f->bitsPerPixel != 24) return false;
  DebugOutput("JTRC_BMP_OS2");
  return true;
}

// The 40- and 64-byte Windows info headers (without their size field).
bool ParseInfoHeader(const uint8_t* info, InfoFields* f) {
  f->width = static_cast<int32_t>(ReadLe32(info + 0));
  f->height = static_cast<int32_t>(ReadLe32(info + 4));
  f->planes = ReadLe16(info + 8);
  f->bitsPerPixel = ReadLe16(info + 10);
  f->compression = ReadLe32(info + 12);
  f->imageSize = ReadLe32(info + 16);
  f->colours = ReadLe32(info + 28);
  if (f->bitsPerPixel == 1 || f->bitsPerPixel == 4 || f->bitsPerPixel == 8) {
    f->paletteEntrySize = 4;
    DebugOutput("JTRC_BMP_MAPPED\n");
    return true;
  }
  if (f->bitsPerPixel == 16 || f->bitsPerPixel == 24) {
    DebugOutput("JTRC_BMP\n");
    return true;
  }
  DebugOutput("JTRC_BMP_MAPPED\n");
  return false;
}

// The row kind by depth and compression; false for a depth not decoded.
bool ChooseRowKind(int bitsPerPixel, unsigned compression, RowKind* kind) {
  switch (bitsPerPixel) {
    case 1:
      *kind = RowKind::kIndexed1;
      return true;
    case 4:
      *kind = compression == 2 ? RowKind::kRle4 : RowKind::kIndexed4;
      return true;
    case 8:
      *kind = compression == 0 ? RowKind::kIndexed8 : RowKind::kRle8;
      return true;
    case 16:
      *kind = compression == 3 ? RowKind::kBitFields16 : RowKind::k555;
      if (*kind == RowKind::kBitFields16) DebugOutput("16 bit Bitmap with bitfield format\n");
      return true;
    case 24:
      *kind = RowKind::k24;
      return true;
    default:
      DebugOutput("Unsupported bitdepth of the bmp image\n");
      return false;
  }
}

// The stored bytes that hold the first `width` pixels of a plain row (0 for
// the run-length kinds, which are read as they come).
size_t NeededRowBytes(RowKind kind, size_t width) {
  switch (kind) {
    case RowKind::kIndexed1:
      return (width + 7) / 8;
    case RowKind::kIndexed4:
      return (width + 1) / 2;
    case RowKind::kIndexed8:
      return width;
    case RowKind::kBitFields16:
    case RowKind::k555:
      return 2 * width;
    case RowKind::k24:
      return 3 * width;
    case RowKind::kRle4:
    case RowKind::kRle8:
      break;
  }
  return 0;
}

bool BmpReader::ReadInfo(InfoFields* fields, uint32_t* pixelOffset) {
  uint8_t fileHeader[14];
  if (source_.ReadBlock(fileHeader, sizeof(fileHeader)) != sizeof(fileHeader)) return false;
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return false;
  *pixelOffset = ReadLe32(fileHeader + 10);

  const uint32_t headerSize = source_.Read32();
  if (headerSize < 12 || headerSize > 64) return false;
  uint8_t info[64] = {};
  if (source_.ReadBlock(info, headerSize - 4) != headerSize - 4) return false;
  if (headerSize == 12) return ParseCoreHeader(info, fields);
  if (headerSize == 40 || headerSize == 64) return ParseInfoHeader(info, fields);
  return false;
}

bool BmpReader::ReadPalette(const InfoFields& fields) {
  if (fields.paletteEntrySize == 0) return true;
  const uint64_t count = fields.colours != 0 ? fields.colours : (uint64_t{1} << bitsPerPixel_);
  if (count > kPaletteEntries) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t blue = source_.ReadByte();
    const uint8_t green = source_.ReadByte();
    const uint8_t red = source_.ReadByte();
    if (fields.paletteEntrySize == 4) source_.ReadByte();
    palette_[4 * i + 0] = red;
    palette_[4 * i + 1] = green;
    palette_[4 * i + 2] = blue;
  }
  return true;
}

void BmpReader::ReadChannelMasks() {
  if (kind_ == RowKind::kBitFields16) {
    red_.Set(source_.Read32());
    green_.Set(source_.Read32());
    blue_.Set(source_.Read32());
  } else if (kind_ == RowKind::k555) {
    red_.Set(0x7C00);
    green_.Set(0x3E0);
    blue_.Set(0x1F);
  }
}

bool BmpReader::ReadHeader() {
  InfoFields fields;
  uint32_t pixelOffset = 0;
  if (!ReadInfo(&fields, &pixelOffset) || fields.planes != 1) return false;
  bitsPerPixel_ = fields.bitsPerPixel;

  // A negative height means the rows are stored top-down.
  if (fields.width < 0) return false;
  if (fields.height < 0) {
    topDown_ = true;
    fields.height = -fields.height;
  }
  if (TooLarge(static_cast<uint64_t>(fields.width), static_cast<uint64_t>(fields.height)))
    return false;
  width_ = static_cast<int>(fields.width);
  height_ = static_cast<int>(fields.height);
  if (!ChooseRowKind(bitsPerPixel_, fields.compression, &kind_)) return false;

  const size_t w = static_cast<size_t>(width_);
  neededBytes_ = NeededRowBytes(kind_, w);
  fileRowBytes_ = BitmapRowBytes(bitsPerPixel_, width_);
  if ((kind_ == RowKind::kIndexed1 || kind_ == RowKind::kIndexed4) && fields.imageSize != 0 &&
      height_ != 0) {
    fileRowBytes_ = fields.imageSize / static_cast<uint32_t>(height_);
  }
  if (!ReadPalette(fields)) return false;
  ReadChannelMasks();

  if (pixelOffset < source_.Position() || pixelOffset > source_.Size()) return false;
  source_.Skip(pixelOffset - source_.Position());

  row_.assign(3 * w + 64, 0);
  fileRow_.assign(neededBytes_, 0);
  fullSize_ = PictureSize{width_, height_};
  picture_ = Picture{};
  picture_.width = width_;
  picture_.height = height_;
  picture_.stride = static_cast<int32_t>(BitmapRowBytes(24, width_));
  picture_.bitsPerPixel = 24;
  picture_.redShift = 16;
  picture_.greenShift = 8;
  picture_.blueShift = 0;
  picture_.redBits = picture_.greenBits = picture_.blueBits = 8;
  return true;
}

bool BmpReader::ReadPixels(uint8_t* destination, int destinationStride,
                           const PictureConverter* converter) {
  for (int i = 0; i < height_; ++i) {
    // Run-length data that is used up leaves the remaining rows undecoded.
    if (IsRunLength() && source_.AtEnd() && !rleEnd_ && rleSkipRows_ == 0) break;
    DecodeRow();
    const ptrdiff_t line = topDown_ ? i : height_ - 1 - i;
    uint8_t* out = destination + static_cast<ptrdiff_t>(destinationStride) * line;
    if (converter != nullptr) {
      converter->Convert(row_.data(), out, nullptr, width_, picture_.bitsPerPixel,
                         picture_.redShift, picture_.greenShift, picture_.blueShift,
                         picture_.redBits, picture_.greenBits, picture_.blueBits);
    } else {
      std::memcpy(out, row_.data(), 3 * static_cast<size_t>(width_));
    }
  }
  return true;
}

void BmpReader::DecodeRow() {
  if (IsRunLength()) {
    DecodeRunLengthRow();
  } else {
    DecodePlainRow();
  }
}

void BmpReader::DecodePlainRow() {
  // The stored row may be shorter than its pixels need (a lying image size)
  // or cut by the end of the file: the missing bytes count as 0.
  const size_t take = std::min(neededBytes_, fileRowBytes_);
  const size_t got = source_.ReadBlock(fileRow_.data(), take);
  std::fill(fileRow_.begin() + static_cast<ptrdiff_t>(got), fileRow_.end(), 0);
  if (fileRowBytes_ > take) source_.Skip(fileRowBytes_ - take);

  const uint8_t* s = fileRow_.data();
  uint8_t* d = row_.data();
  switch (kind_) {
    case RowKind::kIndexed1:
      for (int x = 0; x < width_; ++x) PutIndex(x, (s[x >> 3] >> (7 - (x & 7))) & 1u);
      break;
    case RowKind::kIndexed4:
      for (int x = 0; x < width_; ++x)
        PutIndex(x, (x & 1) ? (s[x >> 1] & 0x0Fu) : (s[x >> 1] >> 4));
      break;
    case RowKind::kIndexed8:
      for (int x = 0; x < width_; ++x) PutIndex(x, s[x]);
      break;
    case RowKind::kBitFields16:
    case RowKind::k555:
      for (int x = 0; x < width_; ++x, d += 3) {
        const uint32_t value = static_cast<uint32_t>(s[2 * x] | (s[2 * x + 1] << 8));
        d[0] = red_.Extract(value);
        d[1] = green_.Extract(value);
        d[2] = blue_.Extract(value);
      }
      break;
    case RowKind::k24:
      for (int x = 0; x < width_; ++x, d += 3, s += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
      break;
    case RowKind::kRle4:
    case RowKind::kRle8:
      break;
  }
}

// One row of BI_RLE8 / BI_RLE4 data. Pixels passed over by an end of line or
// a delta keep the colour of palette entry 0. A delta that moves down ends
// this row; the rows it passes over stay entry 0 and decoding continues on
// the row it lands on, at its column. After an end of bitmap every further
// row is entry 0.
void BmpReader::DecodeRunLengthRow() {
  const uint8_t* fill = palette_.data();
  for (int x = 0; x < width_; ++x) std::memcpy(row_.data() + 3 * x, fill, 3);
  if (rleEnd_) return;
  if (rleSkipRows_ > 0) {
    --rleSkipRows_;
    rleLastRowFull_ = false;
    return;
  }
  const bool four = kind_ == RowKind::kRle4;
  int x = rleStartX_;
  rleStartX_ = 0;
  bool started = false;  // a code of this row other than an ignored end of line
  while (x < width_) {
    const uint8_t count = source_.ReadByte();
    const uint8_t value = source_.ReadByte();
    if (count > 0) {
      // Encoded run; 4-bit runs alternate the two nibbles, high first.
      for (int k = 0; k < count && x < width_; ++k, ++x) {
        PutIndex(x, four ? ((k & 1) ? (value & 0x0Fu) : (value >> 4)) : value);
      }
      started = true;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        if (!started && rleLastRowFull_) {
          // It ends the previous row, which was already complete.
          rleLastRowFull_ = false;
          continue;
        }
        rleLastRowFull_ = false;
        return;
      case 1:  // end of bitmap
        rleEnd_ = true;
        rleLastRowFull_ = false;
        return;
      case 2: {  // delta
        const int dx = source_.ReadByte();
        const int dy = source_.ReadByte();
        started = true;
        if (dy == 0) {
          x += dx;
          continue;
        }
        rleSkipRows_ = static_cast<uint32_t>(dy - 1);
        rleStartX_ = std::min(x + dx, width_);
        rleLastRowFull_ = false;
        return;
      }
      default: {  // absolute run of `value` indices, padded to an even byte count
        const int n = value;
        const int bytes = four ? (n + 1) / 2 : n;
        int k = 0;
        for (int b = 0; b < bytes; ++b) {
          const uint8_t byte = source_.ReadByte();
          if (four) {
            if (k < n) PutIndex(x + k++, byte >> 4);
            if (k < n) PutIndex(x + k++, byte & 0x0Fu);
          } else {
            PutIndex(x + k++, byte);
          }
        }
        if (bytes & 1) source_.ReadByte();
        x += n;
        started = true;
        break;
      }
    }
  }
  // The row was filled up to its width: an end of line that follows belongs
  // to it.
  rleLastRowFull_ = true;
}

}  // namespace

std::unique_ptr<PictureReader> MakeBmpReader(std::span<const uint8_t> bytes, uint64_t maxPixels) {
  return std::make_unique<BmpReader>(bytes, maxPixels);
}

}  // namespace ombrelo
