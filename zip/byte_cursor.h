// A bounds-checked reader of little-endian fields from a block of bytes.
//
// Every read past the end yields zero and marks the cursor as failed; a decoder reads all its
// fields and then asks once whether they were all there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lorvante {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }

  bool ok() const { return ok_; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return bytes_.size() - pos_; }

 private:
  std::uint64_t Take(std::size_t width) {
    if (!ok_ || Remaining() < width) {
      ok_ = false;
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value |= static_cast<std::uint64_t>(bytes_[pos_ + i]) << (8 * i);
    }
    pos_ += width;
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace lorvante
