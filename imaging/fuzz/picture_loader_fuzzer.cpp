// Feeds arbitrary bytes to the picture loader. Files starting with "BM" go to
// the BMP reader, everything else to the JPEG reader; the last byte picks the
// requested display size, so the reduced JPEG scales are reached as well.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/picture_loader.h"

namespace {

// Keeps single inputs small enough for the fuzzer's memory limit.
constexpr uint64_t kMaxPixels = uint64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ombrelo;
  if (size == 0) return 0;
  const PictureFormat format =
      size >= 2 && data[0] == 'B' && data[1] == 'M' ? PictureFormat::kBmp : PictureFormat::kJpeg;
  static const PictureSize kRequested[4] = {{0, 0}, {1, 1}, {64, 48}, {300, 300}};
  PictureSize pictureSize = kRequested[data[size - 1] & 3];
  Picture picture;
  const auto bitmap = PictureLoader::DecodeIntoBitmap(std::span<const uint8_t>(data, size), format,
                                                      &picture, &pictureSize, kMaxPixels);
  if (!bitmap) return 0;

  // What a caller relies on: the header describes the buffer exactly.
  const uint64_t rows = static_cast<uint64_t>(bitmap->Height());
  if (bitmap->header.biHeight >= 0 || bitmap->Width() <= 0 ||
      bitmap->pixels.size() != bitmap->header.biSizeImage ||
      bitmap->pixels.size() != uint64_t{bitmap->RowBytes()} * rows ||
      (bitmap->BitsPerPixel() != 24 && bitmap->BitsPerPixel() != 8) ||
      (bitmap->BitsPerPixel() == 8) != (bitmap->palette.size() == 1024)) {
    std::abort();
  }
  // Touch every byte so that uninitialised or freed memory would show.
  unsigned sum = 0;
  for (uint8_t b : bitmap->pixels) sum += b;
  return static_cast<int>(sum & 0);
}
