#pragma once
// TEMPORARY: a minimal 40-byte bitmap information header for the engine's
// connected format, kept only until the imaging library's own header type
// is available on main. Replace every use with that type and delete this
// file then.
#include <cstdint>

namespace ombrelo {

#pragma pack(push, 1)
struct BitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows bottom-up
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // 0 = uncompressed RGB
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

}  // namespace ombrelo
