// Implode (zip method 6): LZ77 over a 4 KiB or 8 KiB window whose literals, lengths and distances
// are coded with Shannon-Fano trees sent at the start of the data. General-purpose flag bit 1
// chooses the 8 KiB window, bit 2 a third tree for the literals (without it a literal is sent as
// 8 plain bits, and matches are one byte shorter). There is no end code: the entry's size ends
// the data.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one imploded entry of `uncompressed_size` bytes, with the entry's general-purpose
// `flags` (kZipFlagImplode...). It holds the window and the three trees, nothing that grows with
// the data.
std::unique_ptr<Decoder> MakeImplodeDecoder(std::uint64_t uncompressed_size, std::uint16_t flags);

}  // namespace lorvante::codecs
