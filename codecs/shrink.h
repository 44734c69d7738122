// Shrink (zip method 1): LZW with codes of 9 to 13 bits, read least significant bit first. Code
// 256 announces a control code: 1 widens the codes by a bit, 2 clears the leaves of the string
// table (partial clearing); freed codes are then reused from the lowest up. There is no end code:
// the entry's size ends the data.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one shrunk entry of `uncompressed_size` bytes. It holds the string table of 8192
// codes and one string of at most as many bytes.
std::unique_ptr<Decoder> MakeShrinkDecoder(std::uint64_t uncompressed_size);

}  // namespace lorvante::codecs
