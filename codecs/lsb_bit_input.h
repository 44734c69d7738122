// Input read bit by bit from the low end of each byte first, as the PKZIP 1.x methods store their
// codes, given in pieces: bytes are taken only as a step needs them, and the bits a step has
// loaded stay held across pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lorvante::codecs {

struct LsbBitInput {
  std::uint64_t bits = 0;  // the held bits, the next one lowest
  unsigned count = 0;      // how many are held
  const std::uint8_t* next = nullptr;
  const std::uint8_t* end = nullptr;

  // The piece of input that the following loads take their bytes from.
  void Start(std::span<const std::uint8_t> input) {
    next = input.data();
    end = input.data() + input.size();
  }
  // The bytes of `input` (the piece given to Start) taken so far.
  std::size_t Consumed(std::span<const std::uint8_t> input) const {
    return static_cast<std::size_t>(next - input.data());
  }
  // Takes bytes until at least `wanted` bits (at most 57) are held; false when the piece ran out
  // first.
  bool Load(unsigned wanted) {
    while (count < wanted) {
      if (next == end) return false;
      bits |= std::uint64_t{*next++} << count;
      count += 8;
    }
    return true;
  }
};

}  // namespace lorvante::codecs
