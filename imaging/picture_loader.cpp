#include "imaging/picture_loader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#include "imaging/picture_converter.h"
#include "imaging/picture_reader.h"
#include "platform/debug_output.h"
#include "platform/paths.h"

namespace ombrelo {
namespace {

// A read-only mapping of a whole file, released with the object.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() {
    if (data_ != nullptr) munmap(data_, size_);
    if (fd_ >= 0) close(fd_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Opens an existing file for reading; false (silently) when it cannot.
  bool Open(const std::string& path) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return fd_ >= 0;
  }
  // Maps the whole file; false after printing why not. Only non-empty
  // regular files can be mapped.
  bool Map() {
    struct stat info;
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
      DebugOutput("Failed to create file mapping\n");
      return false;
    }
    size_ = static_cast<size_t>(info.st_size);
    void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (data == MAP_FAILED) {
      DebugOutput("Failed to map file\n");
      return false;
    }
    data_ = data;
    return true;
  }
  std::span<const uint8_t> Bytes() const { return {static_cast<const uint8_t*>(data_), size_}; }

 private:
  int fd_ = -1;
  void* data_ = nullptr;
  size_t size_ = 0;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

PictureFormat ChoosePictureFormat(std::string_view path) {
  const std::string_view extension = paths::Extension(path);
  if (extension.empty()) return PictureFormat::kJpeg;
  if (EqualsIgnoringCase(extension, ".bmp")) return PictureFormat::kBmp;
  static constexpr std::array<std::string_view, 7> kUnsupported = {
      ".png", ".lwf", ".tga", ".targa", ".tif", ".tiff", ".jp2"};
  for (const std::string_view unsupported : kUnsupported) {
    if (EqualsIgnoringCase(extension, unsupported)) return PictureFormat::kNone;
  }
  return PictureFormat::kJpeg;
}

std::unique_ptr<LoadedBitmap> PictureLoader::LoadIntoBitmap(const std::string& path,
                                                            Picture* picture, PictureSize* size) {
  MappedFile file;
  if (!file.Open(path)) return nullptr;
  if (!file.Map()) return nullptr;
  return DecodeIntoBitmap(file.Bytes(), ChoosePictureFormat(path), picture, size);
}

std::unique_ptr<LoadedBitmap> PictureLoader::DecodeIntoBitmap(std::span<const uint8_t> bytes,
                                                              PictureFormat format,
                                                              Picture* picture, PictureSize* size,
                                                              uint64_t maxPixels) {
  const PictureSize requested = size != nullptr ? *size : PictureSize{};
  std::unique_ptr<PictureReader> reader;
  switch (format) {
    case PictureFormat::kBmp:
      reader = MakeBmpReader(bytes, maxPixels);
      break;
    case PictureFormat::kJpeg:
      reader = MakeJpegReader(bytes, requested, maxPixels);
      break;
    case PictureFormat::kNone:
      DebugOutput("Unsupported image format\n");
      return nullptr;
  }
  if (!reader->ReadHeader()) return nullptr;

  const Picture& delivered = reader->GetPicture();
  if (delivered.width == 0 || delivered.height == 0) {
    DebugOutput("Failed to get valid size from the source image\n");
    return nullptr;
  }

  // The bitmap: rows top-down, no compression, rows padded to four bytes.
  auto bitmap = std::make_unique<LoadedBitmap>();
  BitmapInfoHeader& header = bitmap->header;
  header.biSize = BitmapInfoHeader::kSize;
  header.biWidth = delivered.width;
  header.biHeight = -delivered.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(delivered.bitsPerPixel);
  header.biCompression = kBiRgb;
  const uint32_t rowBytes = BitmapRowBytes(delivered.bitsPerPixel, delivered.width);
  const uint64_t imageBytes = uint64_t{rowBytes} * static_cast<uint64_t>(delivered.height);
  if (rowBytes == 0 || rowBytes > INT32_MAX || imageBytes > UINT32_MAX) {
    DebugOutput("Failed to Create DIBSection\n");
    return nullptr;
  }
  header.biSizeImage = rowBytes * static_cast<uint32_t>(delivered.height);
  if (delivered.palette != nullptr) {
    bitmap->palette.resize(kPaletteBytes);
    for (size_t i = 0; i < kPaletteEntries; ++i) {
      bitmap->palette[4 * i + 0] = delivered.palette[4 * i + 2];
      bitmap->palette[4 * i + 1] = delivered.palette[4 * i + 1];
      bitmap->palette[4 * i + 2] = delivered.palette[4 * i + 0];
      bitmap->palette[4 * i + 3] = 0;
    }
  }
  try {
    bitmap->pixels.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(delivered.height), 0);
  } catch (const std::bad_alloc&) {
    DebugOutput("Failed to Create DIBSection\n");
    return nullptr;
  }

  // Deeper rows go through a converter whose destination is the delivered
  // layout itself: for 24-bit rows that exchanges red and blue, which gives
  // the bitmap's blue, green, red order.
  const PictureConverter converter(delivered);
  const PictureConverter* through = delivered.bitsPerPixel >= 9 ? &converter : nullptr;
  if (!reader->ReadPixels(bitmap->pixels.data(), static_cast<int>(rowBytes), through)) {
    return nullptr;
  }

  if (picture != nullptr) {
    *picture = delivered;
    picture->pixels = nullptr;
    picture->palette = nullptr;
  }
  if (size != nullptr) *size = reader->FullSize();
  return bitmap;
}

}  // namespace ombrelo
