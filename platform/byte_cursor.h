// A bounds-checked reader of little-endian fields from a block of bytes.
//
// Every read past the end yields zero (or nothing) and marks the cursor as failed; a decoder
// reads all its fields and then asks once whether they were all there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lorvante {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t Position() const { return pos_; }
  // Bytes not read yet; 0 once a read has failed.
  std::size_t Remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }

  std::uint8_t U8() { return static_cast<std::uint8_t>(Unsigned(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
  std::uint64_t U64() { return Unsigned(8); }
  void Skip(std::size_t count) {
    if (Have(count)) pos_ += count;
  }
  std::string Text(std::size_t count) {
    if (!Have(count)) return {};
    std::string out(reinterpret_cast<const char*>(bytes_.data() + pos_), count);
    pos_ += count;
    return out;
  }
  std::span<const std::uint8_t> Block(std::size_t count) {
    if (!Have(count)) return {};
    auto out = bytes_.subspan(pos_, count);
    pos_ += count;
    return out;
  }

 private:
  bool Have(std::size_t count) {
    if (ok_ && bytes_.size() - pos_ >= count) return true;
    ok_ = false;
    return false;
  }
  std::uint64_t Unsigned(std::size_t width) {
    if (!Have(width)) return 0;
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
