#include "imaging/picture.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/debug_output.h"

namespace ombrelo {

int LowestSetBit(uint32_t value) { return value == 0 ? -1 : std::countr_zero(value); }

int CountSetBits(uint32_t value) { return std::popcount(value); }

HeaderPicture PictureFromBitmapHeader(const BitmapInfoHeader& header,
                                      std::span<const uint8_t> following, uint8_t* pixels) {
  HeaderPicture result;
  Picture& p = result.picture;
  p.pixels = pixels;
  p.palette = nullptr;
  p.width = header.biWidth;
  p.height = header.biHeight;
  const uint32_t rows = header.biHeight < 0 ? 0u - static_cast<uint32_t>(header.biHeight)
                                            : static_cast<uint32_t>(header.biHeight);
  // biSizeImage is a 32-bit field: for a bitmap of more than 4 GiB it has
  // wrapped, and any value that leaves less than a row per row is wrong.
  const uint32_t rowBytes = BitmapRowBytes(header.biBitCount, header.biWidth);
  if (header.biSizeImage != 0 && rows != 0 && header.biSizeImage / rows >= rowBytes) {
    p.stride = static_cast<int32_t>(header.biSizeImage / rows);
  } else {
    p.stride = static_cast<int32_t>(rowBytes);
  }
  p.bitsPerPixel = header.biBitCount;
  p.alphaShift = 0;
  p.alphaBits = 0;

  switch (p.bitsPerPixel) {
    case 8: {
      result.paletteCopy = std::make_unique<std::array<uint8_t, kPaletteBytes>>();
      result.paletteCopy->fill(0);
      if (!following.empty()) {
        std::memcpy(result.paletteCopy->data(), following.data(),
                    std::min(following.size(), kPaletteBytes));
      }
      p.palette = result.paletteCopy->data();
      break;
    }
    case 16: {
      p.redShift = 0;
      p.greenShift = 5;
      p.blueShift = 10;
      p.redBits = p.greenBits = p.blueBits = 5;
      if (header.biCompression == kBiBitFields) {
        uint8_t masks[12] = {};
        if (!following.empty()) {
          std::memcpy(masks, following.data(), std::min(following.size(), sizeof(masks)));
        }
        const uint32_t m0 = ReadLe32(masks), m1 = ReadLe32(masks + 4), m2 = ReadLe32(masks + 8);
        if (m0 != 0 || m1 != 0 || m2 != 0) {
          p.redShift = LowestSetBit(m0);
          p.greenShift = LowestSetBit(m1);
          p.blueShift = LowestSetBit(m2);
          p.redBits = CountSetBits(m0);
          p.greenBits = CountSetBits(m1);
          p.blueBits = CountSetBits(m2);
        }
      }
      break;
    }
    case 24:
    case 32:
      p.redShift = 0;
      p.greenShift = 8;
      p.blueShift = 16;
      p.redBits = p.greenBits = p.blueBits = 8;
      break;
    default:
      DebugOutput("Unsupported bitdepth\n");
      break;
  }
  return result;
}

HeaderPicture PictureFromBitmapInfo(std::span<const uint8_t> info, uint8_t* pixels) {
  const auto header = BitmapInfoHeader::Read(info);
  if (!header) return {};
  return PictureFromBitmapHeader(*header, info.subspan(BitmapInfoHeader::kSize), pixels);
}

}  // namespace ombrelo
