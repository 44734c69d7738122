// The writing side of ByteCursor: little-endian fields appended to a block of bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lorvante {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void U8(std::uint8_t value) { out_.push_back(value); }
  void U16(std::uint16_t value) { Unsigned(value, 2); }
  void U32(std::uint32_t value) { Unsigned(value, 4); }
  void U64(std::uint64_t value) { Unsigned(value, 8); }
  void Bytes(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

 private:
  void Unsigned(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  std::vector<std::uint8_t>& out_;
};

}  // namespace lorvante
