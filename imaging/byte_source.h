#pragma once
// Bounded little-endian reads over a block of bytes (a mapped file). A read
// that does not fit in what is left returns 0 and does not move; a block read
// copies what is left and says how much that was. Nothing ever reads past
// the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ombrelo {

class ByteSource {
 public:
  ByteSource() = default;
  explicit ByteSource(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

  uint8_t ReadByte() { return Remaining() >= 1 ? data_[position_++] : 0; }
  uint16_t Read16() {
    if (Remaining() < 2) return 0;
    const uint8_t* p = data_ + position_;
    position_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t Read32() {
    if (Remaining() < 4) return 0;
    const uint8_t* p = data_ + position_;
    position_ += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  // Copies up to count bytes; returns the number copied.
  size_t ReadBlock(uint8_t* out, size_t count) {
    const size_t n = std::min(count, Remaining());
    if (n != 0) std::memcpy(out, data_ + position_, n);
    position_ += n;
    return n;
  }
  // Moves forward by count bytes, stopping at the end.
  void Skip(size_t count) { position_ += std::min(count, Remaining()); }

  size_t Position() const { return position_; }
  size_t Size() const { return size_; }
  size_t Remaining() const { return size_ - position_; }
  bool AtEnd() const { return position_ >= size_; }
  const uint8_t* Data() const { return data_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t position_ = 0;
};

}  // namespace ombrelo
