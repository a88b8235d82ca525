#include "imaging/picture_converter.h"

#include "platform/debug_output.h"

namespace ombrelo {
namespace {

// Palette index of pixel x in a row of 1, 4 or 8 bits per pixel: the most
// significant bit (or the high nibble) comes first.
inline unsigned IndexAt(const uint8_t* row, int x, int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

inline const uint8_t* Entry(const uint8_t* palette, const uint8_t* row, int x, int bitsPerPixel) {
  return palette + 4 * IndexAt(row, x, bitsPerPixel);
}

inline unsigned Word(const uint8_t* p) { return p[0] | (p[1] << 8); }

inline void PutWord(uint8_t* p, unsigned w) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
}

// A 16-bit word as red, green, blue bytes (5-5-5 when greenBits is 5, else
// 5-6-5). Narrowed values are widened with zero low bits.
inline void WordToRgb(unsigned w, int greenBits, uint8_t* d) {
  if (greenBits == 5) {
    d[0] = static_cast<uint8_t>(((w >> 10) & 31) << 3);
    d[1] = static_cast<uint8_t>(((w >> 5) & 31) << 3);
    d[2] = static_cast<uint8_t>((w & 31) << 3);
  } else {
    d[0] = static_cast<uint8_t>((w >> 11) << 3);
    d[1] = static_cast<uint8_t>(((w >> 5) & 63) << 2);
    d[2] = static_cast<uint8_t>((w & 31) << 3);
  }
}

// Packs a red (c0), green (c1), blue (c2) triple into a 16-bit word of the
// given green width (4: 4-4-4, 5: 5-5-5, 6: 5-6-5).
inline unsigned Pack16(unsigned c0, unsigned c1, unsigned c2, int greenBits) {
  switch (greenBits) {
    case 4:
      return (c2 >> 4) | (c1 & 0xF0) | ((c0 & 0xF0) << 4);
    case 5:
      return (c2 >> 3) | ((c1 & 0xF8) << 2) | ((c0 & 0xF8) << 7);
    default:
      return (c2 >> 3) | ((c1 & 0xFC) << 3) | ((c0 & 0xF8) << 8);
  }
}

inline bool IsIndexed(int bitsPerPixel) {
  return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

}  // namespace

void PictureConverter::SetFormat(const Picture& destination) {
  format_.bitsPerPixel = destination.bitsPerPixel;
  format_.redShift = destination.redShift;
  format_.greenShift = destination.greenShift;
  format_.blueShift = destination.blueShift;
  format_.alphaShift = destination.alphaShift;
  format_.redBits = destination.redBits;
  format_.greenBits = destination.greenBits;
  format_.blueBits = destination.blueBits;
  format_.alphaBits = destination.alphaBits;
}

void PictureConverter::SetFormat(const MaskDescription& destination) {
  format_.bitsPerPixel = static_cast<int32_t>(destination.rgbBitCount);
  format_.redShift = LowestSetBit(destination.redMask);
  format_.greenShift = LowestSetBit(destination.greenMask);
  format_.blueShift = 0;
  format_.alphaShift = LowestSetBit(destination.alphaMask);
  format_.redBits = CountSetBits(destination.redMask);
  format_.greenBits = CountSetBits(destination.greenMask);
  format_.blueBits = CountSetBits(destination.blueMask);
  format_.alphaBits = CountSetBits(destination.alphaMask);
}

void PictureConverter::Convert(const uint8_t* source, uint8_t* destination, const uint8_t* palette,
                               int width, int bitsPerPixel, int redShift, int greenShift,
                               int blueShift, int redBits, int greenBits, int blueBits) const {
  // Only the depth, the red shift (byte order of 24/32-bit sources) and the
  // green width (16-bit sources) tell the writers apart.
  (void)greenShift;
  (void)blueShift;
  (void)redBits;
  (void)blueBits;
  switch (format_.bitsPerPixel) {
    case 16:
      Write16Bit(source, destination, palette, width, bitsPerPixel, greenBits);
      break;
    case 24:
      Write24Bit(source, destination, palette, width, bitsPerPixel, greenBits);
      break;
    case 32:
      Write32Bit(source, destination, palette, width, bitsPerPixel, redShift, greenBits);
      break;
    default:
      DebugOutput("PictureConverter::Convert  Unsupported destination format\n");
      break;
  }
}

void PictureConverter::Write16Bit(const uint8_t* source, uint8_t* destination,
                                  const uint8_t* palette, int width, int bitsPerPixel,
                                  int greenBits) const {
  (void)greenBits;  // a 16-bit source is always taken as 5-5-5
  const int g = format_.greenBits;
  const bool knownGreen = g == 4 || g == 5 || g == 6;
  if (IsIndexed(bitsPerPixel) && palette == nullptr) {
    DebugOutput("PictureConverter::Write16Bit  Unsupported source format\n");
    return;
  }
  switch (bitsPerPixel) {
    case 1:
    case 4:
      if (!knownGreen) {
        DebugOutputF("Unsupported DestNumOfGreenBits from %d", bitsPerPixel);
        return;
      }
      // The palette already holds words in the destination layout.
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = Entry(palette, source, x, bitsPerPixel);
        PutWord(destination + 2 * x, p[0] + 256u * p[1]);
      }
      return;
    case 8:
      if (!knownGreen) {
        DebugOutput("Unsupported DestNumOfGreenBits from 8");
        return;
      }
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = palette + 4 * source[x];
        PutWord(destination + 2 * x, Pack16(p[0], p[1], p[2], g));
      }
      return;
    case 16:
      if (g == 5) {
        for (int x = 0; x < width; ++x) PutWord(destination + 2 * x, Word(source + 2 * x));
      } else if (g == 6) {
        for (int x = 0; x < width; ++x) {
          const unsigned w = Word(source + 2 * x);
          PutWord(destination + 2 * x, (((w & 0xFFE0) << 1) | (w & 0x1F)) & 0xFFFF);
        }
      } else {
        DebugOutput("Unsupported DestNumOfGreenBits from 16");
      }
      return;
    case 24:
    case 32: {
      if (!knownGreen || (bitsPerPixel == 32 && g == 4)) {
        DebugOutputF("Unsupported DestNumOfGreenBits from %d", bitsPerPixel);
        return;
      }
      const int step = bitsPerPixel / 8;
      for (int x = 0; x < width; ++x) {
        const uint8_t* s = source + step * x;
        PutWord(destination + 2 * x, Pack16(s[0], s[1], s[2], g));
      }
      return;
    }
    default:
      DebugOutput("PictureConverter::Write16Bit  Unsupported source format\n");
      return;
  }
}

void PictureConverter::Write24Bit(const uint8_t* source, uint8_t* destination,
                                  const uint8_t* palette, int width, int bitsPerPixel,
                                  int greenBits) const {
  if (IsIndexed(bitsPerPixel) && palette == nullptr) {
    DebugOutput("PictureConverter::Write24Bit  Unsupported source format\n");
    return;
  }
  uint8_t* d = destination;
  switch (bitsPerPixel) {
    case 1:
    case 4:
      for (int x = 0; x < width; ++x, d += 3) {
        const uint8_t* p = Entry(palette, source, x, bitsPerPixel);
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
      }
      return;
    case 8:
      for (int x = 0; x < width; ++x, d += 3) {
        const uint8_t* p = palette + 4 * source[x];
        d[0] = p[2];
        d[1] = p[1];
        d[2] = p[0];
      }
      return;
    case 16:
      for (int x = 0; x < width; ++x, d += 3) WordToRgb(Word(source + 2 * x), greenBits, d);
      return;
    case 24:
    case 32: {
      // First and third bytes exchanged, whatever the shifts say; a fourth
      // byte is dropped.
      const int step = bitsPerPixel / 8;
      const uint8_t* s = source;
      for (int x = 0; x < width; ++x, d += 3, s += step) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
      return;
    }
    default:
      DebugOutput("PictureConverter::Write24Bit  Unsupported source format\n");
      return;
  }
}

void PictureConverter::Write32Bit(const uint8_t* source, uint8_t* destination,
                                  const uint8_t* palette, int width, int bitsPerPixel, int redShift,
                                  int greenBits) const {
  if (IsIndexed(bitsPerPixel) && palette == nullptr) {
    DebugOutput("PictureConverter::Write32Bit  Unsupported source format\n");
    return;
  }
  uint8_t* d = destination;
  switch (bitsPerPixel) {
    case 1:
    case 4:
      for (int x = 0; x < width; ++x, d += 4) {
        const uint8_t* p = Entry(palette, source, x, bitsPerPixel);
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
        d[3] = 0;
      }
      return;
    case 8:
      for (int x = 0; x < width; ++x, d += 4) {
        const uint8_t* p = palette + 4 * source[x];
        d[0] = p[2];
        d[1] = p[1];
        d[2] = p[0];
        d[3] = 0;
      }
      return;
    case 16:
      for (int x = 0; x < width; ++x, d += 4) {
        WordToRgb(Word(source + 2 * x), greenBits, d);
        d[3] = 0;
      }
      return;
    case 24:
    case 32: {
      const int step = bitsPerPixel / 8;
      const uint8_t* s = source;
      if (redShift == 0) {
        for (int x = 0; x < width; ++x, d += 4, s += step) {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
          d[3] = 0;
        }
      } else {
        for (int x = 0; x < width; ++x, d += 4, s += step) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
          d[3] = 0;
        }
      }
      return;
    }
    default:
      DebugOutput("PictureConverter::Write32Bit  Unsupported source format\n");
      return;
  }
}

}  // namespace ombrelo
