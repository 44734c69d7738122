// Encoders of the zip methods that no packaged tool writes any more (PKZIP 1.x): Shrink and
// Implode, for the tests of their decoders. They are checked against an independent reader (7-Zip's
// `7z t`) in legacy_encoders_test.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lorvante::test {

// Shrink (method 1): LZW from 9 to 13 bits; a code is widened when a code to send needs it, and
// a full table is partially cleared after the next byte code, so that long data exercise both.
std::vector<std::uint8_t> Shrink(std::span<const std::uint8_t> data);

// Implode (method 6) with the entry's general-purpose `flags` (window and number of trees): greedy
// matches, Shannon-Fano trees of Huffman lengths for the data at hand.
std::vector<std::uint8_t> Implode(std::span<const std::uint8_t> data, std::uint16_t flags);

// Reduce (methods 2 to 5) with compression `factor` 1 to 4: greedy matches expanded with the
// marker byte, then coded through follower sets of up to 32 bytes. No packaged tool reads
// Reduce, so only the program's decoder checks it.
std::vector<std::uint8_t> Reduce(std::span<const std::uint8_t> data, unsigned factor);

}  // namespace lorvante::test
