// The Shannon-Fano codes of Implode. A tree is sent as runs of bit lengths; codes are then given
// from the longest to the shortest, in the order of the values sorted by length (a stable sort),
// each a step of 2^(16 - length) above the one before in a 16-bit space. A code is sent from its
// most significant bit.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lorvante::codecs {

class ShannonFanoCode {
 public:
  static constexpr unsigned kMaxLength = 16;

  // Builds the code from the bit length of each value (1 to 16); false when the lengths
  // over-subscribe the code space.
  bool Build(std::span<const std::uint8_t> lengths);

  // The code of `value` as sent: `bits` read first bit in the least significant place.
  struct Code {
    std::uint32_t bits;
    unsigned length;
  };
  Code CodeOf(unsigned value) const { return codes_[value]; }

  // Decodes from the bits at the start of `bits` (`available` of them, first bit least
  // significant): -1 when more bits are needed, -2 for a pattern that is no code.
  int Decode(std::uint64_t bits, unsigned available, unsigned& length) const;

 private:
  // For each length, the value of its first code (read as a number, first bit most significant)
  // and the values having that length in code order.
  std::array<std::uint32_t, kMaxLength + 1> first_{};
  std::array<std::uint32_t, kMaxLength + 1> count_{};
  std::array<std::uint32_t, kMaxLength + 1> offset_{};
  std::vector<std::uint16_t> symbols_;
  std::vector<Code> codes_;
};

}  // namespace lorvante::codecs
